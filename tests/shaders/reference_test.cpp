// The C++ references of the shader formulas, held to the properties the presentation relies on.
// The GPU suites compare the shaders against these references, so a fault here would hide one
// there.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/shaders/reference/final_pass.h"
#include "tests/shaders/reference/music.h"
#include "tests/shaders/reference/particles.h"
#include "tests/shaders/reference/sphere_hit.h"

namespace {

using reference::Vec2;
using reference::Vec3;

TEST(MusicReference, SilentAtTheStartAndAfterTheFadeOut) {
  Vec2 first = reference::makeSound(0.0f);
  EXPECT_EQ(first.x, 0.0f);
  EXPECT_EQ(first.y, 0.0f);
  for (float t : {107.0f, 110.5f, 150.0f, 179.99f}) {
    Vec2 s = reference::makeSound(t);
    EXPECT_EQ(s.x, 0.0f) << t;
    EXPECT_EQ(s.y, 0.0f) << t;
  }
}

TEST(MusicReference, StaysWithinTheClampAndIsAudibleMidPiece) {
  float loudest = 0.0f;
  for (int i = 0; i < 200000; ++i) {
    float t = i * (107.0f / 200000.0f);
    Vec2 s = reference::makeSound(t);
    ASSERT_TRUE(std::isfinite(s.x) && std::isfinite(s.y)) << t;
    ASSERT_LE(std::fabs(s.x), 0.9f) << t;
    ASSERT_LE(std::fabs(s.y), 0.9f) << t;
    if (t > 20 && t < 90) loudest = std::max(loudest, std::fabs(s.x));
  }
  EXPECT_GT(loudest, 0.05f);
}

TEST(MusicReference, MelodyBarsFollowTheRootProgression) {
  // Segment 15..107 s: four bars of 23 s on a 44 Hz base; a bar's root shows in its pad chord.
  const float ratios[4] = {1.0f, 5.0f / 3.0f, 4.0f / 3.0f, 3.0f / 2.0f};
  for (int bar = 0; bar < 4; ++bar) {
    float u = (bar + 0.5f) * 0.25f;
    EXPECT_FLOAT_EQ(reference::melodyRootRatio(std::floor(u / 0.25f)), ratios[bar]) << bar;
  }
  EXPECT_FLOAT_EQ(reference::melodyRootRatio(4.0f), 1.5f);  // u clamped to 1 at the very end
  EXPECT_EQ(reference::smallMelody(0.2f, 15.0f, 15.0f, 107.0f), 0.0f);  // gate closed at start
  EXPECT_EQ(reference::smallMelody(0.2f, 107.0f, 15.0f, 107.0f), 0.0f);
}

TEST(FinalPassReference, LetterboxKeepsTheRenderAspect) {
  reference::Letterbox box = reference::fitRender({960, 540}, {1920, 1200});
  EXPECT_FLOAT_EQ(box.topLeft.x, 0);
  EXPECT_FLOAT_EQ(box.topLeft.y, 60);
  EXPECT_FLOAT_EQ(box.displayed.x, 1920);
  EXPECT_FLOAT_EQ(box.displayed.y, 1080);
  EXPECT_FALSE(reference::insideLetterbox(box, {10.5f, 59.5f}));
  EXPECT_TRUE(reference::insideLetterbox(box, {10.5f, 60.5f}));
  EXPECT_TRUE(reference::insideLetterbox(box, {10.5f, 1139.5f}));
  EXPECT_FALSE(reference::insideLetterbox(box, {10.5f, 1140.5f}));

  reference::Letterbox same = reference::fitRender({960, 540}, {1920, 1080});
  EXPECT_FLOAT_EQ(same.topLeft.x, 0);
  EXPECT_FLOAT_EQ(same.topLeft.y, 0);

  reference::Letterbox pillar = reference::fitRender({960, 540}, {1000, 1000});  // narrower window
  EXPECT_FLOAT_EQ(pillar.displayed.x, 1000);
  EXPECT_FLOAT_EQ(pillar.topLeft.y, (1000 - 562.5f) / 2);
}

TEST(FinalPassReference, BrightnessTextWindowAndOperatorChoice) {
  const float noText[4] = {0, 0, 0, 0};
  const float redText[4] = {1, 0, 0, 1};
  FinalPassData data{};
  data.brightness = 1.0f;
  data.tonemapping = TonemapFunction::NONE;
  Vec3 c{0.2f, 0.4f, 0.6f};
  Vec3 same = reference::finalColour(c, noText, data);
  EXPECT_FLOAT_EQ(same.x, c.x);
  EXPECT_FLOAT_EQ(same.z, c.z);

  data.brightness = 0.0f;
  Vec3 black = reference::finalColour(c, noText, data);
  EXPECT_EQ(black.x + black.y + black.z, 0.0f);
  // The luma-based operators divide by the luminance: black must stay black, not become NaN.
  for (TonemapFunction op : {TonemapFunction::LUMA_BASED_REINHARD, TonemapFunction::WHITE_PRESERVING_LUMA_BASED_REINHARD,
                             TonemapFunction::LINEAR, TonemapFunction::FILMIC}) {
    data.tonemapping = op;
    black = reference::finalColour(c, noText, data);
    EXPECT_NEAR(black.x + black.y + black.z, 0.0f, 1e-6f) << "operator " << static_cast<int>(op);
  }

  data.brightness = 1.0f;
  data.tonemapping = static_cast<TonemapFunction>(9);  // unknown: passed through
  data.showExtraTexture = 1;
  data.frame = 1650;
  EXPECT_FLOAT_EQ(reference::finalColour(c, redText, data).x, 1.0f);
  data.frame = 1429;
  EXPECT_FLOAT_EQ(reference::finalColour(c, redText, data).x, c.x);
  data.frame = 1650;
  data.showExtraTexture = 0;
  EXPECT_FLOAT_EQ(reference::finalColour(c, redText, data).x, c.x);
}

TEST(FinalPassReference, OperatorsAreFiniteForBlackAndBright) {
  for (int op = 1; op <= 8; ++op) {
    for (float level : {0.0f, 0.01f, 1.0f, 50.0f}) {
      Vec3 m = reference::toneMap({level, level, level}, op);
      EXPECT_TRUE(std::isfinite(m.x) && std::isfinite(m.y) && std::isfinite(m.z))
          << "operator " << op << " at " << level;
    }
  }
}

ParticleData sphere(Vec3 c, float r, uint visible = 1) {
  ParticleData p{};
  p.position = {c.x, c.y, c.z};
  p.radius = r;
  p.visible = visible;
  return p;
}

TEST(SphereHitReference, NearestVisibleSphereWins) {
  std::vector<ParticleData> ps = {sphere({0, 0, -10}, 1), sphere({0, 0, -5}, 1, 0), sphere({0, 0, -20}, 2)};
  reference::SphereHit hit = reference::nearestSphere({0, 0, 0}, {0, 0, -1}, ps.data(), 3);
  ASSERT_TRUE(hit.found);
  EXPECT_EQ(hit.index, 0u);  // the nearer sphere is invisible
  EXPECT_FLOAT_EQ(hit.t, 9);
  EXPECT_FLOAT_EQ(hit.normal.z, 1);
  EXPECT_FLOAT_EQ(hit.farPoint.z, -11);

  // From inside a sphere the exit point is the hit; a sphere behind the ray is missed.
  reference::SphereHit inside = reference::nearestSphere({0, 0, -10}, {0, 0, -1}, ps.data(), 1);
  ASSERT_TRUE(inside.found);
  EXPECT_FLOAT_EQ(inside.t, 1);
  EXPECT_FALSE(reference::nearestSphere({0, 0, 0}, {0, 0, 1}, ps.data(), 3).found);
  EXPECT_FALSE(reference::nearestSphere({0, 0, 0}, {0, 0, -1}, ps.data(), 0).found);
}

SimulationData simAt(uint scene, uint frame) {
  SimulationData sim{};
  sim.scene = scene;
  sim.frame = frame;
  sim.time = 1234.0f;
  sim.dt = 16.0f;
  return sim;
}

TEST(ParticleReference, SceneZeroSetUpShowsFourSpheres) {
  std::vector<ParticleData> ps(128);
  for (auto& p : ps) p.visible = 1;
  ParticleSceneData scene{{0, 0, 0}, 64};
  reference::simulateParticles(ps.data(), 128, simAt(0, 0), scene);
  for (uint32_t i = 0; i < 64; ++i) {
    EXPECT_EQ(ps[i].id, i + 1);
    EXPECT_EQ(ps[i].visible, i < 4 ? 1u : 0u) << i;
  }
  EXPECT_EQ(ps[64].visible, 1u);  // beyond numParticles: untouched
  EXPECT_FLOAT_EQ(ps[0].radius, 8);
  EXPECT_EQ(ps[1].radius, 0.0f);
  EXPECT_GE(ps[1].elasticity, 0.1f);
  EXPECT_LE(ps[1].elasticity, 0.4f);

  // Particle 1 grows from frame 713 over 87 frames.
  reference::simulateParticles(ps.data(), 128, simAt(0, 713), scene);
  EXPECT_EQ(ps[1].radius, 0.0f);
  reference::simulateParticles(ps.data(), 128, simAt(0, 800), scene);
  EXPECT_FLOAT_EQ(ps[1].radius, 4.0f);
}

TEST(ParticleReference, BrokenAndCoincidentParticles) {
  ParticleSceneData scene{{0, 0, 0}, 2};
  // A dynamic particle at a static particle's centre is pushed along +y.
  std::vector<ParticleData> ps(2);
  ps[0] = sphere({0, 0, -100}, 8);
  ps[1] = sphere({0, 0, -100}, 1);
  ps[1].dynamic = 1;
  SimulationData sim = simAt(1, 3280);  // scene 1 leaves particle 0 as it is
  sim.dt = 0.0f;
  ps[1].position = {0, 0, -100};
  reference::simulateParticles(ps.data(), 2, sim, scene);
  EXPECT_NEAR(ps[1].position.y, 0.8f * (9 - 0.001f), 1e-4f);
  EXPECT_FLOAT_EQ(ps[1].position.x, 0);

  // Two dynamic particles on one spot separate instead of turning each other into NaN.
  sim = simAt(0, 3000);
  sim.dt = 0.0f;
  ps[0] = sphere({1, 1, 1}, 1);
  ps[1] = sphere({1, 1, 1}, 1);
  ps[0].dynamic = ps[1].dynamic = 1;
  reference::simulateParticles(ps.data(), 2, sim, scene);
  EXPECT_FALSE(std::isnan(ps[0].position.y) || std::isnan(ps[1].position.y));
  EXPECT_NE(ps[0].position.y, ps[1].position.y);

  // A position that became NaN clears the whole record on that frame.
  ps[0] = sphere({NAN, 0, 0}, 3);
  reference::simulateParticles(ps.data(), 2, simAt(2, 5), scene);
  EXPECT_EQ(ps[0].radius, 0.0f);
  EXPECT_EQ(ps[0].visible, 0u);
  EXPECT_EQ(ps[0].id, 0u);
}

}  // namespace
