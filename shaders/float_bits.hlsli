// NaN and infinity told by their bits. A compiler that assumes finite arithmetic (as GPU compilers
// may) folds isnan(x) and x != x to false; WGSL has no isnan at all.
#ifndef TARNIX_SHADERS_FLOAT_BITS_HLSLI
#define TARNIX_SHADERS_FLOAT_BITS_HLSLI

// Every exponent bit set and a mantissa.
bool isNaN(float x) { return (asuint(x) & 0x7FFFFFFFu) > 0x7F800000u; }
// Not every exponent bit set: neither infinite nor NaN.
bool isFiniteBits(float x) { return (asuint(x) & 0x7F800000u) != 0x7F800000u; }
bool allFinite(float3 v) { return isFiniteBits(v.x) && isFiniteBits(v.y) && isFiniteBits(v.z); }

#endif  // TARNIX_SHADERS_FLOAT_BITS_HLSLI
