// The C++ references of the shader formulas, held to properties the presentation relies on
// where no GPU suite checks them (the GPU suites compare the shaders with these references,
// so a fault here would hide one there).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/reference/final_pass.h"
#include "support/reference/music.h"

namespace {

using reference::Vec2;
using reference::Vec3;

TEST(MusicReference, SilentAtTheStartAndAfterTheFadeOut) {
  for (Vec2 first : {reference::makeSound(0.0f), reference::makeSoundAtSample(0)}) {
    EXPECT_EQ(first.x, 0.0f);
    EXPECT_EQ(first.y, 0.0f);
  }
  for (float t : {107.0f, 110.5f, 150.0f, 179.99f}) {
    for (Vec2 s : {reference::makeSound(t), reference::makeSoundAtSample(uint32_t(t * 44100.0f))}) {
      EXPECT_EQ(s.x, 0.0f) << t;
      EXPECT_EQ(s.y, 0.0f) << t;
    }
  }
}

// Counting every phase in turns from the sample index is the same music: while the float products
// 2 pi f t are still nearly precise (the bass, the pad and the melody's first bar, up to 16 s,
// within 0.06 %), the two references agree sample by sample; later only their phases part, not
// their loudness. A wrong rate, note or bar position in the shader's arithmetic would show in one
// or the other.
TEST(MusicReference, TurnsFromTheSampleIndexAreTheDesignsMusic) {
  for (uint32_t second = 5; second < 107; ++second) {
    double difference = 0, energy = 0, exactEnergy = 0;
    const uint32_t stride = second <= 16 ? 7 : 49;  // 44,100 is 7 x 6,300 and 49 x 900
    for (uint32_t n = second * 44100; n < (second + 1) * 44100; n += stride) {
      Vec2 design = reference::makeSound(float(n) / 44100.0f), exact = reference::makeSoundAtSample(n);
      difference += std::pow(design.x - exact.x, 2) + std::pow(design.y - exact.y, 2);
      energy += design.x * design.x + design.y * design.y;
      exactEnergy += exact.x * exact.x + exact.y * exact.y;
    }
    if (second <= 16) EXPECT_LE(std::sqrt(difference / energy), 1e-3) << "second " << second;
    EXPECT_LE(std::fabs(std::sqrt(exactEnergy / energy) - 1), 1e-3) << "second " << second;
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

}  // namespace
