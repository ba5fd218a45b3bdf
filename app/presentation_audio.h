#pragma once
// The presentation's few uses of the music renderer, in one place: create it, let it
// record the synthesis while the music is not ready, advance its hand-over once per
// frame, start playback, read the played time, shut it down.
#include "audio/audio_renderer.h"

inline AudioRenderer* createPresentationAudio(const WaveOutApi* waveOut) {
  return waveOut != nullptr ? AudioRenderer::create(waveOut) : AudioRenderer::create();
}

inline bool presentationAudioStreaming(const AudioRenderer& audio) {
  return audio.state == AudioState::Streaming;
}

inline bool presentationAudioPlaying(const AudioRenderer& audio) {
  return audio.streamer.playing.load();
}

inline void renderPresentationAudio(AudioRenderer& audio, gfx::GraphicsCommandList* commandList,
                                    DescriptorAllocator& allocator, BarrierBatch& barriers) {
  audio.render(commandList, allocator, barriers);
}

inline void updatePresentationAudio(AudioRenderer& audio) { audio.update(); }

inline void playPresentationAudio(AudioRenderer& audio) { audio.play(); }

inline double presentationAudioPositionSeconds(AudioRenderer& audio) {
  return audio.positionSeconds();
}

inline void shutdownPresentationAudio(AudioRenderer*& audio) {
  if (audio != nullptr) AudioRenderer::shutdown(audio);
  audio = nullptr;
}
