// The program's changes to the edited file: read from disk, changed, written back whole and
// formatted as the writer formats; a file that does not load is left as it is.
#include "edit/timeline_edits.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "app/timeline_file.h"
#include "timeline/easing.h"
#include "timeline/writer.h"

namespace {

namespace fs = std::filesystem;

struct Edits : ::testing::Test {
  std::string directory = (fs::temp_directory_path() / ("tarnix-edits-" + std::to_string(std::random_device{}()))).string();
  std::string file = directory + "/show.json";

  void SetUp() override {
    fs::create_directories(directory);
    std::string message;
    ASSERT_TRUE(writeBuiltInTimelineFile(file, &message)) << message;
  }
  void TearDown() override {
    std::error_code error;
    fs::remove_all(directory, error);
  }
  std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  // The edit's timeline is what the file now holds, written as the writer writes it.
  void expectFileHolds(const TimelineEdit& edit) {
    ASSERT_TRUE(edit.written) << edit.message;
    EXPECT_EQ(read(file), serializeTimeline(edit.timeline, false));
    EXPECT_EQ(edit.stamp, osFileStampOf(file.c_str()));
  }
};

TEST_F(Edits, BookmarksAreAddedInFrameOrderAndRemoved) {
  TimelineEdit edit = toggleBookmark(file, 4000);
  expectFileHolds(edit);
  EXPECT_EQ(edit.message, "bookmark added at frame 4000");
  EXPECT_NE(read(file).find("[0,3254,3255,4000,5208,"), std::string::npos);
  destroyTimeline(edit.timeline);

  edit = toggleBookmark(file, 3254);
  expectFileHolds(edit);
  EXPECT_EQ(edit.message, "bookmark removed at frame 3254");
  EXPECT_NE(read(file).find("[0,3255,4000,5208,"), std::string::npos);
  destroyTimeline(edit.timeline);
}

TEST_F(Edits, CameraKeysAreNewLinearKeysOrKeepTheirEasing) {
  TimelineEdit edit = writeCameraKeys(file, 2000, Float3{1.5f, -2.0f, 30.0f}, Float3{0.25f, 1.5f, 0.0f});
  expectFileHolds(edit);
  EXPECT_EQ(edit.message, "camera keys written at frame 2000");
  const Keyframe* pos = findTrack(edit.timeline, "CM::Pos")->keys[2000];
  ASSERT_NE(pos, nullptr);
  EXPECT_EQ(pos->easing, findEasingIndex("Linear"));
  EXPECT_EQ(pos->value.float3[2], 30.0f);
  const Keyframe* dir = findTrack(edit.timeline, "CM::Dir")->keys[2000];
  ASSERT_NE(dir, nullptr);
  EXPECT_EQ(dir->value.float3[0], 0.25f) << "pitch first, as the track holds it";
  EXPECT_EQ(dir->value.float3[1], 1.5f);
  destroyTimeline(edit.timeline);

  // The key at 3255 eases "CircularOut"; it stays so, with the new value.
  edit = writeCameraKeys(file, 3255, Float3{4.0f, 5.0f, 6.0f}, Float3{0.0f, 0.0f, 0.0f});
  ASSERT_TRUE(edit.written) << edit.message;
  pos = findTrack(edit.timeline, "CM::Pos")->keys[3255];
  EXPECT_EQ(pos->easing, findEasingIndex("CircularOut"));
  EXPECT_EQ(pos->value.float3[0], 4.0f);
  destroyTimeline(edit.timeline);

  // A file without the camera tracks gets them.
  std::ofstream(file, std::ios::trunc) << "{\"__bookmarks__\": [1]}";
  edit = writeCameraKeys(file, 7, Float3{1.0f, 2.0f, 3.0f}, Float3{0.0f, 0.0f, 0.0f});
  expectFileHolds(edit);
  EXPECT_EQ(read(file),
            "{\"__bookmarks__\": [1],\"CM::Pos\":{\"type\":\"FLOAT3\",\"frames\":[{\"frame\":7,\"easing\":\"Linear\",\"value\":"
            "[1.000000,2.000000,3.000000]}]},\"CM::Dir\":{\"type\":\"FLOAT3\",\"frames\":[{\"frame\":7,\"easing\":\"Linear\","
            "\"value\":[0.000000,0.000000,0.000000]}]}}");
  destroyTimeline(edit.timeline);
  EXPECT_FALSE(writeCameraKeys(file, 7, Float3{NAN, 0.0f, 0.0f}, Float3{}).written);
}

TEST_F(Edits, AFileThatDoesNotLoadIsLeftAlone) {
  const std::string broken = "{\"CM::Bright\":{\"type\":\"FLOAT\",\"frames\":[}";
  std::ofstream(file, std::ios::trunc) << broken;
  TimelineEdit edit = toggleBookmark(file, 10);
  EXPECT_FALSE(edit.written);
  EXPECT_EQ(edit.timeline, nullptr);
  EXPECT_EQ(edit.message, "not written, the file does not load: " + file + ":1:41: expected a value, found '}'");
  EXPECT_EQ(read(file), broken);
  EXPECT_FALSE(writeCameraKeys(file, 10, Float3{}, Float3{}).written);
  EXPECT_EQ(read(file), broken);
}

TEST_F(Edits, TheHeaderGoesToTheCodeFolderOfTheWorkingDirectory) {
  const fs::path previous = fs::current_path();
  fs::current_path(directory);
  Timeline* timeline = loadBuiltInTimeline();
  std::string message;
  EXPECT_FALSE(writeEmbeddedTimelineHeader(timeline, &message));
  EXPECT_EQ(message.rfind("header not written: code/tarnix_timeline.json.h: ", 0), 0u) << message;
  fs::create_directory("code");
  EXPECT_TRUE(writeEmbeddedTimelineHeader(timeline, &message)) << message;
  EXPECT_EQ(message, "header written: code/tarnix_timeline.json.h");
  EXPECT_EQ(read("code/tarnix_timeline.json.h"), timelineHeaderText(timeline));
  destroyTimeline(timeline);
  fs::current_path(previous);
}

}  // namespace
