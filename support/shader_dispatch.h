#pragma once
// Recording single shaders of the presentation through the program's GPU layer, outside the
// frame pipeline: the shader suites and the shader benchmarks build on this.
#include <cstdint>
#include <vector>

#include "gpu/descriptors.h"
#include "gpu/passes.h"
#include "gpu/pipeline.h"
#include "gpu/render_app.h"
#include "gpu/root_signature.h"

// Formats the suites use.
inline constexpr uint32_t kRgba32Float = gfx::FORMAT_R32G32B32A32_FLOAT;
inline constexpr uint32_t kRgba16Float = gfx::FORMAT_R16G16B16A16_FLOAT;
inline constexpr uint32_t kRgba8Unorm = gfx::FORMAT_R8G8B8A8_UNORM;
inline constexpr uint32_t kR32Float = gfx::FORMAT_R32_FLOAT;
// Static sampler set-up.
inline constexpr uint32_t kFilterPoint = gfx::FILTER_MIN_MAG_MIP_POINT;
inline constexpr uint32_t kFilterLinear = gfx::FILTER_MIN_MAG_MIP_LINEAR;
inline constexpr uint32_t kAddressClamp = gfx::TEXTURE_ADDRESS_MODE_CLAMP;

// One descriptor of a compute table. Views of one register class must be contiguous (each class
// becomes one range starting at register 0), as in the program's own tables.
struct ComputeView {
  enum Kind { TextureSrv, ParticleSrv, BufferSrv, TextureUav, BufferUav, Cbv } kind;
  TrackedResource* resource;
  uint32_t format = 0;    // textures
  uint32_t elements = 0;  // BufferSrv, BufferUav
  uint32_t stride = 0;    // BufferSrv, BufferUav
};
ComputeView textureSrv(GpuTexture& t, uint32_t format);
ComputeView textureUav(GpuTexture& t, uint32_t format);
ComputeView particleSrv(GpuBuffer& b);
ComputeView bufferSrv(GpuBuffer& b, uint32_t elements, uint32_t stride);
ComputeView bufferUav(GpuBuffer& b, uint32_t elements, uint32_t stride);
ComputeView cbv(GpuBuffer& b);

struct ComputeSampler {
  uint32_t filter;
  uint32_t shaderRegister;
};

// Root signature (one table of `views`' ranges, then optional 16 bytes of root constants, then
// static samplers) and pipeline. Null when the device refuses.
Pipeline* createComputeFor(ShaderBytecode shader, const std::vector<ComputeView>& views,
                           const std::vector<ComputeSampler>& samplers, bool rootConstants);
// Transitions the views' resources, writes a table from `heap` and records the dispatch.
void recordCompute(gfx::GraphicsCommandList* list, Pipeline& pipeline, DescriptorAllocator& heap, BarrierBatch& barriers,
                   const std::vector<ComputeView>& views, uint32_t groupsX, uint32_t groupsY,
                   const void* rootConstants16);

// A full-screen pass of `pixelShader` reading `textures` SRVs and `constantBuffers` CBVs, with one
// static sampler at s0, drawing into one target of `format`.
void buildFullscreenFor(FullscreenPass& pass, ShaderBytecode pixelShader, uint32_t textures,
                        uint32_t constantBuffers, uint32_t filter, uint32_t format);
// Records it into `output` (left in the render-target state).
void recordFullscreen(gfx::GraphicsCommandList* list, FullscreenPass& pass, DescriptorAllocator& heap,
                      DescriptorAllocator& targets, BarrierBatch& barriers, const DynamicArray<PassBinding>& bindings,
                      TrackedResource& output, uint32_t format, uint32_t width, uint32_t height);
