#pragma once
// The title word, drawn once at start-up into a 4K-sized image of white pixels whose
// alpha is the glyph coverage; the start-up code uploads it as the final pass's
// extra texture.
#include <cstdint>

#include "base/containers.h"

// What to draw; renderTextBitmap(pixels, width, height) draws the title.
struct TextBitmapRequest {
  const char16_t* faceName = u"Corbel Light";
  int32_t fontHeight = -80;  // character height of 80 pixels
  const char16_t* text = u"TORVE";
  uint32_t length = 5;       // UTF-16 units
};

constexpr uint32_t kTextCanvasMinWidth = 3840;
constexpr uint32_t kTextCanvasMinHeight = 2160;
constexpr uint32_t kTextCanvasMargin = 4;  // the canvas is at least the extent + 4 each way

// Fills the empty pixels with width x height x 4 bytes, rows top to bottom, R, G, B, A
// per pixel: R = G = B = 255, A = coverage. The canvas is max(extent + 4, 3840 x 2160)
// with the text centred. False when a step fails (a missing face prints a message);
// then nothing is left allocated and pixels stays empty.
bool renderTextBitmap(const TextBitmapRequest& request, DynamicArray<uint8_t>& pixels,
                      uint32_t& width, uint32_t& height);
bool renderTextBitmap(DynamicArray<uint8_t>& pixels, uint32_t& width, uint32_t& height);

// The image the extra texture is created from (R8G8B8A8, rows top to bottom).
struct TextTextureImage {
  const uint8_t* pixels = nullptr;
  uint32_t width = 0;
  uint32_t height = 0;
};

// The rendered text, or, when rendering failed, one transparent white pixel: the final
// pass samples the extra texture every frame, so it needs one either way, and white
// with alpha 0 blends nothing in.
TextTextureImage textTextureImage(bool rendered, const DynamicArray<uint8_t>& pixels,
                                  uint32_t width, uint32_t height);
