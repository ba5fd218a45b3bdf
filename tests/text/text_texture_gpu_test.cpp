// The extra texture on the real device (lavapipe here), validation on: the title image
// and the transparent substitute come back from the GPU byte for byte.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/render_app.h"
#include "gpu/passes.h"
#include "gpu/resources.h"
#include "tests/support/gpu_test.h"
#include "text/text_bitmap.h"
#include "text/text_texture.h"

namespace {

// Copies the texture into a readback buffer in a frame of its own (which records the
// pending upload first) and returns its rows tightly packed.
std::vector<uint8_t> readBack(GpuTexture& texture) {
  gfx::ResourceDesc desc = texture.resource.resource->GetDesc();
  gfx::PlacedSubresourceFootprint footprint;
  gfx::UINT rows = 0;
  gfx::UINT64 rowSize = 0, total = 0;
  renderApp.device->GetCopyableFootprints(&desc, 0, 1, 0, &footprint, &rows, &rowSize, &total);
  GpuBuffer* readback = createBuffer(total, Readback, nullptr, false, 0);
  gfx::GraphicsCommandList* list = beginFrame();
  BarrierBatch barriers = {};
  requestTransition(barriers, texture.resource, kStateCopySource);
  flush(barriers, list);
  gfx::TextureCopyLocation source = {}, destination = {};
  source.pResource = texture.resource.resource;
  source.Type = gfx::TEXTURE_COPY_TYPE_SUBRESOURCE_INDEX;
  destination.pResource = readback->resource.resource;
  destination.Type = gfx::TEXTURE_COPY_TYPE_PLACED_FOOTPRINT;
  destination.PlacedFootprint = footprint;
  list->CopyTextureRegion(&destination, 0, 0, 0, &source, nullptr);
  requestTransition(barriers, texture.resource, kStatePixelShaderResource);
  flush(barriers, list);
  endFrame();
  waitForGpuIdle();

  std::vector<uint8_t> texels(size_t(texture.width) * texture.height * 4);
  void* mapped = nullptr;
  EXPECT_TRUE(gfx::Succeeded(readback->resource.resource->Map(0, nullptr, &mapped)));
  for (uint32_t y = 0; y < texture.height; ++y)
    memcpy(texels.data() + size_t(y) * texture.width * 4,
           static_cast<uint8_t*>(mapped) + y * footprint.Footprint.RowPitch, size_t(rowSize));
  readback->resource.resource->Unmap(0, nullptr);
  releaseBuffer(readback);
  destroyBarrierBatch(barriers);
  return texels;
}

}  // namespace

TEST(TextTextureOnDevice, TitleImageAndSubstituteUploadIntact) {
  ValidationScope validation;
  createOffscreenDevice(64, 32);
  DynamicArray<uint8_t> pixels;
  uint32_t width = 0, height = 0;
  ASSERT_TRUE(renderTextBitmap(pixels, width, height));
  GpuTexture* title = createTextTexture(true, pixels, width, height);
  GpuTexture* substitute = createTextTexture(false, DynamicArray<uint8_t>{}, 0, 0);

  std::vector<uint8_t> seen = readBack(*title);
  ASSERT_EQ(seen.size(), pixels.count);
  EXPECT_EQ(memcmp(seen.data(), pixels.items, seen.size()), 0);
  seen = readBack(*substitute);
  EXPECT_EQ(seen, (std::vector<uint8_t>{255, 255, 255, 0}));
  EXPECT_EQ(title->resource.state, kStatePixelShaderResource);

  releaseTexture(title);
  releaseTexture(substitute);
  pixels.clear();
  destroyDevice();
}
