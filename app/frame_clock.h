#pragma once
// The frame clock: which timeline frame the next rendered frame shows.
//
// The timeline was written at 60 frames per second of music. The music clock (the
// default) follows the playback position at that rate, so the pictures stay with the
// music on any display and any GPU:
//  - on a display faster than 60 Hz an index is held for the refreshes it lasts; nothing
//    new is rendered or presented until the music reaches the next one;
//  - a GPU slower than 60 frames per second skips indices to catch up, but never the
//    frames on which the particle simulation does one-time work, nor the last frame.
// The refresh clock is the original one: one index per presented frame, which matches
// the music only on a 60 Hz display with every frame on time.
//
// Pure arithmetic: the frame loop and the capture tool supply the music position.
#include <cstdint>
#include <string_view>

#include "shaders/ParticleConfig.h"

enum class FrameClockMode : uint8_t { Music, Refresh };

inline constexpr double kTimelineFramesPerSecond = 60.0;

// The last frame the presentation shows; it ends once the index passes it.
inline constexpr uint32_t kEndFrameIndex = 7400;

// Never skipped by the music clock: the scene switch's two frames (the simulation compares
// the index with ==), and the last frame the presentation shows. Frame 0, the first set-up
// frame, is always the first shown.
inline constexpr uint32_t kFramesNeverSkipped[] = {kSceneClearFrame, kSceneSetUpFrame, kEndFrameIndex};

// The timeline frame nearest to the music position. A position exactly between two
// frames counts to the earlier one, so a clock at twice the rate shows each index twice.
// Before the start (or NaN) it is 0.
uint32_t musicFrameAt(double musicSeconds);

// The index of the frame after `renderedIndex`, with the music at musicSeconds.
//  Refresh: renderedIndex + 1.
//  Music:   the music's frame, but never past the next frame that must not be skipped;
//           renderedIndex itself while the music has not reached a later frame (a hold).
uint32_t nextFrameIndex(FrameClockMode mode, uint32_t renderedIndex, double musicSeconds);

// "music" or "refresh"; false for anything else.
bool parseFrameClockMode(std::string_view text, FrameClockMode* mode);

// The playback position as the music clock trusts it. A position that stops advancing
// while the music plays (a sound device that no longer answers, or answers 0 after a
// failed query) would otherwise hold the pictures for good: after kMusicStallLimitMs of
// the counter without progress, the clock goes on from the last position by the counter.
inline constexpr double kMusicStallLimitMs = 250.0;

struct MusicPosition {
  bool started = false;
  double trustedSeconds = 0.0;  // the last position that advanced
  double trustedAtMs = 0.0;     // the counter when it did
};

// The position to use, given the device's answer and the counter (milliseconds) now.
// Reset the record (= {}) when playback starts.
double trustedMusicSeconds(MusicPosition& position, double deviceSeconds, double counterMs);
