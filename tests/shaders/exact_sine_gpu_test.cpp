// The shaders' own sines on the graphics device: the bits of their C++ mirror, whatever the
// driver (the point of them), and within float rounding of the true sine and of the exact
// fraction of a turn.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "exact_sine_test_shader.h"
#include "support/reference/exact_sine.h"
#include "tests/shaders/gpu_shader_harness.h"

namespace {

// M_PI is POSIX, not C++: mingw's <cmath> has none.
constexpr double kTwoPi = 6.283185307179586476925286766559;

constexpr PassSlot kExactSineSlots[] = {{SlotKind::StorageBuffer, "values", 0, 16}};
const PassDescription kExactSinePass = {
    "ExactSineCS", PassStage::Compute, {kExactSineCS, kExactSineCSSize}, kExactSineSlots, {}, false, 0, 0};

struct Input {
  float x, rate;
  uint32_t n;
  float r;
};

std::vector<Input> inputs() {
  std::vector<Input> in;
  // Arguments the program meets: small and moderate ones, the hashes' whole numbers up to
  // millions, the clock's milliseconds; and both signs, and ends of the ranges.
  const float xs[] = {0.0f, -0.0f, 1e-30f, 3e-7f, 0.5f, -2.0f, 3.14159274f, 100.0f, -4700.25f, 65536.0f,
                      1234567.0f, -999983.0f, 123456.789f, 16777215.0f, 3.0e7f, 1.0e9f};
  const float rs[] = {0.0f, 0.125f, 0.25f, 0.375f, 0.5f, 0.625f, 0.75f, 0.875f, 1.0f, 0.99999994f, 5.96e-8f};
  std::mt19937 random(26);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (int i = 0; i < 4000; ++i) {
    float x = i < 16 ? xs[i] : std::ldexp(unit(random) + 0.5f, int(random() % 48) - 24) * (random() % 2 ? 1 : -1);
    if (i % 5 == 0 && i >= 16) x = std::floor(unit(random) * 4.0e6f);  // a lattice hash's argument
    float rate = std::ldexp(unit(random) + 0.5f, -int(random() % 24) - 4);  // 2e-8 to 0.05 turns a step
    uint32_t n = random() % (1u << 24);
    float r = i < 11 ? rs[i] : unit(random);
    in.push_back({x, rate, n, r});
  }
  return in;
}

uint32_t bitsOf(float f) {
  uint32_t b;
  memcpy(&b, &f, 4);
  return b;
}

TEST_F(ShaderGpuTest, OwnSinesGiveTheirMirrorsBitsAndTheSine) {
  std::vector<Input> in = inputs();
  std::vector<float> words;
  for (const Input& v : in) {
    float n;
    memcpy(&n, &v.n, 4);
    words.insert(words.end(), {v.x, v.rate, n, v.r, 0, 0, 0, 0});
  }
  GpuBuffer* buffer = storage(words.data(), words.size() * 4);
  dispatch(kExactSinePass, {boundBuffer(*buffer, uint32_t(words.size() / 4))}, uint32_t(in.size() + 63) / 64, 1);
  std::vector<uint8_t> bytes = readBytes(*buffer);
  releaseBuffer(buffer);
  ASSERT_GE(bytes.size(), words.size() * 4);
  std::vector<float> out(words.size());
  memcpy(out.data(), bytes.data(), words.size() * 4);

  size_t differing = 0;
  for (size_t i = 0; i < in.size(); ++i) {
    const Input& v = in[i];
    const float* gpu = &out[8 * i];
    const float mirror[6] = {reference::exactSin(v.x),    reference::exactCos(v.x), reference::turnsAt(v.rate, v.n),
                             reference::sinTurns(v.r),    reference::cosTurns(v.r), reference::turnsOfRadians(v.x)};
    const float shader[6] = {gpu[0], gpu[1], gpu[2], gpu[3], gpu[4], gpu[5]};
    for (int k = 0; k < 6; ++k) {
      if (bitsOf(shader[k]) != bitsOf(mirror[k]) && differing++ < 10)
        ADD_FAILURE() << "input " << i << " (x " << v.x << ", rate " << v.rate << ", n " << v.n << ", r " << v.r
                      << ") output " << k << ": " << shader[k] << " on the device, " << mirror[k] << " mirrored";
    }
    // Against the truth: the fraction of the exact 48-bit product, the sine of 2 pi r, and the sine
    // of x below 2^24 radians (whose fraction of a turn, rounded to a float, is 2e-7 radians off).
    const double product = double(v.rate) * double(v.n);
    EXPECT_NEAR(mirror[2], product - std::floor(product), 1.2e-7) << "turnsAt " << v.rate << " x " << v.n;
    EXPECT_NEAR(mirror[3], std::sin(kTwoPi * double(v.r)), 2e-7) << "sinTurns " << v.r;
    EXPECT_NEAR(mirror[4], std::cos(kTwoPi * double(v.r)), 2e-7) << "cosTurns " << v.r;
    if (std::fabs(v.x) < 16777216.0f) {
      EXPECT_NEAR(mirror[0], std::sin(double(v.x)), 6e-7) << "exactSin " << v.x;
      EXPECT_NEAR(mirror[1], std::cos(double(v.x)), 6e-7) << "exactCos " << v.x;
    }
  }
  EXPECT_EQ(differing, 0u) << "values whose bits differ from the mirror's";
}

}  // namespace
