#pragma once
// Every parameter of the scene in one table: the track that animates it (none for the fixed
// ones), the type of its value, where its starting value lives in SceneParams, and the
// destination a value is written to. The timeline's binding, the default tracks and the
// values in force before the first frame all read this table, so a new parameter is one row.
#include <cstddef>
#include <cstdint>
#include <span>

#include "scene/camera.h"
#include "scene/scene_params.h"
#include "shaders/ParticleConfig.h"
#include "timeline/timeline.h"

// Where the parameters are written. The presentation owns every destination; the
// projection is usually the camera's own.
struct TimelineDestinations {
  ParticleSceneData* particleScene;
  SimulationData* simulation;  // its frame is the timeline clock
  float* timeScale;
  Camera* camera;
  FinalPassData* finalPass;  // receives the evaluated frame
  Float4x4* projection;
  DepthOfFieldData* depthOfField;
  ConstantBufferData* constants;
  uint32_t* atrousSteps;
};

// Writes a value's words into a destination as they are, whatever its type tag: a track of
// another type than its parameter delivers its bits unchanged.
using ParameterWrite = void (*)(const TimelineDestinations& destinations, const FrameValue& value);

struct SceneParameter {
  const char* track;          // the track that animates it; null for a fixed parameter
  TrackType type;             // of its track and of its starting value
  size_t startOffset;         // its starting value's place in SceneParams
  ParameterWrite write;                 // a track's value, every frame
  ParameterWrite writeStart = nullptr;  // the starting value, where it differs from `write`
  bool appliedAtStart = true;           // whether start-up writes the starting value
};

// The animated parameters first, in the order their default tracks are added, then the
// fixed ones.
std::span<const SceneParameter> sceneParameters();

// The parameter a track drives (exact, case-sensitive name), or null for an unbound name.
const SceneParameter* parameterOfTrack(const char* track);

// A parameter's starting value in `params`, tagged with its type.
FrameValue startValue(const SceneParameter& parameter, const SceneParams& params);

// Every starting value of `params` into its destination, as start-up does before the
// first frame.
void applySceneParams(const TimelineDestinations& destinations, const SceneParams& params);
