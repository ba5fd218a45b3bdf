#pragma once
// What a device is and what a program needs of it, for choosing among several devices:
// an adapter's description, what one shader relies on (read from its bytecode), and the
// sum of those over a program's passes, which an adapter checks itself against.
#include "platform/gfx_values.h"

namespace gfx {

// DXGI lists the primary GPU first; the order here is the order devices are tried in.
using AdapterType = UINT;
constexpr AdapterType ADAPTER_TYPE_DISCRETE_GPU = 0;
constexpr AdapterType ADAPTER_TYPE_INTEGRATED_GPU = 1;
constexpr AdapterType ADAPTER_TYPE_OTHER = 2;  // virtual GPUs and anything else
constexpr AdapterType ADAPTER_TYPE_CPU = 3;    // a rasteriser on the CPU (lavapipe, SwiftShader)

struct AdapterDesc {
  char Description[256] = {};  // the device's name
  char Driver[256] = {};       // the driver's name and version as it gives them
  UINT VendorId = 0;
  UINT DeviceId = 0;
  AdapterType Type = ADAPTER_TYPE_OTHER;
  char Api[16] = {};        // the graphics API: "Vulkan"
  UINT ApiVersion[3] = {};  // the version of it the device offers: major, minor, patch
};

// Shader stages, as bits.
constexpr UINT SHADER_STAGE_VERTEX = 1;
constexpr UINT SHADER_STAGE_PIXEL = 2;
constexpr UINT SHADER_STAGE_COMPUTE = 4;

// Kinds of subgroup (wave) operation, as bits.
constexpr UINT SUBGROUP_OPERATION_BASIC = 0x01;  // WaveGetLaneIndex, barriers within a wave
constexpr UINT SUBGROUP_OPERATION_VOTE = 0x02;   // WaveActiveAnyTrue, WaveActiveAllTrue
constexpr UINT SUBGROUP_OPERATION_ARITHMETIC = 0x04;
constexpr UINT SUBGROUP_OPERATION_BALLOT = 0x08;  // WaveActiveBallot, WaveReadLaneFirst
constexpr UINT SUBGROUP_OPERATION_SHUFFLE = 0x10;
constexpr UINT SUBGROUP_OPERATION_SHUFFLE_RELATIVE = 0x20;
constexpr UINT SUBGROUP_OPERATION_CLUSTERED = 0x40;
constexpr UINT SUBGROUP_OPERATION_QUAD = 0x80;

// What one shader relies on, read from its bytecode (ReflectShaderNeeds).
struct ShaderNeeds {
  UINT Stage = 0;                // one SHADER_STAGE_* bit
  UINT GroupSize[3] = {};        // compute shaders: threads per group along x, y, z
  UINT GroupSharedBytes = 0;     // compute shaders: groupshared memory
  UINT SubgroupOperations = 0;   // SUBGROUP_OPERATION_* bits
  BOOL StorageImageWriteWithoutFormat = 0;  // writes images whose format it does not declare
  BOOL StorageImageReadWithoutFormat = 0;
  UINT StorageImages = 0, SampledImages = 0, Samplers = 0, ConstantBuffers = 0, StorageBuffers = 0;
  UINT64 LargestConstantBuffer = 0;  // bytes
  // The (texture register, sampler register) pairs it samples with: which textures meet
  // which filter. Where the bytecode does not tell, every texture with every sampler.
  struct SampledPair {
    UINT TextureRegister, SamplerRegister;
  };
  static constexpr UINT kMaxSampledPairs = 32;
  SampledPair SampledPairs[kMaxSampledPairs] = {};
  UINT SampledPairCount = 0;
};

// What a program needs of a device beyond what every device of the backend offers: the sum
// of its shaders' needs and of the formats and sizes its passes use. Zero asks nothing.
struct DeviceRequirements {
  UINT ComputeGroupInvocations = 0;  // the largest group's threads
  UINT ComputeGroupSize[3] = {};     // the largest group side along x, y, z
  UINT ComputeGroupSharedBytes = 0;
  UINT ComputeSubgroupOperations = 0;  // SUBGROUP_OPERATION_* bits used by compute shaders
  UINT PixelSubgroupOperations = 0;    // ... and by pixel shaders
  BOOL StorageImageWriteWithoutFormat = 0;
  BOOL StorageImageReadWithoutFormat = 0;
  // Descriptors of each kind that one shader stage of one pipeline binds.
  UINT StorageImagesPerStage = 0, SampledImagesPerStage = 0, SamplersPerStage = 0;
  UINT ConstantBuffersPerStage = 0, StorageBuffersPerStage = 0;
  UINT64 ConstantBufferBytes = 0;  // the largest constant buffer a shader reads
  UINT ImageSide = 0;              // the largest side of a texture or back buffer
  static constexpr UINT kMaxFormats = 8;
  Format LinearFilteredFormats[kMaxFormats] = {};  // textures sampled with a linear filter
  UINT LinearFilteredFormatCount = 0;
  Format StorageImageFormats[kMaxFormats] = {};  // textures written through storage views
  UINT StorageImageFormatCount = 0;
};

}  // namespace gfx
