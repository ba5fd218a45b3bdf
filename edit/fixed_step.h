#pragma once
// The capture tool's clock, frame by frame: what the presentation on the fixed 60 Hz clock
// (tarnix-capture) feeds the particle simulation and the passes when it shows timeline frame
// n. The editor renders every frame with these values and re-runs the simulation with them
// after a seek, so a frame looks the same however it was reached.
//
// The simulation's steps come in the order a 60 Hz run makes them: frame 0 twice (the first
// one starts the music), then one step per frame. Rendering frame n makes step n + 1, after
// steps 0 to n.
#include <cstdint>

#include "app/scene_parameters.h"
#include "scene/camera.h"
#include "shaders/ParticleConfig.h"
#include "timeline/timeline.h"

inline constexpr uint32_t stepOfFrame(uint32_t frame) { return frame + 1; }
inline constexpr uint32_t frameOfStep(uint32_t step) { return step == 0 ? 0 : step - 1; }

// Every destination the timeline writes, held apart from the presentation's own, so that a
// frame's values can be worked out without touching what is on screen.
struct ParameterValues {
  ParticleSceneData particleScene;
  SimulationData simulation;
  float timeScale;
  Camera camera;
  FinalPassData finalPass;
  DepthOfFieldData depthOfField;
  ConstantBufferData constants;
  uint32_t atrousSteps;
  TimelineDestinations destinations();
};

// The timeline's values at `frame` over the starting values (which a parameter without a
// track keeps), with the camera moved as the frame loop moves it without free flight.
void evaluateParameters(Timeline* timeline, uint32_t frame, ParameterValues* values);

// What one step of the simulation reads: the simulation's constants and the scene's.
struct SimulationStep {
  SimulationData simulation;
  ParticleSceneData particleScene;
};
SimulationStep simulationStepAt(Timeline* timeline, uint32_t step);

// The frame loop's clock values while it renders `frame`: the scene constants' time and
// frame count (accumulated in single precision, as the loop adds them frame by frame).
struct FixedStepClock {
  float constantsTime;
  float constantsFrame;
};
FixedStepClock fixedStepClockAt(uint32_t frame);

// The first frame from which the simulation's inputs differ between the two timelines, or
// `limit` when they agree on every frame before it.
uint32_t firstSimulationDifference(Timeline* before, Timeline* after, uint32_t limit);
