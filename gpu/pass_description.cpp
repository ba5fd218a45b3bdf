#include "gpu/pass_description.h"

#include "base/diagnostics.h"
#include "gpu/frame_contexts.h"

uint32_t rangeTypeOf(SlotKind kind) {
  switch (kind) {
    case SlotKind::Texture:
    case SlotKind::Buffer:
      return kRangeSrv;
    case SlotKind::StorageTexture:
    case SlotKind::StorageBuffer:
      return kRangeUav;
    case SlotKind::Constants:
      break;
  }
  return kRangeCbv;
}

uint32_t registerOf(const PassDescription& pass, uint32_t slot) {
  uint32_t index = 0;
  for (uint32_t i = 0; i < slot; ++i) index += rangeTypeOf(pass.slots[i].kind) == rangeTypeOf(pass.slots[slot].kind);
  return index;
}

uint32_t requiredState(const PassDescription& pass, SlotKind kind) {
  const uint32_t type = rangeTypeOf(kind);
  if (type == kRangeSrv)
    return pass.stage == PassStage::Pixel ? kStatePixelShaderResource : kStateNonPixelShaderResource;
  return type == kRangeUav ? kStateUnorderedAccess : kStateVertexAndConstantBuffer;
}

RootSignatureBuilder rootSignatureOf(const PassDescription& pass) {
  const uint32_t visibility = pass.stage == PassStage::Pixel ? kVisibilityPixel : kVisibilityAll;
  RootSignatureBuilder builder = {};
  DescriptorRangeList ranges = {};
  for (size_t i = 0; i < pass.slots.size();) {
    const uint32_t type = rangeTypeOf(pass.slots[i].kind);
    size_t end = i;
    while (end < pass.slots.size() && rangeTypeOf(pass.slots[end].kind) == type) ++end;
    // Every range starts at register 0, so a class may form only one of them.
    for (uint32_t r = 0; r < ranges.ranges.count; ++r)
      ASSERT(uint32_t(ranges.ranges[r].RangeType) != type, "Pass %s: slot %s splits its register class\n",
             pass.name, pass.slots[i].name);
    appendRange(ranges, makeRange(type, uint32_t(end - i)));
    i = end;
  }
  addTable(builder, ranges, visibility);
  if (pass.rootConstants) addConstants(builder);
  for (uint32_t s = 0; s < pass.samplers.size(); ++s)
    addStaticSampler(builder, pass.samplers[s].filter, pass.samplers[s].addressMode, s, visibility);
  return builder;
}

Pipeline* createComputePass(const PassDescription& pass) {
  ASSERT(pass.stage == PassStage::Compute, "Pass %s is not a compute pass\n", pass.name);
  ComputePipelineDesc desc = {};
  desc.builder = rootSignatureOf(pass);
  desc.computeShader = pass.shader;
  Pipeline* pipeline = createComputePipeline(desc);
  destroyRootSignatureBuilder(desc.builder);
  // Named after its shader, for graphics debuggers and the web build's pass timings.
  if (pipeline != nullptr) pipeline->pipelineState->SetName(pass.name);
  return pipeline;
}

void buildFullscreenPass(FullscreenPass& fullscreen, const PassDescription& pass, ShaderBytecode vertexShader,
                         uint32_t renderTargetFormat) {
  ASSERT(pass.stage == PassStage::Pixel, "Pass %s is not a pixel pass\n", pass.name);
  fullscreen = {};
  fullscreen.pixelShader = pass.shader;
  fullscreen.builder = rootSignatureOf(pass);
  fullscreen.renderTargetFormats.push(renderTargetFormat != 0 ? renderTargetFormat : pass.renderTargetFormat);
  fullscreen.depthStencilFormat = gfx::FORMAT_UNKNOWN;
  buildFullscreenPass(fullscreen, vertexShader);
  if (fullscreen.pipeline != nullptr) fullscreen.pipeline->pipelineState->SetName(pass.name);
}

