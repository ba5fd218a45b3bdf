#pragma once
// gfx: the Direct3D-12-shaped subset of a graphics API that the program draws with.
// Class, method, struct and field names follow Direct3D 12 and DXGI; states, formats, heap
// types and flags carry their Direct3D 12 / DXGI numbers, so code above this layer uses
// those numbers unchanged. Methods that can fail return an HRESULT (negative = failure).
// Objects are reference counted: Release() drops a reference (there are no interface IDs).
//
// The Vulkan backend (platform/vulkan/) cannot honour these Direct3D 12 rules:
// - Descriptors are read when a Dispatch/Draw is recorded, not when it executes: a view
//   written into a heap slot after the Dispatch that uses it is not seen by that Dispatch.
// - No implicit state promotion or decay: every resource is in exactly the state its last
//   recorded transition left it in (the initial state after creation); a resource used in a
//   state other than the one it was transitioned to is undefined behaviour, not promoted.
// - Resource states are tracked while recording; the backend assumes command lists execute
//   in the order they were recorded (the program records one list per frame).
// - A descriptor table's SRV/UAV slots must match the shader's binding kinds (a buffer view
//   where the shader declares a texture is an error reported at Dispatch/Draw), and register
//   classes map to fixed binding ranges (kBinding*Base below), as the shader build maps them.
// - Only register space 0 and one descriptor table per register class per signature layout
//   are meaningful; root descriptors (root CBV/SRV/UAV) are not provided.
// - Subresources other than 0 (mip levels, array slices) are not provided; textures are 2D
//   with one mip level.
// - The swap chain's back buffers are the backend's own images; Present copies the current
//   one to the window's surface (whose format may differ, e.g. B8G8R8A8). Back buffers are
//   used strictly round-robin, as with a flip-discard swap chain.
// - GetGPUVirtualAddress returns an encoded (buffer, offset) pair, not a real address: it is
//   only meaningful to this layer's views (CBV, vertex and index buffer views).
// - Viewport depth range outside [0, 1] is clamped.
// - Present always uses FIFO (sync interval 0 does not tear or skip the wait).
#include <cstddef>
#include <cstdint>

#include "platform/gfx_requirements.h"
#include "platform/gfx_types.h"

namespace gfx {

// Register classes map to binding ranges of descriptor set 0 (the shader build shifts
// b/t/s/u registers by these amounts).
constexpr uint32_t kBindingCbvBase = 0;
constexpr uint32_t kBindingSrvBase = 10;
// Samplers start at 24, not 20: the temporal pass reads t0..t10, which take bindings 10..20.
constexpr uint32_t kBindingSamplerBase = 24;
constexpr uint32_t kBindingUavBase = 30;
constexpr uint32_t kRootConstantsMaxBytes = 16;

// ---- Objects ----
// Every object: reference counted, with a debug name (shown by graphics debuggers).
class Object {
 public:
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;  // destroys the object when the count reaches 0
  virtual HRESULT SetName(const wchar_t* name) = 0;
  virtual HRESULT SetName(const char* name) = 0;

