// Buffers, textures, their heaps' host copies, and descriptor heaps of view records.
#include <cstring>

#include "platform/webgpu/webgpu_glue.h"
#include "platform/webgpu/wg_internal.h"

namespace gfx::webgpu {

const char* formatName(Format format) {
  switch (format) {
    case FORMAT_R32G32B32A32_FLOAT: return "rgba32float";
    case FORMAT_R16G16B16A16_FLOAT: return "rgba16float";
    case FORMAT_R8G8B8A8_UNORM: return "rgba8unorm";
    case FORMAT_B8G8R8A8_UNORM: return "bgra8unorm";
    case FORMAT_R32_FLOAT: return "r32float";
    case FORMAT_R32_UINT: return "r32uint";
    case FORMAT_R32_SINT: return "r32sint";
    case FORMAT_R32G32_FLOAT: return "rg32float";
    default: return nullptr;
  }
}

namespace {

uint32_t bufferUsage(HeapType heap) {
  if (heap == HEAP_TYPE_UPLOAD) return wg::kBufferCopySource | wg::kBufferCopyDestination;
  if (heap == HEAP_TYPE_READBACK) return wg::kBufferMapRead | wg::kBufferCopyDestination;
  return wg::kBufferStorage | wg::kBufferUniform | wg::kBufferVertex | wg::kBufferIndex | wg::kBufferCopySource |
         wg::kBufferCopyDestination;
}

uint32_t textureUsage(ResourceFlags flags) {
  uint32_t usage = wg::kTextureBinding | wg::kTextureCopySource | wg::kTextureCopyDestination;
  if (flags & RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS) usage |= wg::kTextureStorage;
  if (flags & RESOURCE_FLAG_ALLOW_RENDER_TARGET) usage |= wg::kTextureRenderAttachment;
  return usage;
}

}  // namespace

// Buffers are rounded up to whole words, as WebGPU's copies and writes need.
WgResource::WgResource(const ResourceDesc& description, HeapType heapType) : desc(description), heap(heapType) {
  if (isBuffer()) {
    const uint64_t size = (desc.Width + 3) / 4 * 4;
    id = wgCreateBuffer(double(size), bufferUsage(heap));
    if (heap != HEAP_TYPE_DEFAULT) hostCopy.assign(size_t(size), 0);
  } else if (const char* format = formatName(desc.Format)) {
    id = wgCreateTexture(uint32_t(desc.Width), desc.Height, format, textureUsage(desc.Flags));
  }
}

WgResource::~WgResource() {
  if (id != 0) wgRelease(id);
}

HRESULT WgResource::Map(UINT subresource, const Range*, void** data) {
  if (data) *data = nullptr;
  if (subresource != 0 || !isBuffer() || hostCopy.empty()) return kInvalidArg;
  if (heap == HEAP_TYPE_READBACK) wgReadBuffer(id, 0, double(hostCopy.size()), hostCopy.data());
  if (data) *data = hostCopy.data();
  return kOk;
}

// An upload heap's bytes go to the GPU buffer now, ahead of any commands submitted later.
void WgResource::Unmap(UINT, const Range* writtenRange) {
  if (heap != HEAP_TYPE_UPLOAD || hostCopy.empty()) return;
  size_t begin = 0, end = hostCopy.size();
  if (writtenRange && writtenRange->End > writtenRange->Begin) {
    begin = writtenRange->Begin / 4 * 4;
    end = writtenRange->End < end ? (writtenRange->End + 3) / 4 * 4 : end;
  } else if (writtenRange) {
    return;  // nothing written
  }
  wgWriteBuffer(id, double(begin), hostCopy.data() + begin, double(end - begin));
}

// The resource in the high word, the offset in the low one.
GPU_VIRTUAL_ADDRESS WgResource::GetGPUVirtualAddress() {
  if (!isBuffer()) return 0;
  return GPU_VIRTUAL_ADDRESS(reinterpret_cast<uintptr_t>(this)) << 32;
}

WgResource* WgResource::fromAddress(GPU_VIRTUAL_ADDRESS address, uint64_t* offset) {
  *offset = address & 0xFFFFFFFFu;
  return reinterpret_cast<WgResource*>(uintptr_t(address >> 32));
}

// Handles are the addresses of the records themselves.
CpuDescriptorHandle WgDescriptorHeap::GetCPUDescriptorHandleForHeapStart() {
  return {uint64_t(reinterpret_cast<uintptr_t>(records.data()))};
}
GpuDescriptorHandle WgDescriptorHeap::GetGPUDescriptorHandleForHeapStart() {
  if (!(desc.Flags & DESCRIPTOR_HEAP_FLAG_SHADER_VISIBLE)) return {0};
  return {uint64_t(reinterpret_cast<uintptr_t>(records.data()))};
}
ViewRecord* recordAt(uint64_t handle) { return reinterpret_cast<ViewRecord*>(uintptr_t(handle)); }

}  // namespace gfx::webgpu
