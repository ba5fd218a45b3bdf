// The music: every thread computes one stereo frame as a pure function of its sample index, so
// the whole piece is one dispatch with no state between frames. 107 s of music, silence afterwards.
//
// Every phase is counted in turns from the sample index and reduced exactly (exact_sine.hlsli):
// the chimes' and chords' phases reach hundreds of thousands of radians, where both the float
// product 2 pi f t and each GPU's own reduction of it would give every driver its own music.
// The rhythm's phases (beats, loops, bars) come from the index the same way, so that a beat or a
// bar starts on the same sample on every driver.
#include "ParticleConfig.h"
#include "exact_sine.hlsli"
#include "music_constants.h"

RWStructuredBuffer<float2> outputFrame : register(u0);
ConstantBuffer<AudioData> audioData : register(b0);

static const float soundScale = 1.8;

// a * b as the float pair (product, error), exactly (Dekker's product of 12-bit halves; no fused
// multiply-add is promised). Every step is `precise`: no compiler may fold or fuse it.
float2 exactProduct(float a, float b) {
  precise float p = a * b;
  precise float ca = 4097.0 * a;
  precise float aHi = ca - (ca - a);
  precise float aLo = a - aHi;
  precise float cb = 4097.0 * b;
  precise float bHi = cb - (cb - b);
  precise float bLo = b - bHi;
  precise float e = ((aHi * bHi - p) + aHi * bLo + aLo * bHi) + aLo * bLo;
  return float2(p, e);
}

// frac(a b k n) for floats a, b, a constant k given as the pair perSample (to 2^-48) and sample n,
// within 1e-9 of a turn: the first product's high part exactly (turnsAt), the rest (2^-24 of
// it) rounded. A rate rounded to one float would be up to 1e-7 off: partials a fraction of a
// hertz apart would beat out of step, and the loudness of a second change by a tenth of a percent.
float turnsOf(float a, float b, float2 perSample, uint n) {
  float2 ab = exactProduct(a, b);
  float2 rate = exactProduct(ab.x, perSample.x);
  precise float rest = rate.y + ab.x * perSample.y + ab.y * perSample.x;
  precise float restTurns = rest * float(n);
  return fractionalPart(turnsAt(rate.x, n) + restTurns);
}

static const float2 kSinePerSample = float2(kSinePerSampleHi, kSinePerSampleLo);
static const float2 kSineUnderPerSample = float2(kSineUnderPerSampleHi, kSineUnderPerSampleLo);
static const float2 kTonePerSample = float2(kTonePerSampleHi, kTonePerSampleLo);
static const float2 kRadianPerSample = float2(kRadianPerSampleHi, kRadianPerSampleLo);
static const float2 kSecondPerSample = float2(kSecondPerSampleHi, kSecondPerSampleLo);
static const float2 kMinutePerSample = float2(kMinutePerSampleHi, kMinutePerSampleLo);

float sine(float f, uint n) { return sinTurns(turnsOf(f, 1.0, kSinePerSample, n)); }
float sine_(uint n, float f) { return sinTurns(turnsOf(f, 1.0, kSineUnderPerSample, n)); }
// A chord's partial: the time scaled by `stretch`, that is the frequency.
float tone(float f, float stretch, uint n) { return sinTurns(turnsOf(f, stretch, kTonePerSample, n)); }
float slowLFO(uint n, float rate) { return sine(rate, n); }
// sin(w t) for w in radians per second.
float tremolo(float w, uint n) { return sinTurns(turnsOf(w, 1.0, kRadianPerSample, n)); }
// sin(2 PI (f + d) t) with d moving slowly: f's phase as above, d's (a few hundred turns at most)
// in floats.
float bentSine(float f, float d, uint n, float t) {
  precise float deviation = d * kSineTurns * t;
  return sinTurns(fractionalPart(turnsOf(f, 1.0, kSinePerSample, n) + fractionalPart(deviation)));
}
// frac(t * rate) for a rate in cycles per second; frac(t * bpm / 60).
float cycle(float rate, uint n) { return turnsOf(rate, 1.0, kSecondPerSample, n); }
float beat(float bpm, uint n) { return turnsOf(bpm, 1.0, kMinutePerSample, n); }

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
float chord(float base, uint n) {
  float s = tone(base, 1.0, n) * (1.0 + 0.1 * tremolo(5.2, n));
  s += tone(base, 1.26, n) * 0.6 * (1.0 + 0.3 * tremolo(10.02, n));
  s += tone(base, 1.498, n) * 0.4 * (1.0 + 0.3 * tremolo(23.4, n));
  s += tone(base, 2.0 * 1.498, n) * 0.2 * (1.0 + 0.3 * tremolo(43.4, n));
  s += tone(base, 2.0 * 1.26, n) * 0.2 * (1.0 + 0.3 * tremolo(10.4, n));
  return s / 2.0;
}

float2 bassBeat(uint n, float bpm) {
  float p = beat(bpm, n);
  float e = beatEnv(p, 0.015, 10.0);
  float bass = e * sine(kNote36, n);
  float sub = 0.5 * e * sine(0.5 * kNote36, n);
  float d = tanh(1.6 * (bass + sub));
  return float2(d, d);
}
float2 bassBeat120(uint n) { return bassBeat(n, 25.0); }
float2 bassBeat120_2(uint n) { return bassBeat(n, 120.0); }

float2 sineLoop(uint n, float f, float rhythm) {
  float loop = cycle(rhythm, n);
  float x = sine_(n, f) * exp(-3.0 * loop);
  float pan = (sine_(n, 0.3 * rhythm) + 1.0) * 0.5;
  return float2(x * pan, 0.0);
}

