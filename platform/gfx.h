#pragma once
// gfx: the Direct3D-12-shaped subset of a graphics API that the program draws with.
// Class, method, struct and field names follow Direct3D 12 and DXGI; states, formats, heap
// types and flags carry their Direct3D 12 / DXGI numbers, so code above this layer uses
// those numbers unchanged. Methods that can fail return an HRESULT (negative = failure).
// Objects are reference counted: Release() drops a reference (there are no interface IDs).
//
// The Vulkan backend (platform/vulkan/) cannot honour these Direct3D 12 rules:
// - Descriptors are read when a Dispatch/Draw is recorded, not when it executes: a view
//   written into a heap slot after the Dispatch that uses it is not seen by that Dispatch.
// - No implicit state promotion or decay: every resource is in exactly the state its last
//   recorded transition left it in (the initial state after creation); a resource used in a
//   state other than the one it was transitioned to is undefined behaviour, not promoted.
// - Resource states are tracked while recording; the backend assumes command lists execute
//   in the order they were recorded (the program records one list per frame).
// - A descriptor table's SRV/UAV slots must match the shader's binding kinds (a buffer view
//   where the shader declares a texture is an error reported at Dispatch/Draw), and register
//   classes map to fixed binding ranges (kBinding*Base below), as the shader build maps them.
// - Only register space 0 and one descriptor table per register class per signature layout
//   are meaningful; root descriptors (root CBV/SRV/UAV) are not provided.
// - Subresources other than 0 (mip levels, array slices) are not provided; textures are 2D
//   with one mip level.
// - The swap chain's back buffers are the backend's own images; Present copies the current
//   one to the window's surface (whose format may differ, e.g. B8G8R8A8). Back buffers are
//   used strictly round-robin, as with a flip-discard swap chain.
// - GetGPUVirtualAddress returns an encoded (buffer, offset) pair, not a real address: it is
//   only meaningful to this layer's views (CBV, vertex and index buffer views).
// - Viewport depth range outside [0, 1] is clamped.
#include <cstddef>
#include <cstdint>

struct Window;  // platform/window.h

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

// Register classes map to binding ranges of descriptor set 0 (the shader build shifts
// b/t/s/u registers by these amounts).
constexpr uint32_t kBindingCbvBase = 0;
constexpr uint32_t kBindingSrvBase = 10;
// Samplers start at 24, not 20: the temporal pass reads t0..t10, which take bindings 10..20.
constexpr uint32_t kBindingSamplerBase = 24;
constexpr uint32_t kBindingUavBase = 30;
constexpr uint32_t kRootConstantsMaxBytes = 16;

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
constexpr UINT TEXTURE_DATA_PITCH_ALIGNMENT = 256;
constexpr UINT TEXTURE_DATA_PLACEMENT_ALIGNMENT = 512;

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
  RenderTargetBlendDesc RenderTarget[8];
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
  Format RTVFormats[8] = {};
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

// ---- Objects ----
// Every object: reference counted, with a debug name (shown by graphics debuggers).
class Object {
 public:
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;  // destroys the object when the count reaches 0
  virtual HRESULT SetName(const wchar_t* name) = 0;
  virtual HRESULT SetName(const char* name) = 0;

 protected:
  virtual ~Object() = default;
};

class Resource : public Object {
 public:
  // subresource must be 0; readRange is ignored (memory is coherent). Only upload and readback
  // heap resources map; the pointer stays valid until the resource is destroyed.
  virtual HRESULT Map(UINT subresource, const Range* readRange, void** data) = 0;
  virtual void Unmap(UINT subresource, const Range* writtenRange) = 0;
  virtual GPU_VIRTUAL_ADDRESS GetGPUVirtualAddress() = 0;  // 0 for textures
  virtual ResourceDesc GetDesc() = 0;
};

class Fence : public Object {
 public:
  virtual UINT64 GetCompletedValue() = 0;
  // Signals value from the CPU side.
  virtual HRESULT Signal(UINT64 value) = 0;
  // D3D12 semantics with an Event (below): the event is set once the fence reaches value.
  // A null event blocks until then.
  virtual HRESULT SetEventOnCompletion(UINT64 value, class Event* event) = 0;
  // Blocks until the fence reaches value (or timeoutMs passes: kWaitTimeout).
  virtual HRESULT Wait(UINT64 value, uint32_t timeoutMs = 0xFFFFFFFFu) = 0;
};

// The auto-reset event of SetEventOnCompletion + WaitForSingleObject. Not reference counted.
class Event {
 public:
  virtual ~Event() = default;
  // Returns kOk once set (and resets it), kWaitTimeout after timeoutMs, or immediately with
  // kWaitTimeout when nothing can set it (no SetEventOnCompletion armed it).
  virtual HRESULT WaitForSingleObject(uint32_t timeoutMs = 0xFFFFFFFFu) = 0;
};
Event* CreateFenceEvent();  // CreateEventW analogue: auto-reset, not signalled
void CloseHandle(Event* event);
constexpr uint32_t kInfinite = 0xFFFFFFFFu;  // wait without a timeout

