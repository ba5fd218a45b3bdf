#pragma once
// Buffers and 2D textures in committed resources, staged uploads and deferred release.
//
// Initial data never goes straight to GPU memory: creation keeps a CPU copy and a
// staging buffer and registers the object with the current frame context; that
// context's next beginFrame records the copy. Device objects are never released at
// once either: they wait on RenderApp's release lists until no frame in flight can
// use them.
#include <cstdint>

#include "gpu/tracked_resource.h"
#include "platform/gfx_values.h"

namespace gfx {
class GraphicsCommandList;
}  // namespace gfx
struct FrameContext;
struct Pipeline;

struct GpuBuffer {
  TrackedResource resource;
  TrackedResource upload;  // staging buffer, empty unless an upload is pending
  uint64_t size;           // as created: the requested size rounded up to 256
  uint8_t* cpuCopy;        // the initial data while an upload is pending
  uint64_t cpuCopySize;    // its length: the requested size, not the rounded one
};

struct GpuTexture {
  TrackedResource resource;
  TrackedResource upload;
  uint32_t width, height;
  uint32_t depth;    // always 1
  uint8_t* cpuCopy;  // tightly packed texels while an upload is pending
};

// What a buffer is for; it decides the heap, the initial state and whether initial data is
// uploaded.
enum class BufferType : uint32_t { Index, Vertex, Constant, Storage, Upload, ShaderResource, Readback };

// The GPU layer's short names for the graphics interface's heap types, resource states
// and flags (platform/gfx_values.h holds the numbers).
inline constexpr uint32_t kHeapDefault = gfx::HEAP_TYPE_DEFAULT;
inline constexpr uint32_t kHeapUpload = gfx::HEAP_TYPE_UPLOAD;
inline constexpr uint32_t kHeapReadback = gfx::HEAP_TYPE_READBACK;

inline constexpr uint32_t kStatePresent = gfx::RESOURCE_STATE_PRESENT;
inline constexpr uint32_t kStateVertexAndConstantBuffer = gfx::RESOURCE_STATE_VERTEX_AND_CONSTANT_BUFFER;
inline constexpr uint32_t kStateIndexBuffer = gfx::RESOURCE_STATE_INDEX_BUFFER;
inline constexpr uint32_t kStateRenderTarget = gfx::RESOURCE_STATE_RENDER_TARGET;
inline constexpr uint32_t kStateUnorderedAccess = gfx::RESOURCE_STATE_UNORDERED_ACCESS;
inline constexpr uint32_t kStateDepthWrite = gfx::RESOURCE_STATE_DEPTH_WRITE;
inline constexpr uint32_t kStateNonPixelShaderResource = gfx::RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE;
inline constexpr uint32_t kStatePixelShaderResource = gfx::RESOURCE_STATE_PIXEL_SHADER_RESOURCE;
inline constexpr uint32_t kStateShaderResource = gfx::RESOURCE_STATE_ALL_SHADER_RESOURCE;
inline constexpr uint32_t kStateCopyDest = gfx::RESOURCE_STATE_COPY_DEST;
inline constexpr uint32_t kStateCopySource = gfx::RESOURCE_STATE_COPY_SOURCE;
inline constexpr uint32_t kStateGenericRead = gfx::RESOURCE_STATE_GENERIC_READ;

inline constexpr uint32_t kResourceAllowRenderTarget = gfx::RESOURCE_FLAG_ALLOW_RENDER_TARGET;
inline constexpr uint32_t kResourceAllowDepthStencil = gfx::RESOURCE_FLAG_ALLOW_DEPTH_STENCIL;
inline constexpr uint32_t kResourceAllowUnorderedAccess = gfx::RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS;

// Bytes per texel of a format; 0 for formats without a fixed texel size.
inline uint32_t bytesPerPixel(uint32_t format) { return gfx::FormatBytesPerPixel(format); }

// Staging size for a width x height texture of b bytes per texel.
uint64_t textureStagingSize(uint32_t width, uint32_t height, uint32_t bytesPerTexel);

TrackedResource createBufferResource(uint64_t size, uint32_t heapType, uint32_t initialState,
                                     bool zeroed, uint32_t resourceFlags);
GpuBuffer* createBuffer(uint64_t size, BufferType type, const void* data, bool zeroed,
                        uint32_t resourceFlags);
GpuTexture* createTexture(uint32_t width, uint32_t height, const void* texels,
                          uint32_t initialState, uint32_t format, uint32_t resourceFlags);

// Deferred release: each takes the owning pointer, ignores null and sets it to null.
// An object whose initial data has not been uploaded yet is taken off the pending list.
void releasePipeline(Pipeline*& pipeline);
void releaseBuffer(GpuBuffer*& buffer);
void releaseTexture(GpuTexture*& texture);

// Records the context's pending texture, then buffer uploads and empties both lists
// (beginFrame calls it right after resetting the command list).
void recordPendingUploads(FrameContext& context, gfx::GraphicsCommandList* commandList);
