// The device set-up, the frame fence protocol and teardown over RenderApp's record.
#include "gpu/render_app.h"

#include <algorithm>

#include "gpu/resources.h"
#include "platform/os.h"
#include "platform/window.h"

namespace {

constexpr uint32_t kWmContextMenu = 0x007B;
constexpr uint32_t kWmEnterSizeMove = 0x0231;
constexpr uint32_t kWmExitSizeMove = 0x0232;

template <typename T>
void releaseAndClear(T*& object) {
  if (object != nullptr) object->Release();
  object = nullptr;
}

void resetRecord() {
  clearInputState(inputState);
  renderApp.backBufferIndex = 0;
  renderApp.frameContextIndex = 0;
  renderApp.frameCounter = 0;
  renderApp.framesFinished = 0;
  renderApp.mouseX = renderApp.mouseY = 0;
  renderApp.quit = 0;
}

// Three contexts, each a command allocator, a closed command list and a fence, and
// their deferred-release lists.
void createFrameContextObjects(gfx::Device* device) {
  renderApp.deferredReleases.clear();
  for (uint32_t i = 0; i < kFrameContextCount; ++i) {
    FrameContext& c = renderApp.frameContexts[i];
    if (gfx::Failed(device->CreateCommandAllocator(gfx::COMMAND_LIST_TYPE_DIRECT, &c.commandAllocator)))
      PANIC("Failed to create command allocator\n");
    if (gfx::Failed(device->CreateCommandList(0, gfx::COMMAND_LIST_TYPE_DIRECT, c.commandAllocator,
                                              nullptr, &c.commandList)))
      PANIC("Failed to create command list\n");
    if (gfx::Failed(device->CreateFence(0, gfx::FENCE_FLAG_NONE, &c.fence)))
      PANIC("Failed to create fence\n");
    c.event = gfx::CreateFenceEvent();
    if (gfx::Failed(c.commandList->Close())) PANIC("Failed to close command list\n");
    c.commandList->SetName(L"gfx::frame::commandList");
    c.commandAllocator->SetName(L"gfx::frame::commandAllocator");
    c.fence->SetName(L"gfx::frame::fence");
    c.fenceValue = 0;
    c.index = i;
    c.state = FrameState::Idle;
    renderApp.deferredReleases.push(DynamicArray<gfx::Object*>{});
  }
}

// The swap chain on the window (or in memory) and a present fence per back buffer.
void createSwapChainAndBackBuffers(gfx::Device* device) {
  gfx::SwapChainDesc swapDesc;
  swapDesc.BufferDesc.Width = renderApp.width;
  swapDesc.BufferDesc.Height = renderApp.height;
  swapDesc.BufferDesc.RefreshRate = {0, 0};
  renderApp.backBufferFormat = gfx::PreferredBackBufferFormat();
  swapDesc.BufferDesc.Format = gfx::Format(renderApp.backBufferFormat);
  swapDesc.BufferDesc.ScanlineOrdering = 0;
  swapDesc.BufferDesc.Scaling = 0;
  swapDesc.SampleDesc = {1, 0};
  swapDesc.BufferUsage = gfx::USAGE_RENDER_TARGET_OUTPUT | gfx::USAGE_SHADER_INPUT;
  swapDesc.BufferCount = kBackBufferCount;
  swapDesc.OutputWindow = renderApp.window;
  swapDesc.Windowed = 1;
  swapDesc.SwapEffect = gfx::SWAP_EFFECT_FLIP_DISCARD;
  swapDesc.Flags = gfx::SWAP_CHAIN_FLAG_ALLOW_MODE_SWITCH;
  if (gfx::Failed(renderApp.factory->CreateSwapChain(renderApp.queue, &swapDesc, &renderApp.swapChain)))
    PANIC("Failed to create swapchain\n");

  for (uint32_t i = 0; i < kBackBufferCount; ++i) {
    BackBuffer& b = renderApp.backBuffers[i];
    b.resource.resource = nullptr;
    renderApp.swapChain->GetBuffer(i, &b.resource.resource);
    if (b.resource.resource != nullptr) b.resource.resource->SetName(L"gfx::backbuffer");
    b.resource.state = kStatePresent;
    if (gfx::Failed(device->CreateFence(0, gfx::FENCE_FLAG_NONE, &b.fence)))
      PANIC("Failed to create fence\n");
    b.fence->SetName(L"gfx::backbuffer::fence");
    b.fenceValue = 0;
    b.framesEnded = 0;
    b.event = gfx::CreateFenceEvent();
  }
}

// The render-target and depth-stencil view heaps the device record keeps.
void createViewHeaps(gfx::Device* device) {
  struct ViewHeap {
    gfx::DescriptorHeapType type;
    gfx::DescriptorHeap** heap;
    const char* kind;
    const wchar_t* name;
  };
  const ViewHeap heaps[] = {
      {gfx::DESCRIPTOR_HEAP_TYPE_RTV, &renderApp.rtvHeap, "RTV", L"gfx::rtvDescriptorHeap"},
      {gfx::DESCRIPTOR_HEAP_TYPE_DSV, &renderApp.dsvHeap, "DSV", L"gfx::dsvDescriptorHeap"},
  };
  for (const ViewHeap& h : heaps) {
    gfx::DescriptorHeapDesc heapDesc;
    heapDesc.Type = h.type;
    heapDesc.NumDescriptors = 3;
    heapDesc.Flags = gfx::DESCRIPTOR_HEAP_FLAG_NONE;
    heapDesc.NodeMask = 0;
    if (gfx::Failed(device->CreateDescriptorHeap(&heapDesc, h.heap))) PANIC("Failed to create %s descriptor heap\n", h.kind);
    (*h.heap)->SetName(h.name);
  }
}

// First of all: without a graphics driver there is nothing to open a window for (and on
// Linux the window itself needs the driver).
void createFactory() {
  if (gfx::Failed(gfx::CreateFactory(0, &renderApp.factory))) PANIC("Failed to create factory\n");
}

// Everything after the window: adapter, device, queue, frame contexts, swap chain, back
// buffers and the two unused view heaps, in this order.
void createDeviceObjects(const DeviceChoice& choice) {
  // The back buffers are images of the window's size too.
  DeviceChoice sized = choice;
  sized.requirements.ImageSide = std::max({sized.requirements.ImageSide, renderApp.width, renderApp.height});
  renderApp.adapter = chooseAdapter(renderApp.factory, sized, renderApp.window);
  if (gfx::Failed(gfx::CreateDevice(renderApp.adapter, gfx::FEATURE_LEVEL_12_0, &renderApp.device)))
    PANIC("Failed to create device\n");
  gfx::Device* device = renderApp.device;

  gfx::CommandQueueDesc queueDesc;
  queueDesc.Type = gfx::COMMAND_LIST_TYPE_DIRECT;
  queueDesc.Priority = 0;
  queueDesc.Flags = gfx::COMMAND_QUEUE_FLAG_NONE;
  queueDesc.NodeMask = 0;
  if (gfx::Failed(device->CreateCommandQueue(&queueDesc, &renderApp.queue)))
    PANIC("Failed to create command queue\n");
  renderApp.queue->SetName(L"gfx::graphicsCommandQueue");

  createFrameContextObjects(device);
  createSwapChainAndBackBuffers(device);
  createViewHeaps(device);
}

}  // namespace

