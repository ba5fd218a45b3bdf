// Committed resources (a buffer or a 2D image with its own memory), mapping and GPU addresses.
#include <cstring>

#include "platform/vulkan/vk_internal.h"

namespace gfx {
namespace vk {
namespace {

VkImageUsageFlags imageUsage(ResourceFlags flags, Format format) {
  VkImageUsageFlags usage = VK_IMAGE_USAGE_TRANSFER_SRC_BIT | VK_IMAGE_USAGE_TRANSFER_DST_BIT;
  if (!(flags & RESOURCE_FLAG_DENY_SHADER_RESOURCE)) usage |= VK_IMAGE_USAGE_SAMPLED_BIT;
  if (flags & RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS) usage |= VK_IMAGE_USAGE_STORAGE_BIT;
  if (flags & RESOURCE_FLAG_ALLOW_RENDER_TARGET) usage |= VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT;
  if ((flags & RESOURCE_FLAG_ALLOW_DEPTH_STENCIL) || isDepthFormat(format))
    usage |= VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT;
  return usage;
}

bool isTypeless(Format format) {
  return format == FORMAT_R32G32B32A32_TYPELESS || format == FORMAT_R16G16B16A16_TYPELESS ||
         format == FORMAT_R8G8B8A8_TYPELESS || format == FORMAT_R32_TYPELESS;
}

HRESULT createBuffer(DeviceImpl* device, ResourceImpl* resource, bool zeroed) {
  VkBufferCreateInfo info{VK_STRUCTURE_TYPE_BUFFER_CREATE_INFO};
  info.size = resource->desc.Width;
  info.usage = VK_BUFFER_USAGE_TRANSFER_SRC_BIT | VK_BUFFER_USAGE_TRANSFER_DST_BIT |
               VK_BUFFER_USAGE_UNIFORM_BUFFER_BIT | VK_BUFFER_USAGE_STORAGE_BUFFER_BIT |
               VK_BUFFER_USAGE_VERTEX_BUFFER_BIT | VK_BUFFER_USAGE_INDEX_BUFFER_BIT |
               VK_BUFFER_USAGE_INDIRECT_BUFFER_BIT;
  info.sharingMode = VK_SHARING_MODE_EXCLUSIVE;
  VkResult vr = vkCreateBuffer(device->device, &info, nullptr, &resource->buffer);
  if (vr != VK_SUCCESS) return resultFromVk(vr);
  VkMemoryRequirements requirements;
  vkGetBufferMemoryRequirements(device->device, resource->buffer, &requirements);
  VkMemoryPropertyFlags required = 0, preferred = VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT;
  if (resource->heapType == HEAP_TYPE_UPLOAD || resource->heapType == HEAP_TYPE_READBACK) {
    required = VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT | VK_MEMORY_PROPERTY_HOST_COHERENT_BIT;
    preferred = resource->heapType == HEAP_TYPE_READBACK ? VK_MEMORY_PROPERTY_HOST_CACHED_BIT : 0;
  }
  int32_t type = device->findMemoryType(requirements.memoryTypeBits, required, preferred);
  if (type < 0) {
    reportError("no memory type for a buffer of heap type %u", resource->heapType);
    return kOutOfMemory;
  }
  VkMemoryAllocateInfo allocate{VK_STRUCTURE_TYPE_MEMORY_ALLOCATE_INFO};
  allocate.allocationSize = requirements.size;
  allocate.memoryTypeIndex = static_cast<uint32_t>(type);
  vr = vkAllocateMemory(device->device, &allocate, nullptr, &resource->memory);
  if (vr != VK_SUCCESS) return resultFromVk(vr);
  vkBindBufferMemory(device->device, resource->buffer, resource->memory, 0);
  bool hostVisible = device->memory.memoryTypes[type].propertyFlags & VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT;
  if (hostVisible) {
    vr = vkMapMemory(device->device, resource->memory, 0, VK_WHOLE_SIZE, 0, &resource->mapped);
    if (vr != VK_SUCCESS) return resultFromVk(vr);
  }
  if (zeroed) {
    if (resource->mapped) {
      std::memset(resource->mapped, 0, resource->desc.Width);
    } else {
      VkBuffer buffer = resource->buffer;
      return device->submitAndWait([&](VkCommandBuffer cmd) { vkCmdFillBuffer(cmd, buffer, 0, VK_WHOLE_SIZE, 0); });
    }
  }
  // Only resources in host-visible heaps may be mapped, as in D3D12.
  if (resource->heapType == HEAP_TYPE_DEFAULT) resource->mapped = nullptr;
  return kOk;
}

HRESULT createImage(DeviceImpl* device, ResourceImpl* resource, bool zeroed, ResourceStates initialState) {
  const ResourceDesc& desc = resource->desc;
  if (desc.Dimension != RESOURCE_DIMENSION_TEXTURE2D || desc.DepthOrArraySize != 1 || desc.MipLevels > 1 ||
      desc.SampleDesc.Count > 1) {
    reportError("only single-sampled 2D textures with one mip level and one slice are provided");
    return kInvalidArg;
  }
  if (resource->heapType != HEAP_TYPE_DEFAULT) {
    reportError("textures live in the default heap");
    return kInvalidArg;
  }
  resource->vkFormat = toVkFormat(desc.Format);
  if (resource->vkFormat == VK_FORMAT_UNDEFINED) {
    reportError("texture format %u is not provided", desc.Format);
    return kInvalidArg;
  }
  resource->aspect = isDepthFormat(desc.Format) ? VK_IMAGE_ASPECT_DEPTH_BIT : VK_IMAGE_ASPECT_COLOR_BIT;
  if (desc.Format == FORMAT_D24_UNORM_S8_UINT) resource->aspect |= VK_IMAGE_ASPECT_STENCIL_BIT;
  VkImageCreateInfo info{VK_STRUCTURE_TYPE_IMAGE_CREATE_INFO};
  info.flags = isTypeless(desc.Format) ? VK_IMAGE_CREATE_MUTABLE_FORMAT_BIT : 0;
  info.imageType = VK_IMAGE_TYPE_2D;
  info.format = resource->vkFormat;
  info.extent = {static_cast<uint32_t>(desc.Width), desc.Height, 1};
  info.mipLevels = 1;
  info.arrayLayers = 1;
  info.samples = VK_SAMPLE_COUNT_1_BIT;
  info.tiling = VK_IMAGE_TILING_OPTIMAL;
  info.usage = imageUsage(desc.Flags, desc.Format);
  info.initialLayout = VK_IMAGE_LAYOUT_UNDEFINED;
  VkImageFormatProperties supported;
  if (vkGetPhysicalDeviceImageFormatProperties(device->physical, info.format, info.imageType, info.tiling, info.usage,
                                               info.flags, &supported) != VK_SUCCESS ||
      supported.maxExtent.width < info.extent.width || supported.maxExtent.height < info.extent.height) {
    reportError("a %ux%u texture of format %u with flags 0x%x is not supported by the device", info.extent.width,
                info.extent.height, desc.Format, desc.Flags);
    return kInvalidArg;
  }
  VkResult vr = vkCreateImage(device->device, &info, nullptr, &resource->image);
  if (vr != VK_SUCCESS) return resultFromVk(vr);
  VkMemoryRequirements requirements;
  vkGetImageMemoryRequirements(device->device, resource->image, &requirements);
  int32_t type = device->findMemoryType(requirements.memoryTypeBits, 0, VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT);
  if (type < 0) return kOutOfMemory;
  VkMemoryAllocateInfo allocate{VK_STRUCTURE_TYPE_MEMORY_ALLOCATE_INFO};
  allocate.allocationSize = requirements.size;
  allocate.memoryTypeIndex = static_cast<uint32_t>(type);
  vr = vkAllocateMemory(device->device, &allocate, nullptr, &resource->memory);
  if (vr != VK_SUCCESS) return resultFromVk(vr);
  vkBindImageMemory(device->device, resource->image, resource->memory, 0);

  // The image starts in the layout of its initial state, zero-filled unless asked not to be.
  VkImageLayout target = stateLayout(initialState);
  HRESULT hr = device->submitAndWait([&](VkCommandBuffer cmd) {
    VkImageMemoryBarrier2 barrier{VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER_2};
    barrier.srcStageMask = VK_PIPELINE_STAGE_2_NONE;
    barrier.dstStageMask = VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT;
    barrier.dstAccessMask = VK_ACCESS_2_MEMORY_READ_BIT | VK_ACCESS_2_MEMORY_WRITE_BIT;
    barrier.oldLayout = VK_IMAGE_LAYOUT_UNDEFINED;
    barrier.newLayout = zeroed ? VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL : target;
    barrier.srcQueueFamilyIndex = barrier.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    barrier.image = resource->image;
    barrier.subresourceRange = {resource->aspect, 0, 1, 0, 1};
    VkDependencyInfo dependency{VK_STRUCTURE_TYPE_DEPENDENCY_INFO};
    dependency.imageMemoryBarrierCount = 1;
    dependency.pImageMemoryBarriers = &barrier;
    vkCmdPipelineBarrier2(cmd, &dependency);
    if (!zeroed) return;
    if (resource->aspect & VK_IMAGE_ASPECT_DEPTH_BIT) {
      VkClearDepthStencilValue zero{0.0f, 0};
      vkCmdClearDepthStencilImage(cmd, resource->image, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, &zero, 1,
                                  &barrier.subresourceRange);
    } else {
      VkClearColorValue zero{};
      vkCmdClearColorImage(cmd, resource->image, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, &zero, 1,
                           &barrier.subresourceRange);
    }
    barrier.srcStageMask = VK_PIPELINE_STAGE_2_CLEAR_BIT;
    barrier.srcAccessMask = VK_ACCESS_2_TRANSFER_WRITE_BIT;
    barrier.oldLayout = VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL;
    barrier.newLayout = target;
    vkCmdPipelineBarrier2(cmd, &dependency);
  });
  resource->layout = target;
  return hr;
}

}  // namespace

HRESULT createResource(DeviceImpl* device, const HeapProperties& heap, HeapFlags heapFlags, const ResourceDesc& desc,
                       ResourceStates initialState, ResourceImpl** out) {
  *out = nullptr;
  if (heap.Type < HEAP_TYPE_DEFAULT || heap.Type > HEAP_TYPE_READBACK) {
    reportError("heap type %u is not provided", heap.Type);
    return kInvalidArg;
  }
  if (desc.Width == 0 || desc.Height == 0) {
    reportError("a resource needs a non-zero size");
    return kInvalidArg;
  }
  auto* resource = new ResourceImpl();
  resource->device = device;
  device->AddRef();
  resource->desc = desc;
  resource->heapType = heap.Type;
  bool zeroed = !(heapFlags & HEAP_FLAG_CREATE_NOT_ZEROED);
  HRESULT hr = desc.Dimension == RESOURCE_DIMENSION_BUFFER ? createBuffer(device, resource, zeroed)
                                                           : createImage(device, resource, zeroed, initialState);
  if (Failed(hr)) {
    resource->Release();
    return hr;
  }
  resource->state = initialState;
  resource->id = device->registerResource(resource);
  *out = resource;
  return kOk;
}

HRESULT DeviceImpl::CreateCommittedResource(const HeapProperties* heapProperties, HeapFlags heapFlags,
                                            const ResourceDesc* desc, ResourceStates initialState, const ClearValue*,
                                            Resource** resource) {
  if (!heapProperties || !desc || !resource) return kInvalidArg;
  ResourceImpl* created = nullptr;
  HRESULT hr = createResource(this, *heapProperties, heapFlags, *desc, initialState, &created);
  *resource = created;
  return hr;
}

ResourceImpl::~ResourceImpl() {
  VkDevice vkDevice = device->device;
  device->unregisterResource(id);
  for (const auto& cached : views) vkDestroyImageView(vkDevice, cached.view, nullptr);
  if (buffer) vkDestroyBuffer(vkDevice, buffer, nullptr);
  if (image) vkDestroyImage(vkDevice, image, nullptr);
  if (memory) vkFreeMemory(vkDevice, memory, nullptr);
  device->Release();
}

void ResourceImpl::applyName() {
  if (buffer) device->nameHandle(VK_OBJECT_TYPE_BUFFER, reinterpret_cast<uint64_t>(buffer), name_);
  if (image) device->nameHandle(VK_OBJECT_TYPE_IMAGE, reinterpret_cast<uint64_t>(image), name_);
  device->nameHandle(VK_OBJECT_TYPE_DEVICE_MEMORY, reinterpret_cast<uint64_t>(memory), name_);
}

HRESULT ResourceImpl::Map(UINT subresource, const Range*, void** data) {
  if (data) *data = nullptr;
  if (subresource != 0 || !mapped) {
    reportError("Map: '%s' is not a buffer in an upload or readback heap", label());
    return kInvalidArg;
  }
  if (data) *data = mapped;
  return kOk;
}

void ResourceImpl::Unmap(UINT, const Range*) {}  // memory is coherent and stays mapped

GPU_VIRTUAL_ADDRESS ResourceImpl::GetGPUVirtualAddress() {
  return isBuffer() ? static_cast<GPU_VIRTUAL_ADDRESS>(id) << kAddressIdShift : 0;
}

VkImageView ResourceImpl::imageView(Format viewFormat) {
  if (!image) return VK_NULL_HANDLE;
  if (viewFormat == FORMAT_UNKNOWN) viewFormat = desc.Format;
  for (const auto& cached : views)
    if (cached.format == viewFormat) return cached.view;
  VkImageViewCreateInfo info{VK_STRUCTURE_TYPE_IMAGE_VIEW_CREATE_INFO};
  info.image = image;
  info.viewType = VK_IMAGE_VIEW_TYPE_2D;
  info.format = toVkFormat(viewFormat);
  info.subresourceRange = {aspect, 0, 1, 0, 1};
  if (info.format == VK_FORMAT_UNDEFINED) {
    reportError("view format %u is not provided", viewFormat);
    return VK_NULL_HANDLE;
  }
  if (info.format != vkFormat && !(isTypeless(desc.Format))) {
    reportError("'%s': a view of format %u on a texture of format %u needs a typeless texture", label(),
                viewFormat, desc.Format);
    return VK_NULL_HANDLE;
  }
  VkImageView view = VK_NULL_HANDLE;
  if (vkCreateImageView(device->device, &info, nullptr, &view) != VK_SUCCESS) return VK_NULL_HANDLE;
  device->nameHandle(VK_OBJECT_TYPE_IMAGE_VIEW, reinterpret_cast<uint64_t>(view), name_);
  views.push_back({viewFormat, view});
  return view;
}

}  // namespace vk
}  // namespace gfx
