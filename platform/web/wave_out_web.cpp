// The wave-out device of a web page: an AudioWorklet (music_worklet.js) that is handed the
// whole piece once, plays it from its start and reports how far it has played; the position
// this device answers with is the frame heard now, what the browser still holds on its way
// out left aside (web_platform.js). The page makes the audio context when its start button
// is pressed (browsers start sound only after a gesture); without one, open fails.
#include <emscripten.h>

#include <cstdio>
#include <cstring>

#include "platform/wave_out.h"

struct WaveOutDevice {
  WaveOutCallback callback;
  void* instance;
  WaveHeader* queued;  // the one block being played
};

namespace {

// clang-format off
EM_JS(int, webAudioReady, (), { return TarnixWeb.audioReady() ? 1 : 0; });
EM_JS(void, webAudioPlay, (const float* samples, uint32_t count), {
  TarnixWeb.audioPlay(HEAPF32.slice(samples >> 2, (samples >> 2) + count));
});
EM_JS(void, webAudioStop, (), { TarnixWeb.audioStop(); });
EM_JS(double, webAudioPosition, (), { return TarnixWeb.audioPosition(); });
EM_JS(int, webAudioEnded, (), { return TarnixWeb.audioEnded() ? 1 : 0; });
EM_JS(void, webAudioVolume, (double gain), { TarnixWeb.audioVolume(gain); });
// clang-format on

bool isFloatStereo(const WaveFormatExtensible* format) {
  return format && format->channels == 2 && format->bitsPerSample == 32 && format->samplesPerSec == 44100 &&
         waveGuidEqual(format->subFormat, kWaveSubFormatIeeeFloat);
}

// The block comes back once the worklet has played all of it.
void deliverFinished(WaveOutDevice* device) {
  if (!device->queued || !webAudioEnded()) return;
  WaveHeader* header = device->queued;
  device->queued = nullptr;
  header->flags = (header->flags & ~kWaveHeaderInQueue) | kWaveHeaderDone;
  if (device->callback) device->callback(device, kWaveMessageDone, device->instance, header, 0);
}

WaveResult webOpen(WaveOutHandle* device, uint32_t, const WaveFormatExtensible* format, WaveOutCallback callback,
                   void* instance, uint32_t flags) {
  if (!webAudioReady()) return WaveResult::NoDriver;
  if (!isFloatStereo(format)) return WaveResult::BadFormat;
  if (flags & kWaveFormatQuery) return WaveResult::NoError;
  *device = new WaveOutDevice{callback, instance, nullptr};
  return WaveResult::NoError;
}

WaveResult webPrepare(WaveOutHandle device, WaveHeader* header, uint32_t size) {
  if (!device || !header || size < sizeof(WaveHeader)) return WaveResult::InvalidParameter;
  header->flags |= kWaveHeaderPrepared;
  return WaveResult::NoError;
}

WaveResult webUnprepare(WaveOutHandle device, WaveHeader* header, uint32_t size) {
  if (!device || !header || size < sizeof(WaveHeader)) return WaveResult::InvalidParameter;
  if (header == device->queued) return WaveResult::StillPlaying;
  header->flags &= ~kWaveHeaderPrepared;
  return WaveResult::NoError;
}

// The one block this device takes: the whole piece, handed to the worklet in one message.
WaveResult webWrite(WaveOutHandle device, WaveHeader* header, uint32_t size) {
  if (!device || !header || size < sizeof(WaveHeader)) return WaveResult::InvalidParameter;
  if (!(header->flags & kWaveHeaderPrepared)) return WaveResult::Unprepared;
  if (device->queued) return WaveResult::StillPlaying;
  header->flags = (header->flags & ~kWaveHeaderDone) | kWaveHeaderInQueue;
  device->queued = header;
  webAudioPlay(static_cast<const float*>(header->data), header->bufferLength / 4);
  return WaveResult::NoError;
}

WaveResult webReset(WaveOutHandle device) {
  if (!device) return WaveResult::InvalidHandle;
  webAudioStop();
  deliverFinished(device);
  return WaveResult::NoError;
}

WaveResult webClose(WaveOutHandle device) {
  if (!device) return WaveResult::InvalidHandle;
  if (device->queued) return WaveResult::StillPlaying;
  delete device;
  return WaveResult::NoError;
}

WaveResult webGetPosition(WaveOutHandle device, WaveTime* time, uint32_t size) {
  if (!device || !time || size < sizeof(WaveTime)) return WaveResult::InvalidParameter;
  deliverFinished(device);
  time->type = WaveTimeType::Samples;
  time->u.sample = uint32_t(webAudioPosition());
  return WaveResult::NoError;
}

WaveResult webSetVolume(WaveOutHandle device, uint32_t volume) {
  if (!device) return WaveResult::InvalidHandle;
  webAudioVolume(double(volume & 0xFFFF) / 65535.0);
  return WaveResult::NoError;
}

WaveResult webGetErrorText(WaveResult result, char* text, uint32_t size) {
  const char* message = result == WaveResult::NoDriver   ? "no audio context (the page starts sound on its start button)"
                        : result == WaveResult::BadFormat ? "the audio worklet plays 44,100 Hz stereo float samples only"
                                                   : "wave-out error";
  if (text && size) snprintf(text, size, "%s", message);
  return WaveResult::NoError;
}

constexpr WaveOutApi kWebWaveOut = {webOpen,  webPrepare,     webUnprepare, webWrite,        webReset,
                                    webClose, webGetPosition, webSetVolume, webGetErrorText, true};

}  // namespace

const WaveOutApi* systemWaveOutApi() { return &kWebWaveOut; }
