#include "gpu/passes.h"

#include <cstring>

#include "base/diagnostics.h"
#include "gpu/frame_contexts.h"

namespace {

BarrierEntry makeTransition(TrackedResource& resource, uint32_t newState) {
  BarrierEntry entry;
  memset(static_cast<void*>(&entry), 0, sizeof(entry));
  entry.barrier.Type = gfx::RESOURCE_BARRIER_TYPE_TRANSITION;
  entry.barrier.Flags = gfx::ResourceBarrierFlags(0);
  entry.barrier.Transition.pResource = resource.resource;
  entry.barrier.Transition.Subresource = 0;
  entry.barrier.Transition.StateBefore = gfx::ResourceStates(resource.state);
  entry.barrier.Transition.StateAfter = gfx::ResourceStates(newState);
  entry.owner = &resource;
  return entry;
}

bool isTransition(const BarrierEntry& entry) {
  return entry.barrier.Type == gfx::RESOURCE_BARRIER_TYPE_TRANSITION;
}

// The queued transition of `resource`, if any.
template <typename Entries>
BarrierEntry* findQueued(Entries& entries, const TrackedResource& resource) {
  for (BarrierEntry& entry : entries)
    if (isTransition(entry) && entry.owner == &resource) return &entry;
  return nullptr;
}

template <typename Entries>
void removeEntry(Entries& entries, BarrierEntry* entry) {
  uint64_t index = uint64_t(entry - entries.begin());
  for (uint64_t i = index; i + 1 < entries.count; ++i) entries[i] = entries[i + 1];
  entries.count -= 1;
}

// Returns true when the request was folded into an already queued transition.
template <typename Entries>
bool retargetQueued(Entries& entries, TrackedResource& resource, uint32_t newState) {
  BarrierEntry* queued = findQueued(entries, resource);
  if (queued == nullptr) return false;
  if (newState == resource.state)
    removeEntry(entries, queued);
  else
    queued->barrier.Transition.StateAfter = gfx::ResourceStates(newState);
  return true;
}

template <typename Entries>
void commitStates(Entries& entries) {
  for (BarrierEntry& entry : entries)
    if (isTransition(entry)) entry.owner->state = uint32_t(entry.barrier.Transition.StateAfter);
  entries.count = 0;
}

}  // namespace

void requestTransition(BarrierBatch& batch, TrackedResource& resource, uint32_t newState) {
  if (retargetQueued(batch.entries, resource, newState)) return;
  if (resource.state == newState) return;
  batch.entries.push(makeTransition(resource, newState));
}

void requestTransition(SingleBarrierBatch& batch, TrackedResource& resource, uint32_t newState) {
  if (retargetQueued(batch.entries, resource, newState)) return;
  if (resource.state == newState) return;
  batch.entries.push(makeTransition(resource, newState));
}

void flush(BarrierBatch& batch, gfx::GraphicsCommandList* commandList) {
  if (batch.entries.count == 0) return;
  batch.staging.count = 0;
  for (const BarrierEntry& entry : batch.entries) batch.staging.push(entry.barrier);
  commandList->ResourceBarrier(batch.staging.count, batch.staging.items);
  commitStates(batch.entries);
}

void flush(SingleBarrierBatch& batch, gfx::GraphicsCommandList* commandList) {
  if (batch.entries.count == 0) return;
  commandList->ResourceBarrier(1, &batch.entries[0].barrier);
  commitStates(batch.entries);
}

void destroyBarrierBatch(BarrierBatch& batch) {
  batch.entries.clear();
  batch.staging.clear();
}

uint32_t requiredState(AccessType accessType) {
  const int32_t type = int32_t(accessType);
  ASSERT(uint32_t(type) < uint32_t(kAccessTypeCount), "invalid access type\n");
  if (type <= 5) return kStateUnorderedAccess;
  if (type <= 12) return kStatePixelShaderResource;
  if (type == 13) return kStateRenderTarget;
  if (type == 14) return kStateDepthWrite;
  return kStateVertexAndConstantBuffer;
}

PassBinding sampledTextureBinding(GpuTexture& texture, uint32_t format) {
  PassBinding binding;
  memset(static_cast<void*>(&binding), 0, sizeof(binding));
  binding.accessType = AccessType::SampledTexture;
  binding.resource = &texture.resource;
  binding.texture = {format, 0, 1, 0, 0.0f};
  return binding;
}

PassBinding constantBufferBinding(GpuBuffer& buffer) {
  PassBinding binding;
  memset(static_cast<void*>(&binding), 0, sizeof(binding));
  binding.accessType = AccessType::ConstantBuffer;
  binding.resource = &buffer.resource;
  binding.constantBuffer.sizeInBytes = buffer.size;
  return binding;
}

