#include "app/command_line.h"

#include <string_view>

namespace {

constexpr uint32_t kSmallestWindowSide = 16;
constexpr uint32_t kLargestWindowSide = 16384;
constexpr uint32_t kLargestRenderSide = 7680;  // as the capture tool takes it

bool parseSide(std::string_view text, uint32_t largest, uint32_t* side) {
  if (text.empty() || text.size() > 5) return false;
  uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + uint32_t(c - '0');
  }
  if (value < kSmallestWindowSide || value > largest) return false;
  *side = value;
  return true;
}

bool parseSize(std::string_view text, uint32_t largest, uint32_t* width, uint32_t* height) {
  const size_t x = text.find('x');
  if (x == std::string_view::npos) return false;
  uint32_t w = 0, h = 0;
  if (!parseSide(text.substr(0, x), largest, &w) || !parseSide(text.substr(x + 1), largest, &h)) return false;
  *width = w;
  *height = h;
  return true;
}

// The options that take a value: true when `name` is one, with *value taken from after
// '=' or from the next argument.
bool takesValue(std::string_view name) {
  return name == "--clock" || name == "--timeline" || name == "--edit" || name == "--render-size" ||
         name == "--editor-port" || name == "--device";
}

const char* valueHint(std::string_view name) {
  if (name == "--clock") return "music or refresh";
  if (name == "--render-size") return "a size WxH or native";
  if (name == "--editor-port") return "a port number";
  if (name == "--device") return "a device's number or part of its name (--list-devices)";
  return "a timeline file";
}

// One option that takes a value into *result; false with *error set.
bool takeValueOption(std::string_view name, std::string_view value, CommandLine* result, std::string* error) {
  if (name == "--clock") {
    if (parseFrameClockMode(value, &result->clock)) return true;
    *error = "--clock: '" + std::string(value) + "' is not music or refresh";
  } else if (name == "--render-size") {
    result->renderWidth = result->renderHeight = 0;
    result->nativeRenderSize = value == "native";
    if (result->nativeRenderSize) return true;
    if (parseSize(value, kLargestRenderSide, &result->renderWidth, &result->renderHeight) &&
        result->renderWidth % 32 == 0)
      return true;
    *error = "--render-size: '" + std::string(value) +
             "' is not a size WxH (each side 16 to 7680, the width a multiple of 32) or native";
  } else if (name == "--editor-port") {
    uint32_t port = 0;
    for (char c : value) port = port > 65535 || c < '0' || c > '9' ? 65536 : port * 10 + uint32_t(c - '0');
    if (!value.empty() && port >= 1 && port <= 65535) {
      result->editorPort = uint16_t(port);
      return true;
    }
    *error = "--editor-port: '" + std::string(value) + "' is not a port number (1 to 65535)";
  } else if (name == "--device") {
    if (!value.empty()) {
      result->device = std::string(value);
      return true;
    }
    *error = "--device needs a device's number or part of its name (--list-devices)";
  } else if (value.empty()) {
    *error = std::string(name) + " needs a timeline file";
  } else if (!result->timelinePath.empty() && result->timelinePath != value) {
    *error = std::string(name) + ": one timeline file at a time ('" + result->timelinePath + "' already)";
  } else {
    result->timelinePath = std::string(value);
    result->edit = result->edit || name == "--edit";
    return true;
  }
  return false;
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
         "  --timeline FILE        play the timeline in FILE (JSON) instead of the built-in one\n"
         "  --edit FILE            edit the timeline in FILE: a window, FILE reloaded whenever it\n"
         "                         is saved, the keys below, and an editor page for the browser\n"
         "                         (its address is printed); FILE is made from the built-in\n"
         "                         timeline if it does not exist\n"
         "  --editor-port N        with --edit: serve the editor's page on 127.0.0.1 port N\n"
         "                         (default: a free port); the address is printed\n"
         "  --open                 with --edit: also open the editor's page in the browser\n"
         "  --render-size WxH|native\n"
         "                         render at W x H (W a multiple of 32) and scale to the window;\n"
         "                         native: at the program's own size. Without it a CPU device\n"
         "                         (no GPU) renders at the largest of the program's own size,\n"
         "                         its halves and thirds that keeps 30 pictures a second\n"
         "  --device N|TEXT        draw with device N of --list-devices, or the first whose name\n"
         "                         contains TEXT (any case), instead of the first that can\n"
         "  --list-devices         list the graphics devices, in the order they are tried, and\n"
         "                         whether each can run the program; then end\n"
         "  --version              the version\n"
         "  --help                 this text\n"
         "\n"
         "Keys while editing: Space pause or play; Left, Right one second back or on (with Shift\n"
         "ten); Page Up, Page Down the previous or next bookmark; Home frame 0; B add or remove\n"
         "a bookmark here; L loop between the bookmarks around here (again: stop looping);\n"
         "F fly the camera (W A S D, Q E, turn with the left mouse button); C write the camera\n"
         "here as keys of CM::Pos and CM::Dir; Ctrl+S also write code/tarnix_timeline.json.h;\n"
         "H show or hide the overlay; Escape quit.\n"
         "\n"
         "Exit status: 0 the presentation ended or was closed (or the devices were listed), 1 the\n"
         "timeline file cannot be used (or there is no graphics driver to list devices of), 2 a\n"
         "bad option (or a --device that names no device), 3 a fatal error (no device that can\n"
         "run it among them), 129, 130, 143 ended by SIGHUP, SIGINT (Ctrl-C), SIGTERM.\n";
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
    const bool flag = name == "--help" || name == "-h" || name == "--version" || name == "--no-sound" ||
                      name == "--open" || name == "--list-devices";
    if (flag && hasValue) {
      *error = "option '" + std::string(name) + "' takes no value";
      return CommandLineAction::Error;
    }
    if (name == "--help" || name == "-h") return CommandLineAction::Help;
    if (name == "--version") return CommandLineAction::Version;
    if (name == "--no-sound") {
      result.noSound = true;
    } else if (name == "--open") {
      result.openEditor = true;
    } else if (name == "--list-devices") {
      result.listDevices = true;
    } else if (name == "--windowed") {
      result.windowed = true;
      if (hasValue && !parseSize(value, kLargestWindowSide, &result.windowWidth, &result.windowHeight)) {
        *error = "--windowed: '" + std::string(value) + "' is not a size WxH (each side 16 to 16384)";
        return CommandLineAction::Error;
      }
    } else if (takesValue(name)) {
      if (!hasValue) {
        if (i + 1 >= argc || argv[i + 1] == nullptr) {
          *error = std::string(name) + " needs a value: " + valueHint(name);
          return CommandLineAction::Error;
        }
        value = argv[++i];
      }
      if (!takeValueOption(name, value, &result, error)) return CommandLineAction::Error;
    } else {
      *error = "unknown option '" + std::string(arg) + "'";
      return CommandLineAction::Error;
    }
  }
  if (!result.edit && (result.editorPort != 0 || result.openEditor)) {
    *error = std::string(result.openEditor ? "--open" : "--editor-port") + " goes with --edit FILE";
    return CommandLineAction::Error;
  }
  // Editing wants a window beside the editor's, not one over the whole desktop.
  if (result.edit) result.windowed = true;
  *commandLine = result;
  return CommandLineAction::Run;
}
