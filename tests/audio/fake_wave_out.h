#pragma once
// A wave-out device that plays nothing: it records what the streamer asks of it and
// answers as a test tells it to. Blocks finish only when the test says so (or at once,
// from inside write, with completeOnWrite).
#include <mutex>
#include <vector>

#include "platform/wave_out.h"

struct FakeWaveOut {
  // Answers.
  bool refuseFloat = false;
  WaveResult openResult = WaveResult::NoError;
  WaveResult writeResult = WaveResult::NoError;
  WaveResult positionResult = WaveResult::NoError;
  WaveTimeType positionType = WaveTimeType::Samples;  // the unit the fake answers in
  uint32_t positionValue = 0;
  bool completeOnWrite = false;

  // Records.
  std::mutex mutex;
  std::vector<WaveFormatExtensible> queries;
  WaveFormatExtensible openedFormat{};
  uint32_t openFlags = 0;
  WaveOutCallback callback = nullptr;
  void* instance = nullptr;
  uint32_t volume = 0;
  uint32_t prepared = 0;
  uint32_t unprepared = 0;
  uint32_t resets = 0;
  uint32_t closes = 0;
  uint32_t writeCalls = 0;
  std::vector<WaveHeader*> queue;  // written, not yet finished, oldest first
  std::vector<const void*> writtenData;  // data pointer of every successful write

  // Finishes up to count of the oldest queued blocks (all of them by default).
  void complete(size_t count = SIZE_MAX);
};

// The fake the table below talks to; tests reset it with `fakeWaveOut() = ...` helpers.
FakeWaveOut& fakeWaveOut();
void resetFakeWaveOut();
const WaveOutApi* fakeWaveOutApi();
