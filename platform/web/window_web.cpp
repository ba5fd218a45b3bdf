// The window on the web: the page's canvas (#tarnix-canvas). Keys pressed on the page and the
// page's own stop requests arrive as window messages (TarnixWeb.messages in web_platform.js).
#include <emscripten.h>

#include <cmath>

#include "platform/web/window_web.h"

struct Window {
  WindowProcedure procedure;
  bool destroyed;
};

namespace {

// clang-format off
EM_JS(void, webScreenSize, (uint32_t* width, uint32_t* height), {
  const scale = window.devicePixelRatio || 1;
  HEAPU32[width >> 2] = Math.round(screen.width * scale);
  HEAPU32[height >> 2] = Math.round(screen.height * scale);
});
EM_JS(int, webNextMessage, (uint32_t* message, uint32_t* wParam, int32_t* lParam), {
  const next = TarnixWeb.messages.shift();
  if (!next) return 0;
  HEAPU32[message >> 2] = next.message;
  HEAPU32[wParam >> 2] = next.wParam;
  HEAP32[lParam >> 2] = next.lParam;
  return 1;
});
EM_JS(void, webPostMessage, (uint32_t message, uint32_t wParam), {
  TarnixWeb.messages.push({ message, wParam, lParam: 0 });
});
EM_JS(void, webListen, (), { TarnixWeb.listen(); });
EM_JS(void, webStopListening, (), { TarnixWeb.stopListening(); });
EM_JS(void, webShowCursor, (int show), {
  const canvas = document.querySelector("#tarnix-canvas");
  if (canvas) canvas.style.cursor = show ? "" : "none";
});
EM_JS(void, webCanvasSize, (uint32_t* width, uint32_t* height), {
  const canvas = document.querySelector("#tarnix-canvas");
  HEAPU32[width >> 2] = canvas ? canvas.width : 0;
  HEAPU32[height >> 2] = canvas ? canvas.height : 0;
});
// clang-format on

int32_t cursorCount = 0;
Window* theWindow = nullptr;  // the page has one canvas

}  // namespace

const char* windowCanvasSelector(const Window*) { return "#tarnix-canvas"; }

bool windowScreenSize(uint32_t* width, uint32_t* height) {
  webScreenSize(width, height);
  return *width > 0 && *height > 0;
}

Window* windowCreate(const char*, uint32_t, uint32_t, WindowProcedure procedure) {
  webListen();
  theWindow = new Window{procedure, false};
  return theWindow;
}

Window* windowCreateFramed(const char* title, uint32_t width, uint32_t height, WindowProcedure procedure) {
  return windowCreate(title, width, height, procedure);
}

// The page's close requests (its stop button, leaving the page) go to the window procedure.
bool windowPeekMessage(WindowMessage* message) {
  uint32_t type = 0, wParam = 0;
  int32_t lParam = 0;
  while (webNextMessage(&type, &wParam, &lParam)) {
    if (type == WM_CLOSE) {
      windowPostClose(theWindow);
      continue;
    }
    *message = {type == WM_QUIT ? nullptr : theWindow, type, wParam, lParam};
    return true;
  }
  return false;
}

int64_t windowDispatchMessage(const WindowMessage* message) {
  if (message->message == WM_QUIT || message->window == nullptr) return 0;
  return message->window->procedure(message->window, message->message, message->wParam, message->lParam);
}

int64_t windowDefaultProcedure(Window* window, uint32_t message, uint64_t, int64_t) {
  if (message == WM_CLOSE) windowDestroy(window);
  return 0;
}

void windowDestroy(Window* window) {
  if (window == nullptr || window->destroyed) return;
  window->procedure(window, WM_DESTROY, 0, 0);
  window->destroyed = true;
  webStopListening();
}

void windowPostQuitMessage(int32_t exitCode) { webPostMessage(WM_QUIT, uint32_t(exitCode)); }

void windowPostClose(Window* window) {
  if (window != nullptr && !window->destroyed) window->procedure(window, WM_CLOSE, 0, 0);
}

bool windowIsDestroyed(const Window* window) { return window == nullptr || window->destroyed; }

void windowRelease(Window* window) {
  windowDestroy(window);
  if (window == theWindow) theWindow = nullptr;
  delete window;
}

int32_t windowShowCursor(bool show) {
  cursorCount += show ? 1 : -1;
  webShowCursor(cursorCount >= 0);
  return cursorCount;
}

void windowClientSize(Window*, uint32_t* width, uint32_t* height) { webCanvasSize(width, height); }

bool windowCreateVulkanSurface(Window*, void*, uint64_t*) { return false; }
