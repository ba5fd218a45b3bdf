// The full-screen pixel shaders on the graphics device (with RenderToScreenVS): depth of field
// on its degenerate settings, and the final pass's letterbox, text blend and tone mapping
// against the C++ reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "support/reference/final_pass.h"
#include "tests/shaders/gpu_shader_harness.h"

namespace {

constexpr uint32_t kSize = kBackBufferSize;

std::vector<float> pattern(uint32_t w, uint32_t h) {
  std::vector<float> t(size_t(w) * h * 4);
  for (size_t i = 0; i < size_t(w) * h; ++i) {
    for (int k = 0; k < 3; ++k) t[4 * i + k] = float((i * (k + 5)) % 23) / 22.0f;
    t[4 * i + 3] = 1;
  }
  return t;
}
std::vector<float> uniform(uint32_t w, uint32_t h, float r, float g, float b) {
  std::vector<float> t(size_t(w) * h * 4);
  for (size_t i = 0; i < t.size(); i += 4) t[i] = r, t[i + 1] = g, t[i + 2] = b, t[i + 3] = 1;
  return t;
}

// The depth of field as the program records it (DepthOfFieldPrepareCS, then DepthOfFieldPS) and
// as first written (DepthOfFieldDirectPS), each into a float target.
struct DepthOfFieldGpu : ShaderGpuTest {
  std::vector<float> draw(const std::vector<float>& frame, const std::vector<float>& depths, uint32_t w, uint32_t h,
                          const DepthOfFieldData& data, bool direct) {
    GpuTexture* depth = texture(w, h, kR32Float, depths, false);
    GpuTexture* picture = texture(w, h, kRgba32Float, frame, false);
    GpuTexture* target = createTexture(w, h, nullptr, kStateRenderTarget, kRgba32Float, kResourceAllowRenderTarget);
    GpuBuffer* cb = constants(data);
    GpuTexture* packed = texture(w, h, kRgba32Float, {}, true);
    GpuBuffer* spiral = storage(nullptr, kDepthOfFieldSpiralBytes);
    GpuBuffer* tiles = storage(nullptr, kDepthOfFieldTileBytes);
    if (direct) {
      drawFullscreen(kDepthOfFieldDirectPass,
                     {boundTexture(*depth), boundTexture(*picture, kRgba32Float), boundConstants(*cb)}, target,
                     kRgba32Float, w, h);
    } else {
      dispatch(kDepthOfFieldPreparePass,
               {boundTexture(*depth), boundTexture(*picture, kRgba32Float), boundTexture(*packed),
                boundBuffer(*spiral, kDepthOfFieldSpiralBytes / 16), boundBuffer(*tiles, kDepthOfFieldTileBytes / 16),
                boundConstants(*cb)},
               groupsCovering(w, kDepthOfFieldTile), groupsCovering(h, kDepthOfFieldTile));
      drawFullscreen(kDepthOfFieldPass,
                     {boundTexture(*depth), boundTexture(*picture, kRgba32Float), boundTexture(*packed),
                      boundConstants(*cb), boundConstants(*spiral), boundConstants(*tiles)},
                     target, kRgba32Float, w, h);
    }
    std::vector<float> out = readFloats(*target, 4);
    for (GpuTexture* t : {depth, picture, target, packed}) releaseTexture(t);
    for (GpuBuffer* b : {cb, spiral, tiles}) releaseBuffer(b);
    return out;
  }
  std::vector<float> draw(const std::vector<float>& frame, const DepthOfFieldData& data, bool direct) {
    std::vector<float> depths(kSize * kSize);
    for (size_t i = 0; i < depths.size(); ++i) depths[i] = 0.5f + 0.49f * float(i % 7) / 6.0f;
    return draw(frame, depths, kSize, kSize, data, direct);
  }
};

int differing(const std::vector<float>& a, const std::vector<float>& b, float tolerance) {
  int n = 0;
  for (size_t i = 0; i < a.size(); ++i) n += !(std::fabs(a[i] - b[i]) <= tolerance);
  return n;
}

// Floats whose bits differ (a NaN equals only the same NaN).
int differingBits(const std::vector<float>& a, const std::vector<float>& b) {
  int n = int(a.size() != b.size());
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) n += memcmp(&a[i], &b[i], sizeof(float)) != 0;
  return n;
}

TEST_F(DepthOfFieldGpu, DegenerateSettingsLeaveThePictureSharp) {
  // A radius step of 0 or below never grows the spiral; maxDist 0 scales depths to infinity.
  std::vector<float> frame = pattern(kSize, kSize);
  const float settings[][2] = {{0.0f, 1000.0f}, {-1.0f, 1000.0f}, {1.0f, 0.0f}, {1.0f, -5.0f}};
  for (bool direct : {true, false}) {
    for (const auto& s : settings) {
      DepthOfFieldData data{{float(kSize), float(kSize)}, 22.0f, 1.0f, s[0], 20.0f, s[1]};
      EXPECT_EQ(differing(draw(frame, data, direct), frame, 1e-6f), 0)
          << "radiusScale " << s[0] << " maxDist " << s[1] << (direct ? " direct" : "");
    }
  }
}

