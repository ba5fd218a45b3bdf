// The wave-out device on SDL2 audio. SDL pulls samples through its audio callback;
// that callback takes the written blocks in order, copies them into SDL's buffer and
// reports each finished block through the done-callback. The position is the frame
// being heard. A buffer the callback fills is not heard at once: SDL hands it to the sound
// server, which plays what it holds first, about one buffer (SDL's PulseAudio driver asks
// for that much; SDL tells no more). So the position is what the callbacks had taken one
// buffer's time ago: everything before the buffer filled then, plus how far the device has
// played into it by the counter.
#include <SDL.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

#include "platform/os.h"
#include "platform/wave_out.h"

namespace {

constexpr uint32_t kRingCapacity = 256;       // blocks queued at once; a power of two
// SDL's buffer, ~46 ms at 44.1 kHz. SDL's PulseAudio driver asks the server to hold about one
// buffer: at 512 frames (11.6 ms) a renderer keeping every core busy starved it.
constexpr uint16_t kSdlBufferFrames = 2048;
// Callbacks remembered: the one heard now lies a buffer back, a few more cover late ones.
constexpr uint32_t kPublishedCount = 8;

// One callback: the bytes taken before it, the bytes it put into SDL's buffer, and when.
struct Published {
  std::atomic<uint64_t> bytesBefore{0};
  std::atomic<uint32_t> bytesInBuffer{0};
  std::atomic<uint64_t> ticks{0};
};

}  // namespace

struct WaveOutDevice {
  SDL_AudioDeviceID id = 0;
  WaveOutCallback callback = nullptr;
  void* instance = nullptr;
  uint32_t sampleRate = 0;
  uint32_t bytesPerFrame = 0;
  uint32_t channels = 0;
  bool isFloat = false;
  std::atomic<uint32_t> volume{0xFFFFFFFFu};
  bool threadRaised = false;  // audio thread

  // Written blocks: any thread appends under writeMutex; only the audio callback
  // (or reset, which first locks the callback out) takes them off.
  std::mutex writeMutex;
  WaveHeader* ring[kRingCapacity] = {};
  std::atomic<uint32_t> written{0};
  std::atomic<uint32_t> taken{0};
  WaveHeader* current = nullptr;  // the block being copied (audio thread)
  uint32_t currentOffset = 0;

  // What the last callbacks put into SDL's buffer, newest last, published with a sequence
  // lock so the position query never blocks the audio thread.
  std::atomic<uint32_t> sequence{0};
  std::atomic<uint32_t> publishedCount{0};
  Published published[kPublishedCount];
  uint64_t bytesConsumed = 0;  // audio thread (and reset, with the callback locked out)
  uint64_t delayTicks = 0;     // from a callback to the moment its buffer is heard
};

