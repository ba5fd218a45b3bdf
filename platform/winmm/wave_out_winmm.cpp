// The wave-out device is WINMM itself: the header, format, time record and result codes
// of wave_out.h have its layouts and numbers, so every call passes straight through. Only
// the callback goes through a small record, which turns WINMM's instance word back into
// the caller's device handle and instance.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <mmreg.h>
#include <mmsystem.h>

#include <cstddef>

#include "platform/wave_out.h"

static_assert(sizeof(WaveHeader) == sizeof(WAVEHDR));
static_assert(offsetof(WaveHeader, bufferLength) == offsetof(WAVEHDR, dwBufferLength));
static_assert(offsetof(WaveHeader, user) == offsetof(WAVEHDR, dwUser));
static_assert(offsetof(WaveHeader, flags) == offsetof(WAVEHDR, dwFlags));
static_assert(offsetof(WaveHeader, next) == offsetof(WAVEHDR, lpNext));
static_assert(sizeof(WaveTime) == sizeof(MMTIME));
static_assert(sizeof(WaveFormatExtensible) == sizeof(WAVEFORMATEXTENSIBLE));
static_assert(offsetof(WaveFormatExtensible, subFormat) == offsetof(WAVEFORMATEXTENSIBLE, SubFormat));
static_assert(kWaveCallbackFunction == CALLBACK_FUNCTION && kWaveFormatQuery == WAVE_FORMAT_QUERY);
static_assert(kWaveMessageDone == WOM_DONE && kWaveHeaderInQueue == WHDR_INQUEUE);
static_assert(uint32_t(WaveTimeType::Samples) == TIME_SAMPLES && uint32_t(WaveTimeType::Ms) == TIME_MS &&
              uint32_t(WaveTimeType::Bytes) == TIME_BYTES);
static_assert(uint32_t(WaveResult::StillPlaying) == WAVERR_STILLPLAYING &&
              uint32_t(WaveResult::InvalidParameter) == MMSYSERR_INVALPARAM);

struct WaveOutDevice {
  HWAVEOUT handle = nullptr;
  WaveOutCallback callback = nullptr;
  void* instance = nullptr;
};

namespace {

WaveResult result(MMRESULT code) { return WaveResult(code); }

// Runs on WINMM's thread; it only forwards, as the callback may call almost nothing.
void CALLBACK onSystemMessage(HWAVEOUT, UINT message, DWORD_PTR instance, DWORD_PTR parameter1, DWORD_PTR parameter2) {
  auto* device = reinterpret_cast<WaveOutDevice*>(instance);
  if (device && device->callback)
    device->callback(device, message, device->instance, reinterpret_cast<WaveHeader*>(parameter1), parameter2);
}

WaveResult winmmOpen(WaveOutHandle* handle, uint32_t deviceId, const WaveFormatExtensible* format,
                     WaveOutCallback callback, void* instance, uint32_t flags) {
  const auto* systemFormat = reinterpret_cast<const WAVEFORMATEX*>(format);
  if (flags & kWaveFormatQuery) return result(waveOutOpen(nullptr, deviceId, systemFormat, 0, 0, WAVE_FORMAT_QUERY));
  if (!handle) return WaveResult::InvalidParameter;
  auto* device = new WaveOutDevice();
  device->callback = (flags & kWaveCallbackFunction) ? callback : nullptr;
  device->instance = instance;
  // The handle is stored before WOM_OPEN can arrive, so that message already names the device.
  *handle = device;
  MMRESULT code = waveOutOpen(&device->handle, deviceId, systemFormat, reinterpret_cast<DWORD_PTR>(onSystemMessage),
                              reinterpret_cast<DWORD_PTR>(device), CALLBACK_FUNCTION);
  if (code != MMSYSERR_NOERROR) {
    *handle = nullptr;
    delete device;
  }
  return result(code);
}

HWAVEOUT systemHandle(WaveOutHandle device) { return device ? device->handle : nullptr; }
WAVEHDR* systemHeader(WaveHeader* header) { return reinterpret_cast<WAVEHDR*>(header); }

WaveResult winmmPrepareHeader(WaveOutHandle device, WaveHeader* header, uint32_t size) {
  return result(waveOutPrepareHeader(systemHandle(device), systemHeader(header), size));
}
WaveResult winmmUnprepareHeader(WaveOutHandle device, WaveHeader* header, uint32_t size) {
  return result(waveOutUnprepareHeader(systemHandle(device), systemHeader(header), size));
}
WaveResult winmmWrite(WaveOutHandle device, WaveHeader* header, uint32_t size) {
  return result(waveOutWrite(systemHandle(device), systemHeader(header), size));
}
WaveResult winmmReset(WaveOutHandle device) { return result(waveOutReset(systemHandle(device))); }

WaveResult winmmClose(WaveOutHandle device) {
  MMRESULT code = waveOutClose(systemHandle(device));
  if (code == MMSYSERR_NOERROR) delete device;  // WOM_CLOSE has been delivered by now
  return result(code);
}

WaveResult winmmGetPosition(WaveOutHandle device, WaveTime* time, uint32_t size) {
  return result(waveOutGetPosition(systemHandle(device), reinterpret_cast<MMTIME*>(time), size));
}
WaveResult winmmSetVolume(WaveOutHandle device, uint32_t volume) {
  return result(waveOutSetVolume(systemHandle(device), volume));
}
WaveResult winmmGetErrorText(WaveResult code, char* text, uint32_t size) {
  return result(waveOutGetErrorTextA(MMRESULT(code), text, size));
}

constexpr WaveOutApi kWinmmWaveOut = {
    winmmOpen,  winmmPrepareHeader, winmmUnprepareHeader, winmmWrite,          winmmReset,
    winmmClose, winmmGetPosition,   winmmSetVolume,       winmmGetErrorText,
};

}  // namespace

const WaveOutApi* systemWaveOutApi() { return &kWinmmWaveOut; }
