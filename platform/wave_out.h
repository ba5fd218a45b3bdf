#pragma once
// A wave-out sound device: the caller hands it blocks of interleaved samples, each
// described by a header; the device plays them in the order written and reports each
// finished block through a done-callback on its own thread. The numbers (results,
// messages, flags, time units) are the classic wave-out ones, so a backend on an
// operating system that has such an API passes them through unchanged.
//
// The device is reached through a table of functions so that the streamer can run
// against the real backend (sdl/ here), the silent one (silent/) or a fake one in tests.
#include <cstddef>
#include <cstdint>
#include <cstring>

// Results: 0 is success, everything else an error code.
enum class WaveResult : uint32_t {
  NoError = 0,
  Error = 1,
  BadDeviceId = 2,
  InvalidHandle = 5,
  NoDriver = 6,
  NoMemory = 7,
  NotSupported = 8,
  BadErrorNumber = 9,
  InvalidFlag = 10,
  InvalidParameter = 11,
  BadFormat = 32,
  StillPlaying = 33,
  Unprepared = 34,
};

// The default device (the system's choice).
constexpr uint32_t kWaveMapper = 0xFFFFFFFFu;

// Open flags.
constexpr uint32_t kWaveFormatQuery = 0x0001;        // only ask whether the format would open
constexpr uint32_t kWaveCallbackFunction = 0x30000;  // report through the callback function

// Messages delivered to the callback.
constexpr uint32_t kWaveMessageOpen = 0x3BB;
constexpr uint32_t kWaveMessageClose = 0x3BC;
constexpr uint32_t kWaveMessageDone = 0x3BD;

// Header flags.
constexpr uint32_t kWaveHeaderDone = 0x01;
constexpr uint32_t kWaveHeaderPrepared = 0x02;
constexpr uint32_t kWaveHeaderInQueue = 0x10;

struct WaveGuid {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];
};
static_assert(sizeof(WaveGuid) == 16);

// The two sample types of the extensible format.
constexpr WaveGuid kWaveSubFormatPcm = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
constexpr WaveGuid kWaveSubFormatIeeeFloat = {0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline bool waveGuidEqual(const WaveGuid& a, const WaveGuid& b) { return std::memcmp(&a, &b, sizeof(WaveGuid)) == 0; }

constexpr uint16_t kWaveFormatExtensible = 0xFFFE;
constexpr uint32_t kWaveSpeakerFrontLeft = 0x1;
constexpr uint32_t kWaveSpeakerFrontRight = 0x2;

// The extensible wave format, laid out as on the wire (40 bytes, packed).
#pragma pack(push, 2)
struct WaveFormatExtensible {
  uint16_t formatTag;
  uint16_t channels;
  uint32_t samplesPerSec;
  uint32_t avgBytesPerSec;
  uint16_t blockAlign;
  uint16_t bitsPerSample;
  uint16_t cbSize;  // bytes after this field: 22
  uint16_t validBitsPerSample;
  uint32_t channelMask;
  WaveGuid subFormat;
};
#pragma pack(pop)
static_assert(sizeof(WaveFormatExtensible) == 40);

// One block. `user` belongs to the caller (the streamer keeps its in-flight flag
// there); the device never touches it.
struct WaveHeader {
  void* data;
  uint32_t bufferLength;
  uint32_t bytesRecorded;
  uintptr_t user;
  uint32_t flags;
  uint32_t loops;
  WaveHeader* next;
  uintptr_t reserved;
};
static_assert(sizeof(void*) != 8 || sizeof(WaveHeader) == 48);  // the 64-bit system layout

enum class WaveTimeType : uint32_t {
  Ms = 0x1,
  Samples = 0x2,
  Bytes = 0x4,
  Smpte = 0x8,
  Midi = 0x10,
  Ticks = 0x20,
};

// A position: the caller asks for a unit in `type`; a device that cannot answer in it
// answers in a unit of its own and says which in `type`.
struct WaveTime {
  WaveTimeType type;
  union {
    uint32_t ms;
    uint32_t sample;
    uint32_t bytes;
    uint32_t ticks;
    uint8_t raw[8];
  } u;
};
static_assert(sizeof(WaveTime) == 12);

struct WaveOutDevice;  // opaque, owned by the backend
using WaveOutHandle = WaveOutDevice*;

// message is one of kWaveMessage*; for Done, header is the finished block.
using WaveOutCallback = void (*)(WaveOutHandle device, uint32_t message, void* instance, WaveHeader* header,
                                 uintptr_t parameter2);

struct WaveOutApi {
  // With kWaveFormatQuery nothing is opened and *device is not written; otherwise
  // flags holds kWaveCallbackFunction and callback/instance receive the messages.
  WaveResult (*open)(WaveOutHandle* device, uint32_t deviceId, const WaveFormatExtensible* format,
                     WaveOutCallback callback, void* instance, uint32_t flags);
  WaveResult (*prepareHeader)(WaveOutHandle device, WaveHeader* header, uint32_t headerSize);
  WaveResult (*unprepareHeader)(WaveOutHandle device, WaveHeader* header, uint32_t headerSize);
  // Queues a prepared header; blocks play in the order they were written.
  WaveResult (*write)(WaveOutHandle device, WaveHeader* header, uint32_t headerSize);
  // Stops playing and reports every queued block as done; the position returns to 0.
  WaveResult (*reset)(WaveOutHandle device);
  // Fails with WaveResult::StillPlaying while blocks are queued.
  WaveResult (*close)(WaveOutHandle device);
  WaveResult (*getPosition)(WaveOutHandle device, WaveTime* time, uint32_t timeSize);
  // Low word: left channel, high word: right channel; 0xFFFF is full volume.
  WaveResult (*setVolume)(WaveOutHandle device, uint32_t volume);
  // Writes the NUL-terminated text for an error code (truncated to textSize).
  WaveResult (*getErrorText)(WaveResult result, char* text, uint32_t textSize);
  // The device takes the whole piece as one block, written once, and plays it on its own (the
  // web's: a page has no thread to keep blocks queued from). The caller starts no thread.
  bool takesWholePiece = false;
};

// The system's wave-out device (the SDL2 audio backend on Linux).
const WaveOutApi* systemWaveOutApi();

// A device that takes every format and plays nothing (platform/silent/), for a caller
// that clocks itself and needs no sound: the capture tool, the presentation's tests.
// Blocks may stay queued: the streamer simply finds no free header to queue next, and a
// reset hands them all back. The position stays at 0 samples.
const WaveOutApi* silentWaveOutApi();