int64_t windowProc(Window* window, uint32_t message, uint64_t wParam, int64_t lParam) {
  switch (message) {
    case WM_DESTROY:
      windowPostQuitMessage(0);
      return 0;
    case WM_CLOSE:
      windowDestroy(window);
      return 0;
    case WM_SIZE:
    case kWmContextMenu:
    case WM_CHAR:
    case kWmEnterSizeMove:
    case kWmExitSizeMove:
      return 0;
    default:
      return windowDefaultProcedure(window, message, wParam, lParam);
  }
}

void createWindowAndDevice(const DeviceChoice& choice) {
  uint32_t width = 0, height = 0;
  if (!windowScreenSize(&width, &height)) {
    osTellMissingPrerequisite(OsPrerequisite::Display, "no display to open a window on");
    PANIC("Failed to create window: no display to open it on\n");
  }
  createWindowAndDevice(width, height, false, choice);
}

void createWindowAndDevice(uint32_t width, uint32_t height, bool framed, const DeviceChoice& choice) {
  resetRecord();
  renderApp.width = width;
  renderApp.height = height;
  createFactory();
  renderApp.window = framed ? windowCreateFramed("TARNIX", width, height, windowProc)
                            : windowCreate("TARNIX", width, height, windowProc);
  if (renderApp.window == nullptr) PANIC("Failed to create window\n");
  createDeviceObjects(choice);
}

