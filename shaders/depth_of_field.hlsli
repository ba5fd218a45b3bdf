// What both depth-of-field shaders compute the same way: the depth scale, the blur size at a
// depth, and the spiral's step.
#ifndef TARNIX_DEPTH_OF_FIELD_HLSLI
#define TARNIX_DEPTH_OF_FIELD_HLSLI
#include "ParticleConfig.h"

static const float NEAR_PLANE = 0.1;
static const float FAR_PLANE = 1000.0;
static const float uFar = 1000.0;
static const float GOLDEN_ANGLE = 7.39996323;
static const int MAX_STEPS = TARNIX_DOF_SPIRAL_STEPS;

// The ends of a depth range before any depth is in it, and the spiral table's end. WGSL has no
// infinite constants (and may assume none at run time): there the largest float stands in,
// which every comparison here treats alike.
#ifdef TARNIX_WEB
#define DOF_INFINITY 3.4028235e38
#define DOF_NEGATIVE_INFINITY -3.4028235e38
#else
#define DOF_INFINITY asfloat(0x7f800000u)
#define DOF_NEGATIVE_INFINITY asfloat(0xff800000u)
#endif

float linearizeDepth(float z) {
  return (NEAR_PLANE * FAR_PLANE) / max(FAR_PLANE - z * (FAR_PLANE - NEAR_PLANE), 0.000001);
}

// The blur size at a (scaled linear) depth for the focus point, focus scale and blur size.
float blurSizeAt(float depth, float focusPoint, float focusScale, float blurSize) {
  float coc = clamp((1.0 / focusPoint - 1.0 / depth) * focusScale, -1.0, 1.0);
  return abs(coc) * abs(blurSize);
}

#endif
