// Dispatch and Draw: descriptor tables materialised into descriptor sets, dynamic rendering
// begun lazily on the bound render targets.
#include <algorithm>

#include "platform/vulkan/vk_command_list.h"

namespace gfx {
namespace vk {
namespace {

const char* descriptorTypeName(VkDescriptorType type) {
  switch (type) {
    case VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER: return "a constant buffer";
    case VK_DESCRIPTOR_TYPE_STORAGE_BUFFER: return "a structured or raw buffer";
    case VK_DESCRIPTOR_TYPE_SAMPLED_IMAGE: return "a texture";
    case VK_DESCRIPTOR_TYPE_STORAGE_IMAGE: return "a read-write texture";
    case VK_DESCRIPTOR_TYPE_SAMPLER: return "a sampler";
    default: return "another kind of binding";
  }
}

bool viewFits(ViewKind kind, VkDescriptorType type) {
  switch (type) {
    case VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER: return kind == ViewKind::Cbv;
    case VK_DESCRIPTOR_TYPE_STORAGE_BUFFER: return kind == ViewKind::BufferSrv || kind == ViewKind::BufferUav;
    case VK_DESCRIPTOR_TYPE_SAMPLED_IMAGE: return kind == ViewKind::TextureSrv;
    case VK_DESCRIPTOR_TYPE_STORAGE_IMAGE: return kind == ViewKind::TextureUav;
    case VK_DESCRIPTOR_TYPE_SAMPLER: return kind == ViewKind::Sampler;
    default: return false;
  }
}

}  // namespace

void CommandListImpl::endRendering() {
  if (!rendering) return;
  vkCmdEndRendering(cmd);
  rendering = false;
}

ResourceImpl* CommandListImpl::renderTarget(uint64_t handle, Format* format, const char* what) {
  uint32_t slot = 0;
  DescriptorHeapImpl* heap = device->heapByHandle(handle, &slot, what);
  if (!heap) return nullptr;
  const ViewRecord& record = heap->records[slot];
  ResourceImpl* resource = record.kind == ViewKind::Rtv ? device->resourceById(record.resourceId) : nullptr;
  if (!resource) {
    reportError("%s: slot %u holds %s, not a render-target view of a live texture", what, slot,
                viewKindName(record.kind));
    return nullptr;
  }
  if (!resource->allows(RESOURCE_STATE_RENDER_TARGET)) {
    reportError("%s: '%s' is not in the RENDER_TARGET state", what, resource->label());
    return nullptr;
  }
  *format = record.format;
  return resource;
}

bool CommandListImpl::beginRendering(const char* what) {
  if (rendering) return true;
  if (renderTargets.empty()) {
    reportError("%s: no render target is set (OMSetRenderTargets)", what);
    return false;
  }
  VkRenderingAttachmentInfo attachments[SIMULTANEOUS_RENDER_TARGET_COUNT] = {};
  VkExtent2D area{UINT32_MAX, UINT32_MAX};
  for (size_t i = 0; i < renderTargets.size(); ++i) {
    Format format = FORMAT_UNKNOWN;
    ResourceImpl* target = renderTarget(renderTargets[i], &format, what);
    VkImageView view = target ? target->imageView(format) : VK_NULL_HANDLE;
    if (!view) return false;
    attachments[i] = {VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
    attachments[i].imageView = view;
    attachments[i].imageLayout = target->layout;
    attachments[i].loadOp = VK_ATTACHMENT_LOAD_OP_LOAD;
    attachments[i].storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    area.width = std::min(area.width, target->extent().width);
    area.height = std::min(area.height, target->extent().height);
  }
  VkRenderingInfo info{VK_STRUCTURE_TYPE_RENDERING_INFO};
  info.renderArea = {{0, 0}, area};
  info.layerCount = 1;
  info.colorAttachmentCount = static_cast<uint32_t>(renderTargets.size());
  info.pColorAttachments = attachments;
  vkCmdBeginRendering(cmd, &info);
  rendering = true;
  return true;
}

void CommandListImpl::OMSetRenderTargets(UINT numRenderTargets, const CpuDescriptorHandle* targets, BOOL singleRange,
                                         const CpuDescriptorHandle* depthStencil) {
  if (!recording("OMSetRenderTargets")) return;
  endRendering();
  renderTargets.clear();
  if (depthStencil) reportError("OMSetRenderTargets: depth-stencil targets are not provided");
  if (numRenderTargets > SIMULTANEOUS_RENDER_TARGET_COUNT || (numRenderTargets > 0 && !targets)) {
    reportError("OMSetRenderTargets: %u targets", numRenderTargets);
    return;
  }
  for (UINT i = 0; i < numRenderTargets; ++i)
    renderTargets.push_back(singleRange ? targets[0].ptr + uint64_t(i) * kDescriptorIncrement : targets[i].ptr);
}

void CommandListImpl::ClearRenderTargetView(CpuDescriptorHandle handle, const float color[4], UINT numRects,
                                            const Rect* rects) {
  const char* what = "ClearRenderTargetView";
  if (!recording(what)) return;
  endRendering();
  Format format = FORMAT_UNKNOWN;
  ResourceImpl* target = renderTarget(handle.ptr, &format, what);
  VkImageView view = target ? target->imageView(format) : VK_NULL_HANDLE;
  if (!view) return;
  VkRenderingAttachmentInfo attachment{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
  attachment.imageView = view;
  attachment.imageLayout = target->layout;
  attachment.loadOp = VK_ATTACHMENT_LOAD_OP_LOAD;
  attachment.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
  VkRenderingInfo info{VK_STRUCTURE_TYPE_RENDERING_INFO};
  info.renderArea = {{0, 0}, target->extent()};
  info.layerCount = 1;
  info.colorAttachmentCount = 1;
  info.pColorAttachments = &attachment;
  vkCmdBeginRendering(cmd, &info);
  VkClearAttachment clear{VK_IMAGE_ASPECT_COLOR_BIT, 0, {}};
  for (int c = 0; c < 4; ++c) clear.clearValue.color.float32[c] = color[c];
  std::vector<VkClearRect> areas;
  VkExtent2D extent = target->extent();
  for (UINT i = 0; i < numRects && rects; ++i) {
    int32_t left = std::clamp(rects[i].left, 0, int32_t(extent.width));
    int32_t top = std::clamp(rects[i].top, 0, int32_t(extent.height));
    int32_t right = std::clamp(rects[i].right, left, int32_t(extent.width));
    int32_t bottom = std::clamp(rects[i].bottom, top, int32_t(extent.height));
    if (right > left && bottom > top)
      areas.push_back({{{left, top}, {uint32_t(right - left), uint32_t(bottom - top)}}, 0, 1});
  }
  if (numRects == 0) areas.push_back({{{0, 0}, extent}, 0, 1});
  if (!areas.empty()) vkCmdClearAttachments(cmd, 1, &clear, static_cast<uint32_t>(areas.size()), areas.data());
  vkCmdEndRendering(cmd);
}

bool CommandListImpl::bindRootArguments(RootArguments& arguments, VkPipelineBindPoint bindPoint, const char* what) {
  if (!pipeline || pipeline->bindPoint != bindPoint) {
    reportError("%s: no %s pipeline state is set", what, bindPoint == VK_PIPELINE_BIND_POINT_COMPUTE ? "compute" : "graphics");
    return false;
  }
  if (arguments.signature != pipeline->rootSignature) {
    reportError("%s: the root signature set differs from the pipeline state's", what);
    return false;
  }
  const size_t count = pipeline->bindings.size();
  std::vector<VkWriteDescriptorSet> writes;
  std::vector<VkDescriptorBufferInfo> buffers(count);
  std::vector<VkDescriptorImageInfo> images(count);
  writes.reserve(count);
  bool ok = true;
  for (size_t i = 0; i < count && ok; ++i) {
    const BindingSource& source = pipeline->bindings[i];
    if (source.immutableSampler) continue;
    uint64_t table = arguments.tables[source.parameter];
    if (table == 0) {
      reportError("%s: root parameter %u (binding %u) has no descriptor table set", what, source.parameter,
                  source.binding);
      ok = false;
      break;
    }
    uint32_t slot = 0;
    DescriptorHeapImpl* heap = device->heapByHandle(table + uint64_t(source.offset) * kDescriptorIncrement, &slot, what);
    if (!heap) {
      ok = false;
      break;
    }
    if (heap->id != boundHeaps[0] && heap->id != boundHeaps[1])
      reportError("%s: the table of root parameter %u lies in a heap not set with SetDescriptorHeaps", what,
                  source.parameter);
    const ViewRecord& record = heap->records[slot];
    if (!viewFits(record.kind, source.type)) {
      reportError("%s: table slot %u (binding %u) holds %s where the shader reads %s", what, source.offset,
                  source.binding, viewKindName(record.kind), descriptorTypeName(source.type));
      ok = false;
      break;
    }
    VkWriteDescriptorSet write{VK_STRUCTURE_TYPE_WRITE_DESCRIPTOR_SET};
    write.dstBinding = source.binding;
    write.descriptorCount = 1;
    write.descriptorType = source.type;
    if (record.kind == ViewKind::Sampler) {
      images[i].sampler = record.sampler;
      write.pImageInfo = &images[i];
      writes.push_back(write);
      continue;
    }
    ResourceImpl* resource = device->resourceById(record.resourceId);
    if (!resource) {
      reportError("%s: table slot %u (binding %u) views a released resource", what, source.offset, source.binding);
      ok = false;
      break;
    }
    // The state the shader's use needs: D3D12 tells pixel-shader reads from the others.
    ResourceStates needed = RESOURCE_STATE_VERTEX_AND_CONSTANT_BUFFER;
    if (record.kind == ViewKind::BufferUav || record.kind == ViewKind::TextureUav)
      needed = RESOURCE_STATE_UNORDERED_ACCESS;
    else if (record.kind == ViewKind::BufferSrv || record.kind == ViewKind::TextureSrv)
      needed = bindPoint == VK_PIPELINE_BIND_POINT_COMPUTE ? RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE
                                                           : RESOURCE_STATE_ALL_SHADER_RESOURCE;
    if (!resource->allows(needed)) {
      reportError("%s: '%s' (binding %u) is in state 0x%x, which does not allow %s", what, resource->label(),
                  source.binding, resource->state, viewKindName(record.kind));
      ok = false;
      break;
    }
    if (resource->isBuffer()) {
      buffers[i] = {resource->buffer, record.offset, record.range};
      write.pBufferInfo = &buffers[i];
    } else {
      images[i].imageView = resource->imageView(record.format);
      images[i].imageLayout = resource->layout;
      if (!images[i].imageView) {
        ok = false;
        break;
      }
      write.pImageInfo = &images[i];
    }
    writes.push_back(write);
  }
  if (!ok) return false;
  if (!pipeline->bindings.empty()) {
    VkDescriptorSet set = allocator->allocateSet(pipeline->setLayout);
    if (!set) {
      reportError("%s: out of descriptor pool memory", what);
      return false;
    }
    for (auto& write : writes) write.dstSet = set;
    vkUpdateDescriptorSets(device->device, static_cast<uint32_t>(writes.size()), writes.data(), 0, nullptr);
    vkCmdBindDescriptorSets(cmd, bindPoint, pipeline->layout, 0, 1, &set, 0, nullptr);
  }
  if (pipeline->pushStages)
    vkCmdPushConstants(cmd, pipeline->layout, pipeline->pushStages, 0, arguments.signature->pushConstantBytes,
                       arguments.constants);
  return true;
}

void CommandListImpl::Dispatch(UINT groupsX, UINT groupsY, UINT groupsZ) {
  if (!recording("Dispatch")) return;
  endRendering();
  if (!bindRootArguments(compute, VK_PIPELINE_BIND_POINT_COMPUTE, "Dispatch")) return;
  const uint32_t* most = device->limits.maxComputeWorkGroupCount;
  if (groupsX > most[0] || groupsY > most[1] || groupsZ > most[2]) {
    reportError("Dispatch(%u, %u, %u) exceeds the device's group counts", groupsX, groupsY, groupsZ);
    return;
  }
  vkCmdDispatch(cmd, groupsX, groupsY, groupsZ);
}

bool CommandListImpl::prepareDraw(const char* what) {
  // Descriptor updates and binds may be recorded inside rendering; copies and barriers may not.
  if (!bindRootArguments(graphics, VK_PIPELINE_BIND_POINT_GRAPHICS, what)) return false;
  if (!beginRendering(what)) return false;
  VkPrimitiveTopology vkTopology;
  switch (topology) {
    case PRIMITIVE_TOPOLOGY_POINTLIST: vkTopology = VK_PRIMITIVE_TOPOLOGY_POINT_LIST; break;
    case PRIMITIVE_TOPOLOGY_LINELIST: vkTopology = VK_PRIMITIVE_TOPOLOGY_LINE_LIST; break;
    case PRIMITIVE_TOPOLOGY_LINESTRIP: vkTopology = VK_PRIMITIVE_TOPOLOGY_LINE_STRIP; break;
    case PRIMITIVE_TOPOLOGY_TRIANGLESTRIP: vkTopology = VK_PRIMITIVE_TOPOLOGY_TRIANGLE_STRIP; break;
    default: vkTopology = VK_PRIMITIVE_TOPOLOGY_TRIANGLE_LIST; break;
  }
  vkCmdSetPrimitiveTopology(cmd, vkTopology);
  if (!viewportSet || !scissorSet) {
    reportError("%s: RSSetViewports and RSSetScissorRects must come first", what);
    return false;
  }
  vkCmdSetViewport(cmd, 0, 1, &viewport);
  vkCmdSetScissor(cmd, 0, 1, &scissor);
  if (vertexBufferCount > 0) {
    VkBuffer buffers[kMaxVertexBuffers];
    VkDeviceSize offsets[kMaxVertexBuffers], sizes[kMaxVertexBuffers], strides[kMaxVertexBuffers];
    for (uint32_t i = 0; i < vertexBufferCount; ++i) {
      uint64_t offset = 0;
      ResourceImpl* buffer = vertexBuffers[i].BufferLocation
                                 ? device->resourceByAddress(vertexBuffers[i].BufferLocation, &offset)
                                 : nullptr;
      if (!buffer) {
        reportError("%s: vertex buffer slot %u names no buffer", what, i);
        return false;
      }
      buffers[i] = buffer->buffer;
      offsets[i] = offset;
      sizes[i] = std::min<uint64_t>(vertexBuffers[i].SizeInBytes, buffer->desc.Width - offset);
      strides[i] = vertexBuffers[i].StrideInBytes;
    }
    vkCmdBindVertexBuffers2(cmd, 0, vertexBufferCount, buffers, offsets, sizes, strides);
  }
  return true;
}

void CommandListImpl::DrawInstanced(UINT vertexCount, UINT instanceCount, UINT startVertex, UINT startInstance) {
  if (!recording("DrawInstanced") || !prepareDraw("DrawInstanced")) return;
  vkCmdDraw(cmd, vertexCount, instanceCount, startVertex, startInstance);
}

void CommandListImpl::DrawIndexedInstanced(UINT indexCount, UINT instanceCount, UINT startIndex, int32_t baseVertex,
                                           UINT startInstance) {
  const char* what = "DrawIndexedInstanced";
  if (!recording(what) || !prepareDraw(what)) return;
  uint64_t offset = 0;
  ResourceImpl* buffer = indexBuffer.BufferLocation ? device->resourceByAddress(indexBuffer.BufferLocation, &offset)
                                                    : nullptr;
  if (!buffer || (indexBuffer.Format != FORMAT_R16_UINT && indexBuffer.Format != FORMAT_R32_UINT)) {
    reportError("%s: no index buffer of R16_UINT or R32_UINT is set", what);
    return;
  }
  vkCmdBindIndexBuffer(cmd, buffer->buffer, offset,
                       indexBuffer.Format == FORMAT_R16_UINT ? VK_INDEX_TYPE_UINT16 : VK_INDEX_TYPE_UINT32);
  vkCmdDrawIndexed(cmd, indexCount, instanceCount, startIndex, baseVertex, startInstance);
}

}  // namespace vk
}  // namespace gfx
