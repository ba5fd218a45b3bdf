// Presented frames against reference images: a wrong binding, format, pass order or
// constant anywhere in the six passes changes the picture. Frames are rendered at
// 128 x 72 or 64 x 36 with the fixed clock, after frames of warm-up so that the temporal
// history holds something. On lavapipe, which drew them, small differences are tolerated
// (CPUs round differently); on another driver, whose compiler rounds the path tracer's
// arithmetic its own way, a floor on the PSNR. A changed picture fails either.
//
// TARNIX_UPDATE_GOLDEN=1 writes the references instead of comparing with them.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/app/golden_images.h"

namespace {

struct PresentationGolden : PresentationTest, ::testing::WithParamInterface<GoldenFrame> {};

TEST_P(PresentationGolden, FrameMatchesItsReference) {
  const GoldenFrame g = GetParam();
  const uint32_t width = g.width, height = g.height, frame = g.frame;
  start(smallOffscreenOptions(width, height));
  runUntilPassesRecorded();
  runFrame(p);
  std::vector<uint8_t> rendered = renderGoldenFrame(p, g);

  const std::string path = goldenPath(g);
  if (getenv("TARNIX_UPDATE_GOLDEN") != nullptr) {
    ASSERT_TRUE(writePng(path, rendered, width, height)) << path;
    GTEST_SKIP() << "wrote " << path;
  }
  std::vector<uint8_t> golden;
  uint32_t w = 0, h = 0;
  ASSERT_TRUE(readPng(path, golden, w, h)) << "missing reference " << path;
  ASSERT_EQ(w, width);
  ASSERT_EQ(h, height);

  if (deviceIsLavapipe()) {
    double sum = 0;
    size_t far = 0;
    for (size_t i = 0; i < rendered.size(); ++i) {
      int d = std::abs(int(rendered[i]) - int(golden[i]));
      sum += d;
      if (d > 24) ++far;
    }
    double mean = sum / double(rendered.size());
    EXPECT_LE(mean, 2.0) << "mean difference per channel";
    EXPECT_LE(far, rendered.size() / 100) << "channels more than 24 apart";
  } else {
    EXPECT_GE(psnr(rendered, golden), g.psnrFloorDb) << "dB from the reference";
  }
  if (HasFailure()) {
    // The picture as rendered, and where it differs: each channel's difference, amplified
    // eight times, on an opaque image.
    std::string stem = "presentation_frame" + std::to_string(frame);
    std::vector<uint8_t> difference(rendered.size());
    for (size_t i = 0; i < rendered.size(); ++i)
      difference[i] = (i % 4 == 3) ? 255 : uint8_t(std::min(255, 8 * std::abs(int(rendered[i]) - int(golden[i]))));
    writePng(stem + "_actual.png", rendered, width, height);
    writePng(stem + "_difference.png", difference, width, height);
    ADD_FAILURE() << "rendered image and differences written to " << stem << "_actual.png and "
                  << stem << "_difference.png";
  }
}

// The title word at full weight over the first part's scene, a sphere scene of the first part with
// the title scene's depth of field, the second part's camera and light; and the second part's
// spheres 45 frames after their set-up, as the second scene begins (from before its clear).
INSTANTIATE_TEST_SUITE_P(Frames, PresentationGolden,
                         ::testing::Values(GoldenFrame{1650, 128, 72, 8, 45}, GoldenFrame{2000, 128, 72, 8, 45},
                                           GoldenFrame{3500, 128, 72, 8, 45}, GoldenFrame{3300, 64, 36, 50, 50}));

}  // namespace
