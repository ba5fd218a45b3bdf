#pragma once
// UTF-16 decoding for the text rasteriser: strings arrive as the wide strings the
// program's font and text records hold.
#include <cstdint>

// The code point starting at text[*position]; advances *position past it. An unpaired
// surrogate comes back as itself, so it maps to the face's missing-glyph shape.
inline uint32_t nextCodePoint(const char16_t* text, uint32_t count, uint32_t* position) {
  uint32_t unit = text[*position];
  *position += 1;
  if (unit >= 0xD800 && unit <= 0xDBFF && *position < count) {
    uint32_t low = text[*position];
    if (low >= 0xDC00 && low <= 0xDFFF) {
      *position += 1;
      return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
  }
  return unit;
}

// Converts the zero-terminated text (at most `units` UTF-16 units) to zero-terminated
// UTF-8 in out; false when it does not fit in outSize bytes.
inline bool utf16ToUtf8(const char16_t* text, uint32_t units, char* out, uint32_t outSize) {
  uint32_t count = 0;
  while (count < units && text[count] != 0) count += 1;
  uint32_t written = 0;
  uint32_t position = 0;
  while (position < count) {
    uint32_t code = nextCodePoint(text, count, &position);
    uint8_t bytes[4];
    uint32_t length;
    if (code < 0x80) {
      bytes[0] = uint8_t(code);
      length = 1;
    } else if (code < 0x800) {
      bytes[0] = uint8_t(0xC0 | (code >> 6));
      bytes[1] = uint8_t(0x80 | (code & 0x3F));
      length = 2;
    } else if (code < 0x10000) {
      if (code >= 0xD800 && code <= 0xDFFF) code = 0xFFFD;  // not encodable in UTF-8
      bytes[0] = uint8_t(0xE0 | (code >> 12));
      bytes[1] = uint8_t(0x80 | ((code >> 6) & 0x3F));
      bytes[2] = uint8_t(0x80 | (code & 0x3F));
      length = 3;
    } else {
      bytes[0] = uint8_t(0xF0 | (code >> 18));
      bytes[1] = uint8_t(0x80 | ((code >> 12) & 0x3F));
      bytes[2] = uint8_t(0x80 | ((code >> 6) & 0x3F));
      bytes[3] = uint8_t(0x80 | (code & 0x3F));
      length = 4;
    }
    if (written + length + 1 > outSize) return false;
    for (uint32_t i = 0; i < length; ++i) out[written++] = char(bytes[i]);
  }
  if (outSize == 0) return false;
  out[written] = 0;
  return true;
}