namespace {

// The audio thread marks a block done while the caller may be asking whether it is
// still queued: header flags are only touched atomically.
std::atomic_ref<uint32_t> headerFlags(WaveHeader* header) { return std::atomic_ref<uint32_t>(header->flags); }

void markDone(WaveHeader* header) {
  headerFlags(header).fetch_or(kWaveHeaderDone, std::memory_order_relaxed);
  headerFlags(header).fetch_and(~kWaveHeaderInQueue, std::memory_order_release);
}

void publishBuffer(WaveOutDevice* device, uint64_t before, uint32_t inBuffer, uint64_t ticks) {
  device->sequence.fetch_add(1, std::memory_order_acq_rel);  // odd: being written
  const uint32_t count = device->publishedCount.load(std::memory_order_relaxed);
  Published& entry = device->published[count % kPublishedCount];
  entry.bytesBefore.store(before, std::memory_order_release);
  entry.bytesInBuffer.store(inBuffer, std::memory_order_release);
  entry.ticks.store(ticks, std::memory_order_release);
  device->publishedCount.store(count + 1, std::memory_order_release);
  device->sequence.fetch_add(1, std::memory_order_release);  // even: complete
}

struct Callback {
  uint64_t before, ticks;
  uint32_t inBuffer;
};

// Bytes the listener has heard so far: the callback being heard now is the newest one
// made at least the device's delay ago.
uint64_t heardBytes(WaveOutDevice* device) {
  Callback callbacks[kPublishedCount];
  uint32_t count;
  for (;;) {
    uint32_t start = device->sequence.load(std::memory_order_acquire);
    // Acquire loads keep the second sequence read after them: a value from a newer
    // publication makes that read see the newer sequence number.
    count = device->publishedCount.load(std::memory_order_acquire);
    for (uint32_t i = 0; i < kPublishedCount; ++i) {
      const Published& entry = device->published[i];
      callbacks[i] = {entry.bytesBefore.load(std::memory_order_acquire), entry.ticks.load(std::memory_order_acquire),
                      entry.bytesInBuffer.load(std::memory_order_acquire)};
    }
    if ((start & 1) == 0 && device->sequence.load(std::memory_order_relaxed) == start) break;
  }
  if (count == 0) return 0;
  const uint64_t now = osPerformanceCounter();
  const uint32_t kept = std::min(count, kPublishedCount);
  for (uint32_t back = 1; back <= kept; ++back) {
    const Callback& c = callbacks[(count - back) % kPublishedCount];
    if (now < c.ticks + device->delayTicks) continue;  // not heard yet
    if (c.inBuffer == 0) return c.before;
    const uint64_t elapsedTicks = now - c.ticks - device->delayTicks;
    const double playedFrames = double(elapsedTicks) / double(osPerformanceFrequency()) * device->sampleRate;
    const uint64_t played = uint64_t(playedFrames) * device->bytesPerFrame;
    return c.before + std::min<uint64_t>(played, c.inBuffer / device->bytesPerFrame * device->bytesPerFrame);
  }
  // Even the oldest callback kept is still ahead of the listener: nothing of it is heard yet.
  return callbacks[(count - kept) % kPublishedCount].before;
}

void applyVolume(WaveOutDevice* device, Uint8* stream, uint32_t bytes) {
  uint32_t volume = device->volume.load(std::memory_order_relaxed);
  if (volume == 0xFFFFFFFFu) return;
  float gains[2] = {float(volume & 0xFFFF) / 65535.0f, float(volume >> 16) / 65535.0f};
  if (device->isFloat) {
    float* samples = reinterpret_cast<float*>(stream);
    for (uint32_t i = 0; i < bytes / 4; ++i) samples[i] *= gains[i % device->channels == 0 ? 0 : 1];
  } else {
    int16_t* samples = reinterpret_cast<int16_t*>(stream);
    for (uint32_t i = 0; i < bytes / 2; ++i)
      samples[i] = int16_t(float(samples[i]) * gains[i % device->channels == 0 ? 0 : 1]);
  }
}

void finishCurrent(WaveOutDevice* device) {
  WaveHeader* header = device->current;
  device->current = nullptr;
  markDone(header);
  if (device->callback) device->callback(device, kWaveMessageDone, device->instance, header, 0);
}

// SDL's audio thread feeds the sound server; starved by a renderer on every core, it lets
// the server run dry. The highest normal priority the system grants (real-time scheduling
// would leave the sound library's own threads, which it waits for, behind it); otherwise it
// stays as it is.
void raiseAudioThread() {
  for (int nice = -20; nice < 0; nice += 5)
    if (setpriority(PRIO_PROCESS, id_t(gettid()), nice) == 0) return;
}

void SDLCALL fillAudio(void* userdata, Uint8* stream, int length) {
  auto* device = static_cast<WaveOutDevice*>(userdata);
  if (!device->threadRaised) {
    raiseAudioThread();
    device->threadRaised = true;
  }
  uint32_t capacity = uint32_t(length);
  uint32_t filled = 0;
  while (filled < capacity) {
    if (!device->current) {
      uint32_t taken = device->taken.load(std::memory_order_relaxed);
      if (taken == device->written.load(std::memory_order_acquire)) break;
      device->current = device->ring[taken % kRingCapacity];
      device->currentOffset = 0;
      device->taken.store(taken + 1, std::memory_order_release);
    }
    WaveHeader* header = device->current;
    uint32_t count = std::min(header->bufferLength - device->currentOffset, capacity - filled);
    if (count > 0) std::memcpy(stream + filled, static_cast<Uint8*>(header->data) + device->currentOffset, count);
    filled += count;
    device->currentOffset += count;
    if (device->currentOffset == header->bufferLength) finishCurrent(device);
  }
  applyVolume(device, stream, filled);
  std::memset(stream + filled, 0, capacity - filled);  // an underrun plays silence
  publishBuffer(device, device->bytesConsumed, filled, osPerformanceCounter());
  device->bytesConsumed += filled;
}

bool formatSupported(const WaveFormatExtensible* format) {
  if (!format || format->formatTag != kWaveFormatExtensible || format->cbSize < 22) return false;
  bool isFloat = waveGuidEqual(format->subFormat, kWaveSubFormatIeeeFloat) && format->bitsPerSample == 32;
  bool isPcm16 = waveGuidEqual(format->subFormat, kWaveSubFormatPcm) && format->bitsPerSample == 16;
  if (!isFloat && !isPcm16) return false;
  if (format->channels < 1 || format->channels > 8) return false;
  if (format->samplesPerSec < 8000 || format->samplesPerSec > 192000) return false;
  uint32_t blockAlign = uint32_t(format->channels) * format->bitsPerSample / 8;
  return format->blockAlign == blockAlign && format->avgBytesPerSec == format->samplesPerSec * blockAlign &&
         format->validBitsPerSample == format->bitsPerSample;
}

SDL_AudioSpec sdlSpec(const WaveFormatExtensible* format, WaveOutDevice* device) {
  SDL_AudioSpec spec{};
  spec.freq = int(format->samplesPerSec);
  spec.format = format->bitsPerSample == 32 ? AUDIO_F32SYS : AUDIO_S16SYS;
  spec.channels = Uint8(format->channels);
  spec.samples = kSdlBufferFrames;
  spec.callback = device ? fillAudio : nullptr;
  spec.userdata = device;
  return spec;
}

WaveResult sdlOpen(WaveOutHandle* handle, uint32_t deviceId, const WaveFormatExtensible* format,
                   WaveOutCallback callback, void* instance, uint32_t flags) {
  if (flags & ~(kWaveFormatQuery | kWaveCallbackFunction)) return WaveResult::InvalidFlag;
  if (deviceId != kWaveMapper) return WaveResult::BadDeviceId;
  if (!formatSupported(format)) return WaveResult::BadFormat;
  bool query = (flags & kWaveFormatQuery) != 0;
  if (!query && !handle) return WaveResult::InvalidParameter;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return WaveResult::NoDriver;

  // A query opens the device and closes it again: SDL converts any sample format the
  // hardware wants, so "accepted" means "the default device opens with it".
  auto* device = query ? nullptr : new WaveOutDevice;
  SDL_AudioSpec desired = sdlSpec(format, device);
  if (query) desired.callback = [](void*, Uint8* stream, int length) { std::memset(stream, 0, size_t(length)); };
  SDL_AudioSpec obtained{};
  SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &desired, &obtained, 0);
  if (id == 0) {
    delete device;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return WaveResult::NoDriver;
  }
  if (query) {
    SDL_CloseAudioDevice(id);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return WaveResult::NoError;
  }
  device->id = id;
  device->callback = (flags & kWaveCallbackFunction) ? callback : nullptr;
  device->instance = instance;
  device->sampleRate = format->samplesPerSec;
  device->bytesPerFrame = format->blockAlign;
  device->channels = format->channels;
  device->isFloat = format->bitsPerSample == 32;
  device->delayTicks = uint64_t(double(obtained.samples) / double(obtained.freq) * double(osPerformanceFrequency()));
  *handle = device;
  if (device->callback) device->callback(device, kWaveMessageOpen, instance, nullptr, 0);
  SDL_PauseAudioDevice(id, 0);
  return WaveResult::NoError;
}

