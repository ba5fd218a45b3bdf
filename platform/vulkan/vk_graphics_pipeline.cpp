// Graphics pipeline states for dynamic rendering. Viewport, scissor, primitive topology and
// vertex strides are dynamic, since D3D12 sets them on the command list.
#include "platform/vulkan/vk_internal.h"

namespace gfx {
namespace vk {
namespace {

VkBlendFactor blendFactor(Blend blend) {
  switch (blend) {
    case BLEND_ZERO: return VK_BLEND_FACTOR_ZERO;
    case BLEND_ONE: return VK_BLEND_FACTOR_ONE;
    case BLEND_SRC_COLOR: return VK_BLEND_FACTOR_SRC_COLOR;
    case BLEND_INV_SRC_COLOR: return VK_BLEND_FACTOR_ONE_MINUS_SRC_COLOR;
    case BLEND_SRC_ALPHA: return VK_BLEND_FACTOR_SRC_ALPHA;
    case BLEND_INV_SRC_ALPHA: return VK_BLEND_FACTOR_ONE_MINUS_SRC_ALPHA;
    case BLEND_DEST_ALPHA: return VK_BLEND_FACTOR_DST_ALPHA;
    case BLEND_INV_DEST_ALPHA: return VK_BLEND_FACTOR_ONE_MINUS_DST_ALPHA;
    case BLEND_DEST_COLOR: return VK_BLEND_FACTOR_DST_COLOR;
    case BLEND_INV_DEST_COLOR: return VK_BLEND_FACTOR_ONE_MINUS_DST_COLOR;
    case 11: return VK_BLEND_FACTOR_SRC_ALPHA_SATURATE;
    case 14: return VK_BLEND_FACTOR_CONSTANT_COLOR;
    case 15: return VK_BLEND_FACTOR_ONE_MINUS_CONSTANT_COLOR;
    default: return VK_BLEND_FACTOR_ONE;
  }
}

VkBlendOp blendOp(BlendOp op) {
  return op >= BLEND_OP_ADD && op <= BLEND_OP_MAX ? static_cast<VkBlendOp>(op - 1) : VK_BLEND_OP_ADD;
}

VkCompareOp compareOp(ComparisonFunc func) {
  return func >= 1 && func <= 8 ? static_cast<VkCompareOp>(func - 1) : VK_COMPARE_OP_ALWAYS;
}

VkPrimitiveTopology topologyFor(PrimitiveTopologyType type) {
  switch (type) {
    case PRIMITIVE_TOPOLOGY_TYPE_POINT: return VK_PRIMITIVE_TOPOLOGY_POINT_LIST;
    case PRIMITIVE_TOPOLOGY_TYPE_LINE: return VK_PRIMITIVE_TOPOLOGY_LINE_LIST;
    default: return VK_PRIMITIVE_TOPOLOGY_TRIANGLE_LIST;
  }
}

}  // namespace

HRESULT DeviceImpl::CreateGraphicsPipelineState(const GraphicsPipelineStateDesc* desc, PipelineState** stateOut) {
  if (!desc || !stateOut || !desc->pRootSignature || !desc->VS.pShaderBytecode) return kInvalidArg;
  *stateOut = nullptr;
  if (desc->DS.pShaderBytecode || desc->HS.pShaderBytecode || desc->GS.pShaderBytecode ||
      desc->NumRenderTargets > SIMULTANEOUS_RENDER_TARGET_COUNT || desc->SampleDesc.Count > 1) {
    reportError("CreateGraphicsPipelineState: tessellation, geometry shaders, multisampling and more than 8 "
                "targets are not provided");
    return kInvalidArg;
  }
  PipelineStage stages[2] = {{&desc->VS, VK_SHADER_STAGE_VERTEX_BIT}, {&desc->PS, VK_SHADER_STAGE_FRAGMENT_BIT}};
  size_t stageCount = desc->PS.pShaderBytecode ? 2 : 1;
  PipelineStateImpl* state = newPipelineState(this, desc->pRootSignature, VK_PIPELINE_BIND_POINT_GRAPHICS);
  HRESULT hr = buildPipelineLayout(this, state, stages, stageCount);
  VkShaderModule modules[2] = {};
  VkPipelineShaderStageCreateInfo stageInfos[2] = {};
  for (size_t s = 0; s < stageCount && Succeeded(hr); ++s) {
    modules[s] = createShaderModule(this, *stages[s].code);
    if (!modules[s]) hr = kInvalidArg;
    stageInfos[s] = {VK_STRUCTURE_TYPE_PIPELINE_SHADER_STAGE_CREATE_INFO};
    stageInfos[s].stage = stages[s].stage;
    stageInfos[s].module = modules[s];
    stageInfos[s].pName = "main";
  }

  // Vertex input: element i feeds location i; each input slot is one binding.
  std::vector<VkVertexInputAttributeDescription> attributes;
  std::vector<VkVertexInputBindingDescription> vertexBindings;
  std::vector<UINT> nextOffset(32, 0);
  for (UINT i = 0; i < desc->InputLayout.NumElements && Succeeded(hr); ++i) {
    const InputElementDesc& element = desc->InputLayout.pInputElementDescs[i];
    VkFormat format = toVkFormat(element.Format);
    if (format == VK_FORMAT_UNDEFINED || element.InputSlot >= 32) {
      reportError("CreateGraphicsPipelineState: input element %u (%s) has format %u or slot %u not provided", i,
                  element.SemanticName ? element.SemanticName : "?", element.Format, element.InputSlot);
      hr = kInvalidArg;
      break;
    }
    UINT offset = element.AlignedByteOffset == 0xFFFFFFFFu ? nextOffset[element.InputSlot] : element.AlignedByteOffset;
    nextOffset[element.InputSlot] = offset + FormatBytesPerPixel(element.Format);
    attributes.push_back({i, element.InputSlot, format, offset});
    bool known = false;
    for (const auto& binding : vertexBindings) known = known || binding.binding == element.InputSlot;
    if (!known)
      vertexBindings.push_back({element.InputSlot, 0,
                                element.InputSlotClass == INPUT_CLASSIFICATION_PER_INSTANCE_DATA
                                    ? VK_VERTEX_INPUT_RATE_INSTANCE
                                    : VK_VERTEX_INPUT_RATE_VERTEX});
  }
  if (Failed(hr)) {
    for (VkShaderModule module : modules)
      if (module) vkDestroyShaderModule(device, module, nullptr);
    state->Release();
    return hr;
  }
  VkPipelineVertexInputStateCreateInfo vertexInput{VK_STRUCTURE_TYPE_PIPELINE_VERTEX_INPUT_STATE_CREATE_INFO};
  vertexInput.vertexBindingDescriptionCount = static_cast<uint32_t>(vertexBindings.size());
  vertexInput.pVertexBindingDescriptions = vertexBindings.data();
  vertexInput.vertexAttributeDescriptionCount = static_cast<uint32_t>(attributes.size());
  vertexInput.pVertexAttributeDescriptions = attributes.data();

  VkPipelineInputAssemblyStateCreateInfo assembly{VK_STRUCTURE_TYPE_PIPELINE_INPUT_ASSEMBLY_STATE_CREATE_INFO};
  assembly.topology = topologyFor(desc->PrimitiveTopologyType);
  VkPipelineViewportStateCreateInfo viewport{VK_STRUCTURE_TYPE_PIPELINE_VIEWPORT_STATE_CREATE_INFO};
  viewport.viewportCount = 1;
  viewport.scissorCount = 1;

  const RasterizerDesc& r = desc->RasterizerState;
  VkPipelineRasterizationStateCreateInfo raster{VK_STRUCTURE_TYPE_PIPELINE_RASTERIZATION_STATE_CREATE_INFO};
  raster.polygonMode = r.FillMode == FILL_MODE_WIREFRAME ? VK_POLYGON_MODE_LINE : VK_POLYGON_MODE_FILL;
  raster.cullMode = r.CullMode == CULL_MODE_FRONT  ? VK_CULL_MODE_FRONT_BIT
                    : r.CullMode == CULL_MODE_BACK ? VK_CULL_MODE_BACK_BIT
                                                   : VK_CULL_MODE_NONE;
  // The viewport is flipped (negative height), so screen-space winding matches D3D12's.
  raster.frontFace = r.FrontCounterClockwise ? VK_FRONT_FACE_COUNTER_CLOCKWISE : VK_FRONT_FACE_CLOCKWISE;
  raster.depthBiasEnable = r.DepthBias != 0 || r.SlopeScaledDepthBias != 0.0f;
  raster.depthBiasConstantFactor = static_cast<float>(r.DepthBias);
  raster.depthBiasClamp = r.DepthBiasClamp;
  raster.depthBiasSlopeFactor = r.SlopeScaledDepthBias;
  raster.lineWidth = 1.0f;

  VkPipelineMultisampleStateCreateInfo multisample{VK_STRUCTURE_TYPE_PIPELINE_MULTISAMPLE_STATE_CREATE_INFO};
  multisample.rasterizationSamples = VK_SAMPLE_COUNT_1_BIT;
  VkSampleMask sampleMask = desc->SampleMask;
  multisample.pSampleMask = &sampleMask;
  multisample.alphaToCoverageEnable = desc->BlendState.AlphaToCoverageEnable ? VK_TRUE : VK_FALSE;

  const DepthStencilDesc& d = desc->DepthStencilState;
  VkPipelineDepthStencilStateCreateInfo depth{VK_STRUCTURE_TYPE_PIPELINE_DEPTH_STENCIL_STATE_CREATE_INFO};
  bool hasDepth = desc->DSVFormat != FORMAT_UNKNOWN;
  depth.depthTestEnable = hasDepth && d.DepthEnable ? VK_TRUE : VK_FALSE;
  depth.depthWriteEnable = hasDepth && d.DepthEnable && d.DepthWriteMask == DEPTH_WRITE_MASK_ALL ? VK_TRUE : VK_FALSE;
  depth.depthCompareOp = compareOp(d.DepthFunc);
  depth.stencilTestEnable = VK_FALSE;

  VkPipelineColorBlendAttachmentState attachments[SIMULTANEOUS_RENDER_TARGET_COUNT] = {};
  for (UINT i = 0; i < desc->NumRenderTargets; ++i) {
    const RenderTargetBlendDesc& b = desc->BlendState.RenderTarget[desc->BlendState.IndependentBlendEnable ? i : 0];
    attachments[i].blendEnable = b.BlendEnable ? VK_TRUE : VK_FALSE;
    attachments[i].srcColorBlendFactor = blendFactor(b.SrcBlend);
    attachments[i].dstColorBlendFactor = blendFactor(b.DestBlend);
    attachments[i].colorBlendOp = blendOp(b.BlendOp);
    attachments[i].srcAlphaBlendFactor = blendFactor(b.SrcBlendAlpha);
    attachments[i].dstAlphaBlendFactor = blendFactor(b.DestBlendAlpha);
    attachments[i].alphaBlendOp = blendOp(b.BlendOpAlpha);
    attachments[i].colorWriteMask = b.RenderTargetWriteMask & 0xF;
  }
  VkPipelineColorBlendStateCreateInfo blend{VK_STRUCTURE_TYPE_PIPELINE_COLOR_BLEND_STATE_CREATE_INFO};
  blend.attachmentCount = desc->NumRenderTargets;
  blend.pAttachments = attachments;

  VkDynamicState dynamics[] = {VK_DYNAMIC_STATE_VIEWPORT, VK_DYNAMIC_STATE_SCISSOR, VK_DYNAMIC_STATE_PRIMITIVE_TOPOLOGY,
                               VK_DYNAMIC_STATE_VERTEX_INPUT_BINDING_STRIDE};
  VkPipelineDynamicStateCreateInfo dynamic{VK_STRUCTURE_TYPE_PIPELINE_DYNAMIC_STATE_CREATE_INFO};
  dynamic.dynamicStateCount = 4;
  dynamic.pDynamicStates = dynamics;

  VkFormat colorFormats[SIMULTANEOUS_RENDER_TARGET_COUNT] = {};
  for (UINT i = 0; i < desc->NumRenderTargets; ++i) colorFormats[i] = toVkFormat(desc->RTVFormats[i]);
  VkPipelineRenderingCreateInfo rendering{VK_STRUCTURE_TYPE_PIPELINE_RENDERING_CREATE_INFO};
  rendering.colorAttachmentCount = desc->NumRenderTargets;
  rendering.pColorAttachmentFormats = colorFormats;
  rendering.depthAttachmentFormat = hasDepth ? toVkFormat(desc->DSVFormat) : VK_FORMAT_UNDEFINED;

  VkGraphicsPipelineCreateInfo info{VK_STRUCTURE_TYPE_GRAPHICS_PIPELINE_CREATE_INFO, &rendering};
  info.stageCount = static_cast<uint32_t>(stageCount);
  info.pStages = stageInfos;
  info.pVertexInputState = &vertexInput;
  info.pInputAssemblyState = &assembly;
  info.pViewportState = &viewport;
  info.pRasterizationState = &raster;
  info.pMultisampleState = &multisample;
  info.pDepthStencilState = &depth;
  info.pColorBlendState = &blend;
  info.pDynamicState = &dynamic;
  info.layout = state->layout;
  hr = resultFromVk(vkCreateGraphicsPipelines(device, VK_NULL_HANDLE, 1, &info, nullptr, &state->pipeline));
  for (VkShaderModule module : modules)
    if (module) vkDestroyShaderModule(device, module, nullptr);
  if (Failed(hr)) {
    state->Release();
    return hr;
  }
  *stateOut = state;
  return kOk;
}

}  // namespace vk
}  // namespace gfx
