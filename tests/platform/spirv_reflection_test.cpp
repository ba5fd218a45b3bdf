// The bindings read from SPIR-V decide each pipeline's descriptor set layout: a wrong kind
// or number here would bind the wrong descriptor type at every Dispatch and Draw.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/vulkan/vk_internal.h"
#include "platform_test_shaders.h"

namespace {

using gfx::vk::reflectSpirv;
using gfx::vk::ShaderBinding;

const ShaderBinding* find(const std::vector<ShaderBinding>& bindings, uint32_t binding) {
  auto it = std::find_if(bindings.begin(), bindings.end(), [&](const ShaderBinding& b) { return b.binding == binding; });
  return it == bindings.end() ? nullptr : &*it;
}

TEST(SpirvReflection, RegisterClassesLandAtTheirBindingBasesWithTheirKinds) {
  auto compute = reflectSpirv(kWriteBufferCS, kWriteBufferCSSize);
  ASSERT_TRUE(compute.error.empty()) << compute.error;
  ASSERT_EQ(compute.bindings.size(), 2u);
  ASSERT_NE(find(compute.bindings, gfx::kBindingUavBase), nullptr);
  EXPECT_EQ(find(compute.bindings, gfx::kBindingUavBase)->type, VK_DESCRIPTOR_TYPE_STORAGE_BUFFER);
  ASSERT_NE(find(compute.bindings, gfx::kBindingCbvBase), nullptr);
  EXPECT_EQ(find(compute.bindings, gfx::kBindingCbvBase)->type, VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER);
  EXPECT_TRUE(compute.usesPushConstants);  // the root constants

  auto sampling = reflectSpirv(kSampleTextureCS, kSampleTextureCSSize);
  ASSERT_TRUE(sampling.error.empty()) << sampling.error;
  ASSERT_EQ(sampling.bindings.size(), 3u);
  EXPECT_EQ(find(sampling.bindings, gfx::kBindingSrvBase)->type, VK_DESCRIPTOR_TYPE_SAMPLED_IMAGE);
  EXPECT_EQ(find(sampling.bindings, gfx::kBindingSamplerBase)->type, VK_DESCRIPTOR_TYPE_SAMPLER);
  EXPECT_EQ(find(sampling.bindings, gfx::kBindingUavBase)->type, VK_DESCRIPTOR_TYPE_STORAGE_IMAGE);
  EXPECT_FALSE(sampling.usesPushConstants);

  auto vertex = reflectSpirv(kFullscreenVS, kFullscreenVSSize);
  EXPECT_TRUE(vertex.error.empty() && vertex.bindings.empty());
  auto pixel = reflectSpirv(kFillPS, kFillPSSize);
  ASSERT_EQ(pixel.bindings.size(), 1u);
  EXPECT_EQ(pixel.bindings[0].type, VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER);
}

TEST(SpirvReflection, DamagedModulesAreRefusedNotRead) {
  EXPECT_FALSE(reflectSpirv(nullptr, 0).error.empty());
  EXPECT_FALSE(reflectSpirv(kFillPS, 7).error.empty());  // not whole words
  std::vector<uint8_t> bytes(kFillPS, kFillPS + kFillPSSize);
  bytes[0] ^= 0xFF;  // magic number
  EXPECT_FALSE(reflectSpirv(bytes.data(), bytes.size()).error.empty());
  // Cut in the middle of an instruction: the word count points past the end.
  for (size_t cut : {size_t(24), kFillPSSize / 2, kFillPSSize - 4}) {
    std::vector<uint8_t> truncated(kFillPS, kFillPS + (cut & ~size_t(3)));
    auto result = reflectSpirv(truncated.data(), truncated.size());
    EXPECT_TRUE(!result.error.empty() || result.bindings.size() <= 1) << "cut at " << cut;
  }
  // A zero word count must not loop forever.
  std::vector<uint32_t> words(8, 0);
  words[0] = 0x07230203;
  EXPECT_FALSE(reflectSpirv(words.data(), words.size() * 4).error.empty());
}

}  // namespace