TEST_F(DepthOfFieldGpu, FocusScaleZeroIsSharpAndBlurKeepsAUniformPicture) {
  std::vector<float> frame = pattern(kSize, kSize);
  std::vector<float> flat = uniform(kSize, kSize, 0.3f, 0.6f, 0.9f);
  for (bool direct : {true, false}) {
    DepthOfFieldData sharp{{float(kSize), float(kSize)}, 22.0f, 0.0f, 1.0f, 20.0f, 1000.0f};
    EXPECT_EQ(differing(draw(frame, sharp, direct), frame, 1e-5f), 0);
    DepthOfFieldData blurry{{float(kSize), float(kSize)}, 0.5f, 50.0f, 1.0f, 8.0f, 1000.0f};
    EXPECT_EQ(differing(draw(flat, blurry, direct), flat, 1e-4f), 0);
  }
}

// Device depth of a linear depth (the inverse of the shaders' linearizeDepth).
float deviceDepth(float linear) { return (1000.0f - 100.0f / linear) / 999.9f; }

// A picture of 3 x 2 tiles like the program's: noisy half-float colours, a background at depth 1
// and spheres at several depths, some sharp edges; the fast pass must give the direct pass's
// bits for every kind of focus the timeline uses, and for settings it must take the long way.
TEST_F(DepthOfFieldGpu, PreparedPassGivesTheDirectPassBits) {
  constexpr uint32_t w = 96, h = 64;
  std::vector<float> frame(w * h * 4), depths(w * h, 1.0f);
  uint32_t seed = 12345;
  auto next = [&] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
  for (size_t i = 0; i < frame.size(); ++i) frame[i] = float(next() % 2048) / 512.0f;  // exact in half
  const float spheres[][4] = {{20, 20, 12, 3.0f}, {60, 30, 18, 28.0f}, {80, 50, 10, 17.0f}, {35, 50, 8, 80.0f}};
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x)
      for (const auto& s : spheres) {
        float dx = float(x) - s[0], dy = float(y) - s[1];
        if (dx * dx + dy * dy < s[2] * s[2]) depths[y * w + x] = deviceDepth(s[3] + 0.05f * (dx + dy));
      }
  struct Focus {
    float point, scale, blurSize;
  } focuses[] = {{0.0f, 200.0f, 20.0f},  {28.24f, 400.0f, 20.0f}, {17.06f, 20.0f, 20.0f}, {77.57f, 20.0f, 20.0f},
                 {0.0001f, 20.0f, 20.0f}, {10.41f, 20.0f, 20.0f}, {23.9f, 20.0f, 40.0f},  {28.24f, 400.0f, -20.0f}};
  for (const Focus& f : focuses) {
    DepthOfFieldData data{{float(w), float(h)}, f.point, f.scale, 1.0f, f.blurSize, 1000.0f};
    EXPECT_EQ(differingBits(draw(frame, depths, w, h, data, false), draw(frame, depths, w, h, data, true)), 0)
        << "focus " << f.point << " scale " << f.scale << " blur " << f.blurSize;
  }
  // A value that is not finite keeps its tiles on the long way.
  frame[(10 * w + 70) * 4] = std::numeric_limits<float>::infinity();
  DepthOfFieldData data{{float(w), float(h)}, 28.24f, 400.0f, 1.0f, 20.0f, 1000.0f};
  EXPECT_EQ(differingBits(draw(frame, depths, w, h, data, false), draw(frame, depths, w, h, data, true)), 0);
}

