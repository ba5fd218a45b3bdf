#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"

namespace {

struct Parsed {
  CommandLineAction action;
  CommandLine commandLine;
  std::string error;
};

Parsed parse(std::vector<const char*> args) {
  args.insert(args.begin(), "/usr/local/bin/tarnix");
  Parsed parsed;
  parsed.action = parseCommandLine(int(args.size()), args.data(), &parsed.commandLine, &parsed.error);
  return parsed;
}

TEST(CommandLine, NoArgumentsRunTheOriginalPresentationOnTheMusicClock) {
  Parsed p = parse({});
  ASSERT_EQ(p.action, CommandLineAction::Run);
  EXPECT_FALSE(p.commandLine.windowed);
  EXPECT_FALSE(p.commandLine.noSound);
  EXPECT_EQ(p.commandLine.clock, FrameClockMode::Music);
}

TEST(CommandLine, EveryOptionInBothSpellings) {
  Parsed p = parse({"--windowed", "--clock", "refresh", "--no-sound"});
  ASSERT_EQ(p.action, CommandLineAction::Run) << p.error;
  EXPECT_TRUE(p.commandLine.windowed);
  EXPECT_EQ(p.commandLine.windowWidth, 1280u);
  EXPECT_EQ(p.commandLine.windowHeight, 720u);
  EXPECT_EQ(p.commandLine.clock, FrameClockMode::Refresh);
  EXPECT_TRUE(p.commandLine.noSound);

  p = parse({"--clock=refresh", "--windowed=800x600", "--clock=music"});
  ASSERT_EQ(p.action, CommandLineAction::Run) << p.error;
  EXPECT_EQ(p.commandLine.clock, FrameClockMode::Music) << "the last one counts";
  EXPECT_EQ(p.commandLine.windowWidth, 800u);
  EXPECT_EQ(p.commandLine.windowHeight, 600u);

  EXPECT_EQ(parse({"--help"}).action, CommandLineAction::Help);
  EXPECT_EQ(parse({"-h"}).action, CommandLineAction::Help);
  EXPECT_EQ(parse({"--no-sound", "--version", "--bogus"}).action, CommandLineAction::Version);
}

TEST(CommandLine, AnythingElseIsAnErrorNamingTheOption) {
  const std::vector<std::pair<std::vector<const char*>, const char*>> cases = {
      {{"--fullscreen"}, "unknown option '--fullscreen'"},
      {{"-w"}, "unknown option '-w'"},
      {{"demo.json"}, "unknown option 'demo.json'"},
      {{""}, "unknown option ''"},
      {{"--clock"}, "--clock needs a value: music or refresh"},
      {{"--clock", "vsync"}, "--clock: 'vsync' is not music or refresh"},
      {{"--clock="}, "--clock: '' is not music or refresh"},
      {{"--clock", "Music"}, "--clock: 'Music' is not music or refresh"},
      {{"--help=me"}, "option '--help' takes no value"},
      {{"--no-sound=yes"}, "option '--no-sound' takes no value"},
      {{"--windowed=800"}, "--windowed: '800' is not a size WxH (each side 16 to 16384)"},
      {{"--windowed=x600"}, "--windowed: 'x600' is not a size WxH (each side 16 to 16384)"},
      {{"--windowed=800x"}, "--windowed: '800x' is not a size WxH (each side 16 to 16384)"},
      {{"--windowed=-800x600"}, "--windowed: '-800x600' is not a size WxH (each side 16 to 16384)"},
      {{"--windowed=800x600x2"}, "--windowed: '800x600x2' is not a size WxH (each side 16 to 16384)"},
      {{"--windowed=15x600"}, "--windowed: '15x600' is not a size WxH (each side 16 to 16384)"},
      {{"--windowed=16385x600"}, "--windowed: '16385x600' is not a size WxH (each side 16 to 16384)"},
      {{"--windowed=4294967296x600"}, "--windowed: '4294967296x600' is not a size WxH (each side 16 to 16384)"},
      {{"--windowed=800 x600"}, "--windowed: '800 x600' is not a size WxH (each side 16 to 16384)"},
      {{"--windowed", "800x600"}, "unknown option '800x600'"},
  };
  for (const auto& [args, message] : cases) {
    Parsed p = parse(args);
    EXPECT_EQ(p.action, CommandLineAction::Error) << message;
    EXPECT_EQ(p.error, message);
  }
  // The extremes of a window side are accepted.
  Parsed p = parse({"--windowed=16x16384"});
  ASSERT_EQ(p.action, CommandLineAction::Run) << p.error;
  EXPECT_EQ(p.commandLine.windowWidth, 16u);
  EXPECT_EQ(p.commandLine.windowHeight, 16384u);
}

TEST(CommandLine, UsageNamesTheProgramAsCalledAndEveryOption) {
  const std::string usage = commandLineUsage("/opt/x/tarnix1080");
  EXPECT_EQ(usage.rfind("Usage: tarnix1080 [options]\n", 0), 0u);
  for (const char* option : {"--windowed", "--clock music|refresh", "--no-sound", "--timeline FILE", "--edit FILE",
                             "--editor-port N", "--open", "--render-size WxH|native", "--version", "--help"})
    EXPECT_NE(usage.find(option), std::string::npos) << option;
  // The editing keys, each named.
  for (const char* key : {"Space", "Left", "Right", "Shift", "Page Up", "Page Down", "Home", "B add", "L loop", "F fly",
                          "C write", "Ctrl+S", "H show", "Escape"})
    EXPECT_NE(usage.find(key), std::string::npos) << key;
  EXPECT_EQ(programName("C:\\demo\\tarnix.exe"), "tarnix.exe");
  EXPECT_EQ(programName("tarnix"), "tarnix");
  EXPECT_EQ(programName(""), "tarnix");
  EXPECT_EQ(programName(nullptr), "tarnix");
  EXPECT_EQ(programName("dir/"), "tarnix");
}

TEST(CommandLine, TimelineFilesEditingAndTheRenderSize) {
  Parsed p = parse({"--timeline", "a.json", "--render-size=320x180"});
  ASSERT_EQ(p.action, CommandLineAction::Run) << p.error;
  EXPECT_EQ(p.commandLine.timelinePath, "a.json");
  EXPECT_FALSE(p.commandLine.edit);
  EXPECT_FALSE(p.commandLine.windowed);
  EXPECT_EQ(p.commandLine.renderWidth, 320u);
  EXPECT_EQ(p.commandLine.renderHeight, 180u);
  EXPECT_FALSE(p.commandLine.nativeRenderSize);
  // native: the program's own size, not one chosen for the machine; the last one given counts.
  p = parse({"--render-size=320x180", "--render-size", "native"});
  ASSERT_EQ(p.action, CommandLineAction::Run) << p.error;
  EXPECT_TRUE(p.commandLine.nativeRenderSize);
  EXPECT_EQ(p.commandLine.renderWidth, 0u);
  p = parse({"--render-size=native", "--render-size", "64x36"});
  EXPECT_FALSE(p.commandLine.nativeRenderSize);
  EXPECT_EQ(p.commandLine.renderWidth, 64u);

  // Editing is in a normal window, of the size --windowed gives.
  p = parse({"--edit=b.json", "--windowed=800x450"});
  ASSERT_EQ(p.action, CommandLineAction::Run) << p.error;
  EXPECT_EQ(p.commandLine.timelinePath, "b.json");
  EXPECT_TRUE(p.commandLine.edit);
  EXPECT_TRUE(p.commandLine.windowed);
  EXPECT_EQ(p.commandLine.windowWidth, 800u);
  EXPECT_EQ(parse({"--edit", "b.json"}).commandLine.windowWidth, 1280u);
  EXPECT_TRUE(parse({"--timeline", "b.json", "--edit", "b.json"}).commandLine.edit);
  // The editor's page: a free port unless one is given, the browser on --open.
  EXPECT_EQ(parse({"--edit", "b.json"}).commandLine.editorPort, 0u);
  p = parse({"--open", "--editor-port=65535", "--edit", "b.json"});
  ASSERT_EQ(p.action, CommandLineAction::Run) << p.error;
  EXPECT_EQ(p.commandLine.editorPort, 65535u);
  EXPECT_TRUE(p.commandLine.openEditor);

  const std::vector<std::pair<std::vector<const char*>, const char*>> cases = {
      {{"--timeline"}, "--timeline needs a value: a timeline file"},
      {{"--edit="}, "--edit needs a timeline file"},
      {{"--timeline", "a.json", "--edit", "b.json"}, "--edit: one timeline file at a time ('a.json' already)"},
      {{"--render-size"}, "--render-size needs a value: a size WxH or native"},
      {{"--render-size", "100x100"},
       "--render-size: '100x100' is not a size WxH (each side 16 to 7680, the width a multiple of 32) or native"},
      {{"--render-size", "7712x100"},
       "--render-size: '7712x100' is not a size WxH (each side 16 to 7680, the width a multiple of 32) or native"},
      {{"--render-size", "Native"},
       "--render-size: 'Native' is not a size WxH (each side 16 to 7680, the width a multiple of 32) or native"},
      {{"--edit", "b.json", "--editor-port", "0"}, "--editor-port: '0' is not a port number (1 to 65535)"},
      {{"--edit", "b.json", "--editor-port=65536"}, "--editor-port: '65536' is not a port number (1 to 65535)"},
      {{"--edit", "b.json", "--editor-port=99999999999"}, "--editor-port: '99999999999' is not a port number (1 to 65535)"},
      {{"--edit", "b.json", "--editor-port=8x"}, "--editor-port: '8x' is not a port number (1 to 65535)"},
      {{"--edit", "b.json", "--open=yes"}, "option '--open' takes no value"},
      {{"--editor-port", "8000"}, "--editor-port goes with --edit FILE"},
      {{"--timeline", "a.json", "--open"}, "--open goes with --edit FILE"},
  };
  for (const auto& [args, message] : cases) {
    Parsed refused = parse(args);
    EXPECT_EQ(refused.action, CommandLineAction::Error) << message;
    EXPECT_EQ(refused.error, message);
  }
}

}  // namespace

