// Two runs of the same range present the same bytes: the promise the capture tool makes
// (it drives this library offscreen with the fixed clock). The range starts at the second
// scene's set-up and runs through the frames where its cloud of spheres first collides.
#include "tests/app/presentation_test_support.h"

namespace {

constexpr uint32_t kFirstFrame = 3252, kLastFrame = 3280;

std::vector<std::vector<uint8_t>> presentRange(uint32_t first, uint32_t last) {
  ValidationScope validation;
  auto p = std::make_unique<Presentation>();
  startPresentation(*p, smallOffscreenOptions(32, 18));
  std::vector<std::vector<uint8_t>> frames;
  for (int i = 0; i < 10 && !p->lastFrame.passesRecorded; ++i) runFrame(*p);
  EXPECT_TRUE(p->lastFrame.passesRecorded) << "the music never became ready";
  runFrame(*p);
  jumpToFrame(*p, first);
  for (uint32_t frame = first; frame <= last; ++frame) {
    runFrame(*p);
    EXPECT_EQ(p->lastFrame.simulationFrame, frame);
    frames.push_back(readPresentedFrame(*p));
  }
  shutdownPresentation(*p);
  return frames;
}

TEST(PresentationRepeat, SameRangeTwiceGivesTheSameFrames) {
  std::vector<std::vector<uint8_t>> a = presentRange(kFirstFrame, kLastFrame);
  std::vector<std::vector<uint8_t>> b = presentRange(kFirstFrame, kLastFrame);
  ASSERT_EQ(a.size(), b.size());
  uint32_t differing = 0, lit = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    differing += a[i] != b[i];
    lit += !allBlack(a[i]);
  }
  EXPECT_EQ(differing, 0u) << "of " << a.size() << " frames from " << kFirstFrame;
  EXPECT_GT(lit, 0u) << "the range shows something";
}

}  // namespace
