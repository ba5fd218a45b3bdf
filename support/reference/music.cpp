#include "support/reference/music.h"

namespace reference {
namespace {

constexpr float PI = 3.1415f;
constexpr float TWOPI = 6.2832f;
constexpr float soundScale = 1.8f;

float mtof(float m) { return 440.0f * std::pow(2.0f, (m - 69.0f) / 12.0f); }

float sine(float f, float t) { return std::sin(2.0f * PI * f * t); }
float sine_(float t, float f) { return std::sin(t * TWOPI * f); }
float tone(float f, float t) { return std::sin(6.2831f * f * t); }
float slowLFO(float t, float rate) { return std::sin(2.0f * PI * rate * t); }
float env(float t, float a, float r) { return t < a ? smoothstep(0.0f, a, t) : std::exp(-r * (t - a)); }
float beatEnv(float p, float attack, float decay) {
  return smoothstep(0.0f, attack, p) * std::exp(-decay * std::max(0.0f, p - attack));
}

float bassBeat(float t, float bpm) {
  float p = frac(t * bpm / 60.0f);
  float e = beatEnv(p, 0.015f, 10.0f);
  float f = mtof(36.0f);
  float bass = e * sine(f, t);
  float sub = 0.5f * e * sine(0.5f * f, t);
  return std::tanh(1.6f * (bass + sub));
}

float sineLoop(float t, float f, float rhythm) {
  float loop = frac(t * rhythm);
  float x = sine_(t, f) * std::exp(-3.0f * loop);
  float pan = (sine_(t, 0.3f * rhythm) + 1.0f) * 0.5f;
  return x * pan;
}

float chimeTrack(float t) {
  return (0.2f * sineLoop(t, 1730.0f, 0.44f) + sineLoop(t, 880.0f, 1.00f) + 0.4f * sineLoop(t, 990.0f, 0.30f) +
          sineLoop(t, 330.0f, 0.40f) + sineLoop(t, 110.0f, 0.10f) + sineLoop(t, 60.0f, 0.05f)) /
         6.0f;
}


float chord(float base, float t) {
  return (tone(base, t) * (1.0f + 0.1f * std::sin(5.2f * t)) +
          tone(base, 1.26f * t) * 0.6f * (1.0f + 0.3f * std::sin(10.02f * t)) +
          tone(base, 1.498f * t) * 0.4f * (1.0f + 0.3f * std::sin(23.4f * t)) +
          tone(base, 2.0f * 1.498f * t) * 0.2f * (1.0f + 0.3f * std::sin(43.4f * t)) +
          tone(base, 2.0f * 1.26f * t) * 0.2f * (1.0f + 0.3f * std::sin(10.4f * t))) /
         2.0f;
}

float melodyRootRatio(float barIdx) {
  if (barIdx < 0.5f) return 1.0f;
  if (barIdx < 1.5f) return 5.0f / 3.0f;
  if (barIdx < 2.5f) return 4.0f / 3.0f;
  return 3.0f / 2.0f;
}

float smallMelody(float sc, float t, float st, float en) {
  float d = std::max(en - st, 0.001f);
  float u = std::clamp((t - st) / d, 0.0f, 1.0f);
  float gates = smoothstep(st, st + 5.0f, t) * (1.0f - smoothstep(en - 5.0f, en, t));
  float base = 220.0f * sc;
  float barIdx = std::floor(u / 0.25f);
  float localU = frac(u / 0.25f);
  float fRoot = base * melodyRootRatio(barIdx);
  float pad = chord(fRoot, t) * env(u, 0.5f, 0.6f);
  float a1 = chord(fRoot, t) * env(localU, 0.08f, 0.10f);
  float a2 = chord(fRoot * 5.0f / 4.0f, t) * env(localU, 0.40f, 0.10f);
  float a3 = chord(fRoot * 3.0f / 2.0f, t) * env(localU, 0.72f, 0.10f);
  const float scale[5] = {1.0f, 9.0f / 8.0f, 5.0f / 4.0f, 3.0f / 2.0f, 5.0f / 3.0f};
  float step = std::floor(localU * 4.0f);
  int index = static_cast<int>(std::fmod(step + barIdx, 5.0f));
  float lead = chord(base * scale[index] * 2.0f, t) * env(localU, 0.25f, 0.22f);
  return (0.55f * pad + 0.30f * (a1 + a2 + a3) / 3.0f + 0.25f * lead) * gates;
}

}  // namespace

Vec2 makeSound(float t) {
  float ntime = (t / 107.0f) * 120.0f;
  float fadeChimes = 1.0f - smoothstep(95.0f, 100.0f, t);
  float fadeChords = 1.0f - smoothstep(90.0f, 100.0f, t);
  float ch = bassBeat(t + 2.0f, 25.0f) * chimeTrack(t) * smoothstep(17.0f, 25.0f, t) * fadeChimes *
             (0.08f * soundScale);
  float ch2 = bassBeat(t + 2.0f, 120.0f) * chimeTrack(t) * smoothstep(30.0f, 35.0f, t) * fadeChimes *
              (0.08f * soundScale);
  float co1 = chord(200.0f, t) * sine(20.0f, t) * smoothstep(30.0f, 35.0f, t) * fadeChords * (0.02f * soundScale);
  float co2 = chord(50.0f, t) * sine(20.0f, t) * smoothstep(25.0f, 35.0f, t) * fadeChords * (0.05f * soundScale);
  float co3 = chord(250.0f, t) * sine(20.0f, t) * smoothstep(50.0f, 55.0f, t) * fadeChords * (0.02f * soundScale);
  float b1 = bassBeat(t, 25.0f) * smoothstep(5.0f, 15.0f, t) * (0.1f * soundScale) * fadeChimes;
  float pad = (sine(mtof(48.0f) + 2.0f * slowLFO(t, 0.05f), t) + sine(mtof(51.0f) + 2.0f * slowLFO(t + 10.0f, 0.04f), t) +
               sine(mtof(53.0f) + 2.0f * slowLFO(t + 20.0f, 0.03f), t)) /
              3.0f * env(ntime, 10.0f, 0.015f) * (0.01f * soundScale);
  float mel = smallMelody(0.20f, t, 15.0f, 107.0f) * (0.1f * soundScale);
  float mono = (mel + pad + co3 + co2 + co1 + ch * ch2 + b1) * smoothstep(0.0f, 8.0f, t) *
               (1.0f - smoothstep(100.0f, 107.0f, t));
  float pan = 0.3f * slowLFO(t, 0.05f);
  Vec2 out{mono * std::sqrt(0.5f * (1.0f - pan)), mono * std::sqrt(0.5f * (1.0f + pan))};
  out.x = std::clamp(out.x, -0.9f, 0.9f);
  out.y = std::clamp(out.y, -0.9f, 0.9f);
  return out;
}

}  // namespace reference
