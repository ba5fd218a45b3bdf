#pragma once
// The final pass's extra texture made from the title text image.
#include <cstdint>

#include "base/containers.h"

struct GpuTexture;

// An R8G8B8A8_UNORM texture of the rendered text (rendered true) or of one transparent
// white pixel (rendering failed), one mip level, no render-target or unordered-access
// use, left in the pixel-shader-resource state once its staged upload has run.
// Device failures are the texture layer's PANICs.
GpuTexture* createTextTexture(bool rendered, const DynamicArray<uint8_t>& pixels, uint32_t width,
                              uint32_t height);
