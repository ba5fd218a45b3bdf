// The 31 easing curves. Every constant and every product is single precision and
// evaluated left to right as the curve is written, so results are reproducible
// bit for bit across builds (the blend of a UINT track truncates them).
#include "timeline/easing.h"

#include <cmath>
#include <cstring>

#include "shaders/ParticleConfig.h"

namespace {

constexpr float kTwoPi = 2.0f * kPi;  // 6.2831855, exactly twice pi in single precision

// Bounce: four parabolas meeting at 4/11, 8/11 and 10/11, rounded to single precision.
float bounce(float x) {
  const float k = 7.5625f;
  if (x < 0.36363637f) return x * k * x;
  if (x < 0.72727275f) {
    float s = x - 0.54545456f;
    return s * k * s + 0.75f;
  }
  if (x < 0.90909094f) {
    float s = x - 0.8181818f;
    return s * k * s + 0.9375f;
  }
  float s = x - 0.95454544f;
  return s * k * s + 0.984375f;
}

float linear(float t) { return t; }

float quadraticIn(float t) { return t * t; }
float quadraticOut(float t) { return (2.0f - t) * t; }
float quadraticInOut(float t) {
  float u = t + t;
  if (u < 1.0f) return u * 0.5f * u;
  float s = u - 1.0f;
  return ((s - 2.0f) * s - 1.0f) * -0.5f;
}

float cubicIn(float t) { return t * t * t; }
float cubicOut(float t) {
  float s = t - 1.0f;
  return s * s * s + 1.0f;
}
float cubicInOut(float t) {
  float u = t + t;
  if (u < 1.0f) return u * 0.5f * u * u;
  float s = u - 2.0f;
  return (s * s * s + 2.0f) * 0.5f;
}

float quarticIn(float t) { return t * t * t * t; }
float quarticOut(float t) {
  float s = t - 1.0f;
  return 1.0f - s * s * s * s;
}
float quarticInOut(float t) {
  float u = t + t;
  if (u < 1.0f) return u * 0.5f * u * u * u;
  float s = u - 2.0f;
  return (s * s * s * s - 2.0f) * -0.5f;
}

float quinticIn(float t) { return t * t * t * t * t; }
float quinticOut(float t) {
  float s = t - 1.0f;
  return s * s * s * s * s + 1.0f;
}
float quinticInOut(float t) {
  float u = t + t;
  if (u < 1.0f) return u * 0.5f * u * u * u * u;
  float s = u - 2.0f;
  return (s * s * s * s * s + 2.0f) * 0.5f;
}

float sinusoidalIn(float t) { return 1.0f - cosf(t * kPi * 0.5f); }
float sinusoidalOut(float t) { return sinf(t * kPi * 0.5f); }
float sinusoidalInOut(float t) { return (1.0f - cosf(t * kPi)) * 0.5f; }

// The exponential curves never reach their end points by themselves; the equality
// tests pin them there.
float exponentialIn(float t) { return t == 0.0f ? 0.0f : powf(1024.0f, t - 1.0f); }
float exponentialOut(float t) { return t == 1.0f ? 1.0f : 1.0f - powf(2.0f, t * -10.0f); }
float exponentialInOut(float t) {
  if (t == 0.0f) return 0.0f;
  if (t == 1.0f) return 1.0f;
  float u = t + t;
  if (u < 1.0f) return powf(1024.0f, u - 1.0f) * 0.5f;
  return (2.0f - powf(2.0f, (u - 1.0f) * -10.0f)) * 0.5f;
}

float circularIn(float t) { return 1.0f - sqrtf(1.0f - t * t); }
float circularOut(float t) {
  float s = t - 1.0f;
  return sqrtf(1.0f - s * s);
}
float circularInOut(float t) {
  float u = t + t;
  if (u < 1.0f) return (sqrtf(1.0f - u * u) - 1.0f) * -0.5f;
  float s = u - 2.0f;
  return (sqrtf(1.0f - s * s) + 1.0f) * 0.5f;
}

float elasticIn(float t) {
  if (t == 0.0f) return 0.0f;
  if (t == 1.0f) return 1.0f;
  float s = t - 1.0f;
  return -(sinf((s - 0.1f) * kTwoPi / 0.4f) * powf(2.0f, s * 10.0f));
}
float elasticOut(float t) {
  if (t == 0.0f) return 0.0f;
  if (t == 1.0f) return 1.0f;
  return sinf((t - 0.1f) * kTwoPi / 0.4f) * powf(2.0f, t * -10.0f) + 1.0f;
}
float elasticInOut(float t) {
  if (t == 0.0f) return 0.0f;
  if (t == 1.0f) return 1.0f;
  float u = t + t;
  float s = u - 1.0f;
  float a = sinf((s - 0.1f) * kTwoPi / 0.4f);
  if (u < 1.0f) return powf(2.0f, s * 10.0f) * a * -0.5f;
  return powf(2.0f, s * -10.0f) * a * 0.5f + 1.0f;
}

// 1.70158 is the classic overshoot; 2.70158 is it plus 1, 2.5949094 is it times 1.525.
float backIn(float t) { return t * t * (t * 2.70158f - 1.70158f); }
float backOut(float t) {
  float s = t - 1.0f;
  return s * s * (s * 2.70158f + 1.70158f) + 1.0f;
}
float backInOut(float t) {
  float u = t + t;
  if (u < 1.0f) return (u * 3.5949094f - 2.5949094f) * (u * u) * 0.5f;
  float s = u - 2.0f;
  return ((s * 3.5949094f + 2.5949094f) * (s * s) + 2.0f) * 0.5f;
}

float bounceIn(float t) { return 1.0f - bounce(1.0f - t); }
float bounceOut(float t) { return bounce(t); }
float bounceInOut(float t) {
  float u = t + t;
  if (t < 0.5f) return (1.0f - bounce(1.0f - u)) * 0.5f;
  return bounce(u - 1.0f) * 0.5f + 0.5f;
}

}  // namespace

const EasingFunction easingFunctions[EASING_COUNT] = {
    nullptr,          linear,          quadraticIn,      quadraticOut,     quadraticInOut,
    cubicIn,          cubicOut,        cubicInOut,       quarticIn,        quarticOut,
    quarticInOut,     quinticIn,       quinticOut,       quinticInOut,     sinusoidalIn,
    sinusoidalOut,    sinusoidalInOut, exponentialIn,    exponentialOut,   exponentialInOut,
    circularIn,       circularOut,     circularInOut,    elasticIn,        elasticOut,
    elasticInOut,     backIn,          backOut,          backInOut,        bounceIn,
    bounceOut,        bounceInOut,
};

const char* const easingNames[EASING_COUNT] = {
    "None",           "Linear",          "QuadraticIn",      "QuadraticOut",     "QuadraticInOut",
    "CubicIn",        "CubicOut",        "CubicInOut",       "QuarticIn",        "QuarticOut",
    "QuarticInOut",   "QuinticIn",       "QuinticOut",       "QuinticInOut",     "SinusoidalIn",
    "SinusoidalOut",  "SinusoidalInOut", "ExponentialIn",    "ExponentialOut",   "ExponentialInOut",
    "CircularIn",     "CircularOut",     "CircularInOut",    "ElasticIn",        "ElasticOut",
    "ElasticInOut",   "BackIn",          "BackOut",          "BackInOut",        "BounceIn",
    "BounceOut",      "BounceInOut",
};

uint32_t findEasingIndex(const char* name) {
  for (uint32_t i = 0; i < EASING_COUNT; ++i)
    if (strcmp(easingNames[i], name) == 0) return i;
  return EASING_COUNT;
}
