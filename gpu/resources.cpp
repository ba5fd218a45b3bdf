#include "gpu/resources.h"

#include <cstdlib>
#include <cstring>

#include "base/diagnostics.h"
#include "gpu/frame_contexts.h"
#include "gpu/pipeline.h"
#include "platform/gfx.h"

// Rows are copied at a 256-byte pitch, so that is what each row of the staging buffer
// holds: a 1 x 1 texel of four bytes needs 256 bytes, not 256 texels.
uint64_t textureStagingSize(uint32_t width, uint32_t height, uint32_t bytesPerTexel) {
  uint64_t pitch = (uint64_t(width) * bytesPerTexel + 255) & ~uint64_t(255);
  uint64_t size = pitch * height;
  return size < 256 ? 256 : size;
}

static uint64_t roundUp256(uint64_t size) { return (size + 255) & ~uint64_t(255); }

static gfx::Resource* createCommittedBuffer(uint64_t size, uint32_t heapType, uint32_t state,
                                            bool zeroed, uint32_t flags) {
  gfx::HeapProperties heap = {};
  heap.Type = gfx::HeapType(heapType);
  gfx::ResourceDesc desc = {};
  desc.Dimension = gfx::RESOURCE_DIMENSION_BUFFER;
  desc.Alignment = 65536;
  desc.Width = size;
  desc.Height = 1;
  desc.DepthOrArraySize = 1;
  desc.MipLevels = 1;
  desc.Format = gfx::FORMAT_UNKNOWN;
  desc.SampleDesc.Count = 1;
  desc.SampleDesc.Quality = 0;
  desc.Layout = gfx::TEXTURE_LAYOUT_ROW_MAJOR;
  desc.Flags = gfx::ResourceFlags(flags);
  gfx::HeapFlags heapFlags = zeroed ? gfx::HEAP_FLAG_NONE : gfx::HEAP_FLAG_CREATE_NOT_ZEROED;
  gfx::Resource* resource = nullptr;
  if (gfx::Failed(renderApp.device->CreateCommittedResource(&heap, heapFlags, &desc,
                                                            gfx::ResourceStates(state), nullptr,
                                                            &resource)) ||
      resource == nullptr)
    PANIC("Failed to create buffer resource\n");
  return resource;
}

TrackedResource createBufferResource(uint64_t size, uint32_t heapType, uint32_t initialState,
                                     bool zeroed, uint32_t resourceFlags) {
  return {createCommittedBuffer(roundUp256(size), heapType, initialState, zeroed, resourceFlags),
          initialState};
}

namespace {
struct BufferKind {
  uint32_t heapType;
  uint32_t initialState;
  uint32_t extraFlags;
  bool uploadsData;
};
constexpr BufferKind kBufferKinds[] = {
    {kHeapDefault, kStateIndexBuffer, 0, true},                                  // Index
    {kHeapDefault, kStateVertexAndConstantBuffer, 0, true},                      // Vertex
    {kHeapDefault, kStateVertexAndConstantBuffer, 0, true},                      // Constant
    {kHeapDefault, kStateUnorderedAccess, kResourceAllowUnorderedAccess, true},  // Storage
    {kHeapUpload, kStateGenericRead, 0, false},                                  // Upload
    {kHeapDefault, kStateShaderResource, 0, true},                               // ShaderResource
    {kHeapReadback, kStateCopyDest, 0, false},                                   // Readback
};
}  // namespace

GpuBuffer* createBuffer(uint64_t size, BufferType type, const void* data, bool zeroed,
                        uint32_t resourceFlags) {
  if (type > BufferType::Readback) PANIC("Error: Invalid buffer type\n");
  const BufferKind& kind = kBufferKinds[uint32_t(type)];

  auto* buffer = static_cast<GpuBuffer*>(calloc(1, sizeof(GpuBuffer)));
  ASSERT(buffer != nullptr, "\n");
  buffer->resource = createBufferResource(size, kind.heapType, kind.initialState, zeroed,
                                          resourceFlags | kind.extraFlags);
  buffer->size = buffer->resource.resource->GetDesc().Width;

  if (kind.uploadsData && data != nullptr) {
    buffer->upload = createBufferResource(size, kHeapUpload, kStateGenericRead, false, 0);
    buffer->cpuCopy = static_cast<uint8_t*>(malloc(size_t(size)));
    ASSERT(buffer->cpuCopy != nullptr, "\n");
    memcpy(buffer->cpuCopy, data, size_t(size));
    buffer->cpuCopySize = size;
    currentFrameContext().pendingBufferUploads.push(buffer);
  }
  return buffer;
}

