// Descriptor heaps: arrays of view records addressed by heap-tagged handles. Views are
// turned into Vulkan descriptors only when a Dispatch or Draw is recorded.
#include <algorithm>

#include "platform/vulkan/vk_internal.h"

namespace gfx {
namespace vk {

HRESULT DeviceImpl::CreateDescriptorHeap(const DescriptorHeapDesc* desc, DescriptorHeap** heap) {
  if (!desc || !heap) return kInvalidArg;
  *heap = nullptr;
  if (desc->NumDescriptors == 0 || desc->Type > DESCRIPTOR_HEAP_TYPE_DSV) {
    reportError("CreateDescriptorHeap: type %u with %u descriptors", desc->Type, desc->NumDescriptors);
    return kInvalidArg;
  }
  if ((desc->Flags & DESCRIPTOR_HEAP_FLAG_SHADER_VISIBLE) &&
      (desc->Type == DESCRIPTOR_HEAP_TYPE_RTV || desc->Type == DESCRIPTOR_HEAP_TYPE_DSV)) {
    reportError("CreateDescriptorHeap: render-target and depth-stencil heaps cannot be shader-visible");
    return kInvalidArg;
  }
  auto* created = new DescriptorHeapImpl();
  created->device = this;
  AddRef();
  created->desc = *desc;
  created->records.resize(desc->NumDescriptors);
  created->id = registerHeap(created);
  *heap = created;
  return kOk;
}

DescriptorHeapImpl::~DescriptorHeapImpl() {
  for (auto& record : records)
    if (record.sampler) vkDestroySampler(device->device, record.sampler, nullptr);
  device->unregisterHeap(id);
  device->Release();
}

CpuDescriptorHandle DescriptorHeapImpl::GetCPUDescriptorHandleForHeapStart() {
  return {static_cast<uint64_t>(id) << 32};
}

GpuDescriptorHandle DescriptorHeapImpl::GetGPUDescriptorHandleForHeapStart() {
  if (!(desc.Flags & DESCRIPTOR_HEAP_FLAG_SHADER_VISIBLE)) return {0};
  return {static_cast<uint64_t>(id) << 32};
}

void DescriptorHeapImpl::store(uint32_t slot, const ViewRecord& record) {
  if (records[slot].sampler) vkDestroySampler(device->device, records[slot].sampler, nullptr);
  records[slot] = record;
}

namespace {

// The heap slot a view call writes, checking that the heap's type takes that view.
DescriptorHeapImpl* destination(DeviceImpl* device, CpuDescriptorHandle handle, DescriptorHeapType type,
                                const char* what, uint32_t* slot) {
  DescriptorHeapImpl* heap = device->heapByHandle(handle.ptr, slot, what);
  if (heap && heap->desc.Type != type) {
    reportError("%s: the destination heap has type %u, not %u", what, heap->desc.Type, type);
    return nullptr;
  }
  return heap;
}

// A buffer view's byte range from elements, or an error when it leaves the buffer.
bool bufferRange(ResourceImpl* resource, UINT64 firstElement, UINT numElements, UINT stride, bool raw,
                 const char* what, ViewRecord* record) {
  if (stride == 0 && raw) stride = 4;
  if (stride == 0) {
    reportError("%s: typed buffer views are not provided; give a structure stride or the raw flag", what);
    return false;
  }
  record->offset = firstElement * stride;
  record->range = static_cast<uint64_t>(numElements) * stride;
  uint64_t alignment = resource->device->limits.minStorageBufferOffsetAlignment;
  if (alignment > 1 && record->offset % alignment != 0) {
    reportError("%s: the view starts at byte %llu; this device needs multiples of %llu", what,
                static_cast<unsigned long long>(record->offset), static_cast<unsigned long long>(alignment));
    return false;
  }
  if (record->range == 0 || record->offset + record->range > resource->desc.Width) {
    reportError("%s: elements %llu..+%u of stride %u leave the %llu-byte buffer '%s'", what,
                static_cast<unsigned long long>(firstElement), numElements, stride,
                static_cast<unsigned long long>(resource->desc.Width), resource->label());
    return false;
  }
  return true;
}

}  // namespace

void DeviceImpl::CreateShaderResourceView(Resource* resourceInterface, const ShaderResourceViewDesc* desc,
                                          CpuDescriptorHandle destDescriptor) {
  const char* what = "CreateShaderResourceView";
  uint32_t slot = 0;
  DescriptorHeapImpl* heap = destination(this, destDescriptor, DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, what, &slot);
  if (!heap) return;
  auto* resource = static_cast<ResourceImpl*>(resourceInterface);
  ViewRecord record;
  if (!resource) {
    heap->store(slot, record);  // a null descriptor
    return;
  }
  record.resourceId = resource->id;
  if (resource->isBuffer()) {
    if (!desc || desc->ViewDimension != SRV_DIMENSION_BUFFER) {
      reportError("%s: a buffer needs a buffer view description", what);
      return;
    }
    if (!bufferRange(resource, desc->Buffer.FirstElement, desc->Buffer.NumElements, desc->Buffer.StructureByteStride,
                     desc->Buffer.Flags & BUFFER_SRV_FLAG_RAW, what, &record))
      return;
    record.kind = ViewKind::BufferSrv;
  } else {
    if (desc && desc->ViewDimension != SRV_DIMENSION_TEXTURE2D) {
      reportError("%s: only 2D texture views are provided", what);
      return;
    }
    record.kind = ViewKind::TextureSrv;
    record.format = desc && desc->Format != FORMAT_UNKNOWN ? desc->Format : resource->desc.Format;
  }
  heap->store(slot, record);
}

void DeviceImpl::CreateUnorderedAccessView(Resource* resourceInterface, Resource* counterResource,
                                           const UnorderedAccessViewDesc* desc, CpuDescriptorHandle destDescriptor) {
  const char* what = "CreateUnorderedAccessView";
  uint32_t slot = 0;
  DescriptorHeapImpl* heap = destination(this, destDescriptor, DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, what, &slot);
  if (!heap) return;
  if (counterResource) {
    reportError("%s: counter resources are not provided", what);
    return;
  }
  auto* resource = static_cast<ResourceImpl*>(resourceInterface);
  ViewRecord record;
  if (!resource) {
    heap->store(slot, record);
    return;
  }
  record.resourceId = resource->id;
  if (resource->isBuffer()) {
    if (!desc || desc->ViewDimension != UAV_DIMENSION_BUFFER) {
      reportError("%s: a buffer needs a buffer view description", what);
      return;
    }
    if (!bufferRange(resource, desc->Buffer.FirstElement, desc->Buffer.NumElements, desc->Buffer.StructureByteStride,
                     desc->Buffer.Flags & BUFFER_UAV_FLAG_RAW, what, &record))
      return;
    record.kind = ViewKind::BufferUav;
  } else {
    if (desc && desc->ViewDimension != UAV_DIMENSION_TEXTURE2D) {
      reportError("%s: only 2D texture views are provided", what);
      return;
    }
    if (!(resource->desc.Flags & RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS)) {
      reportError("%s: '%s' was created without RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS", what, resource->label());
      return;
    }
    record.kind = ViewKind::TextureUav;
    record.format = desc && desc->Format != FORMAT_UNKNOWN ? desc->Format : resource->desc.Format;
  }
  heap->store(slot, record);
}

void DeviceImpl::CreateConstantBufferView(const ConstantBufferViewDesc* desc, CpuDescriptorHandle destDescriptor) {
  const char* what = "CreateConstantBufferView";
  uint32_t slot = 0;
  DescriptorHeapImpl* heap = destination(this, destDescriptor, DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, what, &slot);
  if (!heap || !desc) return;
  uint64_t offset = 0;
  ResourceImpl* resource = resourceByAddress(desc->BufferLocation, &offset);
  if (!resource) return;
  if (desc->SizeInBytes == 0 || desc->SizeInBytes % 256 != 0 || desc->SizeInBytes > 65536) {
    reportError("%s: size %u is not a multiple of 256 up to 65536", what, desc->SizeInBytes);
    return;
  }
  uint64_t alignment = limits.minUniformBufferOffsetAlignment;
  if (alignment > 1 && offset % alignment != 0) {
    reportError("%s: the view starts at byte %llu; this device needs multiples of %llu", what,
                static_cast<unsigned long long>(offset), static_cast<unsigned long long>(alignment));
    return;
  }
  ViewRecord record;
  record.kind = ViewKind::Cbv;
  record.resourceId = resource->id;
  record.offset = offset;
  // The view may reach past the buffer's end as in D3D12; the shader sees only the buffer.
  record.range = std::min<uint64_t>(desc->SizeInBytes, resource->desc.Width - offset);
  heap->store(slot, record);
}

void DeviceImpl::CreateRenderTargetView(Resource* resourceInterface, const RenderTargetViewDesc* desc,
                                        CpuDescriptorHandle destDescriptor) {
  const char* what = "CreateRenderTargetView";
  uint32_t slot = 0;
  DescriptorHeapImpl* heap = destination(this, destDescriptor, DESCRIPTOR_HEAP_TYPE_RTV, what, &slot);
  auto* resource = static_cast<ResourceImpl*>(resourceInterface);
  if (!heap || !resource) return;
  if (resource->isBuffer() || !(resource->desc.Flags & RESOURCE_FLAG_ALLOW_RENDER_TARGET)) {
    reportError("%s: '%s' is not a texture created with RESOURCE_FLAG_ALLOW_RENDER_TARGET", what,
                resource->label());
    return;
  }
  ViewRecord record;
  record.kind = ViewKind::Rtv;
  record.resourceId = resource->id;
  record.format = desc && desc->Format != FORMAT_UNKNOWN ? desc->Format : resource->desc.Format;
  heap->store(slot, record);
}

void DeviceImpl::CreateDepthStencilView(Resource* resourceInterface, const DepthStencilViewDesc* desc,
                                        CpuDescriptorHandle destDescriptor) {
  const char* what = "CreateDepthStencilView";
  uint32_t slot = 0;
  DescriptorHeapImpl* heap = destination(this, destDescriptor, DESCRIPTOR_HEAP_TYPE_DSV, what, &slot);
  auto* resource = static_cast<ResourceImpl*>(resourceInterface);
  if (!heap || !resource) return;
  ViewRecord record;
  record.kind = ViewKind::Dsv;
  record.resourceId = resource->id;
  record.format = desc && desc->Format != FORMAT_UNKNOWN ? desc->Format : resource->desc.Format;
  heap->store(slot, record);
}

void DeviceImpl::CreateSampler(const SamplerDesc* desc, CpuDescriptorHandle destDescriptor) {
  uint32_t slot = 0;
  DescriptorHeapImpl* heap = destination(this, destDescriptor, DESCRIPTOR_HEAP_TYPE_SAMPLER, "CreateSampler", &slot);
  if (!heap || !desc) return;
  ViewRecord record;
  record.kind = ViewKind::Sampler;
  record.sampler = createSampler(this, *desc);
  heap->store(slot, record);
}

namespace {
VkSamplerAddressMode addressMode(TextureAddressMode mode) {
  switch (mode) {
    case TEXTURE_ADDRESS_MODE_WRAP: return VK_SAMPLER_ADDRESS_MODE_REPEAT;
    case TEXTURE_ADDRESS_MODE_MIRROR: return VK_SAMPLER_ADDRESS_MODE_MIRRORED_REPEAT;
    case TEXTURE_ADDRESS_MODE_BORDER: return VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_BORDER;
    default: return VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE;
  }
}
}  // namespace

// D3D12 filter bits: 0x1 mip linear, 0x4 magnification linear, 0x10 minification linear,
// 0x40 anisotropic, 0x80 comparison.
VkSampler createSampler(DeviceImpl* device, const SamplerDesc& desc) {
  VkSamplerCreateInfo info{VK_STRUCTURE_TYPE_SAMPLER_CREATE_INFO};
  bool anisotropic = desc.Filter & 0x40;
  info.magFilter = (desc.Filter & 0x4) || anisotropic ? VK_FILTER_LINEAR : VK_FILTER_NEAREST;
  info.minFilter = (desc.Filter & 0x10) || anisotropic ? VK_FILTER_LINEAR : VK_FILTER_NEAREST;
  info.mipmapMode = (desc.Filter & 0x1) || anisotropic ? VK_SAMPLER_MIPMAP_MODE_LINEAR : VK_SAMPLER_MIPMAP_MODE_NEAREST;
  info.addressModeU = addressMode(desc.AddressU);
  info.addressModeV = addressMode(desc.AddressV);
  info.addressModeW = addressMode(desc.AddressW);
  info.mipLodBias = desc.MipLODBias;
  info.anisotropyEnable = anisotropic && desc.MaxAnisotropy > 1 ? VK_TRUE : VK_FALSE;
  info.maxAnisotropy = static_cast<float>(desc.MaxAnisotropy);
  info.compareEnable = (desc.Filter & 0x80) ? VK_TRUE : VK_FALSE;
  info.compareOp = desc.ComparisonFunc >= 1 && desc.ComparisonFunc <= 8
                       ? static_cast<VkCompareOp>(desc.ComparisonFunc - 1)
                       : VK_COMPARE_OP_ALWAYS;
  info.minLod = desc.MinLOD;
  info.maxLod = desc.MaxLOD < desc.MinLOD ? desc.MinLOD : desc.MaxLOD;
  const float* c = desc.BorderColor;
  if (c[3] == 0.0f)
    info.borderColor = VK_BORDER_COLOR_FLOAT_TRANSPARENT_BLACK;
  else if (c[0] == 1.0f && c[1] == 1.0f && c[2] == 1.0f)
    info.borderColor = VK_BORDER_COLOR_FLOAT_OPAQUE_WHITE;
  else
    info.borderColor = VK_BORDER_COLOR_FLOAT_OPAQUE_BLACK;
  VkSampler sampler = VK_NULL_HANDLE;
  if (vkCreateSampler(device->device, &info, nullptr, &sampler) != VK_SUCCESS) {
    reportError("vkCreateSampler failed");
    return VK_NULL_HANDLE;
  }
  return sampler;
}

}  // namespace vk
}  // namespace gfx
