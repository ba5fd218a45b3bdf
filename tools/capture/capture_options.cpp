#include "tools/capture/capture_options.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t kMaxFramesPerSecond = 1000;
constexpr uint32_t kMaxImageSide = 7680;

// Whole decimal numbers only: no sign, no spaces, no trailing text.
bool parseUint(const std::string& text, uint64_t limit, uint32_t* value) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + uint64_t(c - '0');
  }
  if (v > limit) return false;
  *value = uint32_t(v);
  return true;
}

bool parseFrameRate(const std::string& text, FrameRate* fps) {
  size_t slash = text.find('/');
  FrameRate f;
  if (slash == std::string::npos) {
    if (!parseUint(text, kMaxFramesPerSecond, &f.numerator)) return false;
  } else if (!parseUint(text.substr(0, slash), UINT32_MAX, &f.numerator) ||
             !parseUint(text.substr(slash + 1), UINT32_MAX, &f.denominator)) {
    return false;
  }
  if (f.numerator == 0 || f.denominator == 0) return false;
  if (f.perSecond() > kMaxFramesPerSecond || f.perSecond() < 1.0) return false;
  *fps = f;
  return true;
}

bool parseSize(const std::string& text, uint32_t* width, uint32_t* height) {
  size_t x = text.find('x');
  if (x == std::string::npos) return false;
  uint32_t w = 0, h = 0;
  if (!parseUint(text.substr(0, x), kMaxImageSide, &w) || !parseUint(text.substr(x + 1), kMaxImageSide, &h))
    return false;
  if (w == 0 || h == 0) return false;
  *width = w;
  *height = h;
  return true;
}

// A frame number, or seconds with an "s" suffix (converted once the rate is known).
bool resolveFrame(const std::string& text, FrameRate fps, uint64_t* frame) {
  if (!text.empty() && text.back() == 's') {
    std::string number = text.substr(0, text.size() - 1);
    if (number.empty() || !(number[0] >= '0' && number[0] <= '9')) return false;
    char* end = nullptr;
    errno = 0;
    double seconds = strtod(number.c_str(), &end);
    if (errno != 0 || end != number.c_str() + number.size() || !std::isfinite(seconds)) return false;
    double f = std::round(seconds * fps.perSecond());
    if (f > 1e9) return false;
    *frame = uint64_t(f);
    return true;
  }
  uint32_t v = 0;
  if (!parseUint(text, UINT32_MAX, &v)) return false;
  *frame = v;
  return true;
}

bool endsWithMp4(const std::string& path) {
  if (path.size() < 4) return false;
  std::string tail = path.substr(path.size() - 4);
  for (char& c : tail) c = char(tolower(static_cast<unsigned char>(c)));
  return tail == ".mp4";
}

}  // namespace

const char* captureUsage() {
  return "Usage: tarnix-capture [options]\n"
         "Renders the presentation frame by frame, offscreen and with a fixed clock, and writes\n"
         "it as a PNG sequence plus the music as a WAV, or as one MP4 file.\n"
         "\n"
         "  --from N|Ts          first output frame to write (a number, or seconds: 12.5s); default 0\n"
         "  --to N|Ts            last output frame to write, inclusive; default the last one\n"
         "                       (7400 at 60 fps, when the presentation ends)\n"
         "  --fps N|N/D          frames per second, e.g. 60, 30, 60000/1001; default 60\n"
         "  --clock music|refresh  music (default): output frame n shows the timeline frame of\n"
         "                       music time n / F, as the presentation does on any display;\n"
         "                       refresh: output frame n is timeline frame n at any rate\n"
         "  --render-size WxH    the render size: 960x540 (default) or 1920x1080, the two\n"
         "                       programs' own, or any other (W a multiple of 32), which shows\n"
         "                       the same picture with fewer or more pixels\n"
         "  --look-height H      whose picture another render size shows: 540 (tarnix's, the\n"
         "                       default below 1080 rows) or 1080 (tarnix1080's, from 1080 rows);\n"
         "                       the render height itself renders as if it were a program's own\n"
         "  --size WxH           the size of the written images; default the render size (the\n"
         "                       picture is scaled and letterboxed as on a screen of that size)\n"
         "  --out PATH           a directory (frame_NNNN.png for each frame, music.wav), or a\n"
         "                       file ending in .mp4 (H.264, yuv420p, AAC music; needs ffmpeg);\n"
         "                       default the directory \"capture\"\n"
         "  --timeline FILE      render the timeline in FILE (as tarnix --timeline plays it);\n"
         "                       a file that cannot be used is reported before anything else\n"
         "  --device N|TEXT      render with device N of --list-devices, or the first whose name\n"
         "                       contains TEXT (any case), instead of the first that can\n"
         "  --list-devices       list the graphics devices and whether each can render this\n"
         "                       capture; then end\n"
         "  --version            the version\n"
         "  --help               this text\n"
         "\n"
         "Output frame n is shown at music time n / F and lasts 1000 / F ms, so a capture at\n"
         "any rate shows what a display of that rate shows; at 60 fps output frame n is\n"
         "timeline frame n. Files are numbered by output frame.\n"
         "The simulation sees the same frames as a live run: a capture that starts after frame\n"
         "0 first renders the frames before its start without writing them, which takes as\n"
         "long as rendering them. Ctrl-C stops after the current frame and leaves playable\n"
         "output of the frames written so far.\n";
}

