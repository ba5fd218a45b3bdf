#pragma once
// The Vulkan entry points, taken at run time from the system's loader library
// (libvulkan.so.1, vulkan-1.dll) instead of being linked: a machine without a Vulkan
// driver then gets a clear message from CreateFactory rather than a program that cannot
// start. The pointers keep the API's names, so call sites read as plain Vulkan.
#define VK_NO_PROTOTYPES
#include <vulkan/vulkan.h>

// Reachable without an instance.
#define TARNIX_VK_GLOBAL_FUNCTIONS(X) \
  X(vkCreateInstance)                 \
  X(vkEnumerateInstanceExtensionProperties) \
  X(vkEnumerateInstanceLayerProperties)

// Core functions of the instance and the device, through the instance.
#define TARNIX_VK_INSTANCE_FUNCTIONS(X)                                                                         \
  X(vkAllocateCommandBuffers) X(vkAllocateDescriptorSets) X(vkAllocateMemory) X(vkBeginCommandBuffer)            \
  X(vkBindBufferMemory) X(vkBindImageMemory) X(vkCmdBeginRendering) X(vkCmdBindDescriptorSets)                   \
  X(vkCmdBindIndexBuffer) X(vkCmdBindPipeline) X(vkCmdBindVertexBuffers2) X(vkCmdBlitImage)                      \
  X(vkCmdClearAttachments) X(vkCmdClearColorImage) X(vkCmdClearDepthStencilImage) X(vkCmdCopyBuffer)             \
  X(vkCmdCopyBufferToImage) X(vkCmdCopyImage) X(vkCmdCopyImageToBuffer) X(vkCmdCopyQueryPoolResults)             \
  X(vkCmdDispatch) X(vkCmdDraw) X(vkCmdDrawIndexed) X(vkCmdEndRendering) X(vkCmdFillBuffer)                      \
  X(vkCmdPipelineBarrier2) X(vkCmdPushConstants) X(vkCmdResetQueryPool) X(vkCmdSetPrimitiveTopology)             \
  X(vkCmdSetScissor) X(vkCmdSetViewport) X(vkCmdWriteTimestamp2) X(vkCreateBuffer) X(vkCreateCommandPool)        \
  X(vkCreateComputePipelines) X(vkCreateDescriptorPool) X(vkCreateDescriptorSetLayout) X(vkCreateDevice)         \
  X(vkCreateFence) X(vkCreateGraphicsPipelines) X(vkCreateImage) X(vkCreateImageView) X(vkCreatePipelineLayout)  \
  X(vkCreateQueryPool) X(vkCreateSampler) X(vkCreateSemaphore) X(vkCreateShaderModule) X(vkDestroyBuffer)        \
  X(vkDestroyCommandPool) X(vkDestroyDescriptorPool) X(vkDestroyDescriptorSetLayout) X(vkDestroyDevice)          \
  X(vkDestroyFence) X(vkDestroyImage) X(vkDestroyImageView) X(vkDestroyInstance) X(vkDestroyPipeline)            \
  X(vkDestroyPipelineLayout) X(vkDestroyQueryPool) X(vkDestroySampler) X(vkDestroySemaphore)                     \
  X(vkDestroyShaderModule) X(vkDeviceWaitIdle) X(vkEndCommandBuffer) X(vkEnumerateDeviceExtensionProperties)     \
  X(vkEnumeratePhysicalDevices) X(vkFreeCommandBuffers) X(vkFreeMemory) X(vkGetBufferMemoryRequirements)         \
  X(vkGetDeviceQueue) X(vkGetImageMemoryRequirements) X(vkGetPhysicalDeviceFeatures2)                            \
  X(vkGetPhysicalDeviceFormatProperties2) X(vkGetPhysicalDeviceProperties2)                                     \
  X(vkGetPhysicalDeviceImageFormatProperties) X(vkGetPhysicalDeviceMemoryProperties)                             \
  X(vkGetPhysicalDeviceProperties) X(vkGetPhysicalDeviceQueueFamilyProperties) X(vkGetSemaphoreCounterValue)     \
  X(vkMapMemory) X(vkQueueSubmit) X(vkQueueSubmit2) X(vkQueueWaitIdle) X(vkResetCommandBuffer)                   \
  X(vkResetCommandPool) X(vkResetDescriptorPool) X(vkResetFences) X(vkSignalSemaphore)                           \
  X(vkUpdateDescriptorSets) X(vkWaitForFences) X(vkWaitSemaphores)

// Surface and swap-chain extensions: null where the instance or driver lacks them (an
// offscreen device never calls them).
#define TARNIX_VK_SURFACE_FUNCTIONS(X)                                                                        \
  X(vkAcquireNextImageKHR) X(vkCreateSwapchainKHR) X(vkDestroySurfaceKHR) X(vkDestroySwapchainKHR)             \
  X(vkGetPhysicalDeviceSurfaceCapabilitiesKHR) X(vkGetPhysicalDeviceSurfaceFormatsKHR)                         \
  X(vkGetPhysicalDeviceSurfaceSupportKHR) X(vkGetSwapchainImagesKHR) X(vkQueuePresentKHR)

namespace gfx {

#define TARNIX_VK_DECLARE(name) extern PFN_##name name;
TARNIX_VK_DECLARE(vkGetInstanceProcAddr)
TARNIX_VK_GLOBAL_FUNCTIONS(TARNIX_VK_DECLARE)
TARNIX_VK_INSTANCE_FUNCTIONS(TARNIX_VK_DECLARE)
TARNIX_VK_SURFACE_FUNCTIONS(TARNIX_VK_DECLARE)
#undef TARNIX_VK_DECLARE

namespace vk {

// Opens the loader library once and takes the global functions. False, with the reason
// in *error (a static text), when it is missing or too old.
bool loadVulkanLibrary(const char** error);

// Takes every other function through the instance. False, with the missing function's
// name in *missing, when the driver lacks a core function.
bool loadInstanceFunctions(VkInstance instance, const char** missing);

// The loader library's file name on this system.
const char* vulkanLibraryName();

// Where this system's people get a Vulkan driver, for the messages about a missing one.
const char* driverInstallHint();

}  // namespace vk
}  // namespace gfx
