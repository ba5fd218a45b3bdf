// The presentation on shaders whose every builtin sine reduces its argument in single-precision
// turns, as many GPUs do (shaders/gpu_like_sine.hlsli; this suite links those shaders in place of
// the program's): the music and the second scene as it is set stay where lavapipe's own sines put
// them, because nothing there depends on how a driver reduces a sine's argument.
#include "audio/audio_renderer.h"
#include "tests/app/golden_images.h"
#include "tests/support/music_agreement.h"

namespace {

TEST_F(PresentationTest, GpuLikeSinesKeepTheMusicAndTheSecondScene) {
  const GoldenFrame secondScene{3300, 64, 36, 50, 50};
  start(smallOffscreenOptions(secondScene.width, secondScene.height));
  runUntilPassesRecorded();
  ASSERT_EQ(p.audio->streamer.bitsPerSample, 32u);
  MusicAgreement music = compareWithMusicReferences(static_cast<const float*>(p.audio->streamer.samples));
  EXPECT_LE(music.worstDifference, 5e-4) << "second " << music.worstDifferenceSecond;
  EXPECT_LE(music.worstLoudness, 1e-3) << "second " << music.worstLoudnessSecond;

  runFrame(p);
  std::vector<uint8_t> rendered = renderGoldenFrame(p, secondScene), golden;
  uint32_t w = 0, h = 0;
  ASSERT_TRUE(readPng(goldenPath(secondScene), golden, w, h)) << goldenPath(secondScene);
  ASSERT_EQ(golden.size(), rendered.size());
  EXPECT_GE(psnr(rendered, golden), secondScene.psnrFloorDb) << "dB from the frame of lavapipe's sines";
}

}  // namespace