WaveResult checkHeader(WaveOutHandle device, WaveHeader* header, uint32_t headerSize) {
  if (!device) return WaveResult::InvalidHandle;
  if (!header || headerSize < sizeof(WaveHeader)) return WaveResult::InvalidParameter;
  return WaveResult::NoError;
}

WaveResult sdlPrepareHeader(WaveOutHandle device, WaveHeader* header, uint32_t headerSize) {
  if (WaveResult result = checkHeader(device, header, headerSize); result != WaveResult::NoError) return result;
  headerFlags(header).fetch_or(kWaveHeaderPrepared, std::memory_order_relaxed);
  return WaveResult::NoError;
}

WaveResult sdlUnprepareHeader(WaveOutHandle device, WaveHeader* header, uint32_t headerSize) {
  if (WaveResult result = checkHeader(device, header, headerSize); result != WaveResult::NoError) return result;
  if (headerFlags(header).load(std::memory_order_acquire) & kWaveHeaderInQueue) return WaveResult::StillPlaying;
  headerFlags(header).fetch_and(~kWaveHeaderPrepared, std::memory_order_relaxed);
  return WaveResult::NoError;
}

WaveResult sdlWrite(WaveOutHandle device, WaveHeader* header, uint32_t headerSize) {
  if (WaveResult result = checkHeader(device, header, headerSize); result != WaveResult::NoError) return result;
  if (!header->data && header->bufferLength > 0) return WaveResult::InvalidParameter;
  std::lock_guard<std::mutex> lock(device->writeMutex);  // one writer at a time claims the header
  uint32_t flags = headerFlags(header).load(std::memory_order_acquire);
  if (!(flags & kWaveHeaderPrepared)) return WaveResult::Unprepared;
  if (flags & kWaveHeaderInQueue) return WaveResult::StillPlaying;
  uint32_t written = device->written.load(std::memory_order_relaxed);
  if (written - device->taken.load(std::memory_order_acquire) >= kRingCapacity) return WaveResult::NoMemory;
  headerFlags(header).fetch_and(~kWaveHeaderDone, std::memory_order_relaxed);
  headerFlags(header).fetch_or(kWaveHeaderInQueue, std::memory_order_relaxed);
  device->ring[written % kRingCapacity] = header;
  device->written.store(written + 1, std::memory_order_release);
  return WaveResult::NoError;
}

