// tarnix-sound-match MUSIC.wav RECORDING.raw: how a recording of the presentation's sound
// (16-bit stereo at 44,100 Hz, as parec writes it) compares with the music tarnix-music
// exported (a float or 16-bit WAV): the half-seconds that were disturbed and the drift.
// Prints one line per disturbed half-second, then a summary line:
//   sound-match: 120 half-seconds, 118 loud, 0 disturbed, drift 0.0 ms
// Exit status 0 when the music was found in the recording, 1 when not, 2 on bad input.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/sound_match/sound_match.h"

namespace {

constexpr uint32_t kRate = 44100;

bool readFile(const char* path, std::vector<uint8_t>* bytes) {
  FILE* file = fopen(path, "rb");
  if (!file) return false;
  uint8_t buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), file)) > 0) bytes->insert(bytes->end(), buffer, buffer + n);
  fclose(file);
  return true;
}

uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

// Stereo 16-bit frames to mono floats.
std::vector<float> monoFromPcm16(const uint8_t* data, size_t bytes) {
  std::vector<float> mono(bytes / 4);
  for (size_t i = 0; i < mono.size(); ++i) {
    int16_t l = int16_t(le16(data + 4 * i)), r = int16_t(le16(data + 4 * i + 2));
    mono[i] = (float(l) + float(r)) / 65536.0f;
  }
  return mono;
}

// The music: a stereo WAV of 32-bit float (tag 3 or extensible) or 16-bit PCM at kRate.
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
      if (channels != 2 || rate != kRate || (bits != 32 && bits != 16)) {
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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: tarnix-sound-match MUSIC.wav RECORDING.raw\n");
    return 2;
  }
  std::vector<uint8_t> musicFile, recordingFile;
  std::vector<float> music;
  std::string error;
  if (!readFile(argv[1], &musicFile) || !readMusic(musicFile, &music, &error)) {
    fprintf(stderr, "tarnix-sound-match: %s: %s\n", argv[1], error.empty() ? strerror(errno) : error.c_str());
    return 2;
  }
  if (!readFile(argv[2], &recordingFile)) {
    fprintf(stderr, "tarnix-sound-match: %s: %s\n", argv[2], strerror(errno));
    return 2;
  }
  SoundMatch match = matchRecording(music, monoFromPcm16(recordingFile.data(), recordingFile.size()), kRate);
  if (!match.found) {
    printf("sound-match: the music is not in the recording\n");
    return 1;
  }
  uint32_t loud = 0;
  int64_t previous = match.windows.empty() ? 0 : match.windows.front().offset;
  for (const SoundWindow& w : match.windows) {
    if (w.quiet) continue;
    ++loud;
    if (w.mismatch > kMismatchLimit || w.offset != previous)
      printf("  %7.2f s: mismatch %.3f, offset %+.2f ms\n", w.startSeconds, w.mismatch, w.offset * 1000.0 / kRate);
    if (w.mismatch <= kMismatchLimit) previous = w.offset;
  }
  printf("sound-match: %zu half-seconds, %u loud, %u disturbed, drift %.1f ms\n", match.windows.size(), loud,
         match.disturbed, match.driftMs);
  return 0;
}
