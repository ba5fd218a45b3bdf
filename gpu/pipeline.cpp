#include "gpu/pipeline.h"

#include <cstring>

#include "base/diagnostics.h"
#include "gpu/frame_contexts.h"

Pipeline* createComputePipeline(const ComputePipelineDesc& desc) {
  RootSignatureBuilder builder = copyRootSignatureBuilder(desc.builder);
  gfx::RootSignature* rootSignature = buildRootSignature(builder, true);

  gfx::ComputePipelineStateDesc state = {};
  state.pRootSignature = rootSignature;
  state.CS.pShaderBytecode = desc.computeShader.bytes;
  state.CS.BytecodeLength = desc.computeShader.size;
  state.NodeMask = 0;
  state.Flags = gfx::PipelineStateFlags(0);

  gfx::PipelineState* pipelineState = nullptr;
  if (gfx::Failed(renderApp.device->CreateComputePipelineState(&state, &pipelineState)))
    PANIC("Failed to create compute pipeline state\n");
  if (pipelineState == nullptr) {
    rootSignature->Release();
    return nullptr;
  }
  return new Pipeline{rootSignature, pipelineState};
}

namespace {

void describeInputLayout(const GraphicsPipelineDesc& desc, DynamicArray<gfx::InputElementDesc, uint32_t>& inputElements) {
  for (uint64_t slot = 0; slot < desc.vertexBuffers.count; ++slot) {
    const VertexBufferLayout& layout = desc.vertexBuffers[slot];
    for (uint64_t e = 0; e < layout.elements.count; ++e) {
      const VertexElement& element = layout.elements[e];
      gfx::InputElementDesc input = {};
      input.SemanticName = element.semanticName;
      input.SemanticIndex = element.semanticIndex;
      input.Format = gfx::Format(element.format);
      input.InputSlot = uint32_t(slot);
      input.AlignedByteOffset = element.alignedByteOffset;
      input.InputSlotClass = gfx::InputClassification(0);  // per vertex
      input.InstanceDataStepRate = 0;
      inputElements.push(input);
    }
  }
}

// Alpha blending on every target.
void describeBlending(gfx::GraphicsPipelineStateDesc& state, uint32_t renderTargets) {
  state.BlendState.AlphaToCoverageEnable = false;
  state.BlendState.IndependentBlendEnable = false;
  for (uint32_t i = 0; i < renderTargets; ++i) {
    gfx::RenderTargetBlendDesc& blend = state.BlendState.RenderTarget[i];
    blend.BlendEnable = true;
    blend.LogicOpEnable = false;
    blend.SrcBlend = gfx::Blend(5);        // source alpha
    blend.DestBlend = gfx::Blend(6);       // inverse source alpha
    blend.BlendOp = gfx::BlendOp(1);       // add
    blend.SrcBlendAlpha = gfx::Blend(2);   // one
    blend.DestBlendAlpha = gfx::Blend(6);  // inverse source alpha
    blend.BlendOpAlpha = gfx::BlendOp(1);
    blend.LogicOp = gfx::LogicOp(4);       // no-op
    blend.RenderTargetWriteMask = 0xF;
  }
  state.SampleMask = 0xFFFFFFFF;
}

// Solid fill with the description's culling; depth test less-or-equal only with a depth
// format, no stencil.
void describeRasterAndDepth(gfx::GraphicsPipelineStateDesc& state, const GraphicsPipelineDesc& desc) {
  state.RasterizerState.FillMode = gfx::FillMode(3);  // solid
  state.RasterizerState.CullMode = gfx::CullMode(desc.cullMode);
  state.RasterizerState.FrontCounterClockwise = false;
  state.RasterizerState.DepthBias = 0;
  state.RasterizerState.DepthBiasClamp = 0.0f;
  state.RasterizerState.SlopeScaledDepthBias = 0.0f;
  state.RasterizerState.DepthClipEnable = true;
  state.RasterizerState.MultisampleEnable = false;
  state.RasterizerState.AntialiasedLineEnable = false;
  state.RasterizerState.ForcedSampleCount = 0;
  state.RasterizerState.ConservativeRaster = 0;

  state.DepthStencilState.DepthEnable = desc.depthStencilFormat != 0;
  state.DepthStencilState.DepthWriteMask = gfx::DepthWriteMask(1);  // all
  state.DepthStencilState.DepthFunc = gfx::ComparisonFunc(4);       // less or equal
  state.DepthStencilState.StencilEnable = false;
  state.DepthStencilState.StencilReadMask = 0xFF;
  state.DepthStencilState.StencilWriteMask = 0xFF;
  gfx::DepthStencilOpDesc face = {};
  face.StencilFailOp = gfx::StencilOp(1);  // keep
  face.StencilDepthFailOp = gfx::StencilOp(1);
  face.StencilPassOp = gfx::StencilOp(1);
  face.StencilFunc = gfx::ComparisonFunc(8);  // always
  state.DepthStencilState.FrontFace = face;
  state.DepthStencilState.BackFace = face;
}

}  // namespace

