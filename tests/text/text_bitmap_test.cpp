#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/text_raster.h"
#include "tests/support/fatal.h"
#ifndef _WIN32
#include "tests/support/font_environment.h"
#endif
#include "text/text_bitmap.h"

namespace {

// The request's text drawn white by the rasteriser alone at (margin, margin) on a
// bitmap of its extent plus the margin all round: what the canvas must hold around
// the centred position.
struct Reference {
  TextSize extent;
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> coverage;  // one byte per pixel
};
constexpr int32_t kMargin = 2;

Reference drawReference(const TextBitmapRequest& request) {
  Reference reference;
  TextFontDesc desc;
  desc.height = request.fontHeight;
  desc.weight = 400;
  textSetFaceName(desc, request.faceName);
  TextFont* font = textCreateFont(desc);
  EXPECT_NE(font, nullptr);
  if (font == nullptr) return reference;
  TextContext* context = textCreateContext();
  textSelectFont(context, font);
  EXPECT_TRUE(textGetExtent(context, request.text, request.length, &reference.extent));
  reference.width = uint32_t(reference.extent.cx + 2 * kMargin);
  reference.height = uint32_t(reference.extent.cy + 2 * kMargin);
  void* memory = nullptr;
  TextBitmap* bitmap = textCreateBitmap(reference.width, reference.height, &memory);
  textSelectBitmap(context, bitmap);
  textSetTextColor(context, 0x00FFFFFF);
  EXPECT_TRUE(textOut(context, kMargin, kMargin, request.text, request.length));
  const uint8_t* pixels = static_cast<const uint8_t*>(memory);
  reference.coverage.resize(size_t(reference.width) * reference.height);
  for (size_t i = 0; i < reference.coverage.size(); ++i) reference.coverage[i] = pixels[i * 4];
  textSelectBitmap(context, nullptr);
  textSelectFont(context, nullptr);
  textDeleteBitmap(bitmap);
  textDeleteFont(font);
  textDeleteContext(context);
  return reference;
}

// Every pixel white; alpha the reference coverage inside the window at the centred
// position and 0 everywhere else. Returns the number of pixels that differ.
uint64_t countWrongPixels(const DynamicArray<uint8_t>& pixels, uint32_t width, uint32_t height,
                          const Reference& reference) {
  int64_t left = (int64_t(width) - reference.extent.cx) / 2 - kMargin;
  int64_t top = (int64_t(height) - reference.extent.cy) / 2 - kMargin;
  uint64_t wrong = 0;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t* pixel = &pixels.items[(uint64_t(y) * width + x) * 4];
      int64_t rx = x - left;
      int64_t ry = y - top;
      uint8_t expected = 0;
      if (rx >= 0 && ry >= 0 && rx < reference.width && ry < reference.height)
        expected = reference.coverage[size_t(ry) * reference.width + size_t(rx)];
      wrong += pixel[0] != 255 || pixel[1] != 255 || pixel[2] != 255 || pixel[3] != expected;
    }
  }
  return wrong;
}

uint64_t doublingCapacity(uint64_t count) {
  uint64_t capacity = 16;
  while (capacity <= count) capacity *= 2;
  return capacity;
}

}  // namespace

TEST(TitleText, IsCentredWhiteWithCoverageAlphaOnA4KCanvas) {
  DynamicArray<uint8_t> pixels;
  uint32_t width = 0;
  uint32_t height = 0;
  ASSERT_TRUE(renderTextBitmap(pixels, width, height));
  EXPECT_EQ(width, 3840u);
  EXPECT_EQ(height, 2160u);
  ASSERT_EQ(pixels.count, uint64_t(width) * height * 4);
  EXPECT_EQ(pixels.capacity, doublingCapacity(pixels.count));

  Reference reference = drawReference(TextBitmapRequest{});
  EXPECT_EQ(countWrongPixels(pixels, width, height, reference), 0u);

  // The word is visible, antialiased, and its ink is centred across the canvas.
  uint32_t left = width, right = 0;
  uint64_t partial = 0;
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) {
      uint8_t alpha = pixels[(uint64_t(y) * width + x) * 4 + 3];
      if (alpha != 0) left = std::min(left, x), right = std::max(right, x);
      partial += alpha > 0 && alpha < 255;
    }
  ASSERT_LT(left, right);
  EXPECT_NEAR((left + right) / 2.0, width / 2.0, 3.0);
  EXPECT_GT(right - left, 150u);
  EXPECT_GT(partial, 100u);
  pixels.clear();
}

TEST(TitleText, CanvasGrowsToTheExtentPlusMarginAndCentringTruncates) {
  std::u16string longLine;
  for (int i = 0; i < 20; ++i) longLine += u"TORVE";
  struct Case {
    const char* name;
    TextBitmapRequest request;
    bool wider, taller;
  } cases[] = {
      {"long line", {u"Corbel Light", -80, longLine.c_str(), uint32_t(longLine.size())}, true, false},
      {"tall letter", {u"Corbel Light", -2200, u"I", 1}, false, true},  // any face: a cell is at least its em
      {"huge word", {u"Corbel Light", -2000, u"TORVE", 5}, true, true},
      // Extents of both parities in both directions: the leftover halves round down.
      {"E at 79", {u"Corbel Light", -79, u"E", 1}, false, false},
      {"E at 82", {u"Corbel Light", -82, u"E", 1}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Reference reference = drawReference(c.request);
    DynamicArray<uint8_t> pixels;
    uint32_t width = 0, height = 0;
    ASSERT_TRUE(renderTextBitmap(c.request, pixels, width, height));
    EXPECT_EQ(width, c.wider ? uint32_t(reference.extent.cx + 4) : 3840u);
    EXPECT_EQ(height, c.taller ? uint32_t(reference.extent.cy + 4) : 2160u);
    ASSERT_EQ(pixels.count, uint64_t(width) * height * 4);
    EXPECT_EQ(countWrongPixels(pixels, width, height, reference), 0u);
    pixels.clear();
  }
}

// GDI always substitutes a face for a missing one, so only fontconfig can have none.
#ifndef _WIN32
TEST(TitleText, MissingFaceGivesFalseAndTheTextureFallsBackToATransparentPixel) {
  DynamicArray<uint8_t> pixels;
  uint32_t width = 0, height = 0;
  bool rendered;
  {
    NoFontsConfiguration noFonts;
    testing::internal::CaptureStdout();
    rendered = renderTextBitmap(pixels, width, height);
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_NE(output.find("\"Corbel Light\""), std::string::npos) << output;
  }
  EXPECT_FALSE(rendered);
  EXPECT_EQ(pixels.items, nullptr);
  TextTextureImage image = textTextureImage(rendered, pixels, width, height);
  ASSERT_EQ(image.width * image.height, 1u);
  const uint8_t transparentWhite[4] = {255, 255, 255, 0};
  EXPECT_EQ(memcmp(image.pixels, transparentWhite, 4), 0);

  // Once drawn, the texture takes the bitmap itself, and only whole images.
  TextBitmapRequest small{u"DejaVu Sans", -10, u"x", 1};
  ASSERT_TRUE(renderTextBitmap(small, pixels, width, height));
  image = textTextureImage(true, pixels, width, height);
  EXPECT_EQ(image.pixels, pixels.items);
  EXPECT_EQ(image.width, width);
  EXPECT_EQ(image.height, height);
  EXPECT_FATAL(textTextureImage(true, pixels, width, height + 1), "ASSERT: The text image holds");
  EXPECT_FATAL(renderTextBitmap(small, pixels, width, height), "ASSERT: The text pixel array must start empty");
  pixels.clear();
}
#endif
