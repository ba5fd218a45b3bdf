#pragma once
// The description structs of the graphics subset (platform/gfx.h), with Direct3D 12's
// struct and field names.
#include <cstddef>
#include <cstdint>

#include "platform/gfx_values.h"

struct Window;  // platform/window.h

namespace gfx {

// ---- Descriptions (D3D12 structs, same field names) ----
struct HeapProperties {
  HeapType Type = HEAP_TYPE_DEFAULT;
  UINT CPUPageProperty = 0;
  UINT MemoryPoolPreference = 0;
  UINT CreationNodeMask = 0;
  UINT VisibleNodeMask = 0;
};

struct SampleDesc {
  UINT Count = 1;
  UINT Quality = 0;
};

struct ResourceDesc {
  ResourceDimension Dimension = RESOURCE_DIMENSION_UNKNOWN;
  UINT64 Alignment = 0;
  UINT64 Width = 0;
  UINT Height = 1;
  uint16_t DepthOrArraySize = 1;
  uint16_t MipLevels = 1;
  gfx::Format Format = FORMAT_UNKNOWN;
  gfx::SampleDesc SampleDesc;
  TextureLayout Layout = TEXTURE_LAYOUT_UNKNOWN;
  ResourceFlags Flags = RESOURCE_FLAG_NONE;
};

struct DepthStencilValue {
  float Depth = 1.0f;
  uint8_t Stencil = 0;
};
struct ClearValue {
  gfx::Format Format = FORMAT_UNKNOWN;
  union {
    float Color[4];
    DepthStencilValue DepthStencil;
  };
  ClearValue() : Color{0, 0, 0, 0} {}
};

struct Range {
  size_t Begin = 0;
  size_t End = 0;
};

struct Box {
  UINT left, top, front, right, bottom, back;
};

struct SubresourceFootprint {
  gfx::Format Format = FORMAT_UNKNOWN;
  UINT Width = 0;
  UINT Height = 0;
  UINT Depth = 0;
  UINT RowPitch = 0;
};
struct PlacedSubresourceFootprint {
  UINT64 Offset = 0;
  SubresourceFootprint Footprint;
};

class Resource;
struct TextureCopyLocation {
  Resource* pResource = nullptr;
  TextureCopyType Type = TEXTURE_COPY_TYPE_SUBRESOURCE_INDEX;
  union {
    PlacedSubresourceFootprint PlacedFootprint;
    UINT SubresourceIndex;
  };
  TextureCopyLocation() : PlacedFootprint() {}
};

struct ResourceTransitionBarrier {
  Resource* pResource = nullptr;
  UINT Subresource = 0;
  ResourceStates StateBefore = RESOURCE_STATE_COMMON;
  ResourceStates StateAfter = RESOURCE_STATE_COMMON;
};
struct ResourceAliasingBarrier {
  Resource* pResourceBefore = nullptr;
  Resource* pResourceAfter = nullptr;
};
struct ResourceUavBarrier {
  Resource* pResource = nullptr;
};
struct ResourceBarrier {
  ResourceBarrierType Type = RESOURCE_BARRIER_TYPE_TRANSITION;
  ResourceBarrierFlags Flags = RESOURCE_BARRIER_FLAG_NONE;
  union {
    ResourceTransitionBarrier Transition;
    ResourceAliasingBarrier Aliasing;
    ResourceUavBarrier UAV;
  };
  ResourceBarrier() : Transition() {}
};

struct CommandQueueDesc {
  CommandListType Type = COMMAND_LIST_TYPE_DIRECT;
  int32_t Priority = 0;
  CommandQueueFlags Flags = COMMAND_QUEUE_FLAG_NONE;
  UINT NodeMask = 0;
};

struct DescriptorHeapDesc {
  DescriptorHeapType Type = DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV;
  UINT NumDescriptors = 0;
  DescriptorHeapFlags Flags = DESCRIPTOR_HEAP_FLAG_NONE;
  UINT NodeMask = 0;
};

struct QueryHeapDesc {
  QueryHeapType Type = QUERY_HEAP_TYPE_TIMESTAMP;
  UINT Count = 0;
  UINT NodeMask = 0;
};

// Handles are heap-tagged slot offsets (start + slot * increment), never real pointers.
struct CpuDescriptorHandle {
  uint64_t ptr = 0;
};
struct GpuDescriptorHandle {
  uint64_t ptr = 0;
};

// ---- Views ----
struct BufferSrv {
  UINT64 FirstElement = 0;
  UINT NumElements = 0;
  UINT StructureByteStride = 0;
  BufferSrvFlags Flags = BUFFER_SRV_FLAG_NONE;
};
struct Tex2DSrv {
  UINT MostDetailedMip = 0;
  UINT MipLevels = 1;
  UINT PlaneSlice = 0;
  float ResourceMinLODClamp = 0.0f;
};
struct ShaderResourceViewDesc {
  gfx::Format Format = FORMAT_UNKNOWN;
  SrvDimension ViewDimension = SRV_DIMENSION_TEXTURE2D;
  UINT Shader4ComponentMapping = DEFAULT_SHADER_4_COMPONENT_MAPPING;
  union {
    BufferSrv Buffer;
    Tex2DSrv Texture2D;
  };
  ShaderResourceViewDesc() : Buffer() {}
};

struct BufferUav {
  UINT64 FirstElement = 0;
  UINT NumElements = 0;
  UINT StructureByteStride = 0;
  UINT64 CounterOffsetInBytes = 0;
  BufferUavFlags Flags = BUFFER_UAV_FLAG_NONE;
};
struct Tex2DUav {
  UINT MipSlice = 0;
  UINT PlaneSlice = 0;
};
struct UnorderedAccessViewDesc {
  gfx::Format Format = FORMAT_UNKNOWN;
  UavDimension ViewDimension = UAV_DIMENSION_TEXTURE2D;
  union {
    BufferUav Buffer;
    Tex2DUav Texture2D;
  };
  UnorderedAccessViewDesc() : Buffer() {}
};

struct ConstantBufferViewDesc {
  GPU_VIRTUAL_ADDRESS BufferLocation = 0;
  UINT SizeInBytes = 0;
};

struct Tex2DRtv {
  UINT MipSlice = 0;
  UINT PlaneSlice = 0;
};
struct RenderTargetViewDesc {
  gfx::Format Format = FORMAT_UNKNOWN;
  RtvDimension ViewDimension = RTV_DIMENSION_TEXTURE2D;
  Tex2DRtv Texture2D;
};

struct Tex2DDsv {
  UINT MipSlice = 0;
};
struct DepthStencilViewDesc {
  gfx::Format Format = FORMAT_UNKNOWN;
  DsvDimension ViewDimension = DSV_DIMENSION_TEXTURE2D;
  UINT Flags = 0;
  Tex2DDsv Texture2D;
};

struct SamplerDesc {
  gfx::Filter Filter = FILTER_MIN_MAG_MIP_POINT;
  TextureAddressMode AddressU = TEXTURE_ADDRESS_MODE_CLAMP;
  TextureAddressMode AddressV = TEXTURE_ADDRESS_MODE_CLAMP;
  TextureAddressMode AddressW = TEXTURE_ADDRESS_MODE_CLAMP;
  float MipLODBias = 0.0f;
  UINT MaxAnisotropy = 0;
  gfx::ComparisonFunc ComparisonFunc = COMPARISON_FUNC_NEVER;
  float BorderColor[4] = {0, 0, 0, 0};
  float MinLOD = 0.0f;
  float MaxLOD = 0.0f;
};

struct VertexBufferView {
  GPU_VIRTUAL_ADDRESS BufferLocation = 0;
  UINT SizeInBytes = 0;
  UINT StrideInBytes = 0;
};
struct IndexBufferView {
  GPU_VIRTUAL_ADDRESS BufferLocation = 0;
  UINT SizeInBytes = 0;
  gfx::Format Format = FORMAT_R16_UINT;
};

struct Viewport {
  float TopLeftX = 0, TopLeftY = 0, Width = 0, Height = 0, MinDepth = 0, MaxDepth = 1;
};
struct Rect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// ---- Root signatures ----
struct DescriptorRange {
  DescriptorRangeType RangeType = DESCRIPTOR_RANGE_TYPE_SRV;
  UINT NumDescriptors = 0;
  UINT BaseShaderRegister = 0;
  UINT RegisterSpace = 0;
  UINT OffsetInDescriptorsFromTableStart = DESCRIPTOR_RANGE_OFFSET_APPEND;
};
struct RootDescriptorTable {
  UINT NumDescriptorRanges = 0;
  const DescriptorRange* pDescriptorRanges = nullptr;
};
struct RootConstants {
  UINT ShaderRegister = 0;
  UINT RegisterSpace = 0;
  UINT Num32BitValues = 0;
};
struct RootDescriptor {
  UINT ShaderRegister = 0;
  UINT RegisterSpace = 0;
};
struct RootParameter {
  RootParameterType ParameterType = ROOT_PARAMETER_TYPE_DESCRIPTOR_TABLE;
  union {
    RootDescriptorTable DescriptorTable;
    RootConstants Constants;
    RootDescriptor Descriptor;
  };
  gfx::ShaderVisibility ShaderVisibility = SHADER_VISIBILITY_ALL;
  RootParameter() : DescriptorTable() {}
};
struct StaticSamplerDesc {
  gfx::Filter Filter = FILTER_MIN_MAG_MIP_POINT;
  TextureAddressMode AddressU = TEXTURE_ADDRESS_MODE_CLAMP;
  TextureAddressMode AddressV = TEXTURE_ADDRESS_MODE_CLAMP;
  TextureAddressMode AddressW = TEXTURE_ADDRESS_MODE_CLAMP;
  float MipLODBias = 0.0f;
  UINT MaxAnisotropy = 0;
  gfx::ComparisonFunc ComparisonFunc = COMPARISON_FUNC_ALWAYS;
  StaticBorderColor BorderColor = STATIC_BORDER_COLOR_OPAQUE_BLACK;
  float MinLOD = 0.0f;
  float MaxLOD = 0.0f;
  UINT ShaderRegister = 0;
  UINT RegisterSpace = 0;
  gfx::ShaderVisibility ShaderVisibility = SHADER_VISIBILITY_ALL;
};
// Taken directly by CreateRootSignature (no serialisation step).
struct RootSignatureDesc {
  UINT NumParameters = 0;
  const RootParameter* pParameters = nullptr;
  UINT NumStaticSamplers = 0;
  const StaticSamplerDesc* pStaticSamplers = nullptr;
  RootSignatureFlags Flags = ROOT_SIGNATURE_FLAG_NONE;
};

// ---- Pipeline states ----
struct ShaderBytecode {
  const void* pShaderBytecode = nullptr;  // SPIR-V words (Vulkan backend)
  size_t BytecodeLength = 0;
};
class RootSignature;
struct ComputePipelineStateDesc {
  RootSignature* pRootSignature = nullptr;
  ShaderBytecode CS;
  UINT NodeMask = 0;
  PipelineStateFlags Flags = PIPELINE_STATE_FLAG_NONE;
};

struct RenderTargetBlendDesc {
  BOOL BlendEnable = 0;
  BOOL LogicOpEnable = 0;
  Blend SrcBlend = BLEND_ONE;
  Blend DestBlend = BLEND_ZERO;
  gfx::BlendOp BlendOp = BLEND_OP_ADD;
  Blend SrcBlendAlpha = BLEND_ONE;
  Blend DestBlendAlpha = BLEND_ZERO;
  gfx::BlendOp BlendOpAlpha = BLEND_OP_ADD;
  gfx::LogicOp LogicOp = LOGIC_OP_NOOP;
  uint8_t RenderTargetWriteMask = COLOR_WRITE_ENABLE_ALL;
};
struct BlendDesc {
  BOOL AlphaToCoverageEnable = 0;
  BOOL IndependentBlendEnable = 0;
  RenderTargetBlendDesc RenderTarget[SIMULTANEOUS_RENDER_TARGET_COUNT];
};
struct RasterizerDesc {
  gfx::FillMode FillMode = FILL_MODE_SOLID;
  gfx::CullMode CullMode = CULL_MODE_BACK;
  BOOL FrontCounterClockwise = 0;
  int32_t DepthBias = 0;
  float DepthBiasClamp = 0.0f;
  float SlopeScaledDepthBias = 0.0f;
  BOOL DepthClipEnable = 1;
  BOOL MultisampleEnable = 0;
  BOOL AntialiasedLineEnable = 0;
  UINT ForcedSampleCount = 0;
  UINT ConservativeRaster = 0;
};
struct DepthStencilOpDesc {
  StencilOp StencilFailOp = STENCIL_OP_KEEP;
  StencilOp StencilDepthFailOp = STENCIL_OP_KEEP;
  StencilOp StencilPassOp = STENCIL_OP_KEEP;
  ComparisonFunc StencilFunc = COMPARISON_FUNC_ALWAYS;
};
struct DepthStencilDesc {
  BOOL DepthEnable = 0;
  gfx::DepthWriteMask DepthWriteMask = DEPTH_WRITE_MASK_ALL;
  ComparisonFunc DepthFunc = COMPARISON_FUNC_LESS;
  BOOL StencilEnable = 0;
  uint8_t StencilReadMask = 0xFF;
  uint8_t StencilWriteMask = 0xFF;
  DepthStencilOpDesc FrontFace;
  DepthStencilOpDesc BackFace;
};
struct InputElementDesc {
  const char* SemanticName = nullptr;
  UINT SemanticIndex = 0;
  gfx::Format Format = FORMAT_UNKNOWN;
  UINT InputSlot = 0;
  UINT AlignedByteOffset = 0;
  InputClassification InputSlotClass = INPUT_CLASSIFICATION_PER_VERTEX_DATA;
  UINT InstanceDataStepRate = 0;
};
struct InputLayoutDesc {
  const InputElementDesc* pInputElementDescs = nullptr;
  UINT NumElements = 0;
};
// Vertex inputs are matched to shader inputs by element order: element i feeds the vertex
// shader's input location i (glslang assigns locations in declaration order).
struct GraphicsPipelineStateDesc {
  RootSignature* pRootSignature = nullptr;
  ShaderBytecode VS;
  ShaderBytecode PS;
  ShaderBytecode DS;
  ShaderBytecode HS;
  ShaderBytecode GS;
  BlendDesc BlendState;
  UINT SampleMask = 0xFFFFFFFFu;
  RasterizerDesc RasterizerState;
  DepthStencilDesc DepthStencilState;
  InputLayoutDesc InputLayout;
  IndexBufferStripCutValue IBStripCutValue = INDEX_BUFFER_STRIP_CUT_VALUE_DISABLED;
  gfx::PrimitiveTopologyType PrimitiveTopologyType = PRIMITIVE_TOPOLOGY_TYPE_TRIANGLE;
  UINT NumRenderTargets = 0;
  Format RTVFormats[SIMULTANEOUS_RENDER_TARGET_COUNT] = {};
  Format DSVFormat = FORMAT_UNKNOWN;
  gfx::SampleDesc SampleDesc;
  UINT NodeMask = 0;
  PipelineStateFlags Flags = PIPELINE_STATE_FLAG_NONE;
};

// ---- Swap chain ----
struct Rational {
  UINT Numerator = 0;
  UINT Denominator = 0;
};
struct ModeDesc {
  UINT Width = 0;
  UINT Height = 0;
  Rational RefreshRate;
  gfx::Format Format = FORMAT_R8G8B8A8_UNORM;
  UINT ScanlineOrdering = 0;
  UINT Scaling = 0;
};
// OutputWindow null: an offscreen swap chain (back buffers in memory, Present only advances
// the buffer index; ReadBackBuffer reads a buffer's pixels).
struct SwapChainDesc {
  ModeDesc BufferDesc;
  gfx::SampleDesc SampleDesc;
  Usage BufferUsage = USAGE_RENDER_TARGET_OUTPUT;
  UINT BufferCount = 3;
  Window* OutputWindow = nullptr;
  BOOL Windowed = 1;
  gfx::SwapEffect SwapEffect = SWAP_EFFECT_FLIP_DISCARD;
  UINT Flags = 0;
};

}  // namespace gfx
