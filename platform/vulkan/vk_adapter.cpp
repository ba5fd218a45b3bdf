// Adapters (physical devices): what each one is, and whether it has everything a program
// needs, with the reason for each thing it lacks.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/vulkan/vk_internal.h"
#include "platform/window.h"

namespace gfx::vk {
namespace {

AdapterType adapterTypeOf(VkPhysicalDeviceType type) {
  switch (type) {
    case VK_PHYSICAL_DEVICE_TYPE_DISCRETE_GPU: return ADAPTER_TYPE_DISCRETE_GPU;
    case VK_PHYSICAL_DEVICE_TYPE_INTEGRATED_GPU: return ADAPTER_TYPE_INTEGRATED_GPU;
    case VK_PHYSICAL_DEVICE_TYPE_CPU: return ADAPTER_TYPE_CPU;
    default: return ADAPTER_TYPE_OTHER;
  }
}

// The DXGI name of the formats the program uses, the number of any other.
std::string formatLabel(Format format) {
  switch (format) {
    case FORMAT_R32G32B32A32_FLOAT: return "R32G32B32A32_FLOAT";
    case FORMAT_R16G16B16A16_FLOAT: return "R16G16B16A16_FLOAT";
    case FORMAT_R32_FLOAT: return "R32_FLOAT";
    case FORMAT_R8G8B8A8_UNORM: return "R8G8B8A8_UNORM";
    default: return "format " + std::to_string(format);
  }
}

const char* const kSubgroupOperationNames[] = {"basic", "vote",    "arithmetic", "ballot",
                                               "shuffle", "relative shuffle", "clustered", "quad"};

// What a device offers, read once for the checks.
struct Offer {
  VkPhysicalDeviceProperties properties{};
  VkPhysicalDeviceVulkan11Properties properties11{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_1_PROPERTIES};
  VkPhysicalDeviceFeatures2 features{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_FEATURES_2};
  VkPhysicalDeviceVulkan12Features features12{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_2_FEATURES};
  VkPhysicalDeviceVulkan13Features features13{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_3_FEATURES};
};

class Reasons {
 public:
  void add(const char* format, ...) __attribute__((format(printf, 2, 3))) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    list_.emplace_back(text);
  }
  void atLeast(uint64_t offered, uint64_t needed, const char* what) {
    if (offered < needed)
      add("at most %llu %s (%llu needed)", static_cast<unsigned long long>(offered), what,
          static_cast<unsigned long long>(needed));
  }
  bool empty() const { return list_.empty(); }
  std::string joined() const {
    std::string text;
    for (const std::string& reason : list_) text += (text.empty() ? "" : ", ") + reason;
    return text;
  }

