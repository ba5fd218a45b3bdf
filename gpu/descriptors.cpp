#include "gpu/descriptors.h"

#include <cstdlib>

#include "base/diagnostics.h"
#include "gpu/frame_contexts.h"
#include "gpu/resources.h"
#include "platform/gfx.h"

DescriptorAllocator* createDescriptorAllocator(uint32_t heapType, uint32_t descriptorCount,
                                               uint32_t flags) {
  gfx::DescriptorHeapDesc desc = {};
  desc.Type = gfx::DescriptorHeapType(heapType);
  desc.NumDescriptors = descriptorCount;
  desc.Flags = gfx::DescriptorHeapFlags(flags);
  desc.NodeMask = 0;
  gfx::DescriptorHeap* heap = nullptr;
  if (gfx::Failed(renderApp.device->CreateDescriptorHeap(&desc, &heap)) || heap == nullptr)
    PANIC("Failed to create descriptor heap\n");

  auto* allocator = static_cast<DescriptorAllocator*>(calloc(1, sizeof(DescriptorAllocator)));
  ASSERT(allocator != nullptr, "\n");
  allocator->heap = heap;
  allocator->gpuStart = (flags & kDescriptorHeapShaderVisible)
                            ? heap->GetGPUDescriptorHandleForHeapStart().ptr
                            : 0;
  allocator->cpuStart = heap->GetCPUDescriptorHandleForHeapStart().ptr;
  allocator->increment =
      renderApp.device->GetDescriptorHandleIncrementSize(gfx::DescriptorHeapType(heapType));
  allocator->used = 0;
  allocator->capacity = descriptorCount;
  return allocator;
}

DescriptorTable allocateDescriptors(DescriptorAllocator& allocator, uint32_t count) {
  ASSERT(count != 0, "DescriptorAllocator: cannot allocate 0 descriptors\n");
  ASSERT(allocator.used <= allocator.capacity, "DescriptorAllocator: internal overflow\n");
  uint32_t remaining = allocator.capacity - allocator.used;
  ASSERT(remaining >= count, "DescriptorAllocator: requested %u descriptors, only %u remaining\n",
         count, remaining);
  uint64_t offset = uint64_t(allocator.used) * allocator.increment;
  DescriptorTable table;
  table.gpuStart = allocator.gpuStart == 0 ? 0 : allocator.gpuStart + offset;
  table.cpuStart = allocator.cpuStart + offset;
  table.increment = allocator.increment;
  table.used = 0;
  table.capacity = count;
  allocator.used += count;
  return table;
}

void resetDescriptorAllocator(DescriptorAllocator& allocator) { allocator.used = 0; }

namespace {

// Checks the table has room and returns the CPU handle of its next slot.
gfx::CpuDescriptorHandle takeSlot(DescriptorTable& table) {
  ASSERT(uint64_t(table.used) + 1 <= table.capacity,
         "Exceeded capacity of descriptors allocated\n");
  gfx::CpuDescriptorHandle handle = {cpuHandle(table, table.used)};
  table.used += 1;
  return handle;
}

constexpr uint32_t kDefaultComponentMapping = 0x1688;

}  // namespace

uint32_t checkedCbvSize(uint64_t sizeInBytes) {
  uint64_t rounded = (sizeInBytes + 255) & ~uint64_t(255);
  ASSERT(rounded <= 65536 && rounded >= sizeInBytes, "CBV view must be <= 64KB\n");
  return uint32_t(rounded);
}

void writeStructuredUav(DescriptorTable& table, const TrackedResource& resource,
                        uint32_t elementCount, uint32_t elementStride) {
  gfx::CpuDescriptorHandle slot = takeSlot(table);
  gfx::UnorderedAccessViewDesc desc = {};
  desc.Format = gfx::FORMAT_UNKNOWN;
  desc.ViewDimension = gfx::UAV_DIMENSION_BUFFER;
  desc.Buffer.FirstElement = 0;
  desc.Buffer.NumElements = elementCount;
  desc.Buffer.StructureByteStride = elementStride;
  desc.Buffer.CounterOffsetInBytes = 0;
  desc.Buffer.Flags = 0;
  renderApp.device->CreateUnorderedAccessView(resource.resource, nullptr, &desc, slot);
}

void writeTextureUav(DescriptorTable& table, const TrackedResource& resource, uint32_t format) {
  gfx::CpuDescriptorHandle slot = takeSlot(table);
  gfx::UnorderedAccessViewDesc desc = {};
  desc.Format = gfx::Format(format);
  desc.ViewDimension = gfx::UAV_DIMENSION_TEXTURE2D;
  desc.Texture2D.MipSlice = 0;
  desc.Texture2D.PlaneSlice = 0;
  renderApp.device->CreateUnorderedAccessView(resource.resource, nullptr, &desc, slot);
}

void writeParticleSrv(DescriptorTable& table, const TrackedResource& resource) {
  writeStructuredSrv(table, resource, 128, 104);
}

void writeStructuredSrv(DescriptorTable& table, const TrackedResource& resource,
                        uint32_t elementCount, uint32_t elementStride) {
  gfx::CpuDescriptorHandle slot = takeSlot(table);
  gfx::ShaderResourceViewDesc desc = {};
  desc.Format = gfx::FORMAT_UNKNOWN;
  desc.ViewDimension = gfx::SRV_DIMENSION_BUFFER;
  desc.Shader4ComponentMapping = kDefaultComponentMapping;
  desc.Buffer.FirstElement = 0;
  desc.Buffer.NumElements = elementCount;
  desc.Buffer.StructureByteStride = elementStride;
  desc.Buffer.Flags = 0;
  renderApp.device->CreateShaderResourceView(resource.resource, &desc, slot);
}

void writeTextureSrv(DescriptorTable& table, const TrackedResource& resource, uint32_t format,
                     uint32_t mostDetailedMip, uint32_t mipLevels, uint32_t planeSlice,
                     float minLodClamp) {
  gfx::CpuDescriptorHandle slot = takeSlot(table);
  gfx::ShaderResourceViewDesc desc = {};
  desc.Format = gfx::Format(format);
  desc.ViewDimension = gfx::SRV_DIMENSION_TEXTURE2D;
  desc.Shader4ComponentMapping = kDefaultComponentMapping;
  desc.Texture2D.MostDetailedMip = mostDetailedMip;
  desc.Texture2D.MipLevels = mipLevels;
  desc.Texture2D.PlaneSlice = planeSlice;
  desc.Texture2D.ResourceMinLODClamp = minLodClamp;
  renderApp.device->CreateShaderResourceView(resource.resource, &desc, slot);
}

void writeCbv(DescriptorTable& table, const TrackedResource& resource, uint64_t sizeInBytes) {
  uint32_t size = checkedCbvSize(sizeInBytes);
  gfx::CpuDescriptorHandle slot = takeSlot(table);
  gfx::ConstantBufferViewDesc desc = {};
  desc.BufferLocation = resource.resource->GetGPUVirtualAddress();
  desc.SizeInBytes = size;
  renderApp.device->CreateConstantBufferView(&desc, slot);
}

void writeTextureRtv(DescriptorTable& table, const TrackedResource& resource, uint32_t format) {
  gfx::CpuDescriptorHandle slot = takeSlot(table);
  gfx::RenderTargetViewDesc desc = {};
  desc.Format = gfx::Format(format);
  desc.ViewDimension = gfx::RTV_DIMENSION_TEXTURE2D;
  desc.Texture2D.MipSlice = 0;
  desc.Texture2D.PlaneSlice = 0;
  renderApp.device->CreateRenderTargetView(resource.resource, &desc, slot);
}
