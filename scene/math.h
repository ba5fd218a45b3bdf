#pragma once
// Vectors and 4x4 matrices for the camera and the shader-shared records.
//
// Conventions used everywhere in the program and its shaders:
// - Float4x4 is row-major, m[row][column]; rows are stored one after another, so
//   the sixteen floats go to the GPU exactly as they lie in memory.
// - Points are row vectors multiplied on the left: p' = p x M, and the translation
//   sits in row 3.
// - View space is right-handed and looks down -z; projections map depth to -1..1.
//
// The types are the records the shaders share with the program (shaders/ParticleConfig.h),
// under the names the program's arithmetic uses: a camera value goes into a constant block
// as it is.
#include <cmath>

#include "shaders/ParticleConfig.h"

using Float2 = float2;
using Float3 = float3;
using Float4 = float4;
using Float4x4 = float4x4;

static_assert(sizeof(Float2) == 8 && sizeof(Float3) == 12 && sizeof(Float4) == 16);
static_assert(sizeof(Float4x4) == 64);

// ---- Float3 arithmetic ----

inline Float3 operator+(Float3 a, Float3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Float3 operator-(Float3 a, Float3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Float3 operator*(Float3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline Float3& operator+=(Float3& a, Float3 b) { return a = a + b; }
inline Float3& operator-=(Float3& a, Float3 b) { return a = a - b; }

inline float dot(Float3 a, Float3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Float3 cross(Float3 a, Float3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float length(Float3 a) { return std::sqrt(dot(a, a)); }

// Unit vector along a; a zero vector stays zero (no division by zero, no NaN).
inline Float3 normalize(Float3 a) {
  float len = length(a);
  return len > 0.0f ? a * (1.0f / len) : a;
}

// ---- Float4x4 operations (in place on the first argument unless a result is named) ----

void makeIdentity(Float4x4& m);

// Perspective projection for a right-handed view space: fovY in radians, depth
// from near..far mapped to -1..1, w = -z.
void makePerspective(Float4x4& m, float fovY, float aspect, float nearZ, float farZ);

// View matrix of an eye at `eye` looking at `target`. When eye and target coincide
// (every component of their difference below 1e-6) m becomes the identity.
void makeLookAt(Float4x4& m, Float3 eye, Float3 target, Float3 up);

// a x b: (a x b)[i][j] = sum over k of a[i][k] * b[k][j]. Applying the result to a
// row vector applies a first, then b.
Float4x4 multiply(const Float4x4& a, const Float4x4& b);

void transpose(Float4x4& m);

// General inverse by cofactors. A singular matrix (determinant exactly 0) is left
// unchanged; the return value says whether m was inverted.
bool invert(Float4x4& m);

// The row vector p x m.
Float4 transform(Float4 p, const Float4x4& m);
// The point (p, 1) x m, before the division by w.
inline Float4 transformPoint(Float3 p, const Float4x4& m) { return transform({p.x, p.y, p.z, 1.0f}, m); }
