// The camera's share of every frame: the update after the timeline has written the
// camera, then the view, view-projection and inverse matrices the passes read.
#include <benchmark/benchmark.h>

#include "base/input_state.h"
#include "scene/camera.h"
#include "support/startup_camera.h"

namespace {

void BM_CameraFrame(benchmark::State& state) {
  Camera camera = startupCamera();
  InputState input;
  clearInputState(input);
  bool freeFlight = state.range(0) != 0;
  if (freeFlight) input.keyDown['W'] = 1;
  float t = 0.0f;
  for (auto _ : state) {
    // What the timeline does each frame: new angles, so nothing is constant-folded.
    t += 0.001f;
    camera.pitch = 0.2f * t;
    camera.roll = 0.1f * t;
    updateCamera(camera, freeFlight, input, {0.0f, 0.0f});
    CameraConstants constants = computeCameraConstants(camera);
    benchmark::DoNotOptimize(constants);
  }
}
BENCHMARK(BM_CameraFrame)->Arg(0)->Arg(1)->ArgName("freeFlight");

void BM_Invert(benchmark::State& state) {
  Camera camera = startupCamera();
  updateCamera(camera, false, InputState{}, {0.0f, 0.0f});
  Float4x4 m = computeCameraConstants(camera).viewProjMtx;
  for (auto _ : state) {
    Float4x4 inv = m;
    benchmark::DoNotOptimize(invert(inv));
    benchmark::DoNotOptimize(inv);
  }
}
BENCHMARK(BM_Invert);

}  // namespace
