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
  if (flags & kWaveFormatQuery) return kWaveNoError;
  gDevice.callback = callback;
  gDevice.instance = instance;
  *device = kHandle;
  return kWaveNoError;
}

WaveResult silentPrepare(WaveOutHandle, WaveHeader* header, uint32_t) {
  header->flags |= kWaveHeaderPrepared;
  return kWaveNoError;
}

WaveResult silentUnprepare(WaveOutHandle, WaveHeader* header, uint32_t) {
  header->flags &= ~kWaveHeaderPrepared;
  return kWaveNoError;
}

WaveResult silentWrite(WaveOutHandle, WaveHeader* header, uint32_t) {
  std::lock_guard<std::mutex> lock(gDevice.mutex);
  gDevice.queued.push_back(header);
  return kWaveNoError;
}

WaveResult silentReset(WaveOutHandle device) {
  std::vector<WaveHeader*> finished;
  {
    std::lock_guard<std::mutex> lock(gDevice.mutex);
    finished.swap(gDevice.queued);
  }
  if (gDevice.callback)
    for (WaveHeader* header : finished) gDevice.callback(device, kWaveMessageDone, gDevice.instance, header, 0);
  return kWaveNoError;
}

WaveResult silentClose(WaveOutHandle) {
  gDevice.callback = nullptr;
  return kWaveNoError;
}

WaveResult silentGetPosition(WaveOutHandle, WaveTime* time, uint32_t) {
  time->type = kWaveTimeSamples;
  time->u.sample = 0;
  return kWaveNoError;
}

WaveResult silentSetVolume(WaveOutHandle, uint32_t) { return kWaveNoError; }

WaveResult silentGetErrorText(WaveResult result, char* text, uint32_t textSize) {
  snprintf(text, textSize, "silent device error %u.", unsigned(result));
  return kWaveNoError;
}

constexpr WaveOutApi kSilentApi = {silentOpen,  silentPrepare,     silentUnprepare, silentWrite,       silentReset,
                                   silentClose, silentGetPosition, silentSetVolume, silentGetErrorText};

}  // namespace

const WaveOutApi* silentWaveOutApi() { return &kSilentApi; }
