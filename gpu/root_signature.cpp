#include "gpu/root_signature.h"

#include <cstring>

#include "base/diagnostics.h"
#include "gpu/frame_contexts.h"

void appendRange(DescriptorRangeList& list, RangeSpec spec) {
  ASSERT(list.ranges.count + 1 <= kMaxRangesPerTable,
         "Exceeded the limit of descriptor range %u.\n", kMaxRangesPerTable);
  gfx::DescriptorRange range = {};
  range.RangeType = gfx::DescriptorRangeType(spec.rangeType);
  range.NumDescriptors = spec.numDescriptors;
  range.BaseShaderRegister = spec.baseShaderRegister;
  range.RegisterSpace = spec.registerSpace;
  range.OffsetInDescriptorsFromTableStart = kRangeOffsetAppend;
  list.ranges.push(range);
}

static DescriptorRangeList emptyRangeList() {
  DescriptorRangeList list;
  memset(static_cast<void*>(&list), 0, sizeof(list));
  return list;
}

DescriptorRangeList makeRangeList2(RangeSpec first, RangeSpec second) {
  DescriptorRangeList list = emptyRangeList();
  appendRange(list, first);
  appendRange(list, second);
  return list;
}

DescriptorRangeList makeRangeList3(RangeSpec first, RangeSpec second, RangeSpec third) {
  DescriptorRangeList list = emptyRangeList();
  appendRange(list, first);
  appendRange(list, second);
  appendRange(list, third);
  return list;
}

static void checkParameterRoom(const RootSignatureBuilder& builder) {
  ASSERT(builder.parameterCount + 1 <= kMaxRootParameters,
         "Exceeded the limit of root parameters %u.\n", kMaxRootParameters);
}

void addTable(RootSignatureBuilder& builder, const DescriptorRangeList& list, uint32_t visibility) {
  checkParameterRoom(builder);
  uint64_t start = builder.ranges.count;
  for (uint32_t i = 0; i < list.ranges.count; ++i) builder.ranges.push(list.ranges[i]);

  gfx::RootParameter& parameter = builder.parameters[builder.parameterCount];
  memset(static_cast<void*>(&parameter), 0, sizeof(parameter));
  parameter.ParameterType = gfx::ROOT_PARAMETER_TYPE_DESCRIPTOR_TABLE;
  parameter.DescriptorTable.NumDescriptorRanges = list.ranges.count;
  parameter.DescriptorTable.pDescriptorRanges = nullptr;  // set by build
  parameter.ShaderVisibility = gfx::ShaderVisibility(visibility);
  builder.firstRange[builder.parameterCount] = start;
  builder.parameterCount += 1;
}

void addConstants(RootSignatureBuilder& builder) {
  checkParameterRoom(builder);
  gfx::RootParameter& parameter = builder.parameters[builder.parameterCount];
  memset(static_cast<void*>(&parameter), 0, sizeof(parameter));
  parameter.ParameterType = gfx::ROOT_PARAMETER_TYPE_32BIT_CONSTANTS;
  parameter.Constants.ShaderRegister = 0;
  parameter.Constants.RegisterSpace = 0;
  parameter.Constants.Num32BitValues = 4;
  parameter.ShaderVisibility = gfx::ShaderVisibility(kVisibilityAll);
  builder.firstRange[builder.parameterCount] = 0;
  builder.parameterCount += 1;
}

void addStaticSampler(RootSignatureBuilder& builder, uint32_t filter, uint32_t addressMode,
                      uint32_t shaderRegister, uint32_t visibility) {
  ASSERT(builder.staticSamplerCount + 1 <= kMaxStaticSamplers,
         "Exceeded the limit of static samplers %u.\n", kMaxStaticSamplers);
  gfx::StaticSamplerDesc& sampler = builder.staticSamplers[builder.staticSamplerCount];
  memset(static_cast<void*>(&sampler), 0, sizeof(sampler));
  sampler.Filter = gfx::Filter(filter);
  sampler.AddressU = gfx::TextureAddressMode(addressMode);
  sampler.AddressV = gfx::TextureAddressMode(addressMode);
  sampler.AddressW = gfx::TextureAddressMode(addressMode);
  sampler.MipLODBias = 0.0f;
  sampler.MaxAnisotropy = 0;
  sampler.ComparisonFunc = gfx::ComparisonFunc(8);  // always
  sampler.BorderColor = gfx::StaticBorderColor(1);  // opaque black
  sampler.MinLOD = 0.0f;
  sampler.MaxLOD = 0.0f;
  sampler.ShaderRegister = shaderRegister;
  sampler.RegisterSpace = 0;
  sampler.ShaderVisibility = gfx::ShaderVisibility(visibility);
  builder.staticSamplerCount += 1;
}

RootSignatureBuilder copyRootSignatureBuilder(const RootSignatureBuilder& builder) {
  RootSignatureBuilder copy = builder;
  copy.ranges = copyDynamicArray(builder.ranges);
  return copy;
}

void destroyRootSignatureBuilder(RootSignatureBuilder& builder) { builder.ranges.clear(); }

gfx::RootSignatureDesc describeRootSignature(RootSignatureBuilder& builder, bool noInputLayout) {
  for (uint32_t i = 0; i < builder.parameterCount; ++i) {
    gfx::RootParameter& parameter = builder.parameters[i];
    if (parameter.ParameterType != gfx::ROOT_PARAMETER_TYPE_DESCRIPTOR_TABLE) continue;
    // A built builder has given its ranges away; its tables would point at nothing.
    ASSERT(builder.firstRange[i] + parameter.DescriptorTable.NumDescriptorRanges <= builder.ranges.count,
           "Root signature builder has no ranges for table %u (built already?)\n", i);
    parameter.DescriptorTable.pDescriptorRanges = builder.ranges.items + builder.firstRange[i];
  }
  gfx::RootSignatureDesc desc = {};
  desc.NumParameters = builder.parameterCount;
  desc.pParameters = builder.parameters;
  desc.NumStaticSamplers = builder.staticSamplerCount;
  desc.pStaticSamplers = builder.staticSamplers;
  desc.Flags = noInputLayout ? gfx::RootSignatureFlags(0)
                             : gfx::RootSignatureFlags(1);  // allow input-assembler layout
  return desc;
}

gfx::RootSignature* buildRootSignature(RootSignatureBuilder& builder, bool noInputLayout) {
  gfx::RootSignatureDesc desc = describeRootSignature(builder, noInputLayout);
  // The device takes the description directly: a rejected description (with its error
  // text) is what serialisation would have refused; any other failure is the creation's.
  gfx::RootSignature* rootSignature = nullptr;
  const char* errorText = nullptr;
  if (gfx::Failed(renderApp.device->CreateRootSignature(0, &desc, &rootSignature, &errorText)) ||
      rootSignature == nullptr) {
    if (errorText != nullptr && errorText[0] != '\0')
      PANIC("Failed to serialize root signature.\n%s\n", errorText);
    PANIC("Failed to create root signature\n");
  }

  // Table parameters now point into freed storage: forget them with the ranges.
  builder.ranges.clear();
  return rootSignature;
}
