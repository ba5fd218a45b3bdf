#pragma once
// Recording stand-ins for the graphics subset, so the GPU layer's bookkeeping (handles,
// states, upload copies, command order) is checked on the CPU, under the sanitizers.
// Each command list call appends one line to `log`; views created through the device are
// kept by CPU handle.
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "gpu/render_app.h"
#include "gpu/resources.h"
#include "platform/gfx.h"

namespace fake {

template <typename Base>
struct Counted : Base {
  uint32_t refs = 1;
  std::string name;
  uint32_t AddRef() override { return ++refs; }
  uint32_t Release() override {
    uint32_t left = --refs;
    if (left == 0) delete this;
    return left;
  }
  gfx::HRESULT SetName(const wchar_t*) override { return gfx::kOk; }
  gfx::HRESULT SetName(const char* text) override {
    name = text;
    return gfx::kOk;
  }
};

// Counts live resources so tests can see when a deferred release really happened.
inline int liveResources = 0;

struct Resource : Counted<gfx::Resource> {
  gfx::ResourceDesc desc;
  gfx::ResourceStates initialState = 0;
  std::vector<uint8_t> memory;
  bool failMap = false;
  explicit Resource(const gfx::ResourceDesc& d) : desc(d), memory(size_t(d.Width * d.Height), 0) {
    ++liveResources;
  }
  ~Resource() override { --liveResources; }
  gfx::HRESULT Map(gfx::UINT, const gfx::Range*, void** data) override {
    if (failMap) return gfx::kFail;
    *data = memory.data();
    return gfx::kOk;
  }
  void Unmap(gfx::UINT, const gfx::Range*) override {}
  gfx::GPU_VIRTUAL_ADDRESS GetGPUVirtualAddress() override {
    return desc.Dimension == gfx::RESOURCE_DIMENSION_BUFFER ? reinterpret_cast<uint64_t>(this) : 0;
  }
  gfx::ResourceDesc GetDesc() override { return desc; }
};

struct PipelineState : Counted<gfx::PipelineState> {};
struct RootSignature : Counted<gfx::RootSignature> {};

struct CommandList : Counted<gfx::GraphicsCommandList> {
  std::vector<std::string> log;
  std::vector<std::vector<gfx::ResourceBarrier>> barrierCalls;

