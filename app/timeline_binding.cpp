#include "app/timeline_binding.h"

#include <cmath>
#include <cstring>

namespace {

// The value's words go out unchanged: a track of another type than its binding
// expects delivers its bits as they are.
void copyWords(void* destination, const FrameValue& value, uint32_t wordCount) {
  memcpy(destination, value.words, wordCount * sizeof(uint32_t));
}

float floatWord(const FrameValue& value, uint32_t index) {
  float result;
  memcpy(&result, &value.words[index], sizeof(result));
  return result;
}

using Binding = void (*)(const TimelineDestinations& d, const FrameValue& value);

struct NamedBinding {
  const char* name;
  Binding apply;
};

// Compared in this order; the first match writes.
const NamedBinding kBindings[] = {
    {"SM::NumPart",
     [](const TimelineDestinations& d, const FrameValue& v) {
       copyWords(&d.particleScene->numParticles, v, 1);
     }},
    {"SM::SceneID",
     [](const TimelineDestinations& d, const FrameValue& v) {
       copyWords(&d.simulation->scene, v, 1);
     }},
    {"SM::TimeSc",
     [](const TimelineDestinations& d, const FrameValue& v) { copyWords(d.timeScale, v, 1); }},
    {"CM::Pos",
     [](const TimelineDestinations& d, const FrameValue& v) {
       d.camera->position = {floatWord(v, 0), floatWord(v, 1), floatWord(v, 2)};
     }},
    {"CM::Dir",
     [](const TimelineDestinations& d, const FrameValue& v) {
       d.camera->pitch = floatWord(v, 0);
       d.camera->yaw = floatWord(v, 1);
       d.camera->roll = floatWord(v, 2);
     }},
    {"CM::Bright",
     [](const TimelineDestinations& d, const FrameValue& v) {
       copyWords(&d.finalPass->brightness, v, 1);
     }},
    {"CM::Fov",
     [](const TimelineDestinations& d, const FrameValue& v) {
       writeFovProjection(*d.projection, floatWord(v, 0));
     }},
    {"BP::BkgColor",
     [](const TimelineDestinations& d, const FrameValue& v) {
       d.particleScene->backgroundColor = {floatWord(v, 0), floatWord(v, 1), floatWord(v, 2)};
     }},
    {"DF::FocusSc",
     [](const TimelineDestinations& d, const FrameValue& v) {
       copyWords(&d.depthOfField->focusScale, v, 1);
     }},
    {"DF::FocusPt",
     [](const TimelineDestinations& d, const FrameValue& v) {
       copyWords(&d.depthOfField->focusPoint, v, 1);
     }},
    {"TR::BlendFct",
     [](const TimelineDestinations& d, const FrameValue& v) {
       copyWords(&d.constants->blendFactor, v, 1);
     }},
    {"AT::Steps",
     [](const TimelineDestinations& d, const FrameValue& v) { copyWords(d.atrousSteps, v, 1); }},
    {"PT::SampleCnt",
     [](const TimelineDestinations& d, const FrameValue& v) {
       copyWords(&d.constants->sampleCount, v, 1);
     }},
};

}  // namespace

void writeFovProjection(Float4x4& projection, float fovDegrees) {
  float c = 1.0f / std::tan(fovDegrees * 3.1415927f / 180.0f * 0.5f);
  projection = Float4x4{};
  projection.m[0][0] = c / 1.7777778f;
  projection.m[1][1] = c;
  // (near + far) / (near - far) and 2 near far / (near - far) for 0.1 and 1000,
  // written as their single-precision bits so every build gets the same matrix.
  uint32_t depthScale = 0xBF80068Du;   // -1.0002
  uint32_t depthOffset = 0xBE4CD20Au;  // -0.20002
  memcpy(&projection.m[2][2], &depthScale, sizeof(float));
  projection.m[2][3] = -1.0f;
  memcpy(&projection.m[3][2], &depthOffset, sizeof(float));
}

void applyTrackValue(const TimelineDestinations& destinations, const char* name, uint32_t tag,
                     FrameValue value) {
  (void)tag;
  for (const NamedBinding& binding : kBindings) {
    if (strcmp(name, binding.name) == 0) {
      binding.apply(destinations, value);
      return;
    }
  }
}

void updateTimeline(Timeline* timeline, uint32_t* frameCounter, uint32_t* evaluatedFrame,
                    const TrackCallback& callback) {
  // Past the last frame the timeline starts over, and so does the counter.
  if (*frameCounter >= timeline->frameCount) *frameCounter = 0;
  uint32_t frame = *frameCounter;
  *evaluatedFrame = frame;
  for (Track* track : timeline->tracks) track->current = evaluate(track, frame, &track->currentEasing);
  for (Track* track : timeline->tracks) callback(track->name, timeline->callbackTag, track->current);
}

void updateTimeline(Timeline* timeline, const TimelineDestinations& destinations) {
  TrackCallback callback = [&destinations](const char* name, uint32_t tag, FrameValue value) {
    applyTrackValue(destinations, name, tag, value);
  };
  updateTimeline(timeline, &destinations.simulation->frame, &destinations.finalPass->frame,
                 callback);
}

void addDefaultTracks(Timeline* timeline, const SceneParams& params) {
  if (timeline->tracks.count > 0) return;
  struct DefaultTrack {
    const char* name;
    TrackType type;
    const void* value;
  };
  const DefaultTrack defaults[] = {
      {"SM::NumPart", TrackType::UINT, &params.numParticles},
      {"SM::SceneID", TrackType::UINT, &params.sceneId},
      {"SM::TimeSc", TrackType::FLOAT, &params.timeScale},
      {"CM::Pos", TrackType::FLOAT3, &params.cameraPosition},
      {"CM::Dir", TrackType::FLOAT3, &params.cameraDirection},
      {"CM::Bright", TrackType::FLOAT, &params.brightness},
      {"CM::Fov", TrackType::FLOAT, &params.fovDegrees},
      {"BP::BkgColor", TrackType::FLOAT3, &params.backgroundColor},
      {"DF::FocusSc", TrackType::FLOAT, &params.focusScale},
      {"DF::FocusPt", TrackType::FLOAT, &params.focusPoint},
      {"TR::BlendFct", TrackType::FLOAT, &params.blendFactor},
      {"AT::Steps", TrackType::UINT, &params.atrousSteps},
      {"PT::SampleCnt", TrackType::UINT, &params.sampleCount},
  };
  for (const DefaultTrack& track : defaults) addTrack(timeline, track.name, track.type);
  for (const DefaultTrack& track : defaults) {
    if (track.type == TrackType::UINT)
      setUintKey(timeline, track.name, 0, static_cast<const uint32_t*>(track.value), 0);
    else if (track.type == TrackType::FLOAT)
      setFloatKey(timeline, track.name, 0, static_cast<const float*>(track.value), 0);
    else
      setFloat3Key(timeline, track.name, 0, static_cast<const float*>(track.value), 0);
  }
}
