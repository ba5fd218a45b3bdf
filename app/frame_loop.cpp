// The frame loop: one presented frame per iteration (the shutdown after it is with the
// start-up, app/startup.cpp).
//
// The clock: while the music plays, the frame index follows the playback position at 60
// timeline frames per second (app/frame_clock.h): a display faster than that holds each
// index (the iterations in between render and present nothing), a slower GPU skips
// indices to catch up. The position is the music heard now; each index is chosen for the
// music that will be heard while its picture is on screen (app/picture_timing.h), which
// each presented frame measures. The refresh clock instead adds one per presented frame.
// Either way the music time the index stands for feeds the simulation, and the counter
// measures frame durations.

#include "app/frame_pipeline.h"
#include "audio/audio_renderer.h"
#include "gpu/render_app.h"
#include "platform/os.h"
#include "platform/window.h"

namespace {

double counterMilliseconds() {
  return double(osPerformanceCounter()) / (double(osPerformanceFrequency()) / 1000.0);
}

int32_t mouseButtonOf(uint32_t message) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
      return int32_t(buttonIndex(MouseButton::Left));
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      return int32_t(buttonIndex(MouseButton::Middle));
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      return int32_t(buttonIndex(MouseButton::Right));
    default:
      return -1;
  }
}

}  // namespace

// The pressed flags of the last iteration are forgotten, then every waiting message is
// taken until the queue is empty, a quit arrives or the wheel turns (both
// leave the remaining messages queued for the next iteration).
void pumpMessages() {
  clearPressedInput(inputState);
  WindowMessage msg;
  while (windowPeekMessage(&msg)) {
    const uint32_t k = uint32_t(msg.wParam & 0xFF);
    switch (msg.message) {
      case WM_QUIT:
        renderApp.quit = 1;
        return;
      case WM_MOUSEWHEEL:
        inputState.wheel += messageWheelDelta(msg.wParam);
        return;
      case WM_KEYDOWN:
        if (inputState.keyDown[k] == 0) inputState.keyPressed[k] = 1;
        inputState.keyDown[k] = 1;
        break;
      case WM_KEYUP:
        inputState.keyDown[k] = 0;
        break;
      case WM_MOUSEMOVE:
        renderApp.mouseX = float(messageX(msg.lParam));
        renderApp.mouseY = float(messageY(msg.lParam));
        break;
      case WM_LBUTTONDOWN:
      case WM_MBUTTONDOWN:
      case WM_RBUTTONDOWN: {
        int32_t b = mouseButtonOf(msg.message);
        if (inputState.buttonDown[b] == 0) inputState.buttonPressed[b] = 1;
        inputState.buttonDown[b] = 1;
        break;
      }
      case WM_LBUTTONUP:
      case WM_MBUTTONUP:
      case WM_RBUTTONUP: {
        int32_t b = mouseButtonOf(msg.message);
        inputState.buttonDown[b] = 0;
        inputState.buttonPressed[b] = 0;
        break;
      }
      default:
        windowDispatchMessage(&msg);
        break;
    }
  }
}

namespace {

// The music time the clock chooses the next index for. A fixed clock says what a display
// of its rate would see: on the music clock one period per iteration, on the refresh
// clock the time of the frame after the one just rendered. The refresh clock takes the
// device's answer as it is (a failed query is 0); the music clock cannot wait on a
// position that stands still, and looks ahead to when the picture will be seen.
double readMusicSeconds(Presentation& p) {
  const PresentationOptions& o = p.options;
  if (o.fixedClock && o.clock == FrameClockMode::Refresh)
    return double(p.simulation.data.frame + 1) / o.fixedFramesPerSecond;
  if (o.fixedClock) return double(p.fixedTicks) / o.fixedFramesPerSecond;
  const double deviceSeconds = p.audio->positionSeconds();
  if (o.clock == FrameClockMode::Refresh) return deviceSeconds;
  return trustedMusicSeconds(p.musicPosition, deviceSeconds, counterMilliseconds()) + pictureLeadSeconds(p.pictures);
}

// Moves the index on to `next` at the music time `seconds`; an index the music has not
// left yet is held.
void setFrameIndex(Presentation& p, uint32_t next, double seconds) {
  SimulationData& sim = p.simulation.data;
  p.frameHeld = next == sim.frame;
  sim.time = float(seconds * 1000.0 - kAudioLatencyMs);
  sim.frame = next;
  p.musicSeconds = seconds;
  p.indexChosenByClock = !p.options.fixedClock && p.options.clock == FrameClockMode::Music;
  p.indexChosenMs = counterMilliseconds();
}

// The pictures the GPU has finished by now are on screen: their delay is measured.
void seePicturesFinished(Presentation& p, double nowMs) {
  if (p.pictures.inFlightCount > 0) picturesFinished(p.pictures, framesFinished(), nowMs);
}

// After the passes were recorded: the shader time and frame count, the camera's previous
// matrices, and the simulation's music time and frame index (or the music's start).
void advanceClocks(Presentation& p) {
  ConstantBufferData& c = p.constants.data;
  c.time += float(p.previousFrameDurationMs);
  c.frame += 1.0f;
  keepCameraConstantsAsPrevious(c);

  SimulationData& sim = p.simulation.data;
  if (p.audio->streamer.playing.load()) {
    p.fixedTicks += 1;
    // Playing in real time, the music clock chooses the next index when the next frame
    // starts, as late as it can: then fewer frames in flight lie between choice and picture.
    // Until then the index counts as held.
    if (!p.options.fixedClock && p.options.clock == FrameClockMode::Music) {
      p.frameHeld = true;
      return;
    }
    const double seconds = readMusicSeconds(p);
    setFrameIndex(p, nextFrameIndex(p.options.clock, sim.frame, seconds), seconds);
  } else {
    // The first rendered frame keeps index 0 (the simulation's set-up frame) and the
    // music starts with it.
    p.audio->play();
    p.fixedTicks = 0;
    p.musicPosition = {};
  }
}

// An iteration while the index is held: true once the music has reached a later index
// (then this iteration renders it), false while it is still held.
bool leaveHold(Presentation& p) {
  const double seconds = readMusicSeconds(p);
  const uint32_t next = nextFrameIndex(p.options.clock, p.simulation.data.frame, seconds);
  if (next == p.simulation.data.frame) {
    if (p.options.fixedClock) {
      p.fixedTicks += 1;
      p.heldMs += 1000.0 / p.options.fixedFramesPerSecond;
    } else {
      osWaitMicroseconds(1000);
    }
    p.waitedForMusic = true;
    return false;
  }
  setFrameIndex(p, next, seconds);
  // The frame before stayed on screen until now: that is how far the simulation moves.
  const double held = p.options.fixedClock ? p.heldMs : counterMilliseconds() - p.frameEndMs;
  p.heldMs = 0.0;
  p.previousFrameDurationMs += held;
  p.simulation.data.dt = float(p.previousFrameDurationMs) * p.timeScale;
  return true;
}

}  // namespace

