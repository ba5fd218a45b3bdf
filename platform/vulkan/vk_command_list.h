#pragma once
// The command list: a Vulkan command buffer taken from its allocator, plus the D3D12-style
// state (root signatures and arguments, render targets, viewport, vertex buffers) that is
// turned into Vulkan state when a Dispatch or Draw is recorded.
#include "platform/vulkan/vk_internal.h"

namespace gfx::vk {

constexpr uint32_t kMaxRootParameters = 64;
constexpr uint32_t kMaxVertexBuffers = 16;

class CommandListImpl final : public ObjectBase<GraphicsCommandList> {
 public:
  CommandListImpl(DeviceImpl* device, CommandAllocatorImpl* allocator);
  ~CommandListImpl() override;
  void applyName() override;

  HRESULT Close() override;
  HRESULT Reset(CommandAllocator* allocator, PipelineState* initialState) override;
  void ResourceBarrier(UINT numBarriers, const gfx::ResourceBarrier* barriers) override;
  void CopyResource(Resource* dst, Resource* src) override;
  void CopyBufferRegion(Resource* dst, UINT64 dstOffset, Resource* src, UINT64 srcOffset, UINT64 numBytes) override;
  void CopyTextureRegion(const TextureCopyLocation* dst, UINT dstX, UINT dstY, UINT dstZ,
                         const TextureCopyLocation* src, const Box* srcBox) override;
  HRESULT ScaleTexture(Resource* dst, const Rect& dstRect, Resource* src) override;
  void SetPipelineState(PipelineState* pipelineState) override;
  void SetDescriptorHeaps(UINT numHeaps, DescriptorHeap* const* heaps) override;
  void SetComputeRootSignature(RootSignature* rootSignature) override;
  void SetGraphicsRootSignature(RootSignature* rootSignature) override;
  void SetComputeRootDescriptorTable(UINT index, GpuDescriptorHandle base) override;
  void SetGraphicsRootDescriptorTable(UINT index, GpuDescriptorHandle base) override;
  void SetComputeRoot32BitConstants(UINT index, UINT count, const void* data, UINT destOffset) override;
  void SetGraphicsRoot32BitConstants(UINT index, UINT count, const void* data, UINT destOffset) override;
  void SetComputeRoot32BitConstant(UINT index, UINT value, UINT destOffset) override;
  void Dispatch(UINT groupsX, UINT groupsY, UINT groupsZ) override;
  void IASetPrimitiveTopology(PrimitiveTopology topology) override;
  void IASetVertexBuffers(UINT startSlot, UINT numViews, const VertexBufferView* views) override;
  void IASetIndexBuffer(const IndexBufferView* view) override;
  void OMSetRenderTargets(UINT numRenderTargets, const CpuDescriptorHandle* renderTargets, BOOL singleRange,
                          const CpuDescriptorHandle* depthStencil) override;
  void ClearRenderTargetView(CpuDescriptorHandle renderTarget, const float color[4], UINT numRects,
                             const Rect* rects) override;
  void RSSetViewports(UINT numViewports, const Viewport* viewports) override;
  void RSSetScissorRects(UINT numRects, const Rect* rects) override;
  void DrawInstanced(UINT vertexCount, UINT instanceCount, UINT startVertex, UINT startInstance) override;
  void DrawIndexedInstanced(UINT indexCount, UINT instanceCount, UINT startIndex, int32_t baseVertex,
                            UINT startInstance) override;
  void EndQuery(QueryHeap* heap, QueryType type, UINT index) override;
  void ResolveQueryData(QueryHeap* heap, QueryType type, UINT startIndex, UINT count, Resource* destination,
                        UINT64 alignedDestinationOffset) override;

  // Root arguments of one bind point (D3D12 keeps compute and graphics apart).
  struct RootArguments {
    RootSignatureImpl* signature = nullptr;
    uint64_t tables[kMaxRootParameters] = {};
    uint8_t constants[128] = {};
  };

  bool recording(const char* what);
  void endRendering();
  bool beginRendering(const char* what);
  // Writes and binds the descriptor set and push constants for the bound pipeline.
  bool bindRootArguments(RootArguments& arguments, VkPipelineBindPoint bindPoint, const char* what);
  void setRootTable(RootArguments& arguments, UINT index, GpuDescriptorHandle base, const char* what);
  void setRootConstants(RootArguments& arguments, UINT index, UINT count, const void* data, UINT destOffset,
                        const char* what);
  bool prepareDraw(const char* what);
  ResourceImpl* renderTarget(uint64_t handle, Format* format, const char* what);

  DeviceImpl* device;
  CommandAllocatorImpl* allocator;
  VkCommandBuffer cmd = VK_NULL_HANDLE;
  bool open = false;
  PipelineStateImpl* pipeline = nullptr;
  RootArguments compute, graphics;
  uint32_t boundHeaps[2] = {};
  std::vector<uint64_t> renderTargets;
  bool rendering = false;
  VkViewport viewport{};
  bool viewportSet = false;
  VkRect2D scissor{};
  bool scissorSet = false;
  PrimitiveTopology topology = PRIMITIVE_TOPOLOGY_TRIANGLELIST;
  VertexBufferView vertexBuffers[kMaxVertexBuffers] = {};
  uint32_t vertexBufferCount = 0;
  IndexBufferView indexBuffer{};
};

}  // namespace gfx::vk
