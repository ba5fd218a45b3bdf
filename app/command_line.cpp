#include "app/command_line.h"

#include <string_view>

namespace {

constexpr uint32_t kSmallestWindowSide = 16;
constexpr uint32_t kLargestWindowSide = 16384;

bool parseSide(std::string_view text, uint32_t* side) {
  if (text.empty() || text.size() > 5) return false;
  uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + uint32_t(c - '0');
  }
  if (value < kSmallestWindowSide || value > kLargestWindowSide) return false;
  *side = value;
  return true;
}

bool parseWindowSize(std::string_view text, uint32_t* width, uint32_t* height) {
  const size_t x = text.find('x');
  if (x == std::string_view::npos) return false;
  uint32_t w = 0, h = 0;
  if (!parseSide(text.substr(0, x), &w) || !parseSide(text.substr(x + 1), &h)) return false;
  *width = w;
  *height = h;
  return true;
}

}  // namespace

std::string programName(const char* argv0) {
  if (argv0 == nullptr || *argv0 == 0) return "tarnix";
  std::string_view path = argv0;
  const size_t slash = path.find_last_of("/\\");
  if (slash != std::string_view::npos) path.remove_prefix(slash + 1);
  return path.empty() ? "tarnix" : std::string(path);
}

std::string commandLineUsage(const char* program) {
  return "Usage: " + programName(program) +
         " [options]\n"
         "A real-time audiovisual presentation: its music is computed on the GPU at start-up,\n"
         "then played with the pictures. Escape or closing the window ends it.\n"
         "\n"
         "  --windowed[=WxH]       a normal window of W x H pixels (default 1280x720) instead\n"
         "                         of a borderless window over the whole desktop\n"
         "  --clock music|refresh  music (default): the pictures follow the music at 60 timeline\n"
         "                         frames per second on any display; refresh: one timeline frame\n"
         "                         per display refresh (in step with the music only at 60 Hz)\n"
         "  --no-sound             play no sound; the pictures keep the music's time\n"
         "  --version              the version\n"
         "  --help                 this text\n"
         "\n"
         "Exit status: 0 the presentation ended or was closed, 2 a bad option, 3 a fatal error,\n"
         "129, 130, 143 ended by SIGHUP, SIGINT (Ctrl-C), SIGTERM.\n";
}

CommandLineAction parseCommandLine(int argc, const char* const* argv, CommandLine* commandLine, std::string* error) {
  CommandLine result;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i] != nullptr ? argv[i] : "";
    std::string_view name = arg, value;
    bool hasValue = false;
    const size_t equals = arg.find('=');
    if (arg.substr(0, 2) == "--" && equals != std::string_view::npos) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
      hasValue = true;
    }
    const bool flag = name == "--help" || name == "-h" || name == "--version" || name == "--no-sound";
    if (flag && hasValue) {
      *error = "option '" + std::string(name) + "' takes no value";
      return CommandLineAction::Error;
    }
    if (name == "--help" || name == "-h") return CommandLineAction::Help;
    if (name == "--version") return CommandLineAction::Version;
    if (name == "--no-sound") {
      result.noSound = true;
    } else if (name == "--windowed") {
      result.windowed = true;
      if (hasValue && !parseWindowSize(value, &result.windowWidth, &result.windowHeight)) {
        *error = "--windowed: '" + std::string(value) + "' is not a size WxH (each side 16 to 16384)";
        return CommandLineAction::Error;
      }
    } else if (name == "--clock") {
      if (!hasValue) {
        if (i + 1 >= argc || argv[i + 1] == nullptr) {
          *error = "--clock needs a value: music or refresh";
          return CommandLineAction::Error;
        }
        value = argv[++i];
      }
      if (!parseFrameClockMode(value, &result.clock)) {
        *error = "--clock: '" + std::string(value) + "' is not music or refresh";
        return CommandLineAction::Error;
      }
    } else {
      *error = "unknown option '" + std::string(arg) + "'";
      return CommandLineAction::Error;
    }
  }
  *commandLine = result;
  return CommandLineAction::Run;
}
