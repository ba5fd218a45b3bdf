#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/freetype/font_match.h"
#include "platform/freetype/utf16.h"
#include "platform/text_raster.h"
#include "tests/text/font_environment.h"

namespace {

TextFont* createFont(const char16_t* face, int32_t height, bool antialiased = true) {
  TextFontDesc desc;
  desc.height = height;
  desc.weight = 400;
  desc.antialiased = antialiased;
  textSetFaceName(desc, face);
  return textCreateFont(desc);
}

TextSize extentOf(TextFont* font, const char16_t* text) {
  TextContext* context = textCreateContext();
  textSelectFont(context, font);
  TextSize size;
  EXPECT_TRUE(textGetExtent(context, text, uint32_t(std::char_traits<char16_t>::length(text)), &size));
  textSelectFont(context, nullptr);
  textDeleteContext(context);
  return size;
}

// A selected font and bitmap on a context, released in order.
struct Canvas {
  TextContext* context = nullptr;
  TextFont* font = nullptr;
  TextBitmap* bitmap = nullptr;
  uint8_t* pixels = nullptr;
  uint32_t width = 0;
  uint32_t height = 0;

  Canvas(TextFont* withFont, uint32_t w, uint32_t h) : font(withFont), width(w), height(h) {
    context = textCreateContext();
    void* memory = nullptr;
    bitmap = textCreateBitmap(w, h, &memory);
    pixels = static_cast<uint8_t*>(memory);
    textSelectFont(context, font);
    textSelectBitmap(context, bitmap);
  }
  ~Canvas() {
    textSelectFont(context, nullptr);
    textSelectBitmap(context, nullptr);
    textDeleteBitmap(bitmap);
    textDeleteFont(font);
    textDeleteContext(context);
  }
  const uint8_t* at(uint32_t x, uint32_t y) const { return pixels + (uint64_t(y) * width + x) * 4; }
  uint64_t litPixels() const {
    uint64_t lit = 0;
    for (uint64_t i = 0; i < uint64_t(width) * height; ++i) lit += pixels[i * 4] != 0 || pixels[i * 4 + 1] != 0 || pixels[i * 4 + 2] != 0;
    return lit;
  }
};

}  // namespace

TEST(TextFaceLookup, MissingLightFaceFallsBackToALightSans) {
  TextFont* font = createFont(u"Corbel Light", -80);
  ASSERT_NE(font, nullptr);
  std::string description = textFontDescription(font);
  // scripts/setup installs the light sans every machine resolves to.
  EXPECT_NE(description.find("Open Sans Light"), std::string::npos) << description;
  EXPECT_TRUE(textDeleteFont(font));

  FontFileMatch exact;
  ASSERT_TRUE(matchFontFile("DejaVu Sans", 400, false, &exact));
  EXPECT_FALSE(exact.substitute);
  EXPECT_NE(std::string(exact.description).find("DejaVu Sans"), std::string::npos);
}

TEST(TextFaceLookup, SplitsATrailingWeightWord) {
  char base[64];
  EXPECT_EQ(splitWeightWord("Corbel Light", base, sizeof(base)), 300);
  EXPECT_STREQ(base, "Corbel");
  EXPECT_EQ(splitWeightWord("Some Face  bold ", base, sizeof(base)), 700);
  EXPECT_STREQ(base, "Some Face");
  EXPECT_EQ(splitWeightWord("DejaVu Sans", base, sizeof(base)), 0);
  EXPECT_STREQ(base, "DejaVu Sans");
  EXPECT_EQ(splitWeightWord("Light", base, sizeof(base)), 0);  // a name, not a weight
  EXPECT_STREQ(base, "Light");
}

TEST(TextFaceLookup, NoFontsOnTheSystemFailsWithAMessage) {
  NoFontsConfiguration noFonts;
  testing::internal::CaptureStdout();
  TextFont* font = createFont(u"Corbel Light", -80);
  std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(font, nullptr);
  EXPECT_NE(output.find("no font file found for the face \"Corbel Light\""), std::string::npos) << output;
}

