#pragma once
// Turns timeline JSON text into tracks and keys.
//
// The text's root object holds one member per track (an object with "type" and
// "frames") and optionally "__bookmarks__" (an array of integers); other members are
// ignored. Numbers are taken as their raw 32-bit words, not converted, so a FLOAT
// value must carry a decimal point and a UINT value must not, exactly as the writer
// produces them. Malformed text or content is fatal, with a message naming the track.
#include <cstdint>

#include "timeline/timeline.h"

// Parses `length` characters of `text` and rebuilds the timeline from them (every
// track and bookmark is replaced; frameCount stays). Returns false, leaving the
// timeline untouched, when the text holds no value; true otherwise. The text is only
// read.
bool loadTimeline(Timeline* timeline, const char* text, uint32_t length);

// The same over strlen(text) + 1 characters: the terminating NUL included, as the
// embedded text's array size counts it.
bool loadTimeline(Timeline* timeline, const char* text);
