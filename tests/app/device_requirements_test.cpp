// What the presentation needs of a device, read off its passes' shaders and descriptions
// (no device): the numbers must follow the shaders, so that the check at start-up refuses
// exactly the devices that could not run them.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "app/frame_passes.h"
#include "app/presentation.h"
#include "audio/music_synthesis_pass.h"
#include "gpu/device_requirements.h"
#include "platform_test_shaders.h"
#include "shader_blobs.h"

namespace {

uint32_t slotsOf(const PassDescription& pass, SlotKind kind) {
  return uint32_t(std::count_if(pass.slots.begin(), pass.slots.end(), [&](const PassSlot& s) { return s.kind == kind; }));
}

std::set<gfx::Format> formats(const gfx::Format* list, uint32_t count) { return {list, list + count}; }

TEST(DeviceRequirements, ThePresentationsFollowItsShadersAndPasses) {
  PresentationOptions options;
  options.renderWidth = 1920;
  options.renderHeight = 1080;
  options.outputWidth = 3840;
  options.outputHeight = 2160;
  const gfx::DeviceRequirements r = presentationDeviceRequirements(options);
  // The image passes' square groups, the largest of all.
  EXPECT_EQ(r.ComputeGroupSize[1], kImageGroupSide);
  EXPECT_GE(r.ComputeGroupInvocations, kImageGroupSide * kImageGroupSide);
  EXPECT_GE(r.ComputeGroupSize[0], kImageGroupSide);
  EXPECT_EQ(r.ComputeGroupSize[2], 1u);
  // The depth of field's preparation keeps three values per pixel of its tile in groupshared memory.
  EXPECT_GE(r.ComputeGroupSharedBytes, 3 * kImageGroupSide * kImageGroupSide * 4);
  // The spiral's and the tiles' tables are read as constant buffers.
  EXPECT_EQ(r.ConstantBufferBytes, std::max({kDepthOfFieldSpiralBytes, kDepthOfFieldTileBytes,
                                             kSphereBvhRecords * kSphereBvhRecordBytes}));
  EXPECT_EQ(r.StorageImagesPerStage, slotsOf(kScenePass, SlotKind::StorageTexture));
  EXPECT_EQ(r.SampledImagesPerStage, slotsOf(kTemporalPass, SlotKind::Texture));
  EXPECT_EQ(r.SamplersPerStage, uint32_t(kTemporalPass.samplers.size()));
  EXPECT_EQ(r.ConstantBuffersPerStage, slotsOf(kScenePass, SlotKind::Constants));
  EXPECT_TRUE(r.StorageImageWriteWithoutFormat);  // one shader writes images of several formats
  // The hierarchy walk votes; branch constants read the first lane (a ballot operation), in
  // compute shaders and in the final pass.
  EXPECT_EQ(r.ComputeSubgroupOperations & gfx::SUBGROUP_OPERATION_VOTE, gfx::SUBGROUP_OPERATION_VOTE);
  EXPECT_EQ(r.ComputeSubgroupOperations & gfx::SUBGROUP_OPERATION_BALLOT, gfx::SUBGROUP_OPERATION_BALLOT);
  EXPECT_EQ(r.PixelSubgroupOperations & gfx::SUBGROUP_OPERATION_BALLOT, gfx::SUBGROUP_OPERATION_BALLOT);
  // The history, its moments, the previous normals and depth, the depth of field's input and
  // the title all meet a linear filter; every float format the frame writes is a storage image.
  const std::set<gfx::Format> linear = {gfx::FORMAT_R16G16B16A16_FLOAT, gfx::FORMAT_R32G32B32A32_FLOAT,
                                        gfx::FORMAT_R32_FLOAT, gfx::FORMAT_R8G8B8A8_UNORM};
  EXPECT_EQ(formats(r.LinearFilteredFormats, r.LinearFilteredFormatCount), linear);
  const std::set<gfx::Format> storage = {gfx::FORMAT_R16G16B16A16_FLOAT, gfx::FORMAT_R32G32B32A32_FLOAT,
                                         gfx::FORMAT_R32_FLOAT};
  EXPECT_EQ(formats(r.StorageImageFormats, r.StorageImageFormatCount), storage);
  EXPECT_EQ(r.ImageSide, 3840u);
}

// A texture needs linear filtering only where the shader samples it with a linear sampler.
TEST(DeviceRequirements, OnlyTexturesMetByALinearSamplerNeedLinearFiltering) {
  const PassSlot slots[] = {{SlotKind::Texture, "source", gfx::FORMAT_R32G32B32A32_FLOAT, 0},
                            {SlotKind::StorageTexture, "destination", gfx::FORMAT_R32_FLOAT, 0}};
  const PassSampler point[] = {{"pointSampler", gfx::FILTER_MIN_MAG_MIP_POINT, gfx::TEXTURE_ADDRESS_MODE_CLAMP}};
  const PassSampler linear[] = {{"pointSampler", gfx::FILTER_MIN_MAG_LINEAR_MIP_POINT, gfx::TEXTURE_ADDRESS_MODE_CLAMP}};
  PassDescription pass = {"sample_texture", PassStage::Compute, {kSampleTextureCS, kSampleTextureCSSize}, slots, point,
                          false, 0, 0};
  const PassDescription* passes[] = {&pass};
  gfx::DeviceRequirements r = deviceRequirementsOf(passes, 64);
  EXPECT_EQ(r.LinearFilteredFormatCount, 0u);
  EXPECT_EQ(formats(r.StorageImageFormats, r.StorageImageFormatCount), std::set<gfx::Format>{gfx::FORMAT_R32_FLOAT});
  EXPECT_EQ(r.ComputeGroupInvocations, 64u);  // 8 x 8
  pass.samplers = linear;
  r = deviceRequirementsOf(passes, 64);
  EXPECT_EQ(formats(r.LinearFilteredFormats, r.LinearFilteredFormatCount),
            std::set<gfx::Format>{gfx::FORMAT_R32G32B32A32_FLOAT});
}

// tarnix-music asks only what its one pass needs: no images, no filtering.
TEST(DeviceRequirements, TheMusicAloneNeedsNoImages) {
  const PassDescription* passes[] = {&kMusicSynthesisPass};
  const gfx::DeviceRequirements r = deviceRequirementsOf(passes, 64);
  EXPECT_GT(r.ComputeGroupInvocations, 0u);
  EXPECT_EQ(r.StorageImagesPerStage + r.SampledImagesPerStage + r.LinearFilteredFormatCount, 0u);
}

TEST(DeviceRequirements, DamagedBytecodeAsksNothing) {
  const uint32_t words[] = {0x07230203, 0x00010000, 0, 8, 0, 0x00FF0011};  // a word count past the end
  gfx::ShaderNeeds needs;
  needs.Stage = 99;
  gfx::ShaderBytecode code;
  code.pShaderBytecode = words;
  code.BytecodeLength = sizeof(words);
  EXPECT_TRUE(gfx::Failed(gfx::ReflectShaderNeeds(code, &needs)));
  EXPECT_EQ(needs.Stage, 0u);
}

}  // namespace
