#include "audio/wave_out_streamer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/diagnostics.h"

namespace {

constexpr uint32_t kErrorTextBytes = 256;
constexpr uint32_t kFullVolume = 0xFFFFFFFFu;

#if defined(__cpp_lib_atomic_ref)
std::atomic_ref<uintptr_t> inFlight(WaveHeader& header) { return std::atomic_ref<uintptr_t>(header.user); }
#else
// Older libc++ (the web build's) has no atomic_ref: the operations the flag needs, through the
// compiler's atomic builtins, which atomic_ref itself is made of.
struct InFlightFlag {
  uintptr_t& word;
  bool compare_exchange_strong(uintptr_t& expected, uintptr_t desired, std::memory_order) {
    return __atomic_compare_exchange_n(&word, &expected, desired, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE);
  }
  uintptr_t exchange(uintptr_t desired, std::memory_order) { return __atomic_exchange_n(&word, desired, __ATOMIC_ACQ_REL); }
  void store(uintptr_t desired, std::memory_order) { __atomic_store_n(&word, desired, __ATOMIC_RELEASE); }
};
InFlightFlag inFlight(WaveHeader& header) { return InFlightFlag{header.user}; }
#endif

// The device's text for an error code, "" when it has none.
void errorText(const WaveOutApi* api, WaveResult result, char (&text)[kErrorTextBytes]) {
  std::memset(text, 0, sizeof(text));
  api->getErrorText(result, text, kErrorTextBytes);
  text[kErrorTextBytes - 1] = 0;
}

}  // namespace

WaveFormatExtensible makeWaveFormat(uint16_t channels, uint32_t sampleRate, uint16_t bitsPerSample) {
  WaveFormatExtensible format{};
  format.formatTag = kWaveFormatExtensible;
  format.channels = channels;
  format.samplesPerSec = sampleRate;
  format.blockAlign = uint16_t(channels * bitsPerSample / 8);
  format.avgBytesPerSec = sampleRate * format.blockAlign;
  format.bitsPerSample = bitsPerSample;
  format.cbSize = 22;
  format.validBitsPerSample = bitsPerSample;
  format.channelMask = kWaveSpeakerFrontLeft | kWaveSpeakerFrontRight;
  format.subFormat = bitsPerSample == 32 ? kWaveSubFormatIeeeFloat : kWaveSubFormatPcm;
  return format;
}

void convertToPcm16(const float* source, int16_t* destination, size_t sampleCount) {
  for (size_t i = 0; i < sampleCount; ++i) {
    float x = source[i];
    if (std::isnan(x)) x = 0.0f;
    x = std::clamp(x, -1.0f, 1.0f);
    long value = std::lround(double(x) * 32767.0);  // halves away from zero
    destination[i] = int16_t(std::clamp(value, -32768l, 32767l));
  }
}

void WaveOutStreamer::openDevice(const float* source) {
  ASSERT(samples != nullptr, "WaveOutStreamer: no sample buffer\n");
  ASSERT(api != nullptr, "WaveOutStreamer: no wave-out device\n");

  // 1. Float samples if the device takes them, else 16-bit PCM (not queried again).
  format = makeWaveFormat(uint16_t(channels), sampleRate, 32);
  WaveOutHandle queried = nullptr;
  const bool deviceWanted = !silent;
  if (deviceWanted && api->open(&queried, kWaveMapper, &format, nullptr, this, kWaveFormatQuery) != WaveResult::NoError) {
    format = makeWaveFormat(uint16_t(channels), sampleRate, 16);
    bitsPerSample = 16;
  }

  // 2. Fill the resident buffer in the chosen format. Without a source it holds silence.
  size_t sampleCount = size_t(totalFrames) * channels;
  if (!source) {
    std::memset(samples, 0, sampleCount * (bitsPerSample / 8));
  } else if (bitsPerSample == 32) {
    std::memcpy(samples, source, sampleCount * sizeof(float));
  } else {
    convertToPcm16(source, static_cast<int16_t*>(samples), sampleCount);
  }

  // 3. Open for playing and prepare the headers, each aimed at its block.
  if (!deviceWanted) return;
  uint32_t blockBytes = blockFrames * channels * (bitsPerSample / 8);
  WaveResult opened = api->open(&device, kWaveMapper, &format, onWaveOutMessage, this, kWaveCallbackFunction);
  if (opened != WaveResult::NoError) {
    // Not fatal, and said once: a machine without sound still shows the presentation,
    // clocked by real time instead of by the device.
    device = nullptr;
    silent = true;
    char text[kErrorTextBytes];
    errorText(api, opened, text);
    printMessage("Audio Error: %s Playing without sound.\n", text);
    return;
  }
  for (uint32_t k = 0; k < kHeaderCount; ++k) {
    WaveHeader& header = headers[k];
    header = WaveHeader{};
    header.data = static_cast<uint8_t*>(samples) + size_t(k) * blockBytes;
    header.bufferLength = blockBytes;
    // A device that takes the whole piece gets one header: every whole block, from the start.
    if (api->takesWholePiece) {
      if (k != 0) continue;
      header.bufferLength = endFrame() * channels * (bitsPerSample / 8);
    }
    api->prepareHeader(device, &header, sizeof(WaveHeader));
  }

  // 4. Full volume on both channels.
  api->setVolume(device, kFullVolume);
}

