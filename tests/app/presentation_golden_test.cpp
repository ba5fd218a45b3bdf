// Presented frames against reference images: a wrong binding, format, pass order or
// constant anywhere in the six passes changes the picture. Frames are rendered at
// 128 x 72 with the fixed clock, after a few frames of warm-up so that the temporal
// history holds something. Small differences are tolerated (drivers and CPUs round
// differently); a changed picture is not.
//
// TARNIX_UPDATE_GOLDEN=1 writes the references instead of comparing with them.
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/app/presentation_test_support.h"

namespace {

constexpr uint32_t kWidth = 128, kHeight = 72;

std::string goldenPath(uint32_t frame) {
  return std::string(TARNIX_SOURCE_DIR) + "/tests/app/golden/frame" + std::to_string(frame) + "_" +
         std::to_string(kWidth) + "x" + std::to_string(kHeight) + ".png";
}

bool writePng(const std::string& path, const std::vector<uint8_t>& rgba, uint32_t w, uint32_t h) {
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  image.width = w;
  image.height = h;
  image.format = PNG_FORMAT_RGBA;
  return png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr) != 0;
}

bool readPng(const std::string& path, std::vector<uint8_t>& rgba, uint32_t& w, uint32_t& h) {
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGBA;
  rgba.resize(PNG_IMAGE_SIZE(image));
  w = image.width;
  h = image.height;
  return png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr) != 0;
}

// Renders frame `target` after the eight frames before it.
std::vector<uint8_t> renderFrame(PresentationTest& test, uint32_t target) {
  Presentation& p = test.p;
  jumpToFrame(p, target - 8);
  for (int i = 0; i < 9; ++i) runFrame(p);
  EXPECT_EQ(p.lastFrame.simulationFrame, target);
  return readPresentedFrame(p);
}

struct PresentationGolden : PresentationTest, ::testing::WithParamInterface<uint32_t> {};

TEST_P(PresentationGolden, FrameMatchesItsReference) {
  start(smallOffscreenOptions(kWidth, kHeight));
  runUntilPassesRecorded();
  runFrame(p);
  const uint32_t frame = GetParam();
  std::vector<uint8_t> rendered = renderFrame(*this, frame);

  const std::string path = goldenPath(frame);
  if (getenv("TARNIX_UPDATE_GOLDEN") != nullptr) {
    ASSERT_TRUE(writePng(path, rendered, kWidth, kHeight)) << path;
    GTEST_SKIP() << "wrote " << path;
  }
  std::vector<uint8_t> golden;
  uint32_t w = 0, h = 0;
  ASSERT_TRUE(readPng(path, golden, w, h)) << "missing reference " << path;
  ASSERT_EQ(w, kWidth);
  ASSERT_EQ(h, kHeight);

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
  if (HasFailure()) {
    // The picture as rendered, and where it differs: each channel's difference, amplified
    // eight times, on an opaque image.
    std::string stem = "presentation_frame" + std::to_string(frame);
    std::vector<uint8_t> difference(rendered.size());
    for (size_t i = 0; i < rendered.size(); ++i)
      difference[i] = (i % 4 == 3) ? 255 : uint8_t(std::min(255, 8 * std::abs(int(rendered[i]) - int(golden[i]))));
    writePng(stem + "_actual.png", rendered, kWidth, kHeight);
    writePng(stem + "_difference.png", difference, kWidth, kHeight);
    ADD_FAILURE() << "rendered image and differences written to " << stem << "_actual.png and "
                  << stem << "_difference.png";
  }
}

// The title word at full weight over the first part's scene, a sphere scene of the first
// part with the title scene's depth of field, and the second part's scene.
INSTANTIATE_TEST_SUITE_P(Frames, PresentationGolden, ::testing::Values(1650u, 2000u, 3500u));

}  // namespace
