// RenderApp's frame protocol and the GPU layer on the real device (lavapipe here), with
// validation on: uploads, a full-screen pass, frame-context reuse, deferred release and
// constant blocks across frames in flight.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "gpu/constant_block.h"
#include "gpu/descriptors.h"
#include "gpu/passes.h"
#include "gpu/render_app.h"
#include "gpu_layer_test_shaders.h"
#include "tests/support/fatal.h"
#include "tests/support/gpu_readback.h"
#include "tests/support/gpu_test.h"

namespace {

constexpr uint32_t kWidth = 64, kHeight = 32;

struct RenderAppTest : ::testing::Test {
  ValidationScope validation;
  void SetUp() override { createOffscreenDevice(kWidth, kHeight); }
  void TearDown() override { destroyDevice(); }
};

uint32_t referenceCount(gfx::Object* object) {
  object->AddRef();
  return object->Release();
}

TEST_F(RenderAppTest, TextureInitialDataSurvivesTheStagedUpload) {
  // 37 texels per row: rows are not a multiple of the copy pitch.
  std::vector<uint32_t> texels(37 * 5);
  for (size_t i = 0; i < texels.size(); ++i) texels[i] = 0x01020304u * uint32_t(i + 1);
  GpuTexture* texture = createTexture(37, 5, texels.data(), kStatePixelShaderResource, 28, 0);
  EXPECT_EQ(currentFrameContext().pendingTextureUploads.count, 1u);
  std::vector<uint8_t> seen = readBackTexture(*texture);  // its frame records the upload first
  EXPECT_EQ(memcmp(seen.data(), texels.data(), seen.size()), 0);
  EXPECT_EQ(texture->cpuCopy, nullptr);
  EXPECT_EQ(texture->resource.state, kStatePixelShaderResource);
  releaseTexture(texture);
}

TEST_F(RenderAppTest, FullscreenPassDrawsWithBindingsAndAlphaBlend) {
  std::vector<uint32_t> pattern(kWidth * kHeight);
  for (uint32_t y = 0; y < kHeight; ++y)
    for (uint32_t x = 0; x < kWidth; ++x) pattern[y * kWidth + x] = 0xFF000000u | (y * 8) << 8 | (x * 4);
  GpuTexture* source = createTexture(kWidth, kHeight, pattern.data(), kStateNonPixelShaderResource, 28, 0);
  struct Tint {
    float rgba[4];
    float size[2];
  } tint = {{1.0f, 1.0f, 1.0f, 0.5f}, {float(kWidth), float(kHeight)}};
  GpuBuffer* constants = createBuffer(sizeof(tint), BufferType::Constant, &tint, false, 0);

  FullscreenPass pass = {};
  pass.pixelShader = {kTintTexturePS, kTintTexturePSSize};
  pass.renderTargetFormats.push(renderApp.backBufferFormat);
  addTable(pass.builder, makeRangeList2(makeRange(kRangeSrv, 1), makeRange(kRangeCbv, 1)), kVisibilityPixel);
  addStaticSampler(pass.builder, 0, 3, 0, kVisibilityPixel);  // point, clamp
  buildFullscreenPass(pass, {kFullscreenTestVS, kFullscreenTestVSSize});
  DescriptorAllocator* heap = createDescriptorAllocator(kDescriptorHeapCbvSrvUav, 16, kDescriptorHeapShaderVisible);
  DescriptorAllocator* targets = createDescriptorAllocator(kDescriptorHeapRtv, 1, 0);

  DynamicArray<PassBinding> bindings;
  bindings.push(sampledTextureBinding(*source, 28));
  bindings.push(constantBufferBinding(*constants));

  uint64_t drawnBuffer = renderApp.backBufferIndex;
  gfx::GraphicsCommandList* list = beginFrame();
  BarrierBatch barriers = {};
  TrackedResource& backBuffer = currentBackBuffer().resource;
  requestTransition(barriers, backBuffer, kStateRenderTarget);
  flush(barriers, list);
  DescriptorTable rtv = allocateDescriptors(*targets, 1);
  writeTextureRtv(rtv, backBuffer, renderApp.backBufferFormat);
  list->SetDescriptorHeaps(1, &heap->heap);
  executeFullscreenPass(pass, kWidth, kHeight, list, rtv.cpuStart, *heap, bindings);
  EXPECT_EQ(source->resource.state, kStatePixelShaderResource);
  // Misuse on the real device stops the same way (in a child process).
  FullscreenPass unbuilt = {};
  EXPECT_FATAL(executeFullscreenPass(unbuilt, kWidth, kHeight, list, rtv.cpuStart, *heap, bindings),
               "ASSERT: Pass hasn't been built");
  bindings[0].accessType = AccessType(13);
  EXPECT_FATAL(executeFullscreenPass(pass, kWidth, kHeight, list, rtv.cpuStart, *heap, bindings),
               "PANIC: not implemented");
  bindings[0].accessType = AccessType::SampledTexture;
  requestTransition(barriers, backBuffer, kStatePresent);
  flush(barriers, list);
  endFrame();
  waitForGpuIdle();

  std::vector<uint32_t> pixels(kWidth * kHeight);
  ASSERT_TRUE(gfx::Succeeded(renderApp.swapChain->ReadBackBuffer(uint32_t(drawnBuffer), pixels.data(), kWidth * 4)));
  // Source alpha over the opaque black clear: colour halves, alpha stays 1.
  int wrong = 0;
  for (uint32_t y = 0; y < kHeight; ++y)
    for (uint32_t x = 0; x < kWidth; ++x) {
      uint32_t p = pixels[y * kWidth + x];
      int r = p & 0xFF, g = (p >> 8) & 0xFF, b = (p >> 16) & 0xFF, a = p >> 24;
      if (std::abs(r - int(x * 2)) > 1 || std::abs(g - int(y * 4)) > 1 || b != 0 || a != 255) ++wrong;
    }
  EXPECT_EQ(wrong, 0) << "first pixel " << std::hex << pixels[0] << ", last " << pixels.back();

  bindings.clear();
  destroyBarrierBatch(barriers);
  destroyFullscreenPass(pass);
  releaseTexture(source);
  releaseBuffer(constants);
  heap->heap->Release();
  targets->heap->Release();
  free(heap);
  free(targets);
}

TEST_F(RenderAppTest, FourthFrameReusesTheFirstContextAfterItsFence) {
  for (int i = 0; i < 3; ++i) {
    beginFrame();
    endFrame();
  }
  EXPECT_EQ(renderApp.frameContextIndex, 0u);
  EXPECT_EQ(renderApp.frameContexts[0].state, FrameState::Submitted);
  gfx::GraphicsCommandList* list = beginFrame();
  FrameContext& first = renderApp.frameContexts[0];
  EXPECT_EQ(list, first.commandList);
  EXPECT_EQ(first.state, FrameState::Recording);
  EXPECT_GE(first.fence->GetCompletedValue(), 1u);
  endFrame();
  EXPECT_EQ(renderApp.frameCounter, 4u);
  EXPECT_EQ(renderApp.backBufferIndex, 1u);
  waitForGpuIdle();
  for (const FrameContext& c : renderApp.frameContexts) EXPECT_NE(c.state, FrameState::Submitted);
}

TEST_F(RenderAppTest, ReleasedObjectOutlivesTheFramesThatMayUseIt) {
  GpuBuffer* buffer = createBuffer(1024, BufferType::Storage, nullptr, true, 0);
  gfx::Resource* resource = buffer->resource.resource;
  resource->AddRef();  // our own reference shows when the layer lets go of its one

  beginFrame();  // frame 0 uses and releases it
  releaseBuffer(buffer);
  endFrame();
  for (uint64_t frame = 1; frame <= 5; ++frame) {
    beginFrame();
    EXPECT_EQ(referenceCount(resource), 2u) << "frame " << frame;
    endFrame();
  }
  FrameContext& context = renderApp.frameContexts[0];
  beginFrame();  // frame 6: context 0 again, after frame 3 (which took the object over) finished
  EXPECT_GE(context.fence->GetCompletedValue(), 2u);
  EXPECT_EQ(referenceCount(resource), 1u);
  endFrame();
  resource->Release();
}

// Tests, tools and read-backs wait for the GPU after every frame: what was released in
// those frames must still be let go of, not kept until the device is destroyed.
TEST_F(RenderAppTest, ReleasedObjectIsFreedWhenEveryFrameWaitsForIdle) {
  GpuBuffer* buffer = createBuffer(1024, BufferType::Readback, nullptr, false, 0);
  gfx::Resource* resource = buffer->resource.resource;
  resource->AddRef();

  beginFrame();
  releaseBuffer(buffer);
  endFrame();
  waitForGpuIdle();
  for (int frame = 1; frame <= 3; ++frame) {
    beginFrame();
    endFrame();
    waitForGpuIdle();
  }
  EXPECT_EQ(referenceCount(resource), 1u) << "still held after four frames that each ended idle";
  resource->Release();
}

TEST_F(RenderAppTest, ConstantBlockValueOfEveryFrameInFlight) {
  constexpr uint32_t kFrames = 300;
  ConstantBlock<SimulationData> block;
  createConstantBlock(block);
  GpuBuffer* results = createBuffer(kFrames * 4, BufferType::Storage, nullptr, true, 0);

  ComputePipelineDesc desc;
  memset(static_cast<void*>(&desc), 0, sizeof(desc));
  addTable(desc.builder, makeRangeList2(makeRange(kRangeUav, 1), makeRange(kRangeCbv, 1)), kVisibilityAll);
  desc.computeShader = {kBlockEchoCS, kBlockEchoCSSize};
  Pipeline* pipeline = createComputePipeline(desc);
  destroyRootSignatureBuilder(desc.builder);
  ASSERT_NE(pipeline, nullptr);
  DescriptorAllocator* heaps[4];
  for (auto& heap : heaps) heap = createDescriptorAllocator(kDescriptorHeapCbvSrvUav, 2, kDescriptorHeapShaderVisible);

  for (uint32_t frame = 0; frame < kFrames; ++frame) {
    gfx::GraphicsCommandList* list = beginFrame();
    DescriptorAllocator& heap = *heaps[renderApp.frameCounter % 4];
    resetDescriptorAllocator(heap);
    block.data.frame = frame;
    block.data.scene = frame * 3 + 1;
    updateConstantBlock(block, list);
    list->SetDescriptorHeaps(1, &heap.heap);
    list->SetPipelineState(pipeline->pipelineState);
    list->SetComputeRootSignature(pipeline->rootSignature);
    DescriptorTable table = allocateDescriptors(heap, 2);
    writeStructuredUav(table, results->resource, kFrames, 4);
    writeCbv(table, block.buffers.gpuBuffer->resource, block.buffers.gpuBuffer->size);
    list->SetComputeRootDescriptorTable(0, {gpuHandle(table, 0)});
    list->Dispatch(1, 1, 1);
    endFrame();
  }

  std::vector<uint8_t> bytes = readBackBuffer(*results);
  ASSERT_GE(bytes.size(), kFrames * 4u);
  std::vector<uint32_t> seen(kFrames);
  memcpy(seen.data(), bytes.data(), kFrames * 4);
  int wrong = 0;
  for (uint32_t frame = 0; frame < kFrames; ++frame) wrong += seen[frame] != frame * 3 + 1;
  EXPECT_EQ(wrong, 0) << "e.g. slot 1 holds " << seen[1];

  releaseBuffer(results);
  releasePipeline(pipeline);
  destroyConstantBlock(block);
  for (auto& heap : heaps) {
    heap->heap->Release();
    free(heap);
  }
}

}  // namespace
