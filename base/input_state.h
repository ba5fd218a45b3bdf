#pragma once
// Keyboard and mouse-button state, filled by the frame loop's message pump and read
// by the camera's free-flight mode (the mouse position is kept by RenderApp). Keys
// are indexed by Windows virtual-key codes (letters by their upper-case ASCII code,
// the rest named in platform/window.h) on every platform: the platform layer
// translates its own codes.
#include <cstdint>
#include <cstring>

inline constexpr uint32_t kInputKeyCount = 512;
inline constexpr uint32_t kInputButtonCount = 3;

// The buttons, in the order of buttonDown and buttonPressed.
enum class MouseButton : uint32_t { Left = 0, Middle = 1, Right = 2 };
inline constexpr uint32_t buttonIndex(MouseButton button) { return uint32_t(button); }

struct InputState {
  uint8_t keyDown[kInputKeyCount];           // key is held
  uint8_t buttonDown[kInputButtonCount];     // left, middle, right button is held
  uint8_t keyPressed[kInputKeyCount];        // key went down during this iteration
  uint8_t buttonPressed[kInputButtonCount];  // button went down during this iteration
  int32_t wheel;                             // wheel amount received this iteration (unused)
};

inline void clearInputState(InputState& input) { memset(&input, 0, sizeof(input)); }

// Start of an iteration: forget what went down during the previous one.
inline void clearPressedInput(InputState& input) {
  memset(input.keyPressed, 0, sizeof(input.keyPressed));
  memset(input.buttonPressed, 0, sizeof(input.buttonPressed));
  input.wheel = 0;
}
