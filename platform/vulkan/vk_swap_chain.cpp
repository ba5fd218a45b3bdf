// Swap chains (vk_swap_chain.h): the back buffers, Present, the read-back; the window's side
// is in vk_window_present.cpp.
#include "platform/vulkan/vk_swap_chain.h"

#include <cstring>
#include <utility>

#include "platform/window.h"

namespace gfx {
namespace vk {

SwapChainImpl::~SwapChainImpl() {
  vkQueueWaitIdle(device->queue);
  destroyWindowPresentation();
  for (ResourceImpl* buffer : buffers) buffer->Release();
  device->Release();
  factory->Release();
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
  bool shown = desc.OutputWindow && !windowIsDestroyed(desc.OutputWindow);
  HRESULT hr = shown ? presentToWindow(buffers[current]) : kOk;
  current = (current + 1) % static_cast<UINT>(buffers.size());
  return hr;
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
    for (uint32_t y = 0; y < height; ++y) {
      uint8_t* row = static_cast<uint8_t*>(pixels) + y * rowPitch;
      std::memcpy(row, static_cast<uint8_t*>(staging->mapped) + y * rowBytes, rowBytes);
      if (image->desc.Format == FORMAT_B8G8R8A8_UNORM)
        for (uint64_t x = 0; x < rowBytes; x += 4) std::swap(row[x], row[x + 2]);
    }
  staging->Release();
  return hr;
}

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
  if (Succeeded(hr) && desc->OutputWindow) hr = chain->createWindowPresentation();
  if (Failed(hr)) {
    chain->Release();
    return hr;
  }
  *swapChain = chain;
  return kOk;
}

}  // namespace vk

// Desktop surfaces (X11, Wayland, Windows) all offer B8G8R8A8; some offer nothing else. A
// back buffer in the surface's order reaches the window by a plain copy.
Format PreferredBackBufferFormat() { return FORMAT_B8G8R8A8_UNORM; }

}  // namespace gfx
