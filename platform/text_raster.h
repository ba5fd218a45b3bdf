#pragma once
// Measuring and drawing a line of text into a 32-bit top-down bitmap, shaped like a
// memory device context with a selected font and bitmap, so that the title text code
// reads the same on every backend (freetype/ implements it here).
//
// Metrics follow the Windows text rules: a negative font height is the character
// (em) height in pixels, a positive one the cell height (ascent + descent); the
// extent of a string is the sum of its glyphs' whole-pixel advances (no kerning) by
// ascent + descent. Text is drawn with a transparent background, aligned at the top
// left of its cell, and never moves a current position.
//
// Bitmap pixels are 4 bytes in memory order blue, green, red, unused; drawing blends
// the text colour into blue, green and red by glyph coverage and leaves the fourth
// byte as it was. Colours are 0x00BBGGRR.
#include <cstdint>

struct TextContext;
struct TextFont;
struct TextBitmap;

constexpr uint32_t kTextFaceNameLength = 32;  // characters, with the terminating zero
constexpr int32_t kTextMaxFontHeight = 16384; // pixels, either sign
constexpr uint32_t kTextMaxBitmapSide = 32768;

struct TextFontDesc {
  int32_t height = 0;      // < 0: character height; > 0: cell height; 0 is refused
  int32_t weight = 0;      // 0: any (normal), otherwise 1..1000 (400 normal, 700 bold)
  bool italic = false;
  bool antialiased = true; // false: every pixel is fully covered or not at all
  char16_t faceName[kTextFaceNameLength] = {};  // zero-terminated family name
};

struct TextSize {
  int32_t cx = 0;
  int32_t cy = 0;
};

// Copies name into desc.faceName, truncated to fit with its terminating zero.
void textSetFaceName(TextFontDesc& desc, const char16_t* name);

// A drawing context with no font, no bitmap and black text. Null when it cannot be made.
TextContext* textCreateContext();
// Objects still selected into it are released from it (and may then be deleted).
void textDeleteContext(TextContext* context);

// Loads the face named in desc at its size. Where the system has no face of that
// family, the closest sans-serif face of the requested weight stands in (a weight
// word ending the name, as in "... Light", asks for that weight). Null, with a
// message, when no face can be loaded or desc is out of range.
TextFont* textCreateFont(const TextFontDesc& desc);
// False (and nothing deleted) while the font is still selected into a context.
bool textDeleteFont(TextFont* font);
// The face actually loaded: family, style and file, for reports.
const char* textFontDescription(const TextFont* font);

// width x height pixels, rows top to bottom, all bytes zero; *pixels points at them.
// Null, with *pixels null, when a side is 0 or above kTextMaxBitmapSide, or memory is short.
TextBitmap* textCreateBitmap(uint32_t width, uint32_t height, void** pixels);
// False (and nothing deleted) while the bitmap is still selected into a context.
bool textDeleteBitmap(TextBitmap* bitmap);

// Select into the context; each returns what was selected before (null at first).
TextFont* textSelectFont(TextContext* context, TextFont* font);
TextBitmap* textSelectBitmap(TextContext* context, TextBitmap* bitmap);
// Returns the previous colour.
uint32_t textSetTextColor(TextContext* context, uint32_t color);

// The extent of count UTF-16 units in the selected font. False when no font is
// selected or the extent does not fit 32 bits.
bool textGetExtent(TextContext* context, const char16_t* text, uint32_t count, TextSize* size);

// Draws count UTF-16 units with the top left of their cell at (x, y) into the selected
// bitmap, clipped to it. False when no font or no bitmap is selected or a glyph
// cannot be rendered.
bool textOut(TextContext* context, int32_t x, int32_t y, const char16_t* text, uint32_t count);
