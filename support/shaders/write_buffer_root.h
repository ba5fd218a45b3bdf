#pragma once
// The root signature write_buffer.hlsl runs under: one table {u0, b0} and four root
// constants (push constants on Vulkan). The graphics layer's suites and its benchmark
// share it.
#include "platform/gfx.h"

inline gfx::HRESULT createWriteBufferRootSignature(gfx::Device* device, gfx::RootSignature** root) {
  using namespace gfx;
  DescriptorRange ranges[2];
  ranges[0].RangeType = DESCRIPTOR_RANGE_TYPE_UAV;
  ranges[0].NumDescriptors = 1;
  ranges[1].RangeType = DESCRIPTOR_RANGE_TYPE_CBV;
  ranges[1].NumDescriptors = 1;
  RootParameter parameters[2];
  parameters[0].DescriptorTable = {2, ranges};
  parameters[1].ParameterType = ROOT_PARAMETER_TYPE_32BIT_CONSTANTS;
  parameters[1].Constants = {0, 0, 4};
  RootSignatureDesc desc;
  desc.NumParameters = 2;
  desc.pParameters = parameters;
  return device->CreateRootSignature(0, &desc, root, nullptr);
}
