#include "app/frame_clock.h"

#include <cmath>

namespace {
// seconds x 60 is rarely exact in binary; a position within this many frames of a
// half counts as the half.
constexpr double kHalfTolerance = 1e-9;
constexpr double kLargestIndex = 4294967295.0;
}  // namespace

uint32_t musicFrameAt(double musicSeconds) {
  if (!(musicSeconds > 0.0)) return 0;
  const double nearest = std::ceil(musicSeconds * kTimelineFramesPerSecond - 0.5 - kHalfTolerance);
  if (nearest <= 0.0) return 0;
  return nearest >= kLargestIndex ? uint32_t(kLargestIndex) : uint32_t(nearest);
}

uint32_t nextFrameIndex(FrameClockMode mode, uint32_t renderedIndex, double musicSeconds) {
  if (mode == FrameClockMode::Refresh) return renderedIndex + 1;
  const uint32_t music = musicFrameAt(musicSeconds);
  if (music <= renderedIndex) return renderedIndex;
  for (uint32_t frame : kFramesNeverSkipped)
    if (renderedIndex < frame && music > frame) return frame;
  return music;
}

bool parseFrameClockMode(std::string_view text, FrameClockMode* mode) {
  if (text == "music") {
    *mode = FrameClockMode::Music;
    return true;
  }
  if (text == "refresh") {
    *mode = FrameClockMode::Refresh;
    return true;
  }
  return false;
}

double trustedMusicSeconds(MusicPosition& position, double deviceSeconds, double counterMs) {
  if (!position.started || deviceSeconds > position.trustedSeconds) {
    position = {true, deviceSeconds, counterMs};
    return deviceSeconds;
  }
  const double stillMs = counterMs - position.trustedAtMs;
  if (stillMs <= kMusicStallLimitMs) return position.trustedSeconds;
  return position.trustedSeconds + stillMs / 1000.0;
}
