// Command lists: each records into a GPUCommandEncoder of its own, opened at Reset and
// submitted by the queue. Descriptor tables are read when a Dispatch or Draw is recorded
// and become that call's bind group.
#include <cstring>
#include <vector>

#include "platform/webgpu/webgpu_glue.h"
#include "platform/webgpu/wg_internal.h"

namespace gfx::webgpu {
namespace {

constexpr uint32_t kMaxRootParameters = 8;

class WgCommandList final : public Counted<GraphicsCommandList> {
 public:
  WgCommandList() : encoder_(wgCreateEncoder()) {}
  ~WgCommandList() override {
    if (encoder_ != 0) wgRelease(encoder_);
    if (recorded_ != 0) wgRelease(recorded_);
  }

  HRESULT Close() override {
    if (encoder_ == 0) return kFail;
    recorded_ = encoder_;
    encoder_ = 0;
    return kOk;
  }
  HRESULT Reset(CommandAllocator*, PipelineState* initialState) override {
    if (recorded_ != 0) wgRelease(recorded_);  // recorded and never executed
    recorded_ = 0;
    if (encoder_ == 0) encoder_ = wgCreateEncoder();
    pipeline_ = static_cast<WgPipelineState*>(initialState);
    return kOk;
  }
  // The queue takes the recorded commands.
  int takeRecorded() {
    int recorded = recorded_;
    recorded_ = 0;
    return recorded;
  }

  void ResourceBarrier(UINT, const gfx::ResourceBarrier*) override {}  // WebGPU orders passes itself
  void CopyResource(Resource* dst, Resource* src) override;
  void CopyBufferRegion(Resource* dst, UINT64 dstOffset, Resource* src, UINT64 srcOffset, UINT64 numBytes) override {
    wgCopyBuffer(encoder_, static_cast<WgResource*>(src)->id, double(srcOffset), static_cast<WgResource*>(dst)->id,
                 double(dstOffset), double(numBytes));
  }
  void CopyTextureRegion(const TextureCopyLocation* dst, UINT, UINT, UINT, const TextureCopyLocation* src,
                         const Box*) override;

  void SetPipelineState(PipelineState* state) override { pipeline_ = static_cast<WgPipelineState*>(state); }
  void SetDescriptorHeaps(UINT, DescriptorHeap* const*) override {}  // handles are absolute
  void SetComputeRootSignature(RootSignature* signature) override { root_ = static_cast<WgRootSignature*>(signature); }
  void SetGraphicsRootSignature(RootSignature* signature) override { root_ = static_cast<WgRootSignature*>(signature); }
  void SetComputeRootDescriptorTable(UINT index, GpuDescriptorHandle base) override { setTable(index, base.ptr); }
  void SetGraphicsRootDescriptorTable(UINT index, GpuDescriptorHandle base) override { setTable(index, base.ptr); }
  void SetComputeRoot32BitConstants(UINT index, UINT count, const void* data, UINT offset) override {
    setConstants(index, count, data, offset);
  }
  void SetGraphicsRoot32BitConstants(UINT index, UINT count, const void* data, UINT offset) override {
    setConstants(index, count, data, offset);
  }
  void SetComputeRoot32BitConstant(UINT index, UINT value, UINT offset) override { setConstants(index, 1, &value, offset); }

  void Dispatch(UINT x, UINT y, UINT z) override {
    if (!pipeline_ || !root_) return;
    collectBindings();
    wgDispatch(encoder_, pipeline_->id, words(), uint32_t(bindings_.size()), x, y, z);
  }

  void IASetPrimitiveTopology(PrimitiveTopology) override {}  // triangle lists only
  void IASetVertexBuffers(UINT startSlot, UINT numViews, const VertexBufferView* views) override {
    if (startSlot == 0 && numViews > 0) vertexBuffer_ = views[0];
  }
  void IASetIndexBuffer(const IndexBufferView*) override {}
  void OMSetRenderTargets(UINT count, const CpuDescriptorHandle* targets, BOOL, const CpuDescriptorHandle*) override {
    target_ = count > 0 ? recordAt(targets[0].ptr)->resource : nullptr;
  }
  void ClearRenderTargetView(CpuDescriptorHandle target, const float color[4], UINT, const Rect*) override {
    wgClear(encoder_, recordAt(target.ptr)->resource->id, color);
  }
  void RSSetViewports(UINT count, const Viewport* viewports) override {
    if (count > 0) viewport_ = viewports[0];
  }
  void RSSetScissorRects(UINT count, const Rect* rects) override {
    if (count > 0) scissor_ = rects[0];
  }
  void DrawInstanced(UINT vertexCount, UINT instanceCount, UINT startVertex, UINT startInstance) override;
  void DrawIndexedInstanced(UINT, UINT, UINT, int32_t, UINT) override {}  // no indexed draws here

 private:
  void setTable(UINT index, uint64_t handle) {
    if (index < kMaxRootParameters) tables_[index] = handle;
  }
  void setConstants(UINT index, UINT count, const void* data, UINT offset) {
    if (index >= kMaxRootParameters || offset + count > 4) return;
    std::memcpy(constants_[index] + offset, data, count * 4);
  }
  void collectBindings();
  const uint32_t* words() const { return reinterpret_cast<const uint32_t*>(bindings_.data()); }

