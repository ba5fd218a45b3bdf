#include "support/shader_dispatch.h"

#include "shader_blobs.h"

ComputeView textureSrv(GpuTexture& t, uint32_t format) { return {ComputeView::TextureSrv, &t.resource, format}; }
ComputeView textureUav(GpuTexture& t, uint32_t format) { return {ComputeView::TextureUav, &t.resource, format}; }
ComputeView particleSrv(GpuBuffer& b) { return {ComputeView::ParticleSrv, &b.resource}; }
ComputeView bufferSrv(GpuBuffer& b, uint32_t elements, uint32_t stride) {
  return {ComputeView::BufferSrv, &b.resource, 0, elements, stride};
}
ComputeView bufferUav(GpuBuffer& b, uint32_t elements, uint32_t stride) {
  return {ComputeView::BufferUav, &b.resource, 0, elements, stride};
}
ComputeView cbv(GpuBuffer& b) { return {ComputeView::Cbv, &b.resource}; }

namespace {

uint32_t rangeType(ComputeView::Kind kind) {
  if (kind == ComputeView::TextureSrv || kind == ComputeView::ParticleSrv || kind == ComputeView::BufferSrv)
    return kRangeSrv;
  return kind == ComputeView::Cbv ? kRangeCbv : kRangeUav;
}

uint32_t requiredComputeState(ComputeView::Kind kind) {
  uint32_t type = rangeType(kind);
  if (type == kRangeSrv) return kStateNonPixelShaderResource;
  return type == kRangeCbv ? kStateVertexAndConstantBuffer : kStateUnorderedAccess;
}

}  // namespace

Pipeline* createComputeFor(ShaderBytecode shader, const std::vector<ComputeView>& views,
                           const std::vector<ComputeSampler>& samplers, bool rootConstants) {
  ComputePipelineDesc desc = {};
  desc.computeShader = shader;
  DescriptorRangeList ranges = {};
  for (size_t i = 0; i < views.size();) {
    size_t j = i;
    while (j < views.size() && rangeType(views[j].kind) == rangeType(views[i].kind)) ++j;
    appendRange(ranges, makeRange(rangeType(views[i].kind), uint32_t(j - i)));
    i = j;
  }
  addTable(desc.builder, ranges, kVisibilityAll);
  if (rootConstants) addConstants(desc.builder);
  for (const ComputeSampler& s : samplers)
    addStaticSampler(desc.builder, s.filter, kAddressClamp, s.shaderRegister, kVisibilityAll);
  return createComputePipeline(desc);
}

void recordCompute(gfx::GraphicsCommandList* list, Pipeline& pipeline, DescriptorAllocator& heap, BarrierBatch& barriers,
                   const std::vector<ComputeView>& views, uint32_t groupsX, uint32_t groupsY,
                   const void* rootConstants16) {
  for (const ComputeView& v : views) requestTransition(barriers, *v.resource, requiredComputeState(v.kind));
  flush(barriers, list);
  DescriptorTable table = allocateDescriptors(heap, uint32_t(views.size()));
  for (const ComputeView& v : views) {
    switch (v.kind) {
      case ComputeView::TextureSrv: writeTextureSrv(table, *v.resource, v.format, 0, 1, 0, 0.0f); break;
      case ComputeView::ParticleSrv: writeParticleSrv(table, *v.resource); break;
      case ComputeView::BufferSrv: writeStructuredSrv(table, *v.resource, v.elements, v.stride); break;
      case ComputeView::TextureUav: writeTextureUav(table, *v.resource, v.format); break;
      case ComputeView::BufferUav: writeStructuredUav(table, *v.resource, v.elements, v.stride); break;
      case ComputeView::Cbv: writeCbv(table, *v.resource, v.resource->resource->GetDesc().Width); break;
    }
  }
  list->SetComputeRootSignature(pipeline.rootSignature);
  list->SetPipelineState(pipeline.pipelineState);
  list->SetDescriptorHeaps(1, &heap.heap);
  list->SetComputeRootDescriptorTable(0, {gpuHandle(table, 0)});
  if (rootConstants16) list->SetComputeRoot32BitConstants(1, 4, rootConstants16, 0);
  list->Dispatch(groupsX, groupsY, 1);
}

void buildFullscreenFor(FullscreenPass& pass, ShaderBytecode pixelShader, uint32_t textures,
                        uint32_t constantBuffers, uint32_t filter, uint32_t format) {
  pass = {};
  pass.pixelShader = pixelShader;
  pass.renderTargetFormats.push(format);
  addTable(pass.builder, makeRangeList2(makeRange(kRangeSrv, textures), makeRange(kRangeCbv, constantBuffers)),
         kVisibilityPixel);
  addStaticSampler(pass.builder, filter, kAddressClamp, 0, kVisibilityPixel);
  buildFullscreenPass(pass, {kRenderToScreenVS, kRenderToScreenVSSize});
}

void recordFullscreen(gfx::GraphicsCommandList* list, FullscreenPass& pass, DescriptorAllocator& heap,
                      DescriptorAllocator& targets, BarrierBatch& barriers, const DynamicArray<PassBinding>& bindings,
                      TrackedResource& output, uint32_t format, uint32_t width, uint32_t height) {
  requestTransition(barriers, output, kStateRenderTarget);
  flush(barriers, list);
  DescriptorTable rtv = allocateDescriptors(targets, 1);
  writeTextureRtv(rtv, output, format);
  list->SetDescriptorHeaps(1, &heap.heap);
  executeFullscreenPass(pass, width, height, list, rtv.cpuStart, heap, bindings);
}
