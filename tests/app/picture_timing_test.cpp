// When the music clock's pictures reach the screen: the running measure on its own, and the
// clock with it on a fake pipelined GPU, where a frame chosen now is seen frames later. The
// loop below takes the frame loop's decisions in the frame loop's order (as the fake display of
// frame_clock_test.cpp does) and adds what that one leaves out: frames in flight, a present
// that waits for the frame before, and the GPU's progress as the present fences report it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "app/frame_clock.h"
#include "app/picture_timing.h"

namespace {

TEST(PictureTiming, NoLeadUntilAPictureWasSeen) {
  PictureTiming timing{};
  EXPECT_EQ(pictureLeadSeconds(timing), 0.0);
  picturePresented(timing, 1, 1000.0, 1010.0, false);
  picturesFinished(timing, 0, 1020.0);
  EXPECT_EQ(pictureLeadSeconds(timing), 0.0) << "presented, not finished";
  picturesFinished(timing, 1, 1040.0);
  EXPECT_DOUBLE_EQ(pictureLeadSeconds(timing), 0.040) << "one picture, no interval yet: its delay alone";
  EXPECT_EQ(timing.inFlightCount, 0u);
}

TEST(PictureTiming, EachFinishedFrameMeasuresFromItsChoiceToWhenItWasSeen) {
  PictureTiming timing{};
  // Three frames in flight, chosen 20 ms apart; the GPU is seen past the first two at 100 ms.
  picturePresented(timing, 7, 0.0, 10.0, false);
  picturePresented(timing, 8, 20.0, 30.0, false);
  picturePresented(timing, 9, 40.0, 50.0, false);
  picturesFinished(timing, 8, 100.0);
  EXPECT_EQ(timing.delayCount, 2u);
  EXPECT_EQ(timing.inFlightCount, 1u);
  EXPECT_EQ(timing.inFlight[0].frames, 9u);
  picturesFinished(timing, 9, 110.0);
  // Delays 100, 80 and 70 ms: the lowest quarter; pictures 20 ms apart are chosen for their middle.
  EXPECT_NEAR(pictureLeadSeconds(timing), 0.070 + 0.010, 1e-9);
}

TEST(PictureTiming, ASlowLoopThatSeesSomePicturesOneFrameLateKeepsTheLead) {
  // 100 ms a picture, each on screen 100 ms after its choice, but the loop sees the GPU past
  // a present only at the end of a frame: most at the end of the picture's own, many a frame
  // later. The lead must not jump by a picture when the late ones are the more recent half.
  PictureTiming timing{};
  double now = 0.0;
  for (uint64_t frame = 1; frame <= 60; ++frame) {
    picturePresented(timing, frame, now, now + 100.0, false);
    const bool seenLate = frame > 30 && frame % 3 != 0;  // two of three from frame 31 on
    picturesFinished(timing, frame - (seenLate ? 1 : 0), now + 100.0);
    now += 100.0;
    if (frame >= 20) EXPECT_NEAR(pictureLeadSeconds(timing), 0.100 + 0.050, 0.001) << frame;
  }
}

TEST(PictureTiming, OneStallDoesNotMoveTheLead) {
  PictureTiming timing{};
  double now = 0.0;
  for (uint64_t frame = 1; frame <= 30; ++frame) {
    const double delay = frame == 20 ? 900.0 : 50.0;  // one frame the system held up
    picturePresented(timing, frame, now, now + 5.0, false);
    picturesFinished(timing, frame, now + delay);
    now += 16.0;
    if (frame >= 20) {
      EXPECT_NEAR(pictureLeadSeconds(timing), 0.050 + 0.008, 1e-9) << frame;
    }
  }
}

TEST(PictureTiming, EachPictureIsChosenForTheMiddleOfItsTimeOnScreen) {
  // 20 pictures intervalMs apart, 100 ms from choice to screen; the first `held` of every ten
  // came after a hold.
  const auto centreMs = [](double intervalMs, uint64_t held) {
    PictureTiming timing{};
    for (uint64_t frame = 1; frame <= 20; ++frame) {
      picturePresented(timing, frame, intervalMs * double(frame), intervalMs * double(frame), frame % 10 < held);
      picturesFinished(timing, frame, intervalMs * double(frame) + 100.0);
    }
    return pictureLeadSeconds(timing) * 1000.0 - 100.0;
  };
  EXPECT_NEAR(centreMs(143.0, 0), 71.5, 1e-6) << "half the time between pictures";
  EXPECT_NEAR(centreMs(1000.0 / 60.0, 0), 500.0 / 60.0, 1e-6) << "a display that keeps up";
  EXPECT_NEAR(centreMs(1000.0 / 60.0, 10), 0.0, 1e-6) << "a faster loop: its holds centre each index";
  // The last 15 pictures (6 to 20) hold 6 that came after a hold: 9 of 15 are centred.
  EXPECT_NEAR(centreMs(20.0, 5), 0.6 * 10.0, 1e-6);
}

TEST(PictureTiming, AGpuThatFinishesNothingKeepsOnlyTheNewestFrames) {
  PictureTiming timing{};
  for (uint64_t frame = 1; frame <= 3 * kPicturesInFlight; ++frame)
    picturePresented(timing, frame, double(frame), double(frame), false);
  EXPECT_EQ(timing.inFlightCount, kPicturesInFlight);
  EXPECT_EQ(timing.inFlight[0].frames, 2u * kPicturesInFlight + 1);
  picturesFinished(timing, 3 * kPicturesInFlight, 100.0);
  EXPECT_EQ(timing.delayCount, kPicturesInFlight);
}

// ---- The clock with the measure, on a pipelined GPU ----

constexpr uint32_t kEndFrame = 7400;

struct ShownPicture {
  uint32_t index;
  double shownMs;  // when it appeared
};

struct PipelinedRun {
  std::vector<ShownPicture> pictures;
  double playStartMs = 0;

