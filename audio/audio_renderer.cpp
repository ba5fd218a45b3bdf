#include "audio/audio_renderer.h"

#include <cstdlib>

#include "audio/music_synthesis_pass.h"
#include "base/diagnostics.h"
#include "gpu/render_app.h"
#include "platform/os.h"
#include "shader_blobs.h"
#include "shaders/music_constants.h"

namespace {

constexpr uint32_t kDurationSeconds = 180;
constexpr uint32_t kSampleRate = kMusicSampleRate;  // the rate the shader counts its phases at
constexpr uint32_t kChannels = 2;
constexpr uint32_t kBlockFrames = 256;
constexpr uint32_t kGroupSize = 256;       // AudioProcessCS's numthreads
constexpr uint32_t kShutdownDrainMs = 300;  // lets the queued blocks (~93 ms) play out

}  // namespace


AudioRenderer* AudioRenderer::create(const WaveOutApi* waveOut) {
  auto* renderer = new AudioRenderer();

  // Constants; playing false, running true (the streamer's defaults).
  renderer->state = AudioState::Created;
  renderer->durationSeconds = kDurationSeconds;
  WaveOutStreamer& streamer = renderer->streamer;
  streamer.api = waveOut;
  streamer.sampleRate = kSampleRate;
  streamer.channels = kChannels;
  streamer.bitsPerSample = 32;

  renderer->pipeline = createComputePass(kMusicSynthesisPass);
  if (!renderer->pipeline) PANIC("Failed to create the AudioProcessCS pipeline\n");

  // Sizes, always in float frames.
  streamer.totalFrames = renderer->durationSeconds * streamer.sampleRate;
  renderer->bytesPerFrame = streamer.bitsPerSample / 8 * streamer.channels;
  renderer->totalBytes = streamer.totalFrames * renderer->bytesPerFrame;

  // The shader's output and the copy's destination.
  renderer->outputBuffer = createBuffer(renderer->totalBytes, BufferType::Storage, nullptr, false, 0);
  renderer->readbackBuffer = createBuffer(renderer->totalBytes, BufferType::Readback, nullptr, false, 0);

  // The hand-over fence and its event.
  if (gfx::Failed(renderApp.device->CreateFence(0, gfx::FENCE_FLAG_NONE, &renderer->copyFence)) ||
      !renderer->copyFence)
    PANIC("Failed to create fence\n");
  renderer->copyFence->SetName("AudioRenderer::copyFence");
  renderer->fenceValue = 0;
  renderer->fenceEvent = gfx::CreateFenceEvent();
  if (!renderer->fenceEvent) PANIC("Failed to create fence event\n");

  // The shader's parameters.
  renderer->params = new ConstantBlock<AudioData>();
  createConstantBlock(*renderer->params);
  renderer->params->data.duration = float(renderer->durationSeconds);
  renderer->params->data.sampleRate = streamer.sampleRate;

  // The streamer's block size.
  streamer.blockFrames = kBlockFrames;
  return renderer;
}

void AudioRenderer::render(gfx::GraphicsCommandList* commandList, DescriptorAllocator& descriptorAllocator,
                           BarrierBatch& barrierBatch) {
  if (state != AudioState::Created) return;

  SingleBarrierBatch parameterBarriers = {};
  updateConstantBlock(*params, commandList, &parameterBarriers);

  // Rounded up, so the last totalFrames mod 256 frames are computed too (the shader skips
  // threads past the buffer's end): no frame of the buffer is left holding stale memory.
  const PassResource resources[] = {boundBuffer(*outputBuffer, streamer.totalFrames), boundConstants(*params)};
  recordComputePass(commandList, kMusicSynthesisPass, *pipeline, resources, descriptorAllocator, barrierBatch,
                    (streamer.totalFrames + kGroupSize - 1) / kGroupSize, 1);

  // The transition orders the dispatch before the copy.
  requestTransition(barrierBatch, outputBuffer->resource, kStateCopySource);
  flush(barrierBatch, commandList);
  commandList->CopyResource(readbackBuffer->resource.resource, outputBuffer->resource.resource);
  flush(barrierBatch, commandList);

  state = AudioState::Recorded;
}

void AudioRenderer::update() {
  switch (state) {
    case AudioState::Recorded:
      // Queued behind the command list of the frame render ran in.
      fenceValue += 1;
      renderApp.queue->Signal(copyFence, fenceValue);
      state = AudioState::Signalled;
      return;

    case AudioState::Signalled: {
      if (copyFence->GetCompletedValue() < fenceValue) {
        copyFence->SetEventOnCompletion(fenceValue, fenceEvent);
        fenceEvent->WaitForSingleObject();
      }
      // A failed allocation is retried next frame.
      streamer.samples = malloc(totalBytes);
      if (!streamer.samples) return;

      void* mapped = nullptr;
      gfx::Resource* readback = readbackBuffer->resource.resource;
      bool isMapped = !gfx::Failed(readback->Map(0, nullptr, &mapped)) && mapped;
      // Unmapped, the piece plays as silence rather than as whatever memory held.
      streamer.openDevice(isMapped ? static_cast<const float*>(mapped) : nullptr);
      if (isMapped) {
        gfx::Range nothingWritten = {0, 0};
        readback->Unmap(0, &nothingWritten);
      }

      copyFence->Release();
      copyFence = nullptr;
      gfx::CloseHandle(fenceEvent);
      fenceEvent = nullptr;

      streamer.startThread();
      state = AudioState::Streaming;
      return;
    }

    case AudioState::Created:
    case AudioState::Streaming:
      return;
  }
}

void AudioRenderer::play() {
  if (state != AudioState::Streaming) return;
  streamer.play();
}

void AudioRenderer::shutdown(AudioRenderer*& renderer) {
  if (!renderer) return;
  // Stops playback (when streaming), pauses so the queued blocks finish, stops the
  // thread (a thread never started is not waited for) and takes the device back.
  renderer->streamer.shutdown(kShutdownDrainMs);

  releasePipeline(renderer->pipeline);
  releaseBuffer(renderer->outputBuffer);
  releaseBuffer(renderer->readbackBuffer);
  if (renderer->copyFence) {
    renderer->copyFence->Release();
    renderer->copyFence = nullptr;
  }
  if (renderer->fenceEvent) {
    gfx::CloseHandle(renderer->fenceEvent);
    renderer->fenceEvent = nullptr;
  }
  destroyConstantBlock(*renderer->params);
  delete renderer->params;
  free(renderer->streamer.samples);
  delete renderer;
  renderer = nullptr;
}
