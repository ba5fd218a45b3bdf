// The music renderer's bookkeeping against a recording graphics device: what it creates,
// the commands and views it records, the state steps of the hand-over, and what the
// streamer receives.
#include "audio/audio_renderer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/audio/fake_wave_out.h"
#include "tests/gpu/fake_gfx.h"

namespace {

struct Fence : fake::Counted<gfx::Fence> {
  uint64_t completed = 0;
  uint64_t initial = 0;
  gfx::UINT64 GetCompletedValue() override { return completed; }
  gfx::HRESULT Signal(gfx::UINT64 value) override {
    completed = value;
    return gfx::kOk;
  }
  gfx::HRESULT SetEventOnCompletion(gfx::UINT64, gfx::Event*) override { return gfx::kOk; }
  gfx::HRESULT Wait(gfx::UINT64, uint32_t) override { return gfx::kOk; }
};

// Signals complete at once: the "GPU" has always finished.
struct Queue : fake::Counted<gfx::CommandQueue> {
  std::vector<uint64_t> signals;
  void ExecuteCommandLists(gfx::UINT, gfx::GraphicsCommandList* const*) override {}
  gfx::HRESULT Signal(gfx::Fence* fence, gfx::UINT64 value) override {
    signals.push_back(value);
    return fence->Signal(value);
  }
  gfx::HRESULT Wait(gfx::Fence*, gfx::UINT64) override { return gfx::kOk; }
};

struct Device : fake::Device {
  Fence* lastFence = nullptr;
  gfx::UnorderedAccessViewDesc uav = {};
  gfx::ConstantBufferViewDesc cbv = {};
  gfx::HRESULT CreateFence(gfx::UINT64 initial, gfx::FenceFlags, gfx::Fence** fence) override {
    lastFence = new Fence;
    lastFence->initial = lastFence->completed = initial;
    *fence = lastFence;
    return gfx::kOk;
  }
  void CreateUnorderedAccessView(gfx::Resource* r, gfx::Resource* c, const gfx::UnorderedAccessViewDesc* d,
                                 gfx::CpuDescriptorHandle h) override {
    uav = *d;
    fake::Device::CreateUnorderedAccessView(r, c, d, h);
  }
  void CreateConstantBufferView(const gfx::ConstantBufferViewDesc* d, gfx::CpuDescriptorHandle h) override {
    cbv = *d;
    fake::Device::CreateConstantBufferView(d, h);
  }
};

struct CommandList : fake::CommandList {
  void Dispatch(gfx::UINT x, gfx::UINT y, gfx::UINT z) override {
    add("dispatch " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(z));
  }
};

struct AudioRendererTest : ::testing::Test {
  fake::DeviceScope scope;
  Device* device = new Device;
  Queue* queue = new Queue;
  CommandList commandList;
  DescriptorAllocator allocator = {nullptr, 0x10000, 0x20000, 32, 0, 8};
  BarrierBatch barriers = {};
  AudioRenderer* audio = nullptr;
  int liveBefore = 0;

