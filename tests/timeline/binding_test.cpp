// The per-frame binding: which track writes where, the projection rewrite, and the
// timeline clock.
#include "timeline/binding.h"

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

// Every destination, zero-filled, so a test can tell exactly which bytes a value
// reached.
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
    return {&particleScene, &simulation, &timeScale,    &camera,    &finalPass,
            &projection,    &depthOfField, &constants, &atrousSteps};
  }
  // How many bytes of all destinations are no longer zero.
  size_t changedBytes() const {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(this);
    size_t changed = 0;
    for (size_t i = 0; i < sizeof(*this); ++i) changed += bytes[i] != 0;
    return changed;
  }
};

// Word values whose bytes are all non-zero, so every written byte shows.
FrameValue valueOf(TrackType type, uint32_t x, uint32_t y = 0, uint32_t z = 0) {
  FrameValue value{};
  value.type = type;
  value.words[0] = x;
  value.words[1] = y;
  value.words[2] = z;
  return value;
}

TEST(TrackBinding, EachNameWritesOnlyItsDestination) {
  const uint32_t x = 0x3F8CCCCD, y = 0x40133333, z = 0xC1A2B3C4;  // 1.1, 2.3, -20.3...
  struct Case {
    const char* name;
    uint32_t words;
    void* (*field)(World&);
  };
  const Case cases[] = {
      {"SM::NumPart", 1, [](World& w) -> void* { return &w.particleScene.numParticles; }},
      {"SM::SceneID", 1, [](World& w) -> void* { return &w.simulation.scene; }},
      {"SM::TimeSc", 1, [](World& w) -> void* { return &w.timeScale; }},
      {"CM::Pos", 3, [](World& w) -> void* { return &w.camera.position; }},
      {"CM::Bright", 1, [](World& w) -> void* { return &w.finalPass.brightness; }},
      {"BP::BkgColor", 3, [](World& w) -> void* { return &w.particleScene.backgroundColor; }},
      {"DF::FocusSc", 1, [](World& w) -> void* { return &w.depthOfField.focusScale; }},
      {"DF::FocusPt", 1, [](World& w) -> void* { return &w.depthOfField.focusPoint; }},
      {"TR::BlendFct", 1, [](World& w) -> void* { return &w.constants.blendFactor; }},
      {"AT::Steps", 1, [](World& w) -> void* { return &w.atrousSteps; }},
      {"PT::SampleCnt", 1, [](World& w) -> void* { return &w.constants.sampleCount; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    World world;
    // The type tag is ignored: bits arrive unchanged whatever the track's type.
    applyTrackValue(world.destinations(), c.name, 77, valueOf(TrackType::INVALID, x, y, z));
    uint32_t written[3] = {};
    memcpy(written, c.field(world), c.words * 4);
    EXPECT_EQ(written[0], x);
    if (c.words == 3) {
      EXPECT_EQ(written[1], y);
      EXPECT_EQ(written[2], z);
    }
    EXPECT_EQ(world.changedBytes(), c.words * 4u);
  }
}

TEST(TrackBinding, DirectionWordsArePitchYawRoll) {
  World world;
  applyTrackValue(world.destinations(), "CM::Dir", 0,
                  valueOf(TrackType::FLOAT3, bitsOf(0.0f), bitsOf(1.57f), bitsOf(0.0f)));
  EXPECT_EQ(world.camera.yaw, 1.57f);
  EXPECT_EQ(world.camera.pitch, 0.0f);

  applyTrackValue(world.destinations(), "CM::Dir", 0,
                  valueOf(TrackType::FLOAT3, bitsOf(1.57f), bitsOf(0.25f), bitsOf(-0.5f)));
  EXPECT_EQ(world.camera.pitch, 1.57f);
  EXPECT_EQ(world.camera.yaw, 0.25f);
  EXPECT_EQ(world.camera.roll, -0.5f);
  World expected;
  expected.camera.pitch = 1.57f;
  expected.camera.yaw = 0.25f;
  expected.camera.roll = -0.5f;
  EXPECT_EQ(memcmp(&world, &expected, sizeof(World)), 0);
}

TEST(TrackBinding, FieldOfViewRewritesTheWholeProjection) {
  World world;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) world.projection.m[r][c] = 7.0f;
  applyTrackValue(world.destinations(), "CM::Fov", 0, valueOf(TrackType::FLOAT, bitsOf(90.0f)));

  const float* m = &world.projection.m[0][0];
  float c = 1.0f / std::tan(90.0f * 3.1415927f / 180.0f * 0.5f);
  for (int i = 0; i < 16; ++i) {
    SCOPED_TRACE(i);
    if (i == 0) EXPECT_EQ(m[i], c / 1.7777778f);
    else if (i == 5) EXPECT_EQ(m[i], c);
    else if (i == 10) EXPECT_EQ(bitsOf(m[i]), 0xBF80068Du);
    else if (i == 11) EXPECT_EQ(m[i], -1.0f);
    else if (i == 14) EXPECT_EQ(bitsOf(m[i]), 0xBE4CD20Au);
    else EXPECT_EQ(bitsOf(m[i]), 0u);
  }
  EXPECT_NEAR(m[5], 1.0f, 1e-6f);

  // The start-up projection and the rewrite agree for the same angle.
  Float4x4 startUp;
  makeCameraProjection(startUp, 60.0f);
  writeFovProjection(world.projection, 60.0f);
  EXPECT_EQ(memcmp(&startUp, &world.projection, sizeof(Float4x4)), 0);
}

TEST(TrackBinding, NamesMustMatchExactly) {
  World world;
  FrameValue value = valueOf(TrackType::FLOAT3, 1, 2, 3);
  for (const char* name : {"CM::Pos2", "CM::Po", "cm::pos", "CM::Pos ", "", "SM::NumParts"})
    applyTrackValue(world.destinations(), name, 0, value);
  EXPECT_EQ(world.changedBytes(), 0u);
}

struct UpdateTest : testing::Test {
  Timeline* timeline = createTimeline(10843);
  World world;
  ~UpdateTest() override { destroyTimeline(timeline); }
};

TEST_F(UpdateTest, EvaluatesEveryTrackThenDeliversThemInOrder) {
  addTrack(timeline, "B", TrackType::UINT);
  addTrack(timeline, "A", TrackType::FLOAT);
  uint32_t a = 10, b = 20;
  setUintKey(timeline, "B", 0, &a, 1);  // Linear
  setUintKey(timeline, "B", 100, &b, 0);
  float f = 5.0f;
  setFloatKey(timeline, "A", 40, &f, 0);
  timeline->callbackTag = 9;

  std::vector<std::string> calls;
  TrackCallback record = [&](const char* name, uint32_t tag, FrameValue value) {
    // Every track is evaluated before the first delivery.
    EXPECT_EQ(timeline->tracks[1]->current.floatValue, 5.0f);
    calls.push_back(std::string(name) + ":" + std::to_string(tag) + ":" +
                    std::to_string(value.words[0]));
  };
  uint32_t counter = 50, evaluated = 0;
  updateTimeline(timeline, &counter, &evaluated, record);
  EXPECT_EQ(evaluated, 50u);
  EXPECT_EQ(counter, 50u);
  EXPECT_EQ(calls, (std::vector<std::string>{"B:9:15", "A:9:" + std::to_string(bitsOf(5.0f))}));
  EXPECT_EQ(timeline->tracks[0]->currentEasing, 1u);
  EXPECT_EQ(timeline->tracks[1]->currentEasing, 0u);
}

TEST_F(UpdateTest, TheClockWrapsToZeroAfterTheLastFrame) {
  addTrack(timeline, "SM::SceneID", TrackType::UINT);
  uint32_t first = 3, last = 8;
  setUintKey(timeline, "SM::SceneID", 0, &first, 0);
  setUintKey(timeline, "SM::SceneID", 10842, &last, 0);

  world.simulation.frame = 10842;
  updateTimeline(timeline, world.destinations());
  EXPECT_EQ(world.simulation.scene, 8u);
  EXPECT_EQ(world.simulation.frame, 10842u);
  EXPECT_EQ(world.finalPass.frame, 10842u);

  world.simulation.frame = 10843;
  world.finalPass.frame = 1234;
  updateTimeline(timeline, world.destinations());
  EXPECT_EQ(world.simulation.scene, 3u);
  EXPECT_EQ(world.simulation.frame, 0u);
  EXPECT_EQ(world.finalPass.frame, 0u);
}

TEST_F(UpdateTest, DefaultTracksReproduceTheStartUpState) {
  SceneParams params;
  addDefaultTracks(timeline, params);
  addTrack(timeline, "CM::Pos::Extra", TrackType::FLOAT3);  // evaluated, bound to nothing
  world.simulation.frame = 4000;
  updateTimeline(timeline, world.destinations());

  EXPECT_EQ(world.particleScene.numParticles, 64u);
  EXPECT_EQ(world.simulation.scene, 0u);
  EXPECT_EQ(world.timeScale, 0.025f);
  EXPECT_EQ(world.camera.position.z, -80.0f);
  EXPECT_EQ(world.camera.pitch, 1.57f);
  EXPECT_EQ(world.camera.yaw, 0.0f);
  EXPECT_EQ(world.finalPass.brightness, 1.0f);
  EXPECT_EQ(world.finalPass.frame, 4000u);
  EXPECT_EQ(world.particleScene.backgroundColor.z, 0.18f);
  EXPECT_EQ(world.depthOfField.focusPoint, 22.0f);
  EXPECT_EQ(world.constants.blendFactor, 0.15f);
  EXPECT_EQ(world.constants.sampleCount, 4u);
  EXPECT_EQ(world.atrousSteps, 2u);
  Float4x4 expected;
  makeCameraProjection(expected, 60.0f);
  EXPECT_EQ(memcmp(&expected, &world.projection, sizeof(Float4x4)), 0);
  EXPECT_EQ(timeline->tracks[13]->current.type, TrackType::FLOAT3);
}

}  // namespace
