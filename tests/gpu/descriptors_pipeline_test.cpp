// Descriptor allocation, view writers, root-signature limits and the fixed pipeline
// policy, checked against a recording device (no GPU).
#include <gtest/gtest.h>

#include "gpu/descriptors.h"
#include "gpu/pipeline.h"
#include "gpu/resources.h"
#include "gpu/root_signature.h"
#include "tests/gpu/fake_gfx.h"
#include "tests/support/fatal.h"

namespace {

DescriptorAllocator makeAllocator(uint64_t gpuStart, uint32_t capacity) {
  return DescriptorAllocator{nullptr, gpuStart, 0x10000, 32, 0, capacity};
}

TEST(DescriptorAllocator, CutsConsecutiveTablesUntilFull) {
  DescriptorAllocator allocator = makeAllocator(0x900000, 128);
  DescriptorTable a = allocateDescriptors(allocator, 3);
  DescriptorTable b = allocateDescriptors(allocator, 125);
  EXPECT_EQ(a.cpuStart, 0x10000u);
  EXPECT_EQ(a.gpuStart, 0x900000u);
  EXPECT_EQ(b.cpuStart, 0x10000u + 3 * 32);
  EXPECT_EQ(b.gpuStart, 0x900000u + 3 * 32);
  EXPECT_EQ(b.capacity, 125u);
  EXPECT_EQ(b.used, 0u);
  EXPECT_EQ(gpuHandle(b, 2), b.gpuStart + 64);
  EXPECT_EQ(allocator.used, 128u);
  EXPECT_FATAL(allocateDescriptors(allocator, 1),
               "ASSERT: DescriptorAllocator: requested 1 descriptors, only 0 remaining");
  resetDescriptorAllocator(allocator);
  EXPECT_EQ(allocateDescriptors(allocator, 128).cpuStart, 0x10000u);
}

TEST(DescriptorAllocator, RejectsZeroCountAndOverflowInThatOrder) {
  DescriptorAllocator empty = makeAllocator(0, 0);
  EXPECT_FATAL(allocateDescriptors(empty, 0), "ASSERT: DescriptorAllocator: cannot allocate 0 descriptors");
  DescriptorAllocator broken = makeAllocator(0, 4);
  broken.used = 5;
  EXPECT_FATAL(allocateDescriptors(broken, 1), "ASSERT: DescriptorAllocator: internal overflow");
}

TEST(DescriptorAllocator, TablesOfAHiddenHeapHaveNoGpuHandle) {
  DescriptorAllocator allocator = makeAllocator(0, 8);
  allocateDescriptors(allocator, 5);
  DescriptorTable table = allocateDescriptors(allocator, 2);
  EXPECT_EQ(table.gpuStart, 0u);
  EXPECT_EQ(table.cpuStart, 0x10000u + 5 * 32);
}

TEST(DescriptorTable, ViewWritersFillSlotsInOrderUpToCapacity) {
  fake::DeviceScope scope;
  fake::Resource texture(gfx::ResourceDesc{});
  TrackedResource tracked{&texture, 0};
  DescriptorAllocator allocator = makeAllocator(0x900000, 8);
  DescriptorTable table = allocateDescriptors(allocator, 3);
  writeTextureSrv(table, tracked, 41, 0, 1, 0, 0.0f);
  writeCbv(table, tracked, 1);
  writeTextureUav(table, tracked, 10);
  EXPECT_EQ(table.used, 3u);
  EXPECT_EQ(scope.device->views[0x10000], "srv 41");
  EXPECT_EQ(scope.device->views[0x10000 + 32], "cbv 256");
  EXPECT_EQ(scope.device->views[0x10000 + 64], "uav 10");
  EXPECT_FATAL(writeTextureRtv(table, tracked, 28), "ASSERT: Exceeded capacity of descriptors allocated");
}

TEST(DescriptorTable, ConstantBufferViewSizeLimit) {
  EXPECT_EQ(checkedCbvSize(1), 256u);
  EXPECT_EQ(checkedCbvSize(65536), 65536u);
  EXPECT_FATAL(checkedCbvSize(65537), "ASSERT: CBV view must be <= 64KB");
  // Rounding in 32 bits would wrap these to tiny views; they must be refused.
  EXPECT_FATAL(checkedCbvSize(0xFFFFFFFFull), "ASSERT: CBV view must be <= 64KB");
  EXPECT_FATAL(checkedCbvSize(0x100000100ull), "ASSERT: CBV view must be <= 64KB");
  // The size check comes before the capacity check.
  DescriptorTable full{0, 0, 32, 0, 0};
  TrackedResource none{nullptr, 0};
  EXPECT_FATAL(writeCbv(full, none, 70000), "ASSERT: CBV view must be <= 64KB");
}

RootSignatureBuilder emptyBuilder() {
  RootSignatureBuilder builder;
  memset(static_cast<void*>(&builder), 0, sizeof(builder));
  return builder;
}

TEST(RootSignatureBuilder, LimitsStopWithTheirMessages) {
  EXPECT_FATAL(
      {
        RootSignatureBuilder b = emptyBuilder();
        for (int i = 0; i < 4; ++i) addConstants(b);
        for (int i = 0; i < 5; ++i) addTable(b, makeRangeList2(makeRange(kRangeSrv, 1), makeRange(kRangeCbv, 1)), 0);
      },
      "ASSERT: Exceeded the limit of root parameters 8\\.");
  EXPECT_FATAL(
      {
        RootSignatureBuilder b = emptyBuilder();
        for (int i = 0; i < 5; ++i) addStaticSampler(b, 0x15, 3, i, 0);
      },
      "ASSERT: Exceeded the limit of static samplers 4\\.");
  EXPECT_FATAL(
      {
        DescriptorRangeList list = makeRangeList3(makeRange(0, 1), makeRange(1, 1), makeRange(2, 1));
        for (int i = 0; i < 6; ++i) appendRange(list, makeRange(0, 1));
      },
      "ASSERT: Exceeded the limit of descriptor range 8\\.");
}

TEST(RootSignatureBuilder, TablesKeepTheirOwnRangesAcrossGrowthAndCopies) {
  RootSignatureBuilder builder = emptyBuilder();
  // Enough tables that `ranges` grows (and moves) while they are added.
  for (int i = 0; i < 6; ++i)
    addTable(builder, makeRangeList3(makeRange(kRangeSrv, 11), makeRange(kRangeUav, 3), makeRange(kRangeCbv, i)),
             kVisibilityAll);
  addConstants(builder);
  addStaticSampler(builder, 0x15, 3, 0, kVisibilityPixel);

  RootSignatureBuilder copy = copyRootSignatureBuilder(builder);
  EXPECT_NE(copy.ranges.items, builder.ranges.items);
  EXPECT_EQ(copy.ranges.capacity, 18u);

  gfx::RootSignatureDesc desc = describeRootSignature(copy, false);
  EXPECT_EQ(desc.NumParameters, 7u);
  EXPECT_EQ(desc.Flags, 1u);
  for (int i = 0; i < 6; ++i) {
    const gfx::RootParameter& p = desc.pParameters[i];
    ASSERT_EQ(p.DescriptorTable.NumDescriptorRanges, 3u);
    EXPECT_EQ(p.DescriptorTable.pDescriptorRanges, copy.ranges.items + 3 * i);
    EXPECT_EQ(p.DescriptorTable.pDescriptorRanges[2].NumDescriptors, uint32_t(i));
    EXPECT_EQ(p.DescriptorTable.pDescriptorRanges[0].OffsetInDescriptorsFromTableStart, 0xFFFFFFFFu);
  }
  EXPECT_EQ(desc.pParameters[6].ParameterType, gfx::ROOT_PARAMETER_TYPE_32BIT_CONSTANTS);
  EXPECT_EQ(desc.pParameters[6].Constants.Num32BitValues, 4u);
  EXPECT_EQ(desc.pStaticSamplers[0].ComparisonFunc, 8u);
  EXPECT_EQ(desc.pStaticSamplers[0].ShaderVisibility, kVisibilityPixel);
  EXPECT_EQ(describeRootSignature(copy, true).Flags, 0u);

  fake::DeviceScope scope;
  gfx::RootSignature* signature = buildRootSignature(copy, true);
  EXPECT_EQ(copy.ranges.count, 0u);  // consumed
  EXPECT_EQ(copy.parameterCount, 7u);
  EXPECT_FATAL(buildRootSignature(copy, true), "ASSERT: Root signature builder has no ranges for table 0");
  signature->Release();
  builder.ranges.clear();
}

GraphicsPipelineDesc emptyGraphicsDesc() {
  GraphicsPipelineDesc desc;
  memset(static_cast<void*>(&desc), 0, sizeof(desc));
  desc.cullMode = kCullNone;
  return desc;
}

TEST(GraphicsPipeline, FixedPolicyFollowsTheDescription) {
  GraphicsPipelineDesc desc = emptyGraphicsDesc();
  VertexBufferLayout position = {};
  position.elements.push({6, "POSITION", 0, 0});
  VertexBufferLayout colour = {};
  colour.elements.push({2, "COLOR", 0, 0});
  colour.elements.push({16, "TEXCOORD", 1, 16});
  desc.vertexBuffers.push(position);
  desc.vertexBuffers.push(colour);

  DynamicArray<gfx::InputElementDesc, uint32_t> inputs;
  gfx::GraphicsPipelineStateDesc none = describeGraphicsPipeline(desc, nullptr, inputs);
  EXPECT_EQ(none.NumRenderTargets, 0u);
  for (const auto& blend : none.BlendState.RenderTarget) EXPECT_FALSE(blend.BlendEnable);
  EXPECT_FALSE(none.DepthStencilState.DepthEnable);
  EXPECT_EQ(none.DepthStencilState.DepthFunc, 4u);
  ASSERT_EQ(none.InputLayout.NumElements, 3u);
  EXPECT_EQ(none.InputLayout.pInputElementDescs[0].InputSlot, 0u);
  EXPECT_EQ(none.InputLayout.pInputElementDescs[1].InputSlot, 1u);
  EXPECT_EQ(none.InputLayout.pInputElementDescs[2].InputSlot, 1u);
  EXPECT_EQ(none.InputLayout.pInputElementDescs[2].AlignedByteOffset, 16u);
  inputs.clear();

  desc.renderTargetFormats.push(10);
  desc.depthStencilFormat = 40;
  gfx::GraphicsPipelineStateDesc one = describeGraphicsPipeline(desc, nullptr, inputs);
  inputs.clear();
  EXPECT_EQ(one.NumRenderTargets, 1u);
  EXPECT_EQ(one.RTVFormats[0], 10u);
  const auto& blend = one.BlendState.RenderTarget[0];
  EXPECT_TRUE(blend.BlendEnable);
  EXPECT_EQ(blend.SrcBlend, 5u);
  EXPECT_EQ(blend.DestBlend, 6u);
  EXPECT_EQ(blend.SrcBlendAlpha, 2u);
  EXPECT_EQ(blend.DestBlendAlpha, 6u);
  EXPECT_FALSE(one.BlendState.RenderTarget[1].BlendEnable);
  EXPECT_TRUE(one.DepthStencilState.DepthEnable);
  EXPECT_EQ(one.RasterizerState.CullMode, kCullNone);
  EXPECT_EQ(one.PrimitiveTopologyType, 3u);

  // A ninth target format would run past the eight format slots.
  for (int i = 0; i < 8; ++i) desc.renderTargetFormats.push(28);
  EXPECT_FATAL(describeGraphicsPipeline(desc, nullptr, inputs), "ASSERT: Exceeded the limit of render targets 8");
  desc.renderTargetFormats.clear();
  EXPECT_FATAL(
      {
        for (int i = 0; i < 3; ++i) desc.vertexBuffers.push(position);
      },
      "ASSERT: Exceeded the limit of the fixed array 4");
}

TEST(Pipelines, EachCreationBuildsItsOwnRootSignature) {
  fake::DeviceScope scope;
  ComputePipelineDesc desc;
  memset(static_cast<void*>(&desc), 0, sizeof(desc));
  addTable(desc.builder, makeRangeList2(makeRange(kRangeUav, 1), makeRange(kRangeCbv, 2)), kVisibilityAll);
  Pipeline* first = createComputePipeline(desc);
  Pipeline* second = createComputePipeline(desc);
  ASSERT_NE(first, nullptr);
  EXPECT_NE(first->rootSignature, second->rootSignature);
  EXPECT_EQ(desc.builder.ranges.count, 2u);  // the description is left as it was
  releasePipeline(first);
  EXPECT_EQ(first, nullptr);
  EXPECT_EQ(scope.currentReleases().count, 2u);  // pipeline state, then root signature
  releasePipeline(second);
  desc.builder.ranges.clear();
}

}  // namespace
