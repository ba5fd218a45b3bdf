// The frame clock on a fake display: a fake real-time clock, a display refreshing at a
// chosen rate, a GPU taking a chosen time per frame and a music position that counts
// real time from the moment playback starts. The loop below takes the frame loop's
// decisions in the frame loop's order: a held index is checked again every millisecond,
// a rendered frame starts the music (the first one) or reads the clock before it is
// presented, and presenting waits for the first refresh after the GPU is done.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "app/frame_clock.h"

namespace {

constexpr uint32_t kEndFrame = 7400;

struct RenderedFrame {
  uint32_t index;
  double musicFrame;  // the music position, in timeline frames, the index was chosen at
};

struct FakeRun {
  std::vector<RenderedFrame> frames;
  double endMusicSeconds = 0;

  // The largest |index - music frame| over the frames, leaving out the given indices.
  double largestError(std::initializer_list<uint32_t> excluded = {}) const {
    double largest = 0;
    for (const RenderedFrame& f : frames)
      if (std::find(excluded.begin(), excluded.end(), f.index) == excluded.end())
        largest = std::max(largest, std::abs(double(f.index) - f.musicFrame));
    return largest;
  }
  bool visited(uint32_t index) const {
    return std::any_of(frames.begin(), frames.end(), [&](const RenderedFrame& f) { return f.index == index; });
  }
  bool nonDecreasing() const {
    for (size_t i = 1; i < frames.size(); ++i)
      if (frames[i].index < frames[i - 1].index) return false;
    return true;
  }
};

FakeRun runOnFakeDisplay(FrameClockMode mode, double refreshHz, double gpuMsPerFrame) {
  const double period = 1.0 / refreshHz;
  double now = 0;  // refreshes at whole multiples of period
  double playStart = -1;
  auto musicSeconds = [&] { return playStart < 0 ? 0.0 : now - playStart; };
  FakeRun run;
  uint32_t index = 0;
  double chosenAt = 0;
  bool held = false;
  for (;;) {
    if (held) {
      const uint32_t next = nextFrameIndex(mode, index, musicSeconds());
      if (next == index) {
        now += 0.001;
        continue;
      }
      index = next;
      chosenAt = musicSeconds() * kTimelineFramesPerSecond;
      held = false;
      if (index > kEndFrame) break;  // the presentation ends now
    }
    run.frames.push_back({index, chosenAt});
    if (playStart < 0) {
      playStart = now;  // the first rendered frame keeps index 0 and starts the music
    } else {
      const uint32_t next = nextFrameIndex(mode, index, musicSeconds());
      chosenAt = musicSeconds() * kTimelineFramesPerSecond;
      held = next == index;
      index = next;
    }
    if (index > kEndFrame) break;  // after this frame is presented
    now = std::ceil((now + gpuMsPerFrame / 1000.0) / period - 1e-9) * period;
  }
  run.endMusicSeconds = chosenAt / kTimelineFramesPerSecond;
  return run;
}

void printErrors(const char* name, const FakeRun& run) {
  printf("%s: %zu frames rendered, largest |index - music x 60| %.3f (event frames left out %.3f), end at %.3f s\n",
         name, run.frames.size(), run.largestError(), run.largestError({3254, 3255, 7400}), run.endMusicSeconds);
}

TEST(FrameClockOnAFakeDisplay, At60HzTheSequenceIsTheOriginalOne) {
  const FakeRun run = runOnFakeDisplay(FrameClockMode::Music, 60.0, 4.0);
  printErrors("60 Hz", run);
  // Index 0 twice (the first rendered frame starts the music), then one per refresh.
  ASSERT_EQ(run.frames.size(), kEndFrame + 2u);
  EXPECT_EQ(run.frames[0].index, 0u);
  for (uint32_t i = 1; i < run.frames.size(); ++i) ASSERT_EQ(run.frames[i].index, i - 1) << "rendered frame " << i;
  EXPECT_LE(run.largestError(), 1e-6);
  EXPECT_NEAR(run.endMusicSeconds, 7401.0 / 60.0, 1e-9);  // 123.35 s
}

TEST(FrameClockOnAFakeDisplay, FastDisplaysRenderEachIndexOnce) {
  for (double hz : {120.0, 144.0, 240.0}) {
    const FakeRun run = runOnFakeDisplay(FrameClockMode::Music, hz, 2.0);
    if (hz == 144.0) printErrors("144 Hz", run);
    ASSERT_EQ(run.frames.size(), kEndFrame + 2u) << hz << " Hz";
    EXPECT_EQ(run.frames[0].index, 0u);
    for (uint32_t i = 1; i < run.frames.size(); ++i)
      ASSERT_EQ(run.frames[i].index, i - 1) << hz << " Hz, rendered frame " << i;
    EXPECT_LE(run.largestError(), 1.0) << hz << " Hz";
    EXPECT_GE(run.endMusicSeconds, 123.3) << hz << " Hz";
    EXPECT_LE(run.endMusicSeconds, 123.4) << hz << " Hz";
  }
}

TEST(FrameClockOnAFakeDisplay, ASlowGpuCatchesUpWithoutSkippingEventFrames) {
  for (double gpuMs : {50.0, 37.0, 110.0}) {
    const FakeRun run = runOnFakeDisplay(FrameClockMode::Music, 60.0, gpuMs);
    if (gpuMs == 50.0) {
      printErrors("GPU at 20 fps", run);
      EXPECT_LE(run.endMusicSeconds, 123.4 + 1e-9);
    }
    EXPECT_TRUE(run.nonDecreasing()) << gpuMs << " ms";
    for (uint32_t event : {0u, 3254u, 3255u, kEndFrame}) EXPECT_TRUE(run.visited(event)) << event << ", " << gpuMs << " ms";
    // Only the rendered frame right after a forced one may lag by more than a frame.
    EXPECT_LE(run.largestError({3254, 3255, kEndFrame}), 1.0) << gpuMs << " ms";
    EXPECT_EQ(run.frames.back().index, kEndFrame) << gpuMs << " ms";
    EXPECT_GE(run.endMusicSeconds, 123.3) << gpuMs << " ms";
    // Frame 7400 is shown (forced at most one frame late), then the next clock reading
    // ends the presentation. Presenting waits for whole refreshes.
    const double frameSeconds = std::ceil(gpuMs * 60.0 / 1000.0) / 60.0;
    EXPECT_LE(run.endMusicSeconds, 7400.5 / 60.0 + 2 * frameSeconds) << gpuMs << " ms";
  }
}

TEST(FrameClockOnAFakeDisplay, TheRefreshClockCountsPresentedFrames) {
  const FakeRun run = runOnFakeDisplay(FrameClockMode::Refresh, 144.0, 2.0);
  ASSERT_EQ(run.frames.size(), kEndFrame + 2u);
  for (uint32_t i = 1; i < run.frames.size(); ++i) ASSERT_EQ(run.frames[i].index, i - 1);
  // The original clock on a 144 Hz display: the music is cut at 51.4 s.
  EXPECT_NEAR(run.endMusicSeconds, 7401.0 / 144.0, 1e-9);
}

TEST(FrameClock, MusicFrameIsTheNearestWithHalvesToTheEarlier) {
  EXPECT_EQ(musicFrameAt(-0.5), 0u);
  EXPECT_EQ(musicFrameAt(std::nan("")), 0u);
  EXPECT_EQ(musicFrameAt(0.0), 0u);
  EXPECT_EQ(musicFrameAt(0.4 / 60.0), 0u);
  EXPECT_EQ(musicFrameAt(0.6 / 60.0), 1u);
  // Exactly between two frames (120 frames per second of output): the earlier one,
  // however seconds x 60 rounds.
  for (uint32_t n = 1; n < 20000; n += 2) ASSERT_EQ(musicFrameAt(double(n) / 120.0), n / 2) << n;
  for (uint32_t n = 0; n < 20000; ++n) ASSERT_EQ(musicFrameAt(double(n) / 60.0), n) << n;
  EXPECT_EQ(musicFrameAt(1e300), 4294967295u);
}

TEST(FrameClock, NextIndexHoldsCatchesUpAndStopsAtEventFrames) {
  const auto next = [](uint32_t rendered, double musicFrame) {
    return nextFrameIndex(FrameClockMode::Music, rendered, musicFrame / 60.0);
  };
  EXPECT_EQ(next(10, 10.3), 10u) << "held";
  EXPECT_EQ(next(10, 4.0), 10u) << "music behind: held, never back";
  EXPECT_EQ(next(10, 11.0), 11u);
  EXPECT_EQ(next(10, 14.2), 14u) << "catches up";
  EXPECT_EQ(next(3250, 3260.0), 3254u);
  EXPECT_EQ(next(3254, 3260.0), 3255u);
  EXPECT_EQ(next(3255, 3260.0), 3260u);
  EXPECT_EQ(next(3253, 3254.0), 3254u);
  EXPECT_EQ(next(7398, 7405.0), 7400u);
  EXPECT_EQ(next(7400, 7401.0), 7401u) << "past the end: the loop stops";
  EXPECT_EQ(nextFrameIndex(FrameClockMode::Refresh, 10, 100.0), 11u);
  EXPECT_EQ(nextFrameIndex(FrameClockMode::Refresh, 3250, 0.0), 3251u);
}

TEST(FrameClock, AMusicPositionThatStopsIsReplacedByTheCounter) {
  MusicPosition position;
  EXPECT_EQ(trustedMusicSeconds(position, 0.0, 1000.0), 0.0);
  EXPECT_EQ(trustedMusicSeconds(position, 2.0, 3000.0), 2.0);
  // A failed query answers 0: the last position stands, the pictures hold for a moment.
  EXPECT_EQ(trustedMusicSeconds(position, 0.0, 3010.0), 2.0);
  EXPECT_EQ(trustedMusicSeconds(position, 2.0, 3250.0), 2.0);
  // Still nothing after the limit: the counter takes over from the last position.
  EXPECT_DOUBLE_EQ(trustedMusicSeconds(position, 2.0, 3300.0), 2.3);
  EXPECT_DOUBLE_EQ(trustedMusicSeconds(position, 0.0, 4000.0), 3.0);
  // The device moving again is trusted again.
  EXPECT_EQ(trustedMusicSeconds(position, 3.5, 4100.0), 3.5);
  EXPECT_EQ(trustedMusicSeconds(position, 3.5, 4200.0), 3.5);
}

}  // namespace
