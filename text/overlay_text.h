#pragma once
// Lines of text for an overlay over the picture (the editor's), drawn with the same text
// rasteriser as the title: a font and a canvas kept between redraws, lines in a monospaced
// face, white text whose alpha is the glyph coverage.
#include <cstdint>
#include <string>
#include <vector>

struct OverlayText;

// A canvas `width` pixels wide for up to `maxLines` lines of text `fontPixels` high (the
// character height). Null when the rasteriser has no font or canvas to give.
OverlayText* createOverlayText(uint32_t width, uint32_t maxLines, int32_t fontPixels);
void destroyOverlayText(OverlayText* overlay);

// The canvas size, and the characters one line holds (the face is monospaced).
uint32_t overlayWidth(const OverlayText* overlay);
uint32_t overlayHeight(const OverlayText* overlay);
uint32_t overlayCharactersPerLine(const OverlayText* overlay);

// Draws the lines (ASCII; others show as '?') from the top, cut at the canvas's right edge
// and after maxLines. The pixels: overlayWidth x overlayHeight, rows top to bottom, R, G, B,
// A with R = G = B = 255 and A the coverage. Valid until the next call.
const uint8_t* drawOverlayLines(OverlayText* overlay, const std::vector<std::string>& lines);
