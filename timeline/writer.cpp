// Timeline writer: the JSON text built by appending to one growing string, and the
// two files written with one write call each.
#include "timeline/writer.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/diagnostics.h"
#include "timeline/easing.h"

namespace {

const char* typeName(TrackType type) {
  switch (type) {
    case TrackType::FLOAT:
      return "FLOAT";
    case TrackType::FLOAT3:
      return "FLOAT3";
    case TrackType::UINT:
      return "UINT";
    default:
      // A code above INVALID has no name of its own; such a track holds no key
      // (every setter refuses it), so writing it as INVALID loses nothing.
      return "INVALID";
  }
}

void appendUnsigned(std::string& text, uint32_t value) { text += std::to_string(value); }

// "%f" of the value widened to double: six decimals, as the reader expects a point. An
// infinity or NaN has no such form (the reader refuses "inf" and "nan"): it is written as
// its 32-bit pattern in decimal, which the embedded text's reader takes for a FLOAT key's
// bits, so it reads back as the very same value.
void appendFloat(std::string& text, float value) {
  if (!std::isfinite(value)) {
    uint32_t bits;
    memcpy(&bits, &value, sizeof(bits));
    appendUnsigned(text, bits);
    return;
  }
  char buffer[64];
  int length = snprintf(buffer, sizeof(buffer), "%f", double(value));
  if (length >= 0 && size_t(length) < sizeof(buffer)) {
    text.append(buffer, size_t(length));
    return;
  }
  // Huge magnitudes print more than 64 characters in fixed notation.
  std::string wide(size_t(length) + 1, '\0');
  snprintf(wide.data(), wide.size(), "%f", double(value));
  text.append(wide.data(), size_t(length));
}

void appendValue(std::string& text, TrackType type, const FrameValue& value) {
  switch (type) {
    case TrackType::FLOAT:
      appendFloat(text, value.floatValue);
      break;
    case TrackType::FLOAT3:
      text += '[';
      appendFloat(text, value.float3[0]);
      text += ',';
      appendFloat(text, value.float3[1]);
      text += ',';
      appendFloat(text, value.float3[2]);
      text += ']';
      break;
    case TrackType::UINT:
      appendUnsigned(text, value.uintValue);
      break;
    default:
      break;
  }
}

void appendKey(std::string& text, uint32_t frame, const Keyframe& key, TrackType type) {
  text += "{\"frame\":";
  appendUnsigned(text, frame);
  text += ",\"easing\":\"";
  text += key.easing < EASING_COUNT ? easingNames[key.easing] : "None";
  text += "\",\"value\":";
  appendValue(text, type, key.value);
  text += '}';
}

void appendTrack(std::string& text, const Track* track) {
  appendJsonString(text, track->name);
  text += ":{\"type\":\"";
  text += typeName(track->type);
  text += "\",\"frames\":[";
  bool first = true;
  for (uint32_t frame = 0; frame < track->keys.count; ++frame) {
    const Keyframe* key = track->keys[frame];
    if (key == nullptr) continue;
    if (!first) text += ',';
    first = false;
    appendKey(text, frame, *key, track->type);
  }
  text += ']';
}

// The body of a C string literal that holds exactly `json`: quotes, backslashes and question
// marks (no trigraph in any C dialect) escaped, every byte outside printable ASCII as a
// three-digit octal escape (which no following digit can extend), so any name gives a
// header that compiles.
std::string cStringBody(const std::string& json) {
  std::string body;
  body.reserve(json.size() + json.size() / 8);
  for (char c : json) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte == '"' || byte == '\\' || byte == '?') {
      body += '\\';
      body += c;
    } else if (byte < 0x20 || byte >= 0x7F) {
      char escape[8];
      snprintf(escape, sizeof(escape), "\\%03o", byte);
      body += escape;
    } else {
      body += c;
    }
  }
  return body;
}

// Creates (or replaces) the file; the message names it when that fails.
FILE* openForWriting(const char* path) {
  FILE* file = fopen(path, "wb");
  if (file == nullptr) printMessage("Failed to open file %s\n", path);
  return file;
}

// One write; the flush makes a short write (a full disk) show here, not at close.
bool writeAll(FILE* file, const std::string& text) {
  size_t written = fwrite(text.data(), 1, text.size(), file);
  return written == text.size() && fflush(file) == 0;
}

}  // namespace

void appendJsonString(std::string& text, std::string_view name) {
  text += '"';
  for (char c : name) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte == '"' || byte == '\\') {
      text += '\\';
      text += char(byte);
    } else if (byte < 0x20) {
      char escape[8];
      snprintf(escape, sizeof(escape), "\\u%04x", byte);
      text += escape;
    } else {
      text += char(byte);
    }
  }
  text += '"';
}

std::string serializeTimeline(const Timeline* timeline, bool escaped) {
  std::string text = "{\"__bookmarks__\": [";
  for (uint32_t i = 0; i < timeline->bookmarks.count; ++i) {
    if (i > 0) text += ',';
    appendUnsigned(text, timeline->bookmarks[i]);
  }
  text += "],";
  for (uint32_t i = 0; i < timeline->tracks.count; ++i) {
    appendTrack(text, timeline->tracks[i]);
    text += i + 1 < timeline->tracks.count ? "}," : "}";
  }
  text += '}';
  return escaped ? cStringBody(text) : text;
}

std::string timelineHeaderText(const Timeline* timeline) {
  std::string text = "#pragma once\n";
  text += "const char TIMELINE_JSON_DATA[] = \"";
  text += serializeTimeline(timeline, true);
  text += "\";\n";
  return text;
}

bool saveTimelineHeader(const Timeline* timeline, const char* path) {
  std::string text = timelineHeaderText(timeline);
  FILE* file = openForWriting(path);
  if (file == nullptr) return false;
  bool written = writeAll(file, text);
  if (written)
    printMessage("Saved timeline file header %s\n", path);
  else
    printMessage("Failed to write file header %s\n", path);
  fclose(file);
  return written;
}

void saveTimeline(const Timeline* timeline) {
  std::string text = serializeTimeline(timeline, false);
  FILE* file = openForWriting(TIMELINE_FILE_NAME);
  if (file == nullptr) return;
  if (!writeAll(file, text)) {
    printMessage("Failed to write file %s\n", TIMELINE_FILE_NAME);
    fclose(file);
    return;
  }
  printMessage("Saved timeline file %s\n", TIMELINE_FILE_NAME);
  char headerPath[128];
  snprintf(headerPath, sizeof(headerPath), "code/%s.h", TIMELINE_FILE_NAME);
  saveTimelineHeader(timeline, headerPath);
  fclose(file);
}

void saveTimelineFatalHook(void* timelineVariable) {
  if (timelineVariable == nullptr) return;
  const Timeline* timeline = *static_cast<Timeline* const*>(timelineVariable);
  if (timeline != nullptr) saveTimeline(timeline);
}
