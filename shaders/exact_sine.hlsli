// Sines that every driver computes alike.
//
// GPUs reduce a sine's argument each their own way, many in single-precision turns
// (sin(2 pi frac(x / 2 pi))), which loses up to a tenth of a radian at a million radians, and even
// their sines of small arguments differ by up to 2e-4. The music's phases and the hashes'
// arguments reach that far, and a hash multiplies the sine's error by tens of thousands: with the
// builtin, every driver would have its own music and its own noise. Here the argument is reduced
// exactly, with integer arithmetic, and the sine is a polynomial of correctly rounded float
// operations: the same bits everywhere.
#ifndef TARNIX_SHADERS_EXACT_SINE_HLSLI
#define TARNIX_SHADERS_EXACT_SINE_HLSLI

// frac(x) as x - floor(x), in [0, 1]: the builtin's result for a tiny negative x is 1.0 on some
// drivers and the float just below it on others.
float fractionalPart(float x) { return x - floor(x); }

// 2^k for a whole k in [-126, 127], exactly (exp2 promises only a few ulp).
float powerOfTwo(int k) { return asfloat(uint(127 + k) << 23); }

// frac(rate * n), exactly, for a rate of at least 2^-100 turns per step and a whole number of
// steps n below 2^24. A float is a 24-bit whole number times a power of two, so the product is a
// 48-bit whole number times that power, and the fraction is its bits below the binary point;
// only the sum of those bits as floats rounds (to the nearest, so 1.0 may come out).
float turnsAt(float rate, uint n) {
  uint bits = asuint(rate);
  int shift = 150 - int((bits >> 23) & 0xFFu);  // rate = mantissa * 2^-shift
  if (shift <= 0) return 0.0;                   // a whole rate (or not finite)
  if (shift > 126) return fractionalPart(rate * float(n));  // below any rate used: the product is tiny
  uint mantissa = (bits & 0x7FFFFFu) | 0x800000u;
  // mantissa * n as hi:lo from 16-bit halves (the upper halves are below 2^8).
  uint m0 = mantissa & 0xFFFFu, m1 = mantissa >> 16;
  uint n0 = n & 0xFFFFu, n1 = n >> 16;
  uint low = m0 * n0;
  uint middle = m1 * n0 + m0 * n1;
  uint lo = low + (middle << 16);
  uint hi = m1 * n1 + (middle >> 16) + (lo < low ? 1u : 0u);
  if (shift < 32) {
    lo &= (1u << uint(shift)) - 1u;
    hi = 0;
  } else if (shift < 64) {
    hi &= (1u << uint(shift - 32)) - 1u;
  }
  // Converted in pieces below 2^17, which every driver converts exactly (a conversion of a larger
  // unsigned value may round twice where the processor converts only signed ones).
  precise float fraction = float(hi) * powerOfTwo(32 - shift) + float(lo >> 16) * powerOfTwo(16 - shift);
  return fraction + float(lo & 0xFFFFu) * powerOfTwo(-shift);
}

// sin and cos of 2 pi r for a fraction of a turn r in [0, 1], not the builtin's: drivers' sines
// differ by up to 2e-4 (the bound Vulkan allows is 2^-11) even between -pi and pi. The nearest
// quarter turn is taken off exactly, and the rest (at most an eighth of a turn) goes through the
// single-precision polynomials of the Cephes library, every step correctly rounded and none
// fused, so every driver gives the same bits, within 1.5e-7 of the sine.
void sinCosOfEighth(float r, out float s, out float c, out uint quarter) {
  precise float nearest = floor(r * 4.0 + 0.5);
  precise float x = (r - nearest * 0.25) * 6.28318548;
  precise float z = x * x;
  precise float sinPoly = ((-1.9515295891e-4 * z + 8.3321608736e-3) * z - 1.6666654611e-1) * z * x + x;
  precise float cosPoly = ((2.443315711809948e-5 * z - 1.388731625493765e-3) * z + 4.166664568298827e-2) * z * z -
                          0.5 * z + 1.0;
  s = sinPoly;
  c = cosPoly;
  quarter = uint(nearest) & 3u;
}
float sinTurns(float r) {
  float s, c;
  uint quarter;
  sinCosOfEighth(r, s, c, quarter);
  float v = (quarter & 1u) != 0 ? c : s;
  return quarter >= 2 ? -v : v;
}
float cosTurns(float r) {
  float s, c;
  uint quarter;
  sinCosOfEighth(r, s, c, quarter);
  float v = (quarter & 1u) != 0 ? s : c;
  return (quarter == 1 || quarter == 2) ? -v : v;
}

// The turns of |x| radians, in [0, 1]. |x| = M * 2^e with a whole M below 2^24, and 1 / (2 pi)
// = kHi + kLo (+ 8e-17), so the turns are frac(M * kHi 2^e), exact, plus M * kLo 2^e, rounded
// once: within 1e-9 of a turn up to a million radians.
float turnsOfRadians(float x) {
  uint bits = asuint(x) & 0x7FFFFFFFu;
  // Below 2^-20 radians one product is exact enough (and keeps the products below from the
  // denormals that drivers may flush).
  if (bits < 0x35800000u) return asfloat(bits) * 0.159154937;
  int e = int(bits >> 23) - 150;  // -43 and up
  uint mantissa = (bits & 0x7FFFFFu) | 0x800000u;
  float scale = powerOfTwo(min(e, 127));
  precise float rest = float(mantissa) * (6.42063824e-09 * scale);
  precise float turns = turnsAt(0.159154937 * scale, mantissa) + rest;
  return fractionalPart(turns);
}

// sin x and cos x through the exact reduction and the polynomials above: the same bits on every
// driver. Finite x only; beyond 2^24 radians the reduction's error grows to about 4e-16 of the
// argument (a millionth of a turn at 2^31).
float exactSin(float x) {
  float s = sinTurns(turnsOfRadians(x));
  return x < 0.0 ? -s : s;
}
float exactCos(float x) { return cosTurns(turnsOfRadians(x)); }

#endif  // TARNIX_SHADERS_EXACT_SINE_HLSLI
