// The music: every thread computes one stereo frame as a pure function of its time, so the whole
// piece is one dispatch with no state between frames. 107 s of music, silence afterwards.
#include "ParticleConfig.h"

RWStructuredBuffer<float2> outputFrame : register(u0);
ConstantBuffer<AudioData> audioData : register(b0);

#ifdef TARNIX_WEB
// The phases reach a million radians, and there every implementation's sine reduces them its own
// way: WebGPU's on this machine's software adapter differs from Vulkan's by up to 5 % RMS in a
// second of music. The web build spells out the sine that Vulkan's CPU driver (llvmpipe) uses,
// the Cephes reduction by pi/4 in three parts with separate products and sums, so that the page
// plays the piece the native programs play, on any browser.
float reducedSine(float a) {
  uint bits = asuint(a);
  float magnitude = asfloat(bits & 0x7FFFFFFFu);
  int octant = int(magnitude * 1.27323954473516);
  int next = octant + 1;
  int even = next & ~1;
  float y = float(even);
  uint sign = (bits ^ (uint(next) << 29)) & 0x80000000u;
  float x = y * -0.78515625 + magnitude;
  x = y * -2.4187564849853515625e-4 + x;
  x = y * -3.77489497744594108e-8 + x;
  float z = x * x;
  float c = z * 2.443315711809948e-5 + -1.388731625493765e-3;
  c = c * z + 4.166664568298827e-2;
  c = c * z;
  c = c * z;
  c = (c - z * 0.5) + 1.0;
  float s = z * -1.9515295891e-4 + 8.3321608736e-3;
  s = s * z + -1.6666654611e-1;
  s = s * z;
  s = s * x + x;
  float r = asfloat(asuint((even & 2) == 0 ? s : c) ^ sign);
  return clamp(r, -1.0, 1.0);
}
#define sin reducedSine
#endif

// Deliberately not the exact values: the piece was tuned with these.
static const float PI = 3.1415;
static const float TWOPI = 6.2832;
static const float soundScale = 1.8;

float mtof(float m) { return 440.0 * pow(2.0, (m - 69.0) / 12.0); }
float sine(float f, float t) { return sin(2.0 * PI * f * t); }
float sine_(float t, float f) { return sin(t * TWOPI * f); }
float tone(float f, float t) { return sin(6.2831 * f * t); }
float slowLFO(float t, float rate) { return sin(2.0 * PI * rate * t); }

float env(float t, float a, float r) {
  if (t < a) return smoothstep(0.0, a, t);
  return exp(-r * (t - a));
}

float beatEnv(float p, float attack, float decay) {
  return smoothstep(0.0, attack, p) * exp(-decay * max(0.0, p - attack));
}

float2 stereo(float m, float pan) {
  return float2(m * sqrt(0.5 * (1.0 - pan)), m * sqrt(0.5 * (1.0 + pan)));
}

// Partials come from scaling the time, not the frequency.
float chord(float base, float t) {
  float s = tone(base, t) * (1.0 + 0.1 * sin(5.2 * t));
  s += tone(base, 1.26 * t) * 0.6 * (1.0 + 0.3 * sin(10.02 * t));
  s += tone(base, 1.498 * t) * 0.4 * (1.0 + 0.3 * sin(23.4 * t));
  s += tone(base, 2.0 * 1.498 * t) * 0.2 * (1.0 + 0.3 * sin(43.4 * t));
  s += tone(base, 2.0 * 1.26 * t) * 0.2 * (1.0 + 0.3 * sin(10.4 * t));
  return s / 2.0;
}

float2 bassBeat(float t, float bpm) {
  float p = frac(t * bpm / 60.0);
  float e = beatEnv(p, 0.015, 10.0);
  float f = mtof(36.0);
  float bass = e * sine(f, t);
  float sub = 0.5 * e * sine(0.5 * f, t);
  float d = tanh(1.6 * (bass + sub));
  return float2(d, d);
}
float2 bassBeat120(float t) { return bassBeat(t, 25.0); }
float2 bassBeat120_2(float t) { return bassBeat(t, 120.0); }

float2 sineLoop(float t, float f, float rhythm) {
  float loop = frac(t * rhythm);
  float x = sine_(t, f) * exp(-3.0 * loop);
  float pan = (sine_(t, 0.3 * rhythm) + 1.0) * 0.5;
  return float2(x * pan, 0.0);
}

float2 chimeTrack(float t) {
  float2 s = 0.2 * sineLoop(t, 1730.0, 0.44);
  s += sineLoop(t, 880.0, 1.00);
  s += 0.4 * sineLoop(t, 990.0, 0.30);
  s += sineLoop(t, 330.0, 0.40);
  s += sineLoop(t, 110.0, 0.10);
  s += sineLoop(t, 60.0, 0.05);
  return s / 6.0;
}

