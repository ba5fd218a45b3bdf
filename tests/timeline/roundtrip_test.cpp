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

}  // namespace
