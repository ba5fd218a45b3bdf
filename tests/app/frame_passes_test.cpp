// The frame's pass descriptions give the root signatures and descriptor counts the frame
// has always used, and a description that splits a register class is refused.
#include "app/frame_passes.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/fatal.h"

namespace {

struct Expected {
  const PassDescription* pass;
  std::vector<std::pair<uint32_t, uint32_t>> ranges;  // range type, descriptors
  uint32_t samplers;
  bool constants;
  uint32_t descriptors;
};

TEST(FramePasses, GiveTheRootSignaturesAndCountsTheFrameUses) {
  const uint32_t srv = kRangeSrv, uav = kRangeUav, cbv = kRangeCbv;
  const Expected expected[] = {
      {&kParticleSimulationPass, {{uav, 1}, {cbv, 2}}, 0, false, 3},
      {&kSphereBvhBuildPass, {{srv, 1}, {uav, 1}, {cbv, 1}}, 0, false, 3},
      {&kScenePass, {{srv, 1}, {uav, 5}, {cbv, 4}}, 0, false, 10},
      {&kTemporalPass, {{srv, 11}, {uav, 3}, {cbv, 1}}, 2, false, 15},
      {&kAtrousPass, {{srv, 5}, {uav, 1}}, 0, true, 7},
      {&kDepthOfFieldPreparePass, {{srv, 2}, {uav, 3}, {cbv, 1}}, 0, false, 6},
      {&kDepthOfFieldPass, {{srv, 3}, {cbv, 3}}, 1, false, 6},
      {&kFinalPass, {{srv, 2}, {cbv, 1}}, 1, false, 3},
      {&kToneMapPass, {{srv, 1}, {uav, 1}, {cbv, 1}}, 0, false, 3},
      {&kScaleToBackbufferPass, {{srv, 3}, {cbv, 1}}, 1, false, 4},
  };
  for (const Expected& e : expected) {
    RootSignatureBuilder builder = rootSignatureOf(*e.pass);
    ASSERT_EQ(builder.parameterCount, e.constants ? 2u : 1u) << e.pass->name;
    EXPECT_EQ(builder.staticSamplerCount, e.samplers) << e.pass->name;
    ASSERT_EQ(builder.ranges.count, e.ranges.size()) << e.pass->name;
    for (size_t r = 0; r < e.ranges.size(); ++r) {
      EXPECT_EQ(uint32_t(builder.ranges[r].RangeType), e.ranges[r].first) << e.pass->name << " range " << r;
      EXPECT_EQ(builder.ranges[r].NumDescriptors, e.ranges[r].second) << e.pass->name << " range " << r;
      EXPECT_EQ(builder.ranges[r].BaseShaderRegister, 0u) << e.pass->name << " range " << r;
    }
    const uint32_t visibility = e.pass->stage == PassStage::Pixel ? kVisibilityPixel : kVisibilityAll;
    EXPECT_EQ(uint32_t(builder.parameters[0].ShaderVisibility), visibility) << e.pass->name;
    EXPECT_EQ(descriptorCount(*e.pass), e.descriptors) << e.pass->name;
    destroyRootSignatureBuilder(builder);
  }
  EXPECT_EQ(frameDescriptorCount(0), 46u);
  EXPECT_EQ(frameDescriptorCount(2), 46u + 14u);
  EXPECT_EQ(frameDescriptorCount(2, true), 50u + 14u);
}

TEST(FramePasses, ARegisterClassSplitInTwoIsRefused) {
  const PassSlot slots[] = {{SlotKind::Texture, "a", 0, 0},
                            {SlotKind::Constants, "b", 0, 0},
                            {SlotKind::Texture, "c", 0, 0}};
  PassDescription pass = kTemporalPass;
  pass.name = "Split";
  pass.slots = slots;
  pass.samplers = {};
  EXPECT_FATAL(rootSignatureOf(pass), "ASSERT: Pass Split: slot c splits its register class");
  EXPECT_EQ(registerOf(pass, 2), 1u);
}

}  // namespace