  void SetUp() override {
    resetFakeWaveOut();
    // The scope's device is replaced by the one that makes fences.
    scope.device->Release();
    scope.device = device;
    renderApp.device = device;
    renderApp.queue = queue;
    liveBefore = fake::liveResources;
    audio = AudioRenderer::create(fakeWaveOutApi());
  }
  void TearDown() override {
    if (audio) AudioRenderer::shutdown(audio);
    // Everything went to the deferred release; once released, nothing may be left.
    for (auto& list : renderApp.deferredReleases)
      for (gfx::Object*& object : list)
        if (object) object->Release(), object = nullptr;
    EXPECT_EQ(fake::liveResources, liveBefore);
    destroyBarrierBatch(barriers);
    renderApp.queue = nullptr;
    queue->Release();
  }
  fake::Resource* readback() { return static_cast<fake::Resource*>(audio->readbackBuffer->resource.resource); }
};

TEST_F(AudioRendererTest, CreatesTheBuffersAndTheNamedFence) {
  EXPECT_EQ(audio->totalBytes, 63504000u);
  EXPECT_EQ(audio->outputBuffer->resource.state, kStateUnorderedAccess);
  EXPECT_EQ(audio->readbackBuffer->resource.state, kStateCopyDest);
  EXPECT_GE(audio->readbackBuffer->size, 63504000u);
  ASSERT_EQ(audio->copyFence, device->lastFence);
  EXPECT_EQ(device->lastFence->initial, 0u);
  EXPECT_EQ(device->lastFence->name, "AudioRenderer::copyFence");
}

TEST_F(AudioRendererTest, RenderRecordsOneDispatchAndTheCopyOnlyOnce) {
  audio->render(&commandList, allocator, barriers);
  const std::vector<std::string> expected = {
      "barrier 1->1024", "copy", "barrier 1024->1",  // parameters into the constant buffer
      "pipeline", "computeRoot", "computeTable", "dispatch 31008 1 1",
      "barrier 8->2048", "copy",  // unordered access -> copy source orders dispatch before copy
  };
  EXPECT_EQ(commandList.log, expected);
  EXPECT_EQ(audio->state, AudioState::Recorded);
  EXPECT_EQ(allocator.used, 2u);
  EXPECT_EQ(device->uav.Buffer.NumElements, 7938000u);
  EXPECT_EQ(device->uav.Buffer.StructureByteStride, 8u);
  EXPECT_EQ(device->uav.Buffer.FirstElement, 0u);
  EXPECT_EQ(device->cbv.SizeInBytes, 256u);
  EXPECT_EQ(audio->outputBuffer->resource.state, kStateCopySource);

  audio->render(&commandList, allocator, barriers);
  EXPECT_EQ(commandList.log.size(), expected.size()) << "a second render records nothing";
}

TEST_F(AudioRendererTest, HandOverStepsAndSamplesReachTheStreamer) {
  audio->update();
  EXPECT_EQ(audio->state, AudioState::Created) << "update before render does nothing";
  audio->play();
  EXPECT_FALSE(audio->streamer.playing.load()) << "play before streaming does nothing";

  audio->render(&commandList, allocator, barriers);
  float* gpu = reinterpret_cast<float*>(readback()->memory.data());
  gpu[0] = 0.25f;
  gpu[2 * 7937791 + 1] = -0.75f;

  audio->update();
  EXPECT_EQ(audio->state, AudioState::Signalled);
  EXPECT_EQ(queue->signals, std::vector<uint64_t>{1});
  EXPECT_EQ(audio->streamer.samples, nullptr);

  audio->update();
  ASSERT_EQ(audio->state, AudioState::Streaming);
  EXPECT_EQ(audio->copyFence, nullptr);
  EXPECT_EQ(audio->fenceEvent, nullptr);
  EXPECT_NE(audio->streamer.thread.handle, 0u);
  const float* samples = static_cast<const float*>(audio->streamer.samples);
  EXPECT_EQ(samples[0], 0.25f);
  EXPECT_EQ(samples[2 * 7937791 + 1], -0.75f);
  EXPECT_EQ(fakeWaveOut().prepared, WaveOutStreamer::kHeaderCount);

  audio->update();
  EXPECT_EQ(queue->signals.size(), 1u) << "streaming: update does nothing";
  audio->play();
  EXPECT_TRUE(audio->streamer.playing.load());
}

TEST_F(AudioRendererTest, UnmappableReadbackPlaysSilence) {
  audio->render(&commandList, allocator, barriers);
  std::memset(readback()->memory.data(), 0x7F, 1024);
  readback()->failMap = true;
  audio->update();
  audio->update();
  ASSERT_EQ(audio->state, AudioState::Streaming);
  const float* samples = static_cast<const float*>(audio->streamer.samples);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(samples[i], 0.0f) << i;
}

}  // namespace
