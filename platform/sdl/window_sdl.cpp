// The window and message pump on SDL2. SDL events become Win32-numbered messages; close
// requests and WM_DESTROY are sent straight to the window procedure (as Win32 sends them),
// everything else waits in a posted-message queue for windowPeekMessage.
#include <vulkan/vulkan.h>
// Vulkan first: SDL_vulkan.h then uses its types.
#include <SDL.h>
#include <SDL_vulkan.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <vector>

#include "platform/os.h"
#include "platform/window.h"

struct Window {
  SDL_Window* sdl = nullptr;
  uint32_t id = 0;
  WindowProcedure procedure = nullptr;
  bool destroyed = false;
};

namespace {

std::deque<WindowMessage> gPosted;
std::vector<Window*> gWindows;
bool gQuitPosted = false;
int32_t gQuitCode = 0;
int32_t gCursorCount = 0;

// Prints "window: <what>: <SDL's last error>".
void reportSdlError(const char* what) {
  char text[512];
  std::snprintf(text, sizeof(text), "window: %s: %s\n", what, SDL_GetError());
  osPrint(text);
}

bool screenlessDriver() {
  const char* driver = SDL_GetCurrentVideoDriver();
  return driver != nullptr && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0);
}

bool initVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
  // SIGINT and SIGTERM stay the program's own (osInstallStopRequestHandlers); SDL would
  // turn them into a quit event.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // A busy X server can refuse a connection now and then, and SDL then silently settles
  // on a screenless driver. When a display is named, give it a few more tries.
  const char* display = std::getenv("DISPLAY");
  bool displayNamed = display != nullptr && display[0] != 0;
  for (int attempt = 0;; ++attempt) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      reportSdlError("SDL video initialisation failed");
      return false;
    }
    if (!displayNamed || !screenlessDriver() || attempt == 9) return true;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    SDL_Delay(50);
  }
}

Window* windowById(uint32_t id) {
  for (Window* window : gWindows)
    if (window->id == id && !window->destroyed) return window;
  return nullptr;
}

int64_t send(Window* window, uint32_t message, uint64_t wParam, int64_t lParam) {
  if (!window || !window->procedure) return windowDefaultProcedure(window, message, wParam, lParam);
  return window->procedure(window, message, wParam, lParam);
}

void post(Window* window, uint32_t message, uint64_t wParam, int64_t lParam) {
  gPosted.push_back({window, message, wParam, lParam});
}

int64_t packPoint(int32_t x, int32_t y) {
  return static_cast<int64_t>((static_cast<uint32_t>(x) & 0xFFFF) | ((static_cast<uint32_t>(y) & 0xFFFF) << 16));
}

uint32_t virtualKey(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return static_cast<uint32_t>('A' + (key - SDLK_a));
  if (key >= SDLK_0 && key <= SDLK_9) return static_cast<uint32_t>('0' + (key - SDLK_0));
  if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + static_cast<uint32_t>(key - SDLK_F1);
  switch (key) {
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_RETURN: return VK_RETURN;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_TAB: return VK_TAB;
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_UP: return VK_UP;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_HOME: return VK_HOME;
    case SDLK_END: return VK_END;
    case SDLK_DELETE: return VK_DELETE;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL: return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT: return VK_MENU;
    default: return 0;  // no Windows equivalent the program reads
  }
}

void translate(const SDL_Event& event) {
  switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      uint32_t key = virtualKey(event.key.keysym.sym);
      if (key) post(windowById(event.key.windowID), event.type == SDL_KEYDOWN ? WM_KEYDOWN : WM_KEYUP, key, 0);
      break;
    }
    case SDL_MOUSEMOTION:
      post(windowById(event.motion.windowID), WM_MOUSEMOVE, 0, packPoint(event.motion.x, event.motion.y));
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      bool down = event.type == SDL_MOUSEBUTTONDOWN;
      uint32_t message = 0;
      if (event.button.button == SDL_BUTTON_LEFT) message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
      if (event.button.button == SDL_BUTTON_MIDDLE) message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
      if (event.button.button == SDL_BUTTON_RIGHT) message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
      if (message) post(windowById(event.button.windowID), message, 0, packPoint(event.button.x, event.button.y));
      break;
    }
    case SDL_MOUSEWHEEL: {
      int32_t delta = event.wheel.y * 120;
      post(windowById(event.wheel.windowID), WM_MOUSEWHEEL, (static_cast<uint64_t>(delta) & 0xFFFF) << 16, 0);
      break;
    }
    case SDL_WINDOWEVENT: {
      Window* window = windowById(event.window.windowID);
      if (!window) break;
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) send(window, WM_CLOSE, 0, 0);
      if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
        send(window, WM_SIZE, 0, packPoint(event.window.data1, event.window.data2));
      break;
    }
    default: break;  // SDL_QUIT is ignored: quitting goes through WM_DESTROY and PostQuitMessage
  }
}

}  // namespace

