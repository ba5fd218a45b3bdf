#include "tools/sync_match/sync_match.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kTimelineFramesPerSecond = 60.0;
// Grabs that differ by less than this (of 255) hold no step: a dark timeline recorded alone.
constexpr double kLeastStepLuma = 8.0;

bool matched(const SoundWindow& w) { return !w.quiet && w.mismatch <= kMismatchLimit; }

}  // namespace

std::vector<PictureChange> pictureChanges(const std::vector<PictureGrab>& grabs) {
  std::vector<PictureChange> changes;
  if (grabs.empty()) return changes;
  auto [darkest, brightest] = std::minmax_element(grabs.begin(), grabs.end(), [](const PictureGrab& a, const PictureGrab& b) {
    return a.luma < b.luma;
  });
  if (brightest->luma - darkest->luma < kLeastStepLuma) return changes;
  const double threshold = (darkest->luma + brightest->luma) / 2.0;
  bool bright = grabs.front().luma > threshold;
  for (size_t i = 1; i < grabs.size(); ++i) {
    const bool now = grabs[i].luma > threshold;
    if (now == bright) continue;
    changes.push_back({(grabs[i - 1].seconds + grabs[i].seconds) / 2.0, now});
    bright = now;
  }
  return changes;
}

bool musicHeardAt(const SoundMatch& sound, double soundStart, uint32_t rate, double seconds, double* musicSeconds) {
  const double sample = (seconds - soundStart) * rate;
  const double windowSeconds = 0.5;
  const SoundWindow* nearest = nullptr;
  double nearestDistance = std::numeric_limits<double>::infinity();
  for (const SoundWindow& w : sound.windows) {
    if (!matched(w)) continue;
    const double distance = std::fabs(w.startSeconds + windowSeconds / 2.0 - sample / rate);
    if (distance < nearestDistance) nearestDistance = distance, nearest = &w;
  }
  if (nearest == nullptr) return false;
  const double musicSample = sample - double(nearest->offset);
  if (musicSample < 0.0) return false;
  *musicSeconds = musicSample / rate;
  return true;
}

SyncMatch matchSteps(const std::vector<PictureChange>& changes, const std::vector<uint32_t>& stepFrames,
                     const SoundMatch& sound, double soundStart, uint32_t rate) {
  SyncMatch result;
  for (size_t i = 0; i < stepFrames.size(); ++i) result.steps.push_back({stepFrames[i], i % 2 == 0, false, 0.0, 0.0});
  // Half the least time between two steps of one direction: the most a change may be off.
  double reach = std::numeric_limits<double>::infinity();
  for (size_t i = 2; i < stepFrames.size(); ++i)
    reach = std::min(reach, (double(stepFrames[i]) - double(stepFrames[i - 2])) / kTimelineFramesPerSecond / 2.0);
  for (const PictureChange& change : changes) {
    double heard = 0.0;
    if (!musicHeardAt(sound, soundStart, rate, change.seconds, &heard)) continue;
    StepMatch* best = nullptr;
    double bestDistance = reach;
    for (StepMatch& step : result.steps) {
      const double distance = std::fabs(heard - step.frame / kTimelineFramesPerSecond);
      if (step.bright == change.bright && distance < bestDistance) bestDistance = distance, best = &step;
    }
    if (best == nullptr || best->seen) {
      result.unexplained += 1;
      continue;
    }
    best->seen = true;
    best->shownSeconds = change.seconds;
    best->behindMs = (heard - best->frame / kTimelineFramesPerSecond) * 1000.0;
  }
  return result;
}
