#pragma once
// The device set-up and the frame protocol over RenderApp's record (gpu/frame_contexts.h):
// window, device, queue, frame contexts and swap chain created in one order, each frame
// begun and ended on the next context, and the teardown.
//
// Fence protocol: a frame context is reused only after its fence shows that its previous
// frame has finished on the GPU (beginFrame); before presenting, the CPU waits on the
// present fence of the back buffer, which is signalled right after the previous Present,
// so presentation never runs more than one frame ahead of the GPU.
#include <cstdint>
#include <string>

#include "gpu/device_choice.h"
#include "gpu/frame_contexts.h"

// The window procedure: close destroys the window, destroy posts the quit message.
int64_t windowProc(Window* window, uint32_t message, uint64_t wParam, int64_t lParam);

// The program: a borderless window covering the screen, swap chain on it. The device is the
// first that has what `choice` asks (gpu/device_choice.h); the graphics factory is made
// before the window, which on Linux already needs the Vulkan driver.
void createWindowAndDevice(const DeviceChoice& choice = DeviceChoice{});
// The same on a window of the given size (tools that want a smaller window); framed: a
// normal window with a title bar, centred, instead of a borderless one at the corner.
void createWindowAndDevice(uint32_t width, uint32_t height, bool framed = false,
                           const DeviceChoice& choice = DeviceChoice{});
// Tests and tools: the same device set-up on an offscreen swap chain of the given size
// (three back buffers in memory, readable).
void createOffscreenDevice(uint32_t width, uint32_t height, const DeviceChoice& choice = DeviceChoice{});

// The frame's command list, reset and open, with the pending uploads recorded first.
gfx::GraphicsCommandList* beginFrame();
// Closes, submits and presents the frame (sync interval 1).
void endFrame();
// How many of the frames ended so far the GPU has finished, their present included; asks the
// present fences without waiting. With the time it is asked at, it says when a frame was
// shown at the latest.
uint64_t framesFinished();
// Releases everything; the last call of the shutdown.
void destroyDevice();

// The device's name as its driver gives it, and whether it draws on the CPU (lavapipe).
std::string deviceName();
bool deviceIsCpu();