class DescriptorHeap : public Object {
 public:
  virtual DescriptorHeapDesc GetDesc() = 0;
  virtual CpuDescriptorHandle GetCPUDescriptorHandleForHeapStart() = 0;
  // ptr 0 for heaps that are not shader-visible.
  virtual GpuDescriptorHandle GetGPUDescriptorHandleForHeapStart() = 0;
};

class RootSignature : public Object {};
class PipelineState : public Object {};

class CommandAllocator : public Object {
 public:
  // The GPU must have finished every list recorded from this allocator.
  virtual HRESULT Reset() = 0;
};

class GraphicsCommandList : public Object {
 public:
  virtual HRESULT Close() = 0;
  virtual HRESULT Reset(CommandAllocator* allocator, PipelineState* initialState) = 0;

  virtual void ResourceBarrier(UINT numBarriers, const gfx::ResourceBarrier* barriers) = 0;
  virtual void CopyResource(Resource* dst, Resource* src) = 0;
  virtual void CopyBufferRegion(Resource* dst, UINT64 dstOffset, Resource* src, UINT64 srcOffset,
                                UINT64 numBytes) = 0;
  virtual void CopyTextureRegion(const TextureCopyLocation* dst, UINT dstX, UINT dstY, UINT dstZ,
                                 const TextureCopyLocation* src, const Box* srcBox) = 0;

  virtual void SetPipelineState(PipelineState* pipelineState) = 0;
  virtual void SetDescriptorHeaps(UINT numHeaps, DescriptorHeap* const* heaps) = 0;
  virtual void SetComputeRootSignature(RootSignature* rootSignature) = 0;
  virtual void SetGraphicsRootSignature(RootSignature* rootSignature) = 0;
  virtual void SetComputeRootDescriptorTable(UINT rootParameterIndex, GpuDescriptorHandle baseDescriptor) = 0;
  virtual void SetGraphicsRootDescriptorTable(UINT rootParameterIndex, GpuDescriptorHandle baseDescriptor) = 0;
  virtual void SetComputeRoot32BitConstants(UINT rootParameterIndex, UINT num32BitValues, const void* data,
                                            UINT destOffsetIn32BitValues) = 0;
  virtual void SetGraphicsRoot32BitConstants(UINT rootParameterIndex, UINT num32BitValues, const void* data,
                                             UINT destOffsetIn32BitValues) = 0;
  virtual void SetComputeRoot32BitConstant(UINT rootParameterIndex, UINT value, UINT destOffsetIn32BitValues) = 0;

  virtual void Dispatch(UINT groupsX, UINT groupsY, UINT groupsZ) = 0;

  virtual void IASetPrimitiveTopology(PrimitiveTopology topology) = 0;
  virtual void IASetVertexBuffers(UINT startSlot, UINT numViews, const VertexBufferView* views) = 0;
  virtual void IASetIndexBuffer(const IndexBufferView* view) = 0;
  virtual void OMSetRenderTargets(UINT numRenderTargets, const CpuDescriptorHandle* renderTargets,
                                  BOOL singleHandleToDescriptorRange, const CpuDescriptorHandle* depthStencil) = 0;
  virtual void ClearRenderTargetView(CpuDescriptorHandle renderTarget, const float color[4], UINT numRects,
                                     const Rect* rects) = 0;
  virtual void RSSetViewports(UINT numViewports, const Viewport* viewports) = 0;
  virtual void RSSetScissorRects(UINT numRects, const Rect* rects) = 0;
  virtual void DrawInstanced(UINT vertexCountPerInstance, UINT instanceCount, UINT startVertex,
                             UINT startInstance) = 0;
  virtual void DrawIndexedInstanced(UINT indexCountPerInstance, UINT instanceCount, UINT startIndex,
                                    int32_t baseVertex, UINT startInstance) = 0;
};

class CommandQueue : public Object {
 public:
  virtual void ExecuteCommandLists(UINT numLists, GraphicsCommandList* const* lists) = 0;
  virtual HRESULT Signal(Fence* fence, UINT64 value) = 0;
  virtual HRESULT Wait(Fence* fence, UINT64 value) = 0;  // GPU-side wait
};

