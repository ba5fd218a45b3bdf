#pragma once
// The music as the presentation makes it: the AudioRenderer's dispatch and read-back on
// an offscreen device, driven frame by frame as the frame loop drives it, stopped at the
// read-back instead of handing the samples to the sound device (which only --play opens).
#include <cstdint>
#include <vector>

#include "platform/gfx_requirements.h"

struct AudioRenderer;
struct DescriptorAllocator;

struct MusicSession {
  AudioRenderer* renderer = nullptr;
  DescriptorAllocator* heap = nullptr;
  uint32_t frames = 0;  // 7,938,000
  uint32_t channels = 0;
  uint32_t sampleRate = 0;
  // frames x channels interleaved floats: every frame of the buffer, as the GPU computed it.
  std::vector<float> samples;
};

// What the synthesis needs of a device (its one pass).
gfx::DeviceRequirements musicDeviceRequirements();

// Creates the offscreen device (`device`: an index of the device list or part of a name,
// null for the first that can; one line says which) and the renderer. The device's
// failures stop the program (PANIC), here and below.
void openMusicDevice(MusicSession& session, const char* device = nullptr);

// Runs the synthesis and copies the piece out of the read-back buffer.
void synthesiseMusic(MusicSession& session);

// Hands the piece to the wave-out streamer and starts it. False (with the streamer's
// message printed) when there is no sound device to play on.
bool startMusicPlayback(MusicSession& session);

// Played seconds, and where playback ends (the end of the last whole block).
double musicPositionSeconds(MusicSession& session);
double musicEndSeconds(const MusicSession& session);

// Stops playback and the streaming thread, then releases the renderer and the device,
// in that order.
void shutdownMusic(MusicSession& session);
