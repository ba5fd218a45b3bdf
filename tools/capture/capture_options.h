#pragma once
// The command line of tarnix-capture and the arithmetic that ties output frames to the
// timeline and to the music: output frame n is timeline frame n, shown at n / F seconds.
#include <cstdint>
#include <string>

#include "app/presentation.h"  // kEndFrameIndex: the presentation's last frame
inline constexpr uint32_t kMusicSampleRate = 44100;

enum class CaptureOutput : uint8_t { PngSequence, Mp4 };

struct FrameRate {
  uint32_t numerator = 60;
  uint32_t denominator = 1;
  double perSecond() const { return double(numerator) / double(denominator); }
};

struct CaptureOptions {
  uint32_t fromFrame = 0;
  uint32_t toFrame = kEndFrameIndex;  // inclusive
  FrameRate fps;
  uint32_t renderWidth = 960, renderHeight = 540;
  uint32_t outputWidth = 0, outputHeight = 0;  // 0: the render size
  std::string out = "capture";
  CaptureOutput output = CaptureOutput::PngSequence;
  bool help = false;
};

enum class ParseResult : uint8_t { Ok, Help, Error };

// Parses argv (argv[0] is the program). On Error, *error holds one line saying why.
ParseResult parseCaptureOptions(int argc, const char* const* argv, CaptureOptions* options, std::string* error);

// The usage text printed by --help.
const char* captureUsage();

// The first music sample (per channel) heard with output frame n: floor(n x 44100 / F).
uint64_t musicSampleAtFrame(uint32_t frame, FrameRate fps);

// Names of the files of the directory form.
std::string pngFramePath(const std::string& directory, uint32_t frame);
std::string musicWavPath(const std::string& directory);
