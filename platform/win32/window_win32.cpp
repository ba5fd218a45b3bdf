// The window and message pump on Win32: a WS_POPUP window of the class "WindowClass" over
// the whole screen, PeekMessageA / TranslateMessage / DispatchMessageA, and a window
// procedure that hands every message of the window to the program's procedure. The
// programs declare per-monitor DPI awareness in their manifest, so the screen size and
// every window size here are the display's real pixels.
//
// platform/window.h comes before <windows.h>: its WM_* and VK_* constants carry the same
// names and values as the system's macros, which then take over for the rest of this file.
#include "platform/window.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>

#define VK_NO_PROTOTYPES
#include <vulkan/vulkan.h>
#include <vulkan/vulkan_win32.h>

#include "platform/win32/report.h"

struct Window {
  HWND handle = nullptr;
  WindowProcedure procedure = nullptr;
  bool destroyed = false;
};

namespace {

constexpr const wchar_t* kClassName = L"WindowClass";

Window* windowOf(HWND handle) { return reinterpret_cast<Window*>(GetWindowLongPtrW(handle, GWLP_USERDATA)); }

LRESULT CALLBACK systemWindowProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    // The record travels as the creation parameter, so every later message finds it.
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    auto* window = static_cast<Window*>(create->lpCreateParams);
    window->handle = handle;
    SetWindowLongPtrW(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
  }
  Window* window = windowOf(handle);
  if (message == WM_NCDESTROY && window) {
    window->destroyed = true;
    SetWindowLongPtrW(handle, GWLP_USERDATA, 0);
    return DefWindowProcW(handle, message, wParam, lParam);
  }
  if (!window || !window->procedure) return DefWindowProcW(handle, message, wParam, lParam);
  return LRESULT(window->procedure(window, message, uint64_t(wParam), int64_t(lParam)));
}

bool registerClass() {
  static bool registered = false;
  if (registered) return true;
  WNDCLASSW windowClass{};
  windowClass.style = 0;
  windowClass.lpfnWndProc = systemWindowProcedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  // The program's own icon (group 1 of platform/win32/resources/tarnix.rc) where it has
  // one, in the taskbar and the task switcher; the system's application icon otherwise.
  windowClass.hIcon = LoadIconW(windowClass.hInstance, MAKEINTRESOURCEW(1));
  if (!windowClass.hIcon) windowClass.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kClassName;
  if (!RegisterClassW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    win32Report("window: RegisterClassW failed (error %lu)\n", GetLastError());
    return false;
  }
  registered = true;
  return true;
}

}  // namespace

bool windowScreenSize(uint32_t* width, uint32_t* height) {
  int w = GetSystemMetrics(SM_CXSCREEN);
  int h = GetSystemMetrics(SM_CYSCREEN);
  if (GetSystemMetrics(SM_CMONITORS) < 1 || w <= 0 || h <= 0) return false;
  // Without a display driver (Wine without an X display) the metrics still name a default
  // screen, but no window can be made: a hidden probe window tells.
  HWND probe = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, GetModuleHandleW(nullptr),
                               nullptr);
  if (!probe) return false;
  DestroyWindow(probe);
  *width = uint32_t(w);
  *height = uint32_t(h);
  return true;
}

namespace {

Window* createWindow(const char* title, DWORD style, int x, int y, uint32_t width, uint32_t height,
                     WindowProcedure procedure) {
  if (width == 0 || height == 0 || width > 0x7FFF || height > 0x7FFF) {
    win32Report("window: cannot create a %ux%u window\n", width, height);
    return nullptr;
  }
  if (!registerClass()) return nullptr;
  // The window's outer size that gives a client area of width x height.
  RECT rect{0, 0, LONG(width), LONG(height)};
  AdjustWindowRect(&rect, style, FALSE);
  auto* window = new Window();
  window->procedure = procedure;
  HWND handle = CreateWindowExA(0, "WindowClass", title ? title : "", style, x, y, rect.right - rect.left,
                                rect.bottom - rect.top, nullptr, nullptr, GetModuleHandleW(nullptr), window);
  if (!handle) {
    win32Report("window: CreateWindowExA failed (error %lu)\n", GetLastError());
    delete window;
    return nullptr;
  }
  // The program is per-monitor DPI aware (its manifest), so sizes are the screen's real
  // pixels. AdjustWindowRect measures the frame at the system's DPI; on a monitor of
  // another scale the frame differs, and the outer size is corrected until the client
  // area is width x height.
  RECT client{};
  GetClientRect(handle, &client);
  const LONG extraWidth = LONG(width) - (client.right - client.left);
  const LONG extraHeight = LONG(height) - (client.bottom - client.top);
  if (extraWidth != 0 || extraHeight != 0) {
    RECT outer{};
    GetWindowRect(handle, &outer);
    SetWindowPos(handle, nullptr, 0, 0, outer.right - outer.left + extraWidth, outer.bottom - outer.top + extraHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return window;
}

}  // namespace

Window* windowCreate(const char* title, uint32_t width, uint32_t height, WindowProcedure procedure) {
  return createWindow(title, WS_POPUP | WS_VISIBLE, 0, 0, width, height, procedure);
}

// A title bar, a close box and a border, but no sizing: the swap chain keeps its size.
Window* windowCreateFramed(const char* title, uint32_t width, uint32_t height, WindowProcedure procedure) {
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE;
  RECT outer{0, 0, LONG(width), LONG(height)};
  AdjustWindowRect(&outer, style, FALSE);
  int x = (GetSystemMetrics(SM_CXSCREEN) - int(outer.right - outer.left)) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) - int(outer.bottom - outer.top)) / 2;
  return createWindow(title, style, x > 0 ? x : 0, y > 0 ? y : 0, width, height, procedure);
}

