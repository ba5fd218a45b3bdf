// The page's changes: read from JSON as strictly as a timeline file, then applied step by step
// to the timeline the file holds now, each step only where the file is as the page saw it.
#include "edit/timeline_change.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "timeline/easing.h"

namespace {

std::string where(TextPosition position) {
  return std::to_string(position.line) + ":" + std::to_string(position.column) + ": ";
}

// The members of `object` by `names` (null where absent); false with *error when one of
// another name is there or a name appears twice.
bool takeMembers(const JsonFileValue& object, std::initializer_list<const char*> names, const JsonFileValue** found,
                 std::string* error) {
  for (size_t i = 0; i < names.size(); ++i) found[i] = nullptr;
  for (const JsonFileMember& member : object.members) {
    size_t i = 0;
    for (const char* name : names) {
      if (member.name == name) break;
      ++i;
    }
    if (i == names.size()) {
      *error = where(member.namePosition) + "a step has no member \"" + member.name + "\"";
      return false;
    }
    if (found[i] != nullptr) {
      *error = where(member.namePosition) + "\"" + member.name + "\" appears twice";
      return false;
    }
    found[i] = &member.value;
  }
  return true;
}

bool frameNumber(const JsonFileValue* value, const TimelineFileRules& rules, const JsonFileValue& step, uint32_t* frame,
                 std::string* error) {
  const bool whole = value != nullptr && value->kind == JsonFileKind::Number && value->number >= 0.0 &&
                     value->number < double(rules.frameCount) && value->number == double(uint32_t(value->number));
  if (!whole) {
    *error = where(value != nullptr ? value->position : step.position) + "a step needs a frame number (0 to " +
             std::to_string(rules.frameCount - 1) + ")";
    return false;
  }
  *frame = uint32_t(value->number);
  return true;
}

bool boolean(const JsonFileValue* value, const JsonFileValue& step, bool* result, std::string* error) {
  if (value == nullptr || value->kind != JsonFileKind::Bool) {
    *error = where(value != nullptr ? value->position : step.position) + "a bookmark step needs \"was\" and \"now\" as true or false";
    return false;
  }
  *result = value->boolean;
  return true;
}

bool parseBookmarkStep(const JsonFileValue& step, const TimelineFileRules& rules, ChangeStep* result, std::string* error) {
  const JsonFileValue* found[3];
  return takeMembers(step, {"bookmark", "was", "now"}, found, error) &&
         frameNumber(found[0], rules, step, &result->frame, error) && boolean(found[1], step, &result->bookmarkWas, error) &&
         boolean(found[2], step, &result->bookmarkNow, error);
}

// "was" or "now": null, or a key as a file holds it.
bool stepKey(const JsonFileValue* value, const ChangeStep& step, const TimelineFileRules& rules, const JsonFileValue& at,
             std::optional<ChangeKey>* key, std::string* error) {
  if (value == nullptr) {
    *error = where(at.position) + "a key step needs \"was\" and \"now\" (a key or null)";
    return false;
  }
  if (value->kind == JsonFileKind::Null) return true;
  ChangeKey read;
  Keyframe keyframe;
  TextError textError;
  if (!readTimelineFileKey(*value, step.type, rules, &read.frame, &keyframe, &textError)) {
    *error = where(textError.position) + textError.message;
    return false;
  }
  read.easing = keyframe.easing;
  read.value = keyframe.value;
  *key = read;
  return true;
}

bool trackOfStep(const JsonFileValue* name, const TimelineFileRules& rules, const JsonFileValue& step, ChangeStep* result,
                 std::string* error) {
  if (name == nullptr || name->kind != JsonFileKind::String) {
    *error = where(name != nullptr ? name->position : step.position) + "a key step needs \"track\", a track's name";
    return false;
  }
  for (const TimelineTrackRule& rule : rules.tracks)
    if (name->text == rule.name) {
      result->track = rule.name;
      result->type = rule.type;
      return true;
    }
  *error = where(name->position) + "there is no track \"" + name->text.substr(0, 60) + "\"";
  return false;
}

bool parseKeyStep(const JsonFileValue& step, const TimelineFileRules& rules, ChangeStep* result, std::string* error) {
  const JsonFileValue* found[4];
  if (!takeMembers(step, {"track", "frame", "was", "now"}, found, error) || !trackOfStep(found[0], rules, step, result, error) ||
      !frameNumber(found[1], rules, step, &result->frame, error) ||
      !stepKey(found[2], *result, rules, step, &result->was, error) ||
      !stepKey(found[3], *result, rules, step, &result->now, error))
    return false;
  // "was" is the key at the step's frame; a key that was not there is added at that frame.
  const ChangeKey* moved = result->was ? &*result->was : result->now ? &*result->now : nullptr;
  if (moved == nullptr) {
    *error = where(step.position) + "a key step with neither \"was\" nor \"now\" changes nothing";
    return false;
  }
  if (moved->frame != result->frame) {
    *error = where(step.position) + "the key of \"" + std::string(result->was ? "was" : "now") +
             "\" must be at the step's frame " + std::to_string(result->frame);
    return false;
  }
  return true;
}

bool sameValue(TrackType type, const FrameValue& a, const FrameValue& b) {
  const int words = type == TrackType::FLOAT3 ? 3 : 1;
  return memcmp(a.words, b.words, sizeof(uint32_t) * size_t(words)) == 0;
}

bool refuse(std::string* refusal, const std::string& message) {
  *refusal = message;
  return false;
}

bool applyBookmarkStep(Timeline* timeline, const ChangeStep& step, std::string* refusal) {
  const bool present = hasBookmark(timeline, step.frame);
  const std::string at = "frame " + std::to_string(step.frame);
  if (present != step.bookmarkWas)
    return refuse(refusal, present ? "the file has a bookmark at " + at + " now" : "the file has no bookmark at " + at + " now");
  setBookmark(timeline, step.frame, step.bookmarkNow);
  return true;
}

// A move must find its target free and no key between (the key does not pass another).
bool pathIsFree(const Track* track, uint32_t from, uint32_t to, std::string* refusal) {
  const uint32_t low = std::min(from, to), high = std::max(from, to);
  for (uint32_t frame = low + 1; frame < high; ++frame)
    if (track->keys[frame] != nullptr)
      return refuse(refusal, std::string(track->name) + ": the key at frame " + std::to_string(from) +
                                 " would pass the key at frame " + std::to_string(frame));
  if (track->keys[to] != nullptr)
    return refuse(refusal, std::string(track->name) + ": frame " + std::to_string(to) + " has a key already");
  return true;
}

void putKey(Timeline* timeline, const ChangeStep& step, const ChangeKey& key) {
  const char* name = step.track.c_str();
  if (step.type == TrackType::FLOAT) setFloatKey(timeline, name, key.frame, &key.value.floatValue, key.easing);
  if (step.type == TrackType::FLOAT3) setFloat3Key(timeline, name, key.frame, key.value.float3, key.easing);
  if (step.type == TrackType::UINT) setUintKey(timeline, name, key.frame, &key.value.uintValue, key.easing);
}

bool applyKeyStep(Timeline* timeline, const ChangeStep& step, std::string* refusal) {
  Track* track = findTrack(timeline, step.track.c_str());
  if (track != nullptr && track->keys.count != timeline->frameCount)
    return refuse(refusal, step.track + " does not have the timeline's frames");
  if (step.frame >= timeline->frameCount || (step.now && step.now->frame >= timeline->frameCount))
    return refuse(refusal, "frame " + std::to_string(step.frame) + " is beyond the timeline");
  if (!keyIs(track, step.frame, step.was)) {
    const std::string at = step.track + ": the key at frame " + std::to_string(step.frame);
    const bool there = track != nullptr && track->keys[step.frame] != nullptr;
    if (!step.was) return refuse(refusal, step.track + ": the file has a key at frame " + std::to_string(step.frame) + " now");
    return refuse(refusal, at + (there ? " was changed in the file" : " is no longer in the file"));
  }
  if (track == nullptr) track = addTrack(timeline, step.track.c_str(), step.type);
  if (step.was) removeKey(track, step.frame);
  if (step.now) {
    if (step.now->frame != step.frame && !pathIsFree(track, step.frame, step.now->frame, refusal)) return false;
    putKey(timeline, step, *step.now);
  }
  return true;
}

}  // namespace

