#pragma once
// The presentation's choreography, built with the timeline's own API: the tracks,
// keys and bookmarks that code/tarnix_timeline.json.h embeds. The header is the
// writer's output for this timeline; regenerate it with the timeline_header program
// after changing anything here (a test fails while the two disagree).
#include <cstdint>

#include "timeline/timeline.h"

// The program's timeline length: 10843.373 frames rounded to the nearest integer.
inline constexpr uint32_t EMBEDDED_TIMELINE_FRAME_COUNT = 10843;

// Adds the 13 tracks with their keys and the 8 bookmarks to an empty timeline of at
// least 7216 frames.
void buildEmbeddedTimeline(Timeline* timeline);
