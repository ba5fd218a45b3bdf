// Text measuring and drawing with GDI: a memory device context, a font from a LOGFONTW,
// a top-down 32-bit DIB section, GetTextExtentPoint32W and TextOutW.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/text_raster.h"
#include "platform/win32/report.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 text passes to the W calls unchanged");

struct TextFont {
  HFONT handle = nullptr;
  uint32_t selections = 0;  // contexts it is selected into
  char description[160] = {};
};

struct TextBitmap {
  HBITMAP handle = nullptr;
  uint32_t selections = 0;
};

struct TextContext {
  HDC dc = nullptr;
  TextFont* font = nullptr;
  TextBitmap* bitmap = nullptr;
  HGDIOBJ originalFont = nullptr;
  HGDIOBJ originalBitmap = nullptr;
};

namespace {

const wchar_t* wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

// The face GDI actually chose, as "family (weight)", for reports.
void describe(TextFont* font, int32_t weight) {
  HDC dc = CreateCompatibleDC(nullptr);
  wchar_t face[LF_FACESIZE] = {};
  if (dc) {
    HGDIOBJ previous = SelectObject(dc, font->handle);
    GetTextFaceW(dc, LF_FACESIZE, face);
    SelectObject(dc, previous);
    DeleteDC(dc);
  }
  char narrow[LF_FACESIZE * 3] = {};
  WideCharToMultiByte(CP_UTF8, 0, face, -1, narrow, sizeof(narrow), nullptr, nullptr);
  std::snprintf(font->description, sizeof(font->description), "%s (GDI, weight %d)",
                narrow[0] ? narrow : "unknown face", int(weight ? weight : FW_NORMAL));
}

}  // namespace

void textSetFaceName(TextFontDesc& desc, const char16_t* name) {
  uint32_t i = 0;
  for (; name && name[i] && i + 1 < kTextFaceNameLength; ++i) desc.faceName[i] = name[i];
  for (; i < kTextFaceNameLength; ++i) desc.faceName[i] = 0;
}

TextContext* textCreateContext() {
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return nullptr;
  // Transparent background, top-left alignment without a current position.
  SetBkMode(dc, TRANSPARENT);
  SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
  SetTextColor(dc, 0);
  auto* context = new TextContext();
  context->dc = dc;
  return context;
}

void textDeleteContext(TextContext* context) {
  if (!context) return;
  textSelectFont(context, nullptr);
  textSelectBitmap(context, nullptr);
  DeleteDC(context->dc);
  delete context;
}

TextFont* textCreateFont(const TextFontDesc& desc) {
  if (desc.height == 0 || desc.height > kTextMaxFontHeight || desc.height < -kTextMaxFontHeight) {
    win32Report("text: font height %d is out of range (1..%d pixels, either sign)\n", int(desc.height),
                int(kTextMaxFontHeight));
    return nullptr;
  }
  if (desc.weight < 0 || desc.weight > 1000) {
    win32Report("text: font weight %d is out of range (0..1000)\n", int(desc.weight));
    return nullptr;
  }
  LOGFONTW logFont{};
  logFont.lfHeight = desc.height;
  logFont.lfWeight = desc.weight;
  logFont.lfItalic = desc.italic ? TRUE : FALSE;
  logFont.lfCharSet = ANSI_CHARSET;
  logFont.lfOutPrecision = OUT_DEFAULT_PRECIS;
  logFont.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  logFont.lfQuality = desc.antialiased ? ANTIALIASED_QUALITY : NONANTIALIASED_QUALITY;
  logFont.lfPitchAndFamily = 0;
  static_assert(kTextFaceNameLength == LF_FACESIZE);
  std::memcpy(logFont.lfFaceName, desc.faceName, sizeof(logFont.lfFaceName));
  logFont.lfFaceName[LF_FACESIZE - 1] = 0;
  HFONT handle = CreateFontIndirectW(&logFont);
  if (!handle) {
    win32Report("text: CreateFontIndirectW failed (error %lu)\n", GetLastError());
    return nullptr;
  }
  auto* font = new TextFont();
  font->handle = handle;
  describe(font, desc.weight);
  return font;
}

bool textDeleteFont(TextFont* font) {
  if (!font) return true;
  if (font->selections > 0) return false;
  DeleteObject(font->handle);
  delete font;
  return true;
}

const char* textFontDescription(const TextFont* font) { return font ? font->description : ""; }

TextBitmap* textCreateBitmap(uint32_t width, uint32_t height, void** pixels) {
  *pixels = nullptr;
  if (width == 0 || height == 0 || width > kTextMaxBitmapSide || height > kTextMaxBitmapSide) return nullptr;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = LONG(width);
  info.bmiHeader.biHeight = -LONG(height);  // rows top to bottom
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP handle = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!handle || !bits) {
    if (handle) DeleteObject(handle);
    return nullptr;
  }
  std::memset(bits, 0, size_t(width) * height * 4);
  auto* bitmap = new TextBitmap();
  bitmap->handle = handle;
  *pixels = bits;
  return bitmap;
}

bool textDeleteBitmap(TextBitmap* bitmap) {
  if (!bitmap) return true;
  if (bitmap->selections > 0) return false;
  DeleteObject(bitmap->handle);
  delete bitmap;
  return true;
}

TextFont* textSelectFont(TextContext* context, TextFont* font) {
  TextFont* previous = context->font;
  if (font == previous) return previous;
  HGDIOBJ old = SelectObject(context->dc, font ? HGDIOBJ(font->handle) : context->originalFont);
  if (!context->originalFont) context->originalFont = old;
  if (previous) --previous->selections;
  if (font) ++font->selections;
  context->font = font;
  return previous;
}

TextBitmap* textSelectBitmap(TextContext* context, TextBitmap* bitmap) {
  TextBitmap* previous = context->bitmap;
  if (bitmap == previous) return previous;
  HGDIOBJ old = SelectObject(context->dc, bitmap ? HGDIOBJ(bitmap->handle) : context->originalBitmap);
  if (!context->originalBitmap) context->originalBitmap = old;
  if (previous) --previous->selections;
  if (bitmap) ++bitmap->selections;
  context->bitmap = bitmap;
  return previous;
}

uint32_t textSetTextColor(TextContext* context, uint32_t color) {
  return uint32_t(SetTextColor(context->dc, COLORREF(color & 0x00FFFFFF)));
}

bool textGetExtent(TextContext* context, const char16_t* text, uint32_t count, TextSize* size) {
  if (!context->font || count > uint32_t(INT_MAX)) return false;
  SIZE extent{};
  if (!GetTextExtentPoint32W(context->dc, wide(text), int(count), &extent)) return false;
  size->cx = extent.cx;
  size->cy = extent.cy;
  return true;
}

bool textOut(TextContext* context, int32_t x, int32_t y, const char16_t* text, uint32_t count) {
  if (!context->font || !context->bitmap || count > uint32_t(INT_MAX)) return false;
  bool ok = TextOutW(context->dc, x, y, wide(text), int(count)) != FALSE;
  GdiFlush();  // the caller reads the DIB's memory right after
  return ok;
}
