#include "support/shader_dispatch.h"

void recordCompute(gfx::GraphicsCommandList* list, const PassDescription& pass, Pipeline& pipeline,
                   DescriptorAllocator& heap, BarrierBatch& barriers, const std::vector<PassResource>& resources,
                   uint32_t groupsX, uint32_t groupsY, const void* rootConstants16) {
  list->SetDescriptorHeaps(1, &heap.heap);
  recordComputePass(list, pass, pipeline, resources, heap, barriers, groupsX, groupsY, rootConstants16);
}

void recordFullscreen(gfx::GraphicsCommandList* list, const PassDescription& pass, FullscreenPass& fullscreen,
                      DescriptorAllocator& heap, DescriptorAllocator& targets, BarrierBatch& barriers,
                      const std::vector<PassResource>& resources, TrackedResource& output, uint32_t format,
                      uint32_t width, uint32_t height) {
  requestTransition(barriers, output, kStateRenderTarget);
  flush(barriers, list);
  DescriptorTable rtv = allocateDescriptors(targets, 1);
  writeTextureRtv(rtv, output, format);
  list->SetDescriptorHeaps(1, &heap.heap);
  DynamicArray<PassBinding> scratch;
  recordFullscreenPass(list, pass, fullscreen, resources, scratch, heap, rtv.cpuStart, width, height);
  scratch.clear();
}
