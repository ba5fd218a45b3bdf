#include "tests/support/gpu_readback.h"

#include <gtest/gtest.h>

#include <cstring>

#include "gpu/passes.h"
#include "gpu/render_app.h"

namespace {

// Records `copy` between a transition to a copy state (the source's by default) and one back,
// in a frame of its own, and waits until the GPU has run it.
template <typename Copy>
void copyInOwnFrame(TrackedResource& resource, Copy copy, uint32_t copyState = kStateCopySource) {
  uint32_t state = resource.state;  // beginFrame's uploads keep the tracked state
  gfx::GraphicsCommandList* list = beginFrame();
  BarrierBatch barriers = {};
  requestTransition(barriers, resource, copyState);
  flush(barriers, list);
  copy(list);
  requestTransition(barriers, resource, state);
  flush(barriers, list);
  endFrame();
  waitForGpuIdle();
  destroyBarrierBatch(barriers);
}

// The mapped bytes of a read-back buffer, or null (with a test failure) when mapping fails.
const uint8_t* mapReadback(GpuBuffer& readback) {
  void* mapped = nullptr;
  bool ok = gfx::Succeeded(readback.resource.resource->Map(0, nullptr, &mapped)) && mapped != nullptr;
  EXPECT_TRUE(ok) << "the read-back buffer could not be mapped";
  return ok ? static_cast<const uint8_t*>(mapped) : nullptr;
}

}  // namespace

std::vector<uint8_t> readBackTexture(GpuTexture& texture) {
  gfx::ResourceDesc desc = texture.resource.resource->GetDesc();
  gfx::PlacedSubresourceFootprint footprint = {};
  gfx::UINT rows = 0;
  gfx::UINT64 rowSize = 0, total = 0;
  renderApp.device->GetCopyableFootprints(&desc, 0, 1, 0, &footprint, &rows, &rowSize, &total);
  GpuBuffer* readback = createBuffer(total, BufferType::Readback, nullptr, false, 0);

  copyInOwnFrame(texture.resource, [&](gfx::GraphicsCommandList* list) {
    gfx::TextureCopyLocation source = {}, destination = {};
    source.pResource = texture.resource.resource;
    source.Type = gfx::TEXTURE_COPY_TYPE_SUBRESOURCE_INDEX;
    source.SubresourceIndex = 0;
    destination.pResource = readback->resource.resource;
    destination.Type = gfx::TEXTURE_COPY_TYPE_PLACED_FOOTPRINT;
    destination.PlacedFootprint = footprint;
    list->CopyTextureRegion(&destination, 0, 0, 0, &source, nullptr);
  });

  std::vector<uint8_t> texels;
  if (const uint8_t* mapped = mapReadback(*readback)) {
    texels.resize(size_t(rowSize) * rows);
    for (gfx::UINT row = 0; row < rows; ++row)
      memcpy(texels.data() + size_t(row) * rowSize,
             mapped + footprint.Offset + uint64_t(row) * footprint.Footprint.RowPitch, size_t(rowSize));
    readback->resource.resource->Unmap(0, nullptr);
  }
  releaseBuffer(readback);
  return texels;
}

std::vector<uint8_t> readBackBuffer(GpuBuffer& buffer) {
  uint64_t size = buffer.resource.resource->GetDesc().Width;
  GpuBuffer* readback = createBuffer(size, BufferType::Readback, nullptr, false, 0);

  copyInOwnFrame(buffer.resource, [&](gfx::GraphicsCommandList* list) {
    list->CopyBufferRegion(readback->resource.resource, 0, buffer.resource.resource, 0, size);
  });

  std::vector<uint8_t> bytes;
  if (const uint8_t* mapped = mapReadback(*readback)) {
    bytes.assign(mapped, mapped + size);
    readback->resource.resource->Unmap(0, nullptr);
  }
  releaseBuffer(readback);
  return bytes;
}

void overwriteBuffer(GpuBuffer& buffer, const std::vector<uint8_t>& bytes) {
  ASSERT_LE(bytes.size(), buffer.size);
  TrackedResource upload = createBufferResource(bytes.size(), kHeapUpload, kStateGenericRead, false, 0);
  void* mapped = nullptr;
  ASSERT_TRUE(gfx::Succeeded(upload.resource->Map(0, nullptr, &mapped)) && mapped != nullptr);
  memcpy(mapped, bytes.data(), bytes.size());
  upload.resource->Unmap(0, nullptr);
  copyInOwnFrame(
      buffer.resource,
      [&](gfx::GraphicsCommandList* list) {
        list->CopyBufferRegion(buffer.resource.resource, 0, upload.resource, 0, bytes.size());
      },
      kStateCopyDest);
  upload.resource->Release();
}
