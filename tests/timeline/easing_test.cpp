#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "timeline/easing.h"

namespace {

EasingFunction fn(const char* name) {
  uint32_t index = findEasingIndex(name);
  EXPECT_LT(index, EASING_COUNT) << name;
  return index < EASING_COUNT ? easingFunctions[index] : easingFunctions[1];
}

TEST(EasingTable, NamesAreExactUniqueAndOnlyNoneHasNoFunction) {
  EXPECT_STREQ(easingNames[0], "None");
  EXPECT_EQ(easingFunctions[0], nullptr);
  for (uint32_t i = 1; i < EASING_COUNT; ++i) {
    EXPECT_NE(easingFunctions[i], nullptr) << easingNames[i];
    EXPECT_EQ(findEasingIndex(easingNames[i]), i);
  }
  EXPECT_EQ(findEasingIndex("Linear"), 1u);
  EXPECT_EQ(findEasingIndex("CircularOut"), 21u);
  EXPECT_EQ(findEasingIndex("BounceInOut"), 31u);
  // Case-sensitive, whole-name comparison.
  EXPECT_EQ(findEasingIndex("none"), EASING_COUNT);
  EXPECT_EQ(findEasingIndex("linear"), EASING_COUNT);
  EXPECT_EQ(findEasingIndex("Linea"), EASING_COUNT);
  EXPECT_EQ(findEasingIndex(""), EASING_COUNT);
}

TEST(EasingCurves, StartAtZeroAndEndAtOne) {
  for (uint32_t i = 1; i < EASING_COUNT; ++i) {
    EXPECT_NEAR(easingFunctions[i](0.0f), 0.0f, 1e-6f) << easingNames[i];
    EXPECT_NEAR(easingFunctions[i](1.0f), 1.0f, 1e-6f) << easingNames[i];
  }
  // The exponential and elastic curves are pinned exactly by their equality tests.
  for (const char* name : {"ExponentialIn", "ExponentialOut", "ExponentialInOut", "ElasticIn",
                           "ElasticOut", "ElasticInOut"}) {
    EXPECT_EQ(fn(name)(0.0f), 0.0f) << name;
    EXPECT_EQ(fn(name)(1.0f), 1.0f) << name;
  }
}

// Each Out curve is its In curve mirrored through (0.5, 0.5); a wrong sign or constant in
// one of the pair breaks this.
TEST(EasingCurves, OutMirrorsInAndInOutJoinsTheirHalves) {
  const char* families[] = {"Quadratic",  "Cubic",    "Quartic", "Quintic", "Sinusoidal",
                            "Exponential", "Circular", "Elastic", "Back",    "Bounce"};
  for (const char* family : families) {
    std::string base = family;
    EasingFunction in = fn((base + "In").c_str());
    EasingFunction out = fn((base + "Out").c_str());
    EasingFunction inOut = fn((base + "InOut").c_str());
    for (int step = 1; step < 64; ++step) {
      float t = float(step) / 64.0f;
      EXPECT_NEAR(out(t), 1.0f - in(1.0f - t), 2e-5f) << family << " t=" << t;
      if (base == "Back") continue;  // BackInOut uses a larger overshoot of its own
      float u = t + t;
      float halves = t < 0.5f ? in(u) * 0.5f : out(u - 1.0f) * 0.5f + 0.5f;
      EXPECT_NEAR(inOut(t), halves, 2e-5f) << family << " t=" << t;
    }
    EXPECT_NEAR(inOut(0.5f), 0.5f, 1e-6f) << family;
  }
}

// Pins the In halves, which the mirror test above carries over to the other curves.
TEST(EasingCurves, InCurvesAtTheMiddle) {
  EXPECT_FLOAT_EQ(fn("QuadraticIn")(0.5f), 0.25f);
  EXPECT_FLOAT_EQ(fn("CubicIn")(0.5f), 0.125f);
  EXPECT_FLOAT_EQ(fn("QuarticIn")(0.5f), 0.0625f);
  EXPECT_FLOAT_EQ(fn("QuinticIn")(0.5f), 0.03125f);
  EXPECT_NEAR(fn("SinusoidalIn")(0.5f), 0.29289323f, 1e-6f);
  EXPECT_FLOAT_EQ(fn("ExponentialIn")(0.5f), 1.0f / 32.0f);
  EXPECT_NEAR(fn("CircularIn")(0.6f), 0.2f, 1e-6f);
}

TEST(EasingCurves, BackAndElasticLeaveTheUnitRange) {
  EasingFunction backIn = fn("BackIn");
  float minimum = 0.0f, minimumAt = 0.0f;
  for (int step = 0; step <= 1000; ++step) {
    float t = float(step) / 1000.0f;
    if (backIn(t) < minimum) minimum = backIn(t), minimumAt = t;
  }
  EXPECT_NEAR(minimum, -0.1f, 2e-3f);
  EXPECT_NEAR(minimumAt, 0.42f, 0.01f);
  EXPECT_GT(fn("BackOut")(0.58f), 1.09f);
  EXPECT_LT(fn("BackInOut")(0.1f), 0.0f);
  EXPECT_GT(fn("BackInOut")(0.9f), 1.0f);

  bool inBelow = false, outAbove = false;
  for (int step = 1; step < 100; ++step) {
    float t = float(step) / 100.0f;
    inBelow |= fn("ElasticIn")(t) < 0.0f;
    outAbove |= fn("ElasticOut")(t) > 1.0f;
  }
  EXPECT_TRUE(inBelow);
  EXPECT_TRUE(outAbove);
}

TEST(EasingCurves, BounceIsContinuousAndTouchesOneAtEachThreshold) {
  EasingFunction bounceOut = fn("BounceOut");
  // 4/11 takes the second branch: 0.75 + k * (4/11 - 6/11)^2 = 1.
  EXPECT_EQ(bounceOut(0.36363637f), 1.0f);
  for (float threshold : {0.36363637f, 0.72727275f, 0.90909094f}) {
    float below = bounceOut(std::nextafter(threshold, 0.0f));
    float at = bounceOut(threshold);
    EXPECT_NEAR(at, below, 1e-5f) << threshold;
    EXPECT_NEAR(at, 1.0f, 1e-5f) << threshold;
  }
  // Between thresholds the ball falls back: local minima at 6/11, 9/11 and 21/22.
  EXPECT_NEAR(bounceOut(0.54545456f), 0.75f, 1e-6f);
  EXPECT_NEAR(bounceOut(0.8181818f), 0.9375f, 1e-6f);
  EXPECT_NEAR(bounceOut(0.95454544f), 0.984375f, 1e-6f);
  // t = 0.5 takes the second half: B(0) * 0.5 + 0.5.
  EXPECT_EQ(fn("BounceInOut")(0.5f), 0.5f);
  EXPECT_NEAR(fn("BounceIn")(1.0f - 0.54545456f), 0.25f, 1e-6f);
}

}  // namespace