// Four bars of pad, arpeggio and lead between st and en seconds.
float smallMelody(float sc, float t, float st, float en) {
  float d = max(en - st, 0.001);
  float u = clamp((t - st) / d, 0.0, 1.0);
  float gates = smoothstep(st, st + 5.0, t) * (1.0 - smoothstep(en - 5.0, en, t));
  float base = 220.0 * sc;

  float barIdx = floor(u / 0.25);
  float localU = frac(u / 0.25);

  float ratio = 1.5;
  if (barIdx < 0.5) ratio = 1.0;
  else if (barIdx < 1.5) ratio = 5.0 / 3.0;
  else if (barIdx < 2.5) ratio = 4.0 / 3.0;
  float fRoot = base * ratio;

  float pad = chord(fRoot, t) * env(u, 0.5, 0.6);

  float a1 = chord(fRoot, t) * env(localU, 0.08, 0.10);
  float a2 = chord(fRoot * 5.0 / 4.0, t) * env(localU, 0.40, 0.10);
  float a3 = chord(fRoot * 3.0 / 2.0, t) * env(localU, 0.72, 0.10);

  const float leadScale[5] = {1.0, 9.0 / 8.0, 5.0 / 4.0, 3.0 / 2.0, 5.0 / 3.0};
  float step = floor(localU * 4.0);
  int index = int(fmod(step + barIdx, 5.0));
  float fLead = base * leadScale[index] * 2.0;
  float lead = chord(fLead, t) * env(localU, 0.25, 0.22);

  return (0.55 * pad + 0.30 * (a1 + a2 + a3) / 3.0 + 0.25 * lead) * gates;
}

// i and duration are unused: the output depends on t alone.
float2 makeSound(uint i, float t, float duration) {
  float ntime = (t / 107.0) * 120.0;
  float ch = bassBeat120(t + 2.0).x * chimeTrack(t).x * smoothstep(17.0, 25.0, t) *
             (1.0 - smoothstep(95.0, 100.0, t)) * (0.08 * soundScale);
  float ch2 = bassBeat120_2(t + 2.0).x * chimeTrack(t).x * smoothstep(30.0, 35.0, t) *
              (1.0 - smoothstep(95.0, 100.0, t)) * (0.08 * soundScale);
  float co1 = chord(200.0, t) * sine(20.0, t) * smoothstep(30.0, 35.0, t) *
              (1.0 - smoothstep(90.0, 100.0, t)) * (0.02 * soundScale);
  float co2 = chord(50.0, t) * sine(20.0, t) * smoothstep(25.0, 35.0, t) *
              (1.0 - smoothstep(90.0, 100.0, t)) * (0.05 * soundScale);
  float co3 = chord(250.0, t) * sine(20.0, t) * smoothstep(50.0, 55.0, t) *
              (1.0 - smoothstep(90.0, 100.0, t)) * (0.02 * soundScale);
  float b1 = bassBeat120(t).x * smoothstep(5.0, 15.0, t) * (0.1 * soundScale) *
             (1.0 - smoothstep(95.0, 100.0, t));
  float pad = (sine(mtof(48.0) + 2.0 * slowLFO(t, 0.05), t) +
               sine(mtof(51.0) + 2.0 * slowLFO(t + 10.0, 0.04), t) +
               sine(mtof(53.0) + 2.0 * slowLFO(t + 20.0, 0.03), t)) / 3.0 *
              env(ntime, 10.0, 0.015) * (0.01 * soundScale);
  float mel = smallMelody(0.20, t, 15.0, 107.0) * (0.1 * soundScale);

  // The two chime layers multiply rather than add.
  float mono = (mel + pad + co3 + co2 + co1 + ch * ch2 + b1) * smoothstep(0.0, 8.0, t) *
               (1.0 - smoothstep(100.0, 107.0, t));
  return clamp(stereo(mono, 0.3 * slowLFO(t, 0.05)), -0.9, 0.9);
}

[numthreads(256, 1, 1)]
void main(uint3 dispatchId : SV_DispatchThreadID) {
  uint i = dispatchId.x;
  // The frame count need not be a multiple of the group size: the last group's extra threads
  // must not write past the buffer.
  uint frames, stride;
  outputFrame.GetDimensions(frames, stride);
  if (i >= frames) return;
  float t = float(i) / float(audioData.sampleRate);
  outputFrame[i] = makeSound(i, t, audioData.duration);
}
