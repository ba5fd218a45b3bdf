// One frame of edit mode: the timeline evaluated at the frame, the camera (the timeline's, or
// the free-flight one), the simulation brought to the state before the frame, the frame's
// passes with the fixed step's values, the overlay.
#include "app/frame_pipeline.h"
#include "app/timeline_binding.h"
#include "audio/audio_renderer.h"
#include "edit/editor.h"
#include "edit/fixed_step.h"
#include "gpu/render_app.h"

namespace {

// The timeline writes the camera every frame; while flying, the flight's position and angles
// replace what it wrote (the field of view stays the timeline's), and the keys move it.
void moveCamera(Editor& e) {
  Presentation& p = *e.presentation;
  const Float2 mouse{renderApp.mouseX, renderApp.mouseY};
  if (!e.flying) {
    p.camera.velocity = Float3{0.0f, 0.0f, 0.0f};
    updateCamera(p.camera, false, inputState, mouse);
    return;
  }
  const Float4x4 projection = p.camera.projection;
  p.camera = e.flight;
  p.camera.projection = projection;
  updateCamera(p.camera, true, inputState, mouse);
  e.flight = p.camera;
}

// After a seek the previous frame's camera is the one before the frame, as a run through
// would have it.
void previousCameraOfFrame(Editor& e, uint32_t frame) {
  ParameterValues values;
  evaluateParameters(e.presentation->timeline, frame == 0 ? 0 : frame - 1, &values);
  ConstantBufferData& c = e.presentation->constants.data;
  writeCameraConstants(values.camera, c);
  keepCameraConstantsAsPrevious(c);
}

// No previous positions: the temporal pass finds no pixel of the same sphere in the history
// and starts it over from this frame.
void recordHistoryRestart(Editor& e, gfx::GraphicsCommandList* cl) {
  Presentation& p = *e.presentation;
  TrackedResource& positions = p.textures.PrevPositionBuffer->resource;
  const uint32_t state = positions.state;
  requestTransition(p.barriers, positions, kStateCopyDest);
  requestTransition(p.barriers, e.noHistory->resource, kStateCopySource);
  flush(p.barriers, cl);
  cl->CopyResource(positions.resource, e.noHistory->resource.resource);
  requestTransition(p.barriers, positions, state);
  flush(p.barriers, cl);
}

// The passes with the fixed step's values: the scene constants' clock, and the simulation's
// inputs as a run through gives them (the flight moves the view, never the simulation).
void recordPasses(Editor& e, gfx::GraphicsCommandList* cl, DescriptorAllocator& heap, uint32_t frame) {
  Presentation& p = *e.presentation;
  recordSimulationBefore(e.replay, p, cl, heap, frame);
  if (e.restartHistory) recordHistoryRestart(e, cl);
  const FixedStepClock clock = fixedStepClockAt(frame);
  p.constants.data.time = clock.constantsTime;
  p.constants.data.frame = clock.constantsFrame;
  writeFrameConstants(p);
  const SimulationStep step = simulationStepAt(p.timeline, stepOfFrame(frame));
  p.simulation.data = step.simulation;
  p.particleScene.data = step.particleScene;
  uploadFrameConstants(p, cl);
  recordPassesAfterConstants(p, cl, heap);
  simulationStepped(e.replay, frame);
}

}  // namespace

void renderEditorFrame(Editor& e, uint32_t frame) {
  Presentation& p = *e.presentation;
  p.simulation.data.frame = frame;
  updateTimeline(p.timeline, p.destinations);
  moveCamera(e);
  if (e.restartHistory) previousCameraOfFrame(e, frame);

  DescriptorAllocator* frameHeap = nullptr;
  gfx::GraphicsCommandList* cl = openFrame(p, &frameHeap);
  DescriptorAllocator& heap = *frameHeap;
  FrameReport& report = p.lastFrame;
  recordPasses(e, cl, heap, frame);
  report.passesRecorded = true;
  recordHud(e.hud, p, cl, heap, hudLines(e));
  report.descriptorsUsed = heap.used;
  recordPresentTransition(p, cl);
  endFrame();

  keepCameraConstantsAsPrevious(p.constants.data);
  e.shownFrame = frame;
  e.restartHistory = false;
  e.redraw = false;
  p.lastShownFrame = frame;
  p.framesShown += 1;
  e.fpsFrames += 1;
}
