#include "platform/vulkan/vk_loader.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace gfx {

#define TARNIX_VK_DEFINE(name) PFN_##name name = nullptr;
TARNIX_VK_DEFINE(vkGetInstanceProcAddr)
TARNIX_VK_GLOBAL_FUNCTIONS(TARNIX_VK_DEFINE)
TARNIX_VK_INSTANCE_FUNCTIONS(TARNIX_VK_DEFINE)
TARNIX_VK_SURFACE_FUNCTIONS(TARNIX_VK_DEFINE)
#undef TARNIX_VK_DEFINE

namespace vk {
namespace {

#ifdef _WIN32
constexpr const char* kLibraryName = "vulkan-1.dll";
constexpr const char* kInstallHint = "install the current driver for the graphics card from its maker";
PFN_vkGetInstanceProcAddr openLibrary() {
  // Kept loaded for the life of the process, as a linked library would be.
  HMODULE library = LoadLibraryA(kLibraryName);
  if (!library) return nullptr;
  return reinterpret_cast<PFN_vkGetInstanceProcAddr>(
      reinterpret_cast<void*>(GetProcAddress(library, "vkGetInstanceProcAddr")));
}
#else
constexpr const char* kLibraryName = "libvulkan.so.1";
// mesa-vulkan-drivers brings the loader (libvulkan1) with it.
constexpr const char* kInstallHint =
    "on Debian install the package mesa-vulkan-drivers (AMD, Intel and other GPUs, and drawing on the CPU) or, "
    "for an NVIDIA card, nvidia-driver";
PFN_vkGetInstanceProcAddr openLibrary() {
  void* library = dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
  if (!library) return nullptr;
  return reinterpret_cast<PFN_vkGetInstanceProcAddr>(dlsym(library, "vkGetInstanceProcAddr"));
}
#endif

}  // namespace

const char* vulkanLibraryName() { return kLibraryName; }
const char* driverInstallHint() { return kInstallHint; }

bool loadVulkanLibrary(const char** error) {
  if (vkGetInstanceProcAddr && vkCreateInstance) return true;
  vkGetInstanceProcAddr = openLibrary();
  if (!vkGetInstanceProcAddr) {
    *error = "the Vulkan loader library is not installed (no Vulkan driver on this system)";
    return false;
  }
#define TARNIX_VK_LOAD_GLOBAL(name) name = reinterpret_cast<PFN_##name>(vkGetInstanceProcAddr(nullptr, #name));
  TARNIX_VK_GLOBAL_FUNCTIONS(TARNIX_VK_LOAD_GLOBAL)
#undef TARNIX_VK_LOAD_GLOBAL
  if (!vkCreateInstance || !vkEnumerateInstanceExtensionProperties || !vkEnumerateInstanceLayerProperties) {
    *error = "the Vulkan loader library lacks its global functions";
    return false;
  }
  return true;
}

bool loadInstanceFunctions(VkInstance instance, const char** missing) {
  *missing = nullptr;
#define TARNIX_VK_LOAD_CORE(name)                                                        \
  name = reinterpret_cast<PFN_##name>(vkGetInstanceProcAddr(instance, #name));           \
  if (!name && !*missing) *missing = #name;
  TARNIX_VK_INSTANCE_FUNCTIONS(TARNIX_VK_LOAD_CORE)
#undef TARNIX_VK_LOAD_CORE
#define TARNIX_VK_LOAD_OPTIONAL(name) name = reinterpret_cast<PFN_##name>(vkGetInstanceProcAddr(instance, #name));
  TARNIX_VK_SURFACE_FUNCTIONS(TARNIX_VK_LOAD_OPTIONAL)
#undef TARNIX_VK_LOAD_OPTIONAL
  return *missing == nullptr;
}

}  // namespace vk
}  // namespace gfx