void createOffscreenDevice(uint32_t width, uint32_t height, const DeviceChoice& choice) {
  resetRecord();
  renderApp.width = width;
  renderApp.height = height;
  renderApp.window = nullptr;
  createFactory();
  createDeviceObjects(choice);
}

gfx::GraphicsCommandList* beginFrame() {
  FrameContext& c = readyFrameContext();
  if (gfx::Failed(c.commandAllocator->Reset())) PANIC("Failed to reset command allocator\n");
  if (gfx::Failed(c.commandList->Reset(c.commandAllocator, nullptr)))
    PANIC("Failed to reset command list\n");

  recordPendingUploads(c, c.commandList);
  c.state = FrameState::Recording;
  return c.commandList;
}

void endFrame() {
  FrameContext& c = currentFrameContext();
  BackBuffer& b = currentBackBuffer();
  if (gfx::Failed(c.commandList->Close())) PANIC("Failed to close command list\n");
  gfx::GraphicsCommandList* lists[] = {c.commandList};
  renderApp.queue->ExecuteCommandLists(1, lists);
  c.fenceValue += 1;
  if (gfx::Failed(renderApp.queue->Signal(c.fence, c.fenceValue)))
    PANIC("Failed to signal frame fence\n");
  renderApp.frameContextIndex = (renderApp.frameContextIndex + 1) % kFrameContextCount;
  c.state = FrameState::Submitted;

  waitForFence(b.fence, b.fenceValue, b.event);
  if (gfx::Failed(renderApp.swapChain->Present(1, 0))) PANIC("Failed to present\n");

  renderApp.backBufferIndex = (renderApp.backBufferIndex + 1) % kBackBufferCount;
  BackBuffer& next = currentBackBuffer();
  next.fenceValue += 1;
  next.framesEnded = renderApp.frameCounter + 1;
  if (gfx::Failed(renderApp.queue->Signal(next.fence, next.fenceValue)))
    PANIC("Failed to signal present fence\n");
  renderApp.frameCounter += 1;
}

uint64_t framesFinished() {
  // The queue runs in order: a passed present fence says every frame before it finished too.
  for (const BackBuffer& b : renderApp.backBuffers)
    if (b.fence != nullptr && b.framesEnded > renderApp.framesFinished && b.fence->GetCompletedValue() >= b.fenceValue)
      renderApp.framesFinished = b.framesEnded;
  return renderApp.framesFinished;
}

void destroyDevice() {
  waitForGpuIdle();
  BackBuffer& presented = currentBackBuffer();
  waitForFence(presented.fence, presented.fenceValue, presented.event);

  destroyFrameContexts();

  for (BackBuffer& b : renderApp.backBuffers) {
    releaseAndClear(b.resource.resource);
    releaseAndClear(b.fence);
    gfx::CloseHandle(b.event);
    b.event = nullptr;
    b.fenceValue = 0;
    b.framesEnded = 0;
  }
  releaseAndClear(renderApp.dsvHeap);
  releaseAndClear(renderApp.rtvHeap);
  releaseAndClear(renderApp.swapChain);
  releaseAndClear(renderApp.queue);
  releaseAndClear(renderApp.device);
  releaseAndClear(renderApp.adapter);
  releaseAndClear(renderApp.factory);
  if (renderApp.window != nullptr) {
    windowRelease(renderApp.window);
    renderApp.window = nullptr;
  }
}

std::string deviceName() {
  char name[256] = "";
  renderApp.adapter->GetDescription(name, sizeof(name));
  return name;
}

bool deviceIsCpu() { return (renderApp.adapter->GetFlags() & gfx::ADAPTER_FLAG_SOFTWARE) != 0; }
