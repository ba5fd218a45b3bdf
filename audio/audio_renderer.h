#pragma once
// The music is computed once, on the GPU, when the presentation starts: one dispatch of
// AudioProcessCS fills a buffer with the whole piece, a copy brings it into a readback
// buffer, and once the copy fence has passed the streamer (audio/wave_out_streamer.h)
// takes the samples and plays them. The frame loop drives it one step per frame:
//   frame 1  render  records the dispatch and the copy       Created   -> Recorded
//   frame 2  update  queues the copy fence's signal          Recorded  -> Signalled
//   frame 3  update  waits for it, hands the samples over    Signalled -> Streaming
// and its clock step calls play(), after which positionSeconds() is the music clock.
#include <cstdint>

#include "audio/wave_out_streamer.h"
#include "gpu/constant_block.h"
#include "gpu/descriptors.h"
#include "gpu/passes.h"
#include "gpu/pipeline.h"
#include "gpu/resources.h"
#include "platform/gfx.h"
#include "platform/wave_out.h"
#include "shaders/ParticleConfig.h"

enum class AudioState : uint32_t { Created = 0, Recorded = 1, Signalled = 2, Streaming = 3 };

struct AudioRenderer {
  AudioState state;
  uint32_t durationSeconds;  // 180
  uint32_t bytesPerFrame;    // float frames: 8, also when the device later takes 16-bit
  uint32_t totalBytes;       // totalFrames x bytesPerFrame
  ConstantBlock<AudioData>* params;
  Pipeline* pipeline;
  GpuBuffer* outputBuffer;    // default heap, written by the shader
  GpuBuffer* readbackBuffer;  // readback heap, the copy's destination
  gfx::Fence* copyFence;
  uint64_t fenceValue;
  gfx::Event* fenceEvent;
  // The playing half: playback flags, sample buffer, device and thread. It also holds
  // sampleRate, channels, bitsPerSample, totalFrames, blockFrames, playing and
  // playPosition, which both halves read.
  WaveOutStreamer streamer;

  // Construction: pipeline, buffers, fence and parameter block on RenderApp's device.
  // waveOut is the sound device (the system's one unless a test passes a fake).
  static AudioRenderer* create(const WaveOutApi* waveOut = systemWaveOutApi());

  // Records the music work into the frame's command list; only in state Created.
  void render(gfx::GraphicsCommandList* commandList, DescriptorAllocator& descriptorAllocator,
              BarrierBatch& barrierBatch);

  // Once per frame, right after the frame's command list is opened.
  void update();

  // In state Streaming: starts the piece from frame 0 unless it is playing already.
  void play();

  // Played seconds (the streamer's answer).
  double positionSeconds() { return streamer.positionSeconds(); }

  // Stops playback and the thread, releases everything and frees the record.
  static void shutdown(AudioRenderer*& renderer);
};
