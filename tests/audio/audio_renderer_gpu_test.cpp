// The music renderer on the real graphics device: the frame-by-frame hand-over and the
// synthesised samples against the C++ references of the music.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "audio/audio_renderer.h"
#include "gpu/descriptors.h"
#include "gpu/passes.h"
#include "gpu/render_app.h"
#include "support/reference/music.h"
#include "tests/audio/fake_wave_out.h"
#include "tests/support/gpu_test.h"
#include "tests/support/music_agreement.h"

namespace {

struct AudioRendererGpuTest : ::testing::Test {
  ValidationScope validation;  // any validation message fails the test
  DescriptorAllocator* heap = nullptr;
  BarrierBatch barriers = {};
  AudioRenderer* audio = nullptr;

  void SetUp() override {
    resetFakeWaveOut();
    createOffscreenDevice(64, 64);
    heap = createDescriptorAllocator(kDescriptorHeapCbvSrvUav, 16, kDescriptorHeapShaderVisible);
    audio = AudioRenderer::create(fakeWaveOutApi());
  }

  void TearDown() override {
    if (audio) AudioRenderer::shutdown(audio);
    waitForGpuIdle();
    destroyBarrierBatch(barriers);
    heap->heap->Release();
    free(heap);
    destroyDevice();
  }

  // One frame of the loop as far as the music is concerned.
  void frame() {
    gfx::GraphicsCommandList* commandList = beginFrame();
    audio->update();
    resetDescriptorAllocator(*heap);
    commandList->SetDescriptorHeaps(1, &heap->heap);
    if (audio->state != AudioState::Streaming) audio->render(commandList, *heap, barriers);
    if (!audio->streamer.playing.load()) audio->play();
    endFrame();
  }

  const float* floatSamples() const { return static_cast<const float*>(audio->streamer.samples); }
};

TEST_F(AudioRendererGpuTest, HandsThePieceOverOnTheThirdFrame) {
  EXPECT_EQ(audio->streamer.totalFrames, 7938000u);
  EXPECT_EQ(audio->totalBytes, 63504000u);
  audio->play();
  EXPECT_FALSE(audio->streamer.playing.load()) << "play before streaming does nothing";
  audio->update();
  EXPECT_EQ(audio->state, AudioState::Created) << "update before render does nothing";

  frame();
  EXPECT_EQ(audio->state, AudioState::Recorded);
  EXPECT_EQ(audio->streamer.samples, nullptr);
  frame();
  EXPECT_EQ(audio->state, AudioState::Signalled);
  frame();
  ASSERT_EQ(audio->state, AudioState::Streaming);
  EXPECT_EQ(audio->copyFence, nullptr);
  EXPECT_EQ(audio->fenceEvent, nullptr);
  EXPECT_TRUE(audio->streamer.playing.load()) << "the third frame's clock step starts playback";
  EXPECT_EQ(fakeWaveOut().prepared, WaveOutStreamer::kHeaderCount);

  // Every frame of the buffer was computed: around each gate of the arrangement, each frame is the
  // shader's arithmetic within float rounding; every second follows both references.
  const float* samples = floatSamples();
  EXPECT_EQ(samples[0], 0.0f);
  EXPECT_EQ(samples[1], 0.0f);
  std::vector<uint32_t> frames = {1000u, 20000u};
  for (uint32_t gate : {5u, 8u, 15u, 17u, 25u, 30u, 35u, 50u, 55u, 90u, 95u, 100u, 107u}) {
    frames.push_back(gate * 44100u - 37u);
    frames.push_back(gate * 44100u + 41u);
  }
  for (uint32_t i : frames) {
    reference::Vec2 expected = reference::makeSoundAtSample(i);
    EXPECT_NEAR(samples[2 * i], expected.x, 2e-5) << "frame " << i;
    EXPECT_NEAR(samples[2 * i + 1], expected.y, 2e-5) << "frame " << i;
  }
  // Within 0.05 % of the shader's arithmetic in every second, so two drivers within 0.1 % of
  // each other; as loud as the design's float arithmetic within 0.1 % in every second.
  MusicAgreement agreement = compareWithMusicReferences(samples);
  EXPECT_LE(agreement.worstDifference, 5e-4) << "second " << agreement.worstDifferenceSecond;
  EXPECT_LE(agreement.worstLoudness, 1e-3) << "second " << agreement.worstLoudnessSecond;
  // Within the clamp everywhere, audible mid-piece, silent from 107 s to the very last frame
  // (including the frames past the last whole 256-frame group).
  uint32_t outOfRange = 0, loudAfterEnd = 0;
  for (uint32_t i = 0; i < 2 * 7938000u; ++i) {
    if (!(std::fabs(samples[i]) <= 0.9f)) ++outOfRange;
    if (i >= 2 * 107u * 44100u && std::fabs(samples[i]) > 1e-7f) ++loudAfterEnd;
  }
  EXPECT_EQ(outOfRange, 0u);
  EXPECT_EQ(loudAfterEnd, 0u);
  double energy = 0;
  for (uint32_t i = 44100 * 30; i < 44100 * 31; ++i) energy += std::fabs(samples[2 * i]);
  EXPECT_GT(energy / 44100, 1e-3) << "the middle of the piece is not silent";
}

}  // namespace