namespace {

TEST(CommandLine, TheDeviceIsChosenOrListed) {
  Parsed p = parse({"--device", "1", "--render-size=320x180"});
  ASSERT_EQ(p.action, CommandLineAction::Run) << p.error;
  EXPECT_EQ(p.commandLine.device, "1");
  EXPECT_FALSE(p.commandLine.listDevices);
  EXPECT_EQ(parse({"--device=Radeon RX"}).commandLine.device, "Radeon RX");
  p = parse({"--list-devices", "--render-size", "1920x1080"});
  ASSERT_EQ(p.action, CommandLineAction::Run) << p.error;
  EXPECT_TRUE(p.commandLine.listDevices);
  EXPECT_EQ(p.commandLine.renderWidth, 1920u) << "listed for the size asked";
  EXPECT_EQ(parse({}).commandLine.device, "");

  const std::vector<std::pair<std::vector<const char*>, const char*>> cases = {
      {{"--device"}, "--device needs a value: a device's number or part of its name (--list-devices)"},
      {{"--device="}, "--device needs a device's number or part of its name (--list-devices)"},
      {{"--list-devices=all"}, "option '--list-devices' takes no value"},
  };
  for (const auto& [args, message] : cases) {
    Parsed bad = parse(args);
    EXPECT_EQ(bad.action, CommandLineAction::Error) << message;
    EXPECT_EQ(bad.error, message);
  }
  const std::string usage = commandLineUsage("tarnix");
  for (const char* option : {"--device N|TEXT", "--list-devices"}) EXPECT_NE(usage.find(option), std::string::npos);
}

}  // namespace
