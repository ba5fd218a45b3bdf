#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/support/fatal.h"
#include "timeline/easing.h"
#include "timeline/timeline.h"
#include "tools/timeline_header/embedded_timeline.h"

namespace {

uint32_t easing(const char* name) { return findEasingIndex(name); }

bool sameBits(const FrameValue& a, const FrameValue& b) { return memcmp(&a, &b, sizeof(FrameValue)) == 0; }

struct TimelineTest : ::testing::Test {
  Timeline* timeline = createTimeline(200);
  void TearDown() override { destroyTimeline(timeline); }

  void putFloat(const char* name, uint32_t frame, float value, const char* curve) {
    setFloatKey(timeline, name, frame, &value, easing(curve));
  }
  void putUint(const char* name, uint32_t frame, uint32_t value, const char* curve) {
    setUintKey(timeline, name, frame, &value, easing(curve));
  }
  FrameValue at(const char* name, uint32_t frame, uint32_t* easingOut = nullptr) {
    return evaluate(findTrack(timeline, name), frame, easingOut);
  }
};

TEST_F(TimelineTest, TracksWithoutKeysGiveZeroOfTheirTypeEverywhere) {
  addTrack(timeline, "f3", TrackType::FLOAT3);
  addTrack(timeline, "unknown", static_cast<TrackType>(4));
  for (uint32_t frame : {0u, 77u, 199u}) {
    uint32_t reported = 99;
    FrameValue value = at("f3", frame, &reported);
    EXPECT_EQ(value.type, TrackType::FLOAT3);
    EXPECT_EQ(value.words[0] | value.words[1] | value.words[2], 0u);
    EXPECT_EQ(reported, 0u);
    // A type code the store does not know is reported as INVALID.
    EXPECT_EQ(at("unknown", frame).type, TrackType::INVALID);
  }
  EXPECT_EQ(findTrack(timeline, "f3")->keys.count, 200u);
}

TEST_F(TimelineTest, LinearSegmentHitsKeysExactlyAndHoldsAfterTheLast) {
  addTrack(timeline, "f", TrackType::FLOAT);
  putFloat("f", 10, 1.0f, "Linear");
  putFloat("f", 110, 3.0f, "ElasticOut");

  // Before the first key: zero, not the first key's value.
  uint32_t reported = 99;
  EXPECT_EQ(at("f", 9, &reported).floatValue, 0.0f);
  EXPECT_EQ(reported, 0u);

  EXPECT_EQ(at("f", 10, &reported).floatValue, 1.0f);
  EXPECT_EQ(reported, easing("Linear"));
  EXPECT_FLOAT_EQ(at("f", 60).floatValue, 2.0f);
  EXPECT_FLOAT_EQ(at("f", 35).floatValue, 1.5f);
  // The next key's own curve governs only the segment after it.
  EXPECT_EQ(at("f", 110, &reported).floatValue, 3.0f);
  EXPECT_EQ(reported, easing("ElasticOut"));
  EXPECT_EQ(at("f", 160).floatValue, 3.0f);
  EXPECT_EQ(at("f", 199).floatValue, 3.0f);
}

TEST_F(TimelineTest, NoneHoldsUntilTheNextKey) {
  addTrack(timeline, "f", TrackType::FLOAT);
  putFloat("f", 0, 1.0f, "None");
  putFloat("f", 100, 3.0f, "None");
  EXPECT_EQ(at("f", 1).floatValue, 1.0f);
  EXPECT_EQ(at("f", 99).floatValue, 1.0f);
  EXPECT_EQ(at("f", 100).floatValue, 3.0f);
}

TEST_F(TimelineTest, Float3BlendsEachComponentWithTheSameCurve) {
  addTrack(timeline, "v", TrackType::FLOAT3);
  const float from[3] = {0.0f, 10.0f, -4.0f};
  const float to[3] = {2.0f, 10.0f, 4.0f};
  setFloat3Key(timeline, "v", 0, from, easing("QuadraticIn"));
  setFloat3Key(timeline, "v", 100, to, easing("None"));
  FrameValue value = at("v", 50);
  EXPECT_EQ(value.type, TrackType::FLOAT3);
  EXPECT_FLOAT_EQ(value.float3[0], 0.5f);
  EXPECT_FLOAT_EQ(value.float3[1], 10.0f);
  EXPECT_FLOAT_EQ(value.float3[2], -2.0f);
}

TEST(TimelineUint, BlendTruncatesTowardZeroAndOvershootsWrap) {
  Timeline* timeline = createTimeline(10843);
  addTrack(timeline, "n", TrackType::UINT);
  addTrack(timeline, "back", TrackType::UINT);
  const uint32_t zero = 0, from = 64, hundred = 100, to = 128;
  setUintKey(timeline, "n", 0, &from, findEasingIndex("Linear"));
  setUintKey(timeline, "n", 3254, &to, 0);
  setUintKey(timeline, "back", 0, &zero, findEasingIndex("BackIn"));
  setUintKey(timeline, "back", 100, &hundred, 0);
  const Track* track = timeline->tracks[0];
  EXPECT_EQ(evaluate(track, 1).uintValue, 64u);  // 64.0197
  EXPECT_EQ(evaluate(track, 3253).uintValue, 127u);
  EXPECT_EQ(evaluate(track, 10842).uintValue, 128u);
  const Track* back = timeline->tracks[1];
  EXPECT_EQ(evaluate(back, 1).uintValue, 0u);             // -0.0167 truncates to 0
  EXPECT_EQ(evaluate(back, 42).uintValue, 4294967286u);  // -10.0004: 2^32 - 10
  destroyTimeline(timeline);
}

TEST_F(TimelineTest, SettersReplaceKeysAndAddressTheFirstTrackOfAName) {
  addTrack(timeline, "dup", TrackType::FLOAT);
  addTrack(timeline, "dup", TrackType::UINT);
  putFloat("dup", 5, 1.0f, "None");
  putFloat("dup", 5, 2.0f, "Linear");  // replaces (the old key is freed; ASan checks)
  uint32_t reported = 0;
  EXPECT_EQ(evaluate(timeline->tracks[0], 5, &reported).floatValue, 2.0f);
  EXPECT_EQ(reported, easing("Linear"));
  EXPECT_EQ(evaluate(timeline->tracks[1], 5).uintValue, 0u);

  // No track of that name: silently nothing.
  putFloat("missing", 5, 1.0f, "None");
  EXPECT_EQ(timeline->tracks.count, 2u);
}

TEST_F(TimelineTest, ClearKeepsFrameCount) {
  addTrack(timeline, "a", TrackType::FLOAT);
  putFloat("a", 3, 7.0f, "None");
  timeline->bookmarks.push(3);
  clearTimeline(timeline);
  EXPECT_EQ(timeline->tracks.count + timeline->bookmarks.count, 0u);
  EXPECT_EQ(addTrack(timeline, "a", TrackType::UINT)->keys.count, 200u);
}

using TimelineDeathTest = TimelineTest;

TEST_F(TimelineDeathTest, FrameLimitsStopWithTheLargestValidIndex) {
  addTrack(timeline, "f", TrackType::FLOAT);
  EXPECT_EQ(at("f", 199).floatValue, 0.0f);  // the last frame is valid
  EXPECT_FATAL(at("f", 200), "ASSERT: Exceeded frame index. Max frame index is 199\n");
  EXPECT_FATAL(putFloat("f", 200, 1.0f, "None"),
               "ASSERT: Exceeded frame index. Max frame index is 199\n");
}

TEST_F(TimelineDeathTest, SettersRefuseAnotherTypeNamingWhatTheyExpected) {
  addTrack(timeline, "f", TrackType::FLOAT);
  addTrack(timeline, "u", TrackType::UINT);
  const float three[3] = {1, 2, 3};
  const uint32_t one = 1;
  EXPECT_FATAL(setUintKey(timeline, "f", 0, &one, 0), "ASSERT: Track is UINT type\n");
  EXPECT_FATAL(setFloatKey(timeline, "u", 0, three, 0), "ASSERT: Track is FLOAT type\n");
  EXPECT_FATAL(setFloat3Key(timeline, "f", 0, three, 0), "ASSERT: Track is FLOAT3 type\n");
}

TEST_F(TimelineDeathTest, RefusesEasingsOutsideTheTableAndOverlongNames) {
  addTrack(timeline, "f", TrackType::FLOAT);
  const float value = 1.0f;
  EXPECT_FATAL(setFloatKey(timeline, "f", 0, &value, EASING_COUNT),
               "ASSERT: Easing index 32 is outside the easing table");
  std::string longName(256, 'n');
  EXPECT_FATAL(addTrack(timeline, longName.c_str(), TrackType::FLOAT),
               "ASSERT: Track name is longer than 255 characters");
  addTrack(timeline, std::string(255, 'n').c_str(), TrackType::FLOAT);
  EXPECT_NE(findTrack(timeline, std::string(255, 'n').c_str()), nullptr);
}

// The presentation's own timeline, as the program evaluates it.
struct EmbeddedTimeline : ::testing::Test {
  Timeline* timeline = nullptr;
  void SetUp() override {
    timeline = createTimeline(EMBEDDED_TIMELINE_FRAME_COUNT);
    buildEmbeddedTimeline(timeline);
  }
  void TearDown() override { destroyTimeline(timeline); }
  FrameValue at(const char* name, uint32_t frame) {
    return evaluate(findTrack(timeline, name), frame);
  }
};

TEST_F(EmbeddedTimeline, TracksFollowTheirSegments) {
  ASSERT_EQ(timeline->tracks.count, 13u);
  for (const Track* track : timeline->tracks) EXPECT_NE(track->keys[0], nullptr) << track->name;
  EXPECT_EQ(at("SM::SceneID", 3253).uintValue, 0u);
  EXPECT_EQ(at("SM::SceneID", 3254).uintValue, 1u);
  EXPECT_EQ(at("SM::NumPart", 3253).uintValue, 64u);
  EXPECT_EQ(at("SM::NumPart", 3254).uintValue, 128u);
  EXPECT_EQ(at("CM::Pos", 435).float3[2], -208.84f);
  EXPECT_NEAR(at("CM::Pos", 790).float3[2], (-208.0f + -157.38f) / 2, 1e-3);
  EXPECT_EQ(at("CM::Pos", 1144).float3[2], -157.38f);
  EXPECT_NEAR(at("CM::Bright", 509).floatValue, 0.5f, 1e-6);
  EXPECT_EQ(at("CM::Bright", 7215).floatValue, 0.0f);
  EXPECT_EQ(at("DF::FocusPt", 3377).floatValue, 0.0001f);
}

// evaluateFrames walks the keys once; every frame must be the one evaluate gives, bit for bit:
// the embedded timeline's tracks, then keys of every curve on each type, with ranges that start
// before, on and between keys.
TEST_F(EmbeddedTimeline, EvaluatingARangeGivesEachFramesValue) {
  std::vector<FrameValue> values(timeline->frameCount);
  for (const Track* track : timeline->tracks) {
    evaluateFrames(track, 0, timeline->frameCount, values.data());
    for (uint32_t frame = 0; frame < timeline->frameCount; ++frame)
      ASSERT_TRUE(sameBits(values[frame], evaluate(track, frame))) << track->name << " " << frame;
  }
}

TEST_F(TimelineTest, EvaluatingARangeGivesEachFramesValueForEveryCurve) {
  addTrack(timeline, "f", TrackType::FLOAT);
  addTrack(timeline, "u", TrackType::UINT);
  addTrack(timeline, "v", TrackType::FLOAT3);
  for (uint32_t curve = 0; curve < EASING_COUNT; ++curve) {
    const uint32_t frame = 10 + curve * 5;
    const float f = float(curve % 3) * -40.5f + 7.25f, v[3] = {f, -f * 2.0f, 0.125f};
    const uint32_t u = (curve * 977u) % 300u;
    setFloatKey(timeline, "f", frame, &f, curve);
    setFloat3Key(timeline, "v", frame, v, curve);
    setUintKey(timeline, "u", frame, &u, curve);
  }
  FrameValue values[200];
  for (const Track* track : timeline->tracks)
    for (uint32_t first : {0u, 10u, 12u, 199u}) {
      const uint32_t count = 200 - first;
      evaluateFrames(track, first, count, values);
      for (uint32_t i = 0; i < count; ++i)
        ASSERT_TRUE(sameBits(values[i], evaluate(track, first + i))) << track->name << " " << first + i;
    }
  evaluateFrames(findTrack(timeline, "f"), 200, 0, values);  // an empty range at the end is no fault
  EXPECT_FATAL(evaluateFrames(findTrack(timeline, "f"), 150, 51, values), "ASSERT: Exceeded frame index");
}

}  // namespace
