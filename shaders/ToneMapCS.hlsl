// The picture brightened and tone-mapped once per rendered pixel, for a final pass that only
// scales it to the back buffer (ScaleToBackbufferPS). Where the render is much smaller than the
// window, the final pass's arithmetic per window pixel was most of a frame on a CPU driver.
#include "ParticleConfig.h"
#include "branch_constant.hlsli"
#include "tone_map.hlsli"

Texture2D<float4> frameInput : register(t0);
STORAGE_FORMAT(rgba8unorm) RWTexture2D<float4> toneMapped : register(u0);
ConstantBuffer<FinalPassData> finalPassData : register(b0);

[numthreads(TARNIX_IMAGE_GROUP_SIDE, TARNIX_IMAGE_GROUP_SIDE, 1)]
void main(uint3 dispatchId : SV_DispatchThreadID) {
  uint2 px = dispatchId.xy;
  if (float(px.x) >= finalPassData.resolution.x || float(px.y) >= finalPassData.resolution.y) return;
  float3 colour = frameInput.Load(int3(px, 0)).rgb;
  float3 c = brightened(colour, luminanceOf(colour), finalPassData.brightness);
  // Clamped as the back buffer clamps it, before the scaling blends neighbours: an operator
  // that leaves values above 1 must not brighten the pixels around a bright one.
  toneMapped[px] = float4(saturate(toneMap(c, branchConstant(int(finalPassData.tonemapping)))), 1.0);
}
