// Reads SPIR-V modules: the declarations this layer looks at (vk_spirv.h), and the
// descriptor bindings a module declares. D3D12 root signatures do not say whether an SRV/UAV
// is a buffer or a texture; the shader does, so pipeline layouts are made from the shader's
// own declarations.
#include "platform/vulkan/vk_spirv.h"

#include <algorithm>
#include <cstring>

#include "platform/vulkan/vk_internal.h"

namespace gfx::vk {
namespace {

constexpr uint32_t kMagic = 0x07230203;

// One instruction's declarations into the module.
void readInstruction(SpirvModule& m, const uint32_t* w, uint32_t count) {
  using namespace spv;
  const uint32_t opcode = w[0] & 0xFFFF;
  switch (opcode) {
    case op::EntryPoint:
      if (count >= 3 && m.executionModel == UINT32_MAX) m.executionModel = w[1];
      break;
    case op::ExecutionMode:
    case op::ExecutionModeId: {
      const bool sizes = opcode == op::ExecutionMode ? w[2] == mode::LocalSize : w[2] == mode::LocalSizeId;
      if (count >= 6 && sizes)
        for (int i = 0; i < 3; ++i) (opcode == op::ExecutionMode ? m.localSize : m.localSizeIds)[i] = w[3 + i];
      break;
    }
    case op::Capability:
      if (count >= 2) m.capabilities.insert(w[1]);
      break;
    case op::Decorate:
      if (count >= 4 && w[2] == decoration::Binding) m.bindings[w[1]] = w[3];
      if (count >= 4 && w[2] == decoration::DescriptorSet) m.sets[w[1]] = w[3];
      if (count >= 4 && w[2] == decoration::ArrayStride) m.arrayStrides[w[1]] = w[3];
      if (count >= 3 && w[2] == decoration::Block) m.blocks.insert(w[1]);
      if (count >= 3 && w[2] == decoration::BufferBlock) m.bufferBlocks.insert(w[1]);
      break;
    case op::MemberDecorate:
      if (count >= 5 && w[3] == decoration::Offset) m.memberOffsets[(uint64_t(w[1]) << 32) | w[2]] = w[4];
      break;
    case op::TypeBool: m.types[w[1]] = {opcode, 0, 0, 0, 0, 0, 32, {}}; break;
    case op::TypeInt:
    case op::TypeFloat:
      if (count >= 3) m.types[w[1]] = {opcode, 0, 0, 0, 0, 0, w[2], {}};
      break;
    case op::TypeVector:
    case op::TypeMatrix:
    case op::TypeArray:
      if (count >= 4) m.types[w[1]] = {opcode, w[2], w[3], 0, 0, 0, 0, {}};
      break;
    case op::TypeImage:
      if (count >= 8) m.types[w[1]] = {opcode, 0, 0, 0, w[3], w[7], 0, {}};
      break;
    case op::TypeSampler:
    case op::TypeSampledImage: m.types[w[1]] = {opcode, 0, 0, 0, 0, 0, 0, {}}; break;
    case op::TypeStruct: m.types[w[1]] = {opcode, 0, 0, 0, 0, 0, 0, std::vector<uint32_t>(w + 2, w + count)}; break;
    case op::TypeRuntimeArray:
      if (count >= 3) m.types[w[1]] = {opcode, w[2], 0, 0, 0, 0, 0, {}};
      break;
    case op::TypePointer:
      if (count >= 4) m.types[w[1]] = {opcode, w[3], 0, w[2], 0, 0, 0, {}};
      break;
    case op::Constant:
      if (count >= 4) m.constants[w[2]] = w[3];
      break;
    case op::Variable:
      if (count >= 4) m.variables.push_back({w[2], w[1], w[3]});
      break;
    case op::Load:
    case op::CopyObject:
    case op::AccessChain:
      if (count >= 4) m.sources[w[2]] = w[3];
      break;
    case op::SampledImage:
      if (count >= 5) m.sampledImages.emplace_back(w[3], w[4]);
      break;
    default: break;
  }
}

}  // namespace

SpirvModule parseSpirv(const void* code, size_t size) {
  SpirvModule m;
  if (!code || size < 20 || size % 4 != 0) {
    m.error = "the shader bytecode is not SPIR-V (size)";
    return m;
  }
  std::vector<uint32_t> words(size / 4);
  std::memcpy(words.data(), code, size);
  if (words[0] != kMagic) {
    m.error = "the shader bytecode is not SPIR-V (magic number)";
    return m;
  }
  for (size_t at = 5; at < words.size();) {
    uint32_t count = words[at] >> 16;
    if (count == 0 || at + count > words.size()) {
      m.error = "the SPIR-V module is truncated";
      return m;
    }
    readInstruction(m, &words[at], count);
    at += count;
  }
  for (int i = 0; i < 3; ++i)
    if (m.localSizeIds[i]) m.localSize[i] = m.constant(m.localSizeIds[i]);
  return m;
}

uint32_t SpirvModule::constant(uint32_t id) const {
  auto found = constants.find(id);
  return found == constants.end() ? 0 : found->second;
}

uint32_t SpirvModule::variableOf(uint32_t id) const {
  for (int depth = 0; depth < 16; ++depth) {
    for (const SpirvVariable& variable : variables)
      if (variable.id == id) return id;
    auto source = sources.find(id);
    if (source == sources.end()) return 0;
    id = source->second;
  }
  return 0;
}

uint64_t SpirvModule::sizeOf(uint32_t type) const {
  auto found = types.find(type);
  if (found == types.end()) return 0;
  const SpirvType& t = found->second;
  switch (t.op) {
    case spv::op::TypeBool:
    case spv::op::TypeInt:
    case spv::op::TypeFloat: return t.width / 8;
    case spv::op::TypeVector:
    case spv::op::TypeMatrix: return uint64_t(t.length) * sizeOf(t.element);
    case spv::op::TypeArray: {
      auto stride = arrayStrides.find(type);
      return uint64_t(constant(t.length)) * (stride != arrayStrides.end() ? stride->second : sizeOf(t.element));
    }
    case spv::op::TypeStruct: {
      uint64_t size = 0;
      for (uint32_t i = 0; i < t.members.size(); ++i) {
        auto offset = memberOffsets.find((uint64_t(type) << 32) | i);
        const uint64_t memberSize = sizeOf(t.members[i]);
        size = offset != memberOffsets.end() ? std::max(size, offset->second + memberSize) : size + memberSize;
      }
      return size;
    }
    default: return 0;
  }
}

ShaderReflection reflectSpirv(const void* code, size_t size) {
  SpirvModule m = parseSpirv(code, size);
  return reflectModule(m);
}

ShaderReflection reflectModule(SpirvModule& m) {
  ShaderReflection reflection;
  if (!m.error.empty()) {
    reflection.error = m.error;
    return reflection;
  }
  using namespace spv;
  for (const SpirvVariable& variable : m.variables) {
    if (variable.storage == storage::PushConstant) {
      reflection.usesPushConstants = true;
      continue;
    }
    if (variable.storage != storage::UniformConstant && variable.storage != storage::Uniform &&
        variable.storage != storage::StorageBuffer)
      continue;
    auto bindingOf = m.bindings.find(variable.id);
    if (bindingOf == m.bindings.end()) continue;
    ShaderBinding binding;
    binding.binding = bindingOf->second;
    binding.set = m.sets.count(variable.id) ? m.sets.at(variable.id) : 0;
    binding.variable = variable.id;
    uint32_t type = m.types[variable.pointerType].element;
    while (m.types[type].op == op::TypeArray || m.types[type].op == op::TypeRuntimeArray) {
      if (m.types[type].op == op::TypeArray) binding.count *= m.constant(m.types[type].length);
      type = m.types[type].element;
    }
    const SpirvType& info = m.types[type];
    constexpr uint32_t kDimBuffer = 5;
    if (info.op == op::TypeSampler) {
      binding.type = VK_DESCRIPTOR_TYPE_SAMPLER;
    } else if (info.op == op::TypeSampledImage) {
      binding.type = VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER;
    } else if (info.op == op::TypeImage) {
      if (info.dim == kDimBuffer)
        binding.type = info.sampled == 2 ? VK_DESCRIPTOR_TYPE_STORAGE_TEXEL_BUFFER : VK_DESCRIPTOR_TYPE_UNIFORM_TEXEL_BUFFER;
      else
        binding.type = info.sampled == 2 ? VK_DESCRIPTOR_TYPE_STORAGE_IMAGE : VK_DESCRIPTOR_TYPE_SAMPLED_IMAGE;
    } else if (info.op == op::TypeStruct) {
      bool storageBuffer = variable.storage == storage::StorageBuffer || m.bufferBlocks.count(type);
      binding.type = storageBuffer ? VK_DESCRIPTOR_TYPE_STORAGE_BUFFER : VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER;
      binding.blockBytes = m.sizeOf(type);
    } else {
      reflection.error = "binding " + std::to_string(binding.binding) + " has a type this layer does not bind";
      return reflection;
    }
    reflection.bindings.push_back(binding);
  }
  return reflection;
}

}  // namespace gfx::vk
