#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/freetype/font_match.h"
#include "platform/freetype/utf16.h"
#include "platform/text_raster.h"
#include "tests/support/font_environment.h"

namespace {

TextFont* createFont(const char16_t* face, int32_t height, bool antialiased = true) {
  TextFontDesc desc;
  desc.height = height;
  desc.weight = 400;
  desc.antialiased = antialiased;
  textSetFaceName(desc, face);
  return textCreateFont(desc);
}

// A context with a font and a bitmap selected; released in order.
struct Canvas {
  TextContext* context = textCreateContext();
  TextFont* font;
  TextBitmap* bitmap = nullptr;
  uint8_t* pixels = nullptr;
  uint32_t width, height;

  Canvas(TextFont* withFont, uint32_t w, uint32_t h) : font(withFont), width(w), height(h) {
    void* memory = nullptr;
    bitmap = textCreateBitmap(w, h, &memory);
    pixels = static_cast<uint8_t*>(memory);
    textSelectFont(context, font);
    textSelectBitmap(context, bitmap);
    textSetTextColor(context, 0x00FFFFFF);
  }
  ~Canvas() {
    textSelectFont(context, nullptr);
    textSelectBitmap(context, nullptr);
    textDeleteBitmap(bitmap);
    textDeleteFont(font);
    textDeleteContext(context);
  }
  TextSize extent(const char16_t* text) {
    TextSize size;
    EXPECT_TRUE(textGetExtent(context, text, uint32_t(std::char_traits<char16_t>::length(text)), &size));
    return size;
  }
  uint64_t litPixels() const {
    uint64_t lit = 0;
    for (uint64_t i = 0; i < uint64_t(width) * height; ++i) lit += (pixels[i * 4] | pixels[i * 4 + 1] | pixels[i * 4 + 2]) != 0;
    return lit;
  }
};

}  // namespace

TEST(TextFaceLookup, FindsFacesAndFallsBackToALightSans) {
  TextFont* font = createFont(u"Corbel Light", -80);
  ASSERT_NE(font, nullptr);
  // scripts/setup installs the light sans every machine resolves to.
  EXPECT_NE(std::string(textFontDescription(font)).find("Open Sans Light"), std::string::npos)
      << textFontDescription(font);
  EXPECT_TRUE(textDeleteFont(font));

  FontFileMatch exact;
  ASSERT_TRUE(matchFontFile("dejavu  sans", 400, false, &exact));  // case and blanks are free
  EXPECT_FALSE(exact.substitute);

  char base[64];
  EXPECT_EQ(splitWeightWord("Some Face  bold ", base, sizeof(base)), 700);
  EXPECT_STREQ(base, "Some Face");
  EXPECT_EQ(splitWeightWord("Light", base, sizeof(base)), 0);  // a name, not a weight
}

TEST(TextFaceLookup, BadRequestsAndAFontlessSystemFailWithAMessage) {
  testing::internal::CaptureStdout();
  EXPECT_EQ(createFont(u"DejaVu Sans", 0), nullptr);
  EXPECT_EQ(createFont(u"DejaVu Sans", -(kTextMaxFontHeight + 1)), nullptr);
  {
    NoFontsConfiguration noFonts;
    EXPECT_EQ(createFont(u"Corbel Light", -80), nullptr);
  }
  std::string output = testing::internal::GetCapturedStdout();
  EXPECT_NE(output.find("font height 0"), std::string::npos) << output;
  EXPECT_NE(output.find("no font file found for the face \"Corbel Light\""), std::string::npos) << output;

  TextFontDesc desc;
  textSetFaceName(desc, std::u16string(40, u'x').c_str());
  EXPECT_EQ(std::u16string(desc.faceName), std::u16string(kTextFaceNameLength - 1, u'x'));
}

TEST(TextExtent, IsTheSumOfAdvancesByTheCellHeight) {
  Canvas canvas(createFont(u"Corbel Light", -80), 1, 1);
  TextSize t = canvas.extent(u"T"), o = canvas.extent(u"O"), to = canvas.extent(u"TO");
  // No kerning pulls the pair together, and the height does not depend on the text.
  EXPECT_EQ(to.cx, t.cx + o.cx);
  EXPECT_EQ(to.cy, t.cy);
  EXPECT_EQ(canvas.extent(u"").cx, 0);
  // A character height of 80 leaves room for accents and descenders in the cell.
  EXPECT_GT(t.cy, 80);
  EXPECT_LT(t.cy, 160);

  // A positive height is the cell height itself.
  Canvas cell(createFont(u"DejaVu Sans", 100), 1, 1);
  EXPECT_NEAR(cell.extent(u"TORVE").cy, 100, 1);
}

