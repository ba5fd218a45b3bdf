#pragma once
// The presentation's window and its message pump, shaped like the Win32 calls the program
// makes: a borderless window covering the screen, messages with Win32 numbers (WM_*) and
// virtual-key codes, a window procedure, DestroyWindow / PostQuitMessage / ShowCursor.
// Implemented with SDL2 in platform/sdl/.
#include <cstdint>

struct Window;

// Message numbers (Win32 values).
constexpr uint32_t WM_DESTROY = 0x0002;
constexpr uint32_t WM_SIZE = 0x0005;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_QUIT = 0x0012;
constexpr uint32_t WM_KEYDOWN = 0x0100;
constexpr uint32_t WM_KEYUP = 0x0101;
constexpr uint32_t WM_CHAR = 0x0102;
constexpr uint32_t WM_MOUSEMOVE = 0x0200;
constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr uint32_t WM_LBUTTONUP = 0x0202;
constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
constexpr uint32_t WM_RBUTTONUP = 0x0205;
constexpr uint32_t WM_MBUTTONDOWN = 0x0207;
constexpr uint32_t WM_MBUTTONUP = 0x0208;
constexpr uint32_t WM_MOUSEWHEEL = 0x020A;

// Virtual-key codes (Win32 values). Letters and digits are their upper-case ASCII codes.
constexpr uint32_t VK_BACK = 0x08;
constexpr uint32_t VK_TAB = 0x09;
constexpr uint32_t VK_RETURN = 0x0D;
constexpr uint32_t VK_SHIFT = 0x10;
constexpr uint32_t VK_CONTROL = 0x11;
constexpr uint32_t VK_MENU = 0x12;
constexpr uint32_t VK_ESCAPE = 0x1B;
constexpr uint32_t VK_SPACE = 0x20;
constexpr uint32_t VK_PRIOR = 0x21;
constexpr uint32_t VK_NEXT = 0x22;
constexpr uint32_t VK_END = 0x23;
constexpr uint32_t VK_HOME = 0x24;
constexpr uint32_t VK_LEFT = 0x25;
constexpr uint32_t VK_UP = 0x26;
constexpr uint32_t VK_RIGHT = 0x27;
constexpr uint32_t VK_DOWN = 0x28;
constexpr uint32_t VK_DELETE = 0x2E;
constexpr uint32_t VK_F1 = 0x70;  // F1..F12 follow consecutively

// One message. For mouse messages lParam packs x in its signed low 16 bits and y in the
// signed high 16 bits (client coordinates); WM_MOUSEWHEEL carries the wheel delta (multiples
// of 120) in the signed high 16 bits of wParam; key messages carry the virtual key in wParam.
struct WindowMessage {
  Window* window = nullptr;
  uint32_t message = 0;
  uint64_t wParam = 0;
  int64_t lParam = 0;
};

inline int32_t messageX(int64_t lParam) { return static_cast<int16_t>(lParam & 0xFFFF); }
inline int32_t messageY(int64_t lParam) { return static_cast<int16_t>((lParam >> 16) & 0xFFFF); }
inline int32_t messageWheelDelta(uint64_t wParam) { return static_cast<int16_t>((wParam >> 16) & 0xFFFF); }

// The window procedure: receives WM_CLOSE and WM_DESTROY directly (sent, not posted) and
// every message passed to windowDispatchMessage. Returns the message's result.
using WindowProcedure = int64_t (*)(Window* window, uint32_t message, uint64_t wParam, int64_t lParam);

// The screen size in pixels (GetSystemMetrics SM_CXSCREEN / SM_CYSCREEN). False when no
// display can be opened.
bool windowScreenSize(uint32_t* width, uint32_t* height);

// Creates a borderless, visible window at (0, 0) of width x height (the screen size for
// the presentation), usable for a Vulkan surface. Null when it cannot be created (the
// caller reports the failure); the reason is printed.
Window* windowCreate(const char* title, uint32_t width, uint32_t height, WindowProcedure procedure);
// A normal window instead: a title bar and border the system draws, a client area of
// width x height that the user cannot resize, centred on the screen. Otherwise as
// windowCreate.
Window* windowCreateFramed(const char* title, uint32_t width, uint32_t height, WindowProcedure procedure);

// PeekMessage with PM_REMOVE: takes the next message, false when none is waiting. WM_QUIT
// comes only after every other waiting message. System close requests reach the window
// procedure as WM_CLOSE while pumping.
bool windowPeekMessage(WindowMessage* message);
// DispatchMessage: calls the message's window procedure (nothing for WM_QUIT).
int64_t windowDispatchMessage(const WindowMessage* message);
// DefWindowProc: WM_CLOSE destroys the window; everything else returns 0.
int64_t windowDefaultProcedure(Window* window, uint32_t message, uint64_t wParam, int64_t lParam);

// DestroyWindow: sends WM_DESTROY to the procedure, then closes the window. The Window
// record stays valid (for messages already taken) until windowRelease.
void windowDestroy(Window* window);
// PostQuitMessage: queues WM_QUIT with exitCode in wParam.
void windowPostQuitMessage(int32_t exitCode);
// What the system close command does: queues a close request (delivered as WM_CLOSE).
void windowPostClose(Window* window);
// True once windowDestroy has run: nothing can be shown in the window any more.
bool windowIsDestroyed(const Window* window);
// Frees the record of a destroyed (or not yet destroyed: it is destroyed first) window.
void windowRelease(Window* window);

// ShowCursor: hides (false) or shows (true) the mouse cursor; returns the display count as
// Win32 does (>= 0 shown).
int32_t windowShowCursor(bool show);

// Size of the drawable area in pixels.
void windowClientSize(Window* window, uint32_t* width, uint32_t* height);

// For the graphics backend: creates a Vulkan surface for the window. instance is a
// VkInstance, surface receives a VkSurfaceKHR (kept as opaque handles so this header needs
// no Vulkan include). False on failure.
bool windowCreateVulkanSurface(Window* window, void* instance, uint64_t* surface);