  int encoder_ = 0;
  int recorded_ = 0;
  WgPipelineState* pipeline_ = nullptr;
  WgRootSignature* root_ = nullptr;
  uint64_t tables_[kMaxRootParameters] = {};
  uint32_t constants_[kMaxRootParameters][4] = {};
  WgResource* target_ = nullptr;
  VertexBufferView vertexBuffer_ = {};
  Viewport viewport_ = {};
  Rect scissor_ = {};
  std::vector<Binding> bindings_;
};

Binding bindingOf(uint32_t binding, const ViewRecord& record) {
  if (record.kind == ViewKind::Sampler) return {binding, 2, uint32_t(record.sampler), 0, 0, 0};
  const uint32_t object = record.resource ? uint32_t(record.resource->id) : 0;
  if (record.kind == ViewKind::Buffer) return {binding, 0, object, uint32_t(record.offset), uint32_t(record.size), 0};
  return {binding, 1, object, 0, 0, 0};
}

// The bound root signature's tables and root constants, then its static samplers.
void WgCommandList::collectBindings() {
  bindings_.clear();
  for (uint32_t p = 0; p < root_->parameters.size() && p < kMaxRootParameters; ++p) {
    const WgRootSignature::Parameter& parameter = root_->parameters[p];
    if (parameter.type == ROOT_PARAMETER_TYPE_32BIT_CONSTANTS) {
      const uint32_t offset = nextRootConstantSlot();
      wgWriteBuffer(rootConstantRing(), offset, constants_[p], 16);
      bindings_.push_back({parameter.binding, 0, uint32_t(rootConstantRing()), offset, 16, 0});
      continue;
    }
    const ViewRecord* table = recordAt(tables_[p]);
    for (const WgRootSignature::Range& range : parameter.ranges)
      for (uint32_t i = 0; table && i < range.count; ++i) {
        const ViewRecord& record = table[range.tableOffset + i];
        if (record.kind != ViewKind::None) bindings_.push_back(bindingOf(range.firstBinding + i, record));
      }
  }
  bindings_.insert(bindings_.end(), root_->samplers.begin(), root_->samplers.end());
}

void WgCommandList::DrawInstanced(UINT vertexCount, UINT instanceCount, UINT startVertex, UINT startInstance) {
  if (!pipeline_ || !root_ || !target_) return;
  uint64_t vertexOffset = 0;
  WgResource* vertices = WgResource::fromAddress(vertexBuffer_.BufferLocation, &vertexOffset);
  collectBindings();
  const uint32_t draw[8] = {uint32_t(pipeline_->id), uint32_t(vertices ? vertices->id : 0), uint32_t(vertexOffset),
                            vertexBuffer_.SizeInBytes, vertexCount, instanceCount, startVertex, startInstance};
  const float rectangles[8] = {viewport_.TopLeftX, viewport_.TopLeftY, viewport_.Width, viewport_.Height,
                               float(scissor_.left), float(scissor_.top), float(scissor_.right - scissor_.left),
                               float(scissor_.bottom - scissor_.top)};
  wgDraw(encoder_, target_->id, draw, rectangles, words(), uint32_t(bindings_.size()));
}

void WgCommandList::CopyResource(Resource* dst, Resource* src) {
  auto* d = static_cast<WgResource*>(dst);
  auto* s = static_cast<WgResource*>(src);
  if (d->isBuffer()) {
    const uint64_t size = (s->desc.Width < d->desc.Width ? s->desc.Width : d->desc.Width) + 3;
    wgCopyBuffer(encoder_, s->id, 0, d->id, 0, double(size / 4 * 4));
    return;
  }
  wgCopyTexture(encoder_, s->id, d->id, uint32_t(d->desc.Width), d->desc.Height);
}

// Buffer footprint to texture (uploads), texture to buffer footprint (read-backs), or texture
// to texture, always whole.
void WgCommandList::CopyTextureRegion(const TextureCopyLocation* dst, UINT, UINT, UINT,
                                      const TextureCopyLocation* src, const Box*) {
  auto* d = static_cast<WgResource*>(dst->pResource);
  auto* s = static_cast<WgResource*>(src->pResource);
  if (src->Type == TEXTURE_COPY_TYPE_PLACED_FOOTPRINT) {
    const SubresourceFootprint& f = src->PlacedFootprint.Footprint;
    wgCopyBufferToTexture(encoder_, s->id, double(src->PlacedFootprint.Offset), f.RowPitch, d->id, f.Width, f.Height);
  } else if (dst->Type == TEXTURE_COPY_TYPE_PLACED_FOOTPRINT) {
    const SubresourceFootprint& f = dst->PlacedFootprint.Footprint;
    wgCopyTextureToBuffer(encoder_, s->id, d->id, double(dst->PlacedFootprint.Offset), f.RowPitch, f.Width, f.Height);
  } else {
    wgCopyTexture(encoder_, s->id, d->id, uint32_t(d->desc.Width), d->desc.Height);
  }
}

}  // namespace

HRESULT createCommandList(GraphicsCommandList** list) {
  *list = new WgCommandList();
  return kOk;
}

void WgQueue::ExecuteCommandLists(UINT numLists, GraphicsCommandList* const* lists) {
  for (UINT i = 0; i < numLists; ++i) wgSubmit(static_cast<WgCommandList*>(lists[i])->takeRecorded());
}

}  // namespace gfx::webgpu