namespace {

// What the command line gave before the range and the sizes are settled.
struct GivenOptions {
  CaptureOptions options;
  std::string from = "0", to;
  bool sizeGiven = false;
};

// One option's value into `given`; false with `error` set when the value is refused.
bool takeOption(const std::string& name, const std::string& value, GivenOptions& given, std::string* error) {
  CaptureOptions& o = given.options;
  if (name == "--from") {
    given.from = value;
  } else if (name == "--to") {
    given.to = value;
  } else if (name == "--fps") {
    if (!parseFrameRate(value, &o.fps)) *error = "--fps '" + value + "' is not a frame rate from 1 to 1000 (N or N/D)";
  } else if (name == "--clock") {
    if (!parseFrameClockMode(value, &o.clock)) *error = "--clock '" + value + "' is not music or refresh";
  } else if (name == "--render-size") {
    if (!parseSize(value, &o.renderWidth, &o.renderHeight) || o.renderWidth % 32 != 0)
      *error = "--render-size '" + value + "' is not WxH with a width that is a multiple of 32";
  } else if (name == "--look-height") {
    uint32_t width = 0;
    if (!parseSize("1x" + value, &width, &o.lookHeight)) *error = "--look-height '" + value + "' is not a height (1 to 7680)";
  } else if (name == "--size") {
    if (!parseSize(value, &o.outputWidth, &o.outputHeight)) *error = "--size '" + value + "' is not WxH (1 to 7680 each)";
    given.sizeGiven = true;
  } else if (name == "--timeline") {
    if (value.empty()) *error = "--timeline needs a timeline file";
    o.timelinePath = value;
  } else if (name == "--device") {
    if (value.empty()) *error = "--device needs a device's number or part of its name (--list-devices)";
    o.device = value;
  } else if (value.empty()) {
    *error = "--out needs a path";
  } else {
    o.out = value;
  }
  return error->empty();
}

// The frame range resolved against the rate, the output size and kind settled.
ParseResult settleOptions(GivenOptions& given, CaptureOptions* options, std::string* error) {
  CaptureOptions& o = given.options;
  const uint64_t lastFrame = timelineFramesOfCapture(o.fps, o.clock).size() - 1;
  if (given.to.empty()) given.to = std::to_string(lastFrame);
  uint64_t first = 0, last = 0;
  if (!resolveFrame(given.from, o.fps, &first)) {
    *error = "--from '" + given.from + "' is not a frame number or seconds (e.g. 120 or 2s)";
    return ParseResult::Error;
  }
  if (!resolveFrame(given.to, o.fps, &last)) {
    *error = "--to '" + given.to + "' is not a frame number or seconds (e.g. 600 or 10s)";
    return ParseResult::Error;
  }
  if (first > lastFrame || last > lastFrame || first > last) {
    *error = "the range " + std::to_string(first) + "-" + std::to_string(last) + " is not within frames 0-" +
             std::to_string(lastFrame) + " (first <= last)";
    return ParseResult::Error;
  }
  o.fromFrame = uint32_t(first);
  o.toFrame = uint32_t(last);
  if (!given.sizeGiven) {
    o.outputWidth = o.renderWidth;
    o.outputHeight = o.renderHeight;
  }
  o.output = endsWithMp4(o.out) ? CaptureOutput::Mp4 : CaptureOutput::PngSequence;
  // H.264 in yuv420p halves the chroma in both directions.
  if (o.output == CaptureOutput::Mp4 && (o.outputWidth % 2 != 0 || o.outputHeight % 2 != 0)) {
    *error = "an .mp4 output needs an even width and height, not " + std::to_string(o.outputWidth) + "x" +
             std::to_string(o.outputHeight);
    return ParseResult::Error;
  }
  *options = o;
  return ParseResult::Ok;
}

}  // namespace

ParseResult parseCaptureOptions(int argc, const char* const* argv, CaptureOptions* options, std::string* error) {
  GivenOptions given;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") return ParseResult::Help;
    if (arg == "--list-devices") {
      given.options.listDevices = true;
      continue;
    }
    if (arg == "--version") return ParseResult::Version;
    std::string name = arg, value;
    bool hasValue = false;
    size_t equals = arg.find('=');
    if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
      hasValue = true;
    }
    const bool known = name == "--from" || name == "--to" || name == "--fps" || name == "--render-size" ||
                       name == "--look-height" || name == "--size" || name == "--out" || name == "--clock" ||
                       name == "--timeline" || name == "--device";
    if (!known) {
      *error = "unknown option '" + arg + "'";
      return ParseResult::Error;
    }
    if (!hasValue) {
      if (i + 1 >= argc) {
        *error = "option '" + name + "' needs a value";
        return ParseResult::Error;
      }
      value = argv[++i];
    }
    error->clear();
    if (!takeOption(name, value, given, error)) return ParseResult::Error;
  }
  return settleOptions(given, options, error);
}

std::vector<uint32_t> timelineFramesOfCapture(FrameRate fps, FrameClockMode clock) {
  // Output frame 0 shows timeline frame 0; each later one is what the clock makes of the
  // frame before at its own music time.
  std::vector<uint32_t> frames{0};
  for (uint64_t n = 1;; ++n) {
    const double seconds = double(n) * fps.denominator / fps.numerator;
    const uint32_t next = nextFrameIndex(clock, frames.back(), seconds);
    if (next > kEndFrameIndex) return frames;
    frames.push_back(next);
  }
}

uint64_t musicSampleAtFrame(uint32_t frame, FrameRate fps) {
  return uint64_t(frame) * kMusicSampleRate * fps.denominator / fps.numerator;
}

std::string pngFramePath(const std::string& directory, uint32_t frame) {
  char name[32];
  snprintf(name, sizeof(name), "/frame_%04u.png", frame);
  return directory + name;
}

std::string musicWavPath(const std::string& directory) { return directory + "/music.wav"; }
