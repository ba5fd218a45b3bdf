#pragma once
// A SPIR-V module read once into the declarations this layer looks at: types, constants,
// decorations, variables, the entry point's stage and group size, the capabilities, and how
// images meet samplers. The pipeline layouts (vk_spirv.cpp) and the device requirements
// (vk_shader_needs.cpp) are read off it.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace gfx::vk {

// The opcodes, decorations, storage classes and capabilities read, as the module's words spell them.
namespace spv {
namespace op {
constexpr uint32_t EntryPoint = 15, ExecutionMode = 16, Capability = 17, TypeBool = 20, TypeInt = 21,
                   TypeFloat = 22, TypeVector = 23, TypeMatrix = 24, TypeImage = 25, TypeSampler = 26,
                   TypeSampledImage = 27, TypeArray = 28, TypeRuntimeArray = 29, TypeStruct = 30, TypePointer = 32,
                   Constant = 43, Variable = 59, Load = 61, AccessChain = 65, Decorate = 71, MemberDecorate = 72,
                   CopyObject = 83, SampledImage = 86, ExecutionModeId = 331;
}  // namespace op
namespace decoration {
constexpr uint32_t Block = 2, BufferBlock = 3, ArrayStride = 6, Binding = 33, DescriptorSet = 34, Offset = 35;
}  // namespace decoration
namespace storage {
constexpr uint32_t UniformConstant = 0, Uniform = 2, Workgroup = 4, PushConstant = 9, StorageBuffer = 12;
}  // namespace storage
namespace model {
constexpr uint32_t Vertex = 0, Fragment = 4, GLCompute = 5;
}  // namespace model
namespace mode {
constexpr uint32_t LocalSize = 17, LocalSizeId = 38;
}  // namespace mode
}  // namespace spv

struct SpirvType {
  uint32_t op = 0;
  uint32_t element = 0;  // arrays: element type; pointers: pointee; vectors, matrices: component, column
  uint32_t length = 0;   // arrays: the id of the length constant; vectors, matrices: the count
  uint32_t storage = 0;  // pointers
  uint32_t dim = 0;      // images
  uint32_t sampled = 0;  // images: 1 sampled, 2 storage
  uint32_t width = 0;    // scalars: bits
  std::vector<uint32_t> members;  // structs
};

struct SpirvVariable {
  uint32_t id, pointerType, storage;
};

struct SpirvModule {
  std::string error;  // non-empty when the bytecode is not a readable module
  uint32_t executionModel = UINT32_MAX;  // the first entry point's
  uint32_t localSize[3] = {};
  uint32_t localSizeIds[3] = {};  // LocalSizeId: constants' ids
  std::unordered_set<uint32_t> capabilities;
  std::unordered_map<uint32_t, SpirvType> types;
  std::unordered_map<uint32_t, uint32_t> constants, bindings, sets, arrayStrides;
  std::unordered_map<uint64_t, uint32_t> memberOffsets;  // (struct << 32) | member
  std::unordered_set<uint32_t> blocks, bufferBlocks;
  std::vector<SpirvVariable> variables;
  std::unordered_map<uint32_t, uint32_t> sources;  // a loaded or copied value: the id it came from
  std::vector<std::pair<uint32_t, uint32_t>> sampledImages;  // OpSampledImage: (image, sampler) ids

  // The variable a value was loaded from (through loads, copies and access chains); 0 if none.
  uint32_t variableOf(uint32_t id) const;
  // Bytes a value of the type takes, by its decorated layout where it has one.
  uint64_t sizeOf(uint32_t type) const;
  uint32_t constant(uint32_t id) const;
};

SpirvModule parseSpirv(const void* code, size_t size);

struct ShaderReflection;  // vk_internal.h
// The module's descriptor bindings (reflectSpirv reads them straight from the bytecode).
ShaderReflection reflectModule(SpirvModule& module);

}  // namespace gfx::vk
