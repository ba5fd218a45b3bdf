#include "timeline/loader.h"

#include <cstring>

#include "base/diagnostics.h"
#include "timeline/easing.h"
#include "timeline/json.h"

namespace {

const char* const kTrackTypeNames[] = {"FLOAT", "FLOAT3", "UINT", "INVALID"};

// A string with a NUL inside would be read as its first part and match a name it is not.
bool holdsNul(const JsonValue& string) { return strlen(string.string.characters) != string.string.length; }

// The type code of a "type" text; anything but the four names is refused, since no
// reader or writer of the timeline knows what such a track would carry.
TrackType trackTypeOf(const char* trackName, const JsonValue& type) {
  ASSERT(type.type == JsonValueType::String, "Track \"%s\": \"type\" is not a string\n",
         trackName);
  for (uint32_t code = 0; code < 4 && !holdsNul(type); ++code)
    if (strcmp(type.string.characters, kTrackTypeNames[code]) == 0) return TrackType(code);
  ASSERT(false, "Track \"%s\": unknown type \"%s\"\n", trackName, type.string.characters);
  return TrackType::INVALID;
}

uint32_t frameOf(const char* trackName, uint32_t keyIndex, const JsonValue& frame) {
  ASSERT(frame.type == JsonValueType::Number && frame.number.numberKind == TokenKind::IntNumber,
         "Track \"%s\": \"frame\" of key %u is not an integer\n", trackName, keyIndex);
  return frame.number.word;
}

uint32_t easingOf(const char* trackName, uint32_t frame, const JsonValue& easing) {
  ASSERT(easing.type == JsonValueType::String,
         "Track \"%s\": \"easing\" of the key at frame %u is not a string\n", trackName, frame);
  uint32_t index = holdsNul(easing) ? EASING_COUNT : findEasingIndex(easing.string.characters);
  ASSERT(index < EASING_COUNT, "Track \"%s\": unknown easing \"%s\" at frame %u\n", trackName,
         easing.string.characters, frame);
  return index;
}

// A FLOAT or UINT value: one number, taken as its raw word (an integer given for a
// FLOAT track thus keeps its bits, as the text format defines).
uint32_t numberWordOf(const char* trackName, uint32_t frame, const JsonValue& value) {
  ASSERT(value.type == JsonValueType::Number,
         "Track \"%s\": \"value\" of the key at frame %u is not a number\n", trackName, frame);
  return value.number.word;
}

// Element i of an array as a raw 32-bit word, or false when it is not a number of
// one of the accepted kinds. Packed arrays hold words; any other array (one with a
// trailing comma, or mixing the two kinds) holds value nodes.
bool arrayWord(const JsonArray* array, uint32_t i, bool acceptFloats, uint32_t* word) {
  if (array->kind == ArrayKind::Int || (array->kind == ArrayKind::Float && acceptFloats)) {
    *word = array->words[i];
    return true;
  }
  if (array->kind != ArrayKind::Mixed) return false;
  const JsonValue& element = array->values[i];
  if (element.type != JsonValueType::Number) return false;
  if (element.number.numberKind == TokenKind::FloatNumber && !acceptFloats) return false;
  *word = element.number.word;
  return true;
}

// A FLOAT3 value: an array of exactly three numbers, each taken as its raw word.
void float3WordsOf(const char* trackName, uint32_t frame, const JsonValue& value,
                   uint32_t words[3]) {
  bool valid = value.type == JsonValueType::Array && value.array->count == 3;
  for (uint32_t i = 0; valid && i < 3; ++i) valid = arrayWord(value.array, i, true, &words[i]);
  ASSERT(valid, "Track \"%s\": \"value\" of the key at frame %u is not an array of three numbers\n",
         trackName, frame);
}

void loadKey(Timeline* timeline, const char* trackName, TrackType type, uint32_t keyIndex,
             const JsonValue& element) {
  ASSERT(element.type == JsonValueType::Object,
         "Track \"%s\": element %u of \"frames\" is not an object\n", trackName, keyIndex);
  const JsonObject* key = element.object;
  uint32_t frame = frameOf(trackName, keyIndex, *findMember(key, "frame"));
  uint32_t easing = easingOf(trackName, frame, *findMember(key, "easing"));
  switch (type) {
    case TrackType::FLOAT: {
      uint32_t word = numberWordOf(trackName, frame, *findMember(key, "value"));
      float value;
      memcpy(&value, &word, sizeof(value));
      setFloatKey(timeline, trackName, frame, &value, easing);
      break;
    }
    case TrackType::UINT: {
      uint32_t value = numberWordOf(trackName, frame, *findMember(key, "value"));
      setUintKey(timeline, trackName, frame, &value, easing);
      break;
    }
    case TrackType::FLOAT3: {
      uint32_t words[3];
      float3WordsOf(trackName, frame, *findMember(key, "value"), words);
      float value[3];
      memcpy(value, words, sizeof(value));
      setFloat3Key(timeline, trackName, frame, value, easing);
      break;
    }
    default:  // INVALID tracks carry no keys
      break;
  }
}

void loadTrack(Timeline* timeline, const char* trackName, const JsonObject* track) {
  TrackType type = trackTypeOf(trackName, *findMember(track, "type"));
  addTrack(timeline, trackName, type);
  const JsonValue& frames = *findMember(track, "frames");
  ASSERT(frames.type == JsonValueType::Array, "Track \"%s\": \"frames\" is not an array\n",
         trackName);
  // Packed number arrays hold no objects; name the first element as the culprit.
  ASSERT(frames.array->kind == ArrayKind::Mixed || frames.array->count == 0,
         "Track \"%s\": element %u of \"frames\" is not an object\n", trackName, 0u);
  for (uint32_t i = 0; i < frames.array->count; ++i)
    loadKey(timeline, trackName, type, i, frames.array->values[i]);
}

void loadBookmarks(Timeline* timeline, const JsonArray* bookmarks) {
  for (uint32_t i = 0; i < bookmarks->count; ++i) {
    uint32_t frame = 0;
    ASSERT(arrayWord(bookmarks, i, false, &frame),
           "\"__bookmarks__\" element %u is not an integer\n", i);
    timeline->bookmarks.push(frame);
  }
}

}  // namespace

bool loadTimeline(Timeline* timeline, const char* text, uint32_t length) {
  JsonDocument document;
  if (!parseJson(&document, text, length, 0)) {
    freeJsonDocument(&document);
    return false;
  }
  ASSERT(document.root.type == JsonValueType::Object, "The timeline text is not a JSON object\n");

  clearTimeline(timeline);
  const JsonObject* root = document.root.object;
  for (uint32_t i = 0; i < root->count; ++i) {
    const JsonMember& member = root->members[i];
    const char* key = member.key.string.characters;
    ASSERT(member.value.type != JsonValueType::Object || !holdsNul(member.key),
           "Track \"%s\": the name holds a NUL character\n", key);
    if (member.value.type == JsonValueType::Object)
      loadTrack(timeline, key, member.value.object);
    else if (member.value.type == JsonValueType::Array && strcmp(key, "__bookmarks__") == 0)
      loadBookmarks(timeline, member.value.array);
  }
  freeJsonDocument(&document);
  return true;
}

bool loadTimeline(Timeline* timeline, const char* text) {
  if (text == nullptr) return false;
  size_t length = strlen(text) + 1;
  ASSERT(length <= UINT32_MAX, "Timeline text of %zu bytes is too long\n", length);
  return loadTimeline(timeline, text, uint32_t(length));
}
