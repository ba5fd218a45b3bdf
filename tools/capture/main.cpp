// tarnix-capture: the presentation rendered frame by frame, offscreen, with a fixed
// clock instead of the playback position, and written as images or a video. Every frame
// is rendered in the same sequence as a live run, so the simulation and the temporal
// history are exactly what a display refreshing at the chosen rate would show.
#include <chrono>
#include <cstdio>
#include <vector>

#include "app/presentation.h"
#include "app/timeline_file.h"
#include "audio/audio_renderer.h"
#include "base/version.h"
#include "gpu/device_choice.h"
#include "gpu/render_app.h"
#include "platform/wave_out.h"
#include "tools/capture/capture_options.h"
#include "tools/capture/capture_output.h"
#include "tools/capture/capture_progress.h"
#include "tools/capture/frame_writer.h"
#include "tools/capture/platform/capture_os.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Too large for the stack and used for the whole run.
Presentation presentation;

enum class CaptureEnd { Complete, Stopped, Failed };

// Each iteration of the presentation after the first rendered frame (which starts the
// music) is one output frame: a newly rendered index, or one the music clock holds, which
// a display would go on showing and which is written again. The writer encodes a frame
// while the next one renders.
CaptureEnd captureFrames(Presentation& p, CaptureOutputState& output, FrameWriter& writer, std::string* error) {
  const CaptureOptions& o = output.options;
  std::vector<uint8_t> pixels(size_t(o.outputWidth) * o.outputHeight * 4);
  const uint32_t total = o.toFrame - o.fromFrame + 1;
  bool musicStarted = false;
  uint32_t outputFrame = 0;
  Clock::time_point phaseStart = Clock::now();
  while (true) {
    if (stopRequested()) return CaptureEnd::Stopped;
    const bool more = runFrame(p);
    const FrameReport& frame = p.lastFrame;
    if (!musicStarted) {
      if (frame.passesRecorded) {
        const WaveOutStreamer& music = p.audio->streamer;
        ASSERT(music.bitsPerSample == 32, "The capture expects the music as float samples\n");
        startCaptureOutput(output, static_cast<const float*>(music.samples), music.totalFrames);
        musicStarted = true;
        phaseStart = Clock::now();
      }
      if (!more) return CaptureEnd::Stopped;
      continue;
    }
    if (!frame.passesRecorded && !frame.held) return CaptureEnd::Complete;  // ended without a new frame
    const uint32_t n = outputFrame++;
    // A held frame is the picture read back last time, which may lie before --from.
    if (frame.passesRecorded &&
        renderApp.swapChain->ReadBackBuffer(frame.backBufferIndex, pixels.data(), o.outputWidth * 4) != gfx::kOk) {
      *error = "cannot read the rendered frame back";
      return CaptureEnd::Failed;
    }
    if (n < o.fromFrame) {
      showProgress({"simulating", n + 1, o.fromFrame, secondsSince(phaseStart)}, n + 1 == o.fromFrame);
      if (n + 1 == o.fromFrame) phaseStart = Clock::now();
    } else {
      if (!writer.push(n, pixels, error)) return CaptureEnd::Failed;
      const uint32_t done = n - o.fromFrame + 1;
      showProgress({"capturing", done, total, secondsSince(phaseStart)}, done == total);
      if (n == o.toFrame) return CaptureEnd::Complete;
    }
    if (!more) return CaptureEnd::Complete;
  }
}

// The presentation offscreen, on the fixed clock of the capture's rate, silent.
PresentationOptions presentationOptionsOf(const CaptureOptions& options) {
  PresentationOptions run;
  run.renderWidth = options.renderWidth;
  run.renderHeight = options.renderHeight;
  run.lookHeight = options.lookHeight != 0 ? options.lookHeight : lookHeightFor(options.renderHeight);
  run.offscreen = true;
  run.outputWidth = options.outputWidth;
  run.outputHeight = options.outputHeight;
  run.fixedClock = true;
  run.clock = options.clock;
  run.fixedFramesPerSecond = options.fps.perSecond();
  run.waveOut = silentWaveOutApi();
  run.device = options.device.empty() ? nullptr : options.device.c_str();
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  CaptureOptions options;
  std::string error;
  switch (parseCaptureOptions(argc, argv, &options, &error)) {
    case ParseResult::Help:
      fputs(captureUsage(), stdout);
      return 0;
    case ParseResult::Version:
      printf("tarnix-capture %s\n", kTarnixVersion);
      return 0;
    case ParseResult::Error:
      fprintf(stderr, "tarnix-capture: %s\n\n%s", error.c_str(), captureUsage());
      return 2;
    case ParseResult::Ok:
      break;
  }

  PresentationOptions run = presentationOptionsOf(options);
  if (options.listDevices) {
    std::string list;
    const bool listed = listDevices(presentationDeviceRequirements(run), &list);
    fputs(list.c_str(), listed ? stdout : stderr);
    return listed ? 0 : 1;
  }
  if (run.device != nullptr && !deviceNameFound(run.device, &error)) {
    fprintf(stderr, "tarnix-capture: %s\n", error.c_str());
    return 2;
  }

  // The timeline file first: a file that cannot be used leaves no output behind.
  Timeline* timeline = nullptr;
  if (!options.timelinePath.empty() && (timeline = readTimelineFile(options.timelinePath, &error)) == nullptr) {
    fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }

  CaptureOutputState output;
  if (!prepareCaptureOutput(output, options, &error)) {
    destroyTimeline(timeline);
    fprintf(stderr, "tarnix-capture: %s\n", error.c_str());
    return 1;
  }
  installStopRequestHandler();

  run.timeline = timeline;
  startPresentation(presentation, run);

  FrameWriter writer(output);
  CaptureEnd end = captureFrames(presentation, output, writer, &error);
  shutdownPresentation(presentation);
  if (!writer.finish(&error)) end = CaptureEnd::Failed;
  std::string finishError;
  const bool finished = finishCaptureOutput(output, &finishError);

  if (end == CaptureEnd::Failed) {
    fprintf(stderr, "\ntarnix-capture: %s\n", error.c_str());
    return 1;
  }
  if (!finished) {
    fprintf(stderr, "\ntarnix-capture: %s\n", finishError.c_str());
    return 1;
  }
  if (end == CaptureEnd::Stopped && output.framesWritten == 0)
    fprintf(stderr, "\ntarnix-capture: stopped before the first frame; no video written\n");
  else if (end == CaptureEnd::Stopped)
    fprintf(stderr, "\ntarnix-capture: stopped; %u frames written to %s\n", output.framesWritten,
            options.out.c_str());
  else
    fprintf(stderr, "tarnix-capture: %u frames written to %s\n", output.framesWritten, options.out.c_str());
  return end == CaptureEnd::Stopped ? 130 : 0;
}