class Device : public Object {
 public:
  virtual HRESULT CreateCommandQueue(const CommandQueueDesc* desc, CommandQueue** queue) = 0;
  virtual HRESULT CreateCommandAllocator(CommandListType type, CommandAllocator** allocator) = 0;
  // The list is created open for recording, like D3D12.
  virtual HRESULT CreateCommandList(UINT nodeMask, CommandListType type, CommandAllocator* allocator,
                                    PipelineState* initialState, GraphicsCommandList** list) = 0;
  virtual HRESULT CreateFence(UINT64 initialValue, FenceFlags flags, Fence** fence) = 0;
  virtual HRESULT CreateDescriptorHeap(const DescriptorHeapDesc* desc, DescriptorHeap** heap) = 0;
  virtual UINT GetDescriptorHandleIncrementSize(DescriptorHeapType type) = 0;
  // Committed resources are zero-filled unless heapFlags has HEAP_FLAG_CREATE_NOT_ZEROED.
  virtual HRESULT CreateCommittedResource(const HeapProperties* heapProperties, HeapFlags heapFlags,
                                          const ResourceDesc* desc, ResourceStates initialState,
                                          const ClearValue* optimizedClearValue, Resource** resource) = 0;
  virtual void CreateShaderResourceView(Resource* resource, const ShaderResourceViewDesc* desc,
                                        CpuDescriptorHandle destDescriptor) = 0;
  virtual void CreateUnorderedAccessView(Resource* resource, Resource* counterResource,
                                         const UnorderedAccessViewDesc* desc, CpuDescriptorHandle destDescriptor) = 0;
  virtual void CreateConstantBufferView(const ConstantBufferViewDesc* desc, CpuDescriptorHandle destDescriptor) = 0;
  virtual void CreateRenderTargetView(Resource* resource, const RenderTargetViewDesc* desc,
                                      CpuDescriptorHandle destDescriptor) = 0;
  virtual void CreateDepthStencilView(Resource* resource, const DepthStencilViewDesc* desc,
                                      CpuDescriptorHandle destDescriptor) = 0;
  virtual void CreateSampler(const SamplerDesc* desc, CpuDescriptorHandle destDescriptor) = 0;
  // From the description directly; errorText (optional) receives a message on failure
  // (valid until the next call), standing in for the serialiser's error blob.
  virtual HRESULT CreateRootSignature(UINT nodeMask, const RootSignatureDesc* desc, RootSignature** rootSignature,
                                      const char** errorText = nullptr) = 0;
  virtual HRESULT CreateComputePipelineState(const ComputePipelineStateDesc* desc, PipelineState** state) = 0;
  virtual HRESULT CreateGraphicsPipelineState(const GraphicsPipelineStateDesc* desc, PipelineState** state) = 0;
  virtual void GetCopyableFootprints(const ResourceDesc* desc, UINT firstSubresource, UINT numSubresources,
                                     UINT64 baseOffset, PlacedSubresourceFootprint* layouts, UINT* numRows,
                                     UINT64* rowSizeInBytes, UINT64* totalBytes) = 0;
  virtual HRESULT GetDeviceRemovedReason() = 0;
};

class SwapChain : public Object {
 public:
  virtual HRESULT GetBuffer(UINT buffer, Resource** surface) = 0;  // adds a reference
  // syncInterval 1: FIFO (waits for the display), 0: no wait where the surface allows it.
  virtual HRESULT Present(UINT syncInterval, UINT flags) = 0;
  virtual UINT GetCurrentBackBufferIndex() = 0;
  virtual HRESULT GetDesc(SwapChainDesc* desc) = 0;
  // Copies back buffer `buffer`'s pixels (tightly packed rows of width * 4 bytes, rowPitch
  // apart) into pixels, after waiting for all queued GPU work. The buffer must be in the
  // PRESENT (COMMON) state. Works on windowed and offscreen swap chains.
  virtual HRESULT ReadBackBuffer(UINT buffer, void* pixels, UINT64 rowPitch) = 0;
};

class Adapter : public Object {
 public:
  virtual HRESULT GetDescription(char* text, size_t capacity) = 0;
};

class Factory : public Object {
 public:
  // Adapter `index` (0 = the first GPU; lavapipe on CPU-only machines). kNotFound past the end.
  virtual HRESULT EnumAdapters(UINT index, Adapter** adapter) = 0;
  virtual HRESULT CreateSwapChain(CommandQueue* queue, const SwapChainDesc* desc, SwapChain** swapChain) = 0;
};

// CreateDXGIFactory2 analogue. flags may hold CREATE_FACTORY_DEBUG (validation on).
HRESULT CreateFactory(UINT flags, Factory** factory);
// D3D12CreateDevice analogue.
HRESULT CreateDevice(Adapter* adapter, FeatureLevel minimumFeatureLevel, Device** device);

// Debug layer (EnableDebugLayer analogue): every factory created afterwards turns validation
// on and passes each validation message to callback (severity: 0 verbose/info, 1 warning,
// 2 error). Null callback: messages are printed. Call before CreateFactory.
using DebugMessageCallback = void (*)(int severity, const char* message, void* user);
void EnableDebugLayer(DebugMessageCallback callback, void* user);
void DisableDebugLayer();

// Bytes per texel of a format (0 for unknown or block formats).
UINT FormatBytesPerPixel(Format format);

}  // namespace gfx
