// Single-pass depth of field: gathers samples along a golden-angle spiral whose radius grows
// until it reaches the blur size, each weighted by its own circle of confusion. The spiral's
// steps, the picture packed with its depth and the tiles' depth ranges come from
// DepthOfFieldPrepareCS. Every step that can change a pixel runs DepthOfFieldDirectPS's
// arithmetic, operation for operation, so the pixels are the same bits; what is skipped is only
// work whose result is known:
// - where every depth the spiral can reach gives the full blur size, each step's weight is the
//   table's (no depth arithmetic);
// - once the radius is past the largest blur size the spiral can reach, a sample's weight is 0
//   and lerp keeps the running mean: no sample is read.
#include "ParticleConfig.h"
#include "branch_constant.hlsli"
#include "depth_of_field.hlsli"

Texture2D<float> depthBuffer : register(t0);
Texture2D<float4> Frame : register(t1);
Texture2D<float4> colourAndDepth : register(t2);  // Frame's rgb, depthBuffer in a
ConstantBuffer<DepthOfFieldData> constantData : register(b0);
cbuffer Spiral : register(b1) {
  // (cos, sin, radius, weight at the full blur size) per step; a radius past the limit ends it
  float4 spiral[MAX_STEPS];
};
cbuffer Tiles : register(b2) {
  float4 tiles[DOF_MAX_TILES];  // (nearest depth, farthest depth, 1 if every value is finite, 0)
};
SamplerState Sampler : register(s0);

float scaledDepth(float z, float maxDist) { return linearizeDepth(z) / maxDist * uFar; }

// What the pixel's spiral can meet: the largest blur size (+inf when unknown) and whether every
// sample has the full blur size. The samples lie within blurLimit + 1 pixels, or on the clamp
// at 0.995 of the picture, so within the pixel's tile and its eight neighbours when those
// reach far enough.
struct Reach {
  float largestSize;
  bool fullBlur;
};

Reach reachOf(uint2 px, float blurLimit, float maxDist) {
  Reach r = {DOF_INFINITY, false};
  float2 res = constantData.resolution;
  uint2 tileCount = (uint2(res) + DOF_TILE - 1) / DOF_TILE;
  if (tileCount.x * tileCount.y > DOF_MAX_TILES) return r;
  if (!(blurLimit + 2.0 <= float(DOF_TILE)) || 0.005 * max(res.x, res.y) + 2.0 > float(DOF_TILE)) return r;
  uint2 tile = px / DOF_TILE;
  float lo = DOF_INFINITY, hi = DOF_NEGATIVE_INFINITY;
  bool finite = true;
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      int2 t = clamp(int2(tile) + int2(dx, dy), int2(0, 0), int2(tileCount) - 1);
      float4 range = tiles[t.y * tileCount.x + t.x];
      lo = min(lo, range.x);
      hi = max(hi, range.y);
      finite = finite && range.z == 1.0;
    }
  }
  if (!finite) return r;
  // A bilinear read lies between its texels up to a rounding or two; widen the range for it.
  float widen = max(abs(lo), abs(hi)) * 1e-6;
  float near = scaledDepth(lo - widen, maxDist), far = scaledDepth(hi + widen, maxDist);
  // The circle of confusion is monotonic in the depth: its extremes are at the range's ends.
  float cocNear = (1.0 / constantData.focusPoint - 1.0 / near) * constantData.focusScale;
  float cocFar = (1.0 / constantData.focusPoint - 1.0 / far) * constantData.focusScale;
  float sizeNear = blurSizeAt(near, constantData.focusPoint, constantData.focusScale, constantData.blurSize);
  float sizeFar = blurSizeAt(far, constantData.focusPoint, constantData.focusScale, constantData.blurSize);
  if (sizeNear >= 0.0 && sizeFar >= 0.0) r.largestSize = max(sizeNear, sizeFar);
  r.fullBlur = (cocNear >= 1.0 && cocFar >= 1.0) || (cocNear <= -1.0 && cocFar <= -1.0);
  return r;
}

float4 main(float4 pos : SV_Position) : SV_Target {
  float2 uv = pos.xy / constantData.resolution;
  float rawDepth = depthBuffer.SampleLevel(Sampler, uv, 0);
  if (rawDepth < -1.0) return Frame.SampleLevel(Sampler, uv, 0);

  float3 colour = Frame.SampleLevel(Sampler, uv, 0).rgb;
  float radiusScale = branchConstant(constantData.radiusScale);
  float maxDist = branchConstant(constantData.maxDist);
  // The spiral only grows for a positive radius step, and depths are scaled by maxDist: other
  // values leave the picture sharp instead of looping forever or dividing by zero.
  if (!(radiusScale > 0.0) || !(maxDist > 0.0)) return float4(colour, 1.0);

  float centerDepth = linearizeDepth(rawDepth) / maxDist * uFar;
  float centerSize = blurSizeAt(centerDepth, constantData.focusPoint, constantData.focusScale, constantData.blurSize);
  float tot = 1.0;
  float2 texel = 1.0 / constantData.resolution;
  float blurLimit = abs(constantData.blurSize);
  Reach reach = reachOf(uint2(pos.xy), blurLimit, maxDist);
  int steps = 0;
  if (reach.fullBlur) {
    for (; steps < MAX_STEPS; ++steps) {
      float4 step = spiral[steps];
      float radius = step.z;
      if (!(radius < blurLimit)) break;
      float2 tc = clamp(uv + step.xy * texel * radius, 0.0, 0.995);
      colour += lerp(colour / tot, colourAndDepth.SampleLevel(Sampler, tc, 0).rgb, step.w);
      tot += 1.0;
    }
  }
  for (; steps < MAX_STEPS; ++steps) {
    float4 step = spiral[steps];
    float radius = step.z;
    if (!(radius < blurLimit) || radius - 0.5 >= reach.largestSize) break;
    float2 tc = clamp(uv + step.xy * texel * radius, 0.0, 0.995);
    float4 tap = colourAndDepth.SampleLevel(Sampler, tc, 0);
    float sampleDepth = linearizeDepth(tap.a) / maxDist * uFar;
    float sampleSize = blurSizeAt(sampleDepth, constantData.focusPoint, constantData.focusScale,
                                  constantData.blurSize);
    if (sampleDepth > centerDepth) sampleSize = clamp(sampleSize, 0.0, 2.0 * centerSize);
    float m = smoothstep(radius - 0.5, radius + 0.5, sampleSize);
    colour += lerp(colour / tot, tap.rgb, m);
    tot += 1.0;
  }
  for (; steps < MAX_STEPS; ++steps) {
    if (!(spiral[steps].z < blurLimit)) break;
    colour += colour / tot;
    tot += 1.0;
  }
  return float4(colour / tot, 1.0);
}
