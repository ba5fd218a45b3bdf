// How late the frame after a hold starts: a benchmark of the frame loop's hold on a fake
// display of 144 Hz (scripts/windows/hold-lateness runs it under Wine). Not a test: it
// prints figures and checks nothing.
//
// The real presentation runs (runFrame, offscreen, a small render size) with the music
// clock following the silent real-time clock, which reads the counter, so the music
// position is known exactly at every moment. The fake display: after each rendered frame
// the loop waits for the display's next refresh, as a swap chain with nothing queued
// would (the offscreen swap chain itself presents at once). At 144 Hz each timeline frame
// (60 per second of music) lasts 2.4 refreshes, so after every rendered frame the clock
// holds and the loop polls the music with osWaitMicroseconds (platform/os.h) until it
// reaches the next index; then the next frame is rendered. Its lateness is the music's
// position when that iteration starts minus the position at which the next index began
// ((index + 0.5) / 60 s: the clock takes the nearest frame). Each frame after a hold
// reaches the screen at the first refresh after its render: with the refreshes' phase
// spread evenly, a lateness of L ms misses a refresh L / 6.9 of the time at 144 Hz.
//
//   platform_hold_lateness_bench [--frames N] [--hz F] [--size WxH]
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "app/presentation.h"
#include "audio/audio_renderer.h"
#include "platform/os.h"
#include "platform/wave_out.h"
#include "tests/platform/wait_timer_name.h"

namespace {

double nowMs() { return double(osPerformanceCounter()) * 1000.0 / double(osPerformanceFrequency()); }

struct Figures {
  double mean, median, p95, p99, max;
};

Figures figuresOf(std::vector<double> values) {
  if (values.empty()) return {};
  std::sort(values.begin(), values.end());
  double sum = 0.0;
  for (double v : values) sum += v;
  auto at = [&](double q) { return values[std::min(values.size() - 1, size_t(q * double(values.size() - 1) + 0.5))]; };
  return {sum / double(values.size()), at(0.5), at(0.95), at(0.99), values.back()};
}

void printFigures(const char* what, const std::vector<double>& values) {
  Figures f = figuresOf(values);
  std::printf("  %-44s mean %6.3f  median %6.3f  p95 %6.3f  p99 %6.3f  max %6.3f ms  (%zu)\n", what, f.mean,
              f.median, f.p95, f.p99, f.max, values.size());
}

// Waits until the counter reaches `ms` (the fake display's refresh), spinning for the last
// stretch so that the display keeps exact time whatever the waits do.
void waitUntilMs(double ms) {
  while (ms - nowMs() > 2.5) osWaitMicroseconds(500);
  while (nowMs() < ms) {
  }
}

Presentation presentation;

struct Settings {
  int wantedFrames = 400;
  double refreshHz = 144.0;
  unsigned width = 32, height = 18;
};

// False after printing the usage when an argument is not understood.
bool parseSettings(int argc, char** argv, Settings& s) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) {
      s.wantedFrames = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--hz") == 0 && i + 1 < argc) {
      s.refreshHz = std::atof(argv[++i]);
    } else if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc &&
               std::sscanf(argv[i + 1], "%ux%u", &s.width, &s.height) == 2) {
      ++i;
    } else {
      std::fprintf(stderr, "usage: %s [--frames N] [--hz F] [--size WxH]\n", argv[0]);
      return false;
    }
  }
  return true;
}

struct Measured {
  std::vector<double> lateness, renderMs, heldPolls;
  int renderedFrames = 0;
};

// Runs the frame loop on a fake display of refreshHz until wantedFrames frames followed a hold.
Measured measureHolds(Presentation& p, const Settings& settings) {
  Measured m;
  const double refreshMs = 1000.0 / settings.refreshHz;
  double firstRefreshMs = -1.0;  // the fake display's refreshes: firstRefreshMs + k * refreshMs
  int polls = 0;
  bool held = false;
  uint32_t heldIndex = 0;
  while (int(m.lateness.size()) < settings.wantedFrames) {
    const bool playing = p.audio->streamer.playing.load();
    const double callMs = nowMs();
    const double musicAtCall = playing ? p.audio->positionSeconds() : 0.0;
    if (!runFrame(p)) break;
    const double endMs = nowMs();
    if (p.lastFrame.held) {
      held = true;
      heldIndex = p.lastFrame.simulationFrame;
      ++polls;
      continue;
    }
    if (!p.lastFrame.passesRecorded) continue;  // the music is still being made
    ++m.renderedFrames;
    if (firstRefreshMs < 0.0) firstRefreshMs = endMs;
    if (held) {
      // This iteration left the hold: it started late by the music's progress past the
      // start of the index after the held one.
      const double boundary = (double(heldIndex) + 0.5) / kTimelineFramesPerSecond;
      m.lateness.push_back((musicAtCall - boundary) * 1000.0);
      m.renderMs.push_back(endMs - callMs);
      m.heldPolls.push_back(double(polls));
    }
    held = false;
    polls = 0;
    // The fake display: the frame is shown at the next refresh; the loop goes on then.
    waitUntilMs(firstRefreshMs + std::ceil((nowMs() - firstRefreshMs) / refreshMs) * refreshMs);
  }
  return m;
}

// The waits themselves, side by side: the hold's wait and the Sleep(1) it replaced.
void compareBareWaits() {
  std::vector<double> waits, sleeps;
  for (int i = 0; i < 300; ++i) {
    double start = nowMs();
    osWaitMicroseconds(1000);
    waits.push_back(nowMs() - start);
    start = nowMs();
    Sleep(1);
    sleeps.push_back(nowMs() - start);
  }
  printFigures("osWaitMicroseconds(1000)", waits);
  printFigures("Sleep(1), the wait before", sleeps);
}

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  if (!parseSettings(argc, argv, settings)) return 2;
  PresentationOptions options;
  options.renderWidth = settings.width;
  options.renderHeight = settings.height;
  options.offscreen = true;
  options.waveOut = silentWaveOutApi();
  options.noSound = true;  // the silent real-time clock: the counter since the music started
  startPresentation(presentation, options);
  const Measured m = measureHolds(presentation, settings);
  const double musicEnd = presentation.musicSeconds;
  shutdownPresentation(presentation);

  std::printf("hold lateness: %.0f Hz fake display, render %ux%u offscreen, silent real-time music clock\n",
              settings.refreshHz, settings.width, settings.height);
  std::printf("  the hold waits with %s\n", waitTimerName(osWaitTimer()));
  std::printf("  %d frames rendered, %u of them after a hold, music at %.1f s\n", m.renderedFrames,
              unsigned(m.lateness.size()), musicEnd);
  printFigures("lateness of the frame after a hold", m.lateness);
  printFigures("runFrame of that frame (render + submit)", m.renderMs);
  std::printf("  polls (held iterations) per hold: mean %.1f\n", figuresOf(m.heldPolls).mean);
  compareBareWaits();
  return 0;
}