 private:
  std::vector<std::string> list_;
};

void checkFeatures(const Offer& o, Reasons& reasons) {
  if (!o.features13.dynamicRendering) reasons.add("no dynamic rendering");
  if (!o.features13.synchronization2) reasons.add("no synchronization2");
  if (!o.features12.timelineSemaphore) reasons.add("no timeline semaphores");
}

void checkSubgroups(const Offer& o, UINT operations, VkShaderStageFlags stage, const char* stageName,
                    Reasons& reasons) {
  if (operations == 0) return;
  if (!(o.properties11.subgroupSupportedStages & stage)) {
    reasons.add("no subgroup operations in %s shaders", stageName);
    return;
  }
  std::string missing;
  for (uint32_t bit = 0; bit < 8; ++bit)
    if ((operations & (1u << bit)) && !(o.properties11.subgroupSupportedOperations & (1u << bit)))
      missing += std::string(missing.empty() ? "" : " and ") + kSubgroupOperationNames[bit];
  if (!missing.empty()) reasons.add("no subgroup %s operations in %s shaders", missing.c_str(), stageName);
}

void checkLimits(const Offer& o, const DeviceRequirements& r, Reasons& reasons) {
  const VkPhysicalDeviceLimits& l = o.properties.limits;
  reasons.atLeast(l.maxComputeWorkGroupInvocations, r.ComputeGroupInvocations, "threads per group");
  for (int i = 0; i < 3; ++i)
    if (l.maxComputeWorkGroupSize[i] < r.ComputeGroupSize[i])
      reasons.add("groups of at most %u threads along %c (%u needed)", l.maxComputeWorkGroupSize[i], "xyz"[i],
                  r.ComputeGroupSize[i]);
  reasons.atLeast(l.maxComputeSharedMemorySize, r.ComputeGroupSharedBytes, "bytes of groupshared memory");
  reasons.atLeast(l.maxPerStageDescriptorStorageImages, r.StorageImagesPerStage, "storage images per stage");
  reasons.atLeast(l.maxPerStageDescriptorSampledImages, r.SampledImagesPerStage, "textures per stage");
  reasons.atLeast(l.maxPerStageDescriptorSamplers, r.SamplersPerStage, "samplers per stage");
  reasons.atLeast(l.maxPerStageDescriptorUniformBuffers, r.ConstantBuffersPerStage, "constant buffers per stage");
  reasons.atLeast(l.maxPerStageDescriptorStorageBuffers, r.StorageBuffersPerStage, "storage buffers per stage");
  reasons.atLeast(l.maxUniformBufferRange, r.ConstantBufferBytes, "bytes in a constant buffer");
  reasons.atLeast(l.maxImageDimension2D, r.ImageSide, "pixels on an image's side");
  if (r.StorageImageWriteWithoutFormat && !o.features.features.shaderStorageImageWriteWithoutFormat)
    reasons.add("no storage-image writes without a format");
  if (r.StorageImageReadWithoutFormat && !o.features.features.shaderStorageImageReadWithoutFormat)
    reasons.add("no storage-image reads without a format");
  checkSubgroups(o, r.ComputeSubgroupOperations, VK_SHADER_STAGE_COMPUTE_BIT, "compute", reasons);
  checkSubgroups(o, r.PixelSubgroupOperations, VK_SHADER_STAGE_FRAGMENT_BIT, "pixel", reasons);
}

void checkFormats(VkPhysicalDevice physical, const DeviceRequirements& r, Reasons& reasons) {
  auto featuresOf = [&](Format format) {
    VkFormatProperties3 properties3{VK_STRUCTURE_TYPE_FORMAT_PROPERTIES_3};
    VkFormatProperties2 properties{VK_STRUCTURE_TYPE_FORMAT_PROPERTIES_2, &properties3};
    vkGetPhysicalDeviceFormatProperties2(physical, toVkFormat(format), &properties);
    return properties3.optimalTilingFeatures;
  };
  for (UINT i = 0; i < std::min(r.LinearFilteredFormatCount, DeviceRequirements::kMaxFormats); ++i)
    if (!(featuresOf(r.LinearFilteredFormats[i]) & VK_FORMAT_FEATURE_2_SAMPLED_IMAGE_FILTER_LINEAR_BIT))
      reasons.add("no linear filtering of %s textures", formatLabel(r.LinearFilteredFormats[i]).c_str());
  for (UINT i = 0; i < std::min(r.StorageImageFormatCount, DeviceRequirements::kMaxFormats); ++i) {
    VkFormatFeatureFlags2 features = featuresOf(r.StorageImageFormats[i]);
    if (!(features & VK_FORMAT_FEATURE_2_STORAGE_IMAGE_BIT))
      reasons.add("no storage images of %s", formatLabel(r.StorageImageFormats[i]).c_str());
    else if (r.StorageImageWriteWithoutFormat && !(features & VK_FORMAT_FEATURE_2_STORAGE_WRITE_WITHOUT_FORMAT_BIT))
      reasons.add("no writes without a format to %s storage images", formatLabel(r.StorageImageFormats[i]).c_str());
  }
}

bool hasExtension(VkPhysicalDevice physical, const char* name) {
  uint32_t count = 0;
  vkEnumerateDeviceExtensionProperties(physical, nullptr, &count, nullptr);
  std::vector<VkExtensionProperties> available(count);
  vkEnumerateDeviceExtensionProperties(physical, nullptr, &count, available.data());
  for (const auto& extension : available)
    if (std::strcmp(extension.extensionName, name) == 0) return true;
  return false;
}

// Whether the queue family can present to the window: a surface made for the question.
bool canPresent(AdapterImpl* adapter, uint32_t family, Window* window) {
  if (!vkGetPhysicalDeviceSurfaceSupportKHR || !vkDestroySurfaceKHR ||
      !hasExtension(adapter->physical, VK_KHR_SWAPCHAIN_EXTENSION_NAME))
    return false;
  VkSurfaceKHR surface = VK_NULL_HANDLE;
  if (!windowCreateVulkanSurface(window, adapter->factory->instance, reinterpret_cast<uint64_t*>(&surface)))
    return false;
  VkBool32 supported = VK_FALSE;
  vkGetPhysicalDeviceSurfaceSupportKHR(adapter->physical, family, surface, &supported);
  vkDestroySurfaceKHR(adapter->factory->instance, surface, nullptr);
  return supported == VK_TRUE;
}

}  // namespace

