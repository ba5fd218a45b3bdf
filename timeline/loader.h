#pragma once
// Turns timeline JSON text into tracks and keys, and supplies the start-up fallback.
//
// The text's root object holds one member per track (an object with "type" and
// "frames") and optionally "__bookmarks__" (an array of integers); other members are
// ignored. Numbers are taken as their raw 32-bit words, not converted, so a FLOAT
// value must carry a decimal point and a UINT value must not, exactly as the writer
// produces them. Malformed text or content is fatal, with a message naming the track.
#include <cstdint>

#include "app/scene_params.h"
#include "timeline/timeline.h"

// Parses `length` characters of `text` and rebuilds the timeline from them (every
// track and bookmark is replaced; frameCount stays). Returns false, leaving the
// timeline untouched, when the text holds no value; true otherwise. The text is only
// read.
bool loadTimeline(Timeline* timeline, const char* text, uint32_t length);

// The same over strlen(text) + 1 characters: the terminating NUL included, as the
// embedded text's array size counts it.
bool loadTimeline(Timeline* timeline, const char* text);

// When the timeline has no track: adds the thirteen bound tracks, each with one key
// at frame 0 (easing "None") holding the parameter's start-up value. A timeline that
// already has tracks is left alone.
void addDefaultTracks(Timeline* timeline, const SceneParams& params);
