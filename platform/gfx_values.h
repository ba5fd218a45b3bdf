#pragma once
// The numbers of the graphics subset (platform/gfx.h): result codes, and the Direct3D 12 /
// DXGI values of formats, states, heap types, flags and enumerations.
#include <cstdint>

namespace gfx {

using HRESULT = int32_t;
using UINT = uint32_t;
using UINT64 = uint64_t;
using BOOL = int32_t;
using GPU_VIRTUAL_ADDRESS = uint64_t;

constexpr HRESULT kOk = 0;
constexpr HRESULT kFalse = 1;
constexpr HRESULT kFail = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT kInvalidArg = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT kOutOfMemory = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT kNotImplemented = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT kDeviceRemoved = static_cast<HRESULT>(0x887A0005u);
constexpr HRESULT kNotFound = static_cast<HRESULT>(0x887A0002u);  // DXGI_ERROR_NOT_FOUND
constexpr HRESULT kWaitTimeout = static_cast<HRESULT>(0x00000102u);
inline bool Failed(HRESULT hr) { return hr < 0; }
inline bool Succeeded(HRESULT hr) { return hr >= 0; }

// ---- DXGI formats (DXGI_FORMAT values) ----
using Format = uint32_t;
constexpr Format FORMAT_UNKNOWN = 0;
constexpr Format FORMAT_R32G32B32A32_TYPELESS = 1;
constexpr Format FORMAT_R32G32B32A32_FLOAT = 2;
constexpr Format FORMAT_R32G32B32A32_UINT = 3;
constexpr Format FORMAT_R32G32B32A32_SINT = 4;
constexpr Format FORMAT_R32G32B32_FLOAT = 6;
constexpr Format FORMAT_R16G16B16A16_TYPELESS = 9;
constexpr Format FORMAT_R16G16B16A16_FLOAT = 10;
constexpr Format FORMAT_R16G16B16A16_UNORM = 11;
constexpr Format FORMAT_R32G32_FLOAT = 16;
constexpr Format FORMAT_R10G10B10A2_UNORM = 24;
constexpr Format FORMAT_R11G11B10_FLOAT = 26;
constexpr Format FORMAT_R8G8B8A8_TYPELESS = 27;
constexpr Format FORMAT_R8G8B8A8_UNORM = 28;
constexpr Format FORMAT_R8G8B8A8_UNORM_SRGB = 29;
constexpr Format FORMAT_R8G8B8A8_UINT = 30;
constexpr Format FORMAT_R16G16_FLOAT = 34;
constexpr Format FORMAT_R32_TYPELESS = 39;
constexpr Format FORMAT_D32_FLOAT = 40;
constexpr Format FORMAT_R32_FLOAT = 41;
constexpr Format FORMAT_R32_UINT = 42;
constexpr Format FORMAT_R32_SINT = 43;
constexpr Format FORMAT_D24_UNORM_S8_UINT = 45;
constexpr Format FORMAT_R8G8_UNORM = 49;
constexpr Format FORMAT_R16_FLOAT = 54;
constexpr Format FORMAT_D16_UNORM = 55;
constexpr Format FORMAT_R16_UNORM = 56;
constexpr Format FORMAT_R16_UINT = 57;
constexpr Format FORMAT_R8_UNORM = 61;
constexpr Format FORMAT_R8_UINT = 62;
constexpr Format FORMAT_B8G8R8A8_UNORM = 87;
constexpr Format FORMAT_B8G8R8A8_UNORM_SRGB = 91;

// Bytes per texel of a format (0 for unknown or block formats), by ranges of DXGI values.
constexpr UINT FormatBytesPerPixel(Format format) {
  struct Span {
    uint16_t first, last;
    uint8_t bytes;
  };
  constexpr Span kSpans[] = {
      {1, 4, 16},    {5, 8, 12},    {9, 22, 8},    {102, 102, 8}, {108, 109, 8},
      {23, 47, 4},   {67, 69, 4},   {87, 93, 4},   {100, 101, 4}, {107, 107, 4},
      {104, 105, 3}, {48, 59, 2},   {85, 86, 2},   {114, 115, 2}, {60, 65, 1},
      {73, 78, 1},   {82, 84, 1},   {94, 99, 1},   {103, 103, 1}, {106, 106, 1},
      {110, 113, 1},
  };
  for (const Span& span : kSpans)
    if (format >= span.first && format <= span.last) return span.bytes;
  return 0;
}

// ---- Enumerations and flags (D3D12 values) ----
using ResourceStates = uint32_t;
constexpr ResourceStates RESOURCE_STATE_COMMON = 0;
constexpr ResourceStates RESOURCE_STATE_PRESENT = 0;
constexpr ResourceStates RESOURCE_STATE_VERTEX_AND_CONSTANT_BUFFER = 0x1;
constexpr ResourceStates RESOURCE_STATE_INDEX_BUFFER = 0x2;
constexpr ResourceStates RESOURCE_STATE_RENDER_TARGET = 0x4;
constexpr ResourceStates RESOURCE_STATE_UNORDERED_ACCESS = 0x8;
constexpr ResourceStates RESOURCE_STATE_DEPTH_WRITE = 0x10;
constexpr ResourceStates RESOURCE_STATE_DEPTH_READ = 0x20;
constexpr ResourceStates RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE = 0x40;
constexpr ResourceStates RESOURCE_STATE_PIXEL_SHADER_RESOURCE = 0x80;
constexpr ResourceStates RESOURCE_STATE_STREAM_OUT = 0x100;
constexpr ResourceStates RESOURCE_STATE_INDIRECT_ARGUMENT = 0x200;
constexpr ResourceStates RESOURCE_STATE_COPY_DEST = 0x400;
constexpr ResourceStates RESOURCE_STATE_COPY_SOURCE = 0x800;
constexpr ResourceStates RESOURCE_STATE_ALL_SHADER_RESOURCE = 0xC0;
constexpr ResourceStates RESOURCE_STATE_GENERIC_READ = 0xAC3;

using HeapType = uint32_t;
constexpr HeapType HEAP_TYPE_DEFAULT = 1;
constexpr HeapType HEAP_TYPE_UPLOAD = 2;
constexpr HeapType HEAP_TYPE_READBACK = 3;
constexpr HeapType HEAP_TYPE_CUSTOM = 4;

using HeapFlags = uint32_t;
constexpr HeapFlags HEAP_FLAG_NONE = 0;
constexpr HeapFlags HEAP_FLAG_CREATE_NOT_ZEROED = 0x1000;

using ResourceDimension = uint32_t;
constexpr ResourceDimension RESOURCE_DIMENSION_UNKNOWN = 0;
constexpr ResourceDimension RESOURCE_DIMENSION_BUFFER = 1;
constexpr ResourceDimension RESOURCE_DIMENSION_TEXTURE1D = 2;
constexpr ResourceDimension RESOURCE_DIMENSION_TEXTURE2D = 3;
constexpr ResourceDimension RESOURCE_DIMENSION_TEXTURE3D = 4;

using TextureLayout = uint32_t;
constexpr TextureLayout TEXTURE_LAYOUT_UNKNOWN = 0;
constexpr TextureLayout TEXTURE_LAYOUT_ROW_MAJOR = 1;

using ResourceFlags = uint32_t;
constexpr ResourceFlags RESOURCE_FLAG_NONE = 0;
constexpr ResourceFlags RESOURCE_FLAG_ALLOW_RENDER_TARGET = 0x1;
constexpr ResourceFlags RESOURCE_FLAG_ALLOW_DEPTH_STENCIL = 0x2;
constexpr ResourceFlags RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS = 0x4;
constexpr ResourceFlags RESOURCE_FLAG_DENY_SHADER_RESOURCE = 0x8;

using CommandListType = uint32_t;
constexpr CommandListType COMMAND_LIST_TYPE_DIRECT = 0;
constexpr CommandListType COMMAND_LIST_TYPE_COMPUTE = 2;
constexpr CommandListType COMMAND_LIST_TYPE_COPY = 3;

using CommandQueueFlags = uint32_t;
constexpr CommandQueueFlags COMMAND_QUEUE_FLAG_NONE = 0;

using FenceFlags = uint32_t;
constexpr FenceFlags FENCE_FLAG_NONE = 0;

using DescriptorHeapType = uint32_t;
constexpr DescriptorHeapType DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV = 0;
constexpr DescriptorHeapType DESCRIPTOR_HEAP_TYPE_SAMPLER = 1;
constexpr DescriptorHeapType DESCRIPTOR_HEAP_TYPE_RTV = 2;
constexpr DescriptorHeapType DESCRIPTOR_HEAP_TYPE_DSV = 3;

using DescriptorHeapFlags = uint32_t;
constexpr DescriptorHeapFlags DESCRIPTOR_HEAP_FLAG_NONE = 0;
constexpr DescriptorHeapFlags DESCRIPTOR_HEAP_FLAG_SHADER_VISIBLE = 1;

using ResourceBarrierType = uint32_t;
constexpr ResourceBarrierType RESOURCE_BARRIER_TYPE_TRANSITION = 0;
constexpr ResourceBarrierType RESOURCE_BARRIER_TYPE_ALIASING = 1;
constexpr ResourceBarrierType RESOURCE_BARRIER_TYPE_UAV = 2;
using ResourceBarrierFlags = uint32_t;
constexpr ResourceBarrierFlags RESOURCE_BARRIER_FLAG_NONE = 0;
constexpr UINT RESOURCE_BARRIER_ALL_SUBRESOURCES = 0xFFFFFFFFu;

using DescriptorRangeType = uint32_t;
constexpr DescriptorRangeType DESCRIPTOR_RANGE_TYPE_SRV = 0;
constexpr DescriptorRangeType DESCRIPTOR_RANGE_TYPE_UAV = 1;
constexpr DescriptorRangeType DESCRIPTOR_RANGE_TYPE_CBV = 2;
constexpr DescriptorRangeType DESCRIPTOR_RANGE_TYPE_SAMPLER = 3;
constexpr UINT DESCRIPTOR_RANGE_OFFSET_APPEND = 0xFFFFFFFFu;

using RootParameterType = uint32_t;
constexpr RootParameterType ROOT_PARAMETER_TYPE_DESCRIPTOR_TABLE = 0;
constexpr RootParameterType ROOT_PARAMETER_TYPE_32BIT_CONSTANTS = 1;
constexpr RootParameterType ROOT_PARAMETER_TYPE_CBV = 2;
constexpr RootParameterType ROOT_PARAMETER_TYPE_SRV = 3;
constexpr RootParameterType ROOT_PARAMETER_TYPE_UAV = 4;

using ShaderVisibility = uint32_t;
constexpr ShaderVisibility SHADER_VISIBILITY_ALL = 0;
constexpr ShaderVisibility SHADER_VISIBILITY_VERTEX = 1;
constexpr ShaderVisibility SHADER_VISIBILITY_PIXEL = 5;

using RootSignatureFlags = uint32_t;
constexpr RootSignatureFlags ROOT_SIGNATURE_FLAG_NONE = 0;
constexpr RootSignatureFlags ROOT_SIGNATURE_FLAG_ALLOW_INPUT_ASSEMBLER_INPUT_LAYOUT = 1;

using Filter = uint32_t;
constexpr Filter FILTER_MIN_MAG_MIP_POINT = 0;
constexpr Filter FILTER_MIN_MAG_LINEAR_MIP_POINT = 0x14;
constexpr Filter FILTER_MIN_MAG_MIP_LINEAR = 0x15;
using TextureAddressMode = uint32_t;
constexpr TextureAddressMode TEXTURE_ADDRESS_MODE_WRAP = 1;
constexpr TextureAddressMode TEXTURE_ADDRESS_MODE_MIRROR = 2;
constexpr TextureAddressMode TEXTURE_ADDRESS_MODE_CLAMP = 3;
constexpr TextureAddressMode TEXTURE_ADDRESS_MODE_BORDER = 4;
using ComparisonFunc = uint32_t;
constexpr ComparisonFunc COMPARISON_FUNC_NEVER = 1;
constexpr ComparisonFunc COMPARISON_FUNC_LESS = 2;
constexpr ComparisonFunc COMPARISON_FUNC_EQUAL = 3;
constexpr ComparisonFunc COMPARISON_FUNC_LESS_EQUAL = 4;
constexpr ComparisonFunc COMPARISON_FUNC_GREATER = 5;
constexpr ComparisonFunc COMPARISON_FUNC_NOT_EQUAL = 6;
constexpr ComparisonFunc COMPARISON_FUNC_GREATER_EQUAL = 7;
constexpr ComparisonFunc COMPARISON_FUNC_ALWAYS = 8;
using StaticBorderColor = uint32_t;
constexpr StaticBorderColor STATIC_BORDER_COLOR_TRANSPARENT_BLACK = 0;
constexpr StaticBorderColor STATIC_BORDER_COLOR_OPAQUE_BLACK = 1;
constexpr StaticBorderColor STATIC_BORDER_COLOR_OPAQUE_WHITE = 2;

using Blend = uint32_t;
constexpr Blend BLEND_ZERO = 1;
constexpr Blend BLEND_ONE = 2;
constexpr Blend BLEND_SRC_COLOR = 3;
constexpr Blend BLEND_INV_SRC_COLOR = 4;
constexpr Blend BLEND_SRC_ALPHA = 5;
constexpr Blend BLEND_INV_SRC_ALPHA = 6;
constexpr Blend BLEND_DEST_ALPHA = 7;
constexpr Blend BLEND_INV_DEST_ALPHA = 8;
constexpr Blend BLEND_DEST_COLOR = 9;
constexpr Blend BLEND_INV_DEST_COLOR = 10;
using BlendOp = uint32_t;
constexpr BlendOp BLEND_OP_ADD = 1;
constexpr BlendOp BLEND_OP_SUBTRACT = 2;
constexpr BlendOp BLEND_OP_REV_SUBTRACT = 3;
constexpr BlendOp BLEND_OP_MIN = 4;
constexpr BlendOp BLEND_OP_MAX = 5;
using LogicOp = uint32_t;
constexpr LogicOp LOGIC_OP_NOOP = 4;
constexpr uint8_t COLOR_WRITE_ENABLE_ALL = 0xF;

using FillMode = uint32_t;
constexpr FillMode FILL_MODE_WIREFRAME = 2;
constexpr FillMode FILL_MODE_SOLID = 3;
using CullMode = uint32_t;
constexpr CullMode CULL_MODE_NONE = 1;
constexpr CullMode CULL_MODE_FRONT = 2;
constexpr CullMode CULL_MODE_BACK = 3;
using DepthWriteMask = uint32_t;
constexpr DepthWriteMask DEPTH_WRITE_MASK_ZERO = 0;
constexpr DepthWriteMask DEPTH_WRITE_MASK_ALL = 1;
using StencilOp = uint32_t;
constexpr StencilOp STENCIL_OP_KEEP = 1;
using InputClassification = uint32_t;
constexpr InputClassification INPUT_CLASSIFICATION_PER_VERTEX_DATA = 0;
constexpr InputClassification INPUT_CLASSIFICATION_PER_INSTANCE_DATA = 1;
using PrimitiveTopologyType = uint32_t;
constexpr PrimitiveTopologyType PRIMITIVE_TOPOLOGY_TYPE_POINT = 1;
constexpr PrimitiveTopologyType PRIMITIVE_TOPOLOGY_TYPE_LINE = 2;
constexpr PrimitiveTopologyType PRIMITIVE_TOPOLOGY_TYPE_TRIANGLE = 3;
using PrimitiveTopology = uint32_t;  // D3D_PRIMITIVE_TOPOLOGY
constexpr PrimitiveTopology PRIMITIVE_TOPOLOGY_POINTLIST = 1;
constexpr PrimitiveTopology PRIMITIVE_TOPOLOGY_LINELIST = 2;
constexpr PrimitiveTopology PRIMITIVE_TOPOLOGY_LINESTRIP = 3;
constexpr PrimitiveTopology PRIMITIVE_TOPOLOGY_TRIANGLELIST = 4;
constexpr PrimitiveTopology PRIMITIVE_TOPOLOGY_TRIANGLESTRIP = 5;
using IndexBufferStripCutValue = uint32_t;
constexpr IndexBufferStripCutValue INDEX_BUFFER_STRIP_CUT_VALUE_DISABLED = 0;
using PipelineStateFlags = uint32_t;
constexpr PipelineStateFlags PIPELINE_STATE_FLAG_NONE = 0;

using SrvDimension = uint32_t;
constexpr SrvDimension SRV_DIMENSION_BUFFER = 1;
constexpr SrvDimension SRV_DIMENSION_TEXTURE2D = 4;
using UavDimension = uint32_t;
constexpr UavDimension UAV_DIMENSION_BUFFER = 1;
constexpr UavDimension UAV_DIMENSION_TEXTURE2D = 4;
using RtvDimension = uint32_t;
constexpr RtvDimension RTV_DIMENSION_TEXTURE2D = 4;
using DsvDimension = uint32_t;
constexpr DsvDimension DSV_DIMENSION_TEXTURE2D = 3;
using BufferSrvFlags = uint32_t;
constexpr BufferSrvFlags BUFFER_SRV_FLAG_NONE = 0;
constexpr BufferSrvFlags BUFFER_SRV_FLAG_RAW = 1;
using BufferUavFlags = uint32_t;
constexpr BufferUavFlags BUFFER_UAV_FLAG_NONE = 0;
constexpr BufferUavFlags BUFFER_UAV_FLAG_RAW = 1;
constexpr UINT DEFAULT_SHADER_4_COMPONENT_MAPPING = 0x1688;

using TextureCopyType = uint32_t;
constexpr TextureCopyType TEXTURE_COPY_TYPE_SUBRESOURCE_INDEX = 0;
constexpr TextureCopyType TEXTURE_COPY_TYPE_PLACED_FOOTPRINT = 1;
constexpr UINT SIMULTANEOUS_RENDER_TARGET_COUNT = 8;
constexpr UINT TEXTURE_DATA_PITCH_ALIGNMENT = 256;
constexpr UINT TEXTURE_DATA_PLACEMENT_ALIGNMENT = 512;

// Queries: only GPU timestamps are provided.
using QueryHeapType = uint32_t;
constexpr QueryHeapType QUERY_HEAP_TYPE_TIMESTAMP = 1;
using QueryType = uint32_t;
constexpr QueryType QUERY_TYPE_TIMESTAMP = 2;

using FeatureLevel = uint32_t;
constexpr FeatureLevel FEATURE_LEVEL_12_0 = 0xC000;

// DXGI swap chain values.
using Usage = uint32_t;
constexpr Usage USAGE_SHADER_INPUT = 0x10;
constexpr Usage USAGE_RENDER_TARGET_OUTPUT = 0x20;
using SwapEffect = uint32_t;
constexpr SwapEffect SWAP_EFFECT_FLIP_SEQUENTIAL = 3;
constexpr SwapEffect SWAP_EFFECT_FLIP_DISCARD = 4;
constexpr UINT SWAP_CHAIN_FLAG_ALLOW_MODE_SWITCH = 2;
constexpr UINT CREATE_FACTORY_DEBUG = 1;

}  // namespace gfx
