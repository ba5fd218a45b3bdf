#pragma once
// Root signatures for every pipeline: at most 8 root parameters, 4 static samplers and
// 8 ranges per table; every range starts at register 0 of space 0.
#include <cstdint>

#include "base/containers.h"
#include "platform/gfx.h"

// Descriptor range types.
inline constexpr uint32_t kRangeSrv = gfx::DESCRIPTOR_RANGE_TYPE_SRV;
inline constexpr uint32_t kRangeUav = gfx::DESCRIPTOR_RANGE_TYPE_UAV;
inline constexpr uint32_t kRangeCbv = gfx::DESCRIPTOR_RANGE_TYPE_CBV;
inline constexpr uint32_t kRangeSampler = gfx::DESCRIPTOR_RANGE_TYPE_SAMPLER;

// Shader visibilities.
inline constexpr uint32_t kVisibilityAll = gfx::SHADER_VISIBILITY_ALL;
inline constexpr uint32_t kVisibilityPixel = gfx::SHADER_VISIBILITY_PIXEL;

inline constexpr uint32_t kMaxRootParameters = 8;
inline constexpr uint32_t kMaxStaticSamplers = 4;
inline constexpr uint32_t kMaxRangesPerTable = 8;
inline constexpr uint32_t kRangeOffsetAppend = gfx::DESCRIPTOR_RANGE_OFFSET_APPEND;

struct RangeSpec {
  uint32_t rangeType;
  uint32_t numDescriptors;
  uint32_t baseShaderRegister;
  uint32_t registerSpace;
};
static_assert(sizeof(RangeSpec) == 16);

inline RangeSpec makeRange(uint32_t rangeType, uint32_t count) { return {rangeType, count, 0, 0}; }

struct DescriptorRangeList {
  FixedArray<gfx::DescriptorRange, kMaxRangesPerTable> ranges;
};

void appendRange(DescriptorRangeList& list, RangeSpec spec);
DescriptorRangeList makeRangeList2(RangeSpec first, RangeSpec second);
DescriptorRangeList makeRangeList3(RangeSpec first, RangeSpec second, RangeSpec third);

// A plain value: copy it with copyRootSignatureBuilder (its ranges get their own storage).
// A table parameter keeps the index of its first range in `ranges`, since `ranges` may
// move while it grows; build() turns the indices into pointers.
struct RootSignatureBuilder {
  gfx::RootParameter parameters[kMaxRootParameters];
  gfx::StaticSamplerDesc staticSamplers[kMaxStaticSamplers];
  DynamicArray<gfx::DescriptorRange, uint64_t> ranges;
  uint32_t parameterCount;
  uint32_t staticSamplerCount;
  uint64_t firstRange[kMaxRootParameters];  // per table parameter, index into ranges
};

void addTable(RootSignatureBuilder& builder, const DescriptorRangeList& list, uint32_t visibility);
// Four 32-bit root constants at b0, space 0, visible to all stages.
void addConstants(RootSignatureBuilder& builder);
void addStaticSampler(RootSignatureBuilder& builder, uint32_t filter, uint32_t addressMode,
                      uint32_t shaderRegister, uint32_t visibility);

RootSignatureBuilder copyRootSignatureBuilder(const RootSignatureBuilder& builder);
// Frees the builder's ranges without building (a description that is thrown away).
void destroyRootSignatureBuilder(RootSignatureBuilder& builder);

// Fills the root signature description the device is given; table parameters point into
// builder.ranges, which must stay alive while the description is used.
gfx::RootSignatureDesc describeRootSignature(RootSignatureBuilder& builder, bool noInputLayout);

// Creates the device root signature and frees the builder's ranges; a builder is built
// once. The caller owns the result.
gfx::RootSignature* buildRootSignature(RootSignatureBuilder& builder, bool noInputLayout);
