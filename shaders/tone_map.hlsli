// What the final passes share: the tone-mapping operators, the picture's place in the back
// buffer, and the title's weight at a frame.
#ifndef TARNIX_TONE_MAP_HLSLI
#define TARNIX_TONE_MAP_HLSLI
#include "ParticleConfig.h"

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

// The render fitted into the back buffer with black bars that keep its aspect: the top-left
// corner and the size it is shown at.
struct Fit {
  float2 tl;
  float2 displayed;
};

Fit fitOf(float2 resolution, float2 nativeResolution) {
  float srcAspect = resolution.x / max(resolution.y, 0.000001);
  float dstAspect = nativeResolution.x / max(nativeResolution.y, 0.000001);
  Fit fit;
  fit.displayed = srcAspect > dstAspect ? float2(nativeResolution.x, nativeResolution.x / srcAspect)
                                        : float2(nativeResolution.y * srcAspect, nativeResolution.y);
  fit.tl = 0.5 * (nativeResolution - fit.displayed);
  return fit;
}

bool outsideFit(float2 pos, Fit fit) {
  float2 br = fit.tl + fit.displayed;
  return pos.x < fit.tl.x || pos.x >= br.x || pos.y < fit.tl.y || pos.y >= br.y;
}

// How much of the title text shows at a frame: faded in and out around frames 1430-1900.
float titleWeight(uint frame) {
  float f = float(frame);
  return smoothstep(1430.0, 1600.0, f) * (1.0 - smoothstep(1700.0, 1900.0, f));
}

// The colour scaled by the brightness, the picture's luminance lifting it.
float3 brightened(float3 colour, float lum, float brightness) {
  return colour * saturate(brightness + lum) * brightness;
}

float luminanceOf(float3 colour) { return dot(colour, float3(0.299, 0.587, 0.114)); }

#endif
