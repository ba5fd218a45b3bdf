#include "tests/shaders/gpu_shader_harness.h"

#include <cstring>

void ShaderGpuTest::SetUp() {
  createOffscreenDevice(kBackBufferSize, kBackBufferSize);
  heap = createDescriptorAllocator(kDescriptorHeapCbvSrvUav, 64, kDescriptorHeapShaderVisible);
  targets = createDescriptorAllocator(kDescriptorHeapRtv, 4, 0);
}

void ShaderGpuTest::TearDown() {
  waitForGpuIdle();
  destroyBarrierBatch(barriers);
  heap->heap->Release();
  targets->heap->Release();
  free(heap);
  free(targets);
  destroyDevice();
}

GpuTexture* ShaderGpuTest::texture(uint32_t w, uint32_t h, uint32_t format, const std::vector<float>& texels,
                                   bool unorderedAccess) {
  uint32_t state = unorderedAccess ? kStateUnorderedAccess : kStateNonPixelShaderResource;
  uint32_t flags = unorderedAccess ? kResourceAllowUnorderedAccess : 0;
  return createTexture(w, h, texels.empty() ? nullptr : texels.data(), state, format, flags);
}

GpuBuffer* ShaderGpuTest::storage(const void* bytes, uint64_t size) {
  return createBuffer(size, Storage, bytes, bytes == nullptr, kResourceAllowUnorderedAccess);
}

void ShaderGpuTest::dispatch(ShaderBytecode shader, const std::vector<ComputeView>& views, uint32_t groupsX,
                             uint32_t groupsY, const std::vector<ComputeSampler>& samplers,
                             const void* rootConstants16) {
  Pipeline* pipeline = createComputeFor(shader, views, samplers, rootConstants16 != nullptr);
  ASSERT_NE(pipeline, nullptr);
  gfx::GraphicsCommandList* list = beginFrame();
  resetDescriptorAllocator(*heap);
  recordCompute(list, *pipeline, *heap, barriers, views, groupsX, groupsY, rootConstants16);
  endFrame();
  waitForGpuIdle();
  releasePipeline(pipeline);
}

void ShaderGpuTest::drawFullscreen(ShaderBytecode pixelShader, const std::vector<PassBinding>& bindings,
                                   uint32_t sampler, GpuTexture* target, uint32_t format, uint32_t width,
                                   uint32_t height) {
  uint32_t textures = 0;
  for (const PassBinding& b : bindings) textures += b.accessType == SampledTexture;
  FullscreenPass pass;
  buildFullscreenFor(pass, pixelShader, textures, sampler, format);
  DynamicArray<PassBinding> list;
  for (const PassBinding& b : bindings) list.push(b);

  lastBackBuffer = renderApp.backBufferIndex;
  gfx::GraphicsCommandList* commandList = beginFrame();
  TrackedResource& output = target ? target->resource : currentBackBuffer().resource;
  resetDescriptorAllocator(*targets);
  resetDescriptorAllocator(*heap);
  recordFullscreen(commandList, pass, *heap, *targets, barriers, list, output, format, width, height);
  if (!target) {
    requestTransition(barriers, output, kStatePresent);
    flush(barriers, commandList);
  }
  endFrame();
  waitForGpuIdle();
  list.clear();
  destroyFullscreenPass(pass);
}

std::vector<float> ShaderGpuTest::readFloats(GpuTexture& texture, uint32_t components) {
  gfx::ResourceDesc desc = texture.resource.resource->GetDesc();
  gfx::PlacedSubresourceFootprint footprint;
  gfx::UINT rows = 0;
  gfx::UINT64 rowSize = 0, total = 0;
  renderApp.device->GetCopyableFootprints(&desc, 0, 1, 0, &footprint, &rows, &rowSize, &total);
  GpuBuffer* readback = createBuffer(total, Readback, nullptr, false, 0);
  gfx::GraphicsCommandList* list = beginFrame();
  uint32_t state = texture.resource.state;
  requestTransition(barriers, texture.resource, kStateCopySource);
  flush(barriers, list);
  gfx::TextureCopyLocation source = {}, destination = {};
  source.pResource = texture.resource.resource;
  source.Type = gfx::TEXTURE_COPY_TYPE_SUBRESOURCE_INDEX;
  destination.pResource = readback->resource.resource;
  destination.Type = gfx::TEXTURE_COPY_TYPE_PLACED_FOOTPRINT;
  destination.PlacedFootprint = footprint;
  list->CopyTextureRegion(&destination, 0, 0, 0, &source, nullptr);
  requestTransition(barriers, texture.resource, state);
  flush(barriers, list);
  endFrame();
  waitForGpuIdle();

  std::vector<float> texels(size_t(texture.width) * texture.height * components);
  void* mapped = nullptr;
  EXPECT_TRUE(gfx::Succeeded(readback->resource.resource->Map(0, nullptr, &mapped)));
  size_t rowBytes = size_t(texture.width) * components * sizeof(float);
  for (uint32_t y = 0; y < texture.height; ++y)
    memcpy(texels.data() + size_t(y) * texture.width * components,
           static_cast<uint8_t*>(mapped) + y * footprint.Footprint.RowPitch, rowBytes);
  readback->resource.resource->Unmap(0, nullptr);
  releaseBuffer(readback);
  return texels;
}

std::vector<uint8_t> ShaderGpuTest::readBytes(GpuBuffer& buffer) {
  uint64_t size = buffer.resource.resource->GetDesc().Width;
  GpuBuffer* readback = createBuffer(size, Readback, nullptr, false, 0);
  gfx::GraphicsCommandList* list = beginFrame();
  uint32_t state = buffer.resource.state;
  requestTransition(barriers, buffer.resource, kStateCopySource);
  flush(barriers, list);
  list->CopyBufferRegion(readback->resource.resource, 0, buffer.resource.resource, 0, size);
  requestTransition(barriers, buffer.resource, state);
  flush(barriers, list);
  endFrame();
  waitForGpuIdle();
  std::vector<uint8_t> bytes(size);
  void* mapped = nullptr;
  EXPECT_TRUE(gfx::Succeeded(readback->resource.resource->Map(0, nullptr, &mapped)));
  memcpy(bytes.data(), mapped, size);
  readback->resource.resource->Unmap(0, nullptr);
  releaseBuffer(readback);
  return bytes;
}

std::vector<uint32_t> ShaderGpuTest::readBackBuffer() {
  std::vector<uint32_t> pixels(kBackBufferSize * kBackBufferSize);
  EXPECT_TRUE(gfx::Succeeded(renderApp.swapChain->ReadBackBuffer(uint32_t(lastBackBuffer), pixels.data(),
                                                                  kBackBufferSize * 4)));
  return pixels;
}
