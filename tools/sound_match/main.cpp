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

#include "tools/sound_match/sound_files.h"
#include "tools/sound_match/sound_match.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: tarnix-sound-match MUSIC.wav RECORDING.raw\n");
    return 2;
  }
  std::vector<uint8_t> musicFile, recordingFile;
  std::vector<float> music;
  std::string error;
  if (!readWholeFile(argv[1], &musicFile) || !readMusic(musicFile, &music, &error)) {
    fprintf(stderr, "tarnix-sound-match: %s: %s\n", argv[1], error.empty() ? strerror(errno) : error.c_str());
    return 2;
  }
  if (!readWholeFile(argv[2], &recordingFile)) {
    fprintf(stderr, "tarnix-sound-match: %s: %s\n", argv[2], strerror(errno));
    return 2;
  }
  SoundMatch match = matchRecording(music, monoFromPcm16(recordingFile.data(), recordingFile.size()), kSoundRate);
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
      printf("  %7.2f s: mismatch %.3f, offset %+.2f ms\n", w.startSeconds, w.mismatch, w.offset * 1000.0 / kSoundRate);
    if (w.mismatch <= kMismatchLimit) previous = w.offset;
  }
  printf("sound-match: %zu half-seconds, %u loud, %u disturbed, drift %.1f ms\n", match.windows.size(), loud,
         match.disturbed, match.driftMs);
  return 0;
}