  void add(const std::string& line) { log.push_back(line); }
  gfx::HRESULT Close() override { return gfx::kOk; }
  gfx::HRESULT Reset(gfx::CommandAllocator*, gfx::PipelineState*) override { return gfx::kOk; }
  void ResourceBarrier(gfx::UINT n, const gfx::ResourceBarrier* barriers) override {
    barrierCalls.emplace_back(barriers, barriers + n);
    std::string line = "barrier";
    for (gfx::UINT i = 0; i < n; ++i)
      line += " " + std::to_string(barriers[i].Transition.StateBefore) + "->" +
              std::to_string(barriers[i].Transition.StateAfter);
    add(line);
  }
  void CopyResource(gfx::Resource*, gfx::Resource*) override { add("copy"); }
  void CopyBufferRegion(gfx::Resource*, gfx::UINT64, gfx::Resource*, gfx::UINT64, gfx::UINT64) override {
    add("copyRegion");
  }
  void CopyTextureRegion(const gfx::TextureCopyLocation*, gfx::UINT, gfx::UINT, gfx::UINT,
                         const gfx::TextureCopyLocation*, const gfx::Box*) override {
    add("copyTexture");
  }
  void SetPipelineState(gfx::PipelineState*) override { add("pipeline"); }
  void SetDescriptorHeaps(gfx::UINT, gfx::DescriptorHeap* const*) override { add("heaps"); }
  void SetComputeRootSignature(gfx::RootSignature*) override { add("computeRoot"); }
  void SetGraphicsRootSignature(gfx::RootSignature*) override { add("graphicsRoot"); }
  void SetComputeRootDescriptorTable(gfx::UINT, gfx::GpuDescriptorHandle) override { add("computeTable"); }
  void SetGraphicsRootDescriptorTable(gfx::UINT, gfx::GpuDescriptorHandle h) override {
    add("graphicsTable " + std::to_string(h.ptr));
  }
  void SetComputeRoot32BitConstants(gfx::UINT, gfx::UINT, const void*, gfx::UINT) override {}
  void SetGraphicsRoot32BitConstants(gfx::UINT, gfx::UINT, const void*, gfx::UINT) override {}
  void SetComputeRoot32BitConstant(gfx::UINT, gfx::UINT, gfx::UINT) override {}
  void Dispatch(gfx::UINT, gfx::UINT, gfx::UINT) override { add("dispatch"); }
  void IASetPrimitiveTopology(gfx::PrimitiveTopology t) override { add("topology " + std::to_string(t)); }
  void IASetVertexBuffers(gfx::UINT, gfx::UINT, const gfx::VertexBufferView* v) override {
    add("vertices " + std::to_string(v->SizeInBytes) + " " + std::to_string(v->StrideInBytes));
  }
  void IASetIndexBuffer(const gfx::IndexBufferView*) override {}
  void OMSetRenderTargets(gfx::UINT, const gfx::CpuDescriptorHandle* rt, gfx::BOOL,
                          const gfx::CpuDescriptorHandle*) override {
    add("targets " + std::to_string(rt->ptr));
  }
  void ClearRenderTargetView(gfx::CpuDescriptorHandle, const float c[4], gfx::UINT, const gfx::Rect*) override {
    add("clear " + std::to_string(c[0]) + " " + std::to_string(c[3]));
  }
  void RSSetViewports(gfx::UINT, const gfx::Viewport* v) override {
    add("viewport " + std::to_string(int(v->Width)) + "x" + std::to_string(int(v->Height)) + " " +
        std::to_string(v->MinDepth) + ".." + std::to_string(v->MaxDepth));
  }
  void RSSetScissorRects(gfx::UINT, const gfx::Rect* r) override {
    add("scissor " + std::to_string(r->right) + "x" + std::to_string(r->bottom));
  }
  void DrawInstanced(gfx::UINT n, gfx::UINT, gfx::UINT, gfx::UINT) override { add("draw " + std::to_string(n)); }
  void DrawIndexedInstanced(gfx::UINT, gfx::UINT, gfx::UINT, int32_t, gfx::UINT) override {}
};

// A device that creates fake resources and records the views written into heap slots.
struct Device : Counted<gfx::Device> {
  std::map<uint64_t, std::string> views;  // CPU handle -> "srv 10" / "cbv 256" / ...
  gfx::HRESULT CreateCommandQueue(const gfx::CommandQueueDesc*, gfx::CommandQueue**) override {
    return gfx::kNotImplemented;
  }
  gfx::HRESULT CreateCommandAllocator(gfx::CommandListType, gfx::CommandAllocator**) override {
    return gfx::kNotImplemented;
  }
  gfx::HRESULT CreateCommandList(gfx::UINT, gfx::CommandListType, gfx::CommandAllocator*,
                                 gfx::PipelineState*, gfx::GraphicsCommandList**) override {
    return gfx::kNotImplemented;
  }
  gfx::HRESULT CreateFence(gfx::UINT64, gfx::FenceFlags, gfx::Fence**) override { return gfx::kNotImplemented; }
  gfx::HRESULT CreateDescriptorHeap(const gfx::DescriptorHeapDesc*, gfx::DescriptorHeap**) override {
    return gfx::kNotImplemented;
  }
  gfx::UINT GetDescriptorHandleIncrementSize(gfx::DescriptorHeapType) override { return 32; }
  gfx::HRESULT CreateCommittedResource(const gfx::HeapProperties*, gfx::HeapFlags, const gfx::ResourceDesc* desc,
                                       gfx::ResourceStates state, const gfx::ClearValue*,
                                       gfx::Resource** resource) override {
    auto* created = new Resource(*desc);
    created->initialState = state;
    *resource = created;
    return gfx::kOk;
  }
  void CreateShaderResourceView(gfx::Resource*, const gfx::ShaderResourceViewDesc* d,
                                gfx::CpuDescriptorHandle h) override {
    views[h.ptr] = "srv " + std::to_string(d->Format);
  }
  void CreateUnorderedAccessView(gfx::Resource*, gfx::Resource*, const gfx::UnorderedAccessViewDesc* d,
                                 gfx::CpuDescriptorHandle h) override {
    views[h.ptr] = "uav " + std::to_string(d->Format);
  }
  void CreateConstantBufferView(const gfx::ConstantBufferViewDesc* d, gfx::CpuDescriptorHandle h) override {
    views[h.ptr] = "cbv " + std::to_string(d->SizeInBytes);
  }
  void CreateRenderTargetView(gfx::Resource*, const gfx::RenderTargetViewDesc* d, gfx::CpuDescriptorHandle h) override {
    views[h.ptr] = "rtv " + std::to_string(d->Format);
  }
  void CreateDepthStencilView(gfx::Resource*, const gfx::DepthStencilViewDesc*, gfx::CpuDescriptorHandle) override {}
  void CreateSampler(const gfx::SamplerDesc*, gfx::CpuDescriptorHandle) override {}
  gfx::HRESULT CreateRootSignature(gfx::UINT, const gfx::RootSignatureDesc*, gfx::RootSignature** rs,
                                   const char**) override {
    *rs = new RootSignature;
    return gfx::kOk;
  }
  gfx::HRESULT CreateComputePipelineState(const gfx::ComputePipelineStateDesc*, gfx::PipelineState** s) override {
    *s = new PipelineState;
    return gfx::kOk;
  }
  gfx::HRESULT CreateGraphicsPipelineState(const gfx::GraphicsPipelineStateDesc*, gfx::PipelineState** s) override {
    *s = new PipelineState;
    return gfx::kOk;
  }
  void GetCopyableFootprints(const gfx::ResourceDesc* d, gfx::UINT, gfx::UINT, gfx::UINT64,
                             gfx::PlacedSubresourceFootprint* layout, gfx::UINT* rows, gfx::UINT64* rowSize,
                             gfx::UINT64* total) override {
    uint64_t row = d->Width * bytesPerPixel(d->Format);
    uint64_t pitch = (row + 255) & ~uint64_t(255);
    layout->Offset = 0;
    layout->Footprint = {d->Format, uint32_t(d->Width), d->Height, 1, uint32_t(pitch)};
    *rows = d->Height;
    *rowSize = row;
    *total = pitch * (d->Height - 1) + row;
  }
  gfx::HRESULT GetDeviceRemovedReason() override { return gfx::kOk; }
};

// Installs a fake device in RenderApp with the three deferred-release lists; tears it down
// (releasing whatever is still parked) at the end of the test.
struct DeviceScope {
  Device* device = new Device;
  DeviceScope() {
    renderApp.device = device;
    renderApp.frameCounter = 0;
    renderApp.frameContextIndex = 0;
    renderApp.deferredReleases.clear();
    for (uint32_t i = 0; i < kFrameContextCount; ++i)
      renderApp.deferredReleases.push(DynamicArray<gfx::Object*>{});
  }
  ~DeviceScope() {
    for (auto& list : renderApp.deferredReleases) {
      for (gfx::Object* object : list)
        if (object) object->Release();
      list.clear();
    }
    renderApp.deferredReleases.clear();
    for (FrameContext& c : renderApp.frameContexts) {
      c.pendingBufferUploads.clear();
      c.pendingTextureUploads.clear();
    }
    renderApp.device = nullptr;
    device->Release();
  }
  DynamicArray<gfx::Object*>& currentReleases() {
    return renderApp.deferredReleases[renderApp.frameCounter % kFrameContextCount];
  }
};

}  // namespace fake
