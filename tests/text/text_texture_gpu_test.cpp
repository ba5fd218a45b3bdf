// The extra texture on the real device (lavapipe here), validation on: the title image
// and the transparent substitute come back from the GPU byte for byte.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "gpu/render_app.h"
#include "gpu/resources.h"
#include "tests/support/gpu_readback.h"
#include "tests/support/gpu_test.h"
#include "text/text_bitmap.h"
#include "text/text_texture.h"

TEST(TextTextureOnDevice, TitleImageAndSubstituteUploadIntact) {
  ValidationScope validation;
  createOffscreenDevice(64, 32);
  DynamicArray<uint8_t> pixels;
  uint32_t width = 0, height = 0;
  ASSERT_TRUE(renderTextBitmap(pixels, width, height));
  GpuTexture* title = createTextTexture(true, pixels, width, height);
  GpuTexture* substitute = createTextTexture(false, DynamicArray<uint8_t>{}, 0, 0);

  std::vector<uint8_t> seen = readBackTexture(*title);
  ASSERT_EQ(seen.size(), pixels.count);
  EXPECT_EQ(memcmp(seen.data(), pixels.items, seen.size()), 0);
  seen = readBackTexture(*substitute);
  EXPECT_EQ(seen, (std::vector<uint8_t>{255, 255, 255, 0}));
  EXPECT_EQ(title->resource.state, kStatePixelShaderResource);

  releaseTexture(title);
  releaseTexture(substitute);
  pixels.clear();
  destroyDevice();
}
