// The device: Vulkan 1.3 with dynamic rendering, synchronization2 and timeline semaphores on
// one queue that does graphics, compute and copies; registries that decode the handles and
// addresses this layer hands out.
#include <cstring>

#include "platform/vulkan/vk_internal.h"

namespace gfx {
namespace vk {

DeviceImpl::~DeviceImpl() {
  if (device) {
    vkDeviceWaitIdle(device);
    if (oneShotPool) vkDestroyCommandPool(device, oneShotPool, nullptr);
    vkDestroyDevice(device, nullptr);
  }
  if (adapter) adapter->Release();
}

void DeviceImpl::nameHandle(VkObjectType type, uint64_t handle, const std::string& name) {
  if (!setObjectName || !handle) return;
  VkDebugUtilsObjectNameInfoEXT info{VK_STRUCTURE_TYPE_DEBUG_UTILS_OBJECT_NAME_INFO_EXT};
  info.objectType = type;
  info.objectHandle = handle;
  info.pObjectName = name.c_str();
  setObjectName(device, &info);
}

int32_t DeviceImpl::findMemoryType(uint32_t typeBits, VkMemoryPropertyFlags required,
                                   VkMemoryPropertyFlags preferred) {
  int32_t fallback = -1;
  for (uint32_t i = 0; i < memory.memoryTypeCount; ++i) {
    if (!(typeBits & (1u << i))) continue;
    VkMemoryPropertyFlags flags = memory.memoryTypes[i].propertyFlags;
    if ((flags & required) != required) continue;
    if ((flags & preferred) == preferred) return static_cast<int32_t>(i);
    if (fallback < 0) fallback = static_cast<int32_t>(i);
  }
  return fallback;
}

uint32_t DeviceImpl::registerResource(ResourceImpl* resource) {
  if (resources.empty()) resources.push_back(nullptr);
  resources.push_back(resource);
  return static_cast<uint32_t>(resources.size() - 1);
}

void DeviceImpl::unregisterResource(uint32_t id) {
  if (id < resources.size()) resources[id] = nullptr;
}

ResourceImpl* DeviceImpl::resourceById(uint32_t id) { return id < resources.size() ? resources[id] : nullptr; }

ResourceImpl* DeviceImpl::resourceByAddress(GPU_VIRTUAL_ADDRESS address, uint64_t* offset) {
  ResourceImpl* resource = resourceById(static_cast<uint32_t>(address >> kAddressIdShift));
  *offset = address & kAddressOffsetMask;
  if (!resource || !resource->isBuffer() || *offset >= resource->desc.Width) {
    reportError("GPU virtual address 0x%llx names no live buffer", static_cast<unsigned long long>(address));
    return nullptr;
  }
  return resource;
}

uint32_t DeviceImpl::registerHeap(DescriptorHeapImpl* heap) {
  if (heaps.empty()) heaps.push_back(nullptr);
  heaps.push_back(heap);
  return static_cast<uint32_t>(heaps.size() - 1);
}

void DeviceImpl::unregisterHeap(uint32_t id) {
  if (id < heaps.size()) heaps[id] = nullptr;
}

DescriptorHeapImpl* DeviceImpl::heapByHandle(uint64_t handle, uint32_t* slot, const char* what) {
  uint32_t id = static_cast<uint32_t>(handle >> 32);
  uint32_t offset = static_cast<uint32_t>(handle & 0xFFFFFFFFu);
  DescriptorHeapImpl* heap = id < heaps.size() ? heaps[id] : nullptr;
  if (!heap || offset % kDescriptorIncrement != 0 || offset / kDescriptorIncrement >= heap->desc.NumDescriptors) {
    reportError("%s: descriptor handle 0x%llx names no slot of a live heap", what,
                static_cast<unsigned long long>(handle));
    return nullptr;
  }
  *slot = offset / kDescriptorIncrement;
  return heap;
}

UINT DeviceImpl::GetDescriptorHandleIncrementSize(DescriptorHeapType) { return kDescriptorIncrement; }

HRESULT DeviceImpl::GetDeviceRemovedReason() { return kOk; }

// Row pitch aligned to 256 bytes, like D3D12; one subresource per texture (no mips/arrays).
void DeviceImpl::GetCopyableFootprints(const ResourceDesc* desc, UINT firstSubresource, UINT numSubresources,
                                       UINT64 baseOffset, PlacedSubresourceFootprint* layouts, UINT* numRows,
                                       UINT64* rowSizeInBytes, UINT64* totalBytes) {
  UINT64 total = 0;
  bool valid = desc && firstSubresource == 0 && numSubresources <= 1;
  if (valid && numSubresources == 1) {
    UINT64 width = desc->Width;
    UINT height = desc->Dimension == RESOURCE_DIMENSION_BUFFER ? 1 : desc->Height;
    UINT depth = desc->Dimension == RESOURCE_DIMENSION_TEXTURE3D ? desc->DepthOrArraySize : 1;
    UINT64 rowSize = desc->Dimension == RESOURCE_DIMENSION_BUFFER ? width : width * FormatBytesPerPixel(desc->Format);
    UINT64 pitch = desc->Dimension == RESOURCE_DIMENSION_BUFFER
                       ? rowSize
                       : (rowSize + TEXTURE_DATA_PITCH_ALIGNMENT - 1) / TEXTURE_DATA_PITCH_ALIGNMENT *
                             TEXTURE_DATA_PITCH_ALIGNMENT;
    UINT64 offset = (baseOffset + TEXTURE_DATA_PLACEMENT_ALIGNMENT - 1) / TEXTURE_DATA_PLACEMENT_ALIGNMENT *
                    TEXTURE_DATA_PLACEMENT_ALIGNMENT;
    if (desc->Dimension == RESOURCE_DIMENSION_BUFFER) offset = baseOffset;
    if (layouts) {
      layouts->Offset = offset;
      layouts->Footprint = {desc->Format, static_cast<UINT>(width), height, depth, static_cast<UINT>(pitch)};
    }
    if (numRows) *numRows = height;
    if (rowSizeInBytes) *rowSizeInBytes = rowSize;
    total = pitch * height * (depth - 1) + pitch * (height - 1) + rowSize;
  } else if (!valid) {
    reportError("GetCopyableFootprints: only subresource 0 exists");
    total = ~UINT64(0);
  }
  if (totalBytes) *totalBytes = total;
}

}  // namespace vk

HRESULT CreateDevice(Adapter* adapterInterface, FeatureLevel, Device** deviceOut) {
  using namespace vk;
  if (!adapterInterface || !deviceOut) return kInvalidArg;
  *deviceOut = nullptr;
  auto* adapter = static_cast<AdapterImpl*>(adapterInterface);
  VkPhysicalDevice physical = adapter->physical;

  VkPhysicalDeviceProperties properties;
  vkGetPhysicalDeviceProperties(physical, &properties);
  if (properties.apiVersion < VK_API_VERSION_1_3) {
    reportMissingDriver("%s supports Vulkan %u.%u; 1.3 is needed", properties.deviceName,
                        VK_API_VERSION_MAJOR(properties.apiVersion), VK_API_VERSION_MINOR(properties.apiVersion));
    return kFail;
  }
  VkPhysicalDeviceVulkan13Features have13{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_3_FEATURES};
  VkPhysicalDeviceVulkan12Features have12{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_2_FEATURES, &have13};
  VkPhysicalDeviceFeatures2 have{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_FEATURES_2, &have12};
  vkGetPhysicalDeviceFeatures2(physical, &have);
  if (!have13.dynamicRendering || !have13.synchronization2 || !have12.timelineSemaphore) {
    reportMissingDriver("%s lacks dynamic rendering, synchronization2 or timeline semaphores",
                        properties.deviceName);
    return kFail;
  }

  uint32_t familyCount = 0;
  vkGetPhysicalDeviceQueueFamilyProperties(physical, &familyCount, nullptr);
  std::vector<VkQueueFamilyProperties> families(familyCount);
  vkGetPhysicalDeviceQueueFamilyProperties(physical, &familyCount, families.data());
  const uint32_t family = graphicsComputeFamily(physical);
  if (family == UINT32_MAX) {
    reportError("%s has no graphics+compute queue", properties.deviceName);
    return kFail;
  }

  uint32_t extensionCount = 0;
  vkEnumerateDeviceExtensionProperties(physical, nullptr, &extensionCount, nullptr);
  std::vector<VkExtensionProperties> available(extensionCount);
  vkEnumerateDeviceExtensionProperties(physical, nullptr, &extensionCount, available.data());
  std::vector<const char*> extensions;
  for (const auto& extension : available)
    if (std::strcmp(extension.extensionName, VK_KHR_SWAPCHAIN_EXTENSION_NAME) == 0)
      extensions.push_back(VK_KHR_SWAPCHAIN_EXTENSION_NAME);

  VkPhysicalDeviceVulkan13Features enable13{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_3_FEATURES};
  enable13.dynamicRendering = VK_TRUE;
  enable13.synchronization2 = VK_TRUE;
  VkPhysicalDeviceVulkan12Features enable12{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_2_FEATURES, &enable13};
  enable12.timelineSemaphore = VK_TRUE;
  enable12.scalarBlockLayout = have12.scalarBlockLayout;
  VkPhysicalDeviceFeatures2 enable{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_FEATURES_2, &enable12};
  enable.features.shaderStorageImageWriteWithoutFormat = have.features.shaderStorageImageWriteWithoutFormat;
  enable.features.shaderStorageImageReadWithoutFormat = have.features.shaderStorageImageReadWithoutFormat;
  enable.features.fragmentStoresAndAtomics = have.features.fragmentStoresAndAtomics;
  enable.features.vertexPipelineStoresAndAtomics = have.features.vertexPipelineStoresAndAtomics;
  enable.features.samplerAnisotropy = have.features.samplerAnisotropy;

  float priority = 1.0f;
  VkDeviceQueueCreateInfo queueInfo{VK_STRUCTURE_TYPE_DEVICE_QUEUE_CREATE_INFO};
  queueInfo.queueFamilyIndex = family;
  queueInfo.queueCount = 1;
  queueInfo.pQueuePriorities = &priority;
  VkDeviceCreateInfo info{VK_STRUCTURE_TYPE_DEVICE_CREATE_INFO, &enable};
  info.queueCreateInfoCount = 1;
  info.pQueueCreateInfos = &queueInfo;
  info.enabledExtensionCount = static_cast<uint32_t>(extensions.size());
  info.ppEnabledExtensionNames = extensions.data();

  auto* device = new DeviceImpl();
  device->adapter = adapter;
  adapter->AddRef();
  device->physical = physical;
  device->queueFamily = family;
  device->limits = properties.limits;
  device->timestampValidBits = families[family].timestampValidBits;
  vkGetPhysicalDeviceMemoryProperties(physical, &device->memory);
  VkResult vr = vkCreateDevice(physical, &info, nullptr, &device->device);
  if (vr != VK_SUCCESS) {
    reportError("vkCreateDevice failed (%d)", vr);
    device->Release();
    return resultFromVk(vr);
  }
  vkGetDeviceQueue(device->device, family, 0, &device->queue);
  VkCommandPoolCreateInfo poolInfo{VK_STRUCTURE_TYPE_COMMAND_POOL_CREATE_INFO};
  poolInfo.flags = VK_COMMAND_POOL_CREATE_TRANSIENT_BIT;
  poolInfo.queueFamilyIndex = family;
  vkCreateCommandPool(device->device, &poolInfo, nullptr, &device->oneShotPool);
  if (adapter->factory->debugUtils)
    device->setObjectName = reinterpret_cast<PFN_vkSetDebugUtilsObjectNameEXT>(
        vkGetInstanceProcAddr(adapter->factory->instance, "vkSetDebugUtilsObjectNameEXT"));
  *deviceOut = device;
  return kOk;
}

}  // namespace gfx
