// Command lists: recording, barriers from (before, after) states, copies, root arguments.
#include "platform/vulkan/vk_command_list.h"

#include <algorithm>
#include <cstring>

namespace gfx {
namespace vk {

HRESULT DeviceImpl::CreateCommandList(UINT, CommandListType, CommandAllocator* allocator, PipelineState* initialState,
                                      GraphicsCommandList** list) {
  if (!allocator || !list) return kInvalidArg;
  *list = nullptr;
  auto* created = new CommandListImpl(this, static_cast<CommandAllocatorImpl*>(allocator));
  HRESULT hr = created->Reset(allocator, initialState);
  if (Failed(hr)) {
    created->Release();
    return hr;
  }
  *list = created;
  return kOk;
}

VkCommandBuffer commandBufferOf(GraphicsCommandList* list) { return static_cast<CommandListImpl*>(list)->cmd; }
bool commandListClosed(GraphicsCommandList* list) {
  auto* impl = static_cast<CommandListImpl*>(list);
  return impl->cmd != VK_NULL_HANDLE && !impl->open;
}

CommandListImpl::CommandListImpl(DeviceImpl* owner, CommandAllocatorImpl* from) : device(owner), allocator(from) {
  device->AddRef();
}

CommandListImpl::~CommandListImpl() { device->Release(); }

void CommandListImpl::applyName() {
  device->nameHandle(VK_OBJECT_TYPE_COMMAND_BUFFER, reinterpret_cast<uint64_t>(cmd), name_);
}

bool CommandListImpl::recording(const char* what) {
  if (!open) reportError("%s on a closed command list '%s'", what, label());
  return open;
}

HRESULT CommandListImpl::Reset(CommandAllocator* allocatorInterface, PipelineState* initialState) {
  if (open) {
    reportError("Reset: command list '%s' is still open", label());
    return kFail;
  }
  allocator = static_cast<CommandAllocatorImpl*>(allocatorInterface);
  if (!allocator) return kInvalidArg;
  cmd = allocator->takeCommandBuffer();
  if (!cmd) return kOutOfMemory;
  applyName();
  VkCommandBufferBeginInfo begin{VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
  begin.flags = VK_COMMAND_BUFFER_USAGE_ONE_TIME_SUBMIT_BIT;
  VkResult vr = vkBeginCommandBuffer(cmd, &begin);
  if (vr != VK_SUCCESS) return resultFromVk(vr);
  open = true;
  pipeline = nullptr;
  compute = {};
  graphics = {};
  boundHeaps[0] = boundHeaps[1] = 0;
  renderTargets.clear();
  rendering = false;
  viewportSet = scissorSet = false;
  topology = PRIMITIVE_TOPOLOGY_TRIANGLELIST;
  vertexBufferCount = 0;
  indexBuffer = {};
  if (initialState) SetPipelineState(initialState);
  return kOk;
}

HRESULT CommandListImpl::Close() {
  if (!open) {
    reportError("Close: command list '%s' is not open", label());
    return kFail;
  }
  endRendering();
  // Readback memory is read by the CPU once the list's fence has passed, as in D3D12.
  VkMemoryBarrier2 host{VK_STRUCTURE_TYPE_MEMORY_BARRIER_2};
  host.srcStageMask = VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT;
  host.srcAccessMask = VK_ACCESS_2_MEMORY_WRITE_BIT;
  host.dstStageMask = VK_PIPELINE_STAGE_2_HOST_BIT;
  host.dstAccessMask = VK_ACCESS_2_HOST_READ_BIT;
  VkDependencyInfo dependency{VK_STRUCTURE_TYPE_DEPENDENCY_INFO};
  dependency.memoryBarrierCount = 1;
  dependency.pMemoryBarriers = &host;
  vkCmdPipelineBarrier2(cmd, &dependency);
  open = false;
  return resultFromVk(vkEndCommandBuffer(cmd));
}

void CommandListImpl::ResourceBarrier(UINT numBarriers, const gfx::ResourceBarrier* barriers) {
  if (!recording("ResourceBarrier") || numBarriers == 0) return;
  endRendering();
  std::vector<VkImageMemoryBarrier2> images;
  std::vector<VkBufferMemoryBarrier2> buffers;
  std::vector<VkMemoryBarrier2> memories;
  for (UINT i = 0; i < numBarriers; ++i) {
    const gfx::ResourceBarrier& barrier = barriers[i];
    if (barrier.Type == RESOURCE_BARRIER_TYPE_TRANSITION) {
      const ResourceTransitionBarrier& t = barrier.Transition;
      auto* resource = static_cast<ResourceImpl*>(t.pResource);
      if (!resource || (t.Subresource != 0 && t.Subresource != RESOURCE_BARRIER_ALL_SUBRESOURCES)) {
        reportError("ResourceBarrier %u: no resource, or subresource %u (only 0 exists)", i, t.Subresource);
        continue;
      }
      StateMasks before = stateMasks(t.StateBefore), after = stateMasks(t.StateAfter);
      if (t.StateBefore != resource->state)
        reportError("ResourceBarrier: '%s' is in state 0x%x, not 0x%x (StateBefore), as recorded so far",
                    resource->label(), resource->state, t.StateBefore);
      resource->state = t.StateAfter;
      if (resource->isBuffer()) {
        VkBufferMemoryBarrier2 b{VK_STRUCTURE_TYPE_BUFFER_MEMORY_BARRIER_2};
        b.srcStageMask = before.stages;
        b.srcAccessMask = before.access;
        b.dstStageMask = after.stages;
        b.dstAccessMask = after.access;
        b.srcQueueFamilyIndex = b.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
        b.buffer = resource->buffer;
        b.size = VK_WHOLE_SIZE;
        buffers.push_back(b);
        continue;
      }
      VkImageMemoryBarrier2 b{VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER_2};
      b.srcStageMask = before.stages;
      b.srcAccessMask = before.access;
      b.dstStageMask = after.stages;
      b.dstAccessMask = after.access;
      b.oldLayout = resource->layout;  // the layout it really is in, so a wrong StateBefore stays harmless
      b.newLayout = stateLayout(t.StateAfter);
      b.srcQueueFamilyIndex = b.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
      b.image = resource->image;
      b.subresourceRange = {resource->aspect, 0, 1, 0, 1};
      images.push_back(b);
      resource->layout = b.newLayout;
    } else {
      // UAV and aliasing barriers: order all shader and copy work around them.
      VkMemoryBarrier2 m{VK_STRUCTURE_TYPE_MEMORY_BARRIER_2};
      m.srcStageMask = m.dstStageMask = VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT;
      m.srcAccessMask = VK_ACCESS_2_MEMORY_WRITE_BIT;
      m.dstAccessMask = VK_ACCESS_2_MEMORY_READ_BIT | VK_ACCESS_2_MEMORY_WRITE_BIT;
      memories.push_back(m);
    }
  }
  VkDependencyInfo dependency{VK_STRUCTURE_TYPE_DEPENDENCY_INFO};
  dependency.memoryBarrierCount = static_cast<uint32_t>(memories.size());
  dependency.pMemoryBarriers = memories.data();
  dependency.bufferMemoryBarrierCount = static_cast<uint32_t>(buffers.size());
  dependency.pBufferMemoryBarriers = buffers.data();
  dependency.imageMemoryBarrierCount = static_cast<uint32_t>(images.size());
  dependency.pImageMemoryBarriers = images.data();
  if (!memories.empty() || !buffers.empty() || !images.empty()) vkCmdPipelineBarrier2(cmd, &dependency);
}

namespace {

bool checkCopyStates(ResourceImpl* dst, ResourceImpl* src, const char* what) {
  if (!dst->allows(RESOURCE_STATE_COPY_DEST)) {
    reportError("%s: destination '%s' is not in the COPY_DEST state", what, dst->label());
    return false;
  }
  if (!src->allows(RESOURCE_STATE_COPY_SOURCE)) {
    reportError("%s: source '%s' is not in the COPY_SOURCE state", what, src->label());
    return false;
  }
  return true;
}

}  // namespace

void CommandListImpl::CopyResource(Resource* dstInterface, Resource* srcInterface) {
  if (!recording("CopyResource")) return;
  auto* dst = static_cast<ResourceImpl*>(dstInterface);
  auto* src = static_cast<ResourceImpl*>(srcInterface);
  if (!dst || !src || dst == src || dst->isBuffer() != src->isBuffer()) {
    reportError("CopyResource: needs two different resources of the same kind");
    return;
  }
  if (!checkCopyStates(dst, src, "CopyResource")) return;
  endRendering();
  if (dst->isBuffer()) {
    if (dst->desc.Width != src->desc.Width)
      reportError("CopyResource: buffers of %llu and %llu bytes differ in size",
                  static_cast<unsigned long long>(dst->desc.Width), static_cast<unsigned long long>(src->desc.Width));
    VkBufferCopy region{0, 0, std::min(dst->desc.Width, src->desc.Width)};
    vkCmdCopyBuffer(cmd, src->buffer, dst->buffer, 1, &region);
    return;
  }
  if (dst->desc.Width != src->desc.Width || dst->desc.Height != src->desc.Height ||
      FormatBytesPerPixel(dst->desc.Format) != FormatBytesPerPixel(src->desc.Format)) {
    reportError("CopyResource: '%s' and '%s' differ in size or texel size", dst->label(), src->label());
    return;
  }
  VkImageCopy region{};
  region.srcSubresource = {src->aspect, 0, 0, 1};
  region.dstSubresource = {dst->aspect, 0, 0, 1};
  region.extent = {static_cast<uint32_t>(src->desc.Width), src->desc.Height, 1};
  vkCmdCopyImage(cmd, src->image, src->layout, dst->image, dst->layout, 1, &region);
}

void CommandListImpl::CopyBufferRegion(Resource* dstInterface, UINT64 dstOffset, Resource* srcInterface,
                                       UINT64 srcOffset, UINT64 numBytes) {
  if (!recording("CopyBufferRegion")) return;
  auto* dst = static_cast<ResourceImpl*>(dstInterface);
  auto* src = static_cast<ResourceImpl*>(srcInterface);
  if (!dst || !src || !dst->isBuffer() || !src->isBuffer() || numBytes == 0 ||
      dstOffset + numBytes > dst->desc.Width || srcOffset + numBytes > src->desc.Width) {
    reportError("CopyBufferRegion: needs two buffers and a byte range inside both");
    return;
  }
  if (!checkCopyStates(dst, src, "CopyBufferRegion")) return;
  endRendering();
  VkBufferCopy region{srcOffset, dstOffset, numBytes};
  vkCmdCopyBuffer(cmd, src->buffer, dst->buffer, 1, &region);
}

void CommandListImpl::CopyTextureRegion(const TextureCopyLocation* dst, UINT dstX, UINT dstY, UINT dstZ,
                                        const TextureCopyLocation* src, const Box* srcBox) {
  const char* what = "CopyTextureRegion";
  if (!recording(what)) return;
  auto* dstResource = dst ? static_cast<ResourceImpl*>(dst->pResource) : nullptr;
  auto* srcResource = src ? static_cast<ResourceImpl*>(src->pResource) : nullptr;
  if (!dstResource || !srcResource) {
    reportError("%s: missing resource", what);
    return;
  }
  bool dstFootprint = dst->Type == TEXTURE_COPY_TYPE_PLACED_FOOTPRINT;
  bool srcFootprint = src->Type == TEXTURE_COPY_TYPE_PLACED_FOOTPRINT;
  if (dstFootprint != dstResource->isBuffer() || srcFootprint != srcResource->isBuffer() ||
      (!dstFootprint && dst->SubresourceIndex != 0) || (!srcFootprint && src->SubresourceIndex != 0)) {
    reportError("%s: buffers take placed footprints, textures subresource 0", what);
    return;
  }
  if (!checkCopyStates(dstResource, srcResource, what)) return;
  endRendering();
  if (dstFootprint && srcFootprint) {
    reportError("%s: buffer to buffer copies go through CopyBufferRegion", what);
    return;
  }
  ResourceImpl* image = dstFootprint ? srcResource : dstResource;
  uint32_t texel = FormatBytesPerPixel(image->desc.Format);
  VkOffset3D imageOffset = {static_cast<int32_t>(dstX), static_cast<int32_t>(dstY), static_cast<int32_t>(dstZ)};
  VkExtent3D extent = {static_cast<uint32_t>(srcResource->desc.Width), srcResource->desc.Height, 1};
  if (srcFootprint) extent = {src->PlacedFootprint.Footprint.Width, src->PlacedFootprint.Footprint.Height, 1};
  if (srcBox) {
    extent = {srcBox->right - srcBox->left, srcBox->bottom - srcBox->top, std::max(1u, srcBox->back - srcBox->front)};
  }
  if (!srcFootprint && !dstFootprint) {
    VkImageCopy region{};
    region.srcSubresource = {srcResource->aspect, 0, 0, 1};
    region.dstSubresource = {dstResource->aspect, 0, 0, 1};
    if (srcBox) region.srcOffset = {static_cast<int32_t>(srcBox->left), static_cast<int32_t>(srcBox->top), 0};
    region.dstOffset = imageOffset;
    region.extent = extent;
    vkCmdCopyImage(cmd, srcResource->image, srcResource->layout, dstResource->image, dstResource->layout, 1, &region);
    return;
  }
  const PlacedSubresourceFootprint& footprint = srcFootprint ? src->PlacedFootprint : dst->PlacedFootprint;
  if (texel == 0 || footprint.Footprint.RowPitch % texel != 0 || footprint.Offset % 4 != 0) {
    reportError("%s: row pitch %u is not a multiple of the %u-byte texel, or the offset is unaligned", what,
                footprint.Footprint.RowPitch, texel);
    return;
  }
  VkBufferImageCopy region{};
  region.bufferOffset = footprint.Offset;
  region.bufferRowLength = footprint.Footprint.RowPitch / texel;
  region.bufferImageHeight = footprint.Footprint.Height;
  region.imageSubresource = {image->aspect, 0, 0, 1};
  if (srcFootprint) {
    region.imageOffset = imageOffset;
    region.imageExtent = extent;
    vkCmdCopyBufferToImage(cmd, srcResource->buffer, dstResource->image, dstResource->layout, 1, &region);
  } else {
    region.bufferOffset += uint64_t(dstY) * footprint.Footprint.RowPitch + uint64_t(dstX) * texel;
    if (srcBox) region.imageOffset = {static_cast<int32_t>(srcBox->left), static_cast<int32_t>(srcBox->top), 0};
    region.imageExtent = extent;
    vkCmdCopyImageToBuffer(cmd, srcResource->image, srcResource->layout, dstResource->buffer, 1, &region);
  }
}

HRESULT CommandListImpl::ScaleTexture(Resource* dstInterface, const Rect& dstRect, Resource* srcInterface) {
  if (!recording("ScaleTexture")) return kFail;
  auto* dst = static_cast<ResourceImpl*>(dstInterface);
  auto* src = static_cast<ResourceImpl*>(srcInterface);
  if (!dst || !src || dst == src || dst->isBuffer() || src->isBuffer() || dstRect.left < 0 || dstRect.top < 0 ||
      dstRect.right <= dstRect.left || dstRect.bottom <= dstRect.top ||
      uint64_t(dstRect.right) > dst->desc.Width || uint32_t(dstRect.bottom) > dst->desc.Height) {
    reportError("ScaleTexture: needs two different textures and a rectangle inside the destination");
    return kInvalidArg;
  }
  if (!checkCopyStates(dst, src, "ScaleTexture")) return kInvalidArg;
  // Every device blits and filters the 8-bit formats; others it may not.
  auto featuresOf = [&](Format format) {
    VkFormatProperties2 properties{VK_STRUCTURE_TYPE_FORMAT_PROPERTIES_2};
    vkGetPhysicalDeviceFormatProperties2(device->physical, toVkFormat(format), &properties);
    return properties.formatProperties.optimalTilingFeatures;
  };
  const VkFormatFeatureFlags source =
      VK_FORMAT_FEATURE_BLIT_SRC_BIT | VK_FORMAT_FEATURE_SAMPLED_IMAGE_FILTER_LINEAR_BIT;
  if ((featuresOf(src->desc.Format) & source) != source ||
      !(featuresOf(dst->desc.Format) & VK_FORMAT_FEATURE_BLIT_DST_BIT))
    return kNotImplemented;
  endRendering();
  VkImageBlit blit{};
  blit.srcSubresource = {src->aspect, 0, 0, 1};
  blit.dstSubresource = {dst->aspect, 0, 0, 1};
  blit.srcOffsets[1] = {static_cast<int32_t>(src->desc.Width), static_cast<int32_t>(src->desc.Height), 1};
  blit.dstOffsets[0] = {dstRect.left, dstRect.top, 0};
  blit.dstOffsets[1] = {dstRect.right, dstRect.bottom, 1};
  vkCmdBlitImage(cmd, src->image, src->layout, dst->image, dst->layout, 1, &blit, VK_FILTER_LINEAR);
  return kOk;
}

void CommandListImpl::SetPipelineState(PipelineState* state) {
  if (!recording("SetPipelineState")) return;
  pipeline = static_cast<PipelineStateImpl*>(state);
  if (pipeline) vkCmdBindPipeline(cmd, pipeline->bindPoint, pipeline->pipeline);
}

void CommandListImpl::SetDescriptorHeaps(UINT numHeaps, DescriptorHeap* const* heaps) {
  if (!recording("SetDescriptorHeaps")) return;
  boundHeaps[0] = boundHeaps[1] = 0;
  for (UINT i = 0; i < numHeaps && i < 2; ++i) {
    auto* heap = static_cast<DescriptorHeapImpl*>(heaps[i]);
    if (heap && !(heap->desc.Flags & DESCRIPTOR_HEAP_FLAG_SHADER_VISIBLE))
      reportError("SetDescriptorHeaps: heap '%s' is not shader-visible", heap->label());
    boundHeaps[i] = heap ? heap->id : 0;
  }
}

void CommandListImpl::SetComputeRootSignature(RootSignature* signature) {
  if (!recording("SetComputeRootSignature")) return;
  if (compute.signature != signature) compute = {};
  compute.signature = static_cast<RootSignatureImpl*>(signature);
}

void CommandListImpl::SetGraphicsRootSignature(RootSignature* signature) {
  if (!recording("SetGraphicsRootSignature")) return;
  if (graphics.signature != signature) graphics = {};
  graphics.signature = static_cast<RootSignatureImpl*>(signature);
}

void CommandListImpl::setRootTable(RootArguments& arguments, UINT index, GpuDescriptorHandle base, const char* what) {
  if (!recording(what)) return;
  if (!arguments.signature || index >= arguments.signature->parameters.size() ||
      arguments.signature->parameters[index].ParameterType != ROOT_PARAMETER_TYPE_DESCRIPTOR_TABLE) {
    reportError("%s: root parameter %u is not a descriptor table of the bound root signature", what, index);
    return;
  }
  arguments.tables[index] = base.ptr;
}

void CommandListImpl::setRootConstants(RootArguments& arguments, UINT index, UINT count, const void* data,
                                       UINT destOffset, const char* what) {
  if (!recording(what)) return;
  const RootSignatureImpl* signature = arguments.signature;
  if (!signature || index >= signature->parameters.size() ||
      signature->parameters[index].ParameterType != ROOT_PARAMETER_TYPE_32BIT_CONSTANTS ||
      destOffset + count > signature->parameters[index].Constants.Num32BitValues || !data) {
    reportError("%s: root parameter %u does not hold 32-bit values %u..%u", what, index, destOffset,
                destOffset + count);
    return;
  }
  std::memcpy(arguments.constants + signature->constantOffsets[index] + destOffset * 4, data, count * 4);
}

void CommandListImpl::SetComputeRootDescriptorTable(UINT index, GpuDescriptorHandle base) {
  setRootTable(compute, index, base, "SetComputeRootDescriptorTable");
}
void CommandListImpl::SetGraphicsRootDescriptorTable(UINT index, GpuDescriptorHandle base) {
  setRootTable(graphics, index, base, "SetGraphicsRootDescriptorTable");
}
void CommandListImpl::SetComputeRoot32BitConstants(UINT index, UINT count, const void* data, UINT destOffset) {
  setRootConstants(compute, index, count, data, destOffset, "SetComputeRoot32BitConstants");
}
void CommandListImpl::SetGraphicsRoot32BitConstants(UINT index, UINT count, const void* data, UINT destOffset) {
  setRootConstants(graphics, index, count, data, destOffset, "SetGraphicsRoot32BitConstants");
}
void CommandListImpl::SetComputeRoot32BitConstant(UINT index, UINT value, UINT destOffset) {
  setRootConstants(compute, index, 1, &value, destOffset, "SetComputeRoot32BitConstant");
}

void CommandListImpl::IASetPrimitiveTopology(PrimitiveTopology value) {
  if (recording("IASetPrimitiveTopology")) topology = value;
}

void CommandListImpl::IASetVertexBuffers(UINT startSlot, UINT numViews, const VertexBufferView* views) {
  if (!recording("IASetVertexBuffers")) return;
  if (startSlot + numViews > kMaxVertexBuffers || (numViews > 0 && !views)) {
    reportError("IASetVertexBuffers: slots %u..%u are not provided", startSlot, startSlot + numViews);
    return;
  }
  for (UINT i = 0; i < numViews; ++i) vertexBuffers[startSlot + i] = views[i];
  vertexBufferCount = std::max(vertexBufferCount, startSlot + numViews);
}

void CommandListImpl::IASetIndexBuffer(const IndexBufferView* view) {
  if (recording("IASetIndexBuffer")) indexBuffer = view ? *view : IndexBufferView{};
}

void CommandListImpl::RSSetViewports(UINT numViewports, const Viewport* viewports) {
  if (!recording("RSSetViewports") || numViewports == 0 || !viewports) return;
  const Viewport& v = viewports[0];
  // Flipped (negative height) so that clip-space +y is the top, as in D3D12.
  viewport = {v.TopLeftX, v.TopLeftY + v.Height, v.Width, -v.Height, std::clamp(v.MinDepth, 0.0f, 1.0f),
              std::clamp(v.MaxDepth, 0.0f, 1.0f)};
  viewportSet = true;
}

void CommandListImpl::RSSetScissorRects(UINT numRects, const Rect* rects) {
  if (!recording("RSSetScissorRects") || numRects == 0 || !rects) return;
  const Rect& r = rects[0];
  int32_t left = std::max(r.left, 0), top = std::max(r.top, 0);
  scissor = {{left, top},
             {static_cast<uint32_t>(std::max(r.right - left, 0)), static_cast<uint32_t>(std::max(r.bottom - top, 0))}};
  scissorSet = true;
}

}  // namespace vk
}  // namespace gfx
