#include "tools/sound_match/sound_match.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kOnsetLevel = 0.01f;  // first sample this loud starts the music
constexpr double kQuietRms = 0.003;

int64_t firstLoud(const std::vector<float>& samples) {
  for (size_t i = 0; i < samples.size(); ++i)
    if (std::fabs(samples[i]) > kOnsetLevel) return int64_t(i);
  return -1;
}

double rms(const float* x, size_t n) {
  double sum = 0.0;
  for (size_t i = 0; i < n; ++i) sum += double(x[i]) * x[i];
  return n ? std::sqrt(sum / double(n)) : 0.0;
}

// Mismatch of recording[start, start + n) against music at recording sample minus offset;
// infinity where the music does not cover it.
double mismatchAt(const std::vector<float>& music, const std::vector<float>& recording, size_t start, size_t n,
                  int64_t offset) {
  int64_t from = int64_t(start) - offset;
  if (from < 0 || size_t(from) + n > music.size()) return INFINITY;
  const float* m = music.data() + from;
  const float* r = recording.data() + start;
  double difference = 0.0, level = 0.0;
  for (size_t i = 0; i < n; ++i) {
    double d = double(r[i]) - m[i];
    difference += d * d;
    level += double(m[i]) * m[i];
  }
  return level > 0.0 ? std::sqrt(difference / level) : INFINITY;
}

// The offset within `reach` samples of `guess` where the window matches best.
int64_t bestOffset(const std::vector<float>& music, const std::vector<float>& recording, size_t start, size_t n,
                   int64_t guess, int64_t reach, double* mismatch) {
  int64_t best = guess;
  *mismatch = INFINITY;
  for (int64_t offset = guess - reach; offset <= guess + reach; ++offset) {
    double m = mismatchAt(music, recording, start, n, offset);
    if (m < *mismatch) *mismatch = m, best = offset;
  }
  return best;
}

}  // namespace

SoundMatch matchRecording(const std::vector<float>& music, const std::vector<float>& recording, uint32_t rate) {
  SoundMatch result;
  const int64_t musicOnset = firstLoud(music), recordingOnset = firstLoud(recording);
  if (musicOnset < 0 || recordingOnset < 0) return result;
  const size_t window = rate / 2;
  // The music starts a little before its first loud sample; start the windows there.
  const size_t first = size_t(std::max<int64_t>(0, recordingOnset - musicOnset));
  int64_t guess = recordingOnset - musicOnset;
  bool matched = false;
  int64_t firstOffset = 0, lastOffset = 0;
  for (size_t start = first; start + window <= recording.size(); start += window) {
    SoundWindow w{double(start) / rate, guess, 0.0, false};
    w.quiet = rms(recording.data() + start, window) < kQuietRms;
    if (w.quiet) {
      result.windows.push_back(w);
      continue;
    }
    // Steady playback stays within a few samples; after a disturbance look wider.
    w.offset = bestOffset(music, recording, start, window, guess, matched ? 32 : 2048, &w.mismatch);
    if (w.mismatch > kMismatchLimit)
      w.offset = bestOffset(music, recording, start, window, guess, int64_t(rate) / 4, &w.mismatch);
    bool moved = matched && w.offset != lastOffset;
    if (w.mismatch > kMismatchLimit || moved) result.disturbed += 1;
    if (w.mismatch <= kMismatchLimit) {
      if (!matched) firstOffset = w.offset;
      matched = true;
      lastOffset = w.offset;
      guess = w.offset;
    }
    result.windows.push_back(w);
  }
  result.found = matched;
  result.driftMs = double(lastOffset - firstOffset) * 1000.0 / rate;
  return result;
}
