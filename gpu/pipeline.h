#pragma once
// Compute and graphics pipelines: a root signature plus a pipeline state object.
// The graphics path has one fixed render-state policy (alpha blending, solid fill,
// depth test less-or-equal only with a depth format, triangles); descriptions carry only
// what varies. Descriptions refer to the embedded shader bytes and never copy them.
#include <cstddef>
#include <cstdint>

#include "base/containers.h"
#include "gpu/root_signature.h"

inline constexpr uint32_t kMaxRenderTargets = gfx::SIMULTANEOUS_RENDER_TARGET_COUNT;
inline constexpr uint32_t kCullNone = gfx::CULL_MODE_NONE;
inline constexpr uint32_t kCullFront = gfx::CULL_MODE_FRONT;
inline constexpr uint32_t kCullBack = gfx::CULL_MODE_BACK;

// Owned by whoever requested it; released through releasePipeline (gpu/resources.h).
struct Pipeline {
  gfx::RootSignature* rootSignature;
  gfx::PipelineState* pipelineState;
};

struct ShaderBytecode {
  const void* bytes;
  size_t size;
};

struct ComputePipelineDesc {
  RootSignatureBuilder builder;
  ShaderBytecode computeShader;
};

struct VertexElement {
  uint32_t format;           // DXGI format code
  const char* semanticName;  // must outlive pipeline creation
  uint32_t semanticIndex;
  uint32_t alignedByteOffset;
};

struct VertexBufferLayout {
  FixedArray<VertexElement, 8, uint64_t> elements;
  uint64_t stride;  // recorded, not read by pipeline creation
};

struct GraphicsPipelineDesc {
  RootSignatureBuilder builder;
  ShaderBytecode vertexShader;
  FixedArray<VertexBufferLayout, 4, uint64_t> vertexBuffers;  // slot = position
  ShaderBytecode pixelShader;
  DynamicArray<uint32_t, uint32_t> renderTargetFormats;       // at most 8
  uint32_t depthStencilFormat;                                // 0 = no depth target, no test
  uint32_t cullMode;
};

// Both work on a copy of the description's builder, so a description may be reused.
// Each returns null when the device hands back no object.
Pipeline* createComputePipeline(const ComputePipelineDesc& desc);
Pipeline* createGraphicsPipeline(const GraphicsPipelineDesc& desc);

// The pipeline state description createGraphicsPipeline gives the device (blend,
// raster and depth policy applied). `inputElements` receives the input layout the
// description points to; the caller clears it after use.
gfx::GraphicsPipelineStateDesc describeGraphicsPipeline(
    const GraphicsPipelineDesc& desc, gfx::RootSignature* rootSignature,
    DynamicArray<gfx::InputElementDesc, uint32_t>& inputElements);
