#pragma once
// Descriptor heaps handed out linearly.
//
// A DescriptorAllocator owns one heap and cuts contiguous runs (DescriptorTables) out
// of it. Nothing is freed individually: the frame loop resets an allocator as a whole
// once per frame. Views are written into a table one after the other; the table's
// first GPU handle is what a pass binds as its root descriptor table.
#include <cstdint>

#include "platform/gfx_values.h"

namespace gfx {
class DescriptorHeap;
}
struct TrackedResource;

// The GPU layer's short names for the graphics interface's descriptor heap types and flags.
inline constexpr uint32_t kDescriptorHeapCbvSrvUav = gfx::DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV;
inline constexpr uint32_t kDescriptorHeapRtv = gfx::DESCRIPTOR_HEAP_TYPE_RTV;
inline constexpr uint32_t kDescriptorHeapShaderVisible = gfx::DESCRIPTOR_HEAP_FLAG_SHADER_VISIBLE;

struct DescriptorAllocator {
  gfx::DescriptorHeap* heap;
  uint64_t gpuStart;  // 0 for a heap that is not shader-visible
  uint64_t cpuStart;
  uint32_t increment;
  uint32_t used;
  uint32_t capacity;
};

struct DescriptorTable {
  uint64_t gpuStart;  // 0 when the allocator's heap is not shader-visible
  uint64_t cpuStart;
  uint32_t increment;
  uint32_t used;      // views written so far
  uint32_t capacity;
};

// Creates the heap on RenderApp's device. Owned by the caller, lives for the run.
DescriptorAllocator* createDescriptorAllocator(uint32_t heapType, uint32_t descriptorCount,
                                               uint32_t flags);
DescriptorTable allocateDescriptors(DescriptorAllocator& allocator, uint32_t count);
void resetDescriptorAllocator(DescriptorAllocator& allocator);

// View writers: each writes one view into the table's next slot and advances `used`.
// Only the tracked resource's graphics resource is used.
void writeStructuredUav(DescriptorTable& table, const TrackedResource& resource,
                        uint32_t elementCount, uint32_t elementStride);
void writeTextureUav(DescriptorTable& table, const TrackedResource& resource, uint32_t format);
// The particle array: 128 records of 104 bytes.
void writeParticleSrv(DescriptorTable& table, const TrackedResource& resource);
// A read-only buffer of elementCount records of elementStride bytes.
void writeStructuredSrv(DescriptorTable& table, const TrackedResource& resource,
                        uint32_t elementCount, uint32_t elementStride);
void writeTextureSrv(DescriptorTable& table, const TrackedResource& resource, uint32_t format,
                     uint32_t mostDetailedMip, uint32_t mipLevels, uint32_t planeSlice,
                     float minLodClamp);
// sizeInBytes is rounded up to a multiple of 256; more than 64 KB after rounding stops.
void writeCbv(DescriptorTable& table, const TrackedResource& resource, uint64_t sizeInBytes);
void writeTextureRtv(DescriptorTable& table, const TrackedResource& resource, uint32_t format);

// Handle of slot `index` (not checked against the capacity).
inline uint64_t gpuHandle(const DescriptorTable& table, uint32_t index) {
  return table.gpuStart + uint64_t(index) * table.increment;
}
inline uint64_t cpuHandle(const DescriptorTable& table, uint32_t index) {
  return table.cpuStart + uint64_t(index) * table.increment;
}

// The constant-buffer view size for sizeInBytes: rounded up to 256, in 64 bits so that
// a size near 4 GiB cannot wrap to a small view. Stops when above 64 KB.
uint32_t checkedCbvSize(uint64_t sizeInBytes);
