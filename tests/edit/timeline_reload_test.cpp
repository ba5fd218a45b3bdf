// Reload on save with a file on disk and a clock the test moves: a new version is read once
// it stands still, a half-written one fails as a whole, a version the program wrote itself
// is not read again.
#include "edit/timeline_reload.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "app/timeline_file.h"
#include "timeline/writer.h"

namespace {

namespace fs = std::filesystem;

struct Reload : ::testing::Test {
  std::string directory = (fs::temp_directory_path() / ("tarnix-reload-" + std::to_string(std::random_device{}()))).string();
  std::string file = directory + "/show.json";
  TimelineReload reload;
  std::string builtIn;

  void SetUp() override {
    fs::create_directories(directory);
    Timeline* timeline = loadBuiltInTimeline();
    builtIn = serializeTimeline(timeline, false);
    destroyTimeline(timeline);
    write(builtIn);
    startWatching(reload, file, osFileStampOf(file.c_str()));
  }
  void TearDown() override {
    stopWatching(reload);
    std::error_code error;
    fs::remove_all(directory, error);
  }
  void write(const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
  }
  // The text with the brightness of the key at frame 579 changed.
  std::string brighter(const char* value) {
    std::string text = builtIn;
    const std::string key = "{\"frame\":579,\"easing\":\"None\",\"value\":1.000000}";
    text.replace(text.find(key), key.size(), std::string("{\"frame\":579,\"easing\":\"None\",\"value\":") + value + "}");
    return text;
  }
  ReloadResult at(double ms) { return checkForNewVersion(reload, ms); }
  static float brightnessAt579(const Timeline* timeline) { return findTrack(timeline, "CM::Bright")->keys[579]->value.floatValue; }
};

TEST_F(Reload, ANewVersionIsReadOnceItStandsStill) {
  EXPECT_EQ(at(0).outcome, ReloadOutcome::Nothing);
  write(brighter("2.5"));
  EXPECT_EQ(at(1000).outcome, ReloadOutcome::Nothing) << "just written";
  EXPECT_EQ(at(1000 + kReloadSettleMs / 2).outcome, ReloadOutcome::Nothing);
  ReloadResult result = at(1000 + kReloadSettleMs);
  ASSERT_EQ(result.outcome, ReloadOutcome::Reloaded) << result.message;
  EXPECT_EQ(brightnessAt579(result.timeline), 2.5f);
  EXPECT_EQ(result.stamp, osFileStampOf(file.c_str()));
  destroyTimeline(result.timeline);
  EXPECT_EQ(at(5000).outcome, ReloadOutcome::Nothing) << "read once";

  // Written again while it settles: the wait starts over.
  write(brighter("3"));
  EXPECT_EQ(at(6000).outcome, ReloadOutcome::Nothing);
  write(brighter("3.25"));
  EXPECT_EQ(at(6000 + kReloadSettleMs - 1).outcome, ReloadOutcome::Nothing);
  result = at(6000 + 2 * kReloadSettleMs);
  ASSERT_EQ(result.outcome, ReloadOutcome::Reloaded) << result.message;
  EXPECT_EQ(brightnessAt579(result.timeline), 3.25f);
  destroyTimeline(result.timeline);
}

// An editor that stopped halfway (or a truncated copy): the text is not a whole timeline, so
// it fails with the place it ends; the rest arriving later loads.
TEST_F(Reload, AHalfWrittenFileNeverLoadsHalfATimeline) {
  const std::string full = brighter("0.5");
  write(full.substr(0, full.size() / 2));
  at(100);
  ReloadResult result = at(100 + kReloadSettleMs);
  ASSERT_EQ(result.outcome, ReloadOutcome::Failed);
  EXPECT_EQ(result.timeline, nullptr);
  EXPECT_EQ(result.message.rfind(file + ":1:", 0), 0u) << result.message;
  EXPECT_EQ(at(1000).outcome, ReloadOutcome::Nothing) << "said once";

  write(full);
  at(2000);
  result = at(2000 + kReloadSettleMs);
  ASSERT_EQ(result.outcome, ReloadOutcome::Reloaded) << result.message;
  EXPECT_EQ(brightnessAt579(result.timeline), 0.5f);
  destroyTimeline(result.timeline);

  fs::remove(file);
  at(3000);
  result = at(3000 + kReloadSettleMs);
  ASSERT_EQ(result.outcome, ReloadOutcome::Failed);
  // "FILE: " and the system's reason (its words differ between systems).
  EXPECT_EQ(result.message.rfind(file + ": ", 0), 0u) << result.message;
  EXPECT_GT(result.message.size(), file.size() + 2);
}

TEST_F(Reload, TheProgramsOwnWriteIsNotReadAgain) {
  std::string error;
  const std::string text = brighter("4");
  ASSERT_TRUE(osReplaceFile(file.c_str(), text.data(), text.size(), &error)) << error;
  versionWritten(reload, osFileStampOf(file.c_str()));
  EXPECT_EQ(at(100).outcome, ReloadOutcome::Nothing);
  EXPECT_EQ(at(100 + kReloadSettleMs + kReloadPollMs).outcome, ReloadOutcome::Nothing);
}

}  // namespace
