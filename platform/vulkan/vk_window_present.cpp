// A swap chain's window side: the surface, the VkSwapchainKHR that follows the window's size,
// and the copy of each presented back buffer into one of its images.
#include <algorithm>

#include "platform/os.h"
#include "platform/vulkan/vk_swap_chain.h"
#include "platform/window.h"

namespace gfx::vk {

HRESULT SwapChainImpl::createWindowPresentation() {
  if (!windowCreateVulkanSurface(desc.OutputWindow, factory->instance, reinterpret_cast<uint64_t*>(&surface))) {
    reportError("CreateSwapChain: no Vulkan surface for the window");
    return kFail;
  }
  HRESULT hr = createSurfaceChain();
  if (Failed(hr)) reportError("CreateSwapChain: no swap chain on the window's surface (%d)", hr);
  VkCommandPoolCreateInfo poolInfo{VK_STRUCTURE_TYPE_COMMAND_POOL_CREATE_INFO};
  poolInfo.flags = VK_COMMAND_POOL_CREATE_RESET_COMMAND_BUFFER_BIT;
  poolInfo.queueFamilyIndex = device->queueFamily;
  if (Succeeded(hr)) hr = resultFromVk(vkCreateCommandPool(device->device, &poolInfo, nullptr, &pool));
  slots.resize(Succeeded(hr) ? 3 : 0);
  for (Slot& s : slots) {
    VkCommandBufferAllocateInfo allocate{VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO};
    allocate.commandPool = pool;
    allocate.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
    allocate.commandBufferCount = 1;
    vkAllocateCommandBuffers(device->device, &allocate, &s.cmd);
    VkFenceCreateInfo fenceInfo{VK_STRUCTURE_TYPE_FENCE_CREATE_INFO};
    fenceInfo.flags = VK_FENCE_CREATE_SIGNALED_BIT;
    vkCreateFence(device->device, &fenceInfo, nullptr, &s.fence);
    VkSemaphoreCreateInfo semaphoreInfo{VK_STRUCTURE_TYPE_SEMAPHORE_CREATE_INFO};
    vkCreateSemaphore(device->device, &semaphoreInfo, nullptr, &s.acquired);
  }
  return hr;
}

void SwapChainImpl::destroyWindowPresentation() {
  destroySurfaceChain();
  for (Slot& s : slots) {
    vkDestroyFence(device->device, s.fence, nullptr);
    vkDestroySemaphore(device->device, s.acquired, nullptr);
  }
  slots.clear();
  if (pool) vkDestroyCommandPool(device->device, pool, nullptr);
  pool = VK_NULL_HANDLE;
  if (surface) vkDestroySurfaceKHR(factory->instance, surface, nullptr);
  surface = VK_NULL_HANDLE;
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
  VkResult vr = vkGetPhysicalDeviceSurfaceCapabilitiesKHR(device->physical, surface, &caps);
  surfaceLost = vr == VK_ERROR_SURFACE_LOST_KHR;
  if (vr != VK_SUCCESS) return resultFromVk(vr);
  uint32_t count = 0;
  vkGetPhysicalDeviceSurfaceFormatsKHR(device->physical, surface, &count, nullptr);
  std::vector<VkSurfaceFormatKHR> formats(count);
  vkGetPhysicalDeviceSurfaceFormatsKHR(device->physical, surface, &count, formats.data());
  if (formats.empty()) return kFail;
  // The back buffer's own format where the surface has it (the present is then a copy),
  // else another 8-bit UNORM one (a converting blit), else whatever it offers.
  VkSurfaceFormatKHR chosen = formats[0];
  for (const auto& f : formats)
    if (f.format == VK_FORMAT_B8G8R8A8_UNORM || f.format == VK_FORMAT_R8G8B8A8_UNORM) chosen = f;
  for (const auto& f : formats)
    if (f.format == toVkFormat(desc.BufferDesc.Format)) chosen = f;
  chainFormat = chosen.format;
  chainExtent = caps.currentExtent.width != UINT32_MAX
                    ? caps.currentExtent
                    : VkExtent2D{desc.BufferDesc.Width, desc.BufferDesc.Height};
  chainTransform = caps.currentTransform;
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
  vr = vkCreateSwapchainKHR(device->device, &info, nullptr, &chain);
  if (vr != VK_SUCCESS) {
    chain = VK_NULL_HANDLE;
    surfaceLost = vr == VK_ERROR_SURFACE_LOST_KHR;
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

// SUBOPTIMAL alone is no reason to rebuild: some systems report it for every frame of a chain
// that still shows correctly. A new size or a turned display is.
bool SwapChainImpl::chainStillFits() {
  VkSurfaceCapabilitiesKHR caps;
  if (vkGetPhysicalDeviceSurfaceCapabilitiesKHR(device->physical, surface, &caps) != VK_SUCCESS) return false;
  const bool sized = caps.currentExtent.width == UINT32_MAX ||
                     (caps.currentExtent.width == chainExtent.width && caps.currentExtent.height == chainExtent.height);
  return sized && caps.currentTransform == chainTransform;
}

// The chain is given up; the next Present builds a new one (and, after SURFACE_LOST, a new
// surface from the window first).
void SwapChainImpl::dropChain(VkResult why) {
  vkQueueWaitIdle(device->queue);
  destroySurfaceChain();
  if (why == VK_ERROR_SURFACE_LOST_KHR) surfaceLost = true;
}

HRESULT SwapChainImpl::presentToWindow(ResourceImpl* source) {
  if (surfaceLost) {
    vkDestroySurfaceKHR(factory->instance, surface, nullptr);
    surface = VK_NULL_HANDLE;
    if (!windowCreateVulkanSurface(desc.OutputWindow, factory->instance, reinterpret_cast<uint64_t*>(&surface)))
      return kOk;  // the frame is dropped; the next one tries again
    surfaceLost = false;
  }
  if (!chain) {
    destroySurfaceChain();
    HRESULT hr = createSurfaceChain();
    if (Failed(hr)) {
      // Mid-resize a surface can refuse the size it just reported: drop the frame, retry with the next.
      if (!rebuildFailing) osPrint("gfx: the window's swap chain could not be rebuilt; trying again each frame\n");
      rebuildFailing = true;
      return kOk;
    }
    rebuildFailing = false;
    if (!chain) return kOk;  // minimised
  }
  Slot& s = slots[slot];
  vkWaitForFences(device->device, 1, &s.fence, VK_TRUE, UINT64_MAX);
  uint32_t index = 0;
  VkResult vr = vkAcquireNextImageKHR(device->device, chain, UINT64_MAX, s.acquired, VK_NULL_HANDLE, &index);
  if (vr == VK_ERROR_OUT_OF_DATE_KHR || vr == VK_ERROR_SURFACE_LOST_KHR) {
    dropChain(vr);  // nothing was acquired: this frame is dropped
    return kOk;
  }
  if (vr != VK_SUCCESS && vr != VK_SUBOPTIMAL_KHR) return resultFromVk(vr);
  slot = (slot + 1) % static_cast<uint32_t>(slots.size());
  const bool suboptimal = vr == VK_SUBOPTIMAL_KHR;
  vr = submitAndPresent(s, source, index);
  if (vr == VK_ERROR_OUT_OF_DATE_KHR || vr == VK_ERROR_SURFACE_LOST_KHR ||
      ((suboptimal || vr == VK_SUBOPTIMAL_KHR) && !chainStillFits())) {
    dropChain(vr);
    return kOk;
  }
  return vr == VK_SUBOPTIMAL_KHR ? kOk : resultFromVk(vr);
}

// The back buffer copied (or scaled) into the chain image, and both left as the program and
// the display expect them.
void SwapChainImpl::recordCopy(VkCommandBuffer cmd, ResourceImpl* source, VkImage target) {
  VkImageMemoryBarrier2 barriers[2] = {{VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER_2},
                                       {VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER_2}};
  barriers[0].srcStageMask = VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT;
  barriers[0].srcAccessMask = VK_ACCESS_2_MEMORY_WRITE_BIT;
  barriers[0].dstStageMask = VK_PIPELINE_STAGE_2_ALL_TRANSFER_BIT;
  barriers[0].dstAccessMask = VK_ACCESS_2_TRANSFER_READ_BIT;
  barriers[0].oldLayout = source->layout;
  barriers[0].newLayout = VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL;
  barriers[0].image = source->image;
  barriers[0].subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
  barriers[1].srcStageMask = VK_PIPELINE_STAGE_2_ALL_TRANSFER_BIT;  // chained to the acquire semaphore's wait
  barriers[1].dstStageMask = VK_PIPELINE_STAGE_2_ALL_TRANSFER_BIT;
  barriers[1].dstAccessMask = VK_ACCESS_2_TRANSFER_WRITE_BIT;
  barriers[1].oldLayout = VK_IMAGE_LAYOUT_UNDEFINED;
  barriers[1].newLayout = VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL;
  barriers[1].image = target;
  barriers[1].subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
  for (auto& b : barriers) b.srcQueueFamilyIndex = b.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
  VkDependencyInfo dependency{VK_STRUCTURE_TYPE_DEPENDENCY_INFO};
  dependency.imageMemoryBarrierCount = 2;
  dependency.pImageMemoryBarriers = barriers;
  vkCmdPipelineBarrier2(cmd, &dependency);
  // A software driver copies bytes for a copy but draws every pixel for a converting blit.
  if (chainFormat == toVkFormat(source->desc.Format) && chainExtent.width == source->desc.Width &&
      chainExtent.height == source->desc.Height) {
    VkImageCopy copy{};
    copy.srcSubresource = copy.dstSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1};
    copy.extent = {chainExtent.width, chainExtent.height, 1};
    vkCmdCopyImage(cmd, source->image, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, target,
                   VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, 1, &copy);
  } else {
    VkImageBlit blit{};
    blit.srcSubresource = blit.dstSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1};
    blit.srcOffsets[1] = {static_cast<int32_t>(source->desc.Width), static_cast<int32_t>(source->desc.Height), 1};
    blit.dstOffsets[1] = {static_cast<int32_t>(chainExtent.width), static_cast<int32_t>(chainExtent.height), 1};
    vkCmdBlitImage(cmd, source->image, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, target,
                   VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, 1, &blit, VK_FILTER_LINEAR);
  }
  // The back buffer returns to the layout the program left it in; the chain image is shown.
  std::swap(barriers[0].oldLayout, barriers[0].newLayout);
  barriers[0].srcStageMask = VK_PIPELINE_STAGE_2_ALL_TRANSFER_BIT;
  barriers[0].srcAccessMask = 0;
  barriers[0].dstStageMask = VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT;
  barriers[0].dstAccessMask = VK_ACCESS_2_MEMORY_READ_BIT | VK_ACCESS_2_MEMORY_WRITE_BIT;
  barriers[1].srcAccessMask = VK_ACCESS_2_TRANSFER_WRITE_BIT;
  barriers[1].dstStageMask = VK_PIPELINE_STAGE_2_NONE;
  barriers[1].dstAccessMask = 0;
  barriers[1].oldLayout = VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL;
  barriers[1].newLayout = VK_IMAGE_LAYOUT_PRESENT_SRC_KHR;
  vkCmdPipelineBarrier2(cmd, &dependency);
}

// The copy into acquired image `index`, submitted on the slot's fence, and the
// present: the present's result (or the submit's, when that failed).
VkResult SwapChainImpl::submitAndPresent(Slot& s, ResourceImpl* source, uint32_t index) {
  vkResetFences(device->device, 1, &s.fence);
  vkResetCommandBuffer(s.cmd, 0);
  VkCommandBufferBeginInfo begin{VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
  begin.flags = VK_COMMAND_BUFFER_USAGE_ONE_TIME_SUBMIT_BIT;
  vkBeginCommandBuffer(s.cmd, &begin);
  recordCopy(s.cmd, source, chainImages[index]);
  vkEndCommandBuffer(s.cmd);

  VkSemaphoreSubmitInfo wait{VK_STRUCTURE_TYPE_SEMAPHORE_SUBMIT_INFO};
  wait.semaphore = s.acquired;
  wait.stageMask = VK_PIPELINE_STAGE_2_ALL_TRANSFER_BIT;
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
  VkResult vr = vkQueueSubmit2(device->queue, 1, &submit, s.fence);
  if (vr != VK_SUCCESS) return vr;
  VkPresentInfoKHR present{VK_STRUCTURE_TYPE_PRESENT_INFO_KHR};
  present.waitSemaphoreCount = 1;
  present.pWaitSemaphores = &renderDone[index];
  present.swapchainCount = 1;
  present.pSwapchains = &chain;
  present.pImageIndices = &index;
  return vkQueuePresentKHR(device->queue, &present);
}

}  // namespace gfx::vk