namespace {

void writeView(DescriptorTable& table, const PassSlot& slot, const PassResource& bound) {
  const uint32_t format = bound.format != 0 ? bound.format : slot.format;
  switch (slot.kind) {
    case SlotKind::Texture:
      writeTextureSrv(table, *bound.resource, format, 0, 1, 0, 0.0f);
      return;
    case SlotKind::Buffer:
      writeStructuredSrv(table, *bound.resource, uint32_t(bound.extent), slot.stride);
      return;
    case SlotKind::StorageTexture:
      writeTextureUav(table, *bound.resource, format);
      return;
    case SlotKind::StorageBuffer:
      writeStructuredUav(table, *bound.resource, uint32_t(bound.extent), slot.stride);
      return;
    case SlotKind::Constants:
      writeCbv(table, *bound.resource, bound.extent);
      return;
  }
}

void checkResourceCount(const PassDescription& pass, std::span<const PassResource> resources) {
  ASSERT(resources.size() == pass.slots.size(), "Pass %s: %u resources bound to %u slots\n", pass.name,
         unsigned(resources.size()), unsigned(pass.slots.size()));
}

}  // namespace

DescriptorTable writePassTable(const PassDescription& pass, std::span<const PassResource> resources,
                               DescriptorAllocator& heap, BarrierBatch& barriers,
                               gfx::GraphicsCommandList* commandList) {
  checkResourceCount(pass, resources);
  for (size_t i = 0; i < resources.size(); ++i)
    requestTransition(barriers, *resources[i].resource, requiredState(pass, pass.slots[i].kind));
  flush(barriers, commandList);
  DescriptorTable table = allocateDescriptors(heap, descriptorCount(pass));
  for (size_t i = 0; i < resources.size(); ++i) writeView(table, pass.slots[i], resources[i]);
  return table;
}

void recordComputePass(gfx::GraphicsCommandList* commandList, const PassDescription& pass,
                       const Pipeline& pipeline, std::span<const PassResource> resources,
                       DescriptorAllocator& heap, BarrierBatch& barriers, uint32_t groupsX, uint32_t groupsY,
                       const void* rootConstants16) {
  ASSERT(pass.rootConstants == (rootConstants16 != nullptr), "Pass %s: root constants %s\n", pass.name,
         pass.rootConstants ? "missing" : "not taken");
  DescriptorTable table = writePassTable(pass, resources, heap, barriers, commandList);
  dispatchComputePass(commandList, pipeline, table, groupsX, groupsY, rootConstants16);
}

void dispatchComputePass(gfx::GraphicsCommandList* commandList, const Pipeline& pipeline, DescriptorTable table,
                         uint32_t groupsX, uint32_t groupsY, const void* rootConstants16) {
  commandList->SetPipelineState(pipeline.pipelineState);
  commandList->SetComputeRootSignature(pipeline.rootSignature);
  commandList->SetComputeRootDescriptorTable(0, gfx::GpuDescriptorHandle{gpuHandle(table, 0)});
  if (rootConstants16 != nullptr) commandList->SetComputeRoot32BitConstants(1, 4, rootConstants16, 0);
  if (groupsX != 0 && groupsY != 0) commandList->Dispatch(groupsX, groupsY, 1);
}

void recordFullscreenPass(gfx::GraphicsCommandList* commandList, const PassDescription& pass,
                          FullscreenPass& fullscreen, std::span<const PassResource> resources,
                          DynamicArray<PassBinding>& scratch, DescriptorAllocator& heap, uint64_t renderTargetView,
                          uint32_t width, uint32_t height, bool clearTarget,
                          const gfx::Rect* scissor) {
  checkResourceCount(pass, resources);
  scratch.count = 0;
  for (size_t i = 0; i < resources.size(); ++i) {
    const PassSlot& slot = pass.slots[i];
    PassBinding binding = {};
    binding.resource = resources[i].resource;
    if (slot.kind == SlotKind::Texture) {
      binding.accessType = AccessType::SampledTexture;
      binding.texture = {resources[i].format != 0 ? resources[i].format : slot.format, 0, 1, 0, 0.0f};
    } else {
      ASSERT(slot.kind == SlotKind::Constants, "Pass %s: a full-screen pass reads textures and constants\n",
             pass.name);
      binding.accessType = AccessType::ConstantBuffer;
      binding.constantBuffer.sizeInBytes = resources[i].extent;
    }
    scratch.push(binding);
  }
  executeFullscreenPass(fullscreen, width, height, commandList, renderTargetView, heap, scratch, clearTarget,
                        scissor);
}
