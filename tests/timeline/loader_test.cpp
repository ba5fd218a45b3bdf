// Loading timeline text into tracks, the default tracks, and refusing malformed content.
#include "timeline/loader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/fatal.h"

namespace {

constexpr uint32_t kFrames = 10843;

struct LoaderTest : testing::Test {
  Timeline* timeline = createTimeline(kFrames);
  ~LoaderTest() override { destroyTimeline(timeline); }

  bool load(const std::string& text) {
    return loadTimeline(timeline, text.data(), uint32_t(text.size()));
  }
  const Keyframe* keyAt(uint32_t track, uint32_t frame) const {
    return timeline->tracks[track]->keys[frame];
  }
};

// A track member with one key; `value` is the JSON text of the key's value.
std::string oneKeyTrack(const char* name, const char* type, const char* value,
                        const char* easing = "None", const char* frame = "0") {
  return std::string("\"") + name + "\":{\"type\":\"" + type + "\",\"frames\":[{\"frame\":" +
         frame + ",\"easing\":\"" + easing + "\",\"value\":" + value + "}]}";
}

std::string inRoot(const std::string& members) { return "{" + members + "}"; }

void loadOnly(const std::string& text) {
  Timeline* timeline = createTimeline(kFrames);
  loadTimeline(timeline, text.data(), uint32_t(text.size()));
  destroyTimeline(timeline);
}

TEST_F(LoaderTest, BuildsTracksKeysAndBookmarksInTextOrder) {
  ASSERT_TRUE(load(
      "{\"__bookmarks__\": [0,3254,7400],\"comment\":\"ignored\",\"n\":5,\"list\":[1,2],"
      "\"A::Float\":{\"type\":\"FLOAT\",\"frames\":[{\"frame\":0,\"easing\":\"Linear\","
      "\"value\":0.5},{\"frame\":100,\"easing\":\"BounceInOut\",\"value\":-208.839996}]},"
      "\"A::Vec\":{\"type\":\"FLOAT3\",\"frames\":[{\"frame\":10842,\"easing\":\"None\","
      "\"value\":[1.0,-2.5,0.25]}]},"
      "\"A::Count\":{\"type\":\"UINT\",\"frames\":[{\"frame\":7,\"easing\":\"CubicOut\","
      "\"value\":2147483647}]},"
      "\"A::Nothing\":{\"type\":\"INVALID\",\"frames\":[{\"frame\":3,\"easing\":\"None\","
      "\"value\":1}]}}"));

  ASSERT_EQ(timeline->bookmarks.count, 3u);
  EXPECT_EQ(timeline->bookmarks[1], 3254u);
  EXPECT_EQ(timeline->bookmarks[2], 7400u);
  ASSERT_EQ(timeline->tracks.count, 4u);
  EXPECT_EQ(timeline->frameCount, kFrames);

  EXPECT_STREQ(timeline->tracks[0]->name, "A::Float");
  EXPECT_EQ(timeline->tracks[0]->type, TrackType::FLOAT);
  ASSERT_NE(keyAt(0, 0), nullptr);
  EXPECT_EQ(keyAt(0, 0)->value.floatValue, 0.5f);
  EXPECT_EQ(keyAt(0, 0)->easing, 1u);
  EXPECT_EQ(keyAt(0, 100)->value.floatValue, -208.84f);
  EXPECT_EQ(keyAt(0, 100)->easing, 31u);
  EXPECT_EQ(keyAt(0, 50), nullptr);

  EXPECT_EQ(timeline->tracks[1]->type, TrackType::FLOAT3);
  const Keyframe* vec = keyAt(1, 10842);
  ASSERT_NE(vec, nullptr);
  EXPECT_EQ(vec->value.float3[0], 1.0f);
  EXPECT_EQ(vec->value.float3[1], -2.5f);
  EXPECT_EQ(vec->value.float3[2], 0.25f);

  EXPECT_EQ(timeline->tracks[2]->type, TrackType::UINT);
  EXPECT_EQ(keyAt(2, 7)->value.uintValue, 2147483647u);
  EXPECT_EQ(keyAt(2, 7)->easing, 6u);

  // An INVALID track is created but carries no key.
  EXPECT_EQ(timeline->tracks[3]->type, TrackType::INVALID);
  EXPECT_EQ(keyAt(3, 3), nullptr);
}

TEST_F(LoaderTest, NumbersKeepTheirRawWords) {
  // A FLOAT written without a decimal point keeps the integer's bits (a denormal),
  // and a UINT written with one keeps the float's bits: the text format's rule.
  ASSERT_TRUE(load(inRoot(oneKeyTrack("F", "FLOAT", "1") + "," + oneKeyTrack("U", "UINT", "1.0") +
                          "," + oneKeyTrack("V", "FLOAT3", "[1,2,3]") + "," +
                          oneKeyTrack("N", "UINT", "-1"))));
  EXPECT_EQ(keyAt(0, 0)->value.words[0], 1u);
  EXPECT_EQ(keyAt(1, 0)->value.words[0], 0x3F800000u);
  EXPECT_EQ(keyAt(2, 0)->value.words[2], 3u);
  EXPECT_EQ(keyAt(3, 0)->value.uintValue, 0xFFFFFFFFu);
}

TEST_F(LoaderTest, ArraysHoldingNodesAreReadElementByElement) {
  // A trailing comma or a mix of number kinds makes the reader keep value nodes; the
  // words still come from the numbers themselves.
  ASSERT_TRUE(load("{\"__bookmarks__\": [7,8,]," +
                   oneKeyTrack("V", "FLOAT3", "[1.5,2,-0.5,]") + "}"));
  ASSERT_EQ(timeline->bookmarks.count, 2u);
  EXPECT_EQ(timeline->bookmarks[1], 8u);
  EXPECT_EQ(keyAt(0, 0)->value.float3[0], 1.5f);
  EXPECT_EQ(keyAt(0, 0)->value.words[1], 2u);
  EXPECT_EQ(keyAt(0, 0)->value.float3[2], -0.5f);
}

TEST_F(LoaderTest, ReloadingReplacesEverythingButAFailedParseChangesNothing) {
  ASSERT_TRUE(load("{\"__bookmarks__\": [5]," + oneKeyTrack("Old", "UINT", "3") + "}"));
  EXPECT_FALSE(load("  \n"));
  EXPECT_FALSE(load("]"));
  ASSERT_EQ(timeline->tracks.count, 1u);
  ASSERT_EQ(timeline->bookmarks.count, 1u);

  ASSERT_TRUE(load(inRoot(oneKeyTrack("New", "FLOAT", "2.0"))));
  ASSERT_EQ(timeline->tracks.count, 1u);
  EXPECT_STREQ(timeline->tracks[0]->name, "New");
  EXPECT_EQ(timeline->bookmarks.count, 0u);

  // An empty root, a trailing comma and "[]" for bookmarks all give an empty timeline.
  EXPECT_TRUE(load("{}"));
  EXPECT_EQ(timeline->tracks.count, 0u);
  EXPECT_TRUE(load("{\"__bookmarks__\": [],}"));
  EXPECT_EQ(timeline->tracks.count, 0u);
  EXPECT_EQ(timeline->frameCount, kFrames);
}

TEST_F(LoaderTest, NulTerminatedFormCountsTheTerminator) {
  std::string text = inRoot(oneKeyTrack("T", "UINT", "9", "None", "2"));
  EXPECT_TRUE(loadTimeline(timeline, text.c_str()));
  EXPECT_EQ(keyAt(0, 2)->value.uintValue, 9u);
  EXPECT_FALSE(loadTimeline(timeline, nullptr));
}

TEST_F(LoaderTest, RepeatedTrackNamesPutTheirKeysOnTheFirst) {
  ASSERT_TRUE(load(inRoot(oneKeyTrack("T", "UINT", "1", "None", "0") + "," +
                          oneKeyTrack("T", "UINT", "2", "Linear", "9"))));
  ASSERT_EQ(timeline->tracks.count, 2u);
  EXPECT_EQ(keyAt(0, 9)->value.uintValue, 2u);
  EXPECT_EQ(keyAt(1, 9), nullptr);
  EXPECT_FATAL(loadOnly(inRoot(oneKeyTrack("T", "UINT", "1") + "," +
                               oneKeyTrack("T", "FLOAT", "1.0"))),
               "ASSERT: Track is FLOAT type");
}

TEST_F(LoaderTest, DefaultTracksHoldTheStartUpValues) {
  // A text holding only bookmarks gives no track: the defaults are added and the
  // bookmarks stay.
  ASSERT_TRUE(load("{\"__bookmarks__\": [12,34]}"));
  SceneParams params;
  addDefaultTracks(timeline, params);
  ASSERT_EQ(timeline->tracks.count, 13u);
  EXPECT_EQ(timeline->bookmarks.count, 2u);

  const char* names[] = {"SM::NumPart", "SM::SceneID",  "SM::TimeSc",  "CM::Pos",
                         "CM::Dir",     "CM::Bright",   "CM::Fov",     "BP::BkgColor",
                         "DF::FocusSc", "DF::FocusPt",  "TR::BlendFct", "AT::Steps",
                         "PT::SampleCnt"};
  TrackType types[] = {TrackType::UINT,   TrackType::UINT,   TrackType::FLOAT, TrackType::FLOAT3,
                       TrackType::FLOAT3, TrackType::FLOAT,  TrackType::FLOAT, TrackType::FLOAT3,
                       TrackType::FLOAT,  TrackType::FLOAT,  TrackType::FLOAT, TrackType::UINT,
                       TrackType::UINT};
  for (uint32_t i = 0; i < 13; ++i) {
    SCOPED_TRACE(names[i]);
    EXPECT_STREQ(timeline->tracks[i]->name, names[i]);
    EXPECT_EQ(timeline->tracks[i]->type, types[i]);
    ASSERT_NE(keyAt(i, 0), nullptr);
    EXPECT_EQ(keyAt(i, 0)->easing, 0u);
    EXPECT_EQ(keyAt(i, 1), nullptr);
  }
  EXPECT_EQ(keyAt(0, 0)->value.uintValue, 64u);
  EXPECT_EQ(keyAt(2, 0)->value.floatValue, 0.025f);
  EXPECT_EQ(keyAt(3, 0)->value.float3[2], -80.0f);
  // The direction words keep their stored order: 1.57 first.
  EXPECT_EQ(keyAt(4, 0)->value.float3[0], 1.57f);
  EXPECT_EQ(keyAt(4, 0)->value.float3[1], 0.0f);
  EXPECT_EQ(keyAt(6, 0)->value.floatValue, 60.0f);
  EXPECT_EQ(keyAt(7, 0)->value.float3[2], 0.18f);
  EXPECT_EQ(keyAt(9, 0)->value.floatValue, 22.0f);
  EXPECT_EQ(keyAt(10, 0)->value.floatValue, 0.15f);
  EXPECT_EQ(keyAt(11, 0)->value.uintValue, 2u);
  EXPECT_EQ(keyAt(12, 0)->value.uintValue, 4u);

  // With tracks already there, nothing is added twice.
  addDefaultTracks(timeline, params);
  EXPECT_EQ(timeline->tracks.count, 13u);
}

TEST(LoaderFatal, MissingMembersAndFramesOutOfRange) {
  const char* track = "\"T\":{\"type\":\"UINT\",\"frames\":[{\"frame\":0,\"easing\":\"None\"}]}";
  EXPECT_FATAL(loadOnly(inRoot(track)), "ASSERT: Failed to find value with key \"value\"");
  EXPECT_FATAL(loadOnly("{\"T\":{\"frames\":[]}}"), "ASSERT: Failed to find value with key \"type\"");
  EXPECT_FATAL(loadOnly("{\"T\":{\"type\":\"UINT\"}}"),
               "ASSERT: Failed to find value with key \"frames\"");
  EXPECT_FATAL(loadOnly("{\"T\":{\"type\":\"UINT\",\"frames\":[{\"easing\":\"None\"}]}}"),
               "ASSERT: Failed to find value with key \"frame\"");
  EXPECT_FATAL(loadOnly(inRoot(oneKeyTrack("T", "UINT", "1", "None", "10843"))),
               "ASSERT: Exceeded frame index. Max frame index is 10842");
  EXPECT_FATAL(loadOnly(inRoot(oneKeyTrack("T", "UINT", "1", "None", "-1"))),
               "ASSERT: Exceeded frame index");
}

TEST(LoaderFatal, ContentOfTheWrongKindNamesTheTrack) {
  EXPECT_FATAL(loadOnly("[1,2]"), "ASSERT: The timeline text is not a JSON object");
  EXPECT_FATAL(loadOnly("\"text\""), "ASSERT: The timeline text is not a JSON object");
  EXPECT_FATAL(loadOnly(inRoot(oneKeyTrack("CM::Pos", "VECTOR", "1"))),
               "ASSERT: Track \"CM::Pos\": unknown type \"VECTOR\"");
  EXPECT_FATAL(loadOnly("{\"T\":{\"type\":2,\"frames\":[]}}"),
               "ASSERT: Track \"T\": \"type\" is not a string");
  EXPECT_FATAL(loadOnly(inRoot(oneKeyTrack("T", "FLOAT", "1.0", "linear"))),
               "ASSERT: Track \"T\": unknown easing \"linear\" at frame 0");
  EXPECT_FATAL(loadOnly(inRoot(oneKeyTrack("T", "FLOAT", "1.0", "None", "2.0"))),
               "ASSERT: Track \"T\": \"frame\" of key 0 is not an integer");
  EXPECT_FATAL(loadOnly("{\"T\":{\"type\":\"UINT\",\"frames\":{}}}"),
               "ASSERT: Track \"T\": \"frames\" is not an array");
  EXPECT_FATAL(loadOnly("{\"T\":{\"type\":\"UINT\",\"frames\":[1,2]}}"),
               "ASSERT: Track \"T\": element 0 of \"frames\" is not an object");
  EXPECT_FATAL(loadOnly("{\"T\":{\"type\":\"UINT\",\"frames\":[{\"frame\":0,\"easing\":\"None\","
                        "\"value\":1},\"x\"]}}"),
               "ASSERT: Track \"T\": element 1 of \"frames\" is not an object");
}

TEST(LoaderFatal, ValuesOfTheWrongShapeAreRefused) {
  EXPECT_FATAL(loadOnly(inRoot(oneKeyTrack("T", "FLOAT", "\"1.0\"", "None", "4"))),
               "ASSERT: Track \"T\": \"value\" of the key at frame 4 is not a number");
  EXPECT_FATAL(loadOnly(inRoot(oneKeyTrack("T", "UINT", "[1]"))),
               "ASSERT: Track \"T\": \"value\" of the key at frame 0 is not a number");
  const char* notThree = "\"V\": \"value\" of the key at frame 0 is not an array of three numbers";
  EXPECT_FATAL(loadOnly(inRoot(oneKeyTrack("V", "FLOAT3", "[1.0,2.0]"))), notThree);
  EXPECT_FATAL(loadOnly(inRoot(oneKeyTrack("V", "FLOAT3", "[1.0,2.0,3.0,4.0]"))), notThree);
  EXPECT_FATAL(loadOnly(inRoot(oneKeyTrack("V", "FLOAT3", "[1.0,\"2\",3.0]"))), notThree);
  EXPECT_FATAL(loadOnly(inRoot(oneKeyTrack("V", "FLOAT3", "[1.0,[2.0],3.0]"))), notThree);
  EXPECT_FATAL(loadOnly(inRoot(oneKeyTrack("V", "FLOAT3", "[]"))), notThree);
  EXPECT_FATAL(loadOnly(inRoot(oneKeyTrack("V", "FLOAT3", "1.0"))), notThree);
}

TEST(LoaderFatal, BookmarksMustBeIntegers) {
  EXPECT_FATAL(loadOnly("{\"__bookmarks__\": [1.0,2.0]}"),
               "ASSERT: \"__bookmarks__\" element 0 is not an integer");
  EXPECT_FATAL(loadOnly("{\"__bookmarks__\": [1,2.5]}"),
               "ASSERT: \"__bookmarks__\" element 1 is not an integer");
  EXPECT_FATAL(loadOnly("{\"__bookmarks__\": [3,\"a\"]}"), "element 1 is not an integer");
  EXPECT_FATAL(loadOnly("{\"__bookmarks__\": [null]}"), "element 0 is not an integer");
}

}  // namespace
