// The window under a real (virtual) display: FIFO presentation of many frames, the close
// request travelling WM_CLOSE -> WM_DESTROY -> WM_QUIT, and input as Win32 messages.
#ifndef _WIN32
#include <SDL.h>  // to inject input events
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/os.h"
#include "platform/window.h"
#include "tests/support/gpu_test.h"

namespace {

using namespace gfx;

std::vector<uint32_t> gProcedureMessages;

int64_t recordingProcedure(Window* window, uint32_t message, uint64_t wParam, int64_t lParam) {
  gProcedureMessages.push_back(message);
  if (message == WM_DESTROY) {
    windowPostQuitMessage(0);
    return 0;
  }
  return windowDefaultProcedure(window, message, wParam, lParam);
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "no DISPLAY (run under scripts/test-env.sh)";
    // A display that is set must open: a busy X server gets a few tries, then it is a failure.
    bool opened = windowScreenSize(&width, &height);
    for (int attempt = 0; attempt < 20 && !opened; ++attempt) {
      osSleepMs(100);
      opened = windowScreenSize(&width, &height);
    }
    ASSERT_TRUE(opened) << "cannot open DISPLAY " << display;
    gProcedureMessages.clear();
    // A test's window ends with the WM_QUIT its destruction posts: not the next test's.
    WindowMessage stale;
    while (windowPeekMessage(&stale)) {
    }
    window = windowCreate("TARNIX", width, height, recordingProcedure);
    ASSERT_NE(window, nullptr);
  }
  void TearDown() override {
    if (window) windowRelease(window);
  }

  // Pumps until WM_QUIT (true) or until `rounds` empty pumps pass (false).
  bool pumpUntilQuit(int rounds) {
    WindowMessage message;
    for (int round = 0; round < rounds; ++round) {
      while (windowPeekMessage(&message)) {
        if (message.message == WM_QUIT) return true;
        windowDispatchMessage(&message);
      }
      osSleepMs(1);
    }
    return false;
  }

  uint32_t width = 0, height = 0;
  Window* window = nullptr;
};

// The program's device objects on the window: a queue, a flip-discard swap chain of three
// buffers with render-target views, and three frame contexts on one fence.
struct WindowSwapChain : GfxContext {
  SwapChain* swapChain = nullptr;
  DescriptorHeap* rtvHeap = nullptr;
  Resource* buffers[3] = {};
  CommandAllocator* allocators[3] = {};
  GraphicsCommandList* lists[3] = {};
  uint64_t contextValues[3] = {};

  void create(Window* window, uint32_t width, uint32_t height, Format format = FORMAT_R8G8B8A8_UNORM) {
    ASSERT_TRUE(GfxContext::create());
    SwapChainDesc desc;
    desc.BufferDesc.Width = width;
    desc.BufferDesc.Height = height;
    desc.BufferDesc.Format = format;
    desc.BufferUsage = USAGE_RENDER_TARGET_OUTPUT | USAGE_SHADER_INPUT;
    desc.BufferCount = 3;
    desc.OutputWindow = window;
    desc.SwapEffect = SWAP_EFFECT_FLIP_DISCARD;
    ASSERT_TRUE(Succeeded(factory->CreateSwapChain(queue, &desc, &swapChain)));
    DescriptorHeapDesc rtvDesc{DESCRIPTOR_HEAP_TYPE_RTV, 3, DESCRIPTOR_HEAP_FLAG_NONE};
    ASSERT_TRUE(Succeeded(device->CreateDescriptorHeap(&rtvDesc, &rtvHeap)));
    for (UINT i = 0; i < 3; ++i) {
      ASSERT_TRUE(Succeeded(swapChain->GetBuffer(i, &buffers[i])));
      device->CreateRenderTargetView(buffers[i], nullptr, view(i));
      ASSERT_TRUE(Succeeded(device->CreateCommandAllocator(COMMAND_LIST_TYPE_DIRECT, &allocators[i])));
      ASSERT_TRUE(Succeeded(device->CreateCommandList(0, COMMAND_LIST_TYPE_DIRECT, allocators[i], nullptr, &lists[i])));
      ASSERT_TRUE(Succeeded(lists[i]->Close()));
    }
  }

  CpuDescriptorHandle view(UINT buffer) const {
    return {rtvHeap->GetCPUDescriptorHandleForHeapStart().ptr +
            buffer * device->GetDescriptorHandleIncrementSize(DESCRIPTOR_HEAP_TYPE_RTV)};
  }

