#include "edit/fixed_step.h"

#include <cstring>
#include <vector>

#include "app/presentation.h"
#include "app/timeline_binding.h"

namespace {

// One frame at 60 frames per second, as the fixed clock measures it.
constexpr double kFramePeriodMs = 1000.0 / kTimelineFramesPerSecond;

// What the simulation reads of the parameters, for telling apart whether a value reaches it.
struct SimulationInputs {
  ParticleSceneData particleScene;
  SimulationData simulation;
  float timeScale;
  Float3 cameraPosition;
};

SimulationInputs simulationInputsOf(const ParameterValues& values) {
  SimulationInputs inputs;
  memset(&inputs, 0, sizeof(inputs));
  inputs.particleScene = values.particleScene;
  inputs.simulation = values.simulation;
  inputs.timeScale = values.timeScale;
  inputs.cameraPosition = values.camera.position;
  return inputs;
}

// The tracks whose values reach the simulation: found by writing two different values
// through each parameter's binding and seeing whether the simulation's inputs change.
const std::vector<const char*>& simulationTracks() {
  static const std::vector<const char*> tracks = [] {
    std::vector<const char*> names;
    for (const SceneParameter& parameter : sceneParameters()) {
      if (parameter.track == nullptr) continue;
      ParameterValues zero{}, one{};
      FrameValue zeroValue{}, oneValue{};
      for (uint32_t& word : oneValue.words) word = 0x3F800000u;
      parameter.write(zero.destinations(), zeroValue);
      parameter.write(one.destinations(), oneValue);
      SimulationInputs a = simulationInputsOf(zero), b = simulationInputsOf(one);
      if (memcmp(&a, &b, sizeof(a)) != 0) names.push_back(parameter.track);
    }
    return names;
  }();
  return tracks;
}

// The first frame whose value may differ between the two tracks (either may be absent: no
// keys). A key changed at frame s changes the frames after the key before it, unless that
// key holds its value. Conservative: the step after a frame reads its time scale too, and
// a difference found a frame early only costs one step more.
uint32_t firstDifference(const Track* a, const Track* b, uint32_t limit) {
  const uint32_t slots = a != nullptr ? a->keys.count : b != nullptr ? b->keys.count : 0;
  const Keyframe* previous = nullptr;
  uint32_t previousFrame = 0;
  for (uint32_t frame = 0; frame < slots && frame < limit; ++frame) {
    const Keyframe* x = a != nullptr ? a->keys[frame] : nullptr;
    const Keyframe* y = b != nullptr ? b->keys[frame] : nullptr;
    const bool same = (x == nullptr && y == nullptr) || (x != nullptr && y != nullptr && memcmp(x, y, sizeof(Keyframe)) == 0);
    // Before the first key both are zero; after a key that holds, both hold it.
    if (!same) return previous != nullptr && previous->easing != 0 ? previousFrame + 1 : frame;
    if (x != nullptr) {
      previous = x;
      previousFrame = frame;
    }
  }
  return limit;
}

}  // namespace

TimelineDestinations ParameterValues::destinations() {
  return {&particleScene, &simulation, &timeScale, &camera, &finalPass, &camera.projection,
          &depthOfField,  &constants,  &atrousSteps};
}

void evaluateParameters(Timeline* timeline, uint32_t frame, ParameterValues* values) {
  memset(static_cast<void*>(values), 0, sizeof(*values));
  // As start-up leaves them: a parameter whose track the timeline lacks keeps this value.
  const SceneParams start{};
  initCamera(values->camera, start.cameraPosition);
  applySceneParams(values->destinations(), start);
  values->simulation.frame = frame;
  updateTimeline(timeline, values->destinations());
  InputState none;
  clearInputState(none);
  updateCamera(values->camera, false, none, Float2{0.0f, 0.0f});
}

SimulationStep simulationStepAt(Timeline* timeline, uint32_t step) {
  const uint32_t frame = frameOfStep(step);
  ParameterValues values;
  // The step's time step was measured after the frame before it, with that frame's scale.
  evaluateParameters(timeline, step <= 1 ? 0 : frame - 1, &values);
  const float timeScale = values.timeScale;
  evaluateParameters(timeline, frame, &values);
  SimulationStep result;
  memset(&result, 0, sizeof(result));
  result.particleScene = values.particleScene;
  result.simulation = values.simulation;
  copyIntoField(result.simulation.cameraPos, values.camera.position);
  result.simulation.frame = frame;
  // The music's time: 0 until the frame after the first, then n / 60 s less the latency.
  result.simulation.time = frame == 0 ? 0.0f : float(double(frame) / kTimelineFramesPerSecond * 1000.0 - kAudioLatencyMs);
  result.simulation.dt = float(kFramePeriodMs) * timeScale;
  return result;
}

FixedStepClock fixedStepClockAt(uint32_t frame) {
  // Frame 0 is rendered twice; the shown one is the second, after one period.
  FixedStepClock clock{0.0f, 0.0f};
  for (uint32_t i = 0; i <= frame; ++i) {
    clock.constantsTime += float(kFramePeriodMs);
    clock.constantsFrame += 1.0f;
  }
  return clock;
}

uint32_t firstSimulationDifference(Timeline* before, Timeline* after, uint32_t limit) {
  uint32_t first = limit;
  for (const char* name : simulationTracks()) {
    const uint32_t frame = firstDifference(findTrack(before, name), findTrack(after, name), first);
    if (frame < first) first = frame;
  }
  return first;
}
