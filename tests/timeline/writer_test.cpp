#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "code/tarnix_timeline.json.h"
#include "tests/support/fatal.h"
#include "timeline/easing.h"
#include "timeline/writer.h"
#include "tools/timeline_header/embedded_timeline.h"

namespace {

std::string readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream content;
  content << file.rdbuf();
  return content.str();
}

bool exists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(path, error);
}

// True when path is a directory afterwards. Windows runs a death test's whole test again
// in the child, which finds the directories of the parent made already.
bool makeDirectory(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directory(path, error);
  return !error && std::filesystem::is_directory(path, error);
}

std::string unescapeQuotes(std::string text) {
  for (size_t at = 0; (at = text.find("\\\"", at)) != std::string::npos; ++at) text.erase(at, 1);
  return text;
}

// Bookmarks, a track whose first key is not at frame 0, every value type, an empty
// track and an INVALID one.
Timeline* sampleTimeline() {
  Timeline* timeline = createTimeline(20);
  timeline->bookmarks.push(0);
  timeline->bookmarks.push(12);
  addTrack(timeline, "A", TrackType::FLOAT);
  addTrack(timeline, "B", TrackType::FLOAT3);
  addTrack(timeline, "C", TrackType::UINT);
  addTrack(timeline, "E", TrackType::FLOAT);
  addTrack(timeline, "I", TrackType::INVALID);
  const float one = 1.0f, far = -208.84f;
  const float direction[3] = {0.0f, 1.57f, 0.0f};
  const uint32_t big = 4000000000u;
  setFloatKey(timeline, "A", 9, &far, 0);
  setFloatKey(timeline, "A", 5, &one, findEasingIndex("Linear"));
  setFloat3Key(timeline, "B", 0, direction, 0);
  setUintKey(timeline, "C", 19, &big, findEasingIndex("BounceOut"));
  return timeline;
}

const char* const SAMPLE_JSON =
    R"({"__bookmarks__": [0,12],)"
    R"("A":{"type":"FLOAT","frames":[{"frame":5,"easing":"Linear","value":1.000000},)"
    R"({"frame":9,"easing":"None","value":-208.839996}]},)"
    R"("B":{"type":"FLOAT3","frames":[{"frame":0,"easing":"None","value":[0.000000,1.570000,0.000000]}]},)"
    R"("C":{"type":"UINT","frames":[{"frame":19,"easing":"BounceOut","value":4000000000}]},)"
    R"("E":{"type":"FLOAT","frames":[]},)"
    R"("I":{"type":"INVALID","frames":[]}})";

TEST(SerializeTimeline, WritesEveryValueTypeInTrackAndFrameOrder) {
  Timeline* timeline = sampleTimeline();
  EXPECT_EQ(serializeTimeline(timeline, false), SAMPLE_JSON);
  std::string escaped = serializeTimeline(timeline, true);
  EXPECT_EQ(escaped.find("\"A\""), std::string::npos);  // no bare structural quote
  EXPECT_EQ(unescapeQuotes(escaped), SAMPLE_JSON);
  destroyTimeline(timeline);
}

TEST(SerializeTimeline, EmptyTimelineAndEscapedForm) {
  Timeline* timeline = createTimeline(4);
  EXPECT_EQ(serializeTimeline(timeline, false), R"({"__bookmarks__": [],})");
  EXPECT_EQ(serializeTimeline(timeline, true), R"({\"__bookmarks__\": [],})");

  timeline->bookmarks.push(3);
  addTrack(timeline, "T", TrackType::UINT);
  const uint32_t two = 2;
  setUintKey(timeline, "T", 1, &two, 0);
  EXPECT_EQ(serializeTimeline(timeline, true),
            R"({\"__bookmarks__\": [3],\"T\":{\"type\":\"UINT\",\"frames\":[)"
            R"({\"frame\":1,\"easing\":\"None\",\"value\":2}]}})");
  EXPECT_EQ(timelineHeaderText(timeline),
            "#pragma once\nconst char TIMELINE_JSON_DATA[] = \"" +
                serializeTimeline(timeline, true) + "\";\n");
  destroyTimeline(timeline);
}

// The committed header must be exactly what the writer makes of the embedded
// timeline, so an edit to one without the other fails here.
TEST(EmbeddedTimelineHeader, MatchesTheWriterByteForByte) {
  Timeline* timeline = createTimeline(EMBEDDED_TIMELINE_FRAME_COUNT);
  buildEmbeddedTimeline(timeline);
  std::string json = serializeTimeline(timeline, false);
  EXPECT_EQ(json.size(), 4871u);
  EXPECT_EQ(sizeof(TIMELINE_JSON_DATA), 4872u);
  EXPECT_EQ(std::string(TIMELINE_JSON_DATA), json);
  EXPECT_EQ(readFile(TARNIX_SOURCE_DIR "/code/tarnix_timeline.json.h"),
            timelineHeaderText(timeline))
      << "regenerate it: run timeline_header from the repository root";
  destroyTimeline(timeline);
}