bool hasBookmark(const Timeline* timeline, uint32_t frame) {
  return std::find(timeline->bookmarks.begin(), timeline->bookmarks.end(), frame) != timeline->bookmarks.end();
}

void setBookmark(Timeline* timeline, uint32_t frame, bool present) {
  DynamicArray<uint32_t, uint32_t>& bookmarks = timeline->bookmarks;
  uint32_t* kept = std::remove(bookmarks.begin(), bookmarks.end(), frame);
  bookmarks.count = uint32_t(kept - bookmarks.begin());
  if (!present) return;
  // Before the first later one, so that a file in frame order stays in frame order.
  bookmarks.push(frame);
  std::rotate(std::upper_bound(bookmarks.begin(), bookmarks.end() - 1, frame, [](uint32_t a, uint32_t b) { return a < b; }),
              bookmarks.end() - 1, bookmarks.end());
}

bool keyIs(const Track* track, uint32_t frame, const std::optional<ChangeKey>& key) {
  const Keyframe* there = track != nullptr ? track->keys[frame] : nullptr;
  if (!key) return there == nullptr;
  return there != nullptr && there->easing == key->easing && sameValue(track->type, there->value, key->value);
}

bool parseTimelineChange(const JsonFileValue& json, const TimelineFileRules& rules, TimelineChange* change,
                         std::string* error) {
  *change = TimelineChange{};
  if (json.kind != JsonFileKind::Object) {
    *error = where(json.position) + "a change is an object with \"label\" and \"steps\"";
    return false;
  }
  const JsonFileValue* found[2];
  if (!takeMembers(json, {"label", "steps"}, found, error)) return false;
  if (found[0] != nullptr && found[0]->kind == JsonFileKind::String) change->label = found[0]->text.substr(0, 200);
  if (found[1] == nullptr || found[1]->kind != JsonFileKind::Array || found[1]->elements.empty()) {
    *error = where(found[1] != nullptr ? found[1]->position : json.position) + "a change needs \"steps\", a list of one or more steps";
    return false;
  }
  for (const JsonFileValue& element : found[1]->elements) {
    ChangeStep step;
    if (element.kind != JsonFileKind::Object) {
      *error = where(element.position) + "a step is an object";
      return false;
    }
    const bool bookmark = std::any_of(element.members.begin(), element.members.end(),
                                      [](const JsonFileMember& m) { return m.name == "bookmark"; });
    if (!(bookmark ? parseBookmarkStep(element, rules, &step, error) : parseKeyStep(element, rules, &step, error)))
      return false;
    change->steps.push_back(std::move(step));
  }
  return true;
}

bool applyTimelineChange(Timeline* timeline, const TimelineChange& change, std::string* refusal) {
  for (const ChangeStep& step : change.steps)
    if (!(step.track.empty() ? applyBookmarkStep(timeline, step, refusal) : applyKeyStep(timeline, step, refusal)))
      return false;
  return true;
}

TimelineChange inverseTimelineChange(const TimelineChange& change) {
  TimelineChange inverse;
  inverse.label = change.label;
  for (auto step = change.steps.rbegin(); step != change.steps.rend(); ++step) {
    ChangeStep back = *step;
    back.was = step->now;
    back.now = step->was;
    back.frame = step->now ? step->now->frame : step->frame;
    std::swap(back.bookmarkWas, back.bookmarkNow);
    inverse.steps.push_back(std::move(back));
  }
  return inverse;
}
