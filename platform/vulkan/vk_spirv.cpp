// Reads the descriptor bindings a SPIR-V module declares. D3D12 root signatures do not say
// whether an SRV/UAV is a buffer or a texture; the shader does, so pipeline layouts are
// made from the shader's own declarations.
#include <cstring>
#include <unordered_map>

#include "platform/vulkan/vk_internal.h"

namespace gfx::vk {
namespace {

constexpr uint32_t kMagic = 0x07230203;
// The opcodes, decorations and storage classes read here, as the module's words spell them.
namespace op {
constexpr uint32_t TypeImage = 25, TypeSampler = 26, TypeSampledImage = 27, TypeArray = 28, TypeRuntimeArray = 29,
                   TypeStruct = 30, TypePointer = 32, Constant = 43, Variable = 59, Decorate = 71;
}  // namespace op
namespace decoration {
constexpr uint32_t Block = 2, BufferBlock = 3, Binding = 33, DescriptorSet = 34;
}  // namespace decoration
namespace storage {
constexpr uint32_t UniformConstant = 0, Uniform = 2, PushConstant = 9, StorageBuffer = 12;
}  // namespace storage

struct TypeInfo {
  uint32_t op = 0;
  uint32_t element = 0;  // arrays: element type; pointers: pointee
  uint32_t lengthId = 0;
  uint32_t storage = 0;
  uint32_t dim = 0;
  uint32_t sampled = 0;
};

}  // namespace

ShaderReflection reflectSpirv(const void* code, size_t size) {
  ShaderReflection reflection;
  if (!code || size < 20 || size % 4 != 0) {
    reflection.error = "the shader bytecode is not SPIR-V (size)";
    return reflection;
  }
  std::vector<uint32_t> words(size / 4);
  std::memcpy(words.data(), code, size);
  if (words[0] != kMagic) {
    reflection.error = "the shader bytecode is not SPIR-V (magic number)";
    return reflection;
  }
  std::unordered_map<uint32_t, TypeInfo> types;
  std::unordered_map<uint32_t, uint32_t> constants, bindings, sets;
  std::unordered_map<uint32_t, bool> blocks, bufferBlocks;
  struct Variable {
    uint32_t id, pointerType, storage;
  };
  std::vector<Variable> variables;

  for (size_t at = 5; at < words.size();) {
    uint32_t count = words[at] >> 16, opcode = words[at] & 0xFFFF;
    if (count == 0 || at + count > words.size()) {
      reflection.error = "the SPIR-V module is truncated";
      return reflection;
    }
    const uint32_t* w = &words[at];
    switch (opcode) {
      case op::Decorate:
        if (count >= 4 && w[2] == decoration::Binding) bindings[w[1]] = w[3];
        if (count >= 4 && w[2] == decoration::DescriptorSet) sets[w[1]] = w[3];
        if (w[2] == decoration::Block) blocks[w[1]] = true;
        if (w[2] == decoration::BufferBlock) bufferBlocks[w[1]] = true;
        break;
      case op::TypeImage:
        if (count >= 8) types[w[1]] = {opcode, 0, 0, 0, w[3], w[7]};
        break;
      case op::TypeSampler:
      case op::TypeSampledImage:
      case op::TypeStruct: types[w[1]] = {opcode, 0, 0, 0, 0, 0}; break;
      case op::TypeArray:
        if (count >= 4) types[w[1]] = {opcode, w[2], w[3], 0, 0, 0};
        break;
      case op::TypeRuntimeArray:
        if (count >= 3) types[w[1]] = {opcode, w[2], 0, 0, 0, 0};
        break;
      case op::TypePointer:
        if (count >= 4) types[w[1]] = {opcode, w[3], 0, w[2], 0, 0};
        break;
      case op::Constant:
        if (count >= 4) constants[w[2]] = w[3];
        break;
      case op::Variable:
        if (count >= 4) variables.push_back({w[2], w[1], w[3]});
        break;
      default: break;
    }
    at += count;
  }

  for (const Variable& variable : variables) {
    if (variable.storage == storage::PushConstant) {
      reflection.usesPushConstants = true;
      continue;
    }
    if (variable.storage != storage::UniformConstant && variable.storage != storage::Uniform &&
        variable.storage != storage::StorageBuffer)
      continue;
    if (!bindings.count(variable.id)) continue;
    ShaderBinding binding;
    binding.binding = bindings[variable.id];
    binding.set = sets.count(variable.id) ? sets[variable.id] : 0;
    uint32_t type = types[variable.pointerType].element;
    while (types[type].op == op::TypeArray || types[type].op == op::TypeRuntimeArray) {
      if (types[type].op == op::TypeArray) binding.count *= constants[types[type].lengthId];
      type = types[type].element;
    }
    const TypeInfo& info = types[type];
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
      bool storageBuffer = variable.storage == storage::StorageBuffer || bufferBlocks.count(type);
      binding.type = storageBuffer ? VK_DESCRIPTOR_TYPE_STORAGE_BUFFER : VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER;
    } else {
      reflection.error = "binding " + std::to_string(binding.binding) + " has a type this layer does not bind";
      return reflection;
    }
    reflection.bindings.push_back(binding);
  }
  return reflection;
}

}  // namespace gfx::vk
