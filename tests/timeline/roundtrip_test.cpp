// Reading and writing agree: the embedded timeline survives load + serialize byte for
// byte, and any timeline the writer produces loads back into the same keys.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "code/tarnix_timeline.json.h"
#include "timeline/easing.h"
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
  addTrack(timeline, "Empty", TrackType::FLOAT);
  // One key per easing, so every name goes through the writer and back.
  for (uint32_t easing = 0; easing < EASING_COUNT; ++easing) {
    uint32_t frame = easing * 300 + 1;
    float f = -1000.5f + float(easing) * 61.25f;
    float v[3] = {f, 0.000001f * float(easing), -f};
    uint32_t u = easing * 0x07FFFFFFu;  // up to 0xF7FFFFE1: above the signed range
    setFloatKey(timeline, "F", frame, &f, easing);
    setFloat3Key(timeline, "V", kFrames - 1 - frame, v, easing);
    setUintKey(timeline, "U", frame, &u, easing);
  }
  timeline->bookmarks.push(0);
  timeline->bookmarks.push(kFrames - 1);
  std::string written = serializeTimeline(timeline, false);

  Timeline* loaded = createTimeline(kFrames);
  ASSERT_TRUE(loadTimeline(loaded, written.data(), uint32_t(written.size())));
  ASSERT_EQ(loaded->tracks.count, timeline->tracks.count);
  ASSERT_EQ(loaded->bookmarks.count, 2u);
  EXPECT_EQ(loaded->bookmarks[1], kFrames - 1);
  for (uint32_t t = 0; t < timeline->tracks.count; ++t) {
    const Track* original = timeline->tracks[t];
    const Track* copy = loaded->tracks[t];
    SCOPED_TRACE(original->name);
    EXPECT_STREQ(copy->name, original->name);
    EXPECT_EQ(copy->type, original->type);
    for (uint32_t frame = 0; frame < kFrames; ++frame) {
      const Keyframe* a = original->keys[frame];
      const Keyframe* b = copy->keys[frame];
      ASSERT_EQ(a == nullptr, b == nullptr) << "frame " << frame;
      if (a == nullptr) continue;
      EXPECT_EQ(b->easing, a->easing);
      EXPECT_EQ(b->value.type, a->value.type);
      // Floats go out with six decimals: quarter values come back exactly, the
      // millionths to within rounding.
      if (original->type == TrackType::FLOAT3) {
        EXPECT_EQ(b->value.float3[0], a->value.float3[0]);
        EXPECT_NEAR(b->value.float3[1], a->value.float3[1], 5e-7f);
        EXPECT_EQ(b->value.float3[2], a->value.float3[2]);
      } else {
        EXPECT_EQ(memcmp(&a->value, &b->value, sizeof(FrameValue)), 0);
      }
    }
  }
  EXPECT_EQ(serializeTimeline(loaded, false), written);
  destroyTimeline(loaded);
}

TEST_F(RoundTrip, EmptyTimelineTextLoadsAsEmpty) {
  // No tracks leaves "]," followed by "}": the trailing comma the reader accepts.
  std::string written = serializeTimeline(timeline, false);
  EXPECT_EQ(written, "{\"__bookmarks__\": [],}");
  EXPECT_TRUE(loadTimeline(timeline, written.c_str()));
  EXPECT_EQ(timeline->tracks.count, 0u);
  EXPECT_EQ(timeline->bookmarks.count, 0u);
}

}  // namespace