void buildFullscreenPass(FullscreenPass& pass, ShaderBytecode vertexShader) {
  pass.vertexBuffer = createBuffer(sizeof(kFullscreenTriangle), BufferType::Vertex, kFullscreenTriangle,
                                   false, 0);

  GraphicsPipelineDesc desc;
  memset(static_cast<void*>(&desc), 0, sizeof(desc));
  desc.builder = copyRootSignatureBuilder(pass.builder);
  desc.vertexShader = vertexShader;
  VertexBufferLayout layout;
  memset(static_cast<void*>(&layout), 0, sizeof(layout));
  layout.elements.push({6, "POSITION", 0, 0});  // R32G32B32 float
  layout.stride = 12;
  desc.vertexBuffers.push(layout);
  desc.pixelShader = pass.pixelShader;
  desc.renderTargetFormats = copyDynamicArray(pass.renderTargetFormats);
  desc.depthStencilFormat = pass.depthStencilFormat;
  desc.cullMode = kCullNone;

  pass.pipeline = createGraphicsPipeline(desc);
  destroyRootSignatureBuilder(desc.builder);
  desc.renderTargetFormats.clear();
}

// Writes the view a binding asks for into the table's next slot.
static void writeBindingView(DescriptorTable& table, const PassBinding& binding) {
  switch (binding.accessType) {
    case AccessType::SampledTexture:
      writeTextureSrv(table, *binding.resource, binding.texture.format,
                      binding.texture.mostDetailedMip, binding.texture.mipLevels,
                      binding.texture.planeSlice, binding.texture.minLodClamp);
      return;
    case AccessType::ConstantBuffer:
      writeCbv(table, *binding.resource, binding.constantBuffer.sizeInBytes);
      return;
    default:
      if (uint32_t(binding.accessType) < uint32_t(kAccessTypeCount)) PANIC("not implemented\n");
      PANIC("invalid resource type\n");
  }
}

void executeFullscreenPass(FullscreenPass& pass, uint32_t width, uint32_t height,
                           gfx::GraphicsCommandList* commandList, uint64_t renderTargetView,
                           DescriptorAllocator& allocator, const DynamicArray<PassBinding>& bindings,
                           bool clearTarget, const gfx::Rect* scissor) {
  ASSERT(pass.pipeline != nullptr, "Pass hasn't been built\n");
  DescriptorTable table = allocateDescriptors(allocator, uint32_t(bindings.count));

  commandList->SetPipelineState(pass.pipeline->pipelineState);
  commandList->SetGraphicsRootSignature(pass.pipeline->rootSignature);

  gfx::VertexBufferView vertexView = {};
  vertexView.BufferLocation = pass.vertexBuffer->resource.resource->GetGPUVirtualAddress();
  vertexView.SizeInBytes = uint32_t(pass.vertexBuffer->size);
  vertexView.StrideInBytes = 12;
  commandList->IASetVertexBuffers(0, 1, &vertexView);
  commandList->IASetPrimitiveTopology(gfx::PrimitiveTopology(4));  // triangle list

  gfx::CpuDescriptorHandle target = {renderTargetView};
  commandList->OMSetRenderTargets(1, &target, true, nullptr);
  const float black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
  if (clearTarget) commandList->ClearRenderTargetView(target, black, 0, nullptr);

  const gfx::Rect whole = {0, 0, int32_t(width), int32_t(height)};
  commandList->RSSetScissorRects(1, scissor != nullptr ? scissor : &whole);
  // No depth target is bound, so the depth range only has to be a valid one.
  gfx::Viewport viewport = {0.0f, 0.0f, float(width), float(height), 0.0f, 1.0f};
  commandList->RSSetViewports(1, &viewport);

  for (const PassBinding& binding : bindings) {
    uint32_t state = requiredState(binding.accessType);
    requestTransition(pass.barriers, *binding.resource, state);
    writeBindingView(table, binding);
  }
  flush(pass.barriers, commandList);

  commandList->SetGraphicsRootDescriptorTable(0, gfx::GpuDescriptorHandle{table.gpuStart});
  commandList->DrawInstanced(3, 1, 0, 0);
}

void destroyFullscreenPass(FullscreenPass& pass) {
  releaseBuffer(pass.vertexBuffer);
  releasePipeline(pass.pipeline);
  pass.renderTargetFormats.clear();
  destroyRootSignatureBuilder(pass.builder);
  destroyBarrierBatch(pass.barriers);
}