  double musicFramesAt(double ms) const { return (ms - playStartMs) / 1000.0 * kTimelineFramesPerSecond; }
  // The largest |index - music frame| at the middle of each picture's time on screen, for the
  // pictures that appeared after `fromMs`, leaving out the frames never skipped and the picture
  // after each (a forced frame comes late, the next one catches up).
  double largestMiddleError(double fromMs) const {
    double largest = 0;
    const auto forced = [](uint32_t index) { return index == 3254 || index == 3255 || index == kEndFrame; };
    for (size_t i = 1; i + 1 < pictures.size(); ++i) {
      if (pictures[i].shownMs < fromMs || forced(pictures[i].index) || forced(pictures[i - 1].index)) continue;
      const double middle = (pictures[i].shownMs + pictures[i + 1].shownMs) / 2.0;
      largest = std::max(largest, std::fabs(double(pictures[i].index) - musicFramesAt(middle)));
    }
    return largest;
  }
};

// Recording takes cpuMs; the GPU runs the frames one after another, gpuMs each; a picture
// appears when its frame is finished or, with a display, at the next refresh after. Ending a
// frame waits until the frame before has appeared. The music is heard from the end of the
// first recording on. Each index is chosen when its frame starts, held (checked again every
// millisecond) while the music has not left the last one; the loop asks the present fences
// (the GPU's finishes) at the start of every iteration and after every frame it ends.
PipelinedRun runPipelined(double refreshHz, double gpuMs, double cpuMs) {
  PipelinedRun run;
  PictureTiming timing{};
  double now = 0, gpuFreeAt = 0;
  bool playing = false, waited = false;
  uint32_t index = 0;
  std::vector<double> finishes;
  const auto finished = [&] {
    return uint64_t(std::upper_bound(finishes.begin(), finishes.end(), now) - finishes.begin());
  };
  while (index <= kEndFrame) {
    if (timing.inFlightCount > 0) picturesFinished(timing, finished(), now);
    const double chosenMs = now;
    if (playing) {
      const double target = (now - run.playStartMs) / 1000.0 + pictureLeadSeconds(timing);
      const uint32_t next = nextFrameIndex(FrameClockMode::Music, index, target);
      if (next == index) {
        waited = true;
        now += 1.0;
        continue;
      }
      index = next;
      if (index > kEndFrame) break;
    }
    now += cpuMs;
    const bool chosenByClock = playing, afterHold = waited;
    waited = false;
    if (!playing) {
      playing = true;  // the first rendered frame keeps index 0 and starts the music
      run.playStartMs = now;
    }
    gpuFreeAt = std::max(now, gpuFreeAt) + gpuMs;
    finishes.push_back(gpuFreeAt);
    const double shown = refreshHz > 0 ? std::ceil(gpuFreeAt * refreshHz / 1000.0 - 1e-9) * 1000.0 / refreshHz : gpuFreeAt;
    if (!run.pictures.empty()) now = std::max(now, run.pictures.back().shownMs);
    run.pictures.push_back({index, shown});
    if (chosenByClock) picturePresented(timing, finishes.size(), chosenMs, now, afterHold);
    picturesFinished(timing, finished(), now);
  }
  return run;
}

TEST(PictureTimingOnAPipelinedGpu, EachPictureShowsTheMusicHeardWhileItIsOnScreen) {
  // The render sizes of a CPU-only machine: 45, 35, 17 and 7 pictures a second.
  for (double gpuMs : {22.0, 28.0, 59.0, 143.0}) {
    const PipelinedRun run = runPipelined(0.0, gpuMs, 1.0);
    // Half a timeline frame is the nearest frame's own rounding.
    const double error = run.largestMiddleError(3000.0);
    printf("GPU at %.0f ms a frame: largest |index - music x 60| at a picture's middle %.3f\n", gpuMs, error);
    EXPECT_LE(error, 0.55) << gpuMs << " ms";
    std::vector<uint32_t> indices;
    for (const ShownPicture& p : run.pictures) indices.push_back(p.index);
    EXPECT_TRUE(std::is_sorted(indices.begin(), indices.end())) << "never backwards, " << gpuMs << " ms";
    for (uint32_t event : {0u, 3254u, 3255u, kEndFrame})
      EXPECT_NE(std::find(indices.begin(), indices.end(), event), indices.end()) << event << ", " << gpuMs << " ms";
    EXPECT_EQ(indices.back(), kEndFrame) << gpuMs << " ms";
  }
}

TEST(PictureTimingOnAPipelinedGpu, ASixtyHertzDisplayThatKeepsUpStillShowsEveryFrameOnce) {
  for (double gpuMs : {4.0, 12.0}) {
    const PipelinedRun run = runPipelined(60.0, gpuMs, 1.0);
    // Once the first pictures were seen (their delay is measured from then on), one timeline
    // frame per refresh, each shown once, to the end.
    size_t first = 0;
    while (first < run.pictures.size() && run.pictures[first].shownMs < 500.0) ++first;
    ASSERT_LT(first + 7000, run.pictures.size()) << gpuMs << " ms";
    for (size_t i = first + 1; i < run.pictures.size(); ++i) {
      ASSERT_EQ(run.pictures[i].index, run.pictures[i - 1].index + 1) << gpuMs << " ms, picture " << i;
      ASSERT_NEAR(run.pictures[i].shownMs - run.pictures[i - 1].shownMs, 1000.0 / 60.0, 1e-6) << gpuMs << " ms";
    }
    // Seen while the music is within one timeline frame of it (the display's own refresh
    // after the fence is not measured).
    EXPECT_LE(run.largestMiddleError(500.0), 1.0) << gpuMs << " ms";
  }
}

}  // namespace