bool runFrame(Presentation& p) {
  ASSERT(p.running, "The presentation is not running\n");
  // Take the window's messages (or only forget last frame's presses offscreen); Escape quits.
  if (renderApp.window != nullptr) {
    pumpMessages();
  } else {
    clearPressedInput(inputState);
  }
  if (inputState.keyPressed[VK_ESCAPE]) renderApp.quit = 1;
  // Ctrl-C, SIGTERM and SIGHUP end the presentation as Escape does.
  if (osStopRequestExitStatus() != 0) renderApp.quit = 1;
  seePicturesFinished(p, counterMilliseconds());
  if (p.frameHeld) {
    p.lastFrame = {};
    p.lastFrame.held = true;
    p.lastFrame.simulationFrame = p.simulation.data.frame;
    if (renderApp.quit != 0) return false;
    if (!leaveHold(p)) return true;
    p.lastFrame.held = false;
    if (p.simulation.data.frame > kEndFrameIndex) {
      renderApp.quit = 1;
      return false;
    }
  }
  const bool afterHold = p.waitedForMusic;
  p.waitedForMusic = false;
  // Evaluate the timeline and move the camera.
  updateTimeline(p.timeline, p.destinations);
  updateCamera(p.camera, false, inputState, Float2{renderApp.mouseX, renderApp.mouseY});
  // Start timing the frame.
  const double start = counterMilliseconds();
  DescriptorAllocator* heap = nullptr;
  gfx::GraphicsCommandList* commandList = openFrame(p, &heap);
  DescriptorAllocator& frameHeap = *heap;
  FrameReport& report = p.lastFrame;
  // Record the frame: its passes once the music streams, the music's synthesis before.
  // Advancing the clocks may choose the next index: this one's choice is kept for its picture.
  const bool chosenByClock = p.indexChosenByClock;
  const double chosenMs = p.indexChosenMs;
  if (p.audio->state == AudioState::Streaming) {
    recordFramePasses(p, commandList, frameHeap);
    report.passesRecorded = true;
    p.lastShownFrame = report.simulationFrame;
    p.framesShown += 1;
    advanceClocks(p);
  } else {
    p.audio->render(commandList, frameHeap, p.barriers);
  }
  report.descriptorsUsed = frameHeap.used;
  // Hand the back buffer to presentation, submit and present.
  recordPresentTransition(p, commandList);
  endFrame();
  // The frame's duration drives the next frame's simulation step.
  p.frameEndMs = counterMilliseconds();
  if (report.passesRecorded && chosenByClock) picturePresented(p.pictures, renderApp.frameCounter, chosenMs, p.frameEndMs, afterHold);
  seePicturesFinished(p, p.frameEndMs);
  double duration = p.frameEndMs - start;
  if (p.options.fixedClock) duration = 1000.0 / p.options.fixedFramesPerSecond;
  p.simulation.data.dt = float(duration) * p.timeScale;
  p.previousFrameDurationMs = duration;
  // Quit after the last frame of the presentation.
  if (p.simulation.data.frame > kEndFrameIndex) renderApp.quit = 1;
  return renderApp.quit == 0;
}

namespace {

// On a CPU device without a size given: the size chosen for the machine, applied between frames
// and said once chosen (app/render_size_choice.h).
void followRenderSizeChoice(Presentation& p) {
  if (!p.choosingRenderSize || !p.lastFrame.passesRecorded) return;
  const ChoiceStep step = renderSizeAfterFrame(p.sizeChoice, p.frameEndMs, p.lastFrame.simulationFrame);
  if (step.resize) resizeRenderTargets(p, step.size.width, step.size.height);
  if (step.decided)
    printMessage("tarnix: drawing on the CPU (%s), not a GPU: %s; --render-size WxH or native sets it\n",
                 deviceName().c_str(), step.say.c_str());
}

}  // namespace

PresentationSummary runPresentation(Presentation& p) {
  while (runFrame(p)) followRenderSizeChoice(p);
  const PresentationSummary summary = {p.framesShown, p.lastShownFrame, p.musicSeconds};
  shutdownPresentation(p);
  return summary;
}
