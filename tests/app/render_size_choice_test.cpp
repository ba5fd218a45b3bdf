// The render size chosen for a CPU device: the ladder of sizes, and the walks up it over the
// first frames and down it at the second scene, on a machine simulated by a cost per frame.
#include "app/render_size_choice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "shaders/ParticleConfig.h"

namespace {

std::vector<RenderSize> ladderOf(RenderSize own) {
  const auto ladder = renderSizeLadder(own);
  return std::vector<RenderSize>(ladder.begin(), ladder.end());
}

TEST(RenderSizeLadder, HalvesAndThirdsWithWidthsOfWholeGroups) {
  EXPECT_EQ(ladderOf({960, 540}), (std::vector<RenderSize>{{960, 540}, {480, 270}, {320, 180}, {160, 90}}));
  EXPECT_EQ(ladderOf({1920, 1080}), (std::vector<RenderSize>{
                                        {1920, 1080}, {960, 540}, {640, 360}, {480, 270}, {320, 180}, {160, 90}}));
  EXPECT_EQ(ladderOf({1280, 720}), (std::vector<RenderSize>{{1280, 720}, {640, 360}, {320, 180}, {160, 90}}));
  // Nothing smaller than 36 rows, nothing that is not a whole division.
  EXPECT_EQ(ladderOf({64, 36}), (std::vector<RenderSize>{{64, 36}}));
  EXPECT_EQ(ladderOf({992, 557}), (std::vector<RenderSize>{{992, 557}}));
}

// A machine whose frame takes `costMs(size, timeline frame)`, the music clock showing the
// timeline frame of the time passed (60 a second): it skips frames when slower and holds them
// when faster. Runs until the timeline frame `until`,
// applying every resize; returns the sizes rendered, in order, and the lines said.
struct Simulated {
  std::vector<RenderSize> sizes;
  std::vector<std::string> said;
  std::vector<uint32_t> resizedAt;  // the timeline frames after which a resize came
};

Simulated simulate(RenderSize own, const std::function<double(RenderSize, uint32_t)>& costMs, uint32_t until) {
  RenderSizeChoice choice = startRenderSizeChoice(own);
  RenderSize size = choice.ladder[choice.rung];
  Simulated run{{size}, {}, {}};
  const double start = 1000.0;
  double now = start;
  for (uint32_t frame = 0; frame < until;) {
    now = std::max(now, start + frame * 1000.0 / 60.0);  // the music clock holds a frame until its time
    now += costMs(size, frame);
    const ChoiceStep step = renderSizeAfterFrame(choice, now, frame);
    if (step.resize) {
      size = step.size;
      run.sizes.push_back(size);
      run.resizedAt.push_back(frame);
    }
    if (step.decided) run.said.push_back(step.say);
    frame = std::max(frame + 1, uint32_t((now - start) * 60.0 / 1000.0));
  }
  return run;
}

// Frame time in ms: a fixed part and a part per thousand pixels, the second scene three times
// as dear per pixel.
std::function<double(RenderSize, uint32_t)> machine(double fixedMs, double msPerKilopixel) {
  return [=](RenderSize s, uint32_t frame) {
    const double scene = frame >= kSceneSetUpFrame ? 3.0 : 1.0;
    return fixedMs + scene * msPerKilopixel * double(s.width) * s.height / 1000.0;
  };
}

TEST(RenderSizeChoice, WalksUpWhileFastEnoughAndTakesTheLargestThatWas) {
  // 320x180 takes 8 + 57.6 * 0.4 = 31 ms (32 per second), 480x270 60 ms.
  const Simulated run = simulate({960, 540}, machine(8.0, 0.4), kSceneSetUpFrame - 100);
  EXPECT_EQ(run.sizes, (std::vector<RenderSize>{{160, 90}, {320, 180}, {480, 270}, {320, 180}}));
  ASSERT_EQ(run.said.size(), 1u);
  EXPECT_EQ(run.said[0], "rendering at 320x180, the largest size that keeps 30 pictures a second here (32; 480x270 gave 17)");
  // All while the picture is still black (the first scene lights up from frame 439).
  EXPECT_LT(run.resizedAt.back(), 439u);
}

TEST(RenderSizeChoice, KeepsTheProgramsOwnSizeOnAFastMachineAndTheSmallestOnASlowOne) {
  Simulated run = simulate({960, 540}, machine(2.0, 0.01), 1000);
  EXPECT_EQ(run.sizes.back(), (RenderSize{960, 540}));
  ASSERT_EQ(run.said.size(), 1u);
  EXPECT_NE(run.said[0].find("960x540, the program's own size"), std::string::npos) << run.said[0];

  run = simulate({960, 540}, machine(50.0, 1.0), 1000);
  EXPECT_EQ(run.sizes, (std::vector<RenderSize>{{160, 90}}));
  ASSERT_EQ(run.said.size(), 1u);
  EXPECT_EQ(run.said[0], "rendering at 160x90, the smallest size tried: 16 pictures a second here, fewer than 30");
}

TEST(RenderSizeChoice, LooksAgainOnlyAtTheSecondSceneAndWalksDownThere) {
  // The first scene keeps 320x180 (21 ms a frame); the second takes 56 ms there, 17 at 160x90.
  const Simulated run = simulate({960, 540}, machine(4.0, 0.3), kSceneSetUpFrame + 300);
  ASSERT_EQ(run.said.size(), 2u);
  EXPECT_NE(run.said[0].find("rendering at 320x180"), std::string::npos) << run.said[0];
  EXPECT_EQ(run.said[1], "the second scene: rendering at 160x90 (320x180 gave 18 pictures a second there)");
  EXPECT_EQ(run.sizes.back(), (RenderSize{160, 90}));
  // No change between the first choice and the second scene, and the second soon after it.
  ASSERT_GE(run.resizedAt.size(), 2u);
  EXPECT_LT(run.resizedAt[run.resizedAt.size() - 2], 439u);
  EXPECT_GE(run.resizedAt.back(), kSceneSetUpFrame);
  EXPECT_LT(run.resizedAt.back(), kSceneSetUpFrame + 60);

  // A second scene fast enough at the size chosen changes nothing.
  const Simulated steady = simulate({960, 540}, machine(2.0, 0.01), kSceneSetUpFrame + 300);
  EXPECT_EQ(steady.said.size(), 1u);
  EXPECT_EQ(steady.sizes.back(), (RenderSize{960, 540}));
  for (uint32_t at : steady.resizedAt) EXPECT_LT(at, 439u);
}

}  // namespace
