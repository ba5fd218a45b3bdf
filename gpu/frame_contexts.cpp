// RenderApp's record and its frame-context ring: deferred release, waiting on a context's
// fence, and releasing what its finished frame held.
#include "gpu/frame_contexts.h"

RenderApp renderApp;
InputState inputState;

RenderApp::~RenderApp() = default;

namespace {

void releaseAll(DynamicArray<gfx::Object*>& objects) {
  for (gfx::Object* object : objects)
    if (object != nullptr) object->Release();
  objects.count = 0;
}

template <typename T>
void releaseAndClear(T*& object) {
  if (object != nullptr) object->Release();
  object = nullptr;
}

}  // namespace

void deferRelease(gfx::Object* object) {
  ASSERT(renderApp.deferredReleases.count == kFrameContextCount,
         "Released a graphics object without a device\n");
  renderApp.deferredReleases[renderApp.frameCounter % kFrameContextCount].push(object);
}

void waitForFence(gfx::Fence* fence, uint64_t value, gfx::Event* event) {
  if (fence->GetCompletedValue() >= value) return;
  fence->SetEventOnCompletion(value, event);
  event->WaitForSingleObject(gfx::kInfinite);
}

FrameContext& readyFrameContext() {
  FrameContext& c = currentFrameContext();
  if (c.state != FrameState::Idle) {
    waitForFence(c.fence, c.fenceValue, c.event);
    if (c.state == FrameState::Submitted) {
      c.state = FrameState::Idle;
      releaseAll(c.releaseOnComplete);
    }
  }
  DynamicArray<gfx::Object*>& deferred =
      renderApp.deferredReleases[renderApp.frameCounter % kFrameContextCount];
  for (gfx::Object* object : deferred) c.releaseOnComplete.push(object);
  deferred.count = 0;
  return c;
}

void waitForGpuIdle() {
  for (FrameContext& c : renderApp.frameContexts) {
    waitForFence(c.fence, c.fenceValue, c.event);
    if (c.state == FrameState::Submitted) {
      // The context's next beginFrame sees it idle and releases nothing, so what its frame
      // held goes now.
      c.state = FrameState::Idle;
      releaseAll(c.releaseOnComplete);
    }
  }
}

void destroyFrameContexts() {
  for (uint32_t i = 0; i < kFrameContextCount; ++i) {
    FrameContext& c = renderApp.frameContexts[i];
    releaseAndClear(c.commandList);
    releaseAndClear(c.commandAllocator);
    releaseAndClear(c.fence);
    gfx::CloseHandle(c.event);
    c.event = nullptr;
    c.pendingTextureUploads.clear();
    c.pendingBufferUploads.clear();
    releaseAll(c.releaseOnComplete);
    c.releaseOnComplete.clear();
    if (i < renderApp.deferredReleases.count) {
      releaseAll(renderApp.deferredReleases[i]);
      renderApp.deferredReleases[i].clear();
    }
    c.fenceValue = 0;
    c.state = FrameState::Idle;
  }
  renderApp.deferredReleases.clear();
}
