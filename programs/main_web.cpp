// The program in a web page: the page (platform/web/page/) starts it once its start button is
// pressed, with arguments from the page's address:
//   --render-size WxH      the frame textures' size (960x540 unless given; W a multiple of 32)
//   --capture F1,F2,...    no window and no sound, a fixed clock of 60 frames per second of
//                          music: hands the page the synthesised music and the pictures of the
//                          listed timeline frames, and ends after the last (the web suites)
//   --timeline PATH        play the timeline file at PATH (the page writes the one it was asked
//                          for into the program's file system) instead of the built-in one
// Between frames it tells the page how far it is (status line, tests); at the end, what it showed.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/presentation.h"
#include "app/timeline_file.h"
#include "programs/web_editor.h"
#include "audio/audio_renderer.h"
#include "base/diagnostics.h"
#include "gpu/render_app.h"
#include "platform/wave_out.h"
#include "platform/web/page.h"

namespace {


Presentation presentation;

struct WebOptions {
  uint32_t width = 960, height = 540;
  std::vector<uint32_t> capture;  // empty: the show
  const char* timelinePath = nullptr;  // null: the built-in timeline
};

bool parseRenderSize(const char* text, WebOptions& o) {
  unsigned w = 0, h = 0;
  char end = 0;
  if (sscanf(text, "%ux%u%c", &w, &h, &end) != 2 || w < 32 || w > 3840 || w % 32 != 0 || h < 16 || h > 2160)
    return false;
  o.width = w;
  o.height = h;
  return true;
}

bool parseFrames(const char* text, WebOptions& o) {
  for (const char* p = text; *p;) {
    char* end = nullptr;
    unsigned long frame = strtoul(p, &end, 10);
    if (end == p || frame > kEndFrameIndex) return false;
    o.capture.push_back(uint32_t(frame));
    p = *end == ',' ? end + 1 : end;
    if (*end != ',' && *end != 0) return false;
  }
  std::sort(o.capture.begin(), o.capture.end());
  return !o.capture.empty();
}

bool parseArguments(int argc, char** argv, WebOptions& o) {
  for (int i = 1; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    if (strcmp(argv[i], "--render-size") == 0 && hasValue && parseRenderSize(argv[i + 1], o)) {
      i += 1;
    } else if (strcmp(argv[i], "--capture") == 0 && hasValue && parseFrames(argv[i + 1], o)) {
      i += 1;
    } else if (strcmp(argv[i], "--timeline") == 0 && hasValue) {
      o.timelinePath = argv[++i];
    } else {
      printMessage("tarnix: unknown or malformed argument %s\n", argv[i]);
      return false;
    }
  }
  return true;
}

PresentationOptions presentationOptions(const WebOptions& web) {
  PresentationOptions options;
  options.renderWidth = web.width;
  options.renderHeight = web.height;
  options.lookHeight = lookHeightFor(web.height);
  if (!web.capture.empty()) {
    options.offscreen = true;
    options.fixedClock = true;
    options.fixedFramesPerSecond = 60.0;
    options.noSound = true;
    options.waveOut = silentWaveOutApi();
  }
  return options;
}

// Capture: the music once it is in memory, then each listed frame's picture. False after the last.
bool handOver(Presentation& p, const WebOptions& web, bool& musicSent) {
  if (!musicSent && p.audio->state == AudioState::Streaming) {
    const WaveOutStreamer& s = p.audio->streamer;
    pageMusic(static_cast<const float*>(s.samples), s.totalFrames * s.channels);
    musicSent = true;
  }
  const FrameReport& report = p.lastFrame;
  if (!report.passesRecorded) return true;
  const uint32_t frame = report.simulationFrame;
  if (std::binary_search(web.capture.begin(), web.capture.end(), frame)) {
    std::vector<uint8_t> pixels(size_t(renderApp.width) * renderApp.height * 4);
    if (renderApp.swapChain->ReadBackBuffer(report.backBufferIndex, pixels.data(), renderApp.width * 4) == gfx::kOk)
      pageFrame(frame, pixels.data(), renderApp.width, renderApp.height);
  }
  return frame < web.capture.back();
}

// A version the editor panel wrote since the last frame replaces the running timeline; a
// track it lacks leaves its parameter at the starting value.
void playEditedTimeline(Presentation& p) {
  Timeline* edited = takeEditedTimeline();
  if (edited == nullptr) return;
  destroyTimeline(p.timeline);
  p.timeline = edited;
  applySceneParams(p.destinations, p.sceneParams);
}

}  // namespace

int main(int argc, char** argv) {
  WebOptions web;
  if (!parseArguments(argc, argv, web)) return 2;
  PresentationOptions options = presentationOptions(web);
  if (web.timelinePath != nullptr) {
    std::string message;
    options.timeline = readTimelineFile(web.timelinePath, &message);
    if (options.timeline == nullptr) {
      printMessage("%s\n", message.c_str());
      return 1;
    }
  } else {
    options.timeline = takeEditedTimeline();  // edited before the start: played from the first frame
  }
  startPresentation(presentation, options);
  bool musicSent = false;
  for (;;) {
    playEditedTimeline(presentation);
    const bool running = runFrame(presentation);
    pageStatus(uint32_t(presentation.audio->state), presentation.lastShownFrame, presentation.musicSeconds,
               presentation.framesShown);
    if (!running || (!web.capture.empty() && !handOver(presentation, web, musicSent))) break;
  }
  const PresentationSummary summary = {presentation.framesShown, presentation.lastShownFrame,
                                       presentation.musicSeconds};
  shutdownPresentation(presentation);
  printMessage("tarnix: %llu frames presented, last timeline frame %u at music time %.1f s\n",
               static_cast<unsigned long long>(summary.framesShown), summary.lastShownFrame, summary.musicSeconds);
  pageEnded(summary.framesShown, summary.lastShownFrame, summary.musicSeconds);
  return 0;
}
