// Single-pass depth of field as first written: every pixel walks the golden-angle spiral itself
// (a sine and cosine per step) and samples the depth and picture textures apart. It stays as
// the benchmark's and the suites' reference: DepthOfFieldPS gives the same bits, faster.
#include "ParticleConfig.h"
#include "branch_constant.hlsli"

Texture2D<float> depthBuffer : register(t0);
Texture2D<float4> Frame : register(t1);
ConstantBuffer<DepthOfFieldData> constantData : register(b0);
SamplerState Sampler : register(s0);

static const float NEAR_PLANE = 0.1;
static const float FAR_PLANE = 1000.0;
static const float uFar = 1000.0;
static const float GOLDEN_ANGLE = 7.39996323;
// Far above the ~200 steps of the usual settings; stops a huge blur size from stalling the GPU.
static const int MAX_STEPS = 4096;

float linearizeDepth(float z) {
  return (NEAR_PLANE * FAR_PLANE) / max(FAR_PLANE - z * (FAR_PLANE - NEAR_PLANE), 0.000001);
}

float blurSizeAt(float depth) {
  float coc = clamp((1.0 / constantData.focusPoint - 1.0 / depth) * constantData.focusScale, -1.0, 1.0);
  return abs(coc) * abs(constantData.blurSize);
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
  float centerSize = blurSizeAt(centerDepth);
  float tot = 1.0;
  float radius = radiusScale;
  float2 texel = 1.0 / constantData.resolution;
  float angle = 0.0;
  float blurLimit = abs(constantData.blurSize);
  for (int steps = 0; radius < blurLimit && steps < MAX_STEPS; ++steps) {
    float2 tc = clamp(uv + float2(cos(angle), sin(angle)) * texel * radius, 0.0, 0.995);
    float3 sampleColour = Frame.SampleLevel(Sampler, tc, 0).rgb;
    float sampleDepth = linearizeDepth(depthBuffer.SampleLevel(Sampler, tc, 0)) / maxDist * uFar;
    float sampleSize = blurSizeAt(sampleDepth);
    if (sampleDepth > centerDepth) sampleSize = clamp(sampleSize, 0.0, 2.0 * centerSize);
    float m = smoothstep(radius - 0.5, radius + 0.5, sampleSize);
    colour += lerp(colour / tot, sampleColour, m);
    tot += 1.0;
    radius += radiusScale / radius;
    angle += GOLDEN_ANGLE;
  }
  return float4(colour / tot, 1.0);
}