void WaveOutStreamer::startThread() {
  // Nothing to keep queued when the device plays the piece on its own.
  if (!silent && api->takesWholePiece) return;
  if (!osCreateThread(&thread, streamLoop, this, kThreadStackBytes)) {
    // Nothing would ever be queued and the device clock would stand still at 0.
    if (!silent) printMessage("Audio Error: the streaming thread could not be started. Playing without sound.\n");
    silent = true;
    return;
  }
  osSetThreadPriority(&thread, OsThreadPriority::TimeCritical);
}

void WaveOutStreamer::play() {
  if (playing.load(std::memory_order_acquire)) return;
  playPosition.store(0, std::memory_order_relaxed);
  startFrame = 0;
  silentStartTicks = osPerformanceCounter();
  playing.store(true, std::memory_order_release);
  if (!silent && api->takesWholePiece) queueWholePiece();
}

void WaveOutStreamer::queueWholePiece() {
  uintptr_t expected = 0;
  if (!inFlight(headers[0]).compare_exchange_strong(expected, 1, std::memory_order_acq_rel)) return;
  WaveResult result = api->write(device, &headers[0], sizeof(WaveHeader));
  if (result != WaveResult::NoError) {
    inFlight(headers[0]).exchange(0, std::memory_order_acq_rel);
    char text[kErrorTextBytes];
    errorText(api, result, text);
    printMessage("Audio Error: %s\n", text);
    return;
  }
  playPosition.store(endFrame(), std::memory_order_relaxed);
}

double WaveOutStreamer::positionSeconds() {
  if (silent) {
    if (!playing.load(std::memory_order_relaxed)) return double(startFrame) / double(sampleRate);
    double elapsed = double(osPerformanceCounter() - silentStartTicks) / double(osPerformanceFrequency());
    // Like a device, the silent clock stops where the last queued block would end.
    return std::min(elapsed, double(endFrame()) / double(sampleRate));
  }
  WaveTime time{};
  time.type = WaveTimeType::Samples;
  if (!device || api->getPosition(device, &time, sizeof(WaveTime)) != WaveResult::NoError) return 0.0;
  const double start = double(startFrame) / double(sampleRate);
  switch (time.type) {
    case WaveTimeType::Samples: return start + double(time.u.sample) / double(format.samplesPerSec);
    case WaveTimeType::Ms: return start + double(time.u.ms) / 1000.0;
    case WaveTimeType::Bytes: return start + double(time.u.bytes) / double(format.avgBytesPerSec);
    default: return 0.0;
  }
}

void WaveOutStreamer::moveTo(uint32_t frame, bool play) {
  playing.store(false, std::memory_order_release);
  // Once the thread is out of queueBlocks it sees playing false and queues nothing more.
  std::lock_guard<std::mutex> lock(queueing);
  if (device) api->reset(device);  // every queued block back; the device's count restarts at 0
  startFrame = std::min(frame, totalFrames);
  playPosition.store(startFrame, std::memory_order_relaxed);
  silentStartTicks = osPerformanceCounter() - uint64_t(double(startFrame) / double(sampleRate) * double(osPerformanceFrequency()));
  if (play) playing.store(true, std::memory_order_release);
}

void WaveOutStreamer::queueBlocks() {
  if (silent || !playing.load(std::memory_order_acquire)) return;
  std::lock_guard<std::mutex> lock(queueing);
  if (!playing.load(std::memory_order_acquire)) return;
  uint32_t bytesPerFrame = channels * (bitsPerSample / 8);
  for (uint32_t k = 0; k < kHeaderCount; ++k) {
    uint32_t position = playPosition.load(std::memory_order_relaxed);
    // Only whole blocks are played; the frames after the last one are never heard.
    if (uint64_t(position) + blockFrames > totalFrames) break;
    uintptr_t expected = 0;
    if (!inFlight(headers[k]).compare_exchange_strong(expected, 1, std::memory_order_acq_rel)) continue;
    headers[k].data = static_cast<uint8_t*>(samples) + size_t(position) * bytesPerFrame;
    WaveResult result = api->write(device, &headers[k], sizeof(WaveHeader));
    if (result != WaveResult::NoError) {
      inFlight(headers[k]).exchange(0, std::memory_order_acq_rel);
      char text[kErrorTextBytes];
      errorText(api, result, text);
      printMessage("Audio Error: %s\n", text);
      break;
    }
    playPosition.store(position + blockFrames, std::memory_order_relaxed);
  }
}

uint32_t WaveOutStreamer::streamLoop(void* record) {
  auto* streamer = static_cast<WaveOutStreamer*>(record);
  while (streamer->running.load(std::memory_order_acquire)) {
    streamer->queueBlocks();
    osWaitMicroseconds(1000);
  }
  return 0;
}

void WaveOutStreamer::onWaveOutMessage(WaveOutHandle, uint32_t message, void* instance, WaveHeader* header,
                                       uintptr_t) {
  if (message != kWaveMessageDone || !instance || !header) return;
  inFlight(*header).store(0, std::memory_order_release);
}

void WaveOutStreamer::shutdown(uint32_t drainMs) {
  playing.store(false, std::memory_order_release);
  osSleepMs(drainMs);
  running.store(false, std::memory_order_release);
  osJoinThread(&thread);
  playPosition.store(0, std::memory_order_relaxed);
  if (!device) return;
  // The renderer frees samples right after this: take every block back from the device
  // first, however slowly it has been playing.
  api->reset(device);
  for (WaveHeader& header : headers) api->unprepareHeader(device, &header, sizeof(WaveHeader));
  api->close(device);
  device = nullptr;
}
