// The command queue, fences (timeline semaphores), fence events and command allocators
// (a command pool plus the descriptor pools that the lists recorded from it draw on).
#include <algorithm>

#include "platform/vulkan/vk_internal.h"

namespace gfx {
namespace vk {
namespace {

// An auto-reset event armed by Fence::SetEventOnCompletion.
class FenceEventImpl final : public Event {
 public:
  ~FenceEventImpl() override { holdReference<FenceImpl>(fence, nullptr); }
  HRESULT WaitForSingleObject(uint32_t timeoutMs) override {
    if (!fence) return kWaitTimeout;  // nothing will ever set it
    HRESULT hr = fence->Wait(value, timeoutMs);
    if (hr == kOk) holdReference<FenceImpl>(fence, nullptr);
    return hr;
  }
  void arm(FenceImpl* armedFence, UINT64 armedValue) {
    holdReference(fence, armedFence);
    value = armedValue;
  }

 private:
  FenceImpl* fence = nullptr;
  UINT64 value = 0;
};

constexpr uint32_t kSetsPerPool = 256;

}  // namespace

// ---- Fence ----
HRESULT DeviceImpl::CreateFence(UINT64 initialValue, FenceFlags, Fence** fence) {
  if (!fence) return kInvalidArg;
  *fence = nullptr;
  VkSemaphoreTypeCreateInfo type{VK_STRUCTURE_TYPE_SEMAPHORE_TYPE_CREATE_INFO};
  type.semaphoreType = VK_SEMAPHORE_TYPE_TIMELINE;
  type.initialValue = initialValue;
  VkSemaphoreCreateInfo info{VK_STRUCTURE_TYPE_SEMAPHORE_CREATE_INFO, &type};
  auto* created = new FenceImpl();
  created->device = this;
  AddRef();
  created->queueSignalled = created->hostSignalled = initialValue;
  VkResult vr = vkCreateSemaphore(device, &info, nullptr, &created->semaphore);
  if (vr != VK_SUCCESS) {
    created->Release();
    return resultFromVk(vr);
  }
  *fence = created;
  return kOk;
}

FenceImpl::~FenceImpl() {
  if (semaphore) vkDestroySemaphore(device->device, semaphore, nullptr);
  device->Release();
}

void FenceImpl::applyName() {
  device->nameHandle(VK_OBJECT_TYPE_SEMAPHORE, reinterpret_cast<uint64_t>(semaphore), name_);
}

UINT64 FenceImpl::GetCompletedValue() {
  UINT64 value = 0;
  if (vkGetSemaphoreCounterValue(device->device, semaphore, &value) != VK_SUCCESS) return ~UINT64(0);
  return value;
}

HRESULT FenceImpl::Signal(UINT64 value) {
  // Vulkan allows a CPU signal only between the current value and the pending queue signals.
  UINT64 completed = GetCompletedValue();
  bool queuePending = queueSignalled > completed;
  if (value <= completed || (queuePending && value >= queueSignalled)) {
    reportError("Fence::Signal(%llu): must lie above the current value %llu%s", static_cast<unsigned long long>(value),
                static_cast<unsigned long long>(completed), queuePending ? " and below the pending queue signal" : "");
    return kInvalidArg;
  }
  VkSemaphoreSignalInfo info{VK_STRUCTURE_TYPE_SEMAPHORE_SIGNAL_INFO};
  info.semaphore = semaphore;
  info.value = value;
  hostSignalled = std::max(hostSignalled, value);
  return resultFromVk(vkSignalSemaphore(device->device, &info));
}

HRESULT FenceImpl::SetEventOnCompletion(UINT64 value, Event* event) {
  if (!event) return Wait(value, kInfinite);
  static_cast<FenceEventImpl*>(event)->arm(this, value);
  return kOk;
}

HRESULT FenceImpl::Wait(UINT64 value, uint32_t timeoutMs) {
  if (value > highestSignal() && timeoutMs == kInfinite) {
    // Nothing queued will ever reach the value: fail instead of hanging forever.
    reportError("Fence::Wait(%llu) can never finish: the highest value signalled is %llu",
                static_cast<unsigned long long>(value), static_cast<unsigned long long>(highestSignal()));
    return kInvalidArg;
  }
  VkSemaphoreWaitInfo info{VK_STRUCTURE_TYPE_SEMAPHORE_WAIT_INFO};
  info.semaphoreCount = 1;
  info.pSemaphores = &semaphore;
  info.pValues = &value;
  uint64_t timeout = timeoutMs == kInfinite ? UINT64_MAX : uint64_t(timeoutMs) * 1000000u;
  return resultFromVk(vkWaitSemaphores(device->device, &info, timeout));
}

}  // namespace vk

Event* CreateFenceEvent() { return new vk::FenceEventImpl(); }
void CloseHandle(Event* event) { delete event; }

namespace vk {

// ---- Queue ----
HRESULT DeviceImpl::CreateCommandQueue(const CommandQueueDesc* desc, CommandQueue** queueOut) {
  if (!desc || !queueOut) return kInvalidArg;
  *queueOut = nullptr;
  if (desc->Type != COMMAND_LIST_TYPE_DIRECT && desc->Type != COMMAND_LIST_TYPE_COMPUTE &&
      desc->Type != COMMAND_LIST_TYPE_COPY)
    return kInvalidArg;
  auto* created = new CommandQueueImpl();
  created->device = this;
  AddRef();
  *queueOut = created;
  return kOk;
}

CommandQueueImpl::~CommandQueueImpl() {
  vkQueueWaitIdle(device->queue);
  device->Release();
}

void CommandQueueImpl::applyName() {
  device->nameHandle(VK_OBJECT_TYPE_QUEUE, reinterpret_cast<uint64_t>(device->queue), name_);
}

void CommandQueueImpl::ExecuteCommandLists(UINT numLists, GraphicsCommandList* const* lists) {
  std::vector<VkCommandBufferSubmitInfo> buffers;
  for (UINT i = 0; i < numLists; ++i) {
    if (!lists[i] || !commandListClosed(lists[i])) {
      reportError("ExecuteCommandLists: list %u is not closed", i);
      return;
    }
    VkCommandBufferSubmitInfo info{VK_STRUCTURE_TYPE_COMMAND_BUFFER_SUBMIT_INFO};
    info.commandBuffer = commandBufferOf(lists[i]);
    buffers.push_back(info);
  }
  VkSubmitInfo2 submit{VK_STRUCTURE_TYPE_SUBMIT_INFO_2};
  submit.commandBufferInfoCount = numLists;
  submit.pCommandBufferInfos = buffers.data();
  VkResult vr = vkQueueSubmit2(device->queue, 1, &submit, VK_NULL_HANDLE);
  if (vr != VK_SUCCESS) reportError("vkQueueSubmit2 failed (%d)", vr);
}

HRESULT CommandQueueImpl::Signal(Fence* fenceInterface, UINT64 value) {
  auto* fence = static_cast<FenceImpl*>(fenceInterface);
  if (!fence) return kInvalidArg;
  // Queue signals run in submission order, after any CPU signal already made.
  if (value <= fence->highestSignal()) {
    reportError("CommandQueue::Signal(%llu): a timeline only moves forward (last %llu)",
                static_cast<unsigned long long>(value), static_cast<unsigned long long>(fence->highestSignal()));
    return kInvalidArg;
  }
  VkSemaphoreSubmitInfo signal{VK_STRUCTURE_TYPE_SEMAPHORE_SUBMIT_INFO};
  signal.semaphore = fence->semaphore;
  signal.value = value;
  signal.stageMask = VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT;
  VkSubmitInfo2 submit{VK_STRUCTURE_TYPE_SUBMIT_INFO_2};
  submit.signalSemaphoreInfoCount = 1;
  submit.pSignalSemaphoreInfos = &signal;
  fence->queueSignalled = value;
  return resultFromVk(vkQueueSubmit2(device->queue, 1, &submit, VK_NULL_HANDLE));
}

HRESULT CommandQueueImpl::Wait(Fence* fenceInterface, UINT64 value) {
  auto* fence = static_cast<FenceImpl*>(fenceInterface);
  if (!fence) return kInvalidArg;
  VkSemaphoreSubmitInfo wait{VK_STRUCTURE_TYPE_SEMAPHORE_SUBMIT_INFO};
  wait.semaphore = fence->semaphore;
  wait.value = value;
  wait.stageMask = VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT;
  VkSubmitInfo2 submit{VK_STRUCTURE_TYPE_SUBMIT_INFO_2};
  submit.waitSemaphoreInfoCount = 1;
  submit.pWaitSemaphoreInfos = &wait;
  return resultFromVk(vkQueueSubmit2(device->queue, 1, &submit, VK_NULL_HANDLE));
}

// ---- Command allocator ----
HRESULT DeviceImpl::CreateCommandAllocator(CommandListType, CommandAllocator** allocator) {
  if (!allocator) return kInvalidArg;
  *allocator = nullptr;
  auto* created = new CommandAllocatorImpl();
  created->device = this;
  AddRef();
  VkCommandPoolCreateInfo info{VK_STRUCTURE_TYPE_COMMAND_POOL_CREATE_INFO};
  info.queueFamilyIndex = queueFamily;
  VkResult vr = vkCreateCommandPool(device, &info, nullptr, &created->pool);
  if (vr != VK_SUCCESS) {
    created->Release();
    return resultFromVk(vr);
  }
  *allocator = created;
  return kOk;
}

CommandAllocatorImpl::~CommandAllocatorImpl() {
  for (VkDescriptorPool pool : descriptorPools) vkDestroyDescriptorPool(device->device, pool, nullptr);
  if (pool) vkDestroyCommandPool(device->device, pool, nullptr);
  device->Release();
}

void CommandAllocatorImpl::applyName() {
  device->nameHandle(VK_OBJECT_TYPE_COMMAND_POOL, reinterpret_cast<uint64_t>(pool), name_);
}

HRESULT CommandAllocatorImpl::Reset() {
  VkResult vr = vkResetCommandPool(device->device, pool, 0);
  for (VkDescriptorPool descriptorPool : descriptorPools) vkResetDescriptorPool(device->device, descriptorPool, 0);
  buffersUsed = 0;
  currentPool = 0;
  return resultFromVk(vr);
}

VkCommandBuffer CommandAllocatorImpl::takeCommandBuffer() {
  if (buffersUsed == buffers.size()) {
    VkCommandBufferAllocateInfo info{VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO};
    info.commandPool = pool;
    info.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
    info.commandBufferCount = 1;
    VkCommandBuffer buffer = VK_NULL_HANDLE;
    if (vkAllocateCommandBuffers(device->device, &info, &buffer) != VK_SUCCESS) return VK_NULL_HANDLE;
    device->nameHandle(VK_OBJECT_TYPE_COMMAND_BUFFER, reinterpret_cast<uint64_t>(buffer), name_);
    buffers.push_back(buffer);
  }
  return buffers[buffersUsed++];
}

// Descriptor sets live until this allocator is reset (after its frame's fence has passed).
VkDescriptorSet CommandAllocatorImpl::allocateSet(VkDescriptorSetLayout layout) {
  for (;; ++currentPool) {
    if (currentPool == descriptorPools.size()) {
      VkDescriptorPoolSize sizes[] = {
          {VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER, kSetsPerPool * 4}, {VK_DESCRIPTOR_TYPE_STORAGE_BUFFER, kSetsPerPool * 4},
          {VK_DESCRIPTOR_TYPE_SAMPLED_IMAGE, kSetsPerPool * 8},  {VK_DESCRIPTOR_TYPE_STORAGE_IMAGE, kSetsPerPool * 4},
          {VK_DESCRIPTOR_TYPE_SAMPLER, kSetsPerPool * 2},
      };
      VkDescriptorPoolCreateInfo info{VK_STRUCTURE_TYPE_DESCRIPTOR_POOL_CREATE_INFO};
      info.maxSets = kSetsPerPool;
      info.poolSizeCount = 5;
      info.pPoolSizes = sizes;
      VkDescriptorPool created = VK_NULL_HANDLE;
      if (vkCreateDescriptorPool(device->device, &info, nullptr, &created) != VK_SUCCESS) return VK_NULL_HANDLE;
      descriptorPools.push_back(created);
    }
    VkDescriptorSetAllocateInfo info{VK_STRUCTURE_TYPE_DESCRIPTOR_SET_ALLOCATE_INFO};
    info.descriptorPool = descriptorPools[currentPool];
    info.descriptorSetCount = 1;
    info.pSetLayouts = &layout;
    VkDescriptorSet set = VK_NULL_HANDLE;
    VkResult vr = vkAllocateDescriptorSets(device->device, &info, &set);
    if (vr == VK_SUCCESS) return set;
    if (vr != VK_ERROR_OUT_OF_POOL_MEMORY && vr != VK_ERROR_FRAGMENTED_POOL) return VK_NULL_HANDLE;
  }
}

}  // namespace vk
}  // namespace gfx