bool windowScreenSize(uint32_t* width, uint32_t* height) {
  if (!initVideo()) return false;
  // Without a display SDL falls back to drivers that have no screen to cover.
  if (screenlessDriver()) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);  // so that a later call tries the display again
    return false;
  }
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(0, &mode) != 0 || mode.w <= 0 || mode.h <= 0) {
    reportSdlError("no desktop display mode");
    return false;
  }
  *width = static_cast<uint32_t>(mode.w);
  *height = static_cast<uint32_t>(mode.h);
  return true;
}

namespace {

Window* createWindow(const char* title, int x, int y, uint32_t width, uint32_t height, Uint32 styleFlags,
                     WindowProcedure procedure) {
  if (!initVideo()) return nullptr;
  if (width == 0 || height == 0) {
    char text[64];
    std::snprintf(text, sizeof(text), "window: cannot create a %ux%u window\n", width, height);
    osPrint(text);
    return nullptr;
  }
  SDL_Window* sdl = SDL_CreateWindow(title ? title : "", x, y, static_cast<int>(width), static_cast<int>(height),
                                     styleFlags | SDL_WINDOW_SHOWN | SDL_WINDOW_VULKAN);
  if (!sdl) {
    reportSdlError("SDL_CreateWindow failed");
    return nullptr;
  }
  auto* window = new Window();
  window->sdl = sdl;
  window->id = SDL_GetWindowID(sdl);
  window->procedure = procedure;
  gWindows.push_back(window);
  return window;
}

}  // namespace

Window* windowCreate(const char* title, uint32_t width, uint32_t height, WindowProcedure procedure) {
  // Created at its full size: without a window manager a later full-screen switch does not resize.
  return createWindow(title, 0, 0, width, height, SDL_WINDOW_BORDERLESS, procedure);
}

Window* windowCreateFramed(const char* title, uint32_t width, uint32_t height, WindowProcedure procedure) {
  // Not resizable: the swap chain keeps the size it was created with.
  return createWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, 0, procedure);
}

bool windowPeekMessage(WindowMessage* message) {
  if (SDL_WasInit(SDL_INIT_VIDEO)) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) translate(event);
  }
  if (!gPosted.empty()) {
    *message = gPosted.front();
    gPosted.pop_front();
    return true;
  }
  if (gQuitPosted) {
    gQuitPosted = false;
    *message = {nullptr, WM_QUIT, static_cast<uint64_t>(static_cast<int64_t>(gQuitCode)), 0};
    return true;
  }
  return false;
}

int64_t windowDispatchMessage(const WindowMessage* message) {
  if (!message || message->message == WM_QUIT) return 0;
  Window* window = message->window;
  if (window && window->destroyed) return 0;
  return send(window, message->message, message->wParam, message->lParam);
}

int64_t windowDefaultProcedure(Window* window, uint32_t message, uint64_t, int64_t) {
  if (message == WM_CLOSE && window) windowDestroy(window);
  return 0;
}

void windowDestroy(Window* window) {
  if (!window || window->destroyed) return;
  send(window, WM_DESTROY, 0, 0);
  window->destroyed = true;
  SDL_DestroyWindow(window->sdl);
  window->sdl = nullptr;
  // Messages still queued for it are dropped, as Win32 drops a destroyed window's messages.
  gPosted.erase(std::remove_if(gPosted.begin(), gPosted.end(),
                               [&](const WindowMessage& m) { return m.window == window; }),
                gPosted.end());
}

void windowPostQuitMessage(int32_t exitCode) {
  gQuitPosted = true;
  gQuitCode = exitCode;
}

void windowPostClose(Window* window) {
  if (!window || window->destroyed) return;
  SDL_Event event{};
  event.type = SDL_WINDOWEVENT;
  event.window.event = SDL_WINDOWEVENT_CLOSE;
  event.window.windowID = window->id;
  SDL_PushEvent(&event);
}

bool windowIsDestroyed(const Window* window) { return !window || window->destroyed; }

void windowRelease(Window* window) {
  if (!window) return;
  windowDestroy(window);
  gWindows.erase(std::remove(gWindows.begin(), gWindows.end(), window), gWindows.end());
  delete window;
}

int32_t windowShowCursor(bool show) {
  gCursorCount += show ? 1 : -1;
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(gCursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
  return gCursorCount;
}

void windowClientSize(Window* window, uint32_t* width, uint32_t* height) {
  int w = 0, h = 0;
  if (window && !window->destroyed) SDL_Vulkan_GetDrawableSize(window->sdl, &w, &h);
  *width = static_cast<uint32_t>(w);
  *height = static_cast<uint32_t>(h);
}

bool windowCreateVulkanSurface(Window* window, void* instance, uint64_t* surface) {
  if (!window || window->destroyed || !instance || !surface) return false;
  VkSurfaceKHR created = VK_NULL_HANDLE;
  if (!SDL_Vulkan_CreateSurface(window->sdl, static_cast<VkInstance>(instance), &created)) {
    reportSdlError("SDL_Vulkan_CreateSurface failed");
    return false;
  }
  *surface = reinterpret_cast<uint64_t>(created);
  return true;
}
