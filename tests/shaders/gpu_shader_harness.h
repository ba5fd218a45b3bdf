#pragma once
// Runs single shaders of the presentation on the graphics device (lavapipe here) through the
// program's own GPU layer, with validation on: textures and buffers in, results read back.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "app/frame_passes.h"
#include "shader_blobs.h"
#include "support/shader_dispatch.h"
#include "tests/support/gpu_test.h"

inline constexpr uint32_t kBackBufferSize = 32;  // the offscreen swap chain, square

// Groups of an image pass that cover `pixels` in one direction (kDepthOfFieldTile for the depth of
// field's preparation).
inline uint32_t groupsCovering(uint32_t pixels, uint32_t side = kImageGroupSide) { return (pixels + side - 1) / side; }

struct ShaderGpuTest : ::testing::Test {
  ValidationScope validation;
  DescriptorAllocator* heap = nullptr;
  DescriptorAllocator* targets = nullptr;
  BarrierBatch barriers = {};

  void SetUp() override;
  void TearDown() override;

  // Texels: `components` floats per texel (4 for kRgba32Float, 1 for kR32Float); empty for none.
  GpuTexture* texture(uint32_t w, uint32_t h, uint32_t format, const std::vector<float>& texels, bool unorderedAccess);
  template <typename T>
  GpuBuffer* constants(const T& record) { return createBuffer(sizeof(T), BufferType::Constant, &record, false, 0); }
  GpuBuffer* storage(const void* bytes, uint64_t size);

  // Records one compute pass in its own frame, `resources` bound to its slots in order, and
  // waits for it.
  void dispatch(const PassDescription& pass, const std::vector<PassResource>& resources, uint32_t groupsX,
                uint32_t groupsY, const void* rootConstants16 = nullptr);
  // Draws a pixel pass into `target` (a render-target texture of `format`), or into the back
  // buffer when target is null; waits for it.
  void drawFullscreen(const PassDescription& pass, const std::vector<PassResource>& resources, GpuTexture* target,
                      uint32_t format, uint32_t width, uint32_t height);

  std::vector<float> readFloats(GpuTexture& texture, uint32_t components);
  std::vector<uint8_t> readBytes(GpuBuffer& buffer);
  std::vector<uint32_t> readBackBuffer();  // RGBA8 of the buffer drawFullscreen drew last

  uint64_t lastBackBuffer = 0;
};
