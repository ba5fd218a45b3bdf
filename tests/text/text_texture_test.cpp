// The extra texture made from the title image, against the recording graphics device.
#include <gtest/gtest.h>

#include <cstring>

#include "gpu/resources.h"
#include "tests/gpu/fake_gfx.h"
#include "text/text_bitmap.h"
#include "text/text_texture.h"

namespace {
fake::Resource* fakeOf(const TrackedResource& tracked) { return static_cast<fake::Resource*>(tracked.resource); }
}  // namespace

TEST(TextTexture, TitleImageOrTransparentPixelAsAShaderResource) {
  fake::DeviceScope scope;
  DynamicArray<uint8_t> pixels;
  uint32_t width = 0, height = 0;
  ASSERT_TRUE(renderTextBitmap(TextBitmapRequest{u"DejaVu Sans", -12, u"x", 1}, pixels, width, height));
  GpuTexture* drawn = createTextTexture(true, pixels, width, height);
  GpuTexture* failed = createTextTexture(false, DynamicArray<uint8_t>{}, 0, 0);

  for (GpuTexture* texture : {drawn, failed}) {
    gfx::ResourceDesc desc = fakeOf(texture->resource)->desc;
    EXPECT_EQ(desc.Format, gfx::FORMAT_R8G8B8A8_UNORM);
    EXPECT_EQ(desc.MipLevels, 1u);
    EXPECT_EQ(desc.Flags, 0u);
    EXPECT_EQ(texture->resource.state, kStatePixelShaderResource);
  }
  EXPECT_EQ(drawn->width, width);
  EXPECT_EQ(drawn->height, height);
  EXPECT_EQ(memcmp(drawn->cpuCopy, pixels.items, pixels.count), 0);
  const uint8_t transparentWhite[4] = {255, 255, 255, 0};
  EXPECT_EQ(failed->width * failed->height, 1u);
  EXPECT_EQ(memcmp(failed->cpuCopy, transparentWhite, 4), 0);

  releaseTexture(drawn);
  releaseTexture(failed);
  pixels.clear();
}
