#pragma once
// The WebGPU backend's objects. They keep what Direct3D 12 keeps (descriptor records, root
// signatures, the swap chain's buffers) and hold the browser's objects by their index in
// TarnixGpu's table (webgpu_glue.h).
//
// What WebGPU does differently, and how it is met here:
// - Memory is not shared with the CPU: an upload-heap buffer is a copy in the heap whose
//   Unmap queues its bytes for the GPU buffer (queue.writeBuffer, ordered before every later
//   submission, as the GPU would read shared memory when the commands run); a readback buffer
//   is read into such a copy by Map, which waits for the GPU.
// - Bind groups replace descriptor tables: a Dispatch or Draw binds the records its root
//   signature's table ranges name, at the bindings the shader build gives each register.
// - Root constants become a 16-byte constant buffer at their register, cut from a ring.
// - No barriers: WebGPU orders the passes itself; states are only tracked above this layer.
// - Fences are values that the queue's completion callbacks raise; waits suspend the program.
#include <cstdint>
#include <vector>

#include "platform/gfx.h"
#include "platform/gfx_ref_counted.h"

namespace gfx::webgpu {

// Reference counting, and debug names that WebGPU objects keep from their creation only.
template <typename Base>
class Counted : public RefCounted<Base> {
 public:
  HRESULT SetName(const wchar_t*) override { return kOk; }
  HRESULT SetName(const char*) override { return kOk; }
};

class WgResource final : public Counted<Resource> {
 public:
  WgResource(const ResourceDesc& desc, HeapType heap);
  ~WgResource() override;
  HRESULT Map(UINT subresource, const Range* readRange, void** data) override;
  void Unmap(UINT subresource, const Range* writtenRange) override;
  GPU_VIRTUAL_ADDRESS GetGPUVirtualAddress() override;
  ResourceDesc GetDesc() override { return desc; }

  bool isBuffer() const { return desc.Dimension == RESOURCE_DIMENSION_BUFFER; }
  static WgResource* fromAddress(GPU_VIRTUAL_ADDRESS address, uint64_t* offset);

  ResourceDesc desc;
  HeapType heap;
  int id = 0;                      // the GPUBuffer or GPUTexture
  std::vector<uint8_t> hostCopy;   // upload and readback heaps
};

// What a descriptor-heap slot holds.
enum class ViewKind : uint32_t { None, Buffer, Texture, Sampler, RenderTarget };
struct ViewRecord {
  ViewKind kind = ViewKind::None;
  WgResource* resource = nullptr;  // not referenced: D3D12 views keep nothing alive
  uint64_t offset = 0;             // buffers: bytes
  uint64_t size = 0;
  int sampler = 0;
};

class WgDescriptorHeap final : public Counted<DescriptorHeap> {
 public:
  explicit WgDescriptorHeap(const DescriptorHeapDesc& desc) : desc(desc), records(desc.NumDescriptors) {}
  DescriptorHeapDesc GetDesc() override { return desc; }
  CpuDescriptorHandle GetCPUDescriptorHandleForHeapStart() override;
  GpuDescriptorHandle GetGPUDescriptorHandleForHeapStart() override;

  DescriptorHeapDesc desc;
  std::vector<ViewRecord> records;
};
ViewRecord* recordAt(uint64_t handle);

// One binding of a bind group, as TarnixGpu.bindGroup reads it.
struct Binding {
  uint32_t binding, kind, object, offset, size, unused;
};

class WgRootSignature final : public Counted<RootSignature> {
 public:
  struct Range {
    uint32_t firstBinding, count, tableOffset;
  };
  struct Parameter {
    RootParameterType type;
    std::vector<Range> ranges;  // tables
    uint32_t binding = 0;       // root constants
  };
  ~WgRootSignature() override;
  std::vector<Parameter> parameters;
  std::vector<Binding> samplers;  // static samplers, ready to bind
};

class WgPipelineState final : public Counted<PipelineState> {
 public:
  ~WgPipelineState() override;
  HRESULT SetName(const char* name) override;
  using Counted<PipelineState>::SetName;
  int id = 0;
  bool compute = true;
};

class WgFence final : public Counted<Fence> {
 public:
  explicit WgFence(UINT64 value);
  ~WgFence() override;
  UINT64 GetCompletedValue() override;
  HRESULT Signal(UINT64 value) override;
  HRESULT SetEventOnCompletion(UINT64 value, Event* event) override;
  HRESULT Wait(UINT64 value, uint32_t timeoutMs) override;
  int id = 0;
};

class WgCommandAllocator final : public Counted<CommandAllocator> {
 public:
  HRESULT Reset() override { return kOk; }
};

class WgQueue final : public Counted<CommandQueue> {
 public:
  void ExecuteCommandLists(UINT numLists, GraphicsCommandList* const* lists) override;
  HRESULT Signal(Fence* fence, UINT64 value) override;
  HRESULT Wait(Fence*, UINT64) override { return kOk; }  // one queue: already in order
};

class WgDevice final : public Counted<Device> {
 public:
  WgDevice();
  ~WgDevice() override;

