#pragma once
// Reading textures and buffers back from the device (and writing a buffer) through RenderApp's
// frame protocol, for the GPU suites. Each call records its copy in a frame of its own (so uploads still
// pending are recorded first), waits for the GPU, and leaves the resource in the state it
// was in, so the passes that follow see the tracked state they expect.
#include <cstdint>
#include <vector>

#include "gpu/resources.h"

// The texels of a 2D texture's first subresource, rows tightly packed (no copy pitch).
// Empty, with a test failure, when the read-back buffer cannot be mapped.
std::vector<uint8_t> readBackTexture(GpuTexture& texture);

// Writes `bytes` over the start of the buffer, through an upload buffer, in a frame of its own.
void overwriteBuffer(GpuBuffer& buffer, const std::vector<uint8_t>& bytes);

// Every byte of the buffer as created (its size rounded up like all buffers).
// Empty, with a test failure, when the read-back buffer cannot be mapped.
std::vector<uint8_t> readBackBuffer(GpuBuffer& buffer);
