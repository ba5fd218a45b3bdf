#include "gpu/device_requirements.h"

#include <algorithm>

#include "base/diagnostics.h"

namespace {

// D3D12 filters: a linear minification or magnification filter (also anisotropic ones).
constexpr uint32_t kFilterLinearMinMag = 0x14;

void addFormat(gfx::Format* formats, uint32_t* count, gfx::Format format) {
  for (uint32_t i = 0; i < *count; ++i)
    if (formats[i] == format) return;
  ASSERT(*count < gfx::DeviceRequirements::kMaxFormats, "More than %u formats to check on the device\n",
         gfx::DeviceRequirements::kMaxFormats);
  formats[(*count)++] = format;
}

// The slot of a pass's texture register tN.
const PassSlot* textureSlot(const PassDescription& pass, uint32_t textureRegister) {
  for (uint32_t i = 0; i < pass.slots.size(); ++i)
    if (pass.slots[i].kind == SlotKind::Texture && registerOf(pass, i) == textureRegister) return &pass.slots[i];
  return nullptr;
}

void addShaderNeeds(gfx::DeviceRequirements& r, const gfx::ShaderNeeds& n) {
  if (n.Stage == gfx::SHADER_STAGE_COMPUTE) {
    r.ComputeGroupInvocations = std::max(r.ComputeGroupInvocations, n.GroupSize[0] * n.GroupSize[1] * n.GroupSize[2]);
    for (int i = 0; i < 3; ++i) r.ComputeGroupSize[i] = std::max(r.ComputeGroupSize[i], n.GroupSize[i]);
    r.ComputeGroupSharedBytes = std::max(r.ComputeGroupSharedBytes, n.GroupSharedBytes);
    r.ComputeSubgroupOperations |= n.SubgroupOperations;
  } else if (n.Stage == gfx::SHADER_STAGE_PIXEL) {
    r.PixelSubgroupOperations |= n.SubgroupOperations;
  }
  r.StorageImageWriteWithoutFormat |= n.StorageImageWriteWithoutFormat;
  r.StorageImageReadWithoutFormat |= n.StorageImageReadWithoutFormat;
  r.StorageImagesPerStage = std::max(r.StorageImagesPerStage, n.StorageImages);
  r.SampledImagesPerStage = std::max(r.SampledImagesPerStage, n.SampledImages);
  r.SamplersPerStage = std::max(r.SamplersPerStage, n.Samplers);
  r.ConstantBuffersPerStage = std::max(r.ConstantBuffersPerStage, n.ConstantBuffers);
  r.StorageBuffersPerStage = std::max(r.StorageBuffersPerStage, n.StorageBuffers);
  r.ConstantBufferBytes = std::max(r.ConstantBufferBytes, n.LargestConstantBuffer);
}

void addPassFormats(gfx::DeviceRequirements& r, const PassDescription& pass, const gfx::ShaderNeeds& n) {
  for (uint32_t i = 0; i < n.SampledPairCount; ++i) {
    const gfx::ShaderNeeds::SampledPair& pair = n.SampledPairs[i];
    const PassSlot* slot = textureSlot(pass, pair.TextureRegister);
    if (slot == nullptr || pair.SamplerRegister >= pass.samplers.size()) continue;
    if (pass.samplers[pair.SamplerRegister].filter & kFilterLinearMinMag)
      addFormat(r.LinearFilteredFormats, &r.LinearFilteredFormatCount, slot->format);
  }
  for (const PassSlot& slot : pass.slots)
    if (slot.kind == SlotKind::StorageTexture) addFormat(r.StorageImageFormats, &r.StorageImageFormatCount, slot.format);
}

}  // namespace

gfx::DeviceRequirements deviceRequirementsOf(std::span<const PassDescription* const> passes, uint32_t imageSide) {
  gfx::DeviceRequirements r;
  r.ImageSide = imageSide;
  for (const PassDescription* pass : passes) {
    gfx::ShaderBytecode code;
    code.pShaderBytecode = pass->shader.bytes;
    code.BytecodeLength = pass->shader.size;
    gfx::ShaderNeeds needs;
    if (gfx::Failed(gfx::ReflectShaderNeeds(code, &needs))) continue;
    addShaderNeeds(r, needs);
    addPassFormats(r, *pass, needs);
  }
  return r;
}
