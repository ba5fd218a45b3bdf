// The text rasteriser on FreeType (glyphs) and fontconfig (finding the face).
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/freetype/font_match.h"
#include "platform/freetype/utf16.h"
#include "platform/text_raster.h"

struct TextFont {
  FT_Library library = nullptr;  // one per font: fonts share no state
  FT_Face face = nullptr;
  FT_Int32 loadFlags = 0;
  FT_Render_Mode renderMode = FT_RENDER_MODE_NORMAL;
  int32_t ascent = 0;   // pixels above the baseline
  int32_t descent = 0;  // pixels below it
  uint32_t selections = 0;
  char description[sizeof(FontFileMatch::description)] = {};
};

struct TextBitmap {
  uint8_t* pixels = nullptr;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t selections = 0;
};

struct TextContext {
  TextFont* font = nullptr;
  TextBitmap* bitmap = nullptr;
  uint32_t color = 0;
};

namespace {

// The Windows ascent and descent in font units: the OS/2 table's, as the Windows text
// metrics use them; faces without one fall back to the horizontal header.
void windowsAscentDescent(FT_Face face, int64_t* ascent, int64_t* descent) {
  auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  if (os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
    *ascent = os2->usWinAscent;
    *descent = os2->usWinDescent;
  } else {
    *ascent = face->ascender;
    *descent = -int64_t(face->descender);
  }
}

int64_t roundedScale(int64_t units, int64_t pixelsPerEm, int64_t unitsPerEm) {
  return (units * pixelsPerEm + unitsPerEm / 2) / unitsPerEm;
}

// Sizes the face so that height (GDI sign rules) holds; fills the cell metrics.
bool sizeFace(TextFont* font, int32_t height) {
  FT_Face face = font->face;
  int64_t unitsPerEm = face->units_per_EM;
  if (unitsPerEm <= 0) return false;
  int64_t ascentUnits = 0;
  int64_t descentUnits = 0;
  windowsAscentDescent(face, &ascentUnits, &descentUnits);
  int64_t pixelsPerEm = -int64_t(height);
  if (height > 0) {
    if (ascentUnits + descentUnits <= 0) return false;
    pixelsPerEm = (int64_t(height) * unitsPerEm + (ascentUnits + descentUnits) / 2) /
                  (ascentUnits + descentUnits);
    if (pixelsPerEm < 1) pixelsPerEm = 1;
  }
  if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixelsPerEm)) != 0) return false;
  font->ascent = int32_t(roundedScale(ascentUnits, pixelsPerEm, unitsPerEm));
  font->descent = int32_t(roundedScale(descentUnits, pixelsPerEm, unitsPerEm));
  return true;
}

// Loads the glyph for a code point with the font's hinting; its advance is whole pixels.
bool loadGlyph(TextFont* font, uint32_t codePoint, int32_t* advance) {
  FT_UInt glyph = FT_Get_Char_Index(font->face, codePoint);
  if (FT_Load_Glyph(font->face, glyph, font->loadFlags) != 0) return false;
  *advance = int32_t((font->face->glyph->advance.x + 32) >> 6);
  return true;
}

void blendCoverage(uint8_t* pixel, uint32_t color, uint32_t coverage) {
  const uint32_t channels[3] = {(color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF};
  for (int c = 0; c < 3; ++c) {
    int32_t destination = pixel[c];
    int32_t blended = destination + ((int32_t(channels[c]) - destination) * int32_t(coverage)) / 255;
    pixel[c] = uint8_t(blended);
  }
}

// Blends the rendered glyph bitmap into the target with its top left at (left, top).
void blitGlyph(const FT_Bitmap& glyph, TextBitmap* target, int64_t left, int64_t top, uint32_t color) {
  if (glyph.buffer == nullptr) return;
  const uint8_t* firstRow = glyph.buffer;
  if (glyph.pitch < 0) firstRow -= int64_t(glyph.pitch) * (int64_t(glyph.rows) - 1);
  for (uint32_t row = 0; row < glyph.rows; ++row) {
    int64_t y = top + row;
    if (y < 0 || y >= int64_t(target->height)) continue;
    const uint8_t* source = firstRow + int64_t(row) * glyph.pitch;
    uint8_t* destinationRow = target->pixels + uint64_t(y) * target->width * 4;
    for (uint32_t column = 0; column < glyph.width; ++column) {
      int64_t x = left + column;
      if (x < 0 || x >= int64_t(target->width)) continue;
      uint32_t coverage = 0;
      if (glyph.pixel_mode == FT_PIXEL_MODE_MONO)
        coverage = (source[column >> 3] & (0x80 >> (column & 7))) ? 255 : 0;
      else if (glyph.pixel_mode == FT_PIXEL_MODE_GRAY)
        coverage = glyph.num_grays > 1 ? source[column] * 255u / (glyph.num_grays - 1) : 0;
      if (coverage != 0) blendCoverage(destinationRow + x * 4, color, coverage);
    }
  }
}

void destroyFont(TextFont* font) {
  if (font->face != nullptr) FT_Done_Face(font->face);
  if (font->library != nullptr) FT_Done_FreeType(font->library);
  delete font;
}

}  // namespace

void textSetFaceName(TextFontDesc& desc, const char16_t* name) {
  uint32_t length = 0;
  while (length + 1 < kTextFaceNameLength && name[length] != 0) {
    desc.faceName[length] = name[length];
    length += 1;
  }
  for (uint32_t i = length; i < kTextFaceNameLength; ++i) desc.faceName[i] = 0;
}

TextContext* textCreateContext() { return new TextContext(); }

