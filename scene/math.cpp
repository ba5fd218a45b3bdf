#include "scene/math.h"

#include <cstring>

void makeIdentity(Float4x4& m) {
  memset(&m, 0, sizeof(m));
  for (int i = 0; i < 4; ++i) m.m[i][i] = 1.0f;
}

void makePerspective(Float4x4& m, float fovY, float aspect, float nearZ, float farZ) {
  float t = std::tan(fovY * 0.5f);
  // Both depth terms are scaled by one reciprocal of (near - far): that rounding
  // gives -1.0002 and -0.20002 as the very bits (BF80068D, BE4CD20A) that the
  // field-of-view track writes, so a matrix built here and one rewritten by the
  // timeline are identical. Dividing each term separately ends one ulp away.
  float rangeInv = 1.0f / (nearZ - farZ);
  memset(&m, 0, sizeof(m));
  m.m[0][0] = 1.0f / t / aspect;
  m.m[1][1] = 1.0f / t;
  m.m[2][2] = (nearZ + farZ) * rangeInv;
  m.m[2][3] = -1.0f;
  m.m[3][2] = 2.0f * nearZ * farZ * rangeInv;
}

void makeLookAt(Float4x4& m, Float3 eye, Float3 target, Float3 up) {
  Float3 d = eye - target;
  if (std::fabs(d.x) < 0.000001f && std::fabs(d.y) < 0.000001f && std::fabs(d.z) < 0.000001f) {
    makeIdentity(m);
    return;
  }
  Float3 z = d * (1.0f / length(d));
  Float3 x = normalize(cross(up, z));
  Float3 y = normalize(cross(z, x));
  m = {{{x.x, y.x, z.x, 0.0f},
        {x.y, y.y, z.y, 0.0f},
        {x.z, y.z, z.z, 0.0f},
        {-dot(x, eye), -dot(y, eye), -dot(z, eye), 1.0f}}};
}

Float4x4 multiply(const Float4x4& a, const Float4x4& b) {
  Float4x4 r;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += a.m[i][k] * b.m[k][j];
      r.m[i][j] = sum;
    }
  }
  return r;
}

void transpose(Float4x4& m) {
  for (int i = 0; i < 4; ++i) {
    for (int j = i + 1; j < 4; ++j) {
      float t = m.m[i][j];
      m.m[i][j] = m.m[j][i];
      m.m[j][i] = t;
    }
  }
}

bool invert(Float4x4& m) {
  const float(*a)[4] = m.m;
  // 2x2 minors of rows 0-1 (s) and rows 2-3 (c).
  float s0 = a[0][0] * a[1][1] - a[1][0] * a[0][1];
  float s1 = a[0][0] * a[1][2] - a[1][0] * a[0][2];
  float s2 = a[0][0] * a[1][3] - a[1][0] * a[0][3];
  float s3 = a[0][1] * a[1][2] - a[1][1] * a[0][2];
  float s4 = a[0][1] * a[1][3] - a[1][1] * a[0][3];
  float s5 = a[0][2] * a[1][3] - a[1][2] * a[0][3];
  float c5 = a[2][2] * a[3][3] - a[3][2] * a[2][3];
  float c4 = a[2][1] * a[3][3] - a[3][1] * a[2][3];
  float c3 = a[2][1] * a[3][2] - a[3][1] * a[2][2];
  float c2 = a[2][0] * a[3][3] - a[3][0] * a[2][3];
  float c1 = a[2][0] * a[3][2] - a[3][0] * a[2][2];
  float c0 = a[2][0] * a[3][1] - a[3][0] * a[2][1];
  float det = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
  if (det == 0.0f) return false;

  Float4x4 adj;
  adj.m[0][0] = a[1][1] * c5 - a[1][2] * c4 + a[1][3] * c3;
  adj.m[0][1] = -a[0][1] * c5 + a[0][2] * c4 - a[0][3] * c3;
  adj.m[0][2] = a[3][1] * s5 - a[3][2] * s4 + a[3][3] * s3;
  adj.m[0][3] = -a[2][1] * s5 + a[2][2] * s4 - a[2][3] * s3;
  adj.m[1][0] = -a[1][0] * c5 + a[1][2] * c2 - a[1][3] * c1;
  adj.m[1][1] = a[0][0] * c5 - a[0][2] * c2 + a[0][3] * c1;
  adj.m[1][2] = -a[3][0] * s5 + a[3][2] * s2 - a[3][3] * s1;
  adj.m[1][3] = a[2][0] * s5 - a[2][2] * s2 + a[2][3] * s1;
  adj.m[2][0] = a[1][0] * c4 - a[1][1] * c2 + a[1][3] * c0;
  adj.m[2][1] = -a[0][0] * c4 + a[0][1] * c2 - a[0][3] * c0;
  adj.m[2][2] = a[3][0] * s4 - a[3][1] * s2 + a[3][3] * s0;
  adj.m[2][3] = -a[2][0] * s4 + a[2][1] * s2 - a[2][3] * s0;
  adj.m[3][0] = -a[1][0] * c3 + a[1][1] * c1 - a[1][2] * c0;
  adj.m[3][1] = a[0][0] * c3 - a[0][1] * c1 + a[0][2] * c0;
  adj.m[3][2] = -a[3][0] * s3 + a[3][1] * s1 - a[3][2] * s0;
  adj.m[3][3] = a[2][0] * s3 - a[2][1] * s1 + a[2][2] * s0;

  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) m.m[i][j] = adj.m[i][j] / det;
  return true;
}

Float4 transform(Float4 p, const Float4x4& m) {
  const float v[4] = {p.x, p.y, p.z, p.w};
  float r[4];
  for (int j = 0; j < 4; ++j) {
    r[j] = 0.0f;
    for (int k = 0; k < 4; ++k) r[j] += v[k] * m.m[k][j];
  }
  return {r[0], r[1], r[2], r[3]};
}