struct FinalPassGpu : ShaderGpuTest {
  GpuTexture* text(uint32_t rgba) {
    std::vector<uint32_t> texels(16 * 16, rgba);
    return createTexture(16, 16, texels.data(), kStatePixelShaderResource, kRgba8Unorm, 0);
  }
  // Draws the 8 x 4 render `colour` into a 32 x 32 target (float, or the back buffer).
  std::vector<float> draw(reference::Vec3 colour, const FinalPassData& data, uint32_t textRgba, bool toBackBuffer) {
    GpuTexture* frame = texture(8, 4, kRgba32Float, uniform(8, 4, colour.x, colour.y, colour.z), false);
    GpuTexture* extra = text(textRgba);
    GpuBuffer* cb = constants(data);
    GpuTexture* target =
        toBackBuffer ? nullptr
                     : createTexture(kSize, kSize, nullptr, kStateRenderTarget, kRgba32Float, kResourceAllowRenderTarget);
    drawFullscreen(kFinalPass, {boundTexture(*frame, kRgba32Float), boundTexture(*extra), boundConstants(*cb)}, target,
                   toBackBuffer ? renderApp.backBufferFormat : kRgba32Float, kSize, kSize);
    std::vector<float> out;
    if (target) {
      out = readFloats(*target, 4);
    } else {
      for (uint32_t p : readBackBuffer())
        for (int k = 0; k < 4; ++k) out.push_back(float((p >> (8 * k)) & 0xFF) / 255.0f);
    }
    releaseTexture(frame);
    releaseTexture(extra);
    releaseTexture(target);
    releaseBuffer(cb);
    return out;
  }
  static FinalPassData settings(TonemapFunction op, float brightness) {
    FinalPassData d{};
    d.resolution = {8, 4};
    d.nativeResolution = {float(kSize), float(kSize)};
    d.brightness = brightness;
    d.tonemapping = op;
    d.showExtraTexture = 1;
    d.frame = 1000;
    return d;
  }
};

// How much of a bilinear sample at u (0..1 across `texels` texels) comes from inside the
// texture: the final pass's sampler returns opaque black beyond the border, so the picture's
// outer half texel fades to black.
float insideWeight(float u, float texels) {
  const float t = u * texels;
  return std::clamp(std::min(t + 0.5f, texels + 0.5f - t), 0.0f, 1.0f);
}

// Pixels in the bars around the 8 x 4 picture must be black; inside, the picture of uniform
// `frame` (and, when `text` is not null, the 16 x 16 text texture of uniform `text`) as the
// reference composes them after the sampler's border fade.
int wrongPixels(const std::vector<float>& out, reference::Vec3 frame, const float* text, const FinalPassData& data,
                float tolerance) {
  reference::Letterbox box = reference::fitRender({8, 4}, {float(kSize), float(kSize)});
  int wrong = 0;
  for (uint32_t y = 0; y < kSize; ++y) {
    for (uint32_t x = 0; x < kSize; ++x) {
      reference::Vec3 inside = {0, 0, 0};
      if (reference::insideLetterbox(box, {x + 0.5f, y + 0.5f})) {
        const float u = (x + 0.5f - box.topLeft.x) / box.displayed.x, v = (y + 0.5f - box.topLeft.y) / box.displayed.y;
        const float f = insideWeight(u, 8) * insideWeight(v, 4), t = insideWeight(u, 16) * insideWeight(v, 16);
        float sampledText[4] = {0, 0, 0, 0};
        if (text != nullptr) sampledText[3] = 1;  // the border is opaque
        for (int k = 0; text != nullptr && k < 3; ++k) sampledText[k] = text[k] * t;
        inside = reference::finalColour({frame.x * f, frame.y * f, frame.z * f}, sampledText, data);
      }
      const float* p = &out[4 * (size_t(y) * kSize + x)];
      const float expected[4] = {inside.x, inside.y, inside.z, 1};
      for (int k = 0; k < 4; ++k) wrong += !(std::fabs(p[k] - expected[k]) <= tolerance * (1 + expected[k]));
    }
  }
  return wrong;
}

TEST_F(FinalPassGpu, LetterboxAndEveryOperatorMatchTheReference) {
  const float noText[4] = {0, 0, 0, 0};
  for (int op = 0; op <= 9; ++op) {
    for (reference::Vec3 colour : {reference::Vec3{0.2f, 0.4f, 0.6f}, reference::Vec3{3.0f, 1.5f, 0.25f},
                                   reference::Vec3{0, 0, 0}}) {
      FinalPassData data = settings(static_cast<TonemapFunction>(op), 0.8f);
      reference::Vec3 expected = reference::finalColour(colour, noText, data);
      // Black through UNCHARTED2 is gamma of a cancellation residue (~1e-8): only its size counts.
      float tolerance = colour.x == 0 ? 2e-3f : 1e-4f;
      EXPECT_EQ(wrongPixels(draw(colour, data, 0, false), colour, nullptr, data, tolerance), 0)
          << "operator " << op << " colour " << colour.x << " expected " << expected.x << " " << expected.y << " "
          << expected.z;
    }
  }
}

TEST_F(FinalPassGpu, TitleTextBlendsInOnlyDuringItsWindow) {
  reference::Vec3 colour{0.2f, 0.4f, 0.6f};
  FinalPassData data = settings(TonemapFunction::NONE, 1.0f);
  const uint32_t opaqueRed = 0xFF0000FFu;
  const float red[4] = {1, 0, 0, 1};
  data.frame = 1650;
  EXPECT_EQ(wrongPixels(draw(colour, data, opaqueRed, true), colour, red, data, 0.6f / 255), 0);
  data.frame = 1000;
  EXPECT_EQ(wrongPixels(draw(colour, data, opaqueRed, true), colour, red, data, 0.6f / 255), 0);
  data.frame = 1650;
  data.showExtraTexture = 0;
  EXPECT_EQ(wrongPixels(draw(colour, data, opaqueRed, true), colour, red, data, 0.6f / 255), 0);
}

