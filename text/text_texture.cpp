#include "text/text_texture.h"

#include "gpu/resources.h"
#include "platform/gfx.h"
#include "text/text_bitmap.h"

GpuTexture* createTextTexture(bool rendered, const DynamicArray<uint8_t>& pixels, uint32_t width,
                              uint32_t height) {
  TextTextureImage image = textTextureImage(rendered, pixels, width, height);
  return createTexture(image.width, image.height, image.pixels, kStatePixelShaderResource,
                       gfx::FORMAT_R8G8B8A8_UNORM, 0);
}
