#pragma once
// Buffers and 2D textures in committed resources, staged uploads and deferred release.
//
// Initial data never goes straight to GPU memory: creation keeps a CPU copy and a
// staging buffer and registers the object with the current frame context; that
// context's next beginFrame records the copy. Device objects are never released at
// once either: they wait on RenderApp's release lists until no frame in flight can
// use them.
#include <cstdint>

namespace gfx {
class Resource;
class GraphicsCommandList;
}  // namespace gfx
struct FrameContext;
struct Pipeline;

// A graphics resource and the state it is in after everything recorded so far.
struct TrackedResource {
  gfx::Resource* resource;
  uint32_t state;
};

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

enum BufferType : uint32_t {
  Index = 0,
  Vertex = 1,
  Constant = 2,
  Storage = 3,
  Upload = 4,
  ShaderResource = 5,
  Readback = 6,
};

// Heap types, resource states and flags as the graphics interface numbers them.
inline constexpr uint32_t kHeapDefault = 1;
inline constexpr uint32_t kHeapUpload = 2;
inline constexpr uint32_t kHeapReadback = 3;

inline constexpr uint32_t kStatePresent = 0;
inline constexpr uint32_t kStateVertexAndConstantBuffer = 0x1;
inline constexpr uint32_t kStateIndexBuffer = 0x2;
inline constexpr uint32_t kStateRenderTarget = 0x4;
inline constexpr uint32_t kStateUnorderedAccess = 0x8;
inline constexpr uint32_t kStateDepthWrite = 0x10;
inline constexpr uint32_t kStateNonPixelShaderResource = 0x40;
inline constexpr uint32_t kStatePixelShaderResource = 0x80;
inline constexpr uint32_t kStateShaderResource = 0xC0;
inline constexpr uint32_t kStateCopyDest = 0x400;
inline constexpr uint32_t kStateCopySource = 0x800;
inline constexpr uint32_t kStateGenericRead = 0xAC3;

inline constexpr uint32_t kResourceAllowRenderTarget = 0x1;
inline constexpr uint32_t kResourceAllowDepthStencil = 0x2;
inline constexpr uint32_t kResourceAllowUnorderedAccess = 0x4;

// Bytes per texel of a DXGI format; 0 for formats without a fixed texel size.
uint32_t bytesPerPixel(uint32_t format);

// Staging size for a width x height texture of b bytes per texel.
uint64_t textureStagingSize(uint32_t width, uint32_t height, uint32_t bytesPerTexel);

TrackedResource createBufferResource(uint64_t size, uint32_t heapType, uint32_t initialState,
                                     bool zeroed, uint32_t resourceFlags);
GpuBuffer* createBuffer(uint64_t size, uint32_t type, const void* data, bool zeroed,
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