  HRESULT CreateCommandQueue(const CommandQueueDesc*, CommandQueue** queue) override {
    *queue = new WgQueue();
    return kOk;
  }
  HRESULT CreateCommandAllocator(CommandListType, CommandAllocator** allocator) override {
    *allocator = new WgCommandAllocator();
    return kOk;
  }
  HRESULT CreateCommandList(UINT, CommandListType, CommandAllocator*, PipelineState*,
                            GraphicsCommandList** list) override;
  HRESULT CreateFence(UINT64 initialValue, FenceFlags, Fence** fence) override {
    *fence = new WgFence(initialValue);
    return kOk;
  }
  HRESULT CreateDescriptorHeap(const DescriptorHeapDesc* desc, DescriptorHeap** heap) override {
    if (!desc || !heap) return kInvalidArg;
    *heap = new WgDescriptorHeap(*desc);
    return kOk;
  }
  UINT GetDescriptorHandleIncrementSize(DescriptorHeapType) override { return sizeof(ViewRecord); }
  HRESULT CreateCommittedResource(const HeapProperties* heapProperties, HeapFlags, const ResourceDesc* desc,
                                  ResourceStates, const ClearValue*, Resource** resource) override;
  void CreateShaderResourceView(Resource* resource, const ShaderResourceViewDesc* desc,
                                CpuDescriptorHandle destination) override;
  void CreateUnorderedAccessView(Resource* resource, Resource*, const UnorderedAccessViewDesc* desc,
                                 CpuDescriptorHandle destination) override;
  void CreateConstantBufferView(const ConstantBufferViewDesc* desc, CpuDescriptorHandle destination) override;
  void CreateRenderTargetView(Resource* resource, const RenderTargetViewDesc* desc,
                              CpuDescriptorHandle destination) override;
  void CreateDepthStencilView(Resource*, const DepthStencilViewDesc*, CpuDescriptorHandle) override {}
  void CreateSampler(const SamplerDesc* desc, CpuDescriptorHandle destination) override;
  HRESULT CreateRootSignature(UINT, const RootSignatureDesc* desc, RootSignature** rootSignature,
                              const char** errorText) override;
  HRESULT CreateComputePipelineState(const ComputePipelineStateDesc* desc, PipelineState** state) override;
  HRESULT CreateGraphicsPipelineState(const GraphicsPipelineStateDesc* desc, PipelineState** state) override;
  void GetCopyableFootprints(const ResourceDesc* desc, UINT, UINT, UINT64 baseOffset,
                             PlacedSubresourceFootprint* layouts, UINT* numRows, UINT64* rowSizeInBytes,
                             UINT64* totalBytes) override;
  HRESULT GetDeviceRemovedReason() override { return kOk; }

  int ring = 0;
  uint32_t nextSlot = 0;
};

WgDevice* theDevice();
HRESULT createSwapChain(CommandQueue* queue, const SwapChainDesc* desc, SwapChain** swapChain);
HRESULT createCommandList(GraphicsCommandList** list);
// The ring that root constants are cut from: the buffer and the next slot's offset.
int rootConstantRing();
uint32_t nextRootConstantSlot();

const char* formatName(Format format);  // null where WebGPU has no such format

}  // namespace gfx::webgpu