uint32_t graphicsComputeFamily(VkPhysicalDevice physical) {
  uint32_t count = 0;
  vkGetPhysicalDeviceQueueFamilyProperties(physical, &count, nullptr);
  std::vector<VkQueueFamilyProperties> families(count);
  vkGetPhysicalDeviceQueueFamilyProperties(physical, &count, families.data());
  constexpr VkQueueFlags kBoth = VK_QUEUE_GRAPHICS_BIT | VK_QUEUE_COMPUTE_BIT;
  for (uint32_t i = 0; i < count; ++i)
    if ((families[i].queueFlags & kBoth) == kBoth) return i;
  return UINT32_MAX;
}

AdapterImpl::AdapterImpl(FactoryImpl* owner, VkPhysicalDevice device) : factory(owner), physical(device) {
  factory->AddRef();
}
AdapterImpl::~AdapterImpl() { factory->Release(); }

HRESULT AdapterImpl::GetDescription(char* text, size_t capacity) {
  if (!text || capacity == 0) return kInvalidArg;
  VkPhysicalDeviceProperties properties;
  vkGetPhysicalDeviceProperties(physical, &properties);
  std::snprintf(text, capacity, "%s", properties.deviceName);
  return kOk;
}

UINT AdapterImpl::GetFlags() {
  VkPhysicalDeviceProperties properties;
  vkGetPhysicalDeviceProperties(physical, &properties);
  return properties.deviceType == VK_PHYSICAL_DEVICE_TYPE_CPU ? ADAPTER_FLAG_SOFTWARE : 0;
}

HRESULT AdapterImpl::GetDesc(AdapterDesc* desc) {
  if (!desc) return kInvalidArg;
  *desc = AdapterDesc{};
  VkPhysicalDeviceProperties properties;
  vkGetPhysicalDeviceProperties(physical, &properties);
  std::snprintf(desc->Description, sizeof(desc->Description), "%s", properties.deviceName);
  desc->VendorId = properties.vendorID;
  desc->DeviceId = properties.deviceID;
  desc->Type = adapterTypeOf(properties.deviceType);
  std::snprintf(desc->Api, sizeof(desc->Api), "Vulkan");
  desc->ApiVersion[0] = VK_API_VERSION_MAJOR(properties.apiVersion);
  desc->ApiVersion[1] = VK_API_VERSION_MINOR(properties.apiVersion);
  desc->ApiVersion[2] = VK_API_VERSION_PATCH(properties.apiVersion);
  if (properties.apiVersion >= VK_API_VERSION_1_2) {
    VkPhysicalDeviceDriverProperties driver{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_DRIVER_PROPERTIES};
    VkPhysicalDeviceProperties2 properties2{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_PROPERTIES_2, &driver};
    vkGetPhysicalDeviceProperties2(physical, &properties2);
    std::string name = std::string(driver.driverName) + (driver.driverInfo[0] ? " " : "") + driver.driverInfo;
    std::snprintf(desc->Driver, sizeof(desc->Driver), "%s", name.c_str());
  } else {
    std::snprintf(desc->Driver, sizeof(desc->Driver), "driver version 0x%x", properties.driverVersion);
  }
  return kOk;
}

HRESULT AdapterImpl::CheckRequirements(const DeviceRequirements* requirements, Window* presentTo, char* whyNot,
                                       size_t capacity) {
  Reasons reasons;
  Offer o;
  vkGetPhysicalDeviceProperties(physical, &o.properties);
  if (o.properties.apiVersion < VK_API_VERSION_1_3) {
    // The features of later versions cannot be asked of an older device.
    reasons.add("Vulkan %u.%u (1.3 needed)", VK_API_VERSION_MAJOR(o.properties.apiVersion),
                VK_API_VERSION_MINOR(o.properties.apiVersion));
  } else {
    o.features.pNext = &o.features12;
    o.features12.pNext = &o.features13;
    vkGetPhysicalDeviceFeatures2(physical, &o.features);
    VkPhysicalDeviceProperties2 properties2{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_PROPERTIES_2, &o.properties11};
    vkGetPhysicalDeviceProperties2(physical, &properties2);
    checkFeatures(o, reasons);
    if (requirements) {
      checkLimits(o, *requirements, reasons);
      checkFormats(physical, *requirements, reasons);
    }
    uint32_t family = graphicsComputeFamily(physical);
    if (family == UINT32_MAX)
      reasons.add("no queue for both graphics and compute");
    else if (presentTo && !canPresent(this, family, presentTo))
      reasons.add("cannot present to the window");
  }
  if (whyNot && capacity > 0) std::snprintf(whyNot, capacity, "%s", reasons.joined().c_str());
  return reasons.empty() ? kOk : kFalse;
}

}  // namespace gfx::vk
