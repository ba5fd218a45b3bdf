#include "support/reference/final_pass.h"

namespace reference {
namespace {

Vec3 gammaCorrect(Vec3 c) {
  const float g = 1.0f / 2.2f;
  return {std::pow(c.x, g), std::pow(c.y, g), std::pow(c.z, g)};
}
Vec3 map(Vec3 c, float (*f)(float)) { return {f(c.x), f(c.y), f(c.z)}; }
// Row-by-row matrix times column vector.
Vec3 mulRows(const float (&m)[3][3], Vec3 c) {
  return {m[0][0] * c.x + m[0][1] * c.y + m[0][2] * c.z, m[1][0] * c.x + m[1][1] * c.y + m[1][2] * c.z,
          m[2][0] * c.x + m[2][1] * c.y + m[2][2] * c.z};
}
float uncharted2(float x) {
  const float A = 0.15f, B = 0.50f, C = 0.10f, D = 0.20f, E = 0.02f, F = 0.30f;
  return (x * (A * x + C * B) + D * E) / (x * (A * x + B) + D * F) - E / F;
}

}  // namespace

Letterbox fitRender(Vec2 res, Vec2 native) {
  float srcAspect = res.x / std::max(res.y, 0.000001f);
  float dstAspect = native.x / std::max(native.y, 0.000001f);
  Vec2 displayed = srcAspect > dstAspect ? Vec2{native.x, native.x / srcAspect} : Vec2{native.y * srcAspect, native.y};
  return {{0.5f * (native.x - displayed.x), 0.5f * (native.y - displayed.y)}, displayed};
}

bool insideLetterbox(const Letterbox& box, Vec2 pos) {
  return pos.x >= box.topLeft.x && pos.x < box.topLeft.x + box.displayed.x && pos.y >= box.topLeft.y &&
         pos.y < box.topLeft.y + box.displayed.y;
}

Vec3 toneMap(Vec3 c, int op) {
  const Vec3 luma{0.2126f, 0.7152f, 0.0722f};
  switch (static_cast<TonemapFunction>(op)) {
    case TonemapFunction::ACES: {
      const float M1[3][3] = {{0.59719f, 0.07600f, 0.02840f}, {0.35458f, 0.90834f, 0.13383f}, {0.04823f, 0.01566f, 0.83777f}};
      const float M2[3][3] = {{1.60475f, -0.10208f, -0.00327f}, {-0.53108f, 1.10813f, -0.07276f}, {-0.07367f, -0.00605f, 1.07602f}};
      Vec3 v = mulRows(M1, c);
      Vec3 a = v * (v + Vec3{0.0245786f, 0.0245786f, 0.0245786f}) - Vec3{0.000090537f, 0.000090537f, 0.000090537f};
      Vec3 b = v * (v * 0.983729f + Vec3{0.4329510f, 0.4329510f, 0.4329510f}) + Vec3{0.238081f, 0.238081f, 0.238081f};
      return gammaCorrect(map(mulRows(M2, a / b), saturate));
    }
    case TonemapFunction::LINEAR: return gammaCorrect(map(c, saturate));
    case TonemapFunction::SIMPLE_REINHARD:
      return gammaCorrect({c.x * 1.5f / (1 + c.x / 1.5f), c.y * 1.5f / (1 + c.y / 1.5f), c.z * 1.5f / (1 + c.z / 1.5f)});
    case TonemapFunction::LUMA_BASED_REINHARD: {
      float L = std::max(dot(c, luma), 1e-6f);
      return gammaCorrect(c * ((L / (1 + L)) / L));
    }
    case TonemapFunction::WHITE_PRESERVING_LUMA_BASED_REINHARD: {
      float L = std::max(dot(c, luma), 1e-6f);
      return gammaCorrect(c * ((L * (1 + L / 4.0f) / (1 + L)) / L));
    }
    case TonemapFunction::ROMBINDAHAUS:
      return gammaCorrect(map(c, [](float x) { return std::exp(-1.0f / (2.72f * x + 0.15f)); }));
    case TonemapFunction::FILMIC:
      return map(c, [](float x) {
        x = std::max(0.0f, x - 0.004f);
        return x * (6.2f * x + 0.5f) / (x * (6.2f * x + 1.7f) + 0.06f);
      });
    case TonemapFunction::UNCHARTED2: {
      float white = uncharted2(11.2f);
      return gammaCorrect({uncharted2(2 * c.x) / white, uncharted2(2 * c.y) / white, uncharted2(2 * c.z) / white});
    }
    default: return c;
  }
}

Vec3 finalColour(Vec3 frame, const float (&text)[4], const FinalPassData& data) {
  float lum = dot(frame, {0.299f, 0.587f, 0.114f});
  Vec3 colour = frame;
  if (data.showExtraTexture) {
    float f = static_cast<float>(data.frame);
    float w = text[3] * smoothstep(1430, 1600, f) * (1 - smoothstep(1700, 1900, f));
    colour = colour + (Vec3{text[0], text[1], text[2]} - colour) * w;
  }
  Vec3 c = colour * (saturate(data.brightness + lum) * data.brightness);
  return toneMap(c, static_cast<int>(data.tonemapping));
}

}  // namespace reference
