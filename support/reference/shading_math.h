#pragma once
// Scalar and vector helpers with the shading language's semantics, in 32-bit float, for the
// reference computations of the shader formulas.
#include <algorithm>
#include <cmath>

namespace reference {

inline float saturate(float x) { return std::clamp(x, 0.0f, 1.0f); }
inline float frac(float x) { return x - std::floor(x); }
inline float smoothstep(float a, float b, float x) {
  float s = saturate((x - a) / (b - a));
  return s * s * (3.0f - 2.0f * s);
}

struct Vec2 {
  float x = 0, y = 0;
};
struct Vec3 {
  float x = 0, y = 0, z = 0;
};

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3 operator*(float s, Vec3 a) { return a * s; }
inline Vec3 operator*(Vec3 a, Vec3 b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }
inline Vec3 operator/(Vec3 a, Vec3 b) { return {a.x / b.x, a.y / b.y, a.z / b.z}; }
inline float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline float length(Vec3 a) { return std::sqrt(dot(a, a)); }
inline Vec3 normalize(Vec3 a) { return a * (1.0f / length(a)); }

}  // namespace reference
