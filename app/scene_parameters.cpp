#include "app/scene_parameters.h"

#include <cstring>

namespace {

using D = const TimelineDestinations&;
using V = const FrameValue&;

void copyWords(void* destination, V value, uint32_t wordCount) {
  memcpy(destination, value.words, wordCount * sizeof(uint32_t));
}

float floatWord(V value, uint32_t index) {
  float result;
  memcpy(&result, &value.words[index], sizeof(result));
  return result;
}

// One 32-bit field of a destination record, or a destination that is one word itself.
template <auto record, auto field>
void writeField(D d, V v) {
  copyWords(&((d.*record)->*field), v, 1);
}
template <auto word>
void writeWord(D d, V v) {
  copyWords(d.*word, v, 1);
}

using T = TimelineDestinations;
void writeCameraPosition(D d, V v) { d.camera->position = {floatWord(v, 0), floatWord(v, 1), floatWord(v, 2)}; }
// The track's three words are pitch, yaw and roll; the starting value's are yaw, pitch and
// roll. The embedded timeline and SceneParams are both written for their own order.
void writeCameraDirection(D d, V v) {
  d.camera->pitch = floatWord(v, 0);
  d.camera->yaw = floatWord(v, 1);
  d.camera->roll = floatWord(v, 2);
}
void writeStartCameraDirection(D d, V v) {
  d.camera->yaw = floatWord(v, 0);
  d.camera->pitch = floatWord(v, 1);
  d.camera->roll = floatWord(v, 2);
}
void writeFieldOfView(D d, V v) { makeCameraProjection(*d.projection, floatWord(v, 0)); }
void writeBackgroundColor(D d, V v) {
  d.particleScene->backgroundColor = {floatWord(v, 0), floatWord(v, 1), floatWord(v, 2)};
}

#define AT(field) offsetof(SceneParams, field)
#define FIELD(record, type, field) writeField<&T::record, &type::field>
constexpr TrackType kFloat = TrackType::FLOAT, kFloat3 = TrackType::FLOAT3, kUint = TrackType::UINT;

const SceneParameter kSceneParameters[] = {
    {"SM::NumPart", kUint, AT(numParticles), FIELD(particleScene, ParticleSceneData, numParticles)},
    // The simulation starts in scene 0 whatever the starting value says.
    {"SM::SceneID", kUint, AT(sceneId), FIELD(simulation, SimulationData, scene), nullptr, false},
    {"SM::TimeSc", kFloat, AT(timeScale), writeWord<&T::timeScale>},
    {"CM::Pos", kFloat3, AT(cameraPosition), writeCameraPosition},
    {"CM::Dir", kFloat3, AT(cameraDirection), writeCameraDirection, writeStartCameraDirection},
    {"CM::Bright", kFloat, AT(brightness), FIELD(finalPass, FinalPassData, brightness)},
    {"CM::Fov", kFloat, AT(fovDegrees), writeFieldOfView},
    {"BP::BkgColor", kFloat3, AT(backgroundColor), writeBackgroundColor},
    {"DF::FocusSc", kFloat, AT(focusScale), FIELD(depthOfField, DepthOfFieldData, focusScale)},
    {"DF::FocusPt", kFloat, AT(focusPoint), FIELD(depthOfField, DepthOfFieldData, focusPoint)},
    {"TR::BlendFct", kFloat, AT(blendFactor), FIELD(constants, ConstantBufferData, blendFactor)},
    {"AT::Steps", kUint, AT(atrousSteps), writeWord<&T::atrousSteps>},
    {"PT::SampleCnt", kUint, AT(sampleCount), FIELD(constants, ConstantBufferData, sampleCount)},
    {nullptr, kFloat, AT(radiusScale), FIELD(depthOfField, DepthOfFieldData, radiusScale)},
    {nullptr, kFloat, AT(blurSize), FIELD(depthOfField, DepthOfFieldData, blurSize)},
    {nullptr, kFloat, AT(maxDist), FIELD(depthOfField, DepthOfFieldData, maxDist)},
    {nullptr, kFloat, AT(depthThreshold), FIELD(constants, ConstantBufferData, depthThreshold)},
    {nullptr, kFloat, AT(normalThreshold), FIELD(constants, ConstantBufferData, normalThreshold)},
    {nullptr, kFloat, AT(standardDeviation), FIELD(constants, ConstantBufferData, standardDeviation)},
    {nullptr, kFloat, AT(velocityScale), FIELD(constants, ConstantBufferData, velocityScale)},
    {nullptr, kUint, AT(tonemapping), FIELD(finalPass, FinalPassData, tonemapping)},
};
#undef AT
#undef FIELD

}  // namespace

std::span<const SceneParameter> sceneParameters() { return kSceneParameters; }

const SceneParameter* parameterOfTrack(const char* track) {
  for (const SceneParameter& parameter : kSceneParameters)
    if (parameter.track != nullptr && strcmp(track, parameter.track) == 0) return &parameter;
  return nullptr;
}

FrameValue startValue(const SceneParameter& parameter, const SceneParams& params) {
  FrameValue value = {};
  value.type = parameter.type;
  const uint32_t words = parameter.type == TrackType::FLOAT3 ? 3 : 1;
  memcpy(value.words, reinterpret_cast<const uint8_t*>(&params) + parameter.startOffset, words * sizeof(uint32_t));
  return value;
}

void applySceneParams(const TimelineDestinations& destinations, const SceneParams& params) {
  for (const SceneParameter& parameter : kSceneParameters) {
    if (!parameter.appliedAtStart) continue;
    const ParameterWrite write = parameter.writeStart != nullptr ? parameter.writeStart : parameter.write;
    write(destinations, startValue(parameter, params));
  }
}
