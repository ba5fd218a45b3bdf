// tarnix-sync-match [--limit-ms MS] [--mean-limit-ms MS] MUSIC.wav SOUND.raw SOUND_START PICTURES.txt FRAME...
// How far the pictures were from the music heard, in one recording of screen and sound
// (scripts/measure-sync makes it): MUSIC.wav as tarnix-music exports it; SOUND.raw the recorded
// sound (16-bit stereo at 44,100 Hz) whose first sample was heard at SOUND_START seconds;
// PICTURES.txt one line "SECONDS LUMA" per grab of the screen, on the same clock; FRAME... the
// timeline frames at which the picture steps, first to bright, then to dark, and so on.
// Prints one line per step and a summary:
//   sync-match: 20 of 20 steps seen, the picture after the sound by -8.1 ms on average
//   (from -19.0 to 2.3 ms), 0 unexplained changes
// Exit status 0 when every step was seen, nothing else changed, with --limit-ms every step was
// within MS of the sound and with --mean-limit-ms their mean was; 1 otherwise; 2 on bad input.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/sound_match/sound_files.h"
#include "tools/sound_match/sound_match.h"
#include "tools/sync_match/sync_match.h"

namespace {

int usage() {
  fprintf(stderr,
          "usage: tarnix-sync-match [--limit-ms MS] [--mean-limit-ms MS] MUSIC.wav SOUND.raw SOUND_START PICTURES.txt "
          "FRAME...\n");
  return 2;
}

bool parseNumber(const char* text, double* value) {
  char* end = nullptr;
  errno = 0;
  *value = strtod(text, &end);
  return end != text && *end == 0 && errno == 0 && std::isfinite(*value);
}

bool readGrabs(const char* path, std::vector<PictureGrab>* grabs) {
  FILE* file = fopen(path, "r");
  if (!file) return false;
  PictureGrab grab;
  int read;
  while ((read = fscanf(file, "%lf %lf", &grab.seconds, &grab.luma)) == 2) grabs->push_back(grab);
  const bool whole = read == EOF && !ferror(file);
  fclose(file);
  if (!whole) errno = EINVAL;
  return whole;
}

void printStep(const StepMatch& step) {
  const char* to = step.bright ? "bright" : "dark";
  if (!step.seen) {
    printf("  frame %u, to %s: not seen\n", step.frame, to);
    return;
  }
  printf("  frame %u, to %s: on screen at %.3f s, %.1f ms %s the sound\n", step.frame, to, step.shownSeconds,
         std::fabs(step.behindMs), step.behindMs >= 0 ? "after" : "before");
}

}  // namespace

int main(int argc, char** argv) {
  int first = 1;
  double limitMs = -1.0, meanLimitMs = -1.0;
  while (first + 1 < argc && strncmp(argv[first], "--", 2) == 0) {
    double* limit = strcmp(argv[first], "--limit-ms") == 0        ? &limitMs
                    : strcmp(argv[first], "--mean-limit-ms") == 0 ? &meanLimitMs
                                                                  : nullptr;
    if (limit == nullptr || !parseNumber(argv[first + 1], limit) || *limit < 0) return usage();
    first += 2;
  }
  if (argc - first < 5) return usage();
  const char* musicPath = argv[first];
  const char* soundPath = argv[first + 1];
  const char* picturesPath = argv[first + 3];
  double soundStart = 0.0;
  if (!parseNumber(argv[first + 2], &soundStart)) return usage();
  std::vector<uint32_t> frames;
  for (int i = first + 4; i < argc; ++i) {
    double frame = 0.0;
    if (!parseNumber(argv[i], &frame) || frame < 0 || frame > 1e6 || frame != std::floor(frame)) return usage();
    if (!frames.empty() && frame <= frames.back()) return usage();
    frames.push_back(uint32_t(frame));
  }

  std::vector<uint8_t> musicFile, soundFile;
  std::vector<float> music;
  std::vector<PictureGrab> grabs;
  std::string error;
  if (!readWholeFile(musicPath, &musicFile) || !readMusic(musicFile, &music, &error)) {
    fprintf(stderr, "tarnix-sync-match: %s: %s\n", musicPath, error.empty() ? strerror(errno) : error.c_str());
    return 2;
  }
  if (!readWholeFile(soundPath, &soundFile)) {
    fprintf(stderr, "tarnix-sync-match: %s: %s\n", soundPath, strerror(errno));
    return 2;
  }
  if (!readGrabs(picturesPath, &grabs)) {
    fprintf(stderr, "tarnix-sync-match: %s: %s\n", picturesPath, errno == EINVAL ? "not SECONDS LUMA lines" : strerror(errno));
    return 2;
  }

  const SoundMatch sound = matchRecording(music, monoFromPcm16(soundFile.data(), soundFile.size()), kSoundRate);
  if (!sound.found) {
    printf("sync-match: the music is not in the recording\n");
    return 1;
  }
  const SyncMatch sync = matchSteps(pictureChanges(grabs), frames, sound, soundStart, kSoundRate);
  uint32_t seen = 0, beyond = 0;
  double sum = 0.0, least = INFINITY, most = -INFINITY;
  for (const StepMatch& step : sync.steps) {
    printStep(step);
    if (!step.seen) continue;
    seen += 1;
    sum += step.behindMs;
    least = std::min(least, step.behindMs);
    most = std::max(most, step.behindMs);
    if (limitMs >= 0 && std::fabs(step.behindMs) > limitMs) beyond += 1;
  }
  printf("sync-match: %u of %zu steps seen", seen, sync.steps.size());
  if (seen > 0)
    printf(", the picture after the sound by %.1f ms on average (from %.1f to %.1f ms)", sum / seen, least, most);
  printf(", %u unexplained changes", sync.unexplained);
  if (limitMs >= 0) printf(", %u beyond %.0f ms", beyond, limitMs);
  const bool meanWithin = meanLimitMs < 0 || (seen > 0 && std::fabs(sum / seen) <= meanLimitMs);
  if (meanLimitMs >= 0) printf(", the mean %s %.0f ms", meanWithin ? "within" : "beyond", meanLimitMs);
  printf("\n");
  return seen == sync.steps.size() && sync.unexplained == 0 && beyond == 0 && meanWithin ? 0 : 1;
}
