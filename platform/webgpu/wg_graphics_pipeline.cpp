// Graphics pipelines: the Direct3D description as the JSON of a GPURenderPipelineDescriptor's
// vertex buffers, targets and primitive state (TarnixGpu.createRenderPipeline).
#include <string>

#include "platform/webgpu/webgpu_glue.h"
#include "platform/webgpu/wg_internal.h"

namespace gfx::webgpu {
namespace {

const char* blendFactor(Blend blend) {
  switch (blend) {
    case BLEND_ZERO: return "zero";
    case BLEND_SRC_COLOR: return "src";
    case BLEND_INV_SRC_COLOR: return "one-minus-src";
    case BLEND_SRC_ALPHA: return "src-alpha";
    case BLEND_INV_SRC_ALPHA: return "one-minus-src-alpha";
    case BLEND_DEST_ALPHA: return "dst-alpha";
    case BLEND_INV_DEST_ALPHA: return "one-minus-dst-alpha";
    default: return "one";
  }
}

const char* blendOperation(BlendOp op) {
  switch (op) {
    case BLEND_OP_SUBTRACT: return "subtract";
    case BLEND_OP_REV_SUBTRACT: return "reverse-subtract";
    case BLEND_OP_MIN: return "min";
    case BLEND_OP_MAX: return "max";
    default: return "add";
  }
}

const char* vertexFormat(Format format) {
  switch (format) {
    case FORMAT_R32G32B32A32_FLOAT: return "float32x4";
    case FORMAT_R32G32B32_FLOAT: return "float32x3";
    case FORMAT_R32G32_FLOAT: return "float32x2";
    default: return "float32";
  }
}

std::string targetJson(Format format, const RenderTargetBlendDesc& blend) {
  std::string json = std::string("{\"format\":\"") + formatName(format) + "\"";
  if (blend.BlendEnable) {
    json += std::string(",\"blend\":{\"color\":{\"srcFactor\":\"") + blendFactor(blend.SrcBlend) +
            "\",\"dstFactor\":\"" + blendFactor(blend.DestBlend) + "\",\"operation\":\"" +
            blendOperation(blend.BlendOp) + "\"},\"alpha\":{\"srcFactor\":\"" + blendFactor(blend.SrcBlendAlpha) +
            "\",\"dstFactor\":\"" + blendFactor(blend.DestBlendAlpha) + "\",\"operation\":\"" +
            blendOperation(blend.BlendOpAlpha) + "\"}}";
  }
  return json + ",\"writeMask\":" + std::to_string(blend.RenderTargetWriteMask & 0xF) + "}";
}

// One vertex buffer (slot 0) of one stride; element i at location i.
std::string vertexBufferJson(const InputLayoutDesc& layout) {
  std::string attributes;
  uint32_t stride = 0;
  for (UINT i = 0; i < layout.NumElements; ++i) {
    const InputElementDesc& e = layout.pInputElementDescs[i];
    if (!attributes.empty()) attributes += ",";
    attributes += std::string("{\"format\":\"") + vertexFormat(e.Format) + "\",\"offset\":" +
                  std::to_string(e.AlignedByteOffset) + ",\"shaderLocation\":" + std::to_string(i) + "}";
    uint32_t end = e.AlignedByteOffset + FormatBytesPerPixel(e.Format);
    stride = end > stride ? end : stride;
  }
  if (layout.NumElements == 0) return "[]";
  return "[{\"arrayStride\":" + std::to_string(stride) + ",\"attributes\":[" + attributes + "]}]";
}

// Direct3D's y points up in clip space as WebGPU's does, so its clockwise front faces stay so.
std::string primitiveJson(const RasterizerDesc& raster) {
  const char* cull = raster.CullMode == CULL_MODE_FRONT ? "front" : raster.CullMode == CULL_MODE_BACK ? "back" : "none";
  return std::string("{\"topology\":\"triangle-list\",\"cullMode\":\"") + cull + "\",\"frontFace\":\"" +
         (raster.FrontCounterClockwise ? "ccw" : "cw") + "\"}";
}

}  // namespace

HRESULT WgDevice::CreateGraphicsPipelineState(const GraphicsPipelineStateDesc* desc, PipelineState** state) {
  *state = nullptr;
  std::string targets;
  for (UINT i = 0; i < desc->NumRenderTargets; ++i) {
    if (formatName(desc->RTVFormats[i]) == nullptr) return kInvalidArg;
    if (!targets.empty()) targets += ",";
    targets += targetJson(desc->RTVFormats[i], desc->BlendState.RenderTarget[desc->BlendState.IndependentBlendEnable ? i : 0]);
  }
  const std::string json = "{\"vertexBuffers\":" + vertexBufferJson(desc->InputLayout) + ",\"targets\":[" + targets +
                           "],\"primitive\":" + primitiveJson(desc->RasterizerState) + "}";
  int id = wgCreateRenderPipeline(desc->VS.pShaderBytecode, uint32_t(desc->VS.BytecodeLength), desc->PS.pShaderBytecode,
                                  uint32_t(desc->PS.BytecodeLength), json.c_str(), "graphics");
  if (id == 0) return kFail;
  auto* pipeline = new WgPipelineState();
  pipeline->id = id;
  pipeline->compute = false;
  *state = pipeline;
  return kOk;
}

}  // namespace gfx::webgpu