// Runs in a fresh directory, as the writer's paths are relative to the working one.
struct SaveTimeline : ::testing::Test {
  std::string previous;
  std::string directory;
  Timeline* timeline = sampleTimeline();

  void SetUp() override {
    previous = std::filesystem::current_path().string();
    // Named after the test and placed from where the suite started, so a death test's
    // re-run child (Windows runs SetUp again in a new process) lands in the same place,
    // and finds it made already.
    directory = ::testing::UnitTest::GetInstance()->original_working_dir() + std::string("/writer_test_") +
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
    if (!::testing::internal::InDeathTestChild()) {
      removeDirectory();
      ASSERT_TRUE(makeDirectory(directory));
    }
    std::filesystem::current_path(directory);
  }
  void TearDown() override {
    destroyTimeline(timeline);
    std::filesystem::current_path(previous);
    removeDirectory();
  }
  void removeDirectory() {
    std::error_code error;
    std::filesystem::remove_all(directory, error);
    ASSERT_FALSE(error) << error.message();
  }
  std::string save() {
    testing::internal::CaptureStdout();
    saveTimeline(timeline);
    return testing::internal::GetCapturedStdout();
  }
};

TEST_F(SaveTimeline, WritesTheJsonFileAndTheHeader) {
  ASSERT_TRUE(makeDirectory("code"));
  EXPECT_EQ(save(),
            "Saved timeline file tarnix_timeline.json\n"
            "Saved timeline file header code/tarnix_timeline.json.h\n");
  EXPECT_EQ(readFile("tarnix_timeline.json"), SAMPLE_JSON);
  EXPECT_EQ(readFile("code/tarnix_timeline.json.h"), timelineHeaderText(timeline));

  // An existing file is replaced, not appended to.
  clearTimeline(timeline);
  save();
  EXPECT_EQ(readFile("tarnix_timeline.json"), R"({"__bookmarks__": [],})");
}

TEST_F(SaveTimeline, WithoutCodeDirectoryStillWritesTheJsonFile) {
  EXPECT_EQ(save(),
            "Saved timeline file tarnix_timeline.json\n"
            "Failed to open file code/tarnix_timeline.json.h\n");
  EXPECT_EQ(readFile("tarnix_timeline.json"), SAMPLE_JSON);
}

TEST_F(SaveTimeline, UnopenableJsonFileStopsBeforeTheHeader) {
  ASSERT_TRUE(makeDirectory("code"));
  ASSERT_TRUE(makeDirectory("tarnix_timeline.json"));  // a directory cannot be opened
  EXPECT_EQ(save(), "Failed to open file tarnix_timeline.json\n");
  EXPECT_FALSE(exists("code/tarnix_timeline.json.h"));
}

TEST_F(SaveTimeline, FailedWritesAreReportedNotClaimedAsSaved) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows has no /dev/full";
#endif
  if (!exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  ASSERT_TRUE(makeDirectory("code"));
  std::filesystem::create_symlink("/dev/full", "tarnix_timeline.json");
  EXPECT_EQ(save(), "Failed to write file tarnix_timeline.json\n");
  EXPECT_FALSE(exists("code/tarnix_timeline.json.h"));

  testing::internal::CaptureStdout();
  EXPECT_FALSE(saveTimelineHeader(timeline, "/dev/full"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Failed to write file header /dev/full\n");
  testing::internal::CaptureStdout();
  EXPECT_FALSE(saveTimelineHeader(timeline, "missing/dir/x.h"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Failed to open file missing/dir/x.h\n");
}

TEST_F(SaveTimeline, PanicSavesThroughTheFatalHook) {
  ASSERT_TRUE(makeDirectory("code"));
  // The hook reads the variable at the time of the stop; while it is null nothing is saved.
  Timeline* variable = nullptr;
  saveTimelineFatalHook(&variable);
  EXPECT_FALSE(exists("tarnix_timeline.json"));

  variable = timeline;
  EXPECT_FATAL(
      {
        setFatalHandler(saveTimelineFatalHook, &variable);
        PANIC("Failed to present\n");
      },
      "PANIC: Failed to present\nSaved timeline file tarnix_timeline.json\n");
  EXPECT_EQ(readFile("tarnix_timeline.json"), SAMPLE_JSON);
  EXPECT_EQ(readFile("code/tarnix_timeline.json.h"), timelineHeaderText(timeline));
}

}  // namespace
