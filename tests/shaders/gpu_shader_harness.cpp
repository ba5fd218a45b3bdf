#include "tests/shaders/gpu_shader_harness.h"

#include <algorithm>
#include <cstring>

#include "tests/support/gpu_readback.h"

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
  return createBuffer(size, BufferType::Storage, bytes, bytes == nullptr, kResourceAllowUnorderedAccess);
}

void ShaderGpuTest::dispatch(const PassDescription& pass, const std::vector<PassResource>& resources,
                             uint32_t groupsX, uint32_t groupsY, const void* rootConstants16) {
  Pipeline* pipeline = createComputePass(pass);
  ASSERT_NE(pipeline, nullptr);
  gfx::GraphicsCommandList* list = beginFrame();
  resetDescriptorAllocator(*heap);
  recordCompute(list, pass, *pipeline, *heap, barriers, resources, groupsX, groupsY, rootConstants16);
  endFrame();
  waitForGpuIdle();
  releasePipeline(pipeline);
}

void ShaderGpuTest::drawFullscreen(const PassDescription& pass, const std::vector<PassResource>& resources,
                                   GpuTexture* target, uint32_t format, uint32_t width, uint32_t height) {
  FullscreenPass fullscreen;
  buildFullscreenPass(fullscreen, pass, {kRenderToScreenVS, kRenderToScreenVSSize}, format);

  lastBackBuffer = renderApp.backBufferIndex;
  gfx::GraphicsCommandList* commandList = beginFrame();
  TrackedResource& output = target ? target->resource : currentBackBuffer().resource;
  resetDescriptorAllocator(*targets);
  resetDescriptorAllocator(*heap);
  recordFullscreen(commandList, pass, fullscreen, *heap, *targets, barriers, resources, output, format, width,
                   height);
  if (!target) {
    requestTransition(barriers, output, kStatePresent);
    flush(barriers, commandList);
  }
  endFrame();
  waitForGpuIdle();
  destroyFullscreenPass(fullscreen);
}

std::vector<float> ShaderGpuTest::readFloats(GpuTexture& texture, uint32_t components) {
  std::vector<uint8_t> bytes = readBackTexture(texture);
  std::vector<float> texels(size_t(texture.width) * texture.height * components);
  // A component count that does not match the format would leave texels unread.
  EXPECT_EQ(bytes.size(), texels.size() * sizeof(float)) << "texel size of the format";
  memcpy(texels.data(), bytes.data(), std::min(bytes.size(), texels.size() * sizeof(float)));
  return texels;
}

std::vector<uint8_t> ShaderGpuTest::readBytes(GpuBuffer& buffer) { return ::readBackBuffer(buffer); }

std::vector<uint32_t> ShaderGpuTest::readBackBuffer() {
  std::vector<uint32_t> pixels(kBackBufferSize * kBackBufferSize);
  EXPECT_TRUE(gfx::Succeeded(renderApp.swapChain->ReadBackBuffer(uint32_t(lastBackBuffer), pixels.data(),
                                                                  kBackBufferSize * 4)));
  return pixels;
}