gfx::GraphicsPipelineStateDesc describeGraphicsPipeline(
    const GraphicsPipelineDesc& desc, gfx::RootSignature* rootSignature,
    DynamicArray<gfx::InputElementDesc, uint32_t>& inputElements) {
  // More formats than the API's simultaneous targets would run past RTVFormats.
  ASSERT(desc.renderTargetFormats.count <= kMaxRenderTargets,
         "Exceeded the limit of render targets %u\n", kMaxRenderTargets);
  describeInputLayout(desc, inputElements);

  gfx::GraphicsPipelineStateDesc state = {};
  state.pRootSignature = rootSignature;
  state.VS.pShaderBytecode = desc.vertexShader.bytes;
  state.VS.BytecodeLength = desc.vertexShader.size;
  state.PS.pShaderBytecode = desc.pixelShader.bytes;
  state.PS.BytecodeLength = desc.pixelShader.size;
  describeBlending(state, desc.renderTargetFormats.count);
  describeRasterAndDepth(state, desc);

  state.InputLayout.pInputElementDescs = inputElements.items;
  state.InputLayout.NumElements = inputElements.count;
  state.IBStripCutValue = gfx::IndexBufferStripCutValue(0);
  state.PrimitiveTopologyType = gfx::PrimitiveTopologyType(3);  // triangle

  state.NumRenderTargets = desc.renderTargetFormats.count;
  for (uint32_t i = 0; i < desc.renderTargetFormats.count; ++i)
    state.RTVFormats[i] = gfx::Format(desc.renderTargetFormats[i]);
  state.DSVFormat = gfx::Format(desc.depthStencilFormat);
  state.SampleDesc.Count = 1;
  state.SampleDesc.Quality = 0;
  state.NodeMask = 0;
  state.Flags = gfx::PipelineStateFlags(0);
  return state;
}

Pipeline* createGraphicsPipeline(const GraphicsPipelineDesc& desc) {
  RootSignatureBuilder builder = copyRootSignatureBuilder(desc.builder);
  gfx::RootSignature* rootSignature = buildRootSignature(builder, false);

  DynamicArray<gfx::InputElementDesc, uint32_t> inputElements;
  gfx::GraphicsPipelineStateDesc state = describeGraphicsPipeline(desc, rootSignature, inputElements);
  gfx::PipelineState* pipelineState = nullptr;
  if (gfx::Failed(renderApp.device->CreateGraphicsPipelineState(&state, &pipelineState)))
    PANIC("Failed to create graphics pipeline state\n");
  inputElements.clear();
  if (pipelineState == nullptr) {
    rootSignature->Release();
    return nullptr;
  }
  return new Pipeline{rootSignature, pipelineState};
}