WaveResult sdlReset(WaveOutHandle device) {
  if (!device) return WaveResult::InvalidHandle;
  WaveHeader* returned[kRingCapacity + 1];
  uint32_t count = 0;
  SDL_LockAudioDevice(device->id);  // the audio callback is not running from here on
  {
    std::lock_guard<std::mutex> lock(device->writeMutex);
    if (device->current) returned[count++] = device->current;
    device->current = nullptr;
    uint32_t written = device->written.load(std::memory_order_relaxed);
    for (uint32_t i = device->taken.load(std::memory_order_relaxed); i != written; ++i)
      returned[count++] = device->ring[i % kRingCapacity];
    device->taken.store(written, std::memory_order_relaxed);
    device->bytesConsumed = 0;
    // The count starts again at 0: the callbacks before the reset no longer say what is heard.
    device->publishedCount.store(0, std::memory_order_release);
    publishBuffer(device, 0, 0, osPerformanceCounter());
  }
  SDL_UnlockAudioDevice(device->id);
  // Outside the locks, so a callback that writes again cannot dead-lock.
  for (uint32_t i = 0; i < count; ++i) {
    markDone(returned[i]);
    if (device->callback) device->callback(device, kWaveMessageDone, device->instance, returned[i], 0);
  }
  return WaveResult::NoError;
}

WaveResult sdlClose(WaveOutHandle device) {
  if (!device) return WaveResult::InvalidHandle;
  SDL_LockAudioDevice(device->id);
  bool busy = device->current || device->taken.load() != device->written.load();
  SDL_UnlockAudioDevice(device->id);
  if (busy) return WaveResult::StillPlaying;
  SDL_CloseAudioDevice(device->id);
  if (device->callback) device->callback(device, kWaveMessageClose, device->instance, nullptr, 0);
  delete device;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  return WaveResult::NoError;
}

WaveResult sdlGetPosition(WaveOutHandle device, WaveTime* time, uint32_t timeSize) {
  if (!device) return WaveResult::InvalidHandle;
  if (!time || timeSize < sizeof(WaveTime)) return WaveResult::InvalidParameter;
  uint64_t bytes = heardBytes(device);
  uint64_t frames = bytes / device->bytesPerFrame;
  switch (time->type) {
    case WaveTimeType::Ms:
      time->u.ms = uint32_t(frames * 1000 / device->sampleRate);
      break;
    case WaveTimeType::Bytes:
      time->u.bytes = uint32_t(bytes);
      break;
    default:  // samples, and the answer for units this device does not keep
      time->type = WaveTimeType::Samples;
      time->u.sample = uint32_t(frames);
      break;
  }
  return WaveResult::NoError;
}

WaveResult sdlSetVolume(WaveOutHandle device, uint32_t volume) {
  if (!device) return WaveResult::InvalidHandle;
  device->volume.store(volume, std::memory_order_relaxed);
  return WaveResult::NoError;
}

const char* resultText(WaveResult result) {
  switch (result) {
    case WaveResult::NoError: return "The specified command was carried out.";
    case WaveResult::Error: return "Undefined external error.";
    case WaveResult::BadDeviceId: return "A device ID has been used that is out of range for your system.";
    case WaveResult::InvalidHandle: return "The specified device handle is invalid.";
    case WaveResult::NoDriver: return "There is no sound device, or its driver could not be opened.";
    case WaveResult::NoMemory: return "Unable to allocate or lock memory.";
    case WaveResult::NotSupported: return "The function requested by a message is not supported.";
    case WaveResult::InvalidFlag: return "An invalid flag was passed to a system function.";
    case WaveResult::InvalidParameter: return "An invalid parameter was passed to a system function.";
    case WaveResult::BadFormat: return "The specified format is not supported by the sound device.";
    case WaveResult::StillPlaying: return "The buffer is still playing.";
    case WaveResult::Unprepared: return "The header has not been prepared.";
    default: return nullptr;
  }
}

WaveResult sdlGetErrorText(WaveResult result, char* text, uint32_t textSize) {
  if (!text || textSize == 0) return WaveResult::InvalidParameter;
  const char* message = resultText(result);
  WaveResult answer = message ? WaveResult::NoError : WaveResult::BadErrorNumber;
  if (!message) message = "Unknown error code.";
  size_t length = std::min<size_t>(std::strlen(message), textSize - 1);
  std::memcpy(text, message, length);
  text[length] = 0;
  return answer;
}

constexpr WaveOutApi kSdlWaveOut = {
    sdlOpen,  sdlPrepareHeader, sdlUnprepareHeader, sdlWrite,        sdlReset,
    sdlClose, sdlGetPosition,   sdlSetVolume,       sdlGetErrorText,
};

}  // namespace

const WaveOutApi* systemWaveOutApi() { return &kSdlWaveOut; }
