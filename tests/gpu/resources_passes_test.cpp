// Buffers, textures, staged uploads, deferred release, barrier batches, full-screen passes
// and constant blocks, checked against a recording device and command list (no GPU).
#include <gtest/gtest.h>

#include "gpu/constant_block.h"
#include "gpu/passes.h"
#include "gpu/resources.h"
#include "tests/gpu/fake_gfx.h"
#include "tests/support/fatal.h"

namespace {

fake::Resource* fakeOf(const TrackedResource& tracked) { return static_cast<fake::Resource*>(tracked.resource); }

TEST(BytesPerPixel, EdgesOfTheFormatRanges) {
  // The formats the program uses, and the gaps either side of a range.
  const uint32_t cases[][2] = {{0, 0}, {2, 16}, {10, 8}, {28, 4}, {41, 4}, {47, 4}, {48, 2},
                               {65, 1}, {66, 0}, {70, 0}, {104, 3}, {116, 0}};
  for (const auto& c : cases) EXPECT_EQ(bytesPerPixel(c[0]), c[1]) << "format " << c[0];
}

TEST(Buffers, KindsAndStagedUploads) {
  fake::DeviceScope scope;
  EXPECT_FATAL(createBuffer(16, BufferType(7), nullptr, false, 0), "PANIC: Error: Invalid buffer type");

  const float triangle[9] = {-1, -7, 0, -1, 7, 0, 7, 7, 0};
  GpuBuffer* vertices = createBuffer(36, BufferType::Vertex, triangle, false, 0);
  EXPECT_EQ(vertices->size, 256u);
  EXPECT_EQ(vertices->cpuCopySize, 36u);
  EXPECT_EQ(vertices->resource.state, kStateVertexAndConstantBuffer);
  ASSERT_NE(vertices->upload.resource, nullptr);
  GpuBuffer* storage = createBuffer(0x3400, BufferType::Storage, nullptr, true, 4);
  EXPECT_EQ(fakeOf(storage->resource)->desc.Flags, 4u);
  EXPECT_EQ(storage->resource.state, kStateUnorderedAccess);
  GpuBuffer* upload = createBuffer(64, BufferType::Upload, triangle, false, 0);
  GpuBuffer* readback = createBuffer(64, BufferType::Readback, triangle, false, 0);
  EXPECT_EQ(upload->upload.resource, nullptr);
  EXPECT_EQ(readback->upload.resource, nullptr);
  EXPECT_EQ(readback->resource.state, kStateCopyDest);
  EXPECT_EQ(currentFrameContext().pendingBufferUploads.count, 1u);  // only the vertex buffer

  fake::CommandList list;
  recordPendingUploads(currentFrameContext(), &list);
  EXPECT_EQ(list.log, (std::vector<std::string>{"barrier 1->1024", "copy", "barrier 1024->1"}));
  // The staging buffer went to the deferred release holding exactly the 36 bytes given.
  ASSERT_EQ(scope.currentReleases().count, 1u);
  auto* staging = static_cast<fake::Resource*>(scope.currentReleases()[0]);
  EXPECT_EQ(memcmp(staging->memory.data(), triangle, 36), 0);
  EXPECT_EQ(vertices->cpuCopy, nullptr);
  EXPECT_EQ(vertices->upload.resource, nullptr);
  EXPECT_EQ(currentFrameContext().pendingBufferUploads.count, 0u);

  for (GpuBuffer* b : {vertices, storage, upload, readback}) releaseBuffer(b);
  // Staging buffer alone, then resource + (empty) staging for each of the four.
  EXPECT_EQ(scope.currentReleases().count, 9u);
  GpuBuffer* none = nullptr;
  releaseBuffer(none);
  EXPECT_EQ(scope.currentReleases().count, 9u);
}

TEST(Textures, StagingSizesRowCopiesAndStateRestored) {
  fake::DeviceScope scope;
  const uint32_t pixel = 0x11223344;
  GpuTexture* tiny = createTexture(1, 1, &pixel, kStatePixelShaderResource, 28, 0);
  EXPECT_EQ(fakeOf(tiny->upload)->desc.Width, 256u);
  EXPECT_EQ(tiny->depth, 1u);
  ASSERT_NE(tiny->cpuCopy, nullptr);
  EXPECT_EQ(memcmp(tiny->cpuCopy, &pixel, 4), 0);

  // Three rows of 70 texels: each row lands at its 256-byte pitch in the staging buffer.
  std::vector<uint32_t> texels(70 * 3);
  for (size_t i = 0; i < texels.size(); ++i) texels[i] = uint32_t(i);
  GpuTexture* wide = createTexture(70, 3, texels.data(), kStateUnorderedAccess, 28, 4);
  fake::Resource* staging = fakeOf(wide->upload);
  EXPECT_EQ(staging->desc.Width, 512u * 3);  // 280-byte rows at a 512-byte pitch

  fake::CommandList list;
  recordPendingUploads(currentFrameContext(), &list);
  EXPECT_EQ(list.log, (std::vector<std::string>{"barrier 128->1024", "copyTexture", "barrier 1024->128",
                                                "barrier 8->1024", "copyTexture", "barrier 1024->8"}));
  uint32_t row2[70];
  memcpy(row2, staging->memory.data() + 2 * 512, sizeof(row2));
  EXPECT_EQ(row2[0], 140u);
  EXPECT_EQ(row2[69], 209u);
  EXPECT_EQ(wide->resource.state, kStateUnorderedAccess);

  // A format without a texel size cannot be staged.
  EXPECT_FATAL(createTexture(4, 4, texels.data(), 0, 70, 0), "ASSERT: Texture format 70 has no texel size");
  releaseTexture(tiny);
  releaseTexture(wide);
}

TEST(DeferredRelease, ObjectReleasedBeforeItsUploadLeavesThePendingList) {
  fake::DeviceScope scope;
  const uint8_t bytes[16] = {1, 2, 3};
  GpuBuffer* first = createBuffer(16, BufferType::Constant, bytes, false, 0);
  GpuBuffer* second = createBuffer(16, BufferType::Constant, bytes, false, 0);
  releaseBuffer(first);
  ASSERT_EQ(currentFrameContext().pendingBufferUploads.count, 1u);
  EXPECT_EQ(currentFrameContext().pendingBufferUploads[0], second);
  fake::CommandList list;
  recordPendingUploads(currentFrameContext(), &list);
  EXPECT_EQ(list.log.size(), 3u);  // one upload, not two
  releaseBuffer(second);
}

TEST(BarrierBatch, OnlyDifferingStatesAndOneCallPerFlush) {
  fake::Resource a(gfx::ResourceDesc{}), b(gfx::ResourceDesc{}), c(gfx::ResourceDesc{});
  TrackedResource ta{&a, kStateUnorderedAccess}, tb{&b, kStatePixelShaderResource}, tc{&c, kStateCopyDest};
  BarrierBatch batch = {};
  fake::CommandList list;

  requestTransition(batch, ta, kStateUnorderedAccess);  // already there
  flush(batch, &list);
  EXPECT_TRUE(list.log.empty());

  requestTransition(batch, ta, kStateNonPixelShaderResource);
  requestTransition(batch, tb, kStateRenderTarget);
  requestTransition(batch, tc, kStateCopyDest);
  EXPECT_EQ(ta.state, kStateUnorderedAccess);  // not before the flush
  flush(batch, &list);
  EXPECT_EQ(list.log, (std::vector<std::string>{"barrier 8->64 128->4"}));
  EXPECT_EQ(ta.state, kStateNonPixelShaderResource);
  EXPECT_EQ(tb.state, kStateRenderTarget);
  EXPECT_EQ(batch.entries.count, 0u);

  // Asking twice before a flush: the queued barrier is retargeted, never "before" a stale state.
  requestTransition(batch, ta, kStateCopySource);
  requestTransition(batch, ta, kStateCopyDest);
  requestTransition(batch, tb, kStateCopyDest);
  requestTransition(batch, tb, kStateRenderTarget);  // back where it is: dropped
  flush(batch, &list);
  EXPECT_EQ(list.log.back(), "barrier 64->1024");
  EXPECT_EQ(ta.state, kStateCopyDest);
  destroyBarrierBatch(batch);

  SingleBarrierBatch single = {};
  requestTransition(single, tc, kStateCopySource);
  flush(single, &list);
  EXPECT_EQ(list.log.back(), "barrier 1024->2048");
  EXPECT_EQ(tc.state, kStateCopySource);
  EXPECT_EQ(single.entries.count, 0u);
}

TEST(AccessTypes, RequiredStatesAndRejectedValues) {
  EXPECT_EQ(requiredState(AccessType(0)), kStateUnorderedAccess);
  EXPECT_EQ(requiredState(AccessType(5)), kStateUnorderedAccess);
  EXPECT_EQ(requiredState(AccessType(6)), kStatePixelShaderResource);
  EXPECT_EQ(requiredState(AccessType::SampledTexture), kStatePixelShaderResource);
  EXPECT_EQ(requiredState(AccessType(12)), kStatePixelShaderResource);
  EXPECT_EQ(requiredState(AccessType(13)), kStateRenderTarget);
  EXPECT_EQ(requiredState(AccessType(14)), kStateDepthWrite);
  EXPECT_EQ(requiredState(AccessType::ConstantBuffer), kStateVertexAndConstantBuffer);
  EXPECT_FATAL(requiredState(AccessType(16)), "ASSERT: invalid access type");
  EXPECT_FATAL(requiredState(AccessType(-1)), "ASSERT: invalid access type");  // not an index below the table
}

struct PassFixture : ::testing::Test {
  fake::DeviceScope scope;
  FullscreenPass pass = {};
  fake::CommandList list;
  DescriptorAllocator heap{nullptr, 0x900000, 0x10000, 32, 0, 16};
  GpuTexture* texture = nullptr;
  GpuBuffer* constants = nullptr;
  DynamicArray<PassBinding> bindings;

