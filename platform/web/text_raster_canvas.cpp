// Text on the web: a 2D canvas draws the glyphs of the face the site carries
// (fonts/title.ttf, Open Sans Light, loaded once through the FontFace API); this file keeps the
// context, font and bitmap records that text_raster.h describes and blends the coverage in.
// Every family asked for is drawn with that face: the page can rely on no system font.
#include <emscripten.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/os.h"
#include "platform/text_raster.h"

struct TextFont {
  double pixelsPerEm;
  int32_t ascent, descent;
  uint32_t selections;
};
struct TextBitmap {
  uint32_t width, height;
  uint8_t* pixels;
  uint32_t selections;
};
struct TextContext {
  TextFont* font;
  TextBitmap* bitmap;
  uint32_t color;
};

namespace {

// clang-format off
EM_ASYNC_JS(int, webLoadTitleFace, (), { return (await TarnixWeb.loadTitleFace()) ? 1 : 0; });
// Ascent and descent at one pixel per em, as the face's metrics give them.
EM_JS(void, webFaceMetrics, (double* ascent, double* descent), {
  const m = TarnixWeb.faceMetrics();
  HEAPF64[ascent >> 3] = m.ascent;
  HEAPF64[descent >> 3] = m.descent;
});
EM_JS(int, webAdvance, (double pixelsPerEm, int codeUnit), {
  return Math.round(TarnixWeb.advance(pixelsPerEm, String.fromCharCode(codeUnit)));
});
EM_JS(int, webDrawText, (uint8_t* pixels, uint32_t width, uint32_t height, int x, int y, const char16_t* text,
                         uint32_t count, double pixelsPerEm, int ascent, uint32_t color), {
  return TarnixWeb.drawText(pixels, width, height, x, y, UTF16ToString(text, count * 2), pixelsPerEm, ascent,
                            color) ? 1 : 0;
});
// clang-format on

bool faceLoaded = false;

// Makes `next` the context's font or bitmap; each counts the contexts that hold it, so that a
// held one is not deleted.
template <class T>
T* selectInto(T*& slot, T* next) {
  T* previous = slot;
  if (previous) previous->selections -= 1;
  if (next) next->selections += 1;
  slot = next;
  return previous;
}

}  // namespace

void textSetFaceName(TextFontDesc& desc, const char16_t* name) {
  uint32_t i = 0;
  for (; name && name[i] && i + 1 < kTextFaceNameLength; ++i) desc.faceName[i] = name[i];
  desc.faceName[i] = 0;
}

TextContext* textCreateContext() { return new TextContext{nullptr, nullptr, 0}; }

void textDeleteContext(TextContext* context) {
  if (!context) return;
  textSelectFont(context, nullptr);
  textSelectBitmap(context, nullptr);
  delete context;
}

// Sized as the Windows rules say: a negative height is the em, a positive one ascent + descent.
TextFont* textCreateFont(const TextFontDesc& desc) {
  if (desc.height == 0 || desc.height < -kTextMaxFontHeight || desc.height > kTextMaxFontHeight) {
    osPrint("Text: the font height is out of range\n");
    return nullptr;
  }
  if (!faceLoaded) faceLoaded = webLoadTitleFace() != 0;
  if (!faceLoaded) {
    osPrint("Text: the site's title face (fonts/title.ttf) could not be loaded\n");
    return nullptr;
  }
  double ascent = 0, descent = 0;
  webFaceMetrics(&ascent, &descent);
  const double pixelsPerEm = desc.height < 0 ? -double(desc.height) : double(desc.height) / (ascent + descent);
  return new TextFont{pixelsPerEm, int32_t(ascent * pixelsPerEm + 0.5), int32_t(descent * pixelsPerEm + 0.5), 0};
}

bool textDeleteFont(TextFont* font) {
  if (!font || font->selections) return false;
  delete font;
  return true;
}

const char* textFontDescription(const TextFont*) { return "Open Sans Light (fonts/title.ttf)"; }

TextBitmap* textCreateBitmap(uint32_t width, uint32_t height, void** pixels) {
  *pixels = nullptr;
  if (width == 0 || height == 0 || width > kTextMaxBitmapSide || height > kTextMaxBitmapSide) return nullptr;
  auto* memory = static_cast<uint8_t*>(calloc(size_t(width) * height, 4));
  if (!memory) return nullptr;
  *pixels = memory;
  return new TextBitmap{width, height, memory, 0};
}

bool textDeleteBitmap(TextBitmap* bitmap) {
  if (!bitmap || bitmap->selections) return false;
  free(bitmap->pixels);
  delete bitmap;
  return true;
}

TextFont* textSelectFont(TextContext* context, TextFont* font) { return selectInto(context->font, font); }

TextBitmap* textSelectBitmap(TextContext* context, TextBitmap* bitmap) { return selectInto(context->bitmap, bitmap); }

uint32_t textSetTextColor(TextContext* context, uint32_t color) {
  uint32_t previous = context->color;
  context->color = color;
  return previous;
}

// Whole-pixel advances, no kerning.
bool textGetExtent(TextContext* context, const char16_t* text, uint32_t count, TextSize* size) {
  if (!context->font) return false;
  int64_t width = 0;
  for (uint32_t i = 0; i < count; ++i) width += webAdvance(context->font->pixelsPerEm, text[i]);
  const int64_t height = int64_t(context->font->ascent) + context->font->descent;
  if (width > INT32_MAX || height > INT32_MAX) return false;
  *size = {int32_t(width), int32_t(height)};
  return true;
}

bool textOut(TextContext* context, int32_t x, int32_t y, const char16_t* text, uint32_t count) {
  if (!context->font || !context->bitmap) return false;
  const TextBitmap& b = *context->bitmap;
  return webDrawText(b.pixels, b.width, b.height, x, y, text, count, context->font->pixelsPerEm,
                     context->font->ascent, context->color) != 0;
}
