#include "gpu/constant_block.h"

#include <cstdlib>
#include <cstring>

#include "base/diagnostics.h"
#include "platform/gfx.h"

ConstantBlockBuffers createConstantBlockBuffers(uint64_t size) {
  ConstantBlockBuffers buffers = {};
  buffers.gpuBuffer = createBuffer(size, BufferType::Constant, nullptr, false, 0);
  for (GpuBuffer*& upload : buffers.uploadBuffers) {
    upload = static_cast<GpuBuffer*>(calloc(1, sizeof(GpuBuffer)));
    ASSERT(upload != nullptr, "\n");
    upload->resource = createBufferResource(size, kHeapUpload, kStateGenericRead, false, 0);
    upload->size = upload->resource.resource->GetDesc().Width;
  }
  return buffers;
}

static void transition(TrackedResource& resource, uint32_t state,
                       gfx::GraphicsCommandList* commandList, SingleBarrierBatch* barriers) {
  if (resource.state == state) return;
  if (barriers != nullptr) {
    requestTransition(*barriers, resource, state);
    flush(*barriers, commandList);
    return;
  }
  gfx::ResourceBarrier barrier = {};
  barrier.Type = gfx::RESOURCE_BARRIER_TYPE_TRANSITION;
  barrier.Flags = gfx::ResourceBarrierFlags(0);
  barrier.Transition.pResource = resource.resource;
  barrier.Transition.Subresource = 0;
  barrier.Transition.StateBefore = gfx::ResourceStates(resource.state);
  barrier.Transition.StateAfter = gfx::ResourceStates(state);
  commandList->ResourceBarrier(1, &barrier);
  resource.state = state;
}

void uploadConstantBytes(ConstantBlockBuffers& buffers, const void* data, uint64_t size,
                         gfx::GraphicsCommandList* commandList, SingleBarrierBatch* barriers) {
  // The current context's fence has passed (beginFrame), so its earlier copy has run.
  GpuBuffer* upload = buffers.uploadBuffers[renderApp.frameContextIndex];
  void* mapped = nullptr;
  if (gfx::Failed(upload->resource.resource->Map(0, nullptr, &mapped)) || mapped == nullptr)
    return;
  memcpy(mapped, data, size_t(size));
  upload->resource.resource->Unmap(0, nullptr);

  TrackedResource& target = buffers.gpuBuffer->resource;
  transition(target, kStateCopyDest, commandList, barriers);
  commandList->CopyResource(target.resource, upload->resource.resource);
  transition(target, kStateVertexAndConstantBuffer, commandList, barriers);
}

void destroyConstantBlockBuffers(ConstantBlockBuffers& buffers) {
  releaseBuffer(buffers.gpuBuffer);
  for (GpuBuffer*& upload : buffers.uploadBuffers) releaseBuffer(upload);
}
