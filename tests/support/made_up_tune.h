#pragma once
// A made-up stand-in for the music in the suites of the recording checks (tarnix-sound-match,
// tarnix-sync-match): ten seconds of a tune that never repeats within a window, starting after
// a little silence, at a rate small enough for the sanitizer build (the tools run at 44,100).
#include <cmath>
#include <cstdint>
#include <vector>

inline constexpr uint32_t kMadeUpTuneRate = 8000;

inline std::vector<float> madeUpTune() {
  constexpr double kTwoPi = 6.283185307179586;
  std::vector<float> m(10 * kMadeUpTuneRate, 0.0f);
  for (size_t i = kMadeUpTuneRate / 10; i < m.size(); ++i) {
    double t = double(i) / kMadeUpTuneRate;
    m[i] = float(0.3 * std::sin(kTwoPi * (220 + 30 * t) * t) + 0.2 * std::sin(kTwoPi * 331.7 * t * t));
  }
  return m;
}
