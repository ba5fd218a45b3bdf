#pragma once
// Helpers for suites that drive a real wave-out device: a listener that records the
// device's messages, polling with a time-out, and position queries in one unit.
#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "platform/os.h"
#include "platform/wave_out.h"

// Collects the finished blocks, in the order the device reported them.
struct WaveOutListener {
  std::mutex mutex;
  std::vector<WaveHeader*> done;

  static void onMessage(WaveOutHandle, uint32_t message, void* instance, WaveHeader* header, uintptr_t) {
    auto* self = static_cast<WaveOutListener*>(instance);
    std::lock_guard<std::mutex> lock(self->mutex);
    if (message == kWaveMessageDone) self->done.push_back(header);
  }
  size_t doneCount() {
    std::lock_guard<std::mutex> lock(mutex);
    return done.size();
  }
};

// Polls until condition holds or timeoutMs pass.
template <typename Condition>
bool waitFor(Condition condition, uint32_t timeoutMs) {
  for (uint32_t waited = 0; waited < timeoutMs; waited += 5) {
    if (condition()) return true;
    osSleepMs(5);
  }
  return condition();
}

// The position in `type`, which the device must answer in.
inline uint32_t positionIn(const WaveOutApi* api, WaveOutHandle device, WaveTimeType type) {
  WaveTime time{};
  time.type = type;
  EXPECT_EQ(api->getPosition(device, &time, sizeof(time)), WaveResult::NoError);
  EXPECT_EQ(time.type, type);
  return time.u.sample;
}