GpuTexture* createTexture(uint32_t width, uint32_t height, const void* texels,
                          uint32_t initialState, uint32_t format, uint32_t resourceFlags) {
  gfx::ResourceDesc desc = {};
  desc.Dimension = gfx::RESOURCE_DIMENSION_TEXTURE2D;
  desc.Alignment = 65536;
  desc.Width = width;
  desc.Height = height;
  desc.DepthOrArraySize = 1;
  desc.MipLevels = 1;
  desc.Format = gfx::Format(format);
  desc.SampleDesc.Count = 1;
  desc.SampleDesc.Quality = 0;
  desc.Layout = gfx::TEXTURE_LAYOUT_UNKNOWN;
  desc.Flags = gfx::ResourceFlags(resourceFlags);

  gfx::ClearValue clear = {};
  gfx::ClearValue* optimizedClear = nullptr;
  if (resourceFlags & kResourceAllowRenderTarget) {
    clear.Format = gfx::Format(format);
    clear.Color[0] = 0.0f;
    clear.Color[1] = 0.0f;
    clear.Color[2] = 0.0f;
    clear.Color[3] = 1.0f;
    optimizedClear = &clear;
  } else if (resourceFlags & kResourceAllowDepthStencil) {
    clear.Format = gfx::Format(format);
    clear.DepthStencil.Depth = 1.0f;
    clear.DepthStencil.Stencil = 0;
    optimizedClear = &clear;
  }

  gfx::HeapProperties heap = {};
  heap.Type = gfx::HeapType(kHeapDefault);
  gfx::Resource* resource = nullptr;
  if (gfx::Failed(renderApp.device->CreateCommittedResource(
          &heap, gfx::HEAP_FLAG_NONE, &desc, gfx::ResourceStates(initialState), optimizedClear,
          &resource)) ||
      resource == nullptr)
    PANIC("Failed to create image resource\n");

  auto* texture = static_cast<GpuTexture*>(calloc(1, sizeof(GpuTexture)));
  ASSERT(texture != nullptr, "\n");
  texture->resource = {resource, initialState};
  texture->width = width;
  texture->height = height;
  texture->depth = 1;
  if (texels == nullptr) return texture;

  // Without a fixed texel size the copies below would have no length to work with.
  uint32_t b = bytesPerPixel(format);
  ASSERT(b != 0, "Texture format %u has no texel size for uploading\n", format);
  texture->upload = {createCommittedBuffer(textureStagingSize(width, height, b), kHeapUpload,
                                           kStateGenericRead, false, 0),
                     kStateGenericRead};
  size_t bytes = size_t(width) * height * b;
  texture->cpuCopy = static_cast<uint8_t*>(malloc(bytes));
  ASSERT(texture->cpuCopy != nullptr,
         "Failed to allocate cpu data for uploading to texture memory\n");
  memcpy(texture->cpuCopy, texels, bytes);
  currentFrameContext().pendingTextureUploads.push(texture);
  return texture;
}

// Appends a transition to the command list at once (uploads record their own barriers).
static void recordTransition(gfx::GraphicsCommandList* commandList, gfx::Resource* resource,
                             uint32_t before, uint32_t after) {
  gfx::ResourceBarrier barrier = {};
  barrier.Type = gfx::RESOURCE_BARRIER_TYPE_TRANSITION;
  barrier.Flags = gfx::ResourceBarrierFlags(0);
  barrier.Transition.pResource = resource;
  barrier.Transition.Subresource = 0;
  barrier.Transition.StateBefore = gfx::ResourceStates(before);
  barrier.Transition.StateAfter = gfx::ResourceStates(after);
  commandList->ResourceBarrier(1, &barrier);
}

// Copy destination around a copy, unless the resource already is one (a transition to
// the same state is not a valid barrier).
static void beginCopyInto(gfx::GraphicsCommandList* commandList, const TrackedResource& target) {
  if (target.state != kStateCopyDest)
    recordTransition(commandList, target.resource, target.state, kStateCopyDest);
}
static void endCopyInto(gfx::GraphicsCommandList* commandList, const TrackedResource& target) {
  if (target.state != kStateCopyDest)
    recordTransition(commandList, target.resource, kStateCopyDest, target.state);
}

