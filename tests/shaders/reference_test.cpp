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
