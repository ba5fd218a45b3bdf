// Timeline files: every rule checked where the fault is, the timeline built as it goes and
// thrown away on the first fault.
#include "timeline/file_format.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>

#include "timeline/easing.h"

namespace {

constexpr const char* kBookmarks = "__bookmarks__";
const char* const kTypeNames[] = {"FLOAT", "FLOAT3", "UINT", "INVALID"};
constexpr size_t kQuotedLimit = 60;

// A name as the message shows it: in quotes, unprintable bytes escaped, long ones cut.
std::string quoted(const std::string& name) {
  std::string text = "\"";
  for (size_t i = 0; i < name.size() && i < kQuotedLimit; ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (c == '"' || c == '\\') {
      text += '\\';
      text += char(c);
    } else if (c < 0x20) {
      char escape[8];
      snprintf(escape, sizeof(escape), "\\u%04X", c);
      text += escape;
    } else {
      text += char(c);
    }
  }
  if (name.size() > kQuotedLimit) text += "...";
  return text + "\"";
}

const char* kindName(JsonFileKind kind) {
  switch (kind) {
    case JsonFileKind::Null: return "null";
    case JsonFileKind::Bool: return "a boolean";
    case JsonFileKind::Number: return "a number";
    case JsonFileKind::String: return "a string";
    case JsonFileKind::Array: return "an array";
    default: return "an object";
  }
}

bool sameIgnoringCase(const std::string& text, const char* name) {
  if (text.size() != strlen(name)) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    char a = text[i], b = name[i];
    if (a >= 'A' && a <= 'Z') a = char(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = char(b - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

bool isWholeNumberUpTo(const JsonFileValue& node, double largest) {
  return node.kind == JsonFileKind::Number && node.number >= 0.0 && node.number <= largest &&
         std::floor(node.number) == node.number;
}

class FileLoader {
 public:
  FileLoader(const TimelineFileRules& rules, TextError* error) : rules_(rules), error_(error) {}

  bool load(const JsonFileValue& root, Timeline* timeline) {
    if (root.kind != JsonFileKind::Object)
      return fail(root.position, std::string("the timeline is ") + kindName(root.kind) +
                                     ", not an object of tracks and \"__bookmarks__\"");
    std::unordered_map<std::string, const JsonFileMember*> seen;
    for (const JsonFileMember& member : root.members) {
      auto [first, isNew] = seen.emplace(member.name, &member);
      if (!isNew) return repeated(member, *first->second);
      if (member.name == kBookmarks) {
        if (!loadBookmarks(member.value, timeline)) return false;
      } else if (!loadTrack(member, timeline)) {
        return false;
      }
    }
    return true;
  }

 private:
  const TimelineFileRules& rules_;
  TextError* error_;

  bool fail(TextPosition at, const std::string& message) {
    error_->position = at;
    error_->message = message;
    return false;
  }

  bool repeated(const JsonFileMember& member, const JsonFileMember& first) {
    return fail(member.namePosition, quoted(member.name) + " appears twice (first at line " +
                                         std::to_string(first.namePosition.line) + ")");
  }

  std::string frameRange() const { return "0 to " + std::to_string(rules_.frameCount - 1); }

  bool loadBookmarks(const JsonFileValue& list, Timeline* timeline) {
    if (list.kind != JsonFileKind::Array)
      return fail(list.position, std::string("\"__bookmarks__\" is ") + kindName(list.kind) + ", not an array of frame numbers");
    for (const JsonFileValue& element : list.elements) {
      if (!isWholeNumberUpTo(element, double(rules_.frameCount) - 1.0))
        return fail(element.position, "a bookmark must be a frame number (" + frameRange() + ")");
      timeline->bookmarks.push(uint32_t(element.number));
    }
    return true;
  }

  // The member of `object` named `name`: null when there is none, false (after the
  // message) when it appears twice or a member of another name is there.
  bool members(const JsonFileValue& object, const char* what, std::span<const char* const> names,
               const JsonFileMember** found) {
    for (size_t i = 0; i < names.size(); ++i) found[i] = nullptr;
    for (const JsonFileMember& member : object.members) {
      size_t i = 0;
      while (i < names.size() && member.name != names[i]) ++i;
      if (i == names.size()) {
        std::string known;
        for (size_t k = 0; k < names.size(); ++k) known += (k ? ", \"" : "\"") + std::string(names[k]) + "\"";
        return fail(member.namePosition, "unknown member " + quoted(member.name) + " in " + what + " (it holds " + known + ")");
      }
      if (found[i] != nullptr) return repeated(member, *found[i]);
      found[i] = &member;
    }
    for (size_t i = 0; i < names.size(); ++i)
      if (found[i] == nullptr) return fail(object.position, std::string(what) + " has no \"" + names[i] + "\"");
    return true;
  }

  // The rule for a track name, or the track type when no list of tracks was given.
  bool trackType(const JsonFileMember& track, const JsonFileValue& type, TrackType* result) {
    if (type.kind != JsonFileKind::String)
      return fail(type.position, std::string("\"type\" is ") + kindName(type.kind) + ", not a string");
    uint32_t code = 0;
    while (code < 4 && type.text != kTypeNames[code]) ++code;
    if (code == 4) return fail(type.position, "unknown type " + quoted(type.text) + " (FLOAT, FLOAT3, UINT or INVALID)");
    *result = TrackType(code);
    if (rules_.tracks.empty()) return true;
    for (const TimelineTrackRule& rule : rules_.tracks) {
      if (track.name != rule.name) continue;
      if (rule.type == *result) return true;
      return fail(type.position, "track " + quoted(track.name) + " is " + kTypeNames[uint32_t(rule.type)] + ", not " +
                                     type.text);
    }
    return fail(track.namePosition, "unknown track " + quoted(track.name) + " (" + knownTracks() + ")");
  }

  std::string knownTracks() const {
    std::string text = "the tracks are ";
    for (size_t i = 0; i < rules_.tracks.size(); ++i) text += (i ? ", " : "") + std::string(rules_.tracks[i].name);
    return text;
  }

  bool trackName(const JsonFileMember& track) {
    if (track.value.kind != JsonFileKind::Object)
      return fail(track.value.position, "member " + quoted(track.name) + " is " + kindName(track.value.kind) +
                                            ", not a track (an object with \"type\" and \"frames\")");
    if (track.name.find('\0') != std::string::npos)
      return fail(track.namePosition, "a track name cannot hold the NUL character (\\u0000)");
    if (track.name.size() >= TRACK_NAME_CAPACITY)
      return fail(track.namePosition, "a track name is at most " + std::to_string(TRACK_NAME_CAPACITY - 1) + " bytes long");
    return true;
  }

  bool loadTrack(const JsonFileMember& track, Timeline* timeline) {
    if (!trackName(track)) return false;
    const char* const names[] = {"type", "frames"};
    const JsonFileMember* found[2];
    const std::string what = "track " + quoted(track.name);
    if (!members(track.value, what.c_str(), names, found)) return false;
    TrackType type = TrackType::INVALID;
    if (!trackType(track, found[0]->value, &type)) return false;
    const JsonFileValue& frames = found[1]->value;
    if (frames.kind != JsonFileKind::Array)
      return fail(frames.position, std::string("\"frames\" is ") + kindName(frames.kind) + ", not an array of keys");
    if (type == TrackType::INVALID && !frames.elements.empty())
      return fail(frames.elements[0].position, "an INVALID track holds no keys");
    addTrack(timeline, track.name.c_str(), type);
    uint32_t previousFrame = 0;
    for (size_t i = 0; i < frames.elements.size(); ++i)
      if (!loadKey(frames.elements[i], track.name.c_str(), type, i > 0, &previousFrame, timeline)) return false;
    return true;
  }

  bool keyFrame(const JsonFileValue& frame, bool hasPrevious, uint32_t previousFrame, uint32_t* result) {
    if (!isWholeNumberUpTo(frame, double(rules_.frameCount) - 1.0))
      return fail(frame.position, "\"frame\" must be a frame number (" + frameRange() + ")");
    *result = uint32_t(frame.number);
    if (hasPrevious && *result == previousFrame)
      return fail(frame.position, "frame " + std::to_string(*result) + " has a key already");
    if (hasPrevious && *result < previousFrame)
      return fail(frame.position, "frame " + std::to_string(*result) + " comes after frame " +
                                      std::to_string(previousFrame) + " (keys are in frame order)");
    return true;
  }

  bool keyEasing(const JsonFileValue& easing, uint32_t* result) {
    if (easing.kind != JsonFileKind::String)
      return fail(easing.position, std::string("\"easing\" is ") + kindName(easing.kind) + ", not a string");
    *result = easing.text.find('\0') == std::string::npos ? findEasingIndex(easing.text.c_str()) : EASING_COUNT;
    if (*result < EASING_COUNT) return true;
    for (uint32_t i = 0; i < EASING_COUNT; ++i)
      if (sameIgnoringCase(easing.text, easingNames[i]))
        return fail(easing.position, "unknown easing " + quoted(easing.text) + "; the names are case-sensitive: \"" +
                                         easingNames[i] + "\"");
    return fail(easing.position, "unknown easing " + quoted(easing.text) + " (None, Linear, QuadraticIn, ..., BounceInOut)");
  }

  bool finiteFloat(const JsonFileValue& number, const char* what, float* result) {
    if (number.kind != JsonFileKind::Number)
      return fail(number.position, std::string(what) + " is " + kindName(number.kind) + ", not a number");
    *result = float(number.number);
    if (std::isfinite(*result)) return true;
    return fail(number.position, std::string(what) + " is beyond the single-precision range (about 3.4e38)");
  }

  bool keyValue(const JsonFileValue& value, TrackType type, FrameValue* result) {
    *result = FrameValue{};
    result->type = type;
    if (type == TrackType::FLOAT) return finiteFloat(value, "the value of a FLOAT key", &result->floatValue);
    if (type == TrackType::UINT) {
      if (!isWholeNumberUpTo(value, 4294967295.0))
        return fail(value.position, "the value of a UINT key must be a whole number from 0 to 4294967295");
      result->uintValue = uint32_t(value.number);
      return true;
    }
    if (value.kind != JsonFileKind::Array || value.elements.size() != 3)
      return fail(value.position, "the value of a FLOAT3 key must be an array of three numbers");
    for (int i = 0; i < 3; ++i)
      if (!finiteFloat(value.elements[i], "a component of a FLOAT3 key", &result->float3[i])) return false;
    return true;
  }

  bool loadKey(const JsonFileValue& key, const char* trackName, TrackType type, bool hasPrevious, uint32_t* previousFrame,
               Timeline* timeline) {
    uint32_t frame = 0;
    Keyframe read;
    if (!readKey(key, type, hasPrevious, *previousFrame, &frame, &read)) return false;
    if (type == TrackType::FLOAT) setFloatKey(timeline, trackName, frame, &read.value.floatValue, read.easing);
    if (type == TrackType::FLOAT3) setFloat3Key(timeline, trackName, frame, read.value.float3, read.easing);
    if (type == TrackType::UINT) setUintKey(timeline, trackName, frame, &read.value.uintValue, read.easing);
    *previousFrame = frame;
    return true;
  }

 public:
  // One key object; hasPrevious: it must come after previousFrame.
  bool readKey(const JsonFileValue& key, TrackType type, bool hasPrevious, uint32_t previousFrame, uint32_t* frame,
               Keyframe* result) {
    if (key.kind != JsonFileKind::Object)
      return fail(key.position, std::string("a key is ") + kindName(key.kind) + ", not an object with \"frame\", \"easing\" and \"value\"");
    const char* const names[] = {"frame", "easing", "value"};
    const JsonFileMember* found[3];
    if (!members(key, "a key", names, found)) return false;
    return keyFrame(found[0]->value, hasPrevious, previousFrame, frame) && keyEasing(found[1]->value, &result->easing) &&
           keyValue(found[2]->value, type, &result->value);
  }
};

}  // namespace

Timeline* loadTimelineFile(const char* text, size_t length, const TimelineFileRules& rules, TextError* error) {
  JsonFileValue root;
  if (!readStandardJson(text, length, &root, error)) return nullptr;
  Timeline* timeline = createTimeline(rules.frameCount);
  FileLoader loader(rules, error);
  if (loader.load(root, timeline)) return timeline;
  destroyTimeline(timeline);
  return nullptr;
}

bool readTimelineFileKey(const JsonFileValue& key, TrackType type, const TimelineFileRules& rules, uint32_t* frame,
                         Keyframe* result, TextError* error) {
  FileLoader loader(rules, error);
  return loader.readKey(key, type, false, 0, frame, result);
}
