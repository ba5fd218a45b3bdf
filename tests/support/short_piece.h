#pragma once
// A short piece for the streamer suites of the real sound devices: 0.3 s of a quiet tone
// (51 whole blocks), opened on the system's device and played to its end.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "audio/wave_out_streamer.h"
#include "platform/wave_out.h"
#include "tests/support/wave_out_listener.h"

struct ShortPiece {
  static constexpr uint32_t kFrames = 13230;
  std::vector<float> source = std::vector<float>(kFrames * 2);
  std::vector<float> samples = std::vector<float>(kFrames * 2);

  ShortPiece() {
    for (uint32_t i = 0; i < kFrames; ++i) source[2 * i] = source[2 * i + 1] = 0.2f * std::sin(0.06f * float(i));
  }

  // The streamer on the system's device with its thread running; 32-bit float where the device
  // offers it.
  void open(WaveOutStreamer& streamer) {
    streamer.api = systemWaveOutApi();
    streamer.totalFrames = kFrames;
    streamer.samples = samples.data();
    streamer.openDevice(source.data());
    ASSERT_NE(streamer.device, nullptr);
    ASSERT_FALSE(streamer.silent);
    EXPECT_EQ(streamer.bitsPerSample, 32u) << "float is taken when the device offers it";
    streamer.startThread();
  }
};

// Plays from the start until the position reaches the end (at most 5 s): whether it did, and
// whether the position only grew on the way.
struct PlayedThrough {
  bool reachedEnd = false, monotonic = true;
  double last = 0.0, end = 0.0;
};
inline PlayedThrough playThrough(WaveOutStreamer& streamer, double sampleRate) {
  PlayedThrough played;
  played.end = double(streamer.endFrame()) / sampleRate;
  streamer.play();
  played.reachedEnd = waitFor(
      [&] {
        double now = streamer.positionSeconds();
        played.monotonic = played.monotonic && now >= played.last;
        played.last = now;
        return now >= played.end;
      },
      5000);
  return played;
}