static void recordTextureUpload(GpuTexture& texture, gfx::GraphicsCommandList* commandList) {
  gfx::ResourceDesc desc = texture.resource.resource->GetDesc();
  gfx::PlacedSubresourceFootprint footprint = {};
  uint32_t rows = 0;
  uint64_t rowSize = 0, totalBytes = 0;
  renderApp.device->GetCopyableFootprints(&desc, 0, 1, 0, &footprint, &rows, &rowSize,
                                          &totalBytes);
  uint32_t b = bytesPerPixel(uint32_t(desc.Format));
  uint64_t packedRow = uint64_t(texture.width) * b;
  ASSERT(totalBytes <= texture.upload.resource->GetDesc().Width && rowSize <= packedRow,
         "Texture upload does not fit its staging buffer\n");

  void* mapped = nullptr;
  if (gfx::Succeeded(texture.upload.resource->Map(0, nullptr, &mapped)) && mapped != nullptr) {
    uint64_t rowCount = uint64_t(rows) * footprint.Footprint.Depth;
    for (uint64_t r = 0; r < rowCount; ++r)
      memcpy(static_cast<uint8_t*>(mapped) + r * footprint.Footprint.RowPitch,
             texture.cpuCopy + r * packedRow, size_t(rowSize));
    texture.upload.resource->Unmap(0, nullptr);

    beginCopyInto(commandList, texture.resource);
    gfx::TextureCopyLocation destination = {};
    destination.pResource = texture.resource.resource;
    destination.Type = gfx::TEXTURE_COPY_TYPE_SUBRESOURCE_INDEX;
    destination.SubresourceIndex = 0;
    gfx::TextureCopyLocation source = {};
    source.pResource = texture.upload.resource;
    source.Type = gfx::TEXTURE_COPY_TYPE_PLACED_FOOTPRINT;
    source.PlacedFootprint = footprint;
    commandList->CopyTextureRegion(&destination, 0, 0, 0, &source, nullptr);
    endCopyInto(commandList, texture.resource);
  }
  free(texture.cpuCopy);
  texture.cpuCopy = nullptr;
  deferRelease(texture.upload.resource);
  texture.upload = {};
}

static void recordBufferUpload(GpuBuffer& buffer, gfx::GraphicsCommandList* commandList) {
  if (buffer.cpuCopy == nullptr || buffer.resource.resource == nullptr) return;
  void* mapped = nullptr;
  if (gfx::Succeeded(buffer.upload.resource->Map(0, nullptr, &mapped)) && mapped != nullptr) {
    memcpy(mapped, buffer.cpuCopy, size_t(buffer.cpuCopySize));
    buffer.upload.resource->Unmap(0, nullptr);
    beginCopyInto(commandList, buffer.resource);
    commandList->CopyResource(buffer.resource.resource, buffer.upload.resource);
    endCopyInto(commandList, buffer.resource);
  }
  free(buffer.cpuCopy);
  buffer.cpuCopy = nullptr;
  buffer.cpuCopySize = 0;
  deferRelease(buffer.upload.resource);
  buffer.upload = {};
}

void recordPendingUploads(FrameContext& context, gfx::GraphicsCommandList* commandList) {
  for (GpuTexture* texture : context.pendingTextureUploads) recordTextureUpload(*texture, commandList);
  context.pendingTextureUploads.clear();
  for (GpuBuffer* buffer : context.pendingBufferUploads) recordBufferUpload(*buffer, commandList);
  context.pendingBufferUploads.clear();
}

// An object released before its upload was recorded must leave the pending lists, or
// the next beginFrame would copy from freed memory.
template <typename T>
static void forgetPendingUpload(T* object, DynamicArray<T*> FrameContext::*list) {
  for (FrameContext& context : renderApp.frameContexts) {
    DynamicArray<T*>& pending = context.*list;
    uint64_t kept = 0;
    for (uint64_t i = 0; i < pending.count; ++i)
      if (pending[i] != object) pending[kept++] = pending[i];
    pending.count = kept;
  }
}

void releasePipeline(Pipeline*& pipeline) {
  if (pipeline == nullptr) return;
  deferRelease(pipeline->pipelineState);
  deferRelease(pipeline->rootSignature);
  delete pipeline;
  pipeline = nullptr;
}

// A buffer or a texture: no frame uploads it any more, its resources go once the frames that
// use them are done, and its CPU copy and record are freed.
template <typename T>
static void releaseUploaded(T*& object, DynamicArray<T*> FrameContext::*pendingUploads) {
  if (object == nullptr) return;
  forgetPendingUpload(object, pendingUploads);
  deferRelease(object->resource.resource);
  deferRelease(object->upload.resource);
  free(object->cpuCopy);
  free(object);
  object = nullptr;
}

void releaseBuffer(GpuBuffer*& buffer) { releaseUploaded(buffer, &FrameContext::pendingBufferUploads); }

void releaseTexture(GpuTexture*& texture) { releaseUploaded(texture, &FrameContext::pendingTextureUploads); }
