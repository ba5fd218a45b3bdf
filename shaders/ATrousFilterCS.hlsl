// One iteration of the edge-avoiding a-trous wavelet filter: 25 taps spread by iterStep, each
// weighted by normal, depth and luminance similarity (the last scaled by the local standard
// deviation from the temporal moments).
#include "ParticleConfig.h"
#include "float_bits.hlsli"

Texture2D<float4> currentFrame : register(t0);
Texture2D<float4> normalBuffer : register(t1);
Texture2D<float> M1 : register(t2);
Texture2D<float> M2 : register(t3);
Texture2D<float> depthBuffer : register(t4);
STORAGE_FORMAT(rgba16float) RWTexture2D<float4> resultTexture : register(u0);

// The 16 bytes of root constants {int iterStep; float3 resolution;} (ATrousConstants), read as
// one vector: declared field by field, a SPIR-V block would move resolution to offset 16.
// No register is named: SPIR-V push constants take no binding, and a D3D compiler gives the only
// constant buffer b0, the root-constant slot.
struct ATrousRootConstants {
  float4 packed;
};
#ifdef TARNIX_WEB
// WebGPU has no push constants: root constants are a constant buffer at their register.
ConstantBuffer<ATrousRootConstants> rootConstants : register(b0);
#else
[[vk::push_constant]] ConstantBuffer<ATrousRootConstants> rootConstants;
#endif

float luminance(float3 c) { return dot(c, float3(0.299, 0.587, 0.114)); }

// The normal and the depth at `at`. Outside the web the scene pass leaves the depth in the normal
// image's fourth channel as well (the same bits): one read instead of two.
float4 normalAndDepth(int3 at) {
#ifdef TARNIX_WEB
  return float4(normalBuffer.Load(at).xyz, depthBuffer.Load(at));
#else
  return normalBuffer.Load(at);
#endif
}

[numthreads(TARNIX_IMAGE_GROUP_SIDE, TARNIX_IMAGE_GROUP_SIDE, 1)]
void main(uint3 dispatchId : SV_DispatchThreadID) {
  int iterStep = asint(rootConstants.packed.x);
  float3 resolution = rootConstants.packed.yzw;
  uint2 px = dispatchId.xy;
  if (float(px.x) >= resolution.x || float(px.y) >= resolution.y) return;

  int3 at = int3(px, 0);
  float3 Cc = currentFrame.Load(at).rgb;
  float4 NZc = normalAndDepth(at);
  float3 Nc = NZc.xyz;
  float Zc = NZc.w;
  float Lc = luminance(Cc);
  float m1 = M1.Load(at);
  float sigma = sqrt(max(M2.Load(at) - m1 * m1, 0.0));
  float luminanceWidth = max(0.001, 1.25 * sigma);

  int2 last = int2(int(resolution.x) - 1, int(resolution.y) - 1);
  float3 sum = 0;
  float wsum = 0;
  [unroll] for (int dy = -2; dy <= 2; ++dy) {
    [unroll] for (int dx = -2; dx <= 2; ++dx) {
      int2 q = clamp(int2(px) + int2(dx, dy) * iterStep, int2(0, 0), last);
      int3 qa = int3(q, 0);
      float3 Cq = currentFrame.Load(qa).rgb;
      float4 NZq = normalAndDepth(qa);
      float3 Nq = NZq.xyz;
      float Zq = NZq.w;
      float Lq = luminance(Cq);
      float wn = pow(saturate(dot(Nc, Nq)), 48.0);
      float wz = exp(-abs(Zc - Zq) / 0.002);
      float wl = exp(-abs(Lc - Lq) / luminanceWidth);
      float w = wn * wz * wl;
      sum += w * Cq;
      wsum += w;
    }
  }
  // The result may become the next frame's history: a weight that is not finite (a normal or depth
  // that is not) leaves the pixel as it was instead of spreading.
  float3 result = sum / max(wsum, 0.000001);
  if (!allFinite(result)) result = Cc;
  resultTexture[px] = float4(result, 1);
}
