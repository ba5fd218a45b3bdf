// Factory (Vulkan instance, validation messenger) and the order its adapters (physical
// devices) are tried in.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/os.h"
#include "platform/vulkan/vk_internal.h"

namespace gfx {
namespace {

struct DebugLayerState {
  bool enabled = false;
  bool required = true;
  DebugMessageCallback callback = nullptr;
  void* user = nullptr;
};
DebugLayerState gDebugLayer;
std::mutex gDebugMutex;  // the messenger may be called from driver threads

void deliver(int severity, const char* text) {
  std::lock_guard<std::mutex> lock(gDebugMutex);
  if (gDebugLayer.callback) {
    gDebugLayer.callback(severity, text, gDebugLayer.user);
  } else {
    osPrint(text);
    osPrint("\n");
  }
}

VKAPI_ATTR VkBool32 VKAPI_CALL onValidationMessage(VkDebugUtilsMessageSeverityFlagBitsEXT severity,
                                                  VkDebugUtilsMessageTypeFlagsEXT,
                                                  const VkDebugUtilsMessengerCallbackDataEXT* data, void*) {
  int level = severity >= VK_DEBUG_UTILS_MESSAGE_SEVERITY_ERROR_BIT_EXT     ? 2
              : severity >= VK_DEBUG_UTILS_MESSAGE_SEVERITY_WARNING_BIT_EXT ? 1
                                                                            : 0;
  deliver(level, data && data->pMessage ? data->pMessage : "(no message)");
  return VK_FALSE;
}

bool hasLayer(const char* name) {
  uint32_t count = 0;
  vkEnumerateInstanceLayerProperties(&count, nullptr);
  std::vector<VkLayerProperties> layers(count);
  vkEnumerateInstanceLayerProperties(&count, layers.data());
  for (const auto& layer : layers)
    if (std::strcmp(layer.layerName, name) == 0) return true;
  return false;
}

// DXGI lists the primary GPU first; a CPU rasteriser comes last.
int adapterRank(VkPhysicalDevice physical) {
  VkPhysicalDeviceProperties properties;
  vkGetPhysicalDeviceProperties(physical, &properties);
  switch (properties.deviceType) {
    case VK_PHYSICAL_DEVICE_TYPE_DISCRETE_GPU: return 0;
    case VK_PHYSICAL_DEVICE_TYPE_INTEGRATED_GPU: return 1;
    case VK_PHYSICAL_DEVICE_TYPE_CPU: return 3;
    default: return 2;
  }
}

// Mesa's device-select layer puts the device the user asked for first; sorting would undo it.
bool driverOrderAsked() {
  for (const char* name : {"MESA_VK_DEVICE_SELECT", "DRI_PRIME"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

}  // namespace

void EnableDebugLayer(DebugMessageCallback callback, void* user, bool requireLayer) {
  std::lock_guard<std::mutex> lock(gDebugMutex);
  gDebugLayer = {true, requireLayer, callback, user};
}

void DisableDebugLayer() {
  std::lock_guard<std::mutex> lock(gDebugMutex);
  gDebugLayer = {};
}

namespace vk {

// "gfx: " and the report, delivered as an error.
void reportError(const char* format, ...) {
  char text[1024] = "gfx: ";
  va_list args;
  va_start(args, format);
  std::vsnprintf(text + 5, sizeof(text) - 5, format, args);
  va_end(args);
  deliver(2, text);
}

void reportMissingDriver(const char* format, ...) {
  char text[1024], reason[768];
  va_list args;
  va_start(args, format);
  std::vsnprintf(reason, sizeof(reason), format, args);
  va_end(args);
  std::snprintf(text, sizeof(text), "gfx: %s; %s", reason, driverInstallHint());
  deliver(2, text);
  osTellMissingPrerequisite(OsPrerequisite::GraphicsDriver, text + 5);
}

FactoryImpl::~FactoryImpl() {
  if (messenger) {
    auto destroy = reinterpret_cast<PFN_vkDestroyDebugUtilsMessengerEXT>(
        vkGetInstanceProcAddr(instance, "vkDestroyDebugUtilsMessengerEXT"));
    if (destroy) destroy(instance, messenger, nullptr);
  }
  if (instance && vkDestroyInstance) vkDestroyInstance(instance, nullptr);
}

HRESULT FactoryImpl::EnumAdapters(UINT index, Adapter** adapter) {
  if (!adapter) return kInvalidArg;
  *adapter = nullptr;
  if (index >= adapters.size()) {
    if (adapters.empty()) reportMissingDriver("the Vulkan driver offers no graphics device");
    return kNotFound;
  }
  *adapter = new AdapterImpl(this, adapters[index]);
  return kOk;
}

}  // namespace vk

HRESULT CreateFactory(UINT flags, Factory** factory) {
  using namespace vk;
  if (!factory) return kInvalidArg;
  *factory = nullptr;
  const char* loadError = nullptr;
  if (!loadVulkanLibrary(&loadError)) {
    reportMissingDriver("cannot load %s: %s; a graphics driver with Vulkan 1.3 is needed", vulkanLibraryName(),
                        loadError);
    return kFail;
  }
  bool validation = (flags & CREATE_FACTORY_DEBUG) != 0 || gDebugLayer.enabled;
  const char* kValidationLayer = "VK_LAYER_KHRONOS_validation";
  if (validation && !hasLayer(kValidationLayer)) {
    if (gDebugLayer.required || (flags & CREATE_FACTORY_DEBUG) != 0) {
      reportError("the debug layer was requested but %s is not installed", kValidationLayer);
      return kFail;
    }
    validation = false;
  }

  uint32_t count = 0;
  vkEnumerateInstanceExtensionProperties(nullptr, &count, nullptr);
  std::vector<VkExtensionProperties> available(count);
  vkEnumerateInstanceExtensionProperties(nullptr, &count, available.data());
  std::vector<const char*> extensions;
  bool debugUtils = false;
  // Every surface extension present: the window system is not known until a swap chain is made.
  for (const auto& extension : available) {
    const char* name = extension.extensionName;
    if (std::strcmp(name, VK_EXT_DEBUG_UTILS_EXTENSION_NAME) == 0) {
      debugUtils = true;
      extensions.push_back(name);
    } else if (std::strcmp(name, "VK_KHR_surface") == 0 || std::strcmp(name, "VK_KHR_xcb_surface") == 0 ||
               std::strcmp(name, "VK_KHR_xlib_surface") == 0 || std::strcmp(name, "VK_KHR_wayland_surface") == 0 ||
               std::strcmp(name, "VK_KHR_win32_surface") == 0) {
      extensions.push_back(name);
    }
  }

  VkApplicationInfo app{VK_STRUCTURE_TYPE_APPLICATION_INFO};
  app.pApplicationName = "tarnix";
  app.apiVersion = VK_API_VERSION_1_3;
  VkDebugUtilsMessengerCreateInfoEXT messengerInfo{VK_STRUCTURE_TYPE_DEBUG_UTILS_MESSENGER_CREATE_INFO_EXT};
  messengerInfo.messageSeverity =
      VK_DEBUG_UTILS_MESSAGE_SEVERITY_WARNING_BIT_EXT | VK_DEBUG_UTILS_MESSAGE_SEVERITY_ERROR_BIT_EXT;
  messengerInfo.messageType = VK_DEBUG_UTILS_MESSAGE_TYPE_VALIDATION_BIT_EXT;
  messengerInfo.pfnUserCallback = onValidationMessage;

  VkInstanceCreateInfo info{VK_STRUCTURE_TYPE_INSTANCE_CREATE_INFO};
  info.pApplicationInfo = &app;
  info.enabledExtensionCount = static_cast<uint32_t>(extensions.size());
  info.ppEnabledExtensionNames = extensions.data();
  // Synchronization validation too: it reports missing or too weak barriers (hazards).
  VkValidationFeatureEnableEXT enables[] = {VK_VALIDATION_FEATURE_ENABLE_SYNCHRONIZATION_VALIDATION_EXT};
  VkValidationFeaturesEXT features{VK_STRUCTURE_TYPE_VALIDATION_FEATURES_EXT};
  features.enabledValidationFeatureCount = 1;
  features.pEnabledValidationFeatures = enables;
  if (validation) {
    info.enabledLayerCount = 1;
    info.ppEnabledLayerNames = &kValidationLayer;
    // instance info -> validation features -> messenger (for messages during instance
    // creation). The messenger info itself keeps pNext null: it is reused below to create
    // the lasting messenger, and that call accepts no chained structure.
    if (debugUtils) features.pNext = &messengerInfo;
    info.pNext = &features;
  }
  auto* result = new FactoryImpl();
  result->debugUtils = debugUtils;
  VkResult vr = vkCreateInstance(&info, nullptr, &result->instance);
  if (vr == VK_ERROR_INCOMPATIBLE_DRIVER) {
    reportMissingDriver("no Vulkan 1.3 driver was found (vkCreateInstance: %d)", vr);
    result->Release();
    return resultFromVk(vr);
  }
  if (vr != VK_SUCCESS) {
    reportError("vkCreateInstance failed (%d)", vr);
    result->Release();
    return resultFromVk(vr);
  }
  const char* missing = nullptr;
  if (!loadInstanceFunctions(result->instance, &missing)) {
    reportMissingDriver("the Vulkan driver lacks %s; Vulkan 1.3 is needed", missing);
    result->Release();
    return kFail;
  }
  if (validation && debugUtils) {
    auto create = reinterpret_cast<PFN_vkCreateDebugUtilsMessengerEXT>(
        vkGetInstanceProcAddr(result->instance, "vkCreateDebugUtilsMessengerEXT"));
    if (create) create(result->instance, &messengerInfo, nullptr, &result->messenger);
  }
  count = 0;
  vkEnumeratePhysicalDevices(result->instance, &count, nullptr);
  result->adapters.resize(count);
  vkEnumeratePhysicalDevices(result->instance, &count, result->adapters.data());
  if (!driverOrderAsked())
    std::stable_sort(result->adapters.begin(), result->adapters.end(),
                     [](VkPhysicalDevice a, VkPhysicalDevice b) { return adapterRank(a) < adapterRank(b); });
  *factory = result;
  return kOk;
}

}  // namespace gfx
