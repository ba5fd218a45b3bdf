// What a SPIR-V shader relies on of a device: its stage, group size and groupshared memory,
// the subgroup operations and storage-image accesses its capabilities declare, the
// descriptors it binds and the largest constant buffer, and which textures it samples with
// which samplers.
#include <algorithm>

#include "platform/vulkan/vk_internal.h"
#include "platform/vulkan/vk_spirv.h"

namespace gfx {
namespace {

using namespace vk;

UINT stageOf(uint32_t executionModel) {
  switch (executionModel) {
    case spv::model::Vertex: return SHADER_STAGE_VERTEX;
    case spv::model::Fragment: return SHADER_STAGE_PIXEL;
    case spv::model::GLCompute: return SHADER_STAGE_COMPUTE;
    default: return 0;
  }
}

// SPIR-V's GroupNonUniform* capabilities 61-68 are the subgroup operation bits in order.
UINT subgroupOperationsOf(const SpirvModule& m) {
  constexpr uint32_t kGroupNonUniform = 61;
  UINT operations = 0;
  for (uint32_t bit = 0; bit < 8; ++bit)
    if (m.capabilities.count(kGroupNonUniform + bit)) operations |= 1u << bit;
  return operations;
}

uint64_t groupSharedBytes(const SpirvModule& m) {
  uint64_t bytes = 0;
  for (const SpirvVariable& variable : m.variables) {
    if (variable.storage != spv::storage::Workgroup) continue;
    auto pointer = m.types.find(variable.pointerType);
    if (pointer != m.types.end()) bytes += m.sizeOf(pointer->second.element);
  }
  return bytes;
}

void countDescriptors(const ShaderReflection& reflection, ShaderNeeds* needs) {
  for (const ShaderBinding& binding : reflection.bindings) {
    switch (binding.type) {
      case VK_DESCRIPTOR_TYPE_STORAGE_IMAGE: needs->StorageImages += binding.count; break;
      case VK_DESCRIPTOR_TYPE_SAMPLED_IMAGE: needs->SampledImages += binding.count; break;
      case VK_DESCRIPTOR_TYPE_SAMPLER: needs->Samplers += binding.count; break;
      case VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER:
        needs->SampledImages += binding.count;
        needs->Samplers += binding.count;
        break;
      case VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER:
        needs->ConstantBuffers += binding.count;
        needs->LargestConstantBuffer = std::max<UINT64>(needs->LargestConstantBuffer, binding.blockBytes);
        break;
      case VK_DESCRIPTOR_TYPE_STORAGE_BUFFER: needs->StorageBuffers += binding.count; break;
      default: break;
    }
  }
}

void addPair(ShaderNeeds* needs, UINT texture, UINT sampler) {
  for (UINT i = 0; i < needs->SampledPairCount; ++i)
    if (needs->SampledPairs[i].TextureRegister == texture && needs->SampledPairs[i].SamplerRegister == sampler) return;
  if (needs->SampledPairCount < ShaderNeeds::kMaxSampledPairs)
    needs->SampledPairs[needs->SampledPairCount++] = {texture, sampler};
}

// The textures and samplers that meet in OpSampledImage; every texture with every sampler
// where a pair cannot be traced back to the two variables.
void findSampledPairs(const SpirvModule& m, const ShaderReflection& reflection, ShaderNeeds* needs) {
  auto registerOf = [&](uint32_t variable, VkDescriptorType type, uint32_t base, UINT* out) {
    for (const ShaderBinding& binding : reflection.bindings)
      if (binding.variable == variable && binding.type == type && binding.binding >= base) {
        *out = binding.binding - base;
        return true;
      }
    return false;
  };
  bool traced = true;
  for (const auto& [image, sampler] : m.sampledImages) {
    UINT texture = 0, samplerRegister = 0;
    if (registerOf(m.variableOf(image), VK_DESCRIPTOR_TYPE_SAMPLED_IMAGE, kBindingSrvBase, &texture) &&
        registerOf(m.variableOf(sampler), VK_DESCRIPTOR_TYPE_SAMPLER, kBindingSamplerBase, &samplerRegister))
      addPair(needs, texture, samplerRegister);
    else
      traced = false;
  }
  if (traced) return;
  for (const ShaderBinding& t : reflection.bindings)
    for (const ShaderBinding& s : reflection.bindings)
      if (t.type == VK_DESCRIPTOR_TYPE_SAMPLED_IMAGE && s.type == VK_DESCRIPTOR_TYPE_SAMPLER &&
          t.binding >= kBindingSrvBase && s.binding >= kBindingSamplerBase)
        addPair(needs, t.binding - kBindingSrvBase, s.binding - kBindingSamplerBase);
}

}  // namespace

HRESULT ReflectShaderNeeds(const ShaderBytecode& code, ShaderNeeds* needs) {
  if (!needs) return kInvalidArg;
  *needs = ShaderNeeds{};
  SpirvModule m = parseSpirv(code.pShaderBytecode, code.BytecodeLength);
  ShaderReflection reflection = reflectModule(m);
  if (!reflection.error.empty()) {
    reportError("ReflectShaderNeeds: %s", reflection.error.c_str());
    return kInvalidArg;
  }
  needs->Stage = stageOf(m.executionModel);
  if (needs->Stage == SHADER_STAGE_COMPUTE) {
    for (int i = 0; i < 3; ++i) needs->GroupSize[i] = m.localSize[i];
    needs->GroupSharedBytes = static_cast<UINT>(groupSharedBytes(m));
  }
  needs->SubgroupOperations = subgroupOperationsOf(m);
  constexpr uint32_t kStorageImageReadWithoutFormat = 55, kStorageImageWriteWithoutFormat = 56;
  needs->StorageImageReadWithoutFormat = m.capabilities.count(kStorageImageReadWithoutFormat) != 0;
  needs->StorageImageWriteWithoutFormat = m.capabilities.count(kStorageImageWriteWithoutFormat) != 0;
  countDescriptors(reflection, needs);
  findSampledPairs(m, reflection, needs);
  return kOk;
}

}  // namespace gfx
