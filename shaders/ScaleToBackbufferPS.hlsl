// Last pass of the frame where ToneMapCS has tone-mapped the picture at the render size: fits it
// into the back buffer with black bars and scales it. The title text stays at the window's
// resolution: where it shows, the pixel is made from the picture as TransferToBackbufferPS
// makes it.
#include "ParticleConfig.h"
#include "branch_constant.hlsli"
#include "tone_map.hlsli"

Texture2D<float4> toneMapped : register(t0);
Texture2D<float4> extraTexture : register(t1);
Texture2D<float4> frameInput : register(t2);
ConstantBuffer<FinalPassData> finalPassData : register(b0);
SamplerState linearSampler : register(s0);

float4 main(float4 pos : SV_Position) : SV_Target {
  Fit fit = fitOf(finalPassData.resolution, finalPassData.nativeResolution);
  if (outsideFit(pos.xy, fit)) return float4(0, 0, 0, 1);
  float2 uv = (pos.xy - fit.tl) / fit.displayed;

  if (branchConstant(finalPassData.showExtraTexture) != 0) {
    float window = titleWeight(finalPassData.frame);
    if (branchConstant(window) > 0.0) {
      float4 tc = extraTexture.Sample(linearSampler, uv);
      if (tc.a > 0.0) {
        float3 colour = frameInput.Sample(linearSampler, uv).rgb;
        float lum = luminanceOf(colour);
        colour = lerp(colour, tc.rgb, tc.a * window);
        float3 c = brightened(colour, lum, finalPassData.brightness);
        return float4(toneMap(c, branchConstant(int(finalPassData.tonemapping))), 1.0);
      }
    }
  }
  return float4(toneMapped.Sample(linearSampler, uv).rgb, 1.0);
}
