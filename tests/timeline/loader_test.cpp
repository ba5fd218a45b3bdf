// Loading timeline text into tracks and keys, and refusing malformed content.
#include "timeline/loader.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/fatal.h"

namespace {

constexpr uint32_t kFrames = 10843;

struct LoaderTest : testing::Test {
  Timeline* timeline = createTimeline(kFrames);
  ~LoaderTest() override { destroyTimeline(timeline); }
  bool load(const std::string& text) { return loadTimeline(timeline, text.data(), uint32_t(text.size())); }
  const Keyframe* key(uint32_t track, uint32_t frame) const { return timeline->tracks[track]->keys[frame]; }
};

// A root object holding one track with one key; `value` is the key's JSON text.
std::string oneKey(const char* type, const char* value, const char* easing = "None",
                   const char* frame = "0", const char* name = "T") {
  return std::string("{\"") + name + "\":{\"type\":\"" + type + "\",\"frames\":[{\"frame\":" + frame +
         ",\"easing\":\"" + easing + "\",\"value\":" + value + "}]}}";
}

void loadOnly(const std::string& text) {
  Timeline* timeline = createTimeline(kFrames);
  loadTimeline(timeline, text.data(), uint32_t(text.size()));
  destroyTimeline(timeline);
}

TEST_F(LoaderTest, BuildsTracksKeysAndBookmarksInTextOrder) {
  ASSERT_TRUE(load(
      "{\"__bookmarks__\": [0,3254,7,],\"note\":\"skipped\",\"n\":5,\"list\":[1],"
      "\"F\":{\"type\":\"FLOAT\",\"frames\":[{\"frame\":0,\"easing\":\"Linear\",\"value\":0.5},"
      "{\"frame\":100,\"easing\":\"BounceInOut\",\"value\":1}]},"
      "\"V\":{\"type\":\"FLOAT3\",\"frames\":[{\"frame\":10842,\"easing\":\"None\",\"value\":[1.0,-2.5,3,]}]},"
      "\"U\":{\"type\":\"UINT\",\"frames\":[{\"frame\":7,\"easing\":\"CubicOut\",\"value\":4294967295}]},"
      "\"I\":{\"type\":\"INVALID\",\"frames\":[{\"frame\":3,\"easing\":\"None\",\"value\":1}]}}"));
  ASSERT_EQ(timeline->bookmarks.count, 3u);
  EXPECT_EQ(timeline->bookmarks[2], 7u);
  ASSERT_EQ(timeline->tracks.count, 4u);
  EXPECT_STREQ(timeline->tracks[1]->name, "V");
  EXPECT_EQ(timeline->tracks[1]->type, TrackType::FLOAT3);
  EXPECT_EQ(key(0, 0)->value.floatValue, 0.5f);
  EXPECT_EQ(key(0, 0)->easing, 1u);
  EXPECT_EQ(key(0, 100)->easing, 31u);
  EXPECT_EQ(key(0, 50), nullptr);
  // Numbers are raw words: a FLOAT written without a decimal point keeps the
  // integer's bits, and so does a FLOAT3 element (read from a node array here).
  EXPECT_EQ(key(0, 100)->value.words[0], 1u);
  EXPECT_EQ(key(1, 10842)->value.float3[1], -2.5f);
  EXPECT_EQ(key(1, 10842)->value.words[2], 3u);
  EXPECT_EQ(key(2, 7)->value.uintValue, UINT32_MAX);
  EXPECT_EQ(timeline->tracks[3]->type, TrackType::INVALID);
  EXPECT_EQ(key(3, 3), nullptr);
}

TEST_F(LoaderTest, ReloadingReplacesEverythingButAFailedParseChangesNothing) {
  ASSERT_TRUE(load(oneKey("UINT", "3")));
  EXPECT_FALSE(load("  \n"));
  EXPECT_FALSE(load("]"));
  EXPECT_EQ(timeline->tracks.count, 1u);
  EXPECT_TRUE(load("{\"__bookmarks__\": [],}"));
  EXPECT_EQ(timeline->tracks.count, 0u);
  EXPECT_EQ(timeline->frameCount, kFrames);
  EXPECT_TRUE(loadTimeline(timeline, oneKey("UINT", "9", "None", "2").c_str()));
  EXPECT_EQ(key(0, 2)->value.uintValue, 9u);
}

TEST_F(LoaderTest, RepeatedTrackNamesPutTheirKeysOnTheFirst) {
  std::string a = oneKey("UINT", "1"), b = oneKey("UINT", "2", "None", "9");
  ASSERT_TRUE(load(a.substr(0, a.size() - 1) + "," + b.substr(1)));
  ASSERT_EQ(timeline->tracks.count, 2u);
  EXPECT_EQ(key(0, 9)->value.uintValue, 2u);
  std::string f = oneKey("FLOAT", "1.0");
  EXPECT_FATAL(loadOnly(a.substr(0, a.size() - 1) + "," + f.substr(1)), "ASSERT: Track is FLOAT type");
}

TEST(LoaderFatal, MissingMembersAndFramesOutOfRange) {
  EXPECT_FATAL(loadOnly("{\"T\":{\"frames\":[]}}"), "ASSERT: Failed to find value with key \"type\"");
  EXPECT_FATAL(loadOnly("{\"T\":{\"type\":\"UINT\",\"frames\":[{\"frame\":0,\"easing\":\"None\"}]}}"),
               "ASSERT: Failed to find value with key \"value\"");
  EXPECT_FATAL(loadOnly(oneKey("UINT", "1", "None", "10843")),
               "ASSERT: Exceeded frame index. Max frame index is 10842");
}

TEST(LoaderFatal, ContentOfTheWrongKindNamesTheTrack) {
  EXPECT_FATAL(loadOnly("[1,2]"), "ASSERT: The timeline text is not a JSON object");
  EXPECT_FATAL(loadOnly(oneKey("VECTOR", "1", "None", "0", "CM::Pos")),
               "ASSERT: Track \"CM::Pos\": unknown type \"VECTOR\"");
  EXPECT_FATAL(loadOnly("{\"T\":{\"type\":2,\"frames\":[]}}"), "Track \"T\": \"type\" is not a string");
  EXPECT_FATAL(loadOnly(oneKey("FLOAT", "1.0", "linear")), "Track \"T\": unknown easing \"linear\" at frame 0");
  EXPECT_FATAL(loadOnly(oneKey("FLOAT", "1.0", "None", "2.0")), "Track \"T\": \"frame\" of key 0 is not an integer");
  EXPECT_FATAL(loadOnly("{\"T\":{\"type\":\"UINT\",\"frames\":{}}}"), "Track \"T\": \"frames\" is not an array");
  EXPECT_FATAL(loadOnly("{\"T\":{\"type\":\"UINT\",\"frames\":[1,2]}}"),
               "Track \"T\": element 0 of \"frames\" is not an object");
  EXPECT_FATAL(loadOnly("{\"T\":{\"type\":\"INVALID\",\"frames\":[{\"frame\":0,\"easing\":\"None\"},7]}}"),
               "Track \"T\": element 1 of \"frames\" is not an object");
  EXPECT_FATAL(loadOnly(oneKey("FLOAT", "\"1.0\"", "None", "4")),
               "Track \"T\": \"value\" of the key at frame 4 is not a number");
  for (const char* value : {"[1.0,2.0]", "[1.0,2.0,3.0,4.0]", "[1.0,\"2\",3.0]", "[]", "1.0"})
    EXPECT_FATAL(loadOnly(oneKey("FLOAT3", value)),
                 "Track \"T\": \"value\" of the key at frame 0 is not an array of three numbers")
        << value;
  EXPECT_FATAL(loadOnly("{\"__bookmarks__\": [1,2.5]}"), "ASSERT: \"__bookmarks__\" element 1 is not an integer");
  EXPECT_FATAL(loadOnly("{\"__bookmarks__\": [1.0,2.0]}"), "\"__bookmarks__\" element 0 is not an integer");
}

}  // namespace
