#pragma once
// The presentation's command line. With no arguments the program runs as it always
// did: a borderless window over the whole desktop, the system's sound device, the
// music clock. The options change only how it is shown and clocked, never what.
#include <cstdint>
#include <string>

#include "app/frame_clock.h"
#include "base/version.h"

struct CommandLine {
  bool windowed = false;  // a normal decorated window instead of the desktop cover
  uint32_t windowWidth = 1280;
  uint32_t windowHeight = 720;
  FrameClockMode clock = FrameClockMode::Music;
  bool noSound = false;  // the silent real-time clock, even where a sound device exists
  std::string timelinePath;  // play this timeline file instead of the embedded timeline
  bool edit = false;         // edit timelinePath (app/edit_session.h): a window, reload on save
  uint16_t editorPort = 0;   // the editor page's port on 127.0.0.1 (0: a free one)
  bool openEditor = false;   // hand the editor page's address to the desktop's browser
  uint32_t renderWidth = 0;  // 0: the program's own render size, or one chosen for a CPU device
  uint32_t renderHeight = 0;
  bool nativeRenderSize = false;  // --render-size native: the program's own size, never chosen
  std::string device;        // an index of the device list or part of a device's name; empty: the first that can
  bool listDevices = false;  // list the devices and whether each can run the program, then end
};

enum class CommandLineAction : uint8_t { Run, Help, Version, Error };

// Parses argv (argv[0] is the program). On Error, *error is one line naming the option.
// --edit implies a normal window (1280x720 unless --windowed gives a size).
CommandLineAction parseCommandLine(int argc, const char* const* argv, CommandLine* commandLine, std::string* error);

// The --help text, for the program named `program` (argv[0]; its directory is dropped).
std::string commandLineUsage(const char* program);

// The program's name as the shell called it, without its directory.
std::string programName(const char* argv0);
