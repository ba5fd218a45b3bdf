#include "text/text_bitmap.h"

#include <algorithm>
#include <cstring>

#include "base/diagnostics.h"
#include "platform/text_raster.h"

namespace {

constexpr uint32_t kTextColorWhite = 0x00FFFFFF;

// Grows pixels to count zero bytes with the capacity pushing them one by one would
// reach (16, then doubling whenever count + 1 reaches the capacity), in one allocation.
void extendWithZeros(DynamicArray<uint8_t>& pixels, uint64_t count) {
  uint64_t capacity = 16;
  while (capacity <= count) capacity *= 2;
  pixels.reserve(capacity);
  memset(pixels.items, 0, size_t(count));
  pixels.count = count;
}

}  // namespace

bool renderTextBitmap(const TextBitmapRequest& request, DynamicArray<uint8_t>& pixels,
                      uint32_t& width, uint32_t& height) {
  ASSERT(pixels.count == 0 && pixels.items == nullptr, "The text pixel array must start empty\n");

  TextContext* context = textCreateContext();
  if (context == nullptr) return false;

  TextFontDesc fontDesc;
  fontDesc.height = request.fontHeight;
  fontDesc.weight = 400;
  fontDesc.italic = false;
  fontDesc.antialiased = true;
  textSetFaceName(fontDesc, request.faceName);
  TextFont* font = textCreateFont(fontDesc);
  if (font == nullptr) {
    textDeleteContext(context);
    return false;
  }
  TextFont* previousFont = textSelectFont(context, font);

  auto releaseFontAndContext = [&] {
    textSelectFont(context, previousFont);
    textDeleteFont(font);
    textDeleteContext(context);
  };

  TextSize extent;
  if (!textGetExtent(context, request.text, request.length, &extent)) {
    releaseFontAndContext();
    return false;
  }
  width = uint32_t(std::max<int64_t>(int64_t(extent.cx) + kTextCanvasMargin, kTextCanvasMinWidth));
  height = uint32_t(std::max<int64_t>(int64_t(extent.cy) + kTextCanvasMargin, kTextCanvasMinHeight));

  void* bitmapPixels = nullptr;
  TextBitmap* bitmap = textCreateBitmap(width, height, &bitmapPixels);
  if (bitmap == nullptr || bitmapPixels == nullptr) {
    if (bitmap != nullptr) textDeleteBitmap(bitmap);
    releaseFontAndContext();
    return false;
  }
  TextBitmap* previousBitmap = textSelectBitmap(context, bitmap);
  const uint64_t pixelBytes = uint64_t(width) * height * 4;
  memset(bitmapPixels, 0, size_t(pixelBytes));

  textSetTextColor(context, kTextColorWhite);
  int32_t x = int32_t((int64_t(width) - extent.cx) / 2);
  int32_t y = int32_t((int64_t(height) - extent.cy) / 2);
  bool drawn = textOut(context, x, y, request.text, request.length);

  if (drawn) {
    extendWithZeros(pixels, pixelBytes);
    const uint8_t* source = static_cast<const uint8_t*>(bitmapPixels);  // B, G, R, unused
    uint8_t* destination = pixels.items;
    for (uint64_t i = 0; i < pixelBytes; i += 4) {
      destination[i + 0] = 255;
      destination[i + 1] = 255;
      destination[i + 2] = 255;
      destination[i + 3] = std::max({source[i + 0], source[i + 1], source[i + 2]});
    }
  }

  textSelectBitmap(context, previousBitmap);
  textDeleteBitmap(bitmap);
  releaseFontAndContext();
  return drawn;
}

bool renderTextBitmap(DynamicArray<uint8_t>& pixels, uint32_t& width, uint32_t& height) {
  return renderTextBitmap(TextBitmapRequest{}, pixels, width, height);
}

TextTextureImage textTextureImage(bool rendered, const DynamicArray<uint8_t>& pixels,
                                  uint32_t width, uint32_t height) {
  static const uint8_t kTransparentWhite[4] = {255, 255, 255, 0};
  if (!rendered) return TextTextureImage{kTransparentWhite, 1, 1};
  ASSERT(pixels.count == uint64_t(width) * height * 4 && pixels.count != 0,
         "The text image holds %llu bytes, not %u x %u x 4\n",
         static_cast<unsigned long long>(pixels.count), width, height);
  return TextTextureImage{pixels.items, width, height};
}
