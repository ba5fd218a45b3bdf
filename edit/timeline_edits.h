#pragma once
// The changes the program makes to the edited file: a bookmark added or removed, the
// camera's position and angles as keys. Each reads the file as it is on disk now (the file is
// the one source of truth: a change saved in the editor a moment ago is kept), changes it
// and writes it back at once, as the writer formats it and atomically, so a crash or a kill
// loses nothing. A file that does not load is left alone and the change is refused with the
// file's own error.
#include <cstdint>
#include <string>

#include "platform/files.h"
#include "scene/math.h"
#include "timeline/timeline.h"

struct TimelineEdit {
  bool written = false;
  std::string message;        // what was done, or why nothing was
  Timeline* timeline = nullptr;  // written: the file's new timeline (the caller owns it)
  OsFileStamp stamp;          // written: the version written
};

// Adds a bookmark at `frame`, or removes it when there is one.
TimelineEdit toggleBookmark(const std::string& path, uint32_t frame);

// Keys of "CM::Pos" (position) and "CM::Dir" (pitch, yaw, roll) at `frame`: a new key eases
// "Linear", a key already there keeps its easing. A track the file lacks is added.
TimelineEdit writeCameraKeys(const std::string& path, uint32_t frame, Float3 position, Float3 pitchYawRoll);

// Writes the header that embeds the timeline (code/tarnix_timeline.json.h, relative to the
// working directory) atomically. The message says where it went or why it did not.
bool writeEmbeddedTimelineHeader(const Timeline* timeline, std::string* message);
