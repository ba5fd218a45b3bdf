#pragma once
// RenderApp's record: the one global of window, device, queue, swap chain, the three
// frame contexts and back buffers, the frame counters and the deferred releases; and
// the frame-context ring that reuses a context once its fence has passed and releases
// what waited for it. gpu/render_app.h creates and drives the device it holds.
//
// Everything of the GPU layer below the device set-up reads the record from here, so
// the set-up (which records uploads, gpu/resources.h) sits above them, one way.
#include <cstdint>

#include "base/containers.h"
#include "base/diagnostics.h"
#include "base/input_state.h"
#include "gpu/tracked_resource.h"
#include "platform/gfx.h"

struct GpuBuffer;
struct GpuTexture;

inline constexpr uint32_t kFrameContextCount = 3;
inline constexpr uint32_t kBackBufferCount = 3;

enum class FrameState : uint32_t { Recording = 0, Submitted = 1, Idle = 2 };

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
  FrameState state = FrameState::Idle;
};

struct BackBuffer {
  TrackedResource resource = {};  // the swap-chain buffer, state 0 (present) at start
  gfx::Fence* fence = nullptr;    // present fence
  uint64_t fenceValue = 0;
  gfx::Event* event = nullptr;
  uint64_t framesEnded = 0;  // the frame counter once the frame fenceValue follows was ended
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
  uint32_t backBufferFormat = 0;  // the backend's window order (offscreen too): passes into it use it
  uint64_t backBufferIndex = 0;
  uint64_t frameContextIndex = 0;
  uint64_t frameCounter = 0;  // frames ended so far
  uint64_t framesFinished = 0;  // of those, the frames the GPU was last seen past (presented too)
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

// Hands a graphics object to the deferred release: it is released once no frame in
// flight can use it. A null entry is kept on the list and skipped when released.
void deferRelease(gfx::Object* object);

// SetEventOnCompletion + WaitForSingleObject(INFINITE) when the fence is behind.
void waitForFence(gfx::Fence* fence, uint64_t value, gfx::Event* event);

// The current context made ready for recording: its previous frame finished on the GPU,
// what that frame held released, and what was released during this frame counter's
// frames handed to it to hold until its own frame has run.
FrameContext& readyFrameContext();

// Waits until the work of all three contexts is done.
void waitForGpuIdle();

// Releases the contexts' command lists, allocators and fences and everything still
// waiting for release (the device teardown).
void destroyFrameContexts();

// The current back buffer (the one this frame draws into).
inline BackBuffer& currentBackBuffer() { return renderApp.backBuffers[renderApp.backBufferIndex]; }
inline FrameContext& currentFrameContext() {
  return renderApp.frameContexts[renderApp.frameContextIndex];
}