void textDeleteContext(TextContext* context) {
  if (context == nullptr) return;
  // What it still holds becomes free to delete, as with a deleted device context.
  if (context->font != nullptr) context->font->selections -= 1;
  if (context->bitmap != nullptr) context->bitmap->selections -= 1;
  delete context;
}

TextFont* textCreateFont(const TextFontDesc& desc) {
  char family[kTextFaceNameLength * 3 + 1];
  if (!utf16ToUtf8(desc.faceName, kTextFaceNameLength, family, sizeof(family))) {
    printTextMessage("Text: the face name does not convert to UTF-8\n");
    return nullptr;
  }
  if (desc.height == 0 || desc.height < -kTextMaxFontHeight || desc.height > kTextMaxFontHeight) {
    printTextMessage("Text: font height %d for \"%s\" is outside +-1..%d pixels\n", desc.height, family,
                 kTextMaxFontHeight);
    return nullptr;
  }
  if (desc.weight < 0 || desc.weight > 1000) {
    printTextMessage("Text: font weight %d for \"%s\" is outside 0..1000\n", desc.weight, family);
    return nullptr;
  }
  FontFileMatch match;
  if (!matchFontFile(family, desc.weight, desc.italic, &match)) return nullptr;

  TextFont* font = new TextFont();
  snprintf(font->description, sizeof(font->description), "%s", match.description);
  if (FT_Init_FreeType(&font->library) != 0) {
    font->library = nullptr;
    printTextMessage("Text: FreeType could not start\n");
    destroyFont(font);
    return nullptr;
  }
  if (FT_New_Face(font->library, match.path, match.index, &font->face) != 0) {
    font->face = nullptr;
    printTextMessage("Text: could not load the face %s for \"%s\"\n", match.description, family);
    destroyFont(font);
    return nullptr;
  }
  FT_Select_Charmap(font->face, FT_ENCODING_UNICODE);  // faces without one map nothing
  if (!sizeFace(font, desc.height)) {
    printTextMessage("Text: the face %s cannot be set to height %d\n", match.description, desc.height);
    destroyFont(font);
    return nullptr;
  }
  font->loadFlags = desc.antialiased ? FT_LOAD_TARGET_NORMAL : FT_LOAD_TARGET_MONO;
  font->renderMode = desc.antialiased ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO;
  return font;
}

bool textDeleteFont(TextFont* font) {
  if (font == nullptr || font->selections != 0) return false;
  destroyFont(font);
  return true;
}

const char* textFontDescription(const TextFont* font) { return font->description; }

TextBitmap* textCreateBitmap(uint32_t width, uint32_t height, void** pixels) {
  *pixels = nullptr;
  if (width == 0 || height == 0 || width > kTextMaxBitmapSide || height > kTextMaxBitmapSide)
    return nullptr;
  auto* memory = static_cast<uint8_t*>(calloc(size_t(width) * height, 4));
  if (memory == nullptr) return nullptr;
  TextBitmap* bitmap = new TextBitmap();
  bitmap->pixels = memory;
  bitmap->width = width;
  bitmap->height = height;
  *pixels = memory;
  return bitmap;
}

bool textDeleteBitmap(TextBitmap* bitmap) {
  if (bitmap == nullptr || bitmap->selections != 0) return false;
  free(bitmap->pixels);
  delete bitmap;
  return true;
}

TextFont* textSelectFont(TextContext* context, TextFont* font) {
  TextFont* previous = context->font;
  if (previous != nullptr) previous->selections -= 1;
  context->font = font;
  if (font != nullptr) font->selections += 1;
  return previous;
}

TextBitmap* textSelectBitmap(TextContext* context, TextBitmap* bitmap) {
  TextBitmap* previous = context->bitmap;
  if (previous != nullptr) previous->selections -= 1;
  context->bitmap = bitmap;
  if (bitmap != nullptr) bitmap->selections += 1;
  return previous;
}

uint32_t textSetTextColor(TextContext* context, uint32_t color) {
  uint32_t previous = context->color;
  context->color = color & 0x00FFFFFF;
  return previous;
}

bool textGetExtent(TextContext* context, const char16_t* text, uint32_t count, TextSize* size) {
  TextFont* font = context->font;
  if (font == nullptr || (text == nullptr && count != 0)) return false;
  int64_t width = 0;
  uint32_t position = 0;
  while (position < count) {
    int32_t advance = 0;
    if (!loadGlyph(font, nextCodePoint(text, count, &position), &advance)) return false;
    width += advance;
    if (width > INT32_MAX || width < INT32_MIN) return false;
  }
  int64_t height = int64_t(font->ascent) + font->descent;
  if (height > INT32_MAX) return false;
  size->cx = int32_t(width);
  size->cy = int32_t(height);
  return true;
}

bool textOut(TextContext* context, int32_t x, int32_t y, const char16_t* text, uint32_t count) {
  TextFont* font = context->font;
  TextBitmap* bitmap = context->bitmap;
  if (font == nullptr || bitmap == nullptr || (text == nullptr && count != 0)) return false;
  int64_t penX = x;
  int64_t baseline = int64_t(y) + font->ascent;
  uint32_t position = 0;
  while (position < count) {
    int32_t advance = 0;
    if (!loadGlyph(font, nextCodePoint(text, count, &position), &advance)) return false;
    FT_GlyphSlot slot = font->face->glyph;
    if (FT_Render_Glyph(slot, font->renderMode) != 0) return false;
    blitGlyph(slot->bitmap, bitmap, penX + slot->bitmap_left, baseline - slot->bitmap_top,
              context->color);
    penX += advance;
  }
  return true;
}
