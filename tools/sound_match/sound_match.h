#pragma once
// Compares a recording of the music, as a listener heard it, with the music itself, half a
// second at a time: where in the music each half-second of the recording lies (its offset),
// and how well it matches there. Steady playback keeps one offset throughout; a gap (the
// device ran dry and played silence, or skipped) shows as a half-second that matches badly
// and an offset that moves; drift is how far the offset moved from the first matched
// half-second to the last.
#include <cstdint>
#include <vector>

struct SoundWindow {
  double startSeconds;  // in the recording
  int64_t offset;       // recording sample minus music sample where it matches best
  double mismatch;      // rms of the difference there over the music's rms (0 = identical)
  bool quiet;           // the music is too quiet there to tell anything
};

struct SoundMatch {
  std::vector<SoundWindow> windows;
  uint32_t disturbed = 0;  // loud half-seconds that match badly or sit at a new offset
  double driftMs = 0.0;    // last matched offset minus the first, in milliseconds
  bool found = false;      // the music was found in the recording at all
};

inline constexpr double kMismatchLimit = 0.05;  // a clean half-second is far below (16-bit rounding)

// Both mono at `rate`. Windows of half a second from the music's start in the recording to
// the recording's end (the last partial one is left out).
SoundMatch matchRecording(const std::vector<float>& music, const std::vector<float>& recording, uint32_t rate);
