// Reading and writing agree: the embedded timeline survives load + serialize byte for
// byte, and any timeline the writer produces loads back into the same keys.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "code/tarnix_timeline.json.h"
#include "tests/support/fatal.h"
#include "tests/timeline/odd_names.h"
#include "timeline/easing.h"
#include "timeline/file_format.h"
#include "timeline/loader.h"
#include "timeline/writer.h"

namespace {

constexpr uint32_t kFrames = 10843;

struct RoundTrip : testing::Test {
  Timeline* timeline = createTimeline(kFrames);
  ~RoundTrip() override { destroyTimeline(timeline); }
};

TEST_F(RoundTrip, EmbeddedTimelineSerializesBackToItsExactText) {
  ASSERT_EQ(sizeof(TIMELINE_JSON_DATA), 4872u);
  // The way start-up loads it: a zero-filled copy one byte longer than the array.
  std::vector<char> buffer(sizeof(TIMELINE_JSON_DATA) + 1, '\0');
  memcpy(buffer.data(), TIMELINE_JSON_DATA, sizeof(TIMELINE_JSON_DATA));
  ASSERT_TRUE(loadTimeline(timeline, buffer.data(), uint32_t(sizeof(TIMELINE_JSON_DATA))));

  EXPECT_EQ(timeline->tracks.count, 13u);
  std::string text = serializeTimeline(timeline, false);
  EXPECT_EQ(text.size(), 4871u);
  EXPECT_EQ(text, std::string(TIMELINE_JSON_DATA));

  // Loading the written text again changes nothing.
  ASSERT_TRUE(loadTimeline(timeline, text.c_str()));
  EXPECT_EQ(serializeTimeline(timeline, false), text);
}

TEST_F(RoundTrip, WrittenTimelineLoadsBackKeyForKey) {
  addTrack(timeline, "F", TrackType::FLOAT);
  addTrack(timeline, "V", TrackType::FLOAT3);
  addTrack(timeline, "U", TrackType::UINT);
  addTrack(timeline, "I", TrackType::INVALID);
  // One key per easing, so every name goes through the writer and back. Quarter
  // values print exactly with six decimals.
  for (uint32_t easing = 0; easing < EASING_COUNT; ++easing) {
    uint32_t frame = easing * 300 + 1;
    float f = -1000.5f + float(easing) * 61.25f;
    float v[3] = {f, 0.25f, -f};
    uint32_t u = easing * 0x07FFFFFFu;  // up to 0xF7FFFFE1: above the signed range
    setFloatKey(timeline, "F", frame, &f, easing);
    setFloat3Key(timeline, "V", kFrames - 1 - frame, v, easing);
    setUintKey(timeline, "U", frame, &u, easing);
  }
  timeline->bookmarks.push(kFrames - 1);
  std::string written = serializeTimeline(timeline, false);

  Timeline* loaded = createTimeline(kFrames);
  ASSERT_TRUE(loadTimeline(loaded, written.data(), uint32_t(written.size())));
  ASSERT_EQ(loaded->tracks.count, 4u);
  EXPECT_EQ(loaded->bookmarks[0], kFrames - 1);
  for (uint32_t t = 0; t < 4; ++t) {
    EXPECT_EQ(loaded->tracks[t]->type, timeline->tracks[t]->type);
    for (uint32_t frame = 0; frame < kFrames; ++frame) {
      const Keyframe* a = timeline->tracks[t]->keys[frame];
      const Keyframe* b = loaded->tracks[t]->keys[frame];
      ASSERT_EQ(a == nullptr, b == nullptr) << "track " << t << " frame " << frame;
      if (a != nullptr) {
        EXPECT_EQ(memcmp(a, b, sizeof(Keyframe)), 0) << "track " << t << " frame " << frame;
      }
    }
  }
  EXPECT_EQ(serializeTimeline(loaded, false), written);
  destroyTimeline(loaded);
}

// The embedded text's reader takes an integer given for a FLOAT key as the key's bits, so
// -1 and 2139095040 are NaN and infinity. The writer once printed them as "nan" and "inf",
// which no reader takes: a saved timeline stopped the next start.
TEST_F(RoundTrip, NonFiniteFloatsAreWrittenAsTheirBitsAndReadBackUnchanged) {
  const std::string text =
      R"({"F":{"type":"FLOAT","frames":[{"frame":0,"easing":"None","value":-1},)"
      R"({"frame":1,"easing":"None","value":2139095040}]},)"
      R"("V":{"type":"FLOAT3","frames":[{"frame":2,"easing":"None","value":[4286578688,0.5,-2147483648]}]}})";
  ASSERT_TRUE(loadTimeline(timeline, text.c_str()));
  EXPECT_TRUE(std::isnan(timeline->tracks[0]->keys[0]->value.floatValue));
  EXPECT_EQ(timeline->tracks[0]->keys[1]->value.floatValue, INFINITY);
  EXPECT_EQ(timeline->tracks[1]->keys[2]->value.float3[0], -INFINITY);
  const std::string written = serializeTimeline(timeline, false);
  EXPECT_NE(written.find(R"("value":4294967295})"), std::string::npos) << written;
  EXPECT_NE(written.find(R"("value":[4286578688,0.500000,-0.000000]})"), std::string::npos) << written;
  Timeline* again = createTimeline(kFrames);
  ASSERT_TRUE(loadTimeline(again, written.c_str()));
  EXPECT_EQ(memcmp(&again->tracks[0]->keys[0]->value, &timeline->tracks[0]->keys[0]->value, sizeof(FrameValue)), 0);
  EXPECT_EQ(serializeTimeline(again, false), written);
  destroyTimeline(again);
}

// Names with quotes, backslashes, control characters and non-ASCII letters: the file is
// standard JSON that reads back to the same names, and the header's literal holds exactly
// the file's text (the odd-names header suite compiles one).
TEST_F(RoundTrip, OddNamesSurviveTheFileAndTheHeader) {
  buildOddNamesTimeline(timeline);
  const std::string written = serializeTimeline(timeline, false);
  TimelineFileRules rules;
  rules.frameCount = kFrames;
  TextError error;
  Timeline* loaded = loadTimelineFile(written.data(), written.size(), rules, &error);
  ASSERT_NE(loaded, nullptr) << error.position.line << ":" << error.position.column << ": " << error.message;
  for (uint32_t t = 0; t < timeline->tracks.count; ++t) EXPECT_STREQ(loaded->tracks[t]->name, timeline->tracks[t]->name);
  EXPECT_EQ(serializeTimeline(loaded, false), written);
  destroyTimeline(loaded);
  EXPECT_EQ(unescapeCString(serializeTimeline(timeline, true)), written);
}

// A NUL inside a name would make the track another one, silently: the embedded text's
// loader stops instead, as it does for every other malformed name.
TEST(RoundTripFatal, EmbeddedTextWithANulInsideANameStops) {
  const char text[] = "{\"CM::Pos\0x\":{\"type\":\"FLOAT3\",\"frames\":[]}}";
  Timeline* timeline = createTimeline(kFrames);
  EXPECT_FATAL(loadTimeline(timeline, text, uint32_t(sizeof(text))), "ASSERT: Track \"CM::Pos\": the name holds a NUL character");
  const char easing[] = "{\"T\":{\"type\":\"UINT\",\"frames\":[{\"frame\":0,\"easing\":\"None\0x\",\"value\":1}]}}";
  EXPECT_FATAL(loadTimeline(timeline, easing, uint32_t(sizeof(easing))), "ASSERT: Track \"T\": unknown easing \"None\"");
  destroyTimeline(timeline);
}

}  // namespace
