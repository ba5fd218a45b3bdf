// RenderApp on a real window (Xvfb in CI): frames present on it, and the system close
// command ends in WM_QUIT through the window procedure.
#include <gtest/gtest.h>

#include "gpu/render_app.h"
#include "platform/window.h"
#include "tests/support/gpu_test.h"

namespace {

TEST(RenderAppWindow, PresentsFramesAndCloseLeadsToQuit) {
  ValidationScope validation;
  createWindowAndDevice(320, 200);
  ASSERT_NE(renderApp.window, nullptr);
  for (int i = 0; i < 6; ++i) {
    gfx::GraphicsCommandList* list = beginFrame();
    ASSERT_NE(list, nullptr);
    endFrame();
  }

  windowPostClose(renderApp.window);
  bool quit = false;
  WindowMessage message;
  for (int spins = 0; spins < 1000 && !quit; ++spins) {
    while (windowPeekMessage(&message)) {
      if (message.message == WM_QUIT) {
        quit = true;
        break;
      }
      windowDispatchMessage(&message);
    }
  }
  EXPECT_TRUE(quit);
  waitForGpuIdle();
  destroyDevice();
}

}  // namespace
