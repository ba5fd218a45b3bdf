#include "app/picture_timing.h"

#include <algorithm>

namespace {

void addSample(double (&ring)[kPictureSamples], uint32_t& count, double value) {
  ring[count % kPictureSamples] = value;
  count += 1;
}

// The sample that `fraction` of those kept lie below (the median at 1/2, the upper one of an
// even count); 0 without any.
double quantile(const double (&ring)[kPictureSamples], uint32_t count, double fraction) {
  const uint32_t kept = std::min(count, kPictureSamples);
  if (kept == 0) return 0.0;
  double sorted[kPictureSamples];
  std::copy(ring, ring + kept, sorted);
  const uint32_t at = uint32_t(fraction * kept);
  std::nth_element(sorted, sorted + at, sorted + kept);
  return sorted[at];
}

// The mean of the samples kept; 0 without any.
double mean(const double (&ring)[kPictureSamples], uint32_t count) {
  const uint32_t kept = std::min(count, kPictureSamples);
  double sum = 0.0;
  for (uint32_t i = 0; i < kept; ++i) sum += ring[i];
  return kept > 0 ? sum / kept : 0.0;
}

}  // namespace

void picturePresented(PictureTiming& timing, uint64_t frames, double chosenMs, double presentedMs, bool afterHold) {
  if (timing.presentedCount++ > 0)
    addSample(timing.intervalsMs, timing.intervalCount, std::max(0.0, presentedMs - timing.lastPresentedMs));
  addSample(timing.afterHolds, timing.afterHoldCount, afterHold ? 1.0 : 0.0);
  timing.lastPresentedMs = presentedMs;
  // A GPU that never finishes anything leaves the oldest behind: the newest say more.
  if (timing.inFlightCount == kPicturesInFlight) {
    std::copy(timing.inFlight + 1, timing.inFlight + kPicturesInFlight, timing.inFlight);
    timing.inFlightCount -= 1;
  }
  timing.inFlight[timing.inFlightCount++] = {frames, chosenMs};
}

void picturesFinished(PictureTiming& timing, uint64_t framesFinished, double nowMs) {
  uint32_t seen = 0;
  while (seen < timing.inFlightCount && timing.inFlight[seen].frames <= framesFinished) {
    addSample(timing.delaysMs, timing.delayCount, std::max(0.0, nowMs - timing.inFlight[seen].chosenMs));
    seen += 1;
  }
  std::copy(timing.inFlight + seen, timing.inFlight + timing.inFlightCount, timing.inFlight);
  timing.inFlightCount -= seen;
}

double pictureLeadSeconds(const PictureTiming& timing) {
  if (timing.delayCount == 0) return 0.0;
  const double unheld = 1.0 - mean(timing.afterHolds, timing.afterHoldCount);
  const double centreMs = unheld * quantile(timing.intervalsMs, timing.intervalCount, 0.5) / 2.0;
  // The GPU's progress is seen only when the loop asks, after a frame or before the next one:
  // a delay is measured late by up to a loop's iteration, never early. A slow loop's samples
  // then fall in two groups a picture apart, and a median would jump between them; the lower
  // quartile keeps to what the GPU took.
  return (quantile(timing.delaysMs, timing.delayCount, 0.25) + centreMs) / 1000.0;
}
