#pragma once
// RenderApp: the one global record of window, device, queue, swap chain, the three
// frame contexts and back buffers, the frame counters and the deferred releases.
//
// Fence protocol: a frame context is reused only after its fence shows that its previous
// frame has finished on the GPU (beginFrame); before presenting, the CPU waits on the
// present fence of the back buffer, which is signalled right after the previous Present,
// so presentation never runs more than one frame ahead of the GPU.
#include <cstdint>

#include "app/containers.h"
#include "app/diagnostics.h"
#include "app/input_state.h"
#include "gpu/resources.h"
#include "platform/gfx.h"

inline constexpr uint32_t kFrameContextCount = 3;
inline constexpr uint32_t kBackBufferCount = 3;

enum FrameState : uint32_t { Recording = 0, Submitted = 1, Idle = 2 };

struct FrameContext {
  gfx::GraphicsCommandList* commandList = nullptr;
  gfx::CommandAllocator* commandAllocator = nullptr;
  gfx::Fence* fence = nullptr;
  gfx::Event* event = nullptr;
  uint64_t fenceValue = 0;  // last value signalled for this context
  uint64_t index = 0;
  DynamicArray<GpuTexture*> pendingTextureUploads;
  DynamicArray<GpuBuffer*> pendingBufferUploads;
  DynamicArray<gfx::Object*> releaseOnComplete;  // released once the fence has passed
  FrameState state = Idle;
};

struct BackBuffer {
  TrackedResource resource = {};  // the swap-chain buffer, state 0 (present) at start
  gfx::Fence* fence = nullptr;    // present fence
  uint64_t fenceValue = 0;
  gfx::Event* event = nullptr;
};

class RenderApp {
 public:
  RenderApp() = default;
  virtual ~RenderApp();

  gfx::Device* device = nullptr;
  gfx::Factory* factory = nullptr;
  gfx::Adapter* adapter = nullptr;
  gfx::CommandQueue* queue = nullptr;
  gfx::SwapChain* swapChain = nullptr;
  gfx::DescriptorHeap* rtvHeap = nullptr;  // created and released, not drawn with
  gfx::DescriptorHeap* dsvHeap = nullptr;  // likewise
  FrameContext frameContexts[kFrameContextCount] = {};
  BackBuffer backBuffers[kBackBufferCount] = {};
  Window* window = nullptr;  // null for an offscreen swap chain
  uint32_t width = 0, height = 0;
  uint64_t backBufferIndex = 0;
  uint64_t frameContextIndex = 0;
  uint64_t frameCounter = 0;  // frames ended so far
  float mouseX = 0, mouseY = 0;
  uint8_t quit = 0;
  // Objects released by other parts, indexed by frameCounter mod 3.
  DynamicArray<DynamicArray<gfx::Object*>> deferredReleases;

  // The handler a PANIC runs (kept by the diagnostics; set once the timeline is loaded).
  static void setFatalHandler(FatalHandlerFunction function, void* pointer) {
    ::setFatalHandler(function, pointer);
  }
};

extern RenderApp renderApp;
// The message pump's key and mouse state (zeroed by the device set-up).
extern InputState inputState;

// The window procedure: close destroys the window, destroy posts the quit message.
int64_t windowProc(Window* window, uint32_t message, uint64_t wParam, int64_t lParam);

// The program: a borderless window covering the screen, swap chain on it.
void createWindowAndDevice();
// The same on a window of the given size (tools that want a smaller window); framed: a
// normal window with a title bar, centred, instead of a borderless one at the corner.
void createWindowAndDevice(uint32_t width, uint32_t height, bool framed = false);
// Tests and tools: the same device set-up on an offscreen swap chain of the given size
// (three back buffers in memory, readable).
void createOffscreenDevice(uint32_t width, uint32_t height);

// The frame's command list, reset and open, with the pending uploads recorded first.
gfx::GraphicsCommandList* beginFrame();
// Closes, submits and presents the frame (sync interval 1).
void endFrame();
// Waits until the work of all three contexts is done.
void waitForGpuIdle();
// Releases everything; the last call of the shutdown.
void destroyDevice();

// Hands a graphics object to the deferred release: it is released once no frame in
// flight can use it. A null entry is kept on the list and skipped when released.
void deferRelease(gfx::Object* object);

// The current back buffer (the one this frame draws into).
inline BackBuffer& currentBackBuffer() { return renderApp.backBuffers[renderApp.backBufferIndex]; }
inline FrameContext& currentFrameContext() {
  return renderApp.frameContexts[renderApp.frameContextIndex];
}
