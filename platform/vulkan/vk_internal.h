#pragma once
// Shared declarations of the Vulkan implementation of gfx.h. Only platform/vulkan/ includes it.
#include "platform/vulkan/vk_loader.h"

#include <atomic>
#include <cstdarg>
#include <string>
#include <vector>

#include "platform/gfx.h"
#include "platform/gfx_ref_counted.h"

namespace gfx::vk {

// Reports a backend error: to the debug-layer callback when one is installed (so tests fail
// on it), and to standard output. printf-style.
void reportError(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same for an error that means the system has no Vulkan 1.3 driver (no loader, no
// driver, too old a one): it also tells the person at the screen (osTellMissingPrerequisite).
void reportMissingDriver(const char* format, ...) __attribute__((format(printf, 1, 2)));
HRESULT resultFromVk(VkResult result);

// Reference counting and debug names shared by every object.
template <class Interface>
class ObjectBase : public RefCounted<Interface> {
 public:
  HRESULT SetName(const wchar_t* name) override {
    std::string narrow;
    for (const wchar_t* c = name; c && *c; ++c) narrow.push_back(*c < 128 ? static_cast<char>(*c) : '?');
    return SetName(narrow.c_str());
  }
  HRESULT SetName(const char* name) override {
    name_ = name ? name : "";
    applyName();
    return kOk;
  }
  const std::string& name() const { return name_; }
  // The name for messages.
  const char* label() const { return name_.empty() ? "(unnamed)" : name_.c_str(); }

 protected:
  virtual void applyName() {}
  std::string name_;
};

// ---- Formats and states (vk_formats.cpp) ----
VkFormat toVkFormat(Format format);
bool isDepthFormat(Format format);
struct StateMasks {
  VkPipelineStageFlags2 stages;
  VkAccessFlags2 access;
};
StateMasks stateMasks(ResourceStates state);
VkImageLayout stateLayout(ResourceStates state);

// ---- Instance, adapter ----
class FactoryImpl;
class AdapterImpl final : public ObjectBase<Adapter> {
 public:
  AdapterImpl(FactoryImpl* factory, VkPhysicalDevice physical);
  ~AdapterImpl() override;
  HRESULT GetDescription(char* text, size_t capacity) override;
  UINT GetFlags() override;
  HRESULT GetDesc(AdapterDesc* desc) override;
  HRESULT CheckRequirements(const DeviceRequirements* requirements, Window* presentTo, char* whyNot,
                            size_t capacity) override;
  FactoryImpl* factory;
  VkPhysicalDevice physical;
};

// The first queue family that does both graphics and compute (the device's one queue);
// UINT32_MAX where there is none.
uint32_t graphicsComputeFamily(VkPhysicalDevice physical);

class FactoryImpl final : public ObjectBase<Factory> {
 public:
  ~FactoryImpl() override;
  HRESULT EnumAdapters(UINT index, Adapter** adapter) override;
  HRESULT CreateSwapChain(CommandQueue* queue, const SwapChainDesc* desc, SwapChain** swapChain) override;
  VkInstance instance = VK_NULL_HANDLE;
  VkDebugUtilsMessengerEXT messenger = VK_NULL_HANDLE;
  bool debugUtils = false;
  std::vector<VkPhysicalDevice> adapters;  // in the order they are tried (gfx.h, EnumAdapters)
};

// ---- Device ----
class ResourceImpl;
class DescriptorHeapImpl;

class DeviceImpl final : public ObjectBase<Device> {
 public:
  ~DeviceImpl() override;
  HRESULT CreateCommandQueue(const CommandQueueDesc* desc, CommandQueue** queue) override;
  HRESULT CreateCommandAllocator(CommandListType type, CommandAllocator** allocator) override;
  HRESULT CreateCommandList(UINT nodeMask, CommandListType type, CommandAllocator* allocator,
                            PipelineState* initialState, GraphicsCommandList** list) override;
  HRESULT CreateFence(UINT64 initialValue, FenceFlags flags, Fence** fence) override;
  HRESULT CreateDescriptorHeap(const DescriptorHeapDesc* desc, DescriptorHeap** heap) override;
  UINT GetDescriptorHandleIncrementSize(DescriptorHeapType type) override;
  HRESULT CreateCommittedResource(const HeapProperties* heapProperties, HeapFlags heapFlags,
                                  const ResourceDesc* desc, ResourceStates initialState,
                                  const ClearValue* optimizedClearValue, Resource** resource) override;
  void CreateShaderResourceView(Resource* resource, const ShaderResourceViewDesc* desc,
                                CpuDescriptorHandle destDescriptor) override;
  void CreateUnorderedAccessView(Resource* resource, Resource* counterResource, const UnorderedAccessViewDesc* desc,
                                 CpuDescriptorHandle destDescriptor) override;
  void CreateConstantBufferView(const ConstantBufferViewDesc* desc, CpuDescriptorHandle destDescriptor) override;
  void CreateRenderTargetView(Resource* resource, const RenderTargetViewDesc* desc,
                              CpuDescriptorHandle destDescriptor) override;
  void CreateDepthStencilView(Resource* resource, const DepthStencilViewDesc* desc,
                              CpuDescriptorHandle destDescriptor) override;
  void CreateSampler(const SamplerDesc* desc, CpuDescriptorHandle destDescriptor) override;
  HRESULT CreateRootSignature(UINT nodeMask, const RootSignatureDesc* desc, RootSignature** rootSignature,
                              const char** errorText) override;
  HRESULT CreateComputePipelineState(const ComputePipelineStateDesc* desc, PipelineState** state) override;
  HRESULT CreateGraphicsPipelineState(const GraphicsPipelineStateDesc* desc, PipelineState** state) override;
  void GetCopyableFootprints(const ResourceDesc* desc, UINT firstSubresource, UINT numSubresources, UINT64 baseOffset,
                             PlacedSubresourceFootprint* layouts, UINT* numRows, UINT64* rowSizeInBytes,
                             UINT64* totalBytes) override;
  HRESULT GetDeviceRemovedReason() override;
  HRESULT CreateQueryHeap(const QueryHeapDesc* desc, QueryHeap** heap) override;

  // Debug name of a Vulkan handle (no-op without VK_EXT_debug_utils).
  void nameHandle(VkObjectType type, uint64_t handle, const std::string& name);
  // Records commands with `record`, submits them and waits for the queue to go idle.
  template <class F>
  HRESULT submitAndWait(F&& record);
  int32_t findMemoryType(uint32_t typeBits, VkMemoryPropertyFlags required, VkMemoryPropertyFlags preferred);

  // Registries: GPU virtual addresses and descriptor handles name objects by id.
  uint32_t registerResource(ResourceImpl* resource);
  void unregisterResource(uint32_t id);
  ResourceImpl* resourceById(uint32_t id);
  ResourceImpl* resourceByAddress(GPU_VIRTUAL_ADDRESS address, uint64_t* offset);
  uint32_t registerHeap(DescriptorHeapImpl* heap);
  void unregisterHeap(uint32_t id);
  // The heap and slot of a CPU or GPU handle; null (and an error report) for a bad handle.
  DescriptorHeapImpl* heapByHandle(uint64_t handle, uint32_t* slot, const char* what);

  AdapterImpl* adapter = nullptr;  // referenced
  VkPhysicalDevice physical = VK_NULL_HANDLE;
  VkDevice device = VK_NULL_HANDLE;
  VkQueue queue = VK_NULL_HANDLE;
  uint32_t queueFamily = 0;
  VkPhysicalDeviceMemoryProperties memory{};
  VkPhysicalDeviceLimits limits{};
  uint32_t timestampValidBits = 0;  // of the queue's family; 0: no timestamps
  VkCommandPool oneShotPool = VK_NULL_HANDLE;
  PFN_vkSetDebugUtilsObjectNameEXT setObjectName = nullptr;
  std::vector<ResourceImpl*> resources;  // index = id; slot 0 unused
  std::vector<DescriptorHeapImpl*> heaps;
};

// GPU virtual address: (resource id << 40) | byte offset.
constexpr unsigned kAddressIdShift = 40;
constexpr uint64_t kAddressOffsetMask = (uint64_t(1) << kAddressIdShift) - 1;
// Descriptor handles: (heap id << 32) | (slot * kDescriptorIncrement).
constexpr uint32_t kDescriptorIncrement = 32;

// ---- Resources ----
class ResourceImpl final : public ObjectBase<Resource> {
 public:
  ~ResourceImpl() override;
  HRESULT Map(UINT subresource, const Range* readRange, void** data) override;
  void Unmap(UINT subresource, const Range* writtenRange) override;
  GPU_VIRTUAL_ADDRESS GetGPUVirtualAddress() override;
  ResourceDesc GetDesc() override { return desc; }
  void applyName() override;
  bool isBuffer() const { return buffer != VK_NULL_HANDLE; }
  // A view of the image in `viewFormat` (FORMAT_UNKNOWN: the resource's own), cached.
  VkImageView imageView(Format viewFormat);
  VkExtent2D extent() const { return {static_cast<uint32_t>(desc.Width), desc.Height}; }

  DeviceImpl* device = nullptr;  // referenced
  ResourceDesc desc;
  HeapType heapType = HEAP_TYPE_DEFAULT;
  uint32_t id = 0;
  VkBuffer buffer = VK_NULL_HANDLE;
  VkImage image = VK_NULL_HANDLE;
  VkDeviceMemory memory = VK_NULL_HANDLE;
  void* mapped = nullptr;
  VkFormat vkFormat = VK_FORMAT_UNDEFINED;
  VkImageAspectFlags aspect = 0;
  // The D3D12 state and the image layout after everything recorded so far.
  ResourceStates state = RESOURCE_STATE_COMMON;
  VkImageLayout layout = VK_IMAGE_LAYOUT_UNDEFINED;
  // Whether a use needing any of `required` is allowed in the recorded state. Buffers in the
  // COMMON state are promoted implicitly, as in D3D12; textures are not.
  bool allows(ResourceStates required) const { return (state & required) || (isBuffer() && state == 0); }
  struct CachedView {
    Format format;
    VkImageView view;
  };
  std::vector<CachedView> views;
};
HRESULT createResource(DeviceImpl* device, const HeapProperties& heap, HeapFlags heapFlags, const ResourceDesc& desc,
                       ResourceStates initialState, ResourceImpl** out);

// ---- Descriptor heaps ----
enum class ViewKind : uint8_t { Empty, Cbv, BufferSrv, TextureSrv, BufferUav, TextureUav, Rtv, Dsv, Sampler };
const char* viewKindName(ViewKind kind);
VkSampler createSampler(DeviceImpl* device, const SamplerDesc& desc);
struct ViewRecord {
  ViewKind kind = ViewKind::Empty;
  uint32_t resourceId = 0;  // looked up when the view is used: a released resource is caught
  Format format = FORMAT_UNKNOWN;
  uint64_t offset = 0;  // buffers: byte range
  uint64_t range = 0;
  VkSampler sampler = VK_NULL_HANDLE;  // owned by the heap's slot
};

class DescriptorHeapImpl final : public ObjectBase<DescriptorHeap> {
 public:
  ~DescriptorHeapImpl() override;
  DescriptorHeapDesc GetDesc() override { return desc; }
  CpuDescriptorHandle GetCPUDescriptorHandleForHeapStart() override;
  GpuDescriptorHandle GetGPUDescriptorHandleForHeapStart() override;
  void store(uint32_t slot, const ViewRecord& record);
  DeviceImpl* device = nullptr;  // referenced
  DescriptorHeapDesc desc;
  uint32_t id = 0;
  std::vector<ViewRecord> records;
};

// ---- Timestamp queries (vk_query.cpp) ----
class QueryHeapImpl final : public ObjectBase<QueryHeap> {
 public:
  ~QueryHeapImpl() override;
  void applyName() override;
  DeviceImpl* device = nullptr;  // referenced
  QueryHeapDesc desc;
  VkQueryPool pool = VK_NULL_HANDLE;
  // Whether an EndQuery has been recorded for each query: resolving one that never was would
  // wait forever for its result.
  std::vector<bool> ended;
};

// ---- Root signatures and pipelines (vk_pipeline.cpp) ----
class RootSignatureImpl final : public ObjectBase<RootSignature> {
 public:
  ~RootSignatureImpl() override;
  DeviceImpl* device = nullptr;  // referenced
  std::vector<RootParameter> parameters;
  std::vector<std::vector<DescriptorRange>> ranges;  // per parameter (tables only)
  std::vector<StaticSamplerDesc> staticSamplers;
  std::vector<VkSampler> immutableSamplers;  // one per static sampler
  std::vector<uint32_t> constantOffsets;     // push-constant byte offset per parameter
  uint32_t pushConstantBytes = 0;
  RootSignatureFlags flags = 0;
};

// One shader binding and where its descriptor comes from.
struct BindingSource {
  uint32_t binding = 0;
  VkDescriptorType type = VK_DESCRIPTOR_TYPE_MAX_ENUM;
  uint32_t parameter = 0;  // root parameter (a table)
  uint32_t offset = 0;     // descriptor offset from the table's start
  bool immutableSampler = false;
};

class PipelineStateImpl final : public ObjectBase<PipelineState> {
 public:
  ~PipelineStateImpl() override;
  void applyName() override;
  DeviceImpl* device = nullptr;                // referenced
  RootSignatureImpl* rootSignature = nullptr;  // referenced
  VkPipelineBindPoint bindPoint = VK_PIPELINE_BIND_POINT_COMPUTE;
  VkPipeline pipeline = VK_NULL_HANDLE;
  VkPipelineLayout layout = VK_NULL_HANDLE;
  VkDescriptorSetLayout setLayout = VK_NULL_HANDLE;
  std::vector<BindingSource> bindings;
  VkShaderStageFlags pushStages = 0;
};

// SPIR-V reflection (vk_spirv.cpp): the descriptor bindings of set 0 and push-constant use.
struct ShaderBinding {
  uint32_t set = 0;
  uint32_t binding = 0;
  VkDescriptorType type = VK_DESCRIPTOR_TYPE_MAX_ENUM;
  uint32_t count = 1;
  uint32_t variable = 0;    // the module's id of the variable
  uint64_t blockBytes = 0;  // buffers: the size of the declared block
};
struct ShaderReflection {
  std::vector<ShaderBinding> bindings;
  bool usesPushConstants = false;
  std::string error;  // non-empty when the module cannot be read
};
ShaderReflection reflectSpirv(const void* code, size_t size);

// Pipeline construction shared by compute and graphics states (vk_pipeline.cpp).
struct PipelineStage {
  const ShaderBytecode* code;
  VkShaderStageFlagBits stage;
};
PipelineStateImpl* newPipelineState(DeviceImpl* device, RootSignature* root, VkPipelineBindPoint bindPoint);
// The set layout, pipeline layout and binding sources, from the root signature and shaders.
HRESULT buildPipelineLayout(DeviceImpl* device, PipelineStateImpl* state, const PipelineStage* stages,
                            size_t stageCount);
VkShaderModule createShaderModule(DeviceImpl* device, const ShaderBytecode& code);

// ---- Queue, fences, allocators, command lists ----
class FenceImpl final : public ObjectBase<Fence> {
 public:
  ~FenceImpl() override;
  UINT64 GetCompletedValue() override;
  HRESULT Signal(UINT64 value) override;
  HRESULT SetEventOnCompletion(UINT64 value, Event* event) override;
  HRESULT Wait(UINT64 value, uint32_t timeoutMs) override;
  void applyName() override;
  DeviceImpl* device = nullptr;  // referenced
  VkSemaphore semaphore = VK_NULL_HANDLE;
  UINT64 queueSignalled = 0;  // highest value a queue signal was submitted for
  UINT64 hostSignalled = 0;   // highest value the CPU signalled
  UINT64 highestSignal() const { return queueSignalled > hostSignalled ? queueSignalled : hostSignalled; }
};

class CommandQueueImpl final : public ObjectBase<CommandQueue> {
 public:
  ~CommandQueueImpl() override;
  void ExecuteCommandLists(UINT numLists, GraphicsCommandList* const* lists) override;
  HRESULT Signal(Fence* fence, UINT64 value) override;
  HRESULT Wait(Fence* fence, UINT64 value) override;
  HRESULT GetTimestampFrequency(UINT64* frequency) override;
  void applyName() override;
  DeviceImpl* device = nullptr;  // referenced
};

class CommandAllocatorImpl final : public ObjectBase<CommandAllocator> {
 public:
  ~CommandAllocatorImpl() override;
  HRESULT Reset() override;
  void applyName() override;
  VkCommandBuffer takeCommandBuffer();
  VkDescriptorSet allocateSet(VkDescriptorSetLayout layout);
  DeviceImpl* device = nullptr;  // referenced
  VkCommandPool pool = VK_NULL_HANDLE;
  std::vector<VkCommandBuffer> buffers;
  size_t buffersUsed = 0;
  std::vector<VkDescriptorPool> descriptorPools;
  size_t currentPool = 0;
};

// Implemented in vk_command_list.cpp.
VkCommandBuffer commandBufferOf(GraphicsCommandList* list);
bool commandListClosed(GraphicsCommandList* list);

template <class F>
HRESULT DeviceImpl::submitAndWait(F&& record) {
  VkCommandBufferAllocateInfo allocate{VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO};
  allocate.commandPool = oneShotPool;
  allocate.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
  allocate.commandBufferCount = 1;
  VkCommandBuffer cmd = VK_NULL_HANDLE;
  VkResult vr = vkAllocateCommandBuffers(device, &allocate, &cmd);
  if (vr != VK_SUCCESS) return resultFromVk(vr);
  VkCommandBufferBeginInfo begin{VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
  begin.flags = VK_COMMAND_BUFFER_USAGE_ONE_TIME_SUBMIT_BIT;
  vkBeginCommandBuffer(cmd, &begin);
  record(cmd);
  vkEndCommandBuffer(cmd);
  VkSubmitInfo submit{VK_STRUCTURE_TYPE_SUBMIT_INFO};
  submit.commandBufferCount = 1;
  submit.pCommandBuffers = &cmd;
  vr = vkQueueSubmit(queue, 1, &submit, VK_NULL_HANDLE);
  if (vr == VK_SUCCESS) vr = vkQueueWaitIdle(queue);
  vkFreeCommandBuffers(device, oneShotPool, 1, &cmd);
  return resultFromVk(vr);
}

}  // namespace gfx::vk
