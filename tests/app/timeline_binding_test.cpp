// The per-frame binding: which track writes where, the projection rewrite, the
// timeline clock, and the default tracks.
#include "app/timeline_binding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "timeline/loader.h"

namespace {

uint32_t bitsOf(float value) {
  uint32_t bits;
  memcpy(&bits, &value, sizeof(bits));
  return bits;
}

// Every destination, zero-filled, so a test can compare all of them at once.
struct World {
  ParticleSceneData particleScene;
  SimulationData simulation;
  float timeScale;
  Camera camera;
  FinalPassData finalPass;
  Float4x4 projection;
  DepthOfFieldData depthOfField;
  ConstantBufferData constants;
  uint32_t atrousSteps;

  World() { memset(static_cast<void*>(this), 0, sizeof(*this)); }
  TimelineDestinations destinations() {
    return {&particleScene, &simulation,   &timeScale, &camera,     &finalPass,
            &projection,    &depthOfField, &constants, &atrousSteps};
  }
  bool operator==(const World& other) const { return memcmp(this, &other, sizeof(World)) == 0; }
};

FrameValue valueOf(uint32_t x, uint32_t y = 0, uint32_t z = 0) {
  FrameValue value{};
  value.type = TrackType::INVALID;  // the tag is never looked at
  value.words[0] = x;
  value.words[1] = y;
  value.words[2] = z;
  return value;
}

TEST(TrackBinding, EachNameWritesExactlyItsDestination) {
  const uint32_t words[3] = {0x3F8CCCCD, 0x40133333, 0xC1A2B3C4};
  using Field = void* (*)(World&);
  struct Case {
    const char* name;
    Field field;
    uint32_t wordCount;
  };
  const Case cases[] = {
      {"SM::NumPart", [](World& w) -> void* { return &w.particleScene.numParticles; }, 1},
      {"SM::SceneID", [](World& w) -> void* { return &w.simulation.scene; }, 1},
      {"SM::TimeSc", [](World& w) -> void* { return &w.timeScale; }, 1},
      {"CM::Pos", [](World& w) -> void* { return &w.camera.position; }, 3},
      {"CM::Bright", [](World& w) -> void* { return &w.finalPass.brightness; }, 1},
      {"BP::BkgColor", [](World& w) -> void* { return &w.particleScene.backgroundColor; }, 3},
      {"DF::FocusSc", [](World& w) -> void* { return &w.depthOfField.focusScale; }, 1},
      {"DF::FocusPt", [](World& w) -> void* { return &w.depthOfField.focusPoint; }, 1},
      {"TR::BlendFct", [](World& w) -> void* { return &w.constants.blendFactor; }, 1},
      {"AT::Steps", [](World& w) -> void* { return &w.atrousSteps; }, 1},
      {"PT::SampleCnt", [](World& w) -> void* { return &w.constants.sampleCount; }, 1},
  };
  for (const Case& c : cases) {
    World world, expected;
    applyTrackValue(world.destinations(), c.name, 77, valueOf(words[0], words[1], words[2]));
    memcpy(c.field(expected), words, c.wordCount * 4);
    EXPECT_TRUE(world == expected) << c.name;
  }

  // "CM::Dir" words are x pitch, y yaw, z roll.
  World world;
  applyTrackValue(world.destinations(), "CM::Dir", 0, valueOf(bitsOf(0.5f), bitsOf(1.57f), bitsOf(-2.0f)));
  World expected;
  expected.camera.pitch = 0.5f;
  expected.camera.yaw = 1.57f;
  expected.camera.roll = -2.0f;
  EXPECT_TRUE(world == expected);

  // Names match exactly or not at all.
  for (const char* name : {"CM::Pos2", "CM::Po", "cm::pos", "CM::Pos ", "", "CM::Fov::"})
    applyTrackValue(world.destinations(), name, 0, valueOf(words[0], words[1], words[2]));
  EXPECT_TRUE(world == expected);
}

TEST(TrackBinding, FieldOfViewRewritesTheWholeProjection) {
  World world;
  for (int i = 0; i < 16; ++i) (&world.projection.m[0][0])[i] = 7.0f;
  applyTrackValue(world.destinations(), "CM::Fov", 0, valueOf(bitsOf(90.0f)));
  const float* m = &world.projection.m[0][0];
  float c = 1.0f / std::tan(90.0f * 3.1415927f / 180.0f * 0.5f);
  for (int i = 0; i < 16; ++i) {
    uint32_t expected = i == 0 ? bitsOf(c / 1.7777778f)
                        : i == 5 ? bitsOf(c)
                        : i == 10 ? 0xBF80068Du
                        : i == 11 ? bitsOf(-1.0f)
                        : i == 14 ? 0xBE4CD20Au
                                  : 0u;
    EXPECT_EQ(bitsOf(m[i]), expected) << "float " << i;
  }
}

// Before the first frame every field of SceneParams but the scene number is in its
// destination; the camera's starting angles are yaw, pitch, roll (the track's are pitch,
// yaw, roll), the projection is the one a "CM::Fov" key of the same value gives.
TEST(SceneParameters, StartingValuesReachEveryDestination) {
  SceneParams params;
  params.sceneId = 3;
  World world;
  world.simulation.scene = 9;
  applySceneParams(world.destinations(), params);
  EXPECT_EQ(world.particleScene.numParticles, 64u);
  EXPECT_EQ(world.simulation.scene, 9u) << "the scene number is left alone";
  EXPECT_EQ(world.timeScale, 0.025f);
  EXPECT_EQ(world.camera.position.z, -80.0f);
  EXPECT_EQ(world.camera.yaw, 1.57f);
  EXPECT_EQ(world.camera.pitch, 0.0f);
  EXPECT_EQ(world.finalPass.brightness, 1.0f);
  EXPECT_EQ(world.particleScene.backgroundColor.z, 0.18f);
  EXPECT_EQ(world.depthOfField.focusPoint, 22.0f);
  EXPECT_EQ(world.depthOfField.radiusScale, 1.0f);
  EXPECT_EQ(world.depthOfField.blurSize, 20.0f);
  EXPECT_EQ(world.depthOfField.maxDist, 1000.0f);
  EXPECT_EQ(world.constants.blendFactor, 0.15f);
  EXPECT_EQ(world.constants.depthThreshold, 0.004f);
  EXPECT_EQ(world.constants.normalThreshold, 0.9f);
  EXPECT_EQ(world.constants.standardDeviation, 1.0f);
  EXPECT_EQ(world.constants.velocityScale, 1.0f);
  EXPECT_EQ(world.atrousSteps, 2u);
  EXPECT_EQ(world.constants.sampleCount, 4u);
  EXPECT_EQ(world.finalPass.tonemapping, TonemapFunction::WHITE_PRESERVING_LUMA_BASED_REINHARD);
  World keyed;
  applyTrackValue(keyed.destinations(), "CM::Fov", 0, valueOf(bitsOf(60.0f)));
  EXPECT_EQ(memcmp(&keyed.projection, &world.projection, sizeof(Float4x4)), 0);

  // Each word of SceneParams is some parameter's, and only one's.
  std::vector<int> owners(sizeof(SceneParams) / 4, 0);
  for (const SceneParameter& parameter : sceneParameters())
    for (size_t w = 0; w < (parameter.type == TrackType::FLOAT3 ? 3u : 1u); ++w) owners[parameter.startOffset / 4 + w]++;
  for (size_t w = 0; w < owners.size(); ++w) EXPECT_EQ(owners[w], 1) << "word " << w;
}

struct UpdateTest : testing::Test {
  Timeline* timeline = createTimeline(10843);
  World world;
  ~UpdateTest() override { destroyTimeline(timeline); }
};

TEST_F(UpdateTest, EvaluatesEveryTrackBeforeDeliveringThemInOrder) {
  addTrack(timeline, "B", TrackType::UINT);
  addTrack(timeline, "A", TrackType::FLOAT);
  uint32_t a = 10, b = 20;
  float f = 5.0f;
  setUintKey(timeline, "B", 0, &a, 1);  // Linear to the next key
  setUintKey(timeline, "B", 100, &b, 0);
  setFloatKey(timeline, "A", 40, &f, 0);
  timeline->callbackTag = 9;
  std::string calls;
  TrackCallback record = [&](const char* name, uint32_t tag, FrameValue value) {
    EXPECT_EQ(timeline->tracks[1]->current.floatValue, 5.0f);
    calls += std::string(name) + ":" + std::to_string(tag) + ":" + std::to_string(value.words[0]) + " ";
  };
  uint32_t counter = 50, evaluated = 0;
  updateTimeline(timeline, &counter, &evaluated, record);
  EXPECT_EQ(evaluated, 50u);
  EXPECT_EQ(calls, "B:9:15 A:9:" + std::to_string(bitsOf(5.0f)) + " ");
  EXPECT_EQ(timeline->tracks[0]->currentEasing, 1u);
}

TEST_F(UpdateTest, TheClockWrapsToZeroAfterTheLastFrame) {
  addTrack(timeline, "SM::SceneID", TrackType::UINT);
  uint32_t first = 3, last = 8;
  setUintKey(timeline, "SM::SceneID", 0, &first, 0);
  setUintKey(timeline, "SM::SceneID", 10842, &last, 0);
  world.simulation.frame = 10842;
  updateTimeline(timeline, world.destinations());
  EXPECT_EQ(world.simulation.scene, 8u);
  EXPECT_EQ(world.finalPass.frame, 10842u);

  world.simulation.frame = 10843;
  updateTimeline(timeline, world.destinations());
  EXPECT_EQ(world.simulation.scene, 3u);
  EXPECT_EQ(world.simulation.frame, 0u);
  EXPECT_EQ(world.finalPass.frame, 0u);
}

TEST(DefaultTracks, HoldTheStartUpValues) {
  Timeline* timeline = createTimeline(10843);
  auto key = [&](uint32_t track, uint32_t frame) { return timeline->tracks[track]->keys[frame]; };
  // Bookmarks alone give no track: the defaults are added and the bookmarks stay.
  ASSERT_TRUE(loadTimeline(timeline, "{\"__bookmarks__\": [12]}"));
  addDefaultTracks(timeline, SceneParams{});
  ASSERT_EQ(timeline->tracks.count, 13u);
  EXPECT_EQ(timeline->bookmarks.count, 1u);
  const char* names[] = {"SM::NumPart", "SM::SceneID", "SM::TimeSc",   "CM::Pos",   "CM::Dir",
                         "CM::Bright",  "CM::Fov",     "BP::BkgColor", "DF::FocusSc", "DF::FocusPt",
                         "TR::BlendFct", "AT::Steps",  "PT::SampleCnt"};
  for (uint32_t i = 0; i < 13; ++i) {
    EXPECT_STREQ(timeline->tracks[i]->name, names[i]);
    ASSERT_NE(key(i, 0), nullptr) << names[i];
    EXPECT_EQ(key(i, 0)->easing, 0u);
  }
  EXPECT_EQ(timeline->tracks[11]->type, TrackType::UINT);
  EXPECT_EQ(key(0, 0)->value.uintValue, 64u);
  EXPECT_EQ(key(3, 0)->value.float3[2], -80.0f);
  EXPECT_EQ(key(4, 0)->value.float3[0], 1.57f);  // stored order: 1.57 first
  EXPECT_EQ(key(6, 0)->value.floatValue, 60.0f);
  EXPECT_EQ(key(12, 0)->value.uintValue, 4u);
  addDefaultTracks(timeline, SceneParams{});  // tracks exist: nothing is added twice
  EXPECT_EQ(timeline->tracks.count, 13u);
  destroyTimeline(timeline);
}

}  // namespace
