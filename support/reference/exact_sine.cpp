#include "support/reference/exact_sine.h"

#include <cmath>
#include <cstring>

namespace reference {
namespace {

template <class To, class From>
To bitsAs(From from) {
  To to;
  std::memcpy(&to, &from, sizeof(to));
  return to;
}

float powerOfTwo(int k) { return bitsAs<float>(uint32_t(127 + k) << 23); }

void sinCosOfEighth(float r, float& s, float& c, uint32_t& quarter) {
  const float nearest = std::floor(r * 4.0f + 0.5f);
  const float x = (r - nearest * 0.25f) * 6.28318548f;
  const float z = x * x;
  s = ((-1.9515295891e-4f * z + 8.3321608736e-3f) * z - 1.6666654611e-1f) * z * x + x;
  c = ((2.443315711809948e-5f * z - 1.388731625493765e-3f) * z + 4.166664568298827e-2f) * z * z - 0.5f * z + 1.0f;
  quarter = uint32_t(nearest) & 3u;
}

}  // namespace

float fractionalPart(float x) { return x - std::floor(x); }

float turnsAt(float rate, uint32_t n) {
  const uint32_t bits = bitsAs<uint32_t>(rate);
  const int shift = 150 - int((bits >> 23) & 0xFFu);
  if (shift <= 0) return 0.0f;
  if (shift > 126) return fractionalPart(rate * float(n));
  const uint64_t product = uint64_t((bits & 0x7FFFFFu) | 0x800000u) * n;
  const uint64_t below = shift < 64 ? product & ((uint64_t(1) << shift) - 1) : product;
  const uint32_t hi = uint32_t(below >> 32), lo = uint32_t(below);
  const float fraction = float(hi) * powerOfTwo(32 - shift) + float(lo >> 16) * powerOfTwo(16 - shift);
  return fraction + float(lo & 0xFFFFu) * powerOfTwo(-shift);
}

float sinTurns(float r) {
  float s, c;
  uint32_t quarter;
  sinCosOfEighth(r, s, c, quarter);
  const float v = (quarter & 1u) != 0 ? c : s;
  return quarter >= 2 ? -v : v;
}

float cosTurns(float r) {
  float s, c;
  uint32_t quarter;
  sinCosOfEighth(r, s, c, quarter);
  const float v = (quarter & 1u) != 0 ? s : c;
  return (quarter == 1 || quarter == 2) ? -v : v;
}

float turnsOfRadians(float x) {
  const uint32_t bits = bitsAs<uint32_t>(x) & 0x7FFFFFFFu;
  if (bits < 0x35800000u) return bitsAs<float>(bits) * 0.159154937f;
  const int e = int(bits >> 23) - 150;
  const uint32_t mantissa = (bits & 0x7FFFFFu) | 0x800000u;
  const float scale = powerOfTwo(e < 127 ? e : 127);
  const float rest = float(mantissa) * (6.42063824e-09f * scale);
  return fractionalPart(turnsAt(0.159154937f * scale, mantissa) + rest);
}

float exactSin(float x) {
  const float s = sinTurns(turnsOfRadians(x));
  return x < 0.0f ? -s : s;
}

float exactCos(float x) { return cosTurns(turnsOfRadians(x)); }

}  // namespace reference
