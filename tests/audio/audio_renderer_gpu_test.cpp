// The music renderer on the real graphics device: the frame-by-frame hand-over and the
// synthesised samples against the C++ reference of the music.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "app/render_app.h"
#include "audio/audio_renderer.h"
#include "gpu/descriptors.h"
#include "gpu/passes.h"
#include "tests/audio/fake_wave_out.h"
#include "tests/shaders/reference/music.h"
#include "tests/support/gpu_test.h"

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
  EXPECT_EQ(fakeWaveOut().prepared, 16u);

  // Every whole block was computed; compare across the piece with a tolerance (the
  // GPU's sine of a large phase differs visibly from the C++ one).
  const float* samples = floatSamples();
  for (uint32_t i : {0u, 1000u, 44100u * 12 + 7, 44100u * 40 + 123, 44100u * 75 + 999, 44100u * 106,
                     7937791u}) {
    reference::Vec2 expected = reference::makeSound(float(i) / 44100.0f);
    EXPECT_NEAR(samples[2 * i], expected.x, 2e-3) << "frame " << i;
    EXPECT_NEAR(samples[2 * i + 1], expected.y, 2e-3) << "frame " << i;
  }
  double energy = 0;
  for (uint32_t i = 44100 * 30; i < 44100 * 31; ++i) energy += std::fabs(samples[2 * i]);
  EXPECT_GT(energy / 44100, 1e-3) << "the middle of the piece is not silent";
}

}  // namespace