// The final pass in two, as frames not at the program's own size draw it: the picture tone-mapped
// once per rendered pixel (ToneMapCS), then scaled to the back buffer (ScaleToBackbufferPS).
struct FinalPassInTwoGpu : FinalPassGpu {
  std::vector<uint8_t> drawInTwo(reference::Vec3 colour, const FinalPassData& data, uint32_t textRgba) {
    GpuTexture* frame = texture(8, 4, kRgba32Float, uniform(8, 4, colour.x, colour.y, colour.z), false);
    GpuTexture* toneMapped = texture(8, 4, gfx::FORMAT_R8G8B8A8_UNORM, {}, true);
    GpuTexture* extra = text(textRgba);
    GpuBuffer* cb = constants(data);
    dispatch(kToneMapPass, {boundTexture(*frame, kRgba32Float), boundTexture(*toneMapped), boundConstants(*cb)}, 1, 1);
    drawFullscreen(kScaleToBackbufferPass,
                   {boundTexture(*toneMapped), boundTexture(*extra), boundTexture(*frame, kRgba32Float),
                    boundConstants(*cb)},
                   nullptr, renderApp.backBufferFormat, kSize, kSize);
    std::vector<uint8_t> out;
    for (uint32_t p : readBackBuffer())
      for (int k = 0; k < 4; ++k) out.push_back(uint8_t(p >> (8 * k)));
    releaseTexture(frame);
    releaseTexture(toneMapped);
    releaseTexture(extra);
    releaseBuffer(cb);
    return out;
  }
};

// Without the title, each pixel is the picture's tone-mapped colour as the one pass makes it,
// faded at the picture's border by the sampler after the tone mapping instead of before; the
// bars stay black.
TEST_F(FinalPassInTwoGpu, ToneMapsEachRenderedPixelThenScales) {
  const float noText[4] = {0, 0, 0, 0};
  const reference::Letterbox box = reference::fitRender({8, 4}, {float(kSize), float(kSize)});
  for (int op = 0; op <= 8; ++op) {
    for (reference::Vec3 colour : {reference::Vec3{0.2f, 0.4f, 0.6f}, reference::Vec3{3.0f, 1.5f, 0.25f}}) {
      const FinalPassData data = settings(static_cast<TonemapFunction>(op), 0.8f);
      const reference::Vec3 toneMapped = reference::finalColour(colour, noText, data);
      const std::vector<uint8_t> out = drawInTwo(colour, data, 0);
      int wrong = 0;
      for (uint32_t y = 0; y < kSize; ++y) {
        for (uint32_t x = 0; x < kSize; ++x) {
          float f = 0;
          if (reference::insideLetterbox(box, {x + 0.5f, y + 0.5f}))
            f = insideWeight((x + 0.5f - box.topLeft.x) / box.displayed.x, 8) *
                insideWeight((y + 0.5f - box.topLeft.y) / box.displayed.y, 4);
          const float expected[3] = {std::min(toneMapped.x, 1.0f) * f, std::min(toneMapped.y, 1.0f) * f,
                                     std::min(toneMapped.z, 1.0f) * f};
          for (int k = 0; k < 3; ++k)
            wrong += std::abs(int(out[4 * (size_t(y) * kSize + x) + k]) - int(std::lround(expected[k] * 255))) > 1;
        }
      }
      EXPECT_EQ(wrong, 0) << "operator " << op << " colour " << colour.x;
    }
  }
}

// Where the title shows, the pixel is made as the one pass makes it, byte for byte.
TEST_F(FinalPassInTwoGpu, TheTitleIsBlendedAtTheWindowsResolution) {
  const reference::Vec3 colour{0.2f, 0.4f, 0.6f};
  FinalPassData data = settings(TonemapFunction::WHITE_PRESERVING_LUMA_BASED_REINHARD, 1.0f);
  data.frame = 1650;
  const uint32_t opaqueRed = 0xFF0000FFu;
  const std::vector<float> one = draw(colour, data, opaqueRed, true);
  const std::vector<uint8_t> two = drawInTwo(colour, data, opaqueRed);
  ASSERT_EQ(one.size(), two.size());
  int differing = 0;
  for (size_t i = 0; i < one.size(); ++i) differing += int(std::lround(one[i] * 255)) != two[i];
  EXPECT_EQ(differing, 0);
}

}  // namespace