TEST(TextFont, RefusesOutOfRangeDescriptions) {
  testing::internal::CaptureStdout();
  EXPECT_EQ(createFont(u"DejaVu Sans", 0), nullptr);
  EXPECT_EQ(createFont(u"DejaVu Sans", -(kTextMaxFontHeight + 1)), nullptr);
  TextFontDesc heavy;
  heavy.height = -20;
  heavy.weight = 1001;
  textSetFaceName(heavy, u"DejaVu Sans");
  EXPECT_EQ(textCreateFont(heavy), nullptr);
  std::string output = testing::internal::GetCapturedStdout();
  EXPECT_NE(output.find("font height 0"), std::string::npos) << output;
  EXPECT_NE(output.find("font weight 1001"), std::string::npos) << output;
}

TEST(TextFont, FaceNameIsTruncatedToItsField) {
  TextFontDesc desc;
  std::u16string longName(40, u'x');
  textSetFaceName(desc, longName.c_str());
  EXPECT_EQ(std::u16string(desc.faceName), std::u16string(kTextFaceNameLength - 1, u'x'));
  textSetFaceName(desc, u"Ab");
  EXPECT_EQ(std::u16string(desc.faceName), u"Ab");
  EXPECT_EQ(desc.faceName[kTextFaceNameLength - 1], 0);
}

TEST(TextExtent, IsTheSumOfAdvancesByTheCellHeight) {
  TextFont* font = createFont(u"Corbel Light", -80);
  ASSERT_NE(font, nullptr);
  TextSize t = extentOf(font, u"T");
  TextSize o = extentOf(font, u"O");
  TextSize to = extentOf(font, u"TO");
  TextSize none = extentOf(font, u"");
  // No kerning pulls the pair together, and the height does not depend on the text.
  EXPECT_EQ(to.cx, t.cx + o.cx);
  EXPECT_EQ(to.cy, t.cy);
  EXPECT_EQ(none.cx, 0);
  EXPECT_EQ(none.cy, t.cy);
  // A character height of 80 leaves room for accents and descenders in the cell.
  EXPECT_GT(t.cy, 80);
  EXPECT_LT(t.cy, 160);
  textDeleteFont(font);

  // A positive height is the cell height itself.
  TextFont* cell = createFont(u"DejaVu Sans", 100);
  ASSERT_NE(cell, nullptr);
  EXPECT_NEAR(extentOf(cell, u"TORVE").cy, 100, 1);
  textDeleteFont(cell);
}

TEST(TextExtent, NeedsASelectedFont) {
  TextContext* context = textCreateContext();
  TextSize size;
  EXPECT_FALSE(textGetExtent(context, u"A", 1, &size));
  EXPECT_FALSE(textOut(context, 0, 0, u"A", 1));
  textDeleteContext(context);
}

TEST(TextDraw, BlendsTheColourIntoBlueGreenRedAndKeepsTheFourthByte) {
  Canvas canvas(createFont(u"DejaVu Sans", -40), 200, 80);
  ASSERT_NE(canvas.bitmap, nullptr);
  for (uint64_t i = 0; i < uint64_t(canvas.width) * canvas.height; ++i) canvas.pixels[i * 4 + 3] = 0x7F;
  textSetTextColor(canvas.context, 0x000000FF);  // red
  ASSERT_TRUE(textOut(canvas.context, 10, 10, u"Hg", 2));
  bool partial = false;
  uint64_t red = 0;
  for (uint32_t y = 0; y < canvas.height; ++y) {
    for (uint32_t x = 0; x < canvas.width; ++x) {
      const uint8_t* pixel = canvas.at(x, y);
      ASSERT_EQ(pixel[0], 0);  // blue
      ASSERT_EQ(pixel[1], 0);  // green
      ASSERT_EQ(pixel[3], 0x7F);
      red += pixel[2] != 0;
      partial |= pixel[2] > 0 && pixel[2] < 255;
    }
  }
  EXPECT_GT(red, 100u);
  EXPECT_TRUE(partial) << "antialiased text has edge pixels of partial coverage";
}

TEST(TextDraw, CellTopLeftIsTheDrawingPosition) {
  Canvas canvas(createFont(u"DejaVu Sans", -40), 200, 120);
  textSetTextColor(canvas.context, 0x00FFFFFF);
  TextSize size = extentOf(canvas.font, u"H");
  ASSERT_TRUE(textOut(canvas.context, 30, 20, u"H", 1));
  uint32_t top = canvas.height, bottom = 0, left = canvas.width, right = 0;
  for (uint32_t y = 0; y < canvas.height; ++y)
    for (uint32_t x = 0; x < canvas.width; ++x)
      if (canvas.at(x, y)[0] != 0) {
        top = std::min(top, y), bottom = std::max(bottom, y);
        left = std::min(left, x), right = std::max(right, x);
      }
  // The capital stands on the baseline inside the cell; nothing lies above its top.
  EXPECT_GT(top, 20u);
  EXPECT_LT(bottom, uint32_t(20 + size.cy));
  EXPECT_GE(left, 30u);
  EXPECT_LE(right, uint32_t(30 + size.cx));
}

