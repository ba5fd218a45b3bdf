// The whole presentation, every frame from 0 to 7400, offscreen at a tiny render size with the
// validation layer on: no validation message, nothing but finite values in any presented frame,
// resident memory that stays flat once the scenes run, and the end right after frame 7400.
#include <cstdio>
#include <vector>

#include "platform/os.h"
#include "tests/app/presentation_test_support.h"

namespace {

// Memory first settles (shader compiles, pools, the validation layer's tables); from here
// on it must not grow with the frames.
constexpr uint32_t kSettledFrame = 500;
constexpr size_t kAllowedGrowth = size_t(64) << 20;
constexpr double kMiB = 1024.0 * 1024.0;

TEST_F(PresentationTest, WholeRunStaysFiniteAndItsMemoryFlat) {
  start(smallOffscreenOptions(32, 18));
  runUntilPassesRecorded();
  size_t settled = 0;
  std::vector<uint32_t> nonFiniteFrames;
  bool running = true;
  while (running) {
    running = runFrame(p);
    ASSERT_TRUE(p.lastFrame.passesRecorded);
    uint32_t frame = p.lastFrame.simulationFrame;
    // frameInput is what the final pass tone-maps into the back buffer (whose 8-bit texels
    // cannot hold a NaN). A fault in the history reaches it in the frame after.
    if (nonFiniteHalves(readTexture(*p.textures.frameInput)) != 0) nonFiniteFrames.push_back(frame);
    if (frame == kSettledFrame) settled = osResidentMemoryBytes();
    // Checked as it runs too, so a driver that grows by megabytes a frame stops the run early
    // instead of filling the machine.
    if (settled != 0 && frame % 100 == 0) {
      size_t now = osResidentMemoryBytes();
      ASSERT_LE(now, settled + kAllowedGrowth) << "resident memory grew from " << settled / kMiB << " MiB at frame "
                                               << kSettledFrame << " to " << now / kMiB << " MiB at frame " << frame;
    }
    if (frame < 7400) {
      ASSERT_TRUE(running) << "the presentation ended at frame " << frame;
    }
  }
  EXPECT_EQ(p.lastFrame.simulationFrame, 7400u) << "the last frame shown";
  EXPECT_EQ(nonFiniteHalves(readTexture(*p.textures.HistoryBuffer)), 0u) << "the history after frame 7400";
  EXPECT_TRUE(nonFiniteFrames.empty()) << nonFiniteFrames.size() << " frames hold NaN or Inf, the first at frame "
                                       << (nonFiniteFrames.empty() ? 0 : nonFiniteFrames[0]);

  ASSERT_GT(settled, 0u) << "no resident-memory figure at frame " << kSettledFrame;
  size_t end = osResidentMemoryBytes();
  EXPECT_LE(end, settled + kAllowedGrowth)
      << "resident memory grew from " << settled / kMiB << " MiB at frame " << kSettledFrame << " to " << end / kMiB
      << " MiB at frame 7400";
  std::printf("resident memory: %.1f MiB at frame %u, %.1f MiB at frame 7400\n", settled / kMiB, kSettledFrame,
              end / kMiB);
}

}  // namespace
