#pragma once
// The operating-system services the program uses: the high-resolution counter,
// sleeping, threads, printing, the breakpoint stop, whole-file writes and resident memory.
// Implemented once per OS (platform/linux/ here).
#include <cstddef>
#include <cstdint>

// High-resolution counter: ticks and ticks per second.
uint64_t osPerformanceCounter();
uint64_t osPerformanceFrequency();

void osSleepMs(uint32_t milliseconds);

// True when a debugger is attached to this process.
bool osDebuggerAttached();

// The one way anything reports: writes text as it is (no newline added) to standard
// output, flushed at once, and to the debugger's output. On Linux there is no debugger
// channel; the text goes to standard error too while a debugger is attached.
void osPrint(const char* text);

// The exit status of a fatal stop without a debugger.
constexpr int kOsFatalExitStatus = 3;

// Stops the process at once, without unwinding or clean-up. With a debugger attached it
// is a breakpoint trap, so the debugger halts right here; without one the process exits
// with kOsFatalExitStatus (no trap message from the shell, no core dump).
[[noreturn]] void osFatalStop();

// Stop requests from outside the program: on Linux SIGINT (Ctrl-C), SIGTERM and SIGHUP;
// on Windows Ctrl-C, Ctrl-Break and the console closing. After this call the first such
// request no longer ends the process: it is only remembered, for the program to end
// itself in order; a second one of the same kind ends the process at once. Call it before
// the window and sound are set up, so that their libraries leave these requests alone.
void osInstallStopRequestHandlers();

// 0 while no stop has been requested. Otherwise the exit status that reports the request
// as a shell expects: 128 + the signal number on Linux (130 SIGINT, 143 SIGTERM,
// 129 SIGHUP). Safe to call from any thread.
int osStopRequestExitStatus();

// Creates (or truncates) the file at path and writes size bytes. False on any failure.
bool osWriteFile(const char* path, const void* data, size_t size);

// The physical memory this process occupies now (its resident set), in bytes; 0 when the
// system cannot say. Long runs check with it that nothing grows frame after frame.
size_t osResidentMemoryBytes();

// Threads. A thread is a plain record holding the system's handle (0: none).
using OsThreadFunction = uint32_t (*)(void* argument);
struct OsThread {
  uintptr_t handle = 0;
};

enum class OsThreadPriority : uint32_t { Normal, TimeCritical };

// Starts function(argument) at once on a new thread whose stack holds at least
// stackBytes (the system's minimum is used when that is larger). False on failure,
// with thread->handle left 0.
bool osCreateThread(OsThread* thread, OsThreadFunction function, void* argument, size_t stackBytes);

// Best effort: raising a priority may need privileges the process lacks; false then,
// and the thread keeps running at its old priority.
bool osSetThreadPriority(OsThread* thread, OsThreadPriority priority);

// Waits without time-out for the thread to end, releases it and returns its result.
// A thread that was never created (handle 0) returns 0 at once.
uint32_t osJoinThread(OsThread* thread);