 protected:
  virtual ~Object() = default;
};

class Resource : public Object {
 public:
  // subresource must be 0; readRange is ignored (memory is coherent). Only upload and readback
  // heap resources map; the pointer stays valid until the resource is destroyed.
  virtual HRESULT Map(UINT subresource, const Range* readRange, void** data) = 0;
  virtual void Unmap(UINT subresource, const Range* writtenRange) = 0;
  virtual GPU_VIRTUAL_ADDRESS GetGPUVirtualAddress() = 0;  // 0 for textures
  virtual ResourceDesc GetDesc() = 0;
};

class Fence : public Object {
 public:
  virtual UINT64 GetCompletedValue() = 0;
  // Signals value from the CPU side.
  virtual HRESULT Signal(UINT64 value) = 0;
  // D3D12 semantics with an Event (below): the event is set once the fence reaches value.
  // A null event blocks until then.
  virtual HRESULT SetEventOnCompletion(UINT64 value, class Event* event) = 0;
  // Blocks until the fence reaches value (or timeoutMs passes: kWaitTimeout).
  virtual HRESULT Wait(UINT64 value, uint32_t timeoutMs = 0xFFFFFFFFu) = 0;
};

// The auto-reset event of SetEventOnCompletion + WaitForSingleObject. Not reference counted.
class Event {
 public:
  virtual ~Event() = default;
  // Returns kOk once set (and resets it), kWaitTimeout after timeoutMs, or immediately with
  // kWaitTimeout when nothing can set it (no SetEventOnCompletion armed it).
  virtual HRESULT WaitForSingleObject(uint32_t timeoutMs = 0xFFFFFFFFu) = 0;
};
Event* CreateFenceEvent();  // CreateEventW analogue: auto-reset, not signalled
void CloseHandle(Event* event);
constexpr uint32_t kInfinite = 0xFFFFFFFFu;  // wait without a timeout

class DescriptorHeap : public Object {
 public:
  virtual DescriptorHeapDesc GetDesc() = 0;
  virtual CpuDescriptorHandle GetCPUDescriptorHandleForHeapStart() = 0;
  // ptr 0 for heaps that are not shader-visible.
  virtual GpuDescriptorHandle GetGPUDescriptorHandleForHeapStart() = 0;
};

// Timestamp queries. Each resolved timestamp is a UINT64 tick count; ticks per second come
// from CommandQueue::GetTimestampFrequency.
class QueryHeap : public Object {};

class RootSignature : public Object {};
class PipelineState : public Object {};

class CommandAllocator : public Object {
 public:
  // The GPU must have finished every list recorded from this allocator.
  virtual HRESULT Reset() = 0;
};

class GraphicsCommandList : public Object {
 public:
  virtual HRESULT Close() = 0;
  virtual HRESULT Reset(CommandAllocator* allocator, PipelineState* initialState) = 0;

  virtual void ResourceBarrier(UINT numBarriers, const gfx::ResourceBarrier* barriers) = 0;
  virtual void CopyResource(Resource* dst, Resource* src) = 0;
  virtual void CopyBufferRegion(Resource* dst, UINT64 dstOffset, Resource* src, UINT64 srcOffset,
                                UINT64 numBytes) = 0;
  virtual void CopyTextureRegion(const TextureCopyLocation* dst, UINT dstX, UINT dstY, UINT dstZ,
                                 const TextureCopyLocation* src, const Box* srcBox) = 0;

  virtual void SetPipelineState(PipelineState* pipelineState) = 0;
  virtual void SetDescriptorHeaps(UINT numHeaps, DescriptorHeap* const* heaps) = 0;
  virtual void SetComputeRootSignature(RootSignature* rootSignature) = 0;
  virtual void SetGraphicsRootSignature(RootSignature* rootSignature) = 0;
  virtual void SetComputeRootDescriptorTable(UINT rootParameterIndex, GpuDescriptorHandle baseDescriptor) = 0;
  virtual void SetGraphicsRootDescriptorTable(UINT rootParameterIndex, GpuDescriptorHandle baseDescriptor) = 0;
  virtual void SetComputeRoot32BitConstants(UINT rootParameterIndex, UINT num32BitValues, const void* data,
                                            UINT destOffsetIn32BitValues) = 0;
  virtual void SetGraphicsRoot32BitConstants(UINT rootParameterIndex, UINT num32BitValues, const void* data,
                                             UINT destOffsetIn32BitValues) = 0;
  virtual void SetComputeRoot32BitConstant(UINT rootParameterIndex, UINT value, UINT destOffsetIn32BitValues) = 0;

  virtual void Dispatch(UINT groupsX, UINT groupsY, UINT groupsZ) = 0;

  virtual void IASetPrimitiveTopology(PrimitiveTopology topology) = 0;
  virtual void IASetVertexBuffers(UINT startSlot, UINT numViews, const VertexBufferView* views) = 0;
  virtual void IASetIndexBuffer(const IndexBufferView* view) = 0;
  virtual void OMSetRenderTargets(UINT numRenderTargets, const CpuDescriptorHandle* renderTargets,
                                  BOOL singleHandleToDescriptorRange, const CpuDescriptorHandle* depthStencil) = 0;
  virtual void ClearRenderTargetView(CpuDescriptorHandle renderTarget, const float color[4], UINT numRects,
                                     const Rect* rects) = 0;
  virtual void RSSetViewports(UINT numViewports, const Viewport* viewports) = 0;
  virtual void RSSetScissorRects(UINT numRects, const Rect* rects) = 0;
  virtual void DrawInstanced(UINT vertexCountPerInstance, UINT instanceCount, UINT startVertex,
                             UINT startInstance) = 0;
  virtual void DrawIndexedInstanced(UINT indexCountPerInstance, UINT instanceCount, UINT startIndex,
                                    int32_t baseVertex, UINT startInstance) = 0;

