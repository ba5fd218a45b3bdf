#pragma once
// The progress line on standard error: a bar, frames done of the total, the capture's
// speed and the time left. On a terminal it is redrawn in place; otherwise a line is
// printed now and then, so a log does not fill with carriage returns.
#include <cstdint>
#include <string>

struct CaptureProgress {
  const char* phase;       // "capturing", or "simulating" for the frames before --from
  uint32_t done, total;
  double elapsedSeconds;  // since this phase began
};

// The text of one progress line, without line ending.
std::string formatProgress(const CaptureProgress& progress);

// Draws the line (throttled to a few times a second unless final).
void showProgress(const CaptureProgress& progress, bool final);
