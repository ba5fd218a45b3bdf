// Swap chains. The back buffers are this layer's own render-target textures, used strictly
// round-robin as with a flip-discard swap chain. Present on a window copies the current one
// to an acquired VkSwapchainKHR image (FIFO, so sync interval 1 waits for the display); an
// offscreen swap chain only advances the index.
#include <cstring>

#include "platform/vulkan/vk_internal.h"
#include "platform/window.h"

namespace gfx {
namespace vk {
namespace {

class SwapChainImpl final : public ObjectBase<SwapChain> {
 public:
  ~SwapChainImpl() override;
  HRESULT GetBuffer(UINT buffer, Resource** surface) override;
  HRESULT Present(UINT syncInterval, UINT flags) override;
  UINT GetCurrentBackBufferIndex() override { return current; }
  HRESULT GetDesc(SwapChainDesc* out) override {
    if (!out) return kInvalidArg;
    *out = desc;
    return kOk;
  }
  HRESULT ReadBackBuffer(UINT buffer, void* pixels, UINT64 rowPitch) override;
  HRESULT createSurfaceChain();
  void destroySurfaceChain();
  HRESULT presentToSurface(ResourceImpl* source);

  FactoryImpl* factory = nullptr;  // referenced
  DeviceImpl* device = nullptr;    // referenced
  SwapChainDesc desc;
  std::vector<ResourceImpl*> buffers;
  UINT current = 0;
  // Window presentation.
  VkSurfaceKHR surface = VK_NULL_HANDLE;
  VkSwapchainKHR chain = VK_NULL_HANDLE;
  VkExtent2D chainExtent{};
  std::vector<VkImage> chainImages;
  std::vector<VkSemaphore> renderDone;  // one per chain image
  struct Slot {
    VkCommandBuffer cmd = VK_NULL_HANDLE;
    VkFence fence = VK_NULL_HANDLE;
    VkSemaphore acquired = VK_NULL_HANDLE;
  };
  std::vector<Slot> slots;
  uint32_t slot = 0;
  VkCommandPool pool = VK_NULL_HANDLE;
};

SwapChainImpl::~SwapChainImpl() {
  vkQueueWaitIdle(device->queue);
  destroySurfaceChain();
  for (Slot& s : slots) {
    vkDestroyFence(device->device, s.fence, nullptr);
    vkDestroySemaphore(device->device, s.acquired, nullptr);
  }
  if (pool) vkDestroyCommandPool(device->device, pool, nullptr);
  if (surface) vkDestroySurfaceKHR(factory->instance, surface, nullptr);
  for (ResourceImpl* buffer : buffers) buffer->Release();
  device->Release();
  factory->Release();
}

void SwapChainImpl::destroySurfaceChain() {
  for (VkSemaphore semaphore : renderDone) vkDestroySemaphore(device->device, semaphore, nullptr);
  renderDone.clear();
  if (chain) vkDestroySwapchainKHR(device->device, chain, nullptr);
  chain = VK_NULL_HANDLE;
  chainImages.clear();
}

HRESULT SwapChainImpl::createSurfaceChain() {
  VkBool32 supported = VK_FALSE;
  vkGetPhysicalDeviceSurfaceSupportKHR(device->physical, device->queueFamily, surface, &supported);
  if (!supported) {
    reportError("the device's queue cannot present to this window");
    return kFail;
  }
  VkSurfaceCapabilitiesKHR caps;
  vkGetPhysicalDeviceSurfaceCapabilitiesKHR(device->physical, surface, &caps);
  uint32_t count = 0;
  vkGetPhysicalDeviceSurfaceFormatsKHR(device->physical, surface, &count, nullptr);
  std::vector<VkSurfaceFormatKHR> formats(count);
  vkGetPhysicalDeviceSurfaceFormatsKHR(device->physical, surface, &count, formats.data());
  if (formats.empty()) return kFail;
  VkSurfaceFormatKHR chosen = formats[0];
  for (const auto& f : formats)
    if (f.format == VK_FORMAT_B8G8R8A8_UNORM || f.format == VK_FORMAT_R8G8B8A8_UNORM) chosen = f;
  chainExtent = caps.currentExtent.width != UINT32_MAX
                    ? caps.currentExtent
                    : VkExtent2D{desc.BufferDesc.Width, desc.BufferDesc.Height};
  if (chainExtent.width == 0 || chainExtent.height == 0) return kOk;  // minimised: nothing to show
  if (!(caps.supportedUsageFlags & VK_IMAGE_USAGE_TRANSFER_DST_BIT)) {
    reportError("the window's surface cannot be a copy destination");
    return kFail;
  }
  VkSwapchainCreateInfoKHR info{VK_STRUCTURE_TYPE_SWAPCHAIN_CREATE_INFO_KHR};
  info.surface = surface;
  info.minImageCount = std::max(caps.minImageCount, 3u);
  if (caps.maxImageCount) info.minImageCount = std::min(info.minImageCount, caps.maxImageCount);
  info.imageFormat = chosen.format;
  info.imageColorSpace = chosen.colorSpace;
  info.imageExtent = chainExtent;
  info.imageArrayLayers = 1;
  info.imageUsage = VK_IMAGE_USAGE_TRANSFER_DST_BIT;
  info.imageSharingMode = VK_SHARING_MODE_EXCLUSIVE;
  info.preTransform = caps.currentTransform;
  info.compositeAlpha = VK_COMPOSITE_ALPHA_OPAQUE_BIT_KHR;
  if (!(caps.supportedCompositeAlpha & VK_COMPOSITE_ALPHA_OPAQUE_BIT_KHR))
    info.compositeAlpha = VK_COMPOSITE_ALPHA_INHERIT_BIT_KHR;
  info.presentMode = VK_PRESENT_MODE_FIFO_KHR;  // always supported; waits for the display
  info.clipped = VK_TRUE;
  VkResult vr = vkCreateSwapchainKHR(device->device, &info, nullptr, &chain);
  if (vr != VK_SUCCESS) {
    reportError("vkCreateSwapchainKHR failed (%d)", vr);
    return resultFromVk(vr);
  }
  vkGetSwapchainImagesKHR(device->device, chain, &count, nullptr);
  chainImages.resize(count);
  vkGetSwapchainImagesKHR(device->device, chain, &count, chainImages.data());
  VkSemaphoreCreateInfo semaphoreInfo{VK_STRUCTURE_TYPE_SEMAPHORE_CREATE_INFO};
  renderDone.resize(count);
  for (auto& semaphore : renderDone) vkCreateSemaphore(device->device, &semaphoreInfo, nullptr, &semaphore);
  return kOk;
}

HRESULT SwapChainImpl::GetBuffer(UINT buffer, Resource** surfaceOut) {
  if (!surfaceOut || buffer >= buffers.size()) return kInvalidArg;
  buffers[buffer]->AddRef();
  *surfaceOut = buffers[buffer];
  return kOk;
}

HRESULT SwapChainImpl::Present(UINT, UINT) {
  // A destroyed window shows nothing: the frame is dropped, as for an occluded window (the
  // frame loop still presents the frame in which the window was closed).
  if (buffers[current]->state != RESOURCE_STATE_PRESENT)
    reportError("Present: back buffer %u is in state 0x%x, not PRESENT", current, buffers[current]->state);
  bool shown = surface && !windowIsDestroyed(desc.OutputWindow);
  HRESULT hr = shown ? presentToSurface(buffers[current]) : kOk;
  current = (current + 1) % static_cast<UINT>(buffers.size());
  return hr;
}

HRESULT SwapChainImpl::presentToSurface(ResourceImpl* source) {
  if (!chain) {
    destroySurfaceChain();
    HRESULT hr = createSurfaceChain();
    if (Failed(hr) || !chain) return hr;
  }
  Slot& s = slots[slot];
  slot = (slot + 1) % static_cast<uint32_t>(slots.size());
  vkWaitForFences(device->device, 1, &s.fence, VK_TRUE, UINT64_MAX);
  uint32_t index = 0;
  VkResult vr = vkAcquireNextImageKHR(device->device, chain, UINT64_MAX, s.acquired, VK_NULL_HANDLE, &index);
  if (vr == VK_ERROR_OUT_OF_DATE_KHR) {
    vkQueueWaitIdle(device->queue);
    destroySurfaceChain();  // rebuilt at the next Present; this frame is dropped
    return kOk;
  }
  if (vr != VK_SUCCESS && vr != VK_SUBOPTIMAL_KHR) return resultFromVk(vr);
  vkResetFences(device->device, 1, &s.fence);

  vkResetCommandBuffer(s.cmd, 0);
  VkCommandBufferBeginInfo begin{VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
  begin.flags = VK_COMMAND_BUFFER_USAGE_ONE_TIME_SUBMIT_BIT;
  vkBeginCommandBuffer(s.cmd, &begin);
  VkImageMemoryBarrier2 barriers[2] = {{VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER_2},
                                       {VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER_2}};
  barriers[0].srcStageMask = VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT;
  barriers[0].srcAccessMask = VK_ACCESS_2_MEMORY_WRITE_BIT;
  barriers[0].dstStageMask = VK_PIPELINE_STAGE_2_BLIT_BIT;
  barriers[0].dstAccessMask = VK_ACCESS_2_TRANSFER_READ_BIT;
  barriers[0].oldLayout = source->layout;
  barriers[0].newLayout = VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL;
  barriers[0].image = source->image;
  barriers[0].subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
  barriers[1].srcStageMask = VK_PIPELINE_STAGE_2_BLIT_BIT;  // chained to the acquire semaphore's wait
  barriers[1].dstStageMask = VK_PIPELINE_STAGE_2_BLIT_BIT;
  barriers[1].dstAccessMask = VK_ACCESS_2_TRANSFER_WRITE_BIT;
  barriers[1].oldLayout = VK_IMAGE_LAYOUT_UNDEFINED;
  barriers[1].newLayout = VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL;
  barriers[1].image = chainImages[index];
  barriers[1].subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
  for (auto& b : barriers) b.srcQueueFamilyIndex = b.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
  VkDependencyInfo dependency{VK_STRUCTURE_TYPE_DEPENDENCY_INFO};
  dependency.imageMemoryBarrierCount = 2;
  dependency.pImageMemoryBarriers = barriers;
  vkCmdPipelineBarrier2(s.cmd, &dependency);
  VkImageBlit blit{};
  blit.srcSubresource = blit.dstSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1};
  blit.srcOffsets[1] = {static_cast<int32_t>(source->desc.Width), static_cast<int32_t>(source->desc.Height), 1};
  blit.dstOffsets[1] = {static_cast<int32_t>(chainExtent.width), static_cast<int32_t>(chainExtent.height), 1};
  vkCmdBlitImage(s.cmd, source->image, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, chainImages[index],
                 VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, 1, &blit, VK_FILTER_LINEAR);
  // The back buffer returns to the layout the program left it in; the chain image is shown.
  std::swap(barriers[0].oldLayout, barriers[0].newLayout);
  barriers[0].srcStageMask = VK_PIPELINE_STAGE_2_BLIT_BIT;
  barriers[0].srcAccessMask = 0;
  barriers[0].dstStageMask = VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT;
  barriers[0].dstAccessMask = VK_ACCESS_2_MEMORY_READ_BIT | VK_ACCESS_2_MEMORY_WRITE_BIT;
  barriers[1].srcAccessMask = VK_ACCESS_2_TRANSFER_WRITE_BIT;
  barriers[1].dstStageMask = VK_PIPELINE_STAGE_2_NONE;
  barriers[1].dstAccessMask = 0;
  barriers[1].oldLayout = VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL;
  barriers[1].newLayout = VK_IMAGE_LAYOUT_PRESENT_SRC_KHR;
  vkCmdPipelineBarrier2(s.cmd, &dependency);
  vkEndCommandBuffer(s.cmd);

  VkSemaphoreSubmitInfo wait{VK_STRUCTURE_TYPE_SEMAPHORE_SUBMIT_INFO};
  wait.semaphore = s.acquired;
  wait.stageMask = VK_PIPELINE_STAGE_2_BLIT_BIT;
  VkSemaphoreSubmitInfo signal{VK_STRUCTURE_TYPE_SEMAPHORE_SUBMIT_INFO};
  signal.semaphore = renderDone[index];
  signal.stageMask = VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT;
  VkCommandBufferSubmitInfo command{VK_STRUCTURE_TYPE_COMMAND_BUFFER_SUBMIT_INFO};
  command.commandBuffer = s.cmd;
  VkSubmitInfo2 submit{VK_STRUCTURE_TYPE_SUBMIT_INFO_2};
  submit.waitSemaphoreInfoCount = 1;
  submit.pWaitSemaphoreInfos = &wait;
  submit.commandBufferInfoCount = 1;
  submit.pCommandBufferInfos = &command;
  submit.signalSemaphoreInfoCount = 1;
  submit.pSignalSemaphoreInfos = &signal;
  vr = vkQueueSubmit2(device->queue, 1, &submit, s.fence);
  if (vr != VK_SUCCESS) return resultFromVk(vr);
  VkPresentInfoKHR present{VK_STRUCTURE_TYPE_PRESENT_INFO_KHR};
  present.waitSemaphoreCount = 1;
  present.pWaitSemaphores = &renderDone[index];
  present.swapchainCount = 1;
  present.pSwapchains = &chain;
  present.pImageIndices = &index;
  vr = vkQueuePresentKHR(device->queue, &present);
  if (vr == VK_ERROR_OUT_OF_DATE_KHR || vr == VK_SUBOPTIMAL_KHR) {
    vkQueueWaitIdle(device->queue);
    destroySurfaceChain();
    return kOk;
  }
  return resultFromVk(vr);
}

HRESULT SwapChainImpl::ReadBackBuffer(UINT index, void* pixels, UINT64 rowPitch) {
  if (index >= buffers.size() || !pixels) return kInvalidArg;
  ResourceImpl* image = buffers[index];
  uint32_t width = static_cast<uint32_t>(image->desc.Width), height = image->desc.Height;
  uint64_t rowBytes = uint64_t(width) * FormatBytesPerPixel(image->desc.Format);
  if (rowPitch < rowBytes) return kInvalidArg;
  HeapProperties heap{HEAP_TYPE_READBACK};
  ResourceDesc bufferDesc;
  bufferDesc.Dimension = RESOURCE_DIMENSION_BUFFER;
  bufferDesc.Width = rowBytes * height;
  bufferDesc.Layout = TEXTURE_LAYOUT_ROW_MAJOR;
  ResourceImpl* staging = nullptr;
  HRESULT hr = createResource(device, heap, HEAP_FLAG_CREATE_NOT_ZEROED, bufferDesc, RESOURCE_STATE_COPY_DEST, &staging);
  if (Failed(hr)) return hr;
  vkQueueWaitIdle(device->queue);
  hr = device->submitAndWait([&](VkCommandBuffer cmd) {
    VkImageMemoryBarrier2 barrier{VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER_2};
    barrier.srcStageMask = VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT;
    barrier.srcAccessMask = VK_ACCESS_2_MEMORY_WRITE_BIT;
    barrier.dstStageMask = VK_PIPELINE_STAGE_2_COPY_BIT;
    barrier.dstAccessMask = VK_ACCESS_2_TRANSFER_READ_BIT;
    barrier.oldLayout = image->layout;
    barrier.newLayout = VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL;
    barrier.srcQueueFamilyIndex = barrier.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    barrier.image = image->image;
    barrier.subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
    VkDependencyInfo dependency{VK_STRUCTURE_TYPE_DEPENDENCY_INFO};
    dependency.imageMemoryBarrierCount = 1;
    dependency.pImageMemoryBarriers = &barrier;
    vkCmdPipelineBarrier2(cmd, &dependency);
    VkBufferImageCopy region{};
    region.imageSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1};
    region.imageExtent = {width, height, 1};
    vkCmdCopyImageToBuffer(cmd, image->image, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, staging->buffer, 1, &region);
    std::swap(barrier.oldLayout, barrier.newLayout);
    barrier.srcStageMask = VK_PIPELINE_STAGE_2_COPY_BIT;
    barrier.srcAccessMask = 0;
    barrier.dstStageMask = VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT;
    barrier.dstAccessMask = VK_ACCESS_2_MEMORY_READ_BIT | VK_ACCESS_2_MEMORY_WRITE_BIT;
    vkCmdPipelineBarrier2(cmd, &dependency);
    VkMemoryBarrier2 host{VK_STRUCTURE_TYPE_MEMORY_BARRIER_2};
    host.srcStageMask = VK_PIPELINE_STAGE_2_COPY_BIT;
    host.srcAccessMask = VK_ACCESS_2_TRANSFER_WRITE_BIT;
    host.dstStageMask = VK_PIPELINE_STAGE_2_HOST_BIT;
    host.dstAccessMask = VK_ACCESS_2_HOST_READ_BIT;
    VkDependencyInfo toHost{VK_STRUCTURE_TYPE_DEPENDENCY_INFO};
    toHost.memoryBarrierCount = 1;
    toHost.pMemoryBarriers = &host;
    vkCmdPipelineBarrier2(cmd, &toHost);
  });
  if (Succeeded(hr))
    for (uint32_t y = 0; y < height; ++y)
      std::memcpy(static_cast<uint8_t*>(pixels) + y * rowPitch, static_cast<uint8_t*>(staging->mapped) + y * rowBytes,
                  rowBytes);
  staging->Release();
  return hr;
}

}  // namespace

HRESULT FactoryImpl::CreateSwapChain(CommandQueue* queue, const SwapChainDesc* desc, SwapChain** swapChain) {
  if (!queue || !desc || !swapChain) return kInvalidArg;
  *swapChain = nullptr;
  DeviceImpl* device = static_cast<CommandQueueImpl*>(queue)->device;
  if (desc->BufferCount < 2 || desc->BufferCount > 16 || desc->BufferDesc.Width == 0 || desc->BufferDesc.Height == 0) {
    reportError("CreateSwapChain: %u buffers of %ux%u", desc->BufferCount, desc->BufferDesc.Width,
                desc->BufferDesc.Height);
    return kInvalidArg;
  }
  auto* chain = new SwapChainImpl();
  chain->factory = this;
  AddRef();
  chain->device = device;
  device->AddRef();
  chain->desc = *desc;
  HeapProperties heap{HEAP_TYPE_DEFAULT};
  ResourceDesc bufferDesc;
  bufferDesc.Dimension = RESOURCE_DIMENSION_TEXTURE2D;
  bufferDesc.Width = desc->BufferDesc.Width;
  bufferDesc.Height = desc->BufferDesc.Height;
  bufferDesc.Format = desc->BufferDesc.Format;
  bufferDesc.Flags = RESOURCE_FLAG_ALLOW_RENDER_TARGET;
  if (!(desc->BufferUsage & USAGE_SHADER_INPUT)) bufferDesc.Flags |= RESOURCE_FLAG_DENY_SHADER_RESOURCE;
  HRESULT hr = kOk;
  for (UINT i = 0; i < desc->BufferCount && Succeeded(hr); ++i) {
    ResourceImpl* buffer = nullptr;
    hr = createResource(device, heap, HEAP_FLAG_NONE, bufferDesc, RESOURCE_STATE_PRESENT, &buffer);
    if (Succeeded(hr)) chain->buffers.push_back(buffer);
  }
  if (Succeeded(hr) && desc->OutputWindow) {
    if (!windowCreateVulkanSurface(desc->OutputWindow, instance, reinterpret_cast<uint64_t*>(&chain->surface))) {
      reportError("CreateSwapChain: no Vulkan surface for the window");
      hr = kFail;
    }
    if (Succeeded(hr)) hr = chain->createSurfaceChain();
    VkCommandPoolCreateInfo poolInfo{VK_STRUCTURE_TYPE_COMMAND_POOL_CREATE_INFO};
    poolInfo.flags = VK_COMMAND_POOL_CREATE_RESET_COMMAND_BUFFER_BIT;
    poolInfo.queueFamilyIndex = device->queueFamily;
    if (Succeeded(hr)) hr = resultFromVk(vkCreateCommandPool(device->device, &poolInfo, nullptr, &chain->pool));
    chain->slots.resize(Succeeded(hr) ? 3 : 0);
    for (auto& s : chain->slots) {
      VkCommandBufferAllocateInfo allocate{VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO};
      allocate.commandPool = chain->pool;
      allocate.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
      allocate.commandBufferCount = 1;
      vkAllocateCommandBuffers(device->device, &allocate, &s.cmd);
      VkFenceCreateInfo fenceInfo{VK_STRUCTURE_TYPE_FENCE_CREATE_INFO};
      fenceInfo.flags = VK_FENCE_CREATE_SIGNALED_BIT;
      vkCreateFence(device->device, &fenceInfo, nullptr, &s.fence);
      VkSemaphoreCreateInfo semaphoreInfo{VK_STRUCTURE_TYPE_SEMAPHORE_CREATE_INFO};
      vkCreateSemaphore(device->device, &semaphoreInfo, nullptr, &s.acquired);
    }
  }
  if (Failed(hr)) {
    chain->Release();
    return hr;
  }
  *swapChain = chain;
  return kOk;
}

}  // namespace vk
}  // namespace gfx
