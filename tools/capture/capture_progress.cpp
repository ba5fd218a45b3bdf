#include "tools/capture/capture_progress.h"

#include <chrono>
#include <cmath>
#include <cstdio>

#include "platform/os.h"

namespace {

constexpr int kBarWidth = 30;

std::string clockText(double seconds) {
  long s = long(std::lround(seconds));
  char text[32];
  if (s >= 3600)
    snprintf(text, sizeof(text), "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  else
    snprintf(text, sizeof(text), "%ld:%02ld", s / 60, s % 60);
  return text;
}

}  // namespace

std::string formatProgress(const CaptureProgress& p) {
  const double fraction = p.total ? double(p.done) / double(p.total) : 1.0;
  const int filled = int(fraction * kBarWidth);
  std::string bar(size_t(filled), '#');
  bar.append(size_t(kBarWidth - filled), '.');
  char text[160];
  if (p.done == 0 || p.elapsedSeconds <= 0.0) {
    snprintf(text, sizeof(text), "%-10s [%s] %u/%u frames", p.phase, bar.c_str(), p.done, p.total);
  } else {
    const double fps = double(p.done) / p.elapsedSeconds;
    const double left = double(p.total - p.done) / fps;
    snprintf(text, sizeof(text), "%-10s [%s] %u/%u frames, %.2f fps, %s left", p.phase, bar.c_str(), p.done,
             p.total, fps, clockText(left).c_str());
  }
  return text;
}

void showProgress(const CaptureProgress& progress, bool final) {
  using Clock = std::chrono::steady_clock;
  static Clock::time_point lastShown;
  static bool shownOnce = false;
  const bool terminal = osStandardErrorIsTerminal();
  const auto now = Clock::now();
  const auto interval = terminal ? std::chrono::milliseconds(200) : std::chrono::milliseconds(10000);
  if (!final && shownOnce && now - lastShown < interval) return;
  lastShown = now;
  shownOnce = true;
  std::string line = formatProgress(progress);
  if (terminal)
    fprintf(stderr, "\r%s\x1b[K%s", line.c_str(), final ? "\n" : "");
  else
    fprintf(stderr, "%s\n", line.c_str());
  fflush(stderr);
}
