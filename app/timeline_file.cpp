#include "app/timeline_file.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "app/scene_parameters.h"
#include "app/timeline_binding.h"
#include "code/tarnix_timeline.json.h"
#include "platform/files.h"
#include "timeline/loader.h"
#include "timeline/writer.h"

namespace {

constexpr float kFrameCountExact = 10843.373f;

}  // namespace

uint32_t timelineFrameCount() { return uint32_t(std::lround(kFrameCountExact)); }

TimelineFileRules presentationTimelineRules() {
  static const std::vector<TimelineTrackRule> tracks = [] {
    std::vector<TimelineTrackRule> list;
    for (const SceneParameter& parameter : sceneParameters())
      if (parameter.track != nullptr) list.push_back({parameter.track, parameter.type});
    return list;
  }();
  TimelineFileRules rules;
  rules.frameCount = timelineFrameCount();
  rules.tracks = tracks;
  return rules;
}

Timeline* parseTimelineFile(const std::string& path, const std::string& text, std::string* message) {
  TextError error;
  Timeline* timeline = loadTimelineFile(text.data(), text.size(), presentationTimelineRules(), &error);
  if (timeline == nullptr)
    *message = path + ":" + std::to_string(error.position.line) + ":" + std::to_string(error.position.column) + ": " +
               error.message;
  return timeline;
}

Timeline* readTimelineFile(const std::string& path, std::string* message) {
  std::string text, reason;
  if (!osReadWholeFile(path.c_str(), &text, &reason)) {
    *message = path + ": " + reason;
    return nullptr;
  }
  return parseTimelineFile(path, text, message);
}

Timeline* loadBuiltInTimeline() {
  // The loader reads up to and including the text's NUL, from a copy one byte longer.
  std::vector<char> copy(sizeof(TIMELINE_JSON_DATA) + 1, '\0');
  memcpy(copy.data(), TIMELINE_JSON_DATA, sizeof(TIMELINE_JSON_DATA));
  Timeline* timeline = createTimeline(timelineFrameCount());
  loadTimeline(timeline, copy.data(), uint32_t(sizeof(TIMELINE_JSON_DATA)));
  if (timeline->tracks.count == 0) addDefaultTracks(timeline, SceneParams{});
  return timeline;
}

bool writeBuiltInTimelineFile(const std::string& path, std::string* message) {
  Timeline* timeline = loadBuiltInTimeline();
  const std::string text = serializeTimeline(timeline, false);
  destroyTimeline(timeline);
  std::string reason;
  if (osReplaceFile(path.c_str(), text.data(), text.size(), &reason)) return true;
  *message = path + ": " + reason;
  return false;
}
