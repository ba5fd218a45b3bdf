#include "tools/sound_match/sound_files.h"

#include <cstdio>
#include <cstring>

namespace {

uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

}  // namespace

bool readWholeFile(const char* path, std::vector<uint8_t>* bytes) {
  FILE* file = fopen(path, "rb");
  if (!file) return false;
  uint8_t buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), file)) > 0) bytes->insert(bytes->end(), buffer, buffer + n);
  fclose(file);
  return true;
}

std::vector<float> monoFromPcm16(const uint8_t* data, size_t bytes) {
  std::vector<float> mono(bytes / 4);
  for (size_t i = 0; i < mono.size(); ++i) {
    int16_t l = int16_t(le16(data + 4 * i)), r = int16_t(le16(data + 4 * i + 2));
    mono[i] = (float(l) + float(r)) / 65536.0f;
  }
  return mono;
}

// A stereo WAV of 32-bit float (tag 3 or extensible) or 16-bit PCM.
bool readMusic(const std::vector<uint8_t>& file, std::vector<float>* mono, std::string* error) {
  if (file.size() < 12 || memcmp(file.data(), "RIFF", 4) != 0 || memcmp(file.data() + 8, "WAVE", 4) != 0) {
    *error = "not a RIFF/WAVE file";
    return false;
  }
  uint16_t channels = 0, bits = 0;
  uint32_t rate = 0;
  for (size_t at = 12; at + 8 <= file.size();) {
    uint32_t size = le32(file.data() + at + 4);
    const uint8_t* body = file.data() + at + 8;
    if (size > file.size() - at - 8) size = uint32_t(file.size() - at - 8);
    if (memcmp(file.data() + at, "fmt ", 4) == 0 && size >= 16) {
      channels = le16(body + 2);
      rate = le32(body + 4);
      bits = le16(body + 14);
    } else if (memcmp(file.data() + at, "data", 4) == 0) {
      if (channels != 2 || rate != kSoundRate || (bits != 32 && bits != 16)) {
        *error = "the music must be stereo at 44,100 Hz, float or 16-bit";
        return false;
      }
      if (bits == 16) {
        *mono = monoFromPcm16(body, size);
      } else {
        mono->resize(size / 8);
        for (size_t i = 0; i < mono->size(); ++i) {
          float l, r;
          memcpy(&l, body + 8 * i, 4);
          memcpy(&r, body + 8 * i + 4, 4);
          (*mono)[i] = (l + r) * 0.5f;
        }
      }
      return true;
    }
    at += 8 + size + (size & 1);
  }
  *error = "no data chunk";
  return false;
}

