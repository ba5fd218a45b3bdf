#include "app/timeline_binding.h"

void applyTrackValue(const TimelineDestinations& destinations, const char* name, uint32_t tag,
                     FrameValue value) {
  (void)tag;
  const SceneParameter* parameter = parameterOfTrack(name);
  if (parameter != nullptr) parameter->write(destinations, value);
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
  for (const SceneParameter& parameter : sceneParameters())
    if (parameter.track != nullptr) addTrack(timeline, parameter.track, parameter.type);
  for (const SceneParameter& parameter : sceneParameters()) {
    if (parameter.track == nullptr) continue;
    const FrameValue value = startValue(parameter, params);
    if (parameter.type == TrackType::UINT)
      setUintKey(timeline, parameter.track, 0, &value.uintValue, 0);
    else if (parameter.type == TrackType::FLOAT)
      setFloatKey(timeline, parameter.track, 0, &value.floatValue, 0);
    else
      setFloat3Key(timeline, parameter.track, 0, value.float3, 0);
  }
}
