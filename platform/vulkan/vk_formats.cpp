// DXGI formats and D3D12 resource states, translated to Vulkan.
#include "platform/vulkan/vk_internal.h"

namespace gfx {

namespace vk {

VkFormat toVkFormat(Format format) {
  switch (format) {
    case FORMAT_R32G32B32A32_TYPELESS:
    case FORMAT_R32G32B32A32_FLOAT: return VK_FORMAT_R32G32B32A32_SFLOAT;
    case FORMAT_R32G32B32A32_UINT: return VK_FORMAT_R32G32B32A32_UINT;
    case FORMAT_R32G32B32A32_SINT: return VK_FORMAT_R32G32B32A32_SINT;
    case FORMAT_R32G32B32_FLOAT: return VK_FORMAT_R32G32B32_SFLOAT;
    case FORMAT_R16G16B16A16_TYPELESS:
    case FORMAT_R16G16B16A16_FLOAT: return VK_FORMAT_R16G16B16A16_SFLOAT;
    case FORMAT_R16G16B16A16_UNORM: return VK_FORMAT_R16G16B16A16_UNORM;
    case FORMAT_R32G32_FLOAT: return VK_FORMAT_R32G32_SFLOAT;
    case FORMAT_R10G10B10A2_UNORM: return VK_FORMAT_A2B10G10R10_UNORM_PACK32;
    case FORMAT_R11G11B10_FLOAT: return VK_FORMAT_B10G11R11_UFLOAT_PACK32;
    case FORMAT_R8G8B8A8_TYPELESS:
    case FORMAT_R8G8B8A8_UNORM: return VK_FORMAT_R8G8B8A8_UNORM;
    case FORMAT_R8G8B8A8_UNORM_SRGB: return VK_FORMAT_R8G8B8A8_SRGB;
    case FORMAT_R8G8B8A8_UINT: return VK_FORMAT_R8G8B8A8_UINT;
    case FORMAT_R16G16_FLOAT: return VK_FORMAT_R16G16_SFLOAT;
    case FORMAT_R32_TYPELESS:
    case FORMAT_R32_FLOAT: return VK_FORMAT_R32_SFLOAT;
    case FORMAT_D32_FLOAT: return VK_FORMAT_D32_SFLOAT;
    case FORMAT_R32_UINT: return VK_FORMAT_R32_UINT;
    case FORMAT_R32_SINT: return VK_FORMAT_R32_SINT;
    case FORMAT_D24_UNORM_S8_UINT: return VK_FORMAT_D24_UNORM_S8_UINT;
    case FORMAT_R8G8_UNORM: return VK_FORMAT_R8G8_UNORM;
    case FORMAT_R16_FLOAT: return VK_FORMAT_R16_SFLOAT;
    case FORMAT_D16_UNORM: return VK_FORMAT_D16_UNORM;
    case FORMAT_R16_UNORM: return VK_FORMAT_R16_UNORM;
    case FORMAT_R16_UINT: return VK_FORMAT_R16_UINT;
    case FORMAT_R8_UNORM: return VK_FORMAT_R8_UNORM;
    case FORMAT_R8_UINT: return VK_FORMAT_R8_UINT;
    case FORMAT_B8G8R8A8_UNORM: return VK_FORMAT_B8G8R8A8_UNORM;
    case FORMAT_B8G8R8A8_UNORM_SRGB: return VK_FORMAT_B8G8R8A8_SRGB;
    default: return VK_FORMAT_UNDEFINED;
  }
}

bool isDepthFormat(Format format) {
  return format == FORMAT_D32_FLOAT || format == FORMAT_D24_UNORM_S8_UINT || format == FORMAT_D16_UNORM;
}

// Stages and accesses that the work on each side of a transition may perform in a state.
StateMasks stateMasks(ResourceStates state) {
  constexpr VkPipelineStageFlags2 kShaders = VK_PIPELINE_STAGE_2_VERTEX_SHADER_BIT |
                                             VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT |
                                             VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT;
  if (state == RESOURCE_STATE_COMMON)
    return {VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT, VK_ACCESS_2_MEMORY_READ_BIT | VK_ACCESS_2_MEMORY_WRITE_BIT};
  StateMasks masks{0, 0};
  if (state & RESOURCE_STATE_VERTEX_AND_CONSTANT_BUFFER) {
    masks.stages |= VK_PIPELINE_STAGE_2_VERTEX_ATTRIBUTE_INPUT_BIT | kShaders;
    masks.access |= VK_ACCESS_2_VERTEX_ATTRIBUTE_READ_BIT | VK_ACCESS_2_UNIFORM_READ_BIT;
  }
  if (state & RESOURCE_STATE_INDEX_BUFFER) {
    masks.stages |= VK_PIPELINE_STAGE_2_INDEX_INPUT_BIT;
    masks.access |= VK_ACCESS_2_INDEX_READ_BIT;
  }
  if (state & RESOURCE_STATE_RENDER_TARGET) {
    masks.stages |= VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT;
    masks.access |= VK_ACCESS_2_COLOR_ATTACHMENT_READ_BIT | VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT;
  }
  if (state & RESOURCE_STATE_UNORDERED_ACCESS) {
    masks.stages |= kShaders;
    masks.access |= VK_ACCESS_2_SHADER_STORAGE_READ_BIT | VK_ACCESS_2_SHADER_STORAGE_WRITE_BIT;
  }
  if (state & (RESOURCE_STATE_DEPTH_WRITE | RESOURCE_STATE_DEPTH_READ)) {
    masks.stages |= VK_PIPELINE_STAGE_2_EARLY_FRAGMENT_TESTS_BIT | VK_PIPELINE_STAGE_2_LATE_FRAGMENT_TESTS_BIT;
    masks.access |= VK_ACCESS_2_DEPTH_STENCIL_ATTACHMENT_READ_BIT;
    if (state & RESOURCE_STATE_DEPTH_WRITE) masks.access |= VK_ACCESS_2_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT;
  }
  if (state & RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE) {
    masks.stages |= VK_PIPELINE_STAGE_2_VERTEX_SHADER_BIT | VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT;
    masks.access |= VK_ACCESS_2_SHADER_SAMPLED_READ_BIT | VK_ACCESS_2_SHADER_STORAGE_READ_BIT;
  }
  if (state & RESOURCE_STATE_PIXEL_SHADER_RESOURCE) {
    masks.stages |= VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT;
    masks.access |= VK_ACCESS_2_SHADER_SAMPLED_READ_BIT | VK_ACCESS_2_SHADER_STORAGE_READ_BIT;
  }
  if (state & RESOURCE_STATE_INDIRECT_ARGUMENT) {
    masks.stages |= VK_PIPELINE_STAGE_2_DRAW_INDIRECT_BIT;
    masks.access |= VK_ACCESS_2_INDIRECT_COMMAND_READ_BIT;
  }
  if (state & RESOURCE_STATE_COPY_DEST) {
    masks.stages |= VK_PIPELINE_STAGE_2_COPY_BIT | VK_PIPELINE_STAGE_2_BLIT_BIT;
    masks.access |= VK_ACCESS_2_TRANSFER_WRITE_BIT;
  }
  if (state & RESOURCE_STATE_COPY_SOURCE) {
    masks.stages |= VK_PIPELINE_STAGE_2_COPY_BIT | VK_PIPELINE_STAGE_2_BLIT_BIT;
    masks.access |= VK_ACCESS_2_TRANSFER_READ_BIT;
  }
  if (masks.stages == 0) masks = {VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT, VK_ACCESS_2_MEMORY_READ_BIT};
  return masks;
}

// The image layout that serves every use a state allows; GENERAL where uses mix.
VkImageLayout stateLayout(ResourceStates state) {
  switch (state) {
    case RESOURCE_STATE_RENDER_TARGET: return VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
    case RESOURCE_STATE_DEPTH_WRITE: return VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL;
    case RESOURCE_STATE_DEPTH_READ: return VK_IMAGE_LAYOUT_DEPTH_STENCIL_READ_ONLY_OPTIMAL;
    case RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE:
    case RESOURCE_STATE_PIXEL_SHADER_RESOURCE:
    case RESOURCE_STATE_ALL_SHADER_RESOURCE: return VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL;
    case RESOURCE_STATE_COPY_DEST: return VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL;
    case RESOURCE_STATE_COPY_SOURCE: return VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL;
    default: return VK_IMAGE_LAYOUT_GENERAL;  // common/present, unordered access, mixed reads
  }
}

const char* viewKindName(ViewKind kind) {
  switch (kind) {
    case ViewKind::Empty: return "no view";
    case ViewKind::Cbv: return "a constant-buffer view";
    case ViewKind::BufferSrv: return "a buffer shader-resource view";
    case ViewKind::TextureSrv: return "a texture shader-resource view";
    case ViewKind::BufferUav: return "a buffer unordered-access view";
    case ViewKind::TextureUav: return "a texture unordered-access view";
    case ViewKind::Rtv: return "a render-target view";
    case ViewKind::Dsv: return "a depth-stencil view";
    case ViewKind::Sampler: return "a sampler";
  }
  return "?";
}

HRESULT resultFromVk(VkResult result) {
  switch (result) {
    case VK_SUCCESS: return kOk;
    case VK_TIMEOUT:
    case VK_NOT_READY: return kWaitTimeout;
    case VK_ERROR_OUT_OF_HOST_MEMORY:
    case VK_ERROR_OUT_OF_DEVICE_MEMORY: return kOutOfMemory;
    case VK_ERROR_DEVICE_LOST: return kDeviceRemoved;
    default: return result > 0 ? kFalse : kFail;
  }
}

}  // namespace vk
}  // namespace gfx
