#include "support/reference/music.h"

#include <cstdint>

#include "shaders/music_constants.h"

namespace reference {
namespace {

constexpr float PI = 3.1415f;
constexpr float TWOPI = 6.2832f;
constexpr float soundScale = 1.8f;

// Where the melody is: its position u in 0..1, the bar, the position within the bar and the
// lead's note.
struct MelodyPosition {
  float u;
  int bar;
  float localU;
  int lead;
};

// The design's arithmetic: the time in float seconds, each sine of its float argument.
struct SecondsClock {
  float t;

  float seconds() const { return t; }
  SecondsClock later(uint32_t s) const { return {t + float(s)}; }
  static float note(float m) { return 440.0f * std::pow(2.0f, (m - 69.0f) / 12.0f); }
  float sine(float f) const { return std::sin(2.0f * PI * f * t); }
  float sine_(float f) const { return std::sin(t * TWOPI * f); }
  float tone(float f, float stretch) const { return std::sin(6.2831f * f * (stretch * t)); }
  float tremolo(float w) const { return std::sin(w * t); }
  float bentSine(float f, float d) const { return sine(f + d); }
  float beat(float bpm) const { return frac(t * bpm / 60.0f); }
  float cycle(float rate) const { return frac(t * rate); }
  MelodyPosition melody() const {
    float u = std::clamp((t - 15.0f) / 92.0f, 0.0f, 1.0f);
    float bar = std::floor(u / 0.25f);
    float localU = frac(u / 0.25f);
    float step = std::floor(localU * 4.0f);
    return {u, int(bar), localU, static_cast<int>(std::fmod(step + bar, 5.0f))};
  }
};

// The shader's arithmetic: every phase in turns from the sample index, here in double precision.
struct SampleClock {
  uint32_t n;

