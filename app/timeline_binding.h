#pragma once
// Binds timeline tracks, purely by name, to the parameters they drive (the table of
// app/scene_parameters.h).
//
// Every frame updateTimeline evaluates all tracks at the simulation's frame counter
// and hands each value to applyTrackValue, which writes it into the CPU copy of a
// shader constant block, the camera, the projection or a frame-loop variable. The
// uploads recorded later in the frame carry the values to the GPU.
#include <cstdint>
#include <functional>

#include "app/scene_parameters.h"
#include "timeline/timeline.h"

// What updateTimeline calls once per track: (track name, the timeline's callbackTag,
// the track's value at this frame).
using TrackCallback = std::function<void(const char* name, uint32_t tag, FrameValue value)>;

// Writes `value` into the destination bound to `name` (exact, case-sensitive match;
// an unbound name writes nothing). The value's words are copied as they are,
// whatever its type tag. The tag is not used.
void applyTrackValue(const TimelineDestinations& destinations, const char* name, uint32_t tag,
                     FrameValue value);

// Once per frame: wraps the simulation's frame counter to 0 once it passes the last
// frame, copies it into the final pass constants, evaluates every track there, then
// delivers every track's value, in track order, through applyTrackValue.
void updateTimeline(Timeline* timeline, const TimelineDestinations& destinations);

// The same, delivering the values to `callback` instead.
void updateTimeline(Timeline* timeline, uint32_t* frameCounter, uint32_t* evaluatedFrame,
                    const TrackCallback& callback);

// When the timeline has no track: adds a track for every animated parameter, each with
// one key at frame 0 (easing "None") holding its starting value. A timeline that already
// has tracks is left alone.
void addDefaultTracks(Timeline* timeline, const SceneParams& params);
