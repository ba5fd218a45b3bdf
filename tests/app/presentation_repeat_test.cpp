// Presented frames that must not differ by a byte: two runs of the same range (the promise
// the capture tool makes; it drives this library offscreen with the fixed clock), and the
// scene pass walking the spheres' hierarchy or testing every sphere.
#include "tests/app/presentation_test_support.h"

namespace {

constexpr uint32_t kFirstFrame = 3252, kLastFrame = 3280;

struct Range {
  uint32_t first, last;
};

// Each range starts where the clock is set to its first frame; the second scene's set-up
// (frames 3254 and 3255) is run before any range past it, so that its spheres are in place.
std::vector<std::vector<uint8_t>> presentRanges(std::initializer_list<Range> ranges, bool bruteForce = false,
                                                uint32_t width = 32, uint32_t height = 18) {
  ValidationScope validation;
  auto p = std::make_unique<Presentation>();
  PresentationOptions options = smallOffscreenOptions(width, height);
  options.bruteForceScene = bruteForce;
  startPresentation(*p, options);
  std::vector<std::vector<uint8_t>> frames;
  for (int i = 0; i < 10 && !p->lastFrame.passesRecorded; ++i) runFrame(*p);
  EXPECT_TRUE(p->lastFrame.passesRecorded) << "the music never became ready";
  runFrame(*p);
  for (const Range& range : ranges) {
    if (range.first > 3256) {
      jumpToFrame(*p, 3253);
      for (int i = 0; i < 3; ++i) runFrame(*p);
    }
    jumpToFrame(*p, range.first);
    for (uint32_t frame = range.first; frame <= range.last; ++frame) {
      runFrame(*p);
      EXPECT_EQ(p->lastFrame.simulationFrame, frame);
      frames.push_back(readPresentedFrame(*p));
    }
  }
  shutdownPresentation(*p);
  return frames;
}

std::vector<std::vector<uint8_t>> presentRange(uint32_t first, uint32_t last) {
  return presentRanges({{first, last}});
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

// A few frames of warm-up (the temporal history) before each frame compared.
TEST(PresentationRepeat, HierarchyAndBruteForceScenePresentTheSameFrames) {
  const std::initializer_list<Range> ranges = {{1646, 1650}, {1996, 2000}, {3296, 3300}, {4496, 4500}, {6196, 6200}};
  std::vector<std::vector<uint8_t>> fast = presentRanges(ranges, false, 64, 36);
  std::vector<std::vector<uint8_t>> reference = presentRanges(ranges, true, 64, 36);
  ASSERT_EQ(fast.size(), reference.size());
  for (size_t i = 0; i < fast.size(); ++i) EXPECT_TRUE(fast[i] == reference[i]) << "frame " << i;
  uint32_t lit = 0;
  for (size_t i = 4; i < fast.size(); i += 5) lit += !allBlack(fast[i]);
  EXPECT_GE(lit, 4u) << "the compared frames show something";
}

}  // namespace