  float seconds() const { return float(n) / float(kMusicSampleRate); }
  SampleClock later(uint32_t s) const { return {n + s * kMusicSampleRate}; }
  static float note(float m) {
    return m == 36.0f ? kNote36 : m == 48.0f ? kNote48 : m == 51.0f ? kNote51 : kNote53;
  }
  // frac(a b k n) with k the pair's sum.
  double turns(float a, float b, float kHi, float kLo) const {
    double x = double(a) * double(b) * (double(kHi) + double(kLo)) * double(n);
    return x - std::floor(x);
  }
  static float sinOfTurns(double turns) { return float(std::sin(6.283185307179586 * turns)); }
  float sine(float f) const { return sinOfTurns(turns(f, 1.0f, kSinePerSampleHi, kSinePerSampleLo)); }
  float sine_(float f) const { return sinOfTurns(turns(f, 1.0f, kSineUnderPerSampleHi, kSineUnderPerSampleLo)); }
  float tone(float f, float stretch) const {
    return sinOfTurns(turns(f, stretch, kTonePerSampleHi, kTonePerSampleLo));
  }
  float tremolo(float w) const { return sinOfTurns(turns(w, 1.0f, kRadianPerSampleHi, kRadianPerSampleLo)); }
  float bentSine(float f, float d) const {
    return sinOfTurns(turns(f, 1.0f, kSinePerSampleHi, kSinePerSampleLo) + double(d) * kSineTurns * seconds());
  }
  float beat(float bpm) const { return float(turns(bpm, 1.0f, kMinutePerSampleHi, kMinutePerSampleLo)); }
  float cycle(float rate) const { return float(turns(rate, 1.0f, kSecondPerSampleHi, kSecondPerSampleLo)); }
  MelodyPosition melody() const {
    uint32_t into = std::min(n > kMelodyStartSample ? n - kMelodyStartSample : 0, 4 * kMelodyBarSamples);
    uint32_t bar = into / kMelodyBarSamples, inBar = into - bar * kMelodyBarSamples;
    uint32_t step = inBar * 4 / kMelodyBarSamples;
    return {float(into) * kMelodyPerSample, int(bar), float(inBar) * kMelodyBarPerSample, int((step + bar) % 5)};
  }
};

float env(float t, float a, float r) { return t < a ? smoothstep(0.0f, a, t) : std::exp(-r * (t - a)); }
float beatEnv(float p, float attack, float decay) {
  return smoothstep(0.0f, attack, p) * std::exp(-decay * std::max(0.0f, p - attack));
}

template <class Clock>
float bassBeat(const Clock& c, float bpm) {
  float e = beatEnv(c.beat(bpm), 0.015f, 10.0f);
  float f = Clock::note(36.0f);
  float bass = e * c.sine(f);
  float sub = 0.5f * e * c.sine(0.5f * f);
  return std::tanh(1.6f * (bass + sub));
}

template <class Clock>
float sineLoop(const Clock& c, float f, float rhythm) {
  float x = c.sine_(f) * std::exp(-3.0f * c.cycle(rhythm));
  float pan = (c.sine_(0.3f * rhythm) + 1.0f) * 0.5f;
  return x * pan;
}

template <class Clock>
float chimeTrack(const Clock& c) {
  return (0.2f * sineLoop(c, 1730.0f, 0.44f) + sineLoop(c, 880.0f, 1.00f) + 0.4f * sineLoop(c, 990.0f, 0.30f) +
          sineLoop(c, 330.0f, 0.40f) + sineLoop(c, 110.0f, 0.10f) + sineLoop(c, 60.0f, 0.05f)) /
         6.0f;
}

template <class Clock>
float chord(const Clock& c, float base) {
  return (c.tone(base, 1.0f) * (1.0f + 0.1f * c.tremolo(5.2f)) +
          c.tone(base, 1.26f) * 0.6f * (1.0f + 0.3f * c.tremolo(10.02f)) +
          c.tone(base, 1.498f) * 0.4f * (1.0f + 0.3f * c.tremolo(23.4f)) +
          c.tone(base, 2.0f * 1.498f) * 0.2f * (1.0f + 0.3f * c.tremolo(43.4f)) +
          c.tone(base, 2.0f * 1.26f) * 0.2f * (1.0f + 0.3f * c.tremolo(10.4f))) /
         2.0f;
}

float melodyRootRatio(int bar) {
  if (bar == 0) return 1.0f;
  if (bar == 1) return 5.0f / 3.0f;
  if (bar == 2) return 4.0f / 3.0f;
  return 3.0f / 2.0f;
}

// The melody from 15 s to 107 s, its base 220 x 0.2 Hz.
template <class Clock>
float smallMelody(const Clock& c) {
  const float t = c.seconds();
  float gates = smoothstep(15.0f, 20.0f, t) * (1.0f - smoothstep(102.0f, 107.0f, t));
  float base = 220.0f * 0.20f;
  MelodyPosition at = c.melody();
  float fRoot = base * melodyRootRatio(at.bar);
  float pad = chord(c, fRoot) * env(at.u, 0.5f, 0.6f);
  float a1 = chord(c, fRoot) * env(at.localU, 0.08f, 0.10f);
  float a2 = chord(c, fRoot * 1.25f) * env(at.localU, 0.40f, 0.10f);
  float a3 = chord(c, fRoot * 1.5f) * env(at.localU, 0.72f, 0.10f);
  const float scale[5] = {1.0f, 9.0f / 8.0f, 5.0f / 4.0f, 3.0f / 2.0f, 5.0f / 3.0f};
  float lead = chord(c, base * scale[at.lead] * 2.0f) * env(at.localU, 0.25f, 0.22f);
  return (0.55f * pad + 0.30f * (a1 + a2 + a3) / 3.0f + 0.25f * lead) * gates;
}

template <class Clock>
Vec2 makeSoundAt(const Clock& c) {
  const float t = c.seconds();
  float ntime = (t / 107.0f) * 120.0f;
  float fadeChimes = 1.0f - smoothstep(95.0f, 100.0f, t);
  float fadeChords = 1.0f - smoothstep(90.0f, 100.0f, t);
  float chimes = chimeTrack(c);
  float ch = bassBeat(c.later(2), 25.0f) * chimes * smoothstep(17.0f, 25.0f, t) * fadeChimes * (0.08f * soundScale);
  float ch2 = bassBeat(c.later(2), 120.0f) * chimes * smoothstep(30.0f, 35.0f, t) * fadeChimes * (0.08f * soundScale);
  float co1 = chord(c, 200.0f) * c.sine(20.0f) * smoothstep(30.0f, 35.0f, t) * fadeChords * (0.02f * soundScale);
  float co2 = chord(c, 50.0f) * c.sine(20.0f) * smoothstep(25.0f, 35.0f, t) * fadeChords * (0.05f * soundScale);
  float co3 = chord(c, 250.0f) * c.sine(20.0f) * smoothstep(50.0f, 55.0f, t) * fadeChords * (0.02f * soundScale);
  float b1 = bassBeat(c, 25.0f) * smoothstep(5.0f, 15.0f, t) * (0.1f * soundScale) * fadeChimes;
  float pad = (c.bentSine(Clock::note(48.0f), 2.0f * c.sine(0.05f)) +
               c.bentSine(Clock::note(51.0f), 2.0f * c.later(10).sine(0.04f)) +
               c.bentSine(Clock::note(53.0f), 2.0f * c.later(20).sine(0.03f))) /
              3.0f * env(ntime, 10.0f, 0.015f) * (0.01f * soundScale);
  float mel = smallMelody(c) * (0.1f * soundScale);
  float mono = (mel + pad + co3 + co2 + co1 + ch * ch2 + b1) * smoothstep(0.0f, 8.0f, t) *
               (1.0f - smoothstep(100.0f, 107.0f, t));
  float pan = 0.3f * c.sine(0.05f);
  Vec2 out{mono * std::sqrt(0.5f * (1.0f - pan)), mono * std::sqrt(0.5f * (1.0f + pan))};
  out.x = std::clamp(out.x, -0.9f, 0.9f);
  out.y = std::clamp(out.y, -0.9f, 0.9f);
  return out;
}

}  // namespace

Vec2 makeSound(float t) { return makeSoundAt(SecondsClock{t}); }
Vec2 makeSoundAtSample(uint32_t n) { return makeSoundAt(SampleClock{n}); }

}  // namespace reference