bool windowPeekMessage(WindowMessage* message) {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    Window* window = msg.hwnd ? windowOf(msg.hwnd) : nullptr;
    // Messages of windows the program did not make (the system's own helpers) are theirs.
    if (msg.hwnd && !window) {
      DispatchMessageA(&msg);
      continue;
    }
    *message = {window, msg.message, uint64_t(msg.wParam), int64_t(msg.lParam)};
    return true;
  }
  return false;
}

int64_t windowDispatchMessage(const WindowMessage* message) {
  if (!message || message->message == WM_QUIT) return 0;
  Window* window = message->window;
  if (!window || window->destroyed) return 0;
  MSG msg{};
  msg.hwnd = window->handle;
  msg.message = message->message;
  msg.wParam = WPARAM(message->wParam);
  msg.lParam = LPARAM(message->lParam);
  msg.time = GetMessageTime();
  return int64_t(DispatchMessageA(&msg));
}

int64_t windowDefaultProcedure(Window* window, uint32_t message, uint64_t wParam, int64_t lParam) {
  if (!window || window->destroyed) return 0;
  return int64_t(DefWindowProcW(window->handle, message, WPARAM(wParam), LPARAM(lParam)));
}

void windowDestroy(Window* window) {
  if (!window || window->destroyed) return;
  DestroyWindow(window->handle);
  window->destroyed = true;
}

void windowPostQuitMessage(int32_t exitCode) { PostQuitMessage(exitCode); }

void windowPostClose(Window* window) {
  if (!window || window->destroyed) return;
  PostMessageA(window->handle, WM_SYSCOMMAND, SC_CLOSE, 0);
}

bool windowIsDestroyed(const Window* window) { return !window || window->destroyed; }

void windowRelease(Window* window) {
  if (!window) return;
  windowDestroy(window);
  delete window;
}

int32_t windowShowCursor(bool show) { return ShowCursor(show ? TRUE : FALSE); }

void windowClientSize(Window* window, uint32_t* width, uint32_t* height) {
  RECT rect{};
  if (window && !window->destroyed) GetClientRect(window->handle, &rect);
  *width = uint32_t(rect.right - rect.left);
  *height = uint32_t(rect.bottom - rect.top);
}

bool windowCreateVulkanSurface(Window* window, void* instance, uint64_t* surface) {
  if (!window || window->destroyed || !instance || !surface) return false;
  // The graphics backend has loaded vulkan-1.dll already (it made the instance).
  HMODULE vulkan = GetModuleHandleA("vulkan-1.dll");
  auto getProcAddress = vulkan ? reinterpret_cast<PFN_vkGetInstanceProcAddr>(
                                     reinterpret_cast<void*>(GetProcAddress(vulkan, "vkGetInstanceProcAddr")))
                               : nullptr;
  if (!getProcAddress) return false;
  auto create = reinterpret_cast<PFN_vkCreateWin32SurfaceKHR>(
      getProcAddress(static_cast<VkInstance>(instance), "vkCreateWin32SurfaceKHR"));
  if (!create) {
    win32Report("window: the Vulkan driver cannot draw into Win32 windows (no VK_KHR_win32_surface)\n");
    return false;
  }
  VkWin32SurfaceCreateInfoKHR info{};
  info.sType = VK_STRUCTURE_TYPE_WIN32_SURFACE_CREATE_INFO_KHR;
  info.hinstance = GetModuleHandleW(nullptr);
  info.hwnd = window->handle;
  VkSurfaceKHR created = VK_NULL_HANDLE;
  VkResult result = create(static_cast<VkInstance>(instance), &info, nullptr, &created);
  if (result != VK_SUCCESS) {
    win32Report("window: vkCreateWin32SurfaceKHR failed (%d)\n", int(result));
    return false;
  }
  *surface = reinterpret_cast<uint64_t>(created);
  return true;
}
