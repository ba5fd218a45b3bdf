#pragma once
// Recording single passes of the presentation from their descriptions, outside the frame
// pipeline: the shader suites and the shader benchmarks build on this. Resources are bound
// to the description's slots in order (gpu/pass_description.h); a texture's format may be
// given where a suite reads back a wider one than the frame uses.
#include <cstdint>
#include <vector>

#include "gpu/descriptors.h"
#include "gpu/pass_description.h"
#include "gpu/passes.h"
#include "gpu/pipeline.h"
#include "gpu/render_app.h"

// Formats the suites use.
inline constexpr uint32_t kRgba32Float = gfx::FORMAT_R32G32B32A32_FLOAT;
inline constexpr uint32_t kRgba16Float = gfx::FORMAT_R16G16B16A16_FLOAT;
inline constexpr uint32_t kRgba8Unorm = gfx::FORMAT_R8G8B8A8_UNORM;
inline constexpr uint32_t kR32Float = gfx::FORMAT_R32_FLOAT;

// Binds the frame's heap, then records the pass (its table, transitions and dispatch).
void recordCompute(gfx::GraphicsCommandList* list, const PassDescription& pass, Pipeline& pipeline,
                   DescriptorAllocator& heap, BarrierBatch& barriers, const std::vector<PassResource>& resources,
                   uint32_t groupsX, uint32_t groupsY, const void* rootConstants16 = nullptr);

// Records a pixel pass into `output` (moved to the render-target state first) of `format`.
void recordFullscreen(gfx::GraphicsCommandList* list, const PassDescription& pass, FullscreenPass& fullscreen,
                      DescriptorAllocator& heap, DescriptorAllocator& targets, BarrierBatch& barriers,
                      const std::vector<PassResource>& resources, TrackedResource& output, uint32_t format,
                      uint32_t width, uint32_t height);