float2 chimeTrack(uint n) {
  float2 s = 0.2 * sineLoop(n, 1730.0, 0.44);
  s += sineLoop(n, 880.0, 1.00);
  s += 0.4 * sineLoop(n, 990.0, 0.30);
  s += sineLoop(n, 330.0, 0.40);
  s += sineLoop(n, 110.0, 0.10);
  s += sineLoop(n, 60.0, 0.05);
  return s / 6.0;
}

// Four bars of pad, arpeggio and lead from 15 s to 107 s. The bars, their quarters and the
// lead's note come from the sample index in whole numbers (not fmod of floats): they change on
// the same sample everywhere, and the lead's index cannot leave its table.
float smallMelody(float sc, uint n, float t) {
  float gates = smoothstep(15.0, 20.0, t) * (1.0 - smoothstep(102.0, 107.0, t));
  float base = 220.0 * sc;

  uint into = min(uint(max(int(n) - int(kMelodyStartSample), 0)), 4 * kMelodyBarSamples);
  uint bar = into / kMelodyBarSamples;  // 4 at the very end (u = 1), as the design counts it
  uint inBar = into - bar * kMelodyBarSamples;
  float u = float(into) * kMelodyPerSample;
  float localU = float(inBar) * kMelodyBarPerSample;

  float ratio = 1.5;
  if (bar == 0) ratio = 1.0;
  else if (bar == 1) ratio = 5.0 / 3.0;
  else if (bar == 2) ratio = 4.0 / 3.0;
  // The frequencies as floats, in the order written (`precise`: not folded together).
  precise float fRoot = base * ratio;
  precise float fThird = fRoot * 1.25;
  precise float fFifth = fRoot * 1.5;

  float pad = chord(fRoot, n) * env(u, 0.5, 0.6);

  float a1 = chord(fRoot, n) * env(localU, 0.08, 0.10);
  float a2 = chord(fThird, n) * env(localU, 0.40, 0.10);
  float a3 = chord(fFifth, n) * env(localU, 0.72, 0.10);

  const float leadScale[5] = {1.0, 9.0 / 8.0, 5.0 / 4.0, 3.0 / 2.0, 5.0 / 3.0};
  uint step = inBar * 4 / kMelodyBarSamples;
  uint index = (step + bar) % 5;
  precise float fLead = base * leadScale[index] * 2.0;
  float lead = chord(fLead, n) * env(localU, 0.25, 0.22);

  return (0.55 * pad + 0.30 * (a1 + a2 + a3) / 3.0 + 0.25 * lead) * gates;
}

// The frame of sample n, at t seconds: t shapes the envelopes and gates, the phases count samples.
float2 makeSound(uint n, float t) {
  uint twoSecondsLater = n + 2 * kMusicSampleRate;
  float ntime = (t / 107.0) * 120.0;
  float chimes = chimeTrack(n).x;
  float ch = bassBeat120(twoSecondsLater).x * chimes * smoothstep(17.0, 25.0, t) *
             (1.0 - smoothstep(95.0, 100.0, t)) * (0.08 * soundScale);
  float ch2 = bassBeat120_2(twoSecondsLater).x * chimes * smoothstep(30.0, 35.0, t) *
              (1.0 - smoothstep(95.0, 100.0, t)) * (0.08 * soundScale);
  float co1 = chord(200.0, n) * sine(20.0, n) * smoothstep(30.0, 35.0, t) *
              (1.0 - smoothstep(90.0, 100.0, t)) * (0.02 * soundScale);
  float co2 = chord(50.0, n) * sine(20.0, n) * smoothstep(25.0, 35.0, t) *
              (1.0 - smoothstep(90.0, 100.0, t)) * (0.05 * soundScale);
  float co3 = chord(250.0, n) * sine(20.0, n) * smoothstep(50.0, 55.0, t) *
              (1.0 - smoothstep(90.0, 100.0, t)) * (0.02 * soundScale);
  float b1 = bassBeat120(n).x * smoothstep(5.0, 15.0, t) * (0.1 * soundScale) *
             (1.0 - smoothstep(95.0, 100.0, t));
  float pad = (bentSine(kNote48, 2.0 * slowLFO(n, 0.05), n, t) +
               bentSine(kNote51, 2.0 * slowLFO(n + 10 * kMusicSampleRate, 0.04), n, t) +
               bentSine(kNote53, 2.0 * slowLFO(n + 20 * kMusicSampleRate, 0.03), n, t)) / 3.0 *
              env(ntime, 10.0, 0.015) * (0.01 * soundScale);
  float mel = smallMelody(0.20, n, t) * (0.1 * soundScale);

  // The two chime layers multiply rather than add.
  float mono = (mel + pad + co3 + co2 + co1 + ch * ch2 + b1) * smoothstep(0.0, 8.0, t) *
               (1.0 - smoothstep(100.0, 107.0, t));
  return clamp(stereo(mono, 0.3 * slowLFO(n, 0.05)), -0.9, 0.9);
}

[numthreads(256, 1, 1)]
void main(uint3 dispatchId : SV_DispatchThreadID) {
  uint n = dispatchId.x;
  // The frame count need not be a multiple of the group size: the last group's extra threads
  // must not write past the buffer.
  uint frames, stride;
  outputFrame.GetDimensions(frames, stride);
  if (n >= frames) return;
  // The phases count samples at kMusicSampleRate, the rate the renderer puts in the record.
  float t = float(n) / float(audioData.sampleRate);
  outputFrame[n] = makeSound(n, t);
}
