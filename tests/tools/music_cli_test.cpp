// tarnix-music's command line, up to the point where the GPU would be used.
#include <gtest/gtest.h>

#include "base/version.h"
#include "tests/tools/run_tool.h"

namespace {

ToolRun music(const ToolDirectory& dir, const std::string& arguments) { return dir.run(TARNIX_MUSIC_TOOL, arguments); }

TEST(MusicCli, HelpAndBadArgumentsExitWithoutWork) {
  ToolDirectory dir;
  ToolRun help = music(dir, "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: tarnix-music"), std::string::npos);
  EXPECT_EQ(help.err, "");
  ToolRun version = music(dir, "--pcm16 --version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("tarnix-music ") + kTarnixVersion + "\n");

  for (const char* arguments : {"--bogus", "-x out.wav", "a.wav b.wav", "''"}) {
    ToolRun bad = music(dir, arguments);
    EXPECT_EQ(bad.status, 2) << arguments;
    EXPECT_EQ(bad.out, "") << arguments;
    EXPECT_NE(bad.err.find("Usage: tarnix-music"), std::string::npos) << arguments;
    EXPECT_EQ(bad.err.find("Synthesising"), std::string::npos) << arguments;
  }
  EXPECT_NE(music(dir, "--bogus").err.find("unknown option '--bogus'"), std::string::npos);
  EXPECT_FALSE(dir.exists("tarnix-music.wav"));
}

TEST(MusicCli, UnwritablePathIsOneLineBeforeAnySynthesis) {
  ToolDirectory dir;
  std::string target = dir.path() + "/missing/music.wav";
  ToolRun run = music(dir, "--pcm16 '" + target + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "tarnix-music: cannot write '" + target + "': No such file or directory\n");
  EXPECT_FALSE(dir.exists("missing"));
  EXPECT_FALSE(dir.exists("tarnix-music.wav"));
}

TEST(MusicCli, DeviceFailureLeavesNoPartialFile) {
  ToolDirectory dir;
  // No Vulkan driver: the device set-up stops with a PANIC, after the file was begun. The loader
  // prefers VK_DRIVER_FILES to VK_ICD_FILENAMES, so both are pointed nowhere.
  ToolRun run = dir.run("env", "VK_DRIVER_FILES=/nonexistent.json VK_ICD_FILENAMES=/nonexistent.json '" TARNIX_MUSIC_TOOL
                               "' out.wav");
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.out.find("PANIC: "), std::string::npos) << run.out;
  EXPECT_FALSE(dir.exists("out.wav"));
  EXPECT_FALSE(dir.exists("out.wav.tmp"));
}

}  // namespace
