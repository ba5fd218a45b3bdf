#pragma once
// The command line of tarnix-capture and the arithmetic that ties output frames to the
// timeline and to the music: output frame n is shown at music time n / F, and the
// timeline frame it shows follows the presentation's clock (app/frame_clock.h).
#include <cstdint>
#include <string>
#include <vector>

#include "app/frame_clock.h"  // kEndFrameIndex: the presentation's last frame

inline constexpr uint32_t kMusicSampleRate = 44100;

enum class CaptureOutput : uint8_t { PngSequence, Mp4 };

struct FrameRate {
  uint32_t numerator = 60;
  uint32_t denominator = 1;
  double perSecond() const { return double(numerator) / double(denominator); }
};

struct CaptureOptions {
  uint32_t fromFrame = 0;  // output frames
  uint32_t toFrame = kEndFrameIndex;  // inclusive
  FrameRate fps;
  FrameClockMode clock = FrameClockMode::Music;
  uint32_t renderWidth = 960, renderHeight = 540;
  uint32_t lookHeight = 0;  // the program's own height whose picture the render keeps; 0: by the render height
  uint32_t outputWidth = 0, outputHeight = 0;  // 0: the render size
  std::string out = "capture";
  std::string timelinePath;  // a timeline file to render instead of the built-in timeline
  CaptureOutput output = CaptureOutput::PngSequence;
  bool help = false;
  std::string device;        // --device: an index of the device list or part of a name
  bool listDevices = false;  // --list-devices: list them and end
};

enum class ParseResult : uint8_t { Ok, Help, Version, Error };

// Parses argv (argv[0] is the program). On Error, *error holds one line saying why.
ParseResult parseCaptureOptions(int argc, const char* const* argv, CaptureOptions* options, std::string* error);

// The usage text printed by --help.
const char* captureUsage();

// The timeline frame each output frame shows, from output frame 0 to the last one before
// the presentation ends. Music clock: the frame at music time n / F (held, skipped or
// kept as the presentation's clock does: at 60 fps frame n, at 30 fps every other frame
// and the frames the simulation needs, at 120 fps each frame twice). Refresh clock:
// frame n, whatever the rate.
std::vector<uint32_t> timelineFramesOfCapture(FrameRate fps, FrameClockMode clock);

// The first music sample (per channel) heard with output frame n: floor(n x 44100 / F).
uint64_t musicSampleAtFrame(uint32_t frame, FrameRate fps);

// Names of the files of the directory form.
std::string pngFramePath(const std::string& directory, uint32_t frame);
std::string musicWavPath(const std::string& directory);
