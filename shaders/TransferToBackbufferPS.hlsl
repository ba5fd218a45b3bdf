// Last pass of the frame: fits the render into the back buffer with black bars, blends the title
// text in during its time window, applies brightness and one of the tone-mapping operators.
#include "ParticleConfig.h"
#include "branch_constant.hlsli"
#include "tone_map.hlsli"

Texture2D<float4> frameInput : register(t0);
Texture2D<float4> extraTexture : register(t1);
ConstantBuffer<FinalPassData> finalPassData : register(b0);
SamplerState linearSampler : register(s0);

float4 main(float4 pos : SV_Position) : SV_Target {
  Fit fit = fitOf(finalPassData.resolution, finalPassData.nativeResolution);
  if (outsideFit(pos.xy, fit)) return float4(0, 0, 0, 1);

  float2 uv = (pos.xy - fit.tl) / fit.displayed;
  float3 colour = frameInput.Sample(linearSampler, uv).rgb;
  float lum = luminanceOf(colour);  // before the text blend

  if (branchConstant(finalPassData.showExtraTexture) != 0) {
    float window = titleWeight(finalPassData.frame);
    // Outside the title's frames the text has no weight: the colour stays, and no read is made.
    if (branchConstant(window) > 0.0) {
      float4 tc = extraTexture.Sample(linearSampler, uv);
      colour = lerp(colour, tc.rgb, tc.a * window);
    }
  }

  float3 c = brightened(colour, lum, finalPassData.brightness);
  return float4(toneMap(c, branchConstant(int(finalPassData.tonemapping))), 1.0);
}
