#pragma once
// Plays the music once it is in CPU memory: picks a sample format the sound device
// takes, fills the resident sample buffer, opens the device and keeps kHeaderCount blocks
// queued from a time-critical thread. Each block header is prepared once and only
// re-aimed at the next 256 frames of the resident buffer before it is written again,
// so nothing is copied while playing. The played time it reports is the clock of the
// whole presentation.
//
// Three threads share this record without locks: the main thread (openDevice, play,
// positionSeconds, shutdown), the streaming thread (streamLoop) and the device's
// callback thread (onWaveOutMessage). The headers' in-flight flags are claimed and
// released atomically; playing and playPosition are written by the main thread only
// while playing is false.
//
// Without a usable sound device (or streaming thread) the presentation still runs in
// step: one message is printed and the clock counts real time from play().
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "platform/os.h"
#include "platform/wave_out.h"

// The extensible format for interleaved samples: 32-bit float or 16-bit PCM.
WaveFormatExtensible makeWaveFormat(uint16_t channels, uint32_t sampleRate, uint16_t bitsPerSample);

// Clamps each sample to [-1, 1], scales by 32767 and rounds halves away from zero.
// NaN becomes 0 (silence) rather than an unspecified integer.
void convertToPcm16(const float* source, int16_t* destination, size_t sampleCount);

struct WaveOutStreamer {
  // 64 blocks of 256 frames: 372 ms queued. A machine whose renderer keeps every core busy
  // (lavapipe) can leave this thread unscheduled for tens of milliseconds, more where the
  // system refuses it a real-time priority; sixteen blocks (93 ms) ran dry there. The clock
  // reads the device's played position, so the deeper queue does not move the pictures.
  static constexpr uint32_t kHeaderCount = 64;
  // The streaming thread formats and prints error messages (printMessage, vsnprintf)
  // and calls into the sound backend; a few kilobytes are not enough for that.
  static constexpr size_t kThreadStackBytes = 256 * 1024;

  // Playback state, shared with the music renderer.
  std::atomic<bool> playing{false};
  std::atomic<uint32_t> playPosition{0};  // first frame of the next block to queue
  uint32_t sampleRate = 44100;
  uint32_t channels = 2;
  uint32_t bitsPerSample = 32;  // 16 once the device refused float samples
  uint32_t totalFrames = 0;
  uint32_t blockFrames = 256;
  void* samples = nullptr;  // owned by the renderer: totalFrames x channels x 4 bytes

  // The device side.
  const WaveOutApi* api = nullptr;
  WaveFormatExtensible format{};
  WaveOutHandle device = nullptr;
  WaveHeader headers[kHeaderCount]{};  // user field: in-flight flag, 0 free, 1 queued
  OsThread thread{};
  std::atomic<bool> running{true};

  // Silent clock, used when nothing can be played. Set before openDevice, it keeps the
  // sound device closed (the program was asked for no sound).
  bool silent = false;
  uint64_t silentStartTicks = 0;

  // Where the device's count of played frames starts in the piece: 0 unless moveTo moved
  // playback (the device counts from its last reset).
  uint32_t startFrame = 0;
  // Held while the streaming thread queues blocks, so that moveTo can take the device back
  // from a thread that is between blocks.
  std::mutex queueing;

  // Chooses the format, fills samples from source (totalFrames interleaved float
  // frames; null leaves silence), opens the device, prepares the headers and sets full
  // volume. Main thread, once, before startThread.
  void openDevice(const float* source);

  // Starts streamLoop on a time-critical thread.
  void startThread();

  // Starts the piece from frame 0. Does nothing while already playing, so the
  // streaming thread is never racing a rewind.
  void play();

  // Played time. 0 when the device cannot say (or answers in an unknown unit).
  double positionSeconds();

  // Stops at once (the queued blocks are taken back), then, when `play` is set, plays on
  // from `frame` of the piece; otherwise stays stopped with the clock at `frame`. For a
  // player that seeks and pauses; the presentation itself never calls it.
  void moveTo(uint32_t frame, bool play);

  // One pass of the streaming thread: queues every free header that still has a
  // whole block of music ahead of it.
  void queueBlocks();

  // play() on a device that takes the whole piece: writes its one header, every whole block.
  void queueWholePiece();

  // Stops playback, lets the queued blocks play out for drainMs, stops the thread,
  // then resets and closes the device so that no block still points into samples.
  void shutdown(uint32_t drainMs = 300);

  // The frame after the last block that is ever queued: where the clock stops.
  uint32_t endFrame() const { return blockFrames ? totalFrames / blockFrames * blockFrames : 0; }

  static uint32_t streamLoop(void* record);
  static void onWaveOutMessage(WaveOutHandle device, uint32_t message, void* instance, WaveHeader* header,
                               uintptr_t parameter2);
};