  // The program's frame protocol: three contexts round-robin, each reused after its fence;
  // frame n clears its back buffer to red n / frames.
  void presentClears(uint32_t frames) {
    for (uint32_t frame = 0; frame < frames; ++frame) {
      UINT c = frame % 3;
      if (fence->GetCompletedValue() < contextValues[c]) {
        ASSERT_TRUE(Succeeded(fence->Wait(contextValues[c])));
      }
      ASSERT_TRUE(Succeeded(allocators[c]->Reset()));
      ASSERT_TRUE(Succeeded(lists[c]->Reset(allocators[c], nullptr)));
      UINT b = swapChain->GetCurrentBackBufferIndex();
      ResourceBarrier barrier;
      barrier.Transition = {buffers[b], 0, RESOURCE_STATE_PRESENT, RESOURCE_STATE_RENDER_TARGET};
      lists[c]->ResourceBarrier(1, &barrier);
      const float colour[4] = {float(frame) / float(frames), 0.2f, 0.4f, 1.0f};
      lists[c]->ClearRenderTargetView(view(b), colour, 0, nullptr);
      barrier.Transition = {buffers[b], 0, RESOURCE_STATE_RENDER_TARGET, RESOURCE_STATE_PRESENT};
      lists[c]->ResourceBarrier(1, &barrier);
      ASSERT_TRUE(Succeeded(lists[c]->Close()));
      queue->ExecuteCommandLists(1, &lists[c]);
      contextValues[c] = ++fenceValue;
      ASSERT_TRUE(Succeeded(queue->Signal(fence, fenceValue)));
      ASSERT_TRUE(Succeeded(swapChain->Present(1, 0)));
    }
    ASSERT_TRUE(Succeeded(fence->Wait(fenceValue)));
  }

  void release() {
    for (UINT i = 0; i < 3; ++i) {
      if (lists[i]) lists[i]->Release();
      if (allocators[i]) allocators[i]->Release();
      if (buffers[i]) buffers[i]->Release();
    }
    if (rtvHeap) rtvHeap->Release();
    if (swapChain) swapChain->Release();
    GfxContext::release();
  }
};

TEST_F(WindowTest, CoversTheScreenPresentsFramesAndQuitsOnClose) {
  uint32_t clientWidth = 0, clientHeight = 0;
  windowClientSize(window, &clientWidth, &clientHeight);
  EXPECT_EQ(clientWidth, width);
  EXPECT_EQ(clientHeight, height);
  ValidationScope validation;
  WindowSwapChain chain;
  chain.create(window, width, height);
  if (!HasFatalFailure()) chain.presentClears(120);
  if (!HasFatalFailure()) {
    // What was shown last is what the last frame cleared to.
    std::vector<uint32_t> pixels(size_t(width) * height);
    ASSERT_TRUE(Succeeded(chain.swapChain->ReadBackBuffer((120 - 1) % 3, pixels.data(), width * 4)));
    EXPECT_NEAR(int(pixels[0] & 0xFF), int(119 / 120.0f * 255 + 0.5f), 1);

    windowPostClose(window);
    ASSERT_TRUE(pumpUntilQuit(1000));
    ASSERT_GE(gProcedureMessages.size(), 2u);
    // The close request reached the procedure, its default handling destroyed the window.
    auto close = std::find(gProcedureMessages.begin(), gProcedureMessages.end(), WM_CLOSE);
    ASSERT_NE(close, gProcedureMessages.end());
    EXPECT_NE(std::find(close, gProcedureMessages.end(), WM_DESTROY), gProcedureMessages.end());
    WindowMessage message;
    EXPECT_FALSE(windowPeekMessage(&message));  // WM_QUIT comes once
    // The frame in which the window closed is still presented: it is dropped, not an error.
    EXPECT_TRUE(Succeeded(chain.swapChain->Present(1, 0)));
  }
  chain.release();
}

