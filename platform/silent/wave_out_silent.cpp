// A sound device that takes every format and plays nothing (silentWaveOutApi in
// platform/wave_out.h). Blocks stay queued until a reset hands them all back.
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <vector>

#include "platform/wave_out.h"

namespace {

struct SilentDevice {
  std::mutex mutex;
  std::vector<WaveHeader*> queued;
  WaveOutCallback callback = nullptr;
  void* instance = nullptr;
};

SilentDevice gDevice;
WaveOutHandle const kHandle = reinterpret_cast<WaveOutHandle>(&gDevice);

WaveResult silentOpen(WaveOutHandle* device, uint32_t, const WaveFormatExtensible*, WaveOutCallback callback,
                      void* instance, uint32_t flags) {
  if (flags & kWaveFormatQuery) return WaveResult::NoError;
  gDevice.callback = callback;
  gDevice.instance = instance;
  *device = kHandle;
  return WaveResult::NoError;
}

WaveResult silentPrepare(WaveOutHandle, WaveHeader* header, uint32_t) {
  header->flags |= kWaveHeaderPrepared;
  return WaveResult::NoError;
}

WaveResult silentUnprepare(WaveOutHandle, WaveHeader* header, uint32_t) {
  header->flags &= ~kWaveHeaderPrepared;
  return WaveResult::NoError;
}

WaveResult silentWrite(WaveOutHandle, WaveHeader* header, uint32_t) {
  std::lock_guard<std::mutex> lock(gDevice.mutex);
  gDevice.queued.push_back(header);
  return WaveResult::NoError;
}

WaveResult silentReset(WaveOutHandle device) {
  std::vector<WaveHeader*> finished;
  {
    std::lock_guard<std::mutex> lock(gDevice.mutex);
    finished.swap(gDevice.queued);
  }
  if (gDevice.callback)
    for (WaveHeader* header : finished) gDevice.callback(device, kWaveMessageDone, gDevice.instance, header, 0);
  return WaveResult::NoError;
}

WaveResult silentClose(WaveOutHandle) {
  gDevice.callback = nullptr;
  return WaveResult::NoError;
}

WaveResult silentGetPosition(WaveOutHandle, WaveTime* time, uint32_t) {
  time->type = WaveTimeType::Samples;
  time->u.sample = 0;
  return WaveResult::NoError;
}

WaveResult silentSetVolume(WaveOutHandle, uint32_t) { return WaveResult::NoError; }

WaveResult silentGetErrorText(WaveResult result, char* text, uint32_t textSize) {
  snprintf(text, textSize, "silent device error %u.", unsigned(result));
  return WaveResult::NoError;
}

constexpr WaveOutApi kSilentApi = {silentOpen,  silentPrepare,     silentUnprepare, silentWrite,       silentReset,
                                   silentClose, silentGetPosition, silentSetVolume, silentGetErrorText};

}  // namespace

const WaveOutApi* silentWaveOutApi() { return &kSilentApi; }
