#include "tools/music/wav_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "audio/wave_out_streamer.h"

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatIeeeFloat = 3;
// Samples converted and written per step: small enough for steady progress, large
// enough that the writes stay cheap.
constexpr size_t kChunkSamples = 1 << 18;

void put16(uint8_t*& out, uint16_t value) {
  *out++ = uint8_t(value);
  *out++ = uint8_t(value >> 8);
}
void put32(uint8_t*& out, uint32_t value) {
  put16(out, uint16_t(value));
  put16(out, uint16_t(value >> 16));
}
void putTag(uint8_t*& out, const char (&tag)[5]) {
  std::memcpy(out, tag, 4);
  out += 4;
}

std::string reason(const char* what, const std::string& path, int error) {
  return std::string(what) + " '" + path + "': " + std::strerror(error);
}

}  // namespace

bool makeWavLayout(WavSampleFormat format, uint16_t channels, uint32_t sampleRate, uint32_t frames,
                   WavLayout* layout) {
  if (channels == 0 || sampleRate == 0) return false;
  WavLayout l{};
  bool isFloat = format == WavSampleFormat::Float32;
  l.formatTag = isFloat ? kFormatIeeeFloat : kFormatPcm;
  l.channels = channels;
  l.sampleRate = sampleRate;
  l.bitsPerSample = isFloat ? 32 : 16;
  l.frames = frames;
  // Non-PCM data carries cbSize in its fmt chunk and a fact chunk with the frame count.
  l.headerBytes = isFloat ? 58 : 44;
  uint64_t dataBytes = uint64_t(frames) * channels * (l.bitsPerSample / 8);
  // The RIFF size field counts everything after its own 8 bytes. (Whole 16- or 32-bit
  // samples: the data is always of even size, so no pad byte is ever needed.)
  if (dataBytes + l.headerBytes - 8 > UINT32_MAX) return false;
  l.dataBytes = uint32_t(dataBytes);
  *layout = l;
  return true;
}

void writeWavHeader(const WavLayout& layout, uint8_t* out) {
  bool isFloat = layout.formatTag == kFormatIeeeFloat;
  uint16_t blockAlign = uint16_t(layout.channels * layout.bitsPerSample / 8);
  putTag(out, "RIFF");
  put32(out, layout.headerBytes - 8 + layout.dataBytes);
  putTag(out, "WAVE");
  putTag(out, "fmt ");
  put32(out, isFloat ? 18 : 16);
  put16(out, layout.formatTag);
  put16(out, layout.channels);
  put32(out, layout.sampleRate);
  put32(out, layout.sampleRate * blockAlign);
  put16(out, blockAlign);
  put16(out, layout.bitsPerSample);
  if (isFloat) {
    put16(out, 0);  // cbSize: no extension
    putTag(out, "fact");
    put32(out, 4);
    put32(out, layout.frames);
  }
  putTag(out, "data");
  put32(out, layout.dataBytes);
}

bool beginWavFile(WavFile& file, const char* path, std::string* error) {
  file.path = path;
  file.temporaryPath = file.path + ".tmp";
  FILE* stream = std::fopen(file.temporaryPath.c_str(), "wb");
  if (!stream) {
    *error = reason("cannot write", file.path, errno);
    return false;
  }
  file.stream = stream;
  return true;
}

void abandonWavFile(WavFile& file) {
  if (!file.stream) return;
  std::fclose(static_cast<FILE*>(file.stream));
  file.stream = nullptr;
  std::remove(file.temporaryPath.c_str());
}

bool finishWavFile(WavFile& file, const WavLayout& layout, const float* samples, WavProgress progress,
                   void* user, std::string* error) {
  FILE* stream = static_cast<FILE*>(file.stream);
  if (!stream) {
    *error = "no file is open";
    return false;
  }
  auto fail = [&](std::string why) {
    abandonWavFile(file);
    *error = std::move(why);
    return false;
  };

  uint8_t header[kMaxWavHeaderBytes];
  writeWavHeader(layout, header);
  if (std::fwrite(header, 1, layout.headerBytes, stream) != layout.headerBytes)
    return fail(reason("cannot write", file.path, errno));

  size_t sampleCount = size_t(layout.frames) * layout.channels;
  std::vector<int16_t> pcm(layout.bitsPerSample == 16 ? kChunkSamples : 0);
  for (size_t done = 0; done < sampleCount;) {
    size_t count = std::min(kChunkSamples, sampleCount - done);
    const void* bytes = samples + done;
    size_t size = count * sizeof(float);
    if (layout.bitsPerSample == 16) {
      convertToPcm16(samples + done, pcm.data(), count);
      bytes = pcm.data();
      size = count * sizeof(int16_t);
    }
    if (std::fwrite(bytes, 1, size, stream) != size) return fail(reason("cannot write", file.path, errno));
    done += count;
    if (progress && !progress(double(done) / double(sampleCount), user)) return fail("interrupted");
  }

  // Buffered data can still fail to reach the disk (a full disk shows here).
  int flushed = std::fflush(stream);
  int flushError = errno;
  file.stream = nullptr;
  if (std::fclose(stream) != 0 || flushed != 0) {
    std::remove(file.temporaryPath.c_str());
    *error = reason("cannot write", file.path, flushed != 0 ? flushError : errno);
    return false;
  }
  // std::rename cannot replace an existing file on Windows; this one replaces it everywhere.
  std::error_code renameError;
  std::filesystem::rename(file.temporaryPath, file.path, renameError);
  if (renameError) {
    std::remove(file.temporaryPath.c_str());
    *error = reason("cannot write", file.path, renameError.value());
    return false;
  }
  return true;
}
