#pragma once
// Resource-state tracking (BarrierBatch) and full-screen passes.
//
// A batch collects transitions against the state each TrackedResource remembers and
// records them as one barrier call; the flush then writes the new states back, so a
// tracked state is always what the last recorded transition left.
#include <cstdint>

#include "base/containers.h"
#include "gpu/descriptors.h"
#include "gpu/pipeline.h"
#include "gpu/resources.h"
#include "platform/gfx.h"

struct BarrierEntry {
  gfx::ResourceBarrier barrier;
  TrackedResource* owner;
};

struct BarrierBatch {
  DynamicArray<BarrierEntry, uint32_t> entries;
  DynamicArray<gfx::ResourceBarrier, uint32_t> staging;  // reused between flushes
};

// One entry at most (the audio renderer's two transitions).
struct SingleBarrierBatch {
  FixedArray<BarrierEntry, 1> entries;
};

// Queues a transition of `resource` to newState unless it is already there. A second
// request for the same resource before the flush retargets the queued transition (and
// drops it when it would return to the tracked state), so the barrier's "before" is
// always the state the resource really is in.
void requestTransition(BarrierBatch& batch, TrackedResource& resource, uint32_t newState);
void requestTransition(SingleBarrierBatch& batch, TrackedResource& resource, uint32_t newState);

// Records all queued transitions in one barrier call (none when nothing is queued),
// then updates the owners' tracked states and empties the batch.
void flush(BarrierBatch& batch, gfx::GraphicsCommandList* commandList);
void flush(SingleBarrierBatch& batch, gfx::GraphicsCommandList* commandList);
void destroyBarrierBatch(BarrierBatch& batch);

// How a pass uses a bound resource.
enum class AccessType : int32_t {
  SampledTexture = 9,
  ConstantBuffer = 15,
};
inline constexpr int32_t kAccessTypeCount = 16;

// The state an access type requires (0..15).
uint32_t requiredState(AccessType accessType);

struct PassBinding {
  AccessType accessType;
  TrackedResource* resource;  // not owned
  union {
    struct {
      uint32_t format;
      uint32_t mostDetailedMip;
      uint32_t mipLevels;
      uint32_t planeSlice;
      float minLodClamp;
    } texture;
    struct {
      uint64_t sizeInBytes;
    } constantBuffer;
  };
};

PassBinding sampledTextureBinding(GpuTexture& texture, uint32_t format);
PassBinding constantBufferBinding(GpuBuffer& buffer);

// A graphics pass drawing one triangle over the whole target with a pixel shader.
struct FullscreenPass {
  ShaderBytecode pixelShader;
  DynamicArray<uint32_t, uint32_t> renderTargetFormats;
  uint32_t depthStencilFormat;
  RootSignatureBuilder builder;
  GpuBuffer* vertexBuffer;  // owned: the triangle
  Pipeline* pipeline;       // owned: null until built
  BarrierBatch barriers;
};

// The triangle: covers the clip square -1..1 in x and y.
inline constexpr float kFullscreenTriangle[9] = {-1, -7, 0, -1, 7, 0, 7, 7, 0};

// Makes the vertex buffer and the pipeline with `vertexShader` (the program passes
// RenderToScreenVS).
void buildFullscreenPass(FullscreenPass& pass, ShaderBytecode vertexShader);
// The target is cleared to black first, unless the pass draws over what is there (an overlay).
// A scissor (inside width x height) limits the pixels drawn; none draws them all.
void executeFullscreenPass(FullscreenPass& pass, uint32_t width, uint32_t height,
                           gfx::GraphicsCommandList* commandList, uint64_t renderTargetView,
                           DescriptorAllocator& allocator, const DynamicArray<PassBinding>& bindings,
                           bool clearTarget = true, const gfx::Rect* scissor = nullptr);
// Releases the pass's vertex buffer and pipeline (deferred) and frees its lists.
void destroyFullscreenPass(FullscreenPass& pass);
