#pragma once
// The few operating-system services the capture tool needs beyond platform/os.h: a
// child process fed through a pipe (the video encoder), a program looked up on PATH,
// directories, and a Ctrl-C that asks for a clean stop instead of killing the process.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The full path of an executable found on PATH, or "" when there is none.
std::string findProgramOnPath(const char* name);

// Creates the directory (and missing parents); true when it exists afterwards.
bool makeDirectories(const std::string& path, std::string* error);

// Removes a file; missing files are not an error.
void removeFile(const std::string& path);

// A started program whose standard input is a pipe from this process. It runs in its own
// process group, so a Ctrl-C in the terminal reaches only this process, which then ends
// the child's input and lets it finish the file.
struct ChildProcess {
  int pid = -1;
  int input = -1;  // write end of the child's standard input
};

// argv[0] is the program's path; nothing goes through a shell. The child shares this
// process's standard output and error.
bool startChildProcess(ChildProcess& child, const std::vector<std::string>& argv, std::string* error);

// Writes all bytes; false when the child has gone (its input closed).
bool writeToChild(ChildProcess& child, const void* data, size_t bytes);

// Closes the input and waits; returns the child's exit status (-1 if it was killed).
int finishChildProcess(ChildProcess& child);

// After this, Ctrl-C (SIGINT) and SIGTERM set a flag instead of ending the process.
void installStopRequestHandler();
bool stopRequested();

