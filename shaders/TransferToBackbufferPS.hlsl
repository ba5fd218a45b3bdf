// Last pass of the frame: fits the render into the back buffer with black bars, blends the title
// text in during its time window, applies brightness and one of the tone-mapping operators.
#include "ParticleConfig.h"
#include "branch_constant.hlsli"

Texture2D<float4> frameInput : register(t0);
Texture2D<float4> extraTexture : register(t1);
ConstantBuffer<FinalPassData> finalPassData : register(b0);
SamplerState linearSampler : register(s0);

static const float GAMMA = 2.2;

float3 gammaCorrect(float3 c) { return pow(c, 1.0 / GAMMA); }

float3 aces(float3 c) {
  // Rows as listed; the colour is multiplied as a column vector.
  const float3x3 M1 = float3x3(0.59719, 0.07600, 0.02840, 0.35458, 0.90834, 0.13383,
                               0.04823, 0.01566, 0.83777);
  const float3x3 M2 = float3x3(1.60475, -0.10208, -0.00327, -0.53108, 1.10813, -0.07276,
                               -0.07367, -0.00605, 1.07602);
  float3 v = mul(M1, c);
  float3 a = v * (v + 0.0245786) - 0.000090537;
  float3 b = v * (0.983729 * v + 0.4329510) + 0.238081;
  return gammaCorrect(saturate(mul(M2, a / b)));
}

float3 uncharted2Curve(float3 x) {
  const float A = 0.15, B = 0.50, C = 0.10, D = 0.20, E = 0.02, F = 0.30;
  return (x * (A * x + C * B) + D * E) / (x * (A * x + B) + D * F) - E / F;
}

float3 toneMap(float3 c, int op) {
  const float3 lumaWeights = float3(0.2126, 0.7152, 0.0722);
  // The luma-based operators divide by the luminance; the floor keeps black black instead of NaN.
  const float minLuma = 0.000001;
  if (op == ACES) return aces(c);
  if (op == LINEAR) return gammaCorrect(saturate(1.0 * c));
  if (op == SIMPLE_REINHARD) return gammaCorrect(c * 1.5 / (1.0 + c / 1.5));
  if (op == LUMA_BASED_REINHARD) {
    float L = max(dot(c, lumaWeights), minLuma);
    return gammaCorrect(c * (L / (1.0 + L)) / L);
  }
  if (op == WHITE_PRESERVING_LUMA_BASED_REINHARD) {
    const float white = 2.0;
    float L = max(dot(c, lumaWeights), minLuma);
    return gammaCorrect(c * (L * (1.0 + L / (white * white)) / (1.0 + L)) / L);
  }
  if (op == ROMBINDAHAUS) return gammaCorrect(exp(-1.0 / (2.72 * c + 0.15)));
  if (op == FILMIC) {
    float3 x = max(0.0, c - 0.004);
    return x * (6.2 * x + 0.5) / (x * (6.2 * x + 1.7) + 0.06);
  }
  if (op == UNCHARTED2) {
    const float W = 11.2, exposure = 2.0;
    return gammaCorrect(uncharted2Curve(exposure * c) / uncharted2Curve(float3(W, W, W)));
  }
  return c;  // NONE and unknown values
}

float4 main(float4 pos : SV_Position) : SV_Target {
  float2 resolution = finalPassData.resolution;
  float2 nativeResolution = finalPassData.nativeResolution;
  float srcAspect = resolution.x / max(resolution.y, 0.000001);
  float dstAspect = nativeResolution.x / max(nativeResolution.y, 0.000001);
  float2 displayed = srcAspect > dstAspect
                         ? float2(nativeResolution.x, nativeResolution.x / srcAspect)
                         : float2(nativeResolution.y * srcAspect, nativeResolution.y);
  float2 tl = 0.5 * (nativeResolution - displayed);
  float2 br = tl + displayed;
  if (pos.x < tl.x || pos.x >= br.x || pos.y < tl.y || pos.y >= br.y) return float4(0, 0, 0, 1);

  float2 uv = (pos.xy - tl) / displayed;
  float3 colour = frameInput.Sample(linearSampler, uv).rgb;
  float lum = dot(colour, float3(0.299, 0.587, 0.114));  // before the text blend

  if (branchConstant(finalPassData.showExtraTexture) != 0) {
    float4 tc = extraTexture.Sample(linearSampler, uv);
    float frame = float(finalPassData.frame);
    float window = smoothstep(1430.0, 1600.0, frame) * (1.0 - smoothstep(1700.0, 1900.0, frame));
    colour = lerp(colour, tc.rgb, tc.a * window);
  }

  float3 c = colour * saturate(finalPassData.brightness + lum) * finalPassData.brightness;
  return float4(toneMap(c, branchConstant(int(finalPassData.tonemapping))), 1.0);
}
