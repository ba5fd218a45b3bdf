#pragma once
// Timeline files: standard JSON (timeline/standard_json.h) in the shape the writer produces,
// checked against every rule of a timeline before anything is built, so that a file either
// gives a whole timeline or one message with the line and column of its first fault. It
// never stops the program; the embedded text keeps its own loader (timeline/loader.h).
//
// Numbers mean what they say (an integer given for a FLOAT key is that number, not a bit
// pattern). The rules beyond JSON: the root is an object of tracks and "__bookmarks__"; a
// track is an object of "type" and "frames", named once, and (when the caller lists the
// tracks it knows) one of those, of the listed type; a key is an object of "frame",
// "easing" and "value"; frames are whole numbers inside the timeline, rising from key to
// key; easings are the 32 names; values have the track's shape (FLOAT a number, FLOAT3
// three, UINT a whole number from 0 to 4294967295) and are finite in single precision;
// bookmarks are frame numbers. Members of any other name are refused, since writing the
// timeline back would drop them.
#include <cstddef>
#include <cstdint>
#include <span>

#include "timeline/standard_json.h"
#include "timeline/timeline.h"

struct TimelineTrackRule {
  const char* name;
  TrackType type;
};

struct TimelineFileRules {
  uint32_t frameCount = 0;
  // The tracks a file may hold. Empty: any name, of type FLOAT, FLOAT3, UINT or INVALID
  // (an INVALID track holds no keys).
  std::span<const TimelineTrackRule> tracks;
};

// A new timeline of rules.frameCount frames built from the text (the caller destroys it),
// or null with *error saying what is wrong and where.
Timeline* loadTimelineFile(const char* text, size_t length, const TimelineFileRules& rules, TextError* error);

// One key object, {"frame", "easing", "value"} for a track of `type` (FLOAT, FLOAT3 or UINT),
// checked as a file's keys are: *frame and *result, or false with *error.
bool readTimelineFileKey(const JsonFileValue& key, TrackType type, const TimelineFileRules& rules, uint32_t* frame,
                         Keyframe* result, TextError* error);
