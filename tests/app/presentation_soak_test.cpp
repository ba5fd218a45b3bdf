// The whole presentation, frames 0 to 7400, sampled every 20th frame at the smallest
// size the passes allow: no validation message, nothing but finite values in the
// history, and the end right after frame 7400.
#include "tests/app/presentation_test_support.h"

namespace {

constexpr uint32_t kStride = 20;

TEST_F(PresentationTest, EverySampledFrameUpToTheEndStaysFinite) {
  start(smallOffscreenOptions(32, 18));
  runUntilPassesRecorded();
  runFrame(p);  // the first playing frame, still index 0
  ASSERT_EQ(p.lastFrame.simulationFrame, 0u);
  bool running = true;
  while (running) {
    // Jump ahead so that the next frame renders index + kStride.
    jumpToFrame(p, p.simulation.data.frame + kStride - 1);
    running = runFrame(p);
    ASSERT_TRUE(p.lastFrame.passesRecorded);
    uint32_t frame = p.lastFrame.simulationFrame;
    ASSERT_EQ(frame % kStride, 0u);
    ASSERT_EQ(nonFiniteHalves(readTexture(*p.textures.HistoryBuffer)), 0u) << "frame " << frame;
    if (frame < 7400) {
      ASSERT_TRUE(running) << "frame " << frame;
    }
  }
  EXPECT_EQ(p.lastFrame.simulationFrame, 7400u) << "the last frame shown";
}

}  // namespace
