#include "tests/support/music_agreement.h"

#include <cmath>

#include "shaders/music_constants.h"
#include "support/reference/music.h"

MusicAgreement compareWithMusicReferences(const float* interleaved) {
  constexpr uint32_t kStride = 49, kSeconds = 107;
  MusicAgreement agreement;
  for (uint32_t second = 0; second < kSeconds; ++second) {
    double difference = 0, energy = 0, designEnergy = 0, exactEnergy = 0;
    for (uint32_t n = second * kMusicSampleRate; n < (second + 1) * kMusicSampleRate; n += kStride) {
      const reference::Vec2 exact = reference::makeSoundAtSample(n);
      const reference::Vec2 design = reference::makeSound(float(n) / float(kMusicSampleRate));
      const float left = interleaved[2 * size_t(n)], right = interleaved[2 * size_t(n) + 1];
      difference += std::pow(double(left) - exact.x, 2) + std::pow(double(right) - exact.y, 2);
      energy += double(left) * left + double(right) * right;
      exactEnergy += double(exact.x) * exact.x + double(exact.y) * exact.y;
      designEnergy += double(design.x) * design.x + double(design.y) * design.y;
    }
    if (exactEnergy > 0) {
      const double share = std::sqrt(difference / exactEnergy);
      if (share > agreement.worstDifference) agreement.worstDifference = share, agreement.worstDifferenceSecond = second;
    }
    if (designEnergy > 0) {
      const double loudness = std::fabs(std::sqrt(energy) - std::sqrt(designEnergy)) / std::sqrt(designEnergy);
      if (loudness > agreement.worstLoudness) agreement.worstLoudness = loudness, agreement.worstLoudnessSecond = second;
    }
  }
  return agreement;
}