// Win32 delivers these messages itself; only the SDL backend translates them.
#ifndef _WIN32
// The X server's colour of the screen's pixel (x, y) as 0xRRGGBB, read with xwd and
// ImageMagick; -1 where they are missing.
long screenPixel(uint32_t x, uint32_t y) {
  char command[160];
  std::snprintf(command, sizeof(command),
                "xwd -root -silent 2>/dev/null | convert xwd:- -crop 1x1+%u+%u -depth 8 -format '%%[hex:p{0,0}]' info:",
                x, y);
  FILE* pipe = popen(command, "r");
  if (!pipe) return -1;
  char text[32] = {};
  const bool read = std::fgets(text, sizeof(text), pipe) != nullptr;
  const int status = pclose(pipe);
  return read && status == 0 ? std::strtol(text, nullptr, 16) & 0xFFFFFF : -1;
}

// The window shows the colours drawn, in its own channel order (a copy) and in the other
// (a converting blit): red stays red.
TEST_F(WindowTest, TheWindowShowsTheColoursDrawnInEitherChannelOrder) {
  for (Format format : {PreferredBackBufferFormat(), FORMAT_R8G8B8A8_UNORM, FORMAT_B8G8R8A8_UNORM}) {
    SCOPED_TRACE(format);
    ValidationScope validation;
    WindowSwapChain chain;
    chain.create(window, width, height, format);
    if (!HasFatalFailure()) chain.presentClears(3);  // the last frame clears to (2/3, 0.2, 0.4)
    if (!HasFatalFailure()) {
      std::vector<uint32_t> pixels(size_t(width) * height);
      ASSERT_TRUE(Succeeded(chain.swapChain->ReadBackBuffer(2, pixels.data(), width * 4)));
      EXPECT_EQ(pixels[0] & 0xFFFFFF, 0x6633AAu);  // read back as R, G, B bytes whatever the order
      long shown = -1;
      for (int attempt = 0; attempt < 20 && shown != 0xAA3366; ++attempt) {
        osSleepMs(50);
        shown = screenPixel(width / 2, height / 2);
      }
      if (shown == -1) GTEST_SKIP() << "xwd or ImageMagick missing: the screen cannot be read";
      EXPECT_EQ(shown, 0xAA3366) << std::hex << "the screen shows " << shown;
    }
    chain.release();
  }
}

TEST_F(WindowTest, InputBecomesWin32MessagesWithVirtualKeys) {
  auto push = [](SDL_Event event) { ASSERT_EQ(SDL_PushEvent(&event), 1); };
  SDL_Event event{};
  event.type = SDL_KEYDOWN;
  event.key.keysym.sym = SDLK_ESCAPE;
  push(event);
  event.key.keysym.sym = SDLK_a;
  push(event);
  event.type = SDL_KEYUP;
  event.key.keysym.sym = SDLK_7;
  push(event);
  event = {};
  event.type = SDL_MOUSEMOTION;
  event.motion.x = 1000;
  event.motion.y = -3;
  push(event);
  event = {};
  event.type = SDL_MOUSEBUTTONDOWN;
  event.button.button = SDL_BUTTON_RIGHT;
  push(event);
  event = {};
  event.type = SDL_MOUSEWHEEL;
  event.wheel.y = -1;
  push(event);

  std::vector<WindowMessage> messages;
  WindowMessage message;
  for (int round = 0; round < 100 && messages.size() < 6; ++round)
    while (windowPeekMessage(&message))
      if (message.message != WM_MOUSEMOVE || messageX(message.lParam) == 1000) messages.push_back(message);
  ASSERT_EQ(messages.size(), 6u);
  EXPECT_EQ(messages[0].message, WM_KEYDOWN);
  EXPECT_EQ(messages[0].wParam, 27u);
  EXPECT_EQ(messages[1].wParam, uint64_t('A'));  // letters arrive as their upper-case codes
  EXPECT_EQ(messages[2].message, WM_KEYUP);
  EXPECT_EQ(messages[2].wParam, uint64_t('7'));
  EXPECT_EQ(messages[3].message, WM_MOUSEMOVE);
  EXPECT_EQ(messageX(messages[3].lParam), 1000);
  EXPECT_EQ(messageY(messages[3].lParam), -3);  // signed, as GET_Y_LPARAM reads it
  EXPECT_EQ(messages[4].message, WM_RBUTTONDOWN);
  EXPECT_EQ(messages[5].message, WM_MOUSEWHEEL);
  EXPECT_EQ(messageWheelDelta(messages[5].wParam), -120);
}

#endif

TEST_F(WindowTest, CursorCountFollowsShowCursor) {
  EXPECT_EQ(windowShowCursor(false), -1);
  EXPECT_EQ(windowShowCursor(true), 0);
}

}  // namespace