TEST(TextDraw, ClipsToTheBitmap) {
  Canvas canvas(createFont(u"DejaVu Sans", -60), 40, 30);
  textSetTextColor(canvas.context, 0x00FFFFFF);
  // Partly outside on every side: drawn pixels stay inside (the sanitizer build watches).
  ASSERT_TRUE(textOut(canvas.context, -25, -30, u"WWW", 3));
  EXPECT_GT(canvas.litPixels(), 0u);
  memset(canvas.pixels, 0, size_t(canvas.width) * canvas.height * 4);
  ASSERT_TRUE(textOut(canvas.context, 5000, -5000, u"W", 1));
  ASSERT_TRUE(textOut(canvas.context, -2147483000, 2147483000, u"W", 1));
  EXPECT_EQ(canvas.litPixels(), 0u);
}

TEST(TextDraw, WithoutAntialiasingCoverageIsAllOrNothing) {
  Canvas canvas(createFont(u"DejaVu Sans", -40, false), 200, 80);
  textSetTextColor(canvas.context, 0x00FFFFFF);
  ASSERT_TRUE(textOut(canvas.context, 5, 5, u"Oa", 2));
  for (uint64_t i = 0; i < uint64_t(canvas.width) * canvas.height * 4; i += 4)
    ASSERT_TRUE(canvas.pixels[i] == 0 || canvas.pixels[i] == 255) << i;
  EXPECT_GT(canvas.litPixels(), 0u);
}

TEST(TextObjects, SelectedObjectsAreNotDeletedAndBitmapsAreBounded) {
  TextFont* font = createFont(u"DejaVu Sans", -20);
  ASSERT_NE(font, nullptr);
  void* pixels = nullptr;
  TextBitmap* bitmap = textCreateBitmap(8, 8, &pixels);
  ASSERT_NE(bitmap, nullptr);
  ASSERT_NE(pixels, nullptr);
  TextContext* context = textCreateContext();
  EXPECT_EQ(textSelectFont(context, font), nullptr);
  EXPECT_EQ(textSelectBitmap(context, bitmap), nullptr);
  EXPECT_FALSE(textDeleteFont(font));
  EXPECT_FALSE(textDeleteBitmap(bitmap));
  EXPECT_EQ(textSelectFont(context, nullptr), font);
  EXPECT_EQ(textSelectBitmap(context, nullptr), bitmap);
  EXPECT_TRUE(textDeleteFont(font));
  EXPECT_TRUE(textDeleteBitmap(bitmap));
  textDeleteContext(context);

  EXPECT_EQ(textCreateBitmap(0, 8, &pixels), nullptr);
  EXPECT_EQ(pixels, nullptr);
  EXPECT_EQ(textCreateBitmap(8, kTextMaxBitmapSide + 1, &pixels), nullptr);
}

TEST(Utf16, DecodesSurrogatePairsAndKeepsUnpairedUnits) {
  const char16_t text[] = {u'A', 0xD83D, 0xDE00, 0xDC00, 0xD800};
  uint32_t position = 0;
  EXPECT_EQ(nextCodePoint(text, 5, &position), 0x41u);
  EXPECT_EQ(nextCodePoint(text, 5, &position), 0x1F600u);
  EXPECT_EQ(position, 3u);
  EXPECT_EQ(nextCodePoint(text, 5, &position), 0xDC00u);
  EXPECT_EQ(nextCodePoint(text, 5, &position), 0xD800u);  // high surrogate at the end
  EXPECT_EQ(position, 5u);

  char utf8[16];
  const char16_t name[] = {u'\u00E9', 0xD83D, 0xDE00, 0};
  ASSERT_TRUE(utf16ToUtf8(name, 4, utf8, sizeof(utf8)));
  EXPECT_STREQ(utf8, "\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_FALSE(utf16ToUtf8(name, 4, utf8, 6));  // no room for the terminating zero
}