TEST(TextDraw, BlendsTheColourByCoverageAndKeepsTheFourthByte) {
  Canvas canvas(createFont(u"DejaVu Sans", -40), 200, 80);
  for (uint64_t i = 0; i < uint64_t(canvas.width) * canvas.height; ++i) canvas.pixels[i * 4 + 3] = 0x7F;
  textSetTextColor(canvas.context, 0x000000FF);  // red
  ASSERT_TRUE(textOut(canvas.context, 10, 10, u"Hg", 2));
  uint64_t wrong = 0, partial = 0;
  for (uint64_t i = 0; i < uint64_t(canvas.width) * canvas.height * 4; i += 4) {
    wrong += canvas.pixels[i] != 0 || canvas.pixels[i + 1] != 0 || canvas.pixels[i + 3] != 0x7F;
    partial += canvas.pixels[i + 2] > 0 && canvas.pixels[i + 2] < 255;
  }
  EXPECT_EQ(wrong, 0u);
  EXPECT_GT(canvas.litPixels(), 100u);
  EXPECT_GT(partial, 0u) << "antialiased edges have partial coverage";

  Canvas mono(createFont(u"DejaVu Sans", -40, false), 200, 80);
  ASSERT_TRUE(textOut(mono.context, 5, 5, u"Oa", 2));
  for (uint64_t i = 0; i < uint64_t(mono.width) * mono.height * 4; i += 4)
    ASSERT_TRUE(mono.pixels[i] == 0 || mono.pixels[i] == 255) << i;
}

TEST(TextDraw, TheDrawingPositionIsTheCellTopLeft) {
  Canvas canvas(createFont(u"DejaVu Sans", -40), 200, 120);
  TextSize size = canvas.extent(u"H");
  ASSERT_TRUE(textOut(canvas.context, 30, 20, u"H", 1));
  uint32_t top = canvas.height, bottom = 0, left = canvas.width, right = 0;
  for (uint32_t y = 0; y < canvas.height; ++y)
    for (uint32_t x = 0; x < canvas.width; ++x)
      if (canvas.pixels[(uint64_t(y) * canvas.width + x) * 4] != 0) {
        top = std::min(top, y), bottom = std::max(bottom, y);
        left = std::min(left, x), right = std::max(right, x);
      }
  // The capital stands on the baseline inside its cell, below the cell's top.
  EXPECT_GT(top, 20u);
  EXPECT_LT(bottom, uint32_t(20 + size.cy));
  EXPECT_GE(left, 30u);
  EXPECT_LE(right, uint32_t(30 + size.cx));
}

TEST(TextDraw, ClipsToTheBitmap) {
  Canvas canvas(createFont(u"DejaVu Sans", -60), 40, 30);
  // Partly outside on every side: drawn pixels stay inside (the sanitizer build watches).
  ASSERT_TRUE(textOut(canvas.context, -25, -30, u"WWW", 3));
  EXPECT_GT(canvas.litPixels(), 0u);
  memset(canvas.pixels, 0, size_t(canvas.width) * canvas.height * 4);
  ASSERT_TRUE(textOut(canvas.context, -2147483000, 2147483000, u"W", 1));
  EXPECT_EQ(canvas.litPixels(), 0u);
}

TEST(TextObjects, SelectionGuardsDeletionAndDrawingNeedsBoth) {
  TextFont* font = createFont(u"DejaVu Sans", -20);
  void* pixels = nullptr;
  TextBitmap* bitmap = textCreateBitmap(8, 8, &pixels);
  ASSERT_NE(bitmap, nullptr);
  TextContext* context = textCreateContext();
  TextSize size;
  EXPECT_FALSE(textGetExtent(context, u"A", 1, &size));
  EXPECT_EQ(textSelectFont(context, font), nullptr);
  EXPECT_FALSE(textOut(context, 0, 0, u"A", 1));  // no bitmap yet
  EXPECT_EQ(textSelectBitmap(context, bitmap), nullptr);
  EXPECT_FALSE(textDeleteFont(font));
  EXPECT_FALSE(textDeleteBitmap(bitmap));
  EXPECT_EQ(textSelectFont(context, nullptr), font);
  EXPECT_TRUE(textDeleteFont(font));
  textDeleteContext(context);  // still holding the bitmap, which it lets go
  EXPECT_TRUE(textDeleteBitmap(bitmap));

  EXPECT_EQ(textCreateBitmap(0, 8, &pixels), nullptr);
  EXPECT_EQ(pixels, nullptr);
  EXPECT_EQ(textCreateBitmap(8, kTextMaxBitmapSide + 1, &pixels), nullptr);
}

TEST(Utf16, DecodesSurrogatePairsAndKeepsUnpairedUnits) {
  const char16_t text[] = {u'A', 0xD83D, 0xDE00, 0xDC00, 0xD800};
  uint32_t position = 0;
  EXPECT_EQ(nextCodePoint(text, 5, &position), 0x41u);
  EXPECT_EQ(nextCodePoint(text, 5, &position), 0x1F600u);
  EXPECT_EQ(nextCodePoint(text, 5, &position), 0xDC00u);
  EXPECT_EQ(nextCodePoint(text, 5, &position), 0xD800u);  // a high surrogate at the end
  EXPECT_EQ(position, 5u);

  char utf8[16];
  const char16_t name[] = {u'\u00E9', 0xD83D, 0xDE00, 0};
  ASSERT_TRUE(utf16ToUtf8(name, 4, utf8, sizeof(utf8)));
  EXPECT_STREQ(utf8, "\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_FALSE(utf16ToUtf8(name, 4, utf8, 6));  // no room for the terminating zero
}
