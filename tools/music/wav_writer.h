#pragma once
// RIFF/WAVE files of interleaved samples, in the two forms the music is heard in:
// 32-bit IEEE float (format tag 3, with the fact chunk non-PCM data carries) and
// 16-bit PCM converted exactly as the sound streamer converts (audio/wave_out_streamer.h).
#include <cstddef>
#include <cstdint>
#include <string>

enum class WavSampleFormat : uint8_t { Float32, Pcm16 };

// The float header is 58 bytes (fmt of 18 bytes, fact chunk); the PCM one 44.
inline constexpr size_t kMaxWavHeaderBytes = 58;

struct WavLayout {
  uint16_t formatTag;  // 3 (IEEE float) or 1 (PCM)
  uint16_t channels;
  uint32_t sampleRate;
  uint16_t bitsPerSample;
  uint32_t frames;
  uint32_t headerBytes;
  uint32_t dataBytes;  // frames x channels x bitsPerSample / 8
};

// False when the data would not fit a RIFF file (over 4 GiB) or nothing describes it.
bool makeWavLayout(WavSampleFormat format, uint16_t channels, uint32_t sampleRate, uint32_t frames,
                   WavLayout* layout);

// Writes layout.headerBytes bytes (at most kMaxWavHeaderBytes), little-endian.
void writeWavHeader(const WavLayout& layout, uint8_t* out);

// Called while writing with the fraction of the samples written so far (0..1); a false
// answer abandons the file (the write then fails with "interrupted").
using WavProgress = bool (*)(double fraction, void* user);

// A file being written. It goes to "<path>.tmp" and is renamed onto path only once
// complete, so a failed or abandoned write leaves no partial file under either name.
struct WavFile {
  std::string path;
  std::string temporaryPath;
  void* stream = nullptr;  // the open temporary file
};

// Creates the temporary file: a path that cannot be written fails here, before any work
// is spent on the samples. On failure returns false with a one-line reason in *error.
bool beginWavFile(WavFile& file, const char* path, std::string* error);

// Writes header and samples (frames x channels floats), closes and renames. On failure
// the temporary file is removed and *error says why.
bool finishWavFile(WavFile& file, const WavLayout& layout, const float* samples, WavProgress progress,
                   void* user, std::string* error);

// Closes and removes the temporary file (nothing to do once finished).
void abandonWavFile(WavFile& file);
