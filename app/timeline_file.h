#pragma once
// Timeline files as the programs take them (tarnix --timeline and --edit, the capture
// tool's --timeline): read whole and checked against the tracks this program binds before
// any window, device or sound is opened. A file that cannot be used gives one line,
// "FILE:LINE:COLUMN: what is wrong" (or "FILE: reason" when it cannot be read), and never a
// fatal stop.
#include <cstdint>
#include <string>

#include "timeline/file_format.h"
#include "timeline/timeline.h"

// The program's timeline length: 10843.373 frames rounded to the nearest integer.
uint32_t timelineFrameCount();

// What a file may hold: the tracks the program binds, each of its parameter's type.
TimelineFileRules presentationTimelineRules();

// The file read and checked: a new timeline (the caller destroys it), or null with
// *message set.
Timeline* readTimelineFile(const std::string& path, std::string* message);

// Text already read from `path`, checked the same way.
Timeline* parseTimelineFile(const std::string& path, const std::string& text, std::string* message);

// The built-in timeline as start-up loads it (the default tracks when it has none).
Timeline* loadBuiltInTimeline();

// Writes the built-in timeline to `path` as the writer formats it (atomically). False with
// *message ("FILE: reason") when it cannot.
bool writeBuiltInTimelineFile(const std::string& path, std::string* message);
