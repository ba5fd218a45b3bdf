#include "edit/timeline_edits.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/timeline_file.h"
#include "edit/timeline_change.h"
#include "timeline/easing.h"
#include "timeline/writer.h"

namespace {

// The file as it is now, or null with the refusal in edit.message.
Timeline* readForChange(const std::string& path, TimelineEdit* edit) {
  std::string error;
  Timeline* timeline = readTimelineFile(path, &error);
  if (timeline == nullptr) edit->message = "not written, the file does not load: " + error;
  return timeline;
}

// Writes the changed timeline; on success the edit takes it over.
void writeBack(const std::string& path, Timeline* timeline, const std::string& done, TimelineEdit* edit) {
  const std::string text = serializeTimeline(timeline, false);
  std::string reason;
  if (!osReplaceFile(path.c_str(), text.data(), text.size(), &reason)) {
    edit->message = "not written: " + path + ": " + reason;
    destroyTimeline(timeline);
    return;
  }
  edit->written = true;
  edit->message = done;
  edit->timeline = timeline;
  edit->stamp = osFileStampOf(path.c_str());
}

// The key's easing when there is one at the frame, "Linear" for a new one.
uint32_t easingAt(const Track* track, uint32_t frame) {
  const Keyframe* key = track->keys[frame];
  return key != nullptr ? key->easing : findEasingIndex("Linear");
}

void putFloat3Key(Timeline* timeline, const char* name, uint32_t frame, Float3 value) {
  const Track* track = findTrack(timeline, name);
  if (track == nullptr) track = addTrack(timeline, name, TrackType::FLOAT3);
  const float words[3] = {value.x, value.y, value.z};
  setFloat3Key(timeline, name, frame, words, easingAt(track, frame));
}

}  // namespace

TimelineEdit toggleBookmark(const std::string& path, uint32_t frame) {
  TimelineEdit edit;
  Timeline* timeline = readForChange(path, &edit);
  if (timeline == nullptr) return edit;
  const bool removed = hasBookmark(timeline, frame);
  setBookmark(timeline, frame, !removed);
  writeBack(path, timeline, (removed ? "bookmark removed at frame " : "bookmark added at frame ") + std::to_string(frame),
            &edit);
  return edit;
}

TimelineEdit writeCameraKeys(const std::string& path, uint32_t frame, Float3 position, Float3 pitchYawRoll) {
  TimelineEdit edit;
  if (!std::isfinite(position.x) || !std::isfinite(position.y) || !std::isfinite(position.z) ||
      !std::isfinite(pitchYawRoll.x) || !std::isfinite(pitchYawRoll.y) || !std::isfinite(pitchYawRoll.z)) {
    edit.message = "not written: the camera is not at a finite place";
    return edit;
  }
  Timeline* timeline = readForChange(path, &edit);
  if (timeline == nullptr) return edit;
  putFloat3Key(timeline, "CM::Pos", frame, position);
  putFloat3Key(timeline, "CM::Dir", frame, pitchYawRoll);
  writeBack(path, timeline, "camera keys written at frame " + std::to_string(frame), &edit);
  return edit;
}

bool writeEmbeddedTimelineHeader(const Timeline* timeline, std::string* message) {
  char path[128];
  snprintf(path, sizeof(path), "code/%s.h", TIMELINE_FILE_NAME);
  const std::string text = timelineHeaderText(timeline);
  std::string reason;
  if (!osReplaceFile(path, text.data(), text.size(), &reason)) {
    *message = std::string("header not written: ") + path + ": " + reason;
    return false;
  }
  *message = std::string("header written: ") + path;
  return true;
}
