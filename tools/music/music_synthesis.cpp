#include "tools/music/music_synthesis.h"

#include <algorithm>

#include "audio/audio_renderer.h"
#include "audio/music_synthesis_pass.h"
#include "base/diagnostics.h"
#include "gpu/descriptors.h"
#include "gpu/device_requirements.h"
#include "gpu/passes.h"
#include "gpu/render_app.h"

namespace {

// The renderer reaches its read-back state on the second frame; a few spare frames
// cover nothing but a broken renderer, which is then reported rather than waited on.
constexpr uint32_t kMaxSynthesisFrames = 8;
// The offscreen swap chain's side: nothing is drawn.
constexpr uint32_t kDeviceSide = 64;

BarrierBatch barriers = {};

void musicFrame(MusicSession& session) {
  gfx::GraphicsCommandList* commandList = beginFrame();
  session.renderer->update();
  resetDescriptorAllocator(*session.heap);
  commandList->SetDescriptorHeaps(1, &session.heap->heap);
  session.renderer->render(commandList, *session.heap, barriers);
  endFrame();
}

}  // namespace

gfx::DeviceRequirements musicDeviceRequirements() {
  const PassDescription* const passes[] = {&kMusicSynthesisPass};
  return deviceRequirementsOf(passes, kDeviceSide);
}

void openMusicDevice(MusicSession& session, const char* device) {
  DeviceChoice choice;
  choice.requirements = musicDeviceRequirements();
  choice.device = device;
  createOffscreenDevice(kDeviceSide, kDeviceSide, choice);
  session.heap = createDescriptorAllocator(kDescriptorHeapCbvSrvUav, 16, kDescriptorHeapShaderVisible);
  // Nothing is opened until the hand-over, which only startMusicPlayback asks for.
  session.renderer = AudioRenderer::create(systemWaveOutApi());
}

void synthesiseMusic(MusicSession& session) {
  if (session.renderer == nullptr) openMusicDevice(session);
  AudioRenderer& renderer = *session.renderer;

  for (uint32_t frame = 0; renderer.state != AudioState::Signalled; ++frame) {
    if (frame == kMaxSynthesisFrames) PANIC("The music renderer did not reach its read-back state\n");
    musicFrame(session);
  }
  if (renderer.copyFence->GetCompletedValue() < renderer.fenceValue) {
    renderer.copyFence->SetEventOnCompletion(renderer.fenceValue, renderer.fenceEvent);
    renderer.fenceEvent->WaitForSingleObject();
  }

  WaveOutStreamer& streamer = renderer.streamer;
  session.frames = streamer.totalFrames;
  session.channels = streamer.channels;
  session.sampleRate = streamer.sampleRate;
  size_t sampleCount = size_t(session.frames) * session.channels;
  session.samples.assign(sampleCount, 0.0f);

  gfx::Resource* readback = renderer.readbackBuffer->resource.resource;
  void* mapped = nullptr;
  if (gfx::Failed(readback->Map(0, nullptr, &mapped)) || !mapped) PANIC("Failed to map the music's read-back buffer\n");
  std::copy_n(static_cast<const float*>(mapped), size_t(session.frames) * session.channels, session.samples.data());
  gfx::Range nothingWritten = {0, 0};
  readback->Unmap(0, &nothingWritten);
}

bool startMusicPlayback(MusicSession& session) {
  AudioRenderer& renderer = *session.renderer;
  renderer.update();  // Signalled -> Streaming: opens the device, starts the thread
  if (renderer.state != AudioState::Streaming || renderer.streamer.silent) return false;
  renderer.play();
  return true;
}

double musicPositionSeconds(MusicSession& session) { return session.renderer->positionSeconds(); }

double musicEndSeconds(const MusicSession& session) {
  const WaveOutStreamer& streamer = session.renderer->streamer;
  return double(streamer.endFrame()) / double(streamer.sampleRate);
}

void shutdownMusic(MusicSession& session) {
  if (session.renderer) AudioRenderer::shutdown(session.renderer);
  waitForGpuIdle();
  destroyBarrierBatch(barriers);
  if (session.heap) {
    session.heap->heap->Release();
    free(session.heap);
    session.heap = nullptr;
  }
  destroyDevice();
  session.samples.clear();
  session.samples.shrink_to_fit();
}