  // Not in Direct3D 12: the whole of src (COPY_SOURCE) scaled into dstRect of dst (COPY_DEST) with
  // bilinear filtering, converting the format as a draw would. kNotImplemented, and nothing
  // recorded, where the backend has no such copy; a caller then draws the scaling itself.
  virtual HRESULT ScaleTexture(Resource* /*dst*/, const Rect& /*dstRect*/, Resource* /*src*/) {
    return kNotImplemented;
  }

  // Timestamps: EndQuery writes the time at which all earlier commands have finished;
  // ResolveQueryData copies `count` of them as UINT64s into a buffer in the COPY_DEST state
  // (offset a multiple of 8). Backends without queries ignore both.
  virtual void EndQuery(QueryHeap* /*heap*/, QueryType /*type*/, UINT /*index*/) {}
  virtual void ResolveQueryData(QueryHeap* /*heap*/, QueryType /*type*/, UINT /*startIndex*/, UINT /*count*/,
                                Resource* /*destination*/, UINT64 /*alignedDestinationOffset*/) {}
};

class CommandQueue : public Object {
 public:
  virtual void ExecuteCommandLists(UINT numLists, GraphicsCommandList* const* lists) = 0;
  virtual HRESULT Signal(Fence* fence, UINT64 value) = 0;
  virtual HRESULT Wait(Fence* fence, UINT64 value) = 0;  // GPU-side wait
  // Timestamp ticks per second (kNotImplemented where the backend has no timestamps).
  virtual HRESULT GetTimestampFrequency(UINT64* frequency) {
    if (frequency) *frequency = 0;
    return kNotImplemented;
  }
};

class Device : public Object {
 public:
  virtual HRESULT CreateCommandQueue(const CommandQueueDesc* desc, CommandQueue** queue) = 0;
  virtual HRESULT CreateCommandAllocator(CommandListType type, CommandAllocator** allocator) = 0;
  // The list is created open for recording, like D3D12.
  virtual HRESULT CreateCommandList(UINT nodeMask, CommandListType type, CommandAllocator* allocator,
                                    PipelineState* initialState, GraphicsCommandList** list) = 0;
  virtual HRESULT CreateFence(UINT64 initialValue, FenceFlags flags, Fence** fence) = 0;
  virtual HRESULT CreateDescriptorHeap(const DescriptorHeapDesc* desc, DescriptorHeap** heap) = 0;
  virtual UINT GetDescriptorHandleIncrementSize(DescriptorHeapType type) = 0;
  // Committed resources are zero-filled unless heapFlags has HEAP_FLAG_CREATE_NOT_ZEROED.
  virtual HRESULT CreateCommittedResource(const HeapProperties* heapProperties, HeapFlags heapFlags,
                                          const ResourceDesc* desc, ResourceStates initialState,
                                          const ClearValue* optimizedClearValue, Resource** resource) = 0;
  virtual void CreateShaderResourceView(Resource* resource, const ShaderResourceViewDesc* desc,
                                        CpuDescriptorHandle destDescriptor) = 0;
  virtual void CreateUnorderedAccessView(Resource* resource, Resource* counterResource,
                                         const UnorderedAccessViewDesc* desc, CpuDescriptorHandle destDescriptor) = 0;
  virtual void CreateConstantBufferView(const ConstantBufferViewDesc* desc, CpuDescriptorHandle destDescriptor) = 0;
  virtual void CreateRenderTargetView(Resource* resource, const RenderTargetViewDesc* desc,
                                      CpuDescriptorHandle destDescriptor) = 0;
  virtual void CreateDepthStencilView(Resource* resource, const DepthStencilViewDesc* desc,
                                      CpuDescriptorHandle destDescriptor) = 0;
  virtual void CreateSampler(const SamplerDesc* desc, CpuDescriptorHandle destDescriptor) = 0;
  // From the description directly; errorText (optional) receives a message on failure
  // (valid until the next call), standing in for the serialiser's error blob.
  virtual HRESULT CreateRootSignature(UINT nodeMask, const RootSignatureDesc* desc, RootSignature** rootSignature,
                                      const char** errorText = nullptr) = 0;
  virtual HRESULT CreateComputePipelineState(const ComputePipelineStateDesc* desc, PipelineState** state) = 0;
  virtual HRESULT CreateGraphicsPipelineState(const GraphicsPipelineStateDesc* desc, PipelineState** state) = 0;
  virtual void GetCopyableFootprints(const ResourceDesc* desc, UINT firstSubresource, UINT numSubresources,
                                     UINT64 baseOffset, PlacedSubresourceFootprint* layouts, UINT* numRows,
                                     UINT64* rowSizeInBytes, UINT64* totalBytes) = 0;
  virtual HRESULT GetDeviceRemovedReason() = 0;
  virtual HRESULT CreateQueryHeap(const QueryHeapDesc* /*desc*/, QueryHeap** heap) {
    if (heap) *heap = nullptr;
    return kNotImplemented;
  }
};

class SwapChain : public Object {
 public:
  virtual HRESULT GetBuffer(UINT buffer, Resource** surface) = 0;  // adds a reference
  // FIFO: waits for the display when the presentation queue is full, whatever syncInterval
  // says. After the window is destroyed the frame is dropped and kOk returned.
  virtual HRESULT Present(UINT syncInterval, UINT flags) = 0;
  virtual UINT GetCurrentBackBufferIndex() = 0;
  virtual HRESULT GetDesc(SwapChainDesc* desc) = 0;
  // Copies back buffer `buffer`'s pixels (tightly packed rows of width * 4 bytes, rowPitch
  // apart) into pixels as R, G, B, A bytes whatever the buffer's channel order, after
  // waiting for all queued GPU work. The buffer must be in the PRESENT (COMMON) state.
  // Works on windowed and offscreen swap chains.
  virtual HRESULT ReadBackBuffer(UINT buffer, void* pixels, UINT64 rowPitch) = 0;
};

// DXGI_ADAPTER_FLAG_SOFTWARE: the adapter draws on the CPU (lavapipe).
inline constexpr UINT ADAPTER_FLAG_SOFTWARE = 2;

class Adapter : public Object {
 public:
  virtual HRESULT GetDescription(char* text, size_t capacity) = 0;
  virtual UINT GetFlags() = 0;  // ADAPTER_FLAG_* bits
  virtual HRESULT GetDesc(AdapterDesc* desc) = 0;
  // Whether a device made from this adapter can run what `requirements` describe (null:
  // only what the backend itself needs) and, given a window, present to it: kOk, or kFalse
  // with every reason, ", " between them, in whyNot (when given).
  virtual HRESULT CheckRequirements(const DeviceRequirements* requirements, Window* presentTo, char* whyNot,
                                    size_t capacity) = 0;
};

class Factory : public Object {
 public:
  // Adapter `index` in the order devices are tried (ADAPTER_TYPE_* order: discrete GPUs
  // first, CPU rasterisers last; the driver's own order where the user has asked a driver
  // for one, as Mesa's MESA_VK_DEVICE_SELECT and DRI_PRIME do). kNotFound past the end.
  virtual HRESULT EnumAdapters(UINT index, Adapter** adapter) = 0;
  virtual HRESULT CreateSwapChain(CommandQueue* queue, const SwapChainDesc* desc, SwapChain** swapChain) = 0;
};

// The back buffer format this backend's windows show without converting each pixel (a
// surface's own channel order): what a swap chain should be asked for.
Format PreferredBackBufferFormat();

// CreateDXGIFactory2 analogue. flags may hold CREATE_FACTORY_DEBUG (validation on).
HRESULT CreateFactory(UINT flags, Factory** factory);
// D3D12CreateDevice analogue.
HRESULT CreateDevice(Adapter* adapter, FeatureLevel minimumFeatureLevel, Device** device);
// What a shader relies on, from its bytecode; kNotImplemented where the backend cannot tell
// (the shader then asks nothing).
HRESULT ReflectShaderNeeds(const ShaderBytecode& code, ShaderNeeds* needs);

// Debug layer (EnableDebugLayer analogue): every factory created afterwards turns validation
// on and passes each validation message to callback (severity: 0 verbose/info, 1 warning,
// 2 error). Null callback: messages are printed. Call before CreateFactory. Where the layer
// is not installed, CreateFactory fails, unless requireLayer is false: then factories are
// made without validation and only the backend's own errors reach the callback.
using DebugMessageCallback = void (*)(int severity, const char* message, void* user);
void EnableDebugLayer(DebugMessageCallback callback, void* user, bool requireLayer = true);
void DisableDebugLayer();

}  // namespace gfx
