#include "text/overlay_text.h"

#include <algorithm>
#include <cstring>

#include "platform/text_raster.h"

namespace {

constexpr uint32_t kTextColorWhite = 0x00FFFFFF;
constexpr int32_t kMargin = 6;  // pixels around the lines

}  // namespace

struct OverlayText {
  TextContext* context = nullptr;
  TextFont* font = nullptr;
  TextBitmap* bitmap = nullptr;
  void* bitmapPixels = nullptr;  // B, G, R, unused
  uint32_t width = 0, height = 0;
  int32_t lineHeight = 0, characterWidth = 0;
  uint32_t maxLines = 0;
  std::vector<uint8_t> pixels;  // R, G, B, A
};

OverlayText* createOverlayText(uint32_t width, uint32_t maxLines, int32_t fontPixels) {
  auto* overlay = new OverlayText();
  overlay->maxLines = maxLines;
  overlay->context = textCreateContext();
  TextFontDesc desc;
  desc.height = -fontPixels;
  desc.weight = 400;
  textSetFaceName(desc, u"DejaVu Sans Mono");
  overlay->font = overlay->context != nullptr ? textCreateFont(desc) : nullptr;
  if (overlay->font == nullptr) {
    destroyOverlayText(overlay);
    return nullptr;
  }
  textSelectFont(overlay->context, overlay->font);
  TextSize extent;
  if (!textGetExtent(overlay->context, u"M", 1, &extent) || extent.cx <= 0 || extent.cy <= 0) {
    destroyOverlayText(overlay);
    return nullptr;
  }
  overlay->lineHeight = extent.cy;
  overlay->characterWidth = extent.cx;
  overlay->width = width;
  overlay->height = uint32_t(2 * kMargin + int32_t(maxLines) * extent.cy);
  overlay->bitmap = textCreateBitmap(overlay->width, overlay->height, &overlay->bitmapPixels);
  if (overlay->bitmap == nullptr) {
    destroyOverlayText(overlay);
    return nullptr;
  }
  textSelectBitmap(overlay->context, overlay->bitmap);
  textSetTextColor(overlay->context, kTextColorWhite);
  overlay->pixels.assign(size_t(overlay->width) * overlay->height * 4, 255);
  return overlay;
}

void destroyOverlayText(OverlayText* overlay) {
  if (overlay == nullptr) return;
  if (overlay->context != nullptr) {
    textSelectFont(overlay->context, nullptr);
    textSelectBitmap(overlay->context, nullptr);
    textDeleteContext(overlay->context);
  }
  if (overlay->font != nullptr) textDeleteFont(overlay->font);
  if (overlay->bitmap != nullptr) textDeleteBitmap(overlay->bitmap);
  delete overlay;
}

uint32_t overlayWidth(const OverlayText* overlay) { return overlay->width; }
uint32_t overlayHeight(const OverlayText* overlay) { return overlay->height; }
uint32_t overlayCharactersPerLine(const OverlayText* overlay) {
  return uint32_t(std::max<int32_t>(1, (int32_t(overlay->width) - 2 * kMargin) / overlay->characterWidth));
}

const uint8_t* drawOverlayLines(OverlayText* overlay, const std::vector<std::string>& lines) {
  memset(overlay->bitmapPixels, 0, size_t(overlay->width) * overlay->height * 4);
  int32_t y = kMargin;
  for (size_t i = 0; i < lines.size() && i < overlay->maxLines; ++i, y += overlay->lineHeight) {
    std::u16string text;
    for (char c : lines[i]) text += (c >= 0x20 && c < 0x7F) ? char16_t(c) : u'?';
    if (!text.empty()) textOut(overlay->context, kMargin, y, text.data(), uint32_t(text.size()));
  }
  const uint8_t* source = static_cast<const uint8_t*>(overlay->bitmapPixels);
  for (size_t i = 0; i < overlay->pixels.size(); i += 4)
    overlay->pixels[i + 3] = std::max({source[i + 0], source[i + 1], source[i + 2]});
  return overlay->pixels.data();
}
