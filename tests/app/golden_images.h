#pragma once
// The presentation's golden images (tests/app/golden/): how a frame of them is rendered, where
// they lie, reading and writing them, and how far a picture is from one.
#include <png.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/app/presentation_test_support.h"

struct GoldenFrame {
  uint32_t frame, width, height;
  uint32_t warmUp;     // frames rendered before it (from frame - warmUp on)
  double psnrFloorDb;  // on drivers other than lavapipe, which drew it
};

inline std::string goldenPath(const GoldenFrame& g) {
  return std::string(TARNIX_SOURCE_DIR) + "/tests/app/golden/frame" + std::to_string(g.frame) + "_" +
         std::to_string(g.width) + "x" + std::to_string(g.height) + ".png";
}

// Renders g.frame after the g.warmUp frames before it, in a presentation started at g's size.
inline std::vector<uint8_t> renderGoldenFrame(Presentation& p, const GoldenFrame& g) {
  jumpToFrame(p, g.frame - g.warmUp);
  for (uint32_t i = 0; i <= g.warmUp; ++i) runFrame(p);
  EXPECT_EQ(p.lastFrame.simulationFrame, g.frame);
  return readPresentedFrame(p);
}

inline bool writePng(const std::string& path, const std::vector<uint8_t>& rgba, uint32_t w, uint32_t h) {
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  image.width = w;
  image.height = h;
  image.format = PNG_FORMAT_RGBA;
  return png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr) != 0;
}

inline bool readPng(const std::string& path, std::vector<uint8_t>& rgba, uint32_t& w, uint32_t& h) {
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGBA;
  rgba.resize(PNG_IMAGE_SIZE(image));
  w = image.width;
  h = image.height;
  return png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr) != 0;
}

// Peak signal-to-noise ratio of the colour channels in dB (infinite for equal pictures).
inline double psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  double squares = 0;
  size_t count = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    if (i % 4 == 3) continue;
    const double d = double(a[i]) - double(b[i]);
    squares += d * d;
    ++count;
  }
  if (squares == 0 || count == 0) return INFINITY;
  return 10.0 * std::log10(255.0 * 255.0 / (squares / double(count)));
}
