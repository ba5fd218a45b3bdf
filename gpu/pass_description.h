#pragma once
// A pass described once: its shader, the views of its descriptor table in register order,
// its static samplers and root constants. The root signature, the descriptors a frame takes
// for it, the views written each frame and the states the bound resources are moved to all
// follow from the description, so a binding is added to a shader and to its description
// and nowhere else. A suite checks every description against its shader's own reflection.
//
// The table's slots are grouped by register class: all SRVs (t0, t1, ...), all UAVs (u0, ...)
// and all CBVs (b0, ...) each stand together, in any order of the classes; each group becomes
// one range of the table starting at register 0.
#include <cstdint>
#include <span>

#include "base/containers.h"
#include "gpu/constant_block.h"
#include "gpu/descriptors.h"
#include "gpu/passes.h"
#include "gpu/pipeline.h"
#include "gpu/resources.h"

enum class SlotKind : uint8_t {
  Texture,         // t: a 2D texture read through a shader-resource view
  Buffer,          // t: a structured buffer, read only
  StorageTexture,  // u: a 2D texture written through an unordered-access view
  StorageBuffer,   // u: a structured buffer read and written
  Constants,       // b: a constant buffer
};

struct PassSlot {
  SlotKind kind;
  const char* name;  // the shader's name for it
  uint32_t format;   // textures: the view's format
  uint32_t stride;   // buffers: bytes per element
};

// Static samplers s0, s1, ... in order.
struct PassSampler {
  const char* name;
  uint32_t filter;
  uint32_t addressMode;
};

enum class PassStage : uint8_t {
  Compute,  // a compute shader, every stage sees the table
  Pixel,    // a full-screen pass's pixel shader (the shared triangle's vertex shader first)
};

struct PassDescription {
  const char* name;  // the shader's name: its source is shaders/<name>.hlsl
  PassStage stage;
  ShaderBytecode shader;
  std::span<const PassSlot> slots;
  std::span<const PassSampler> samplers;
  bool rootConstants;           // sixteen bytes at b0 after the table (compute passes)
  uint32_t spareDescriptors;    // allocated after the slots, never written
  uint32_t renderTargetFormat;  // pixel passes: their one render target
};

// What a frame binds to one slot, in the slot's order.
struct PassResource {
  TrackedResource* resource;
  uint64_t extent;  // buffers: elements; constants: bytes (rounded up to 256 by the view)
  uint32_t format;  // textures: the view's format, 0 for the slot's own
};

inline PassResource boundTexture(GpuTexture& texture, uint32_t format = 0) {
  return {&texture.resource, 0, format};
}
inline PassResource boundBuffer(GpuBuffer& buffer, uint32_t elements) {
  return {&buffer.resource, elements, 0};
}
inline PassResource boundConstants(GpuBuffer& buffer) { return {&buffer.resource, buffer.size, 0}; }
template <typename T>
PassResource boundConstants(ConstantBlock<T>& block) {
  return boundConstants(*block.buffers.gpuBuffer);
}

// The range type (SRV, UAV, CBV) of a slot, and its register within that class.
uint32_t rangeTypeOf(SlotKind kind);
uint32_t registerOf(const PassDescription& pass, uint32_t slot);

// Descriptors one recording of the pass takes from the frame's heap.
inline uint32_t descriptorCount(const PassDescription& pass) {
  return uint32_t(pass.slots.size()) + pass.spareDescriptors;
}

// The state a slot's resource must be in while the pass runs.
uint32_t requiredState(const PassDescription& pass, SlotKind kind);

// The root signature: one table of the slots' ranges, then the root constants, then the
// static samplers, visible to all stages (compute) or the pixel shader. Stops when a
// register class is split into two groups.
RootSignatureBuilder rootSignatureOf(const PassDescription& pass);

// A compute pass's pipeline; null when the device refuses it.
Pipeline* createComputePass(const PassDescription& pass);
// A pixel pass's full-screen pass with the given vertex shader, drawing into a target of
// renderTargetFormat (0: the description's).
void buildFullscreenPass(FullscreenPass& fullscreen, const PassDescription& pass, ShaderBytecode vertexShader,
                         uint32_t renderTargetFormat = 0);

// Moves each resource to the state its slot needs (one barrier call), takes the pass's
// descriptors from `heap` and writes their views in slot order. Stops unless there is one
// resource per slot.
DescriptorTable writePassTable(const PassDescription& pass, std::span<const PassResource> resources,
                               DescriptorAllocator& heap, BarrierBatch& barriers,
                               gfx::GraphicsCommandList* commandList);

// Binds a compute pass's pipeline and a table writePassTable wrote (with the root constants when
// it takes them) and dispatches groupsX x groupsY groups, none when either is 0. A table may serve
// several dispatches.
void dispatchComputePass(gfx::GraphicsCommandList* commandList, const Pipeline& pipeline, DescriptorTable table,
                         uint32_t groupsX, uint32_t groupsY, const void* rootConstants16 = nullptr);

// A compute pass: its table, pipeline and root signature, the root constants when it has
// them, and a dispatch of groupsX x groupsY groups (none when either is 0).
void recordComputePass(gfx::GraphicsCommandList* commandList, const PassDescription& pass,
                       const Pipeline& pipeline, std::span<const PassResource> resources,
                       DescriptorAllocator& heap, BarrierBatch& barriers, uint32_t groupsX, uint32_t groupsY,
                       const void* rootConstants16 = nullptr);

// A pixel pass, drawn with executeFullscreenPass from the bindings its slots describe
// (`scratch` is refilled, so a frame allocates nothing).
void recordFullscreenPass(gfx::GraphicsCommandList* commandList, const PassDescription& pass,
                          FullscreenPass& fullscreen, std::span<const PassResource> resources,
                          DynamicArray<PassBinding>& scratch, DescriptorAllocator& heap, uint64_t renderTargetView,
                          uint32_t width, uint32_t height, bool clearTarget = true,
                          const gfx::Rect* scissor = nullptr);
