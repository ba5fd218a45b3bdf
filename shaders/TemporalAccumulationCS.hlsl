// Temporal reprojection and accumulation: follows the screen-space velocity back to last frame,
// accepts that history only for the same particle with a similar normal and depth, clamps its
// luminance to the current neighbourhood and blends. Also accumulates the first two luminance
// moments for the a-trous filter. Rejected pixels get a 17-tap blur instead.
//
// Nothing that is not finite enters the history: one NaN would stay there frame after frame (and
// the a-trous filter would spread it), and a GPU's images start with whatever their memory held.
#include "ParticleConfig.h"
#include "float_bits.hlsli"

Texture2D<float4> CurrentFrame : register(t0);
Texture2D<float4> velocityBuffer : register(t1);
Texture2D<float4> HistoryBuffer : register(t2);
Texture2D<float4> positionBuffer : register(t3);
Texture2D<float4> normalBuffer : register(t4);
Texture2D<float4> PrevPositionBuffer : register(t5);
Texture2D<float4> PrevNormalBuffer : register(t6);
Texture2D<float> HistoryM1Prev : register(t7);
Texture2D<float> HistoryM2Prev : register(t8);
Texture2D<float> depthBuffer : register(t9);
Texture2D<float> PrevDepthBuffer : register(t10);
STORAGE_FORMAT(rgba16float) RWTexture2D<float4> ResultTexture : register(u0);
RWTexture2D<float> HistoryM1Out : register(u1);
RWTexture2D<float> HistoryM2Out : register(u2);
ConstantBuffer<ConstantBufferData> constantData : register(b0);
SamplerState linearClamp : register(s0);
SamplerState pointClamp : register(s1);

float luminance(float3 c) { return dot(c, float3(0.299, 0.587, 0.114)); }
static const float kHalfMax = 65504.0;

static const int2 BLUR_TAPS[17] = {
  int2(0, 0), int2(-1, -1), int2(1, -1), int2(-1, 1), int2(1, 1), int2(0, -1), int2(1, 0),
  int2(0, 1), int2(-1, 0), int2(-2, -2), int2(2, -2), int2(-2, 2), int2(2, 2), int2(0, -2),
  int2(2, 0), int2(0, 2), int2(-2, 0)};

// The luminance range the history is clamped to: the 3 x 3 neighbourhood's minimum and maximum,
// widened by the configured number of standard deviations. A value that is not finite counts as 0.
float2 neighbourhoodRange(uint2 px, uint2 size) {
  int2 last = int2(size) - 1;
  float lumSum = 0, lumSqSum = 0, lumMin = 3.4028235e38, lumMax = -3.4028235e38;
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      int2 q = clamp(int2(px) + int2(dx, dy), int2(0, 0), last);
      float L = luminance(CurrentFrame.Load(int3(q, 0)).rgb);
      if (!isFiniteBits(L)) L = 0;
      lumSum += L;
      lumSqSum += L * L;
      lumMin = min(lumMin, L);
      lumMax = max(lumMax, L);
    }
  }
  float mean = lumSum / 9.0;
  float meanSq = lumSqSum / 9.0;
  float spread = constantData.standardDeviation * sqrt(max(meanSq - mean * mean, 0.0));
  return float2(lumMin - spread, lumMax + spread);
}

[numthreads(TARNIX_IMAGE_GROUP_SIDE, TARNIX_IMAGE_GROUP_SIDE, 1)]
void main(uint3 dispatchId : SV_DispatchThreadID) {
  uint2 px = dispatchId.xy;
  float2 res = constantData.resolution.xy;
  uint2 size = uint2(res);
  if (px.x >= size.x || px.y >= size.y) return;

  int3 at = int3(px, 0);
  float3 cur = CurrentFrame.Load(at).rgb;
  if (!allFinite(cur)) cur = 0;  // a colour the path tracer could not compute counts as black
  uint id = uint(positionBuffer.Load(at).w);
  float3 N = normalize(normalBuffer.Load(at).xyz);
  float Z = depthBuffer.Load(at);
  float2 v = velocityBuffer.Load(at).xy;

  float2 uv = (float2(px) + 0.5) / res;
  float2 prevUV = constantData.velocityScale * v + uv;

  bool accepted = prevUV.x > 0.0 && prevUV.y > 0.0 && prevUV.x <= 1.0 && prevUV.y <= 1.0 && id != 0;
  float3 H = 0;
  float m1 = 0, m2 = 0;
  if (accepted) {
    H = HistoryBuffer.SampleLevel(linearClamp, prevUV, 0).rgb;
    m1 = HistoryM1Prev.SampleLevel(linearClamp, prevUV, 0);
    m2 = HistoryM2Prev.SampleLevel(linearClamp, prevUV, 0);
    float3 Np = normalize(PrevNormalBuffer.SampleLevel(linearClamp, prevUV, 0).xyz);
    float Zp = PrevDepthBuffer.SampleLevel(linearClamp, prevUV, 0);
    float depthTolerance = max(constantData.depthThreshold * Z, constantData.depthThreshold * 0.5);
    accepted = dot(N, Np) > constantData.normalThreshold && abs(Z - Zp) < depthTolerance &&
               allFinite(H) && isFiniteBits(m1) && isFiniteBits(m2);
  }
  if (accepted) {
    uint prevId = uint(PrevPositionBuffer.SampleLevel(pointClamp, prevUV, 0).w);
    accepted = prevId == id;
  }

  float2 range = neighbourhoodRange(px, size);
  float lo = range.x, hi = range.y;

  float Lc = luminance(cur);
  float3 result;
  float M1, M2;
  if (accepted) {
    float Lh = luminance(H);
    if (Lh > 0.0001) H = H * (min(max(Lh, lo), hi) / Lh);
    float keep = 1.0 - constantData.blendFactor;
    result = cur + keep * (H - cur);
    M1 = Lc + keep * (m1 - Lc);
    M2 = Lc * Lc + keep * (m2 - Lc * Lc);
  } else {
    float3 sum = 0;
    // Taps as far apart as on the program's own picture (resolution.z: the pixel scale).
    float blurScale = constantData.resolution.z;
    for (int k = 0; k < 17; ++k) {
      float2 tc = (float2(px) + 0.5 + float2(BLUR_TAPS[k]) * blurScale) / res;
      sum += CurrentFrame.SampleLevel(linearClamp, tc, 0).rgb;
    }
    result = sum * 0.0588235;
    M1 = Lc;
    M2 = Lc * Lc;
  }

  // The colour is kept in half floats: beyond their range it would become infinite there.
  if (!allFinite(result)) result = cur;
  result = clamp(result, -kHalfMax, kHalfMax);
  if (!isFiniteBits(M1) || !isFiniteBits(M2)) {
    M1 = 0;
    M2 = 0;
  }
  ResultTexture[px] = float4(result, 1);
  HistoryM1Out[px] = M1;
  HistoryM2Out[px] = M2;
}
