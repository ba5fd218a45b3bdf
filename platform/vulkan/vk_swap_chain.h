#pragma once
// Swap chains. The back buffers are this layer's own render-target textures, used strictly
// round-robin as with a flip-discard swap chain. Present on a window copies the current one
// to an acquired VkSwapchainKHR image (FIFO, so sync interval 1 waits for the display); an
// offscreen swap chain only advances the index.
//
// A window's chain follows the window: it is rebuilt when the surface reports it out of date,
// or suboptimal with another size or transform than it was built for; while the window is
// minimised, the surface lost, or a rebuild fails, frames are dropped and the next Present
// tries again. None of that is an error of the program's.
#include <vector>

#include "platform/vulkan/vk_internal.h"

namespace gfx::vk {

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

  // The window's side (vk_window_present.cpp). The first chain is made at creation, where a
  // failure fails CreateSwapChain; later ones as Present needs them.
  HRESULT createWindowPresentation();
  void destroyWindowPresentation();
  HRESULT presentToWindow(ResourceImpl* source);

  FactoryImpl* factory = nullptr;  // referenced
  DeviceImpl* device = nullptr;    // referenced
  SwapChainDesc desc;
  std::vector<ResourceImpl*> buffers;
  UINT current = 0;

 private:
  struct Slot {
    VkCommandBuffer cmd = VK_NULL_HANDLE;
    VkFence fence = VK_NULL_HANDLE;
    VkSemaphore acquired = VK_NULL_HANDLE;
  };
  HRESULT createSurfaceChain();
  void destroySurfaceChain();
  bool chainStillFits();
  void dropChain(VkResult why);
  void recordCopy(VkCommandBuffer cmd, ResourceImpl* source, VkImage target);
  VkResult submitAndPresent(Slot& s, ResourceImpl* source, uint32_t index);

  VkSurfaceKHR surface = VK_NULL_HANDLE;
  bool surfaceLost = false;  // made again from the window before the next chain
  VkSwapchainKHR chain = VK_NULL_HANDLE;
  VkExtent2D chainExtent{};
  VkFormat chainFormat = VK_FORMAT_UNDEFINED;
  VkSurfaceTransformFlagBitsKHR chainTransform = VK_SURFACE_TRANSFORM_IDENTITY_BIT_KHR;
  bool rebuildFailing = false;  // said once per run of failed rebuilds
  std::vector<VkImage> chainImages;
  std::vector<VkSemaphore> renderDone;  // one per chain image
  std::vector<Slot> slots;
  uint32_t slot = 0;
  VkCommandPool pool = VK_NULL_HANDLE;
};

}  // namespace gfx::vk