  void SetUp() override {
    pass.renderTargetFormats.push(28);
    addTable(pass.builder, makeRangeList2(makeRange(kRangeSrv, 1), makeRange(kRangeCbv, 1)), kVisibilityPixel);
    texture = createTexture(8, 8, nullptr, kStateUnorderedAccess, 10, 4);
    constants = createBuffer(36, BufferType::Constant, nullptr, false, 0);
    bindings.push(sampledTextureBinding(*texture, 10));
    bindings.push(constantBufferBinding(*constants));
  }
  void TearDown() override {
    destroyFullscreenPass(pass);
    releaseTexture(texture);
    releaseBuffer(constants);
    bindings.clear();
  }
  void execute() { executeFullscreenPass(pass, 96, 54, &list, 0x777, heap, bindings); }
};

TEST_F(PassFixture, RecordsTheWholePassInOrder) {
  EXPECT_FATAL(execute(), "ASSERT: Pass hasn't been built");
  buildFullscreenPass(pass, ShaderBytecode{"vs", 2});
  ASSERT_NE(pass.pipeline, nullptr);
  EXPECT_EQ(pass.builder.ranges.count, 2u);  // the pass keeps its layout
  execute();
  EXPECT_EQ(list.log, (std::vector<std::string>{"pipeline", "graphicsRoot", "vertices 256 12", "topology 4",
                                                "targets 1911", "clear 0.000000 1.000000", "scissor 96x54",
                                                "viewport 96x54 0.000000..1.000000", "barrier 8->128",
                                                "graphicsTable 9437184", "draw 3"}));
  EXPECT_EQ(scope.device->views[0x10000], "srv 10");
  EXPECT_EQ(scope.device->views[0x10000 + 32], "cbv 256");
  EXPECT_EQ(texture->resource.state, kStatePixelShaderResource);

  // Everything already in place: no barrier call at all.
  list.log.clear();
  execute();
  EXPECT_EQ(list.log.size(), 10u);
  for (const std::string& line : list.log) EXPECT_NE(line.rfind("barrier", 0), 0u);
}

TEST_F(PassFixture, BadBindingsStop) {
  buildFullscreenPass(pass, ShaderBytecode{"vs", 2});
  DynamicArray<PassBinding> empty;
  EXPECT_FATAL(executeFullscreenPass(pass, 8, 8, &list, 0, heap, empty),
               "ASSERT: DescriptorAllocator: cannot allocate 0 descriptors");
  bindings[0].accessType = AccessType(13);
  EXPECT_FATAL(execute(), "PANIC: not implemented");
  bindings[0].accessType = AccessType(16);
  EXPECT_FATAL(execute(), "ASSERT: invalid access type");
}

TEST(ConstantBlock, FirstUpdateRecordsTransitionCopyTransitionFromItsContextsBuffer) {
  fake::DeviceScope scope;
  ConstantBlock<ConstantBufferData> block;
  createConstantBlock(block);
  EXPECT_EQ(block.data.viewMtx.m[2][2], 1.0f);
  EXPECT_EQ(block.data.viewMtx.m[2][1], 0.0f);
  EXPECT_EQ(block.data.sampleCount, 0u);
  EXPECT_EQ(block.buffers.gpuBuffer->size, 512u);
  EXPECT_EQ(block.buffers.gpuBuffer->resource.state, kStateVertexAndConstantBuffer);

  fake::CommandList list;
  for (uint32_t frame = 0; frame < 3; ++frame) {
    renderApp.frameContextIndex = frame;
    block.data.frame = float(frame + 1);
    updateConstantBlock(block, &list);
  }
  EXPECT_EQ(list.log[0], "barrier 1->1024");
  EXPECT_EQ(list.log[1], "copy");
  EXPECT_EQ(list.log[2], "barrier 1024->1");
  EXPECT_EQ(list.log.size(), 9u);
  // Each context's upload buffer still holds the value its own frame wrote.
  for (uint32_t context = 0; context < 3; ++context) {
    ConstantBufferData seen;
    memcpy(&seen, fakeOf(block.buffers.uploadBuffers[context]->resource)->memory.data(), sizeof(seen));
    EXPECT_EQ(seen.frame, float(context + 1));
  }

  // A failed map records nothing for this block in this frame.
  fakeOf(block.buffers.uploadBuffers[0]->resource)->failMap = true;
  renderApp.frameContextIndex = 0;
  updateConstantBlock(block, &list);
  EXPECT_EQ(list.log.size(), 9u);
  destroyConstantBlock(block);
  renderApp.frameContextIndex = 0;
}

}  // namespace
