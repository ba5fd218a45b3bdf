#pragma once
// A timeline whose track names need every kind of escape, shared by the round-trip suite and
// the suite that compiles its header.
#include <cstdlib>
#include <string>

#include "timeline/timeline.h"

inline constexpr const char* kOddNames[] = {
    "quote\"inside", "ends with a backslash\\", "back\\slash\\\"both", "tab\tnew\nline", "\xC3\xA9t\xC3\xA9 \xE2\x86\x92 \xF0\x9F\x8E\xB5", "?\?=trigraph?", "",
};

inline void buildOddNamesTimeline(Timeline* timeline) {
  timeline->bookmarks.push(3);
  uint32_t frame = 0;
  for (const char* name : kOddNames) {
    addTrack(timeline, name, TrackType::FLOAT);
    const float value = 0.5f + float(frame);
    setFloatKey(timeline, name, frame++, &value, 1);
  }
}

// The characters a C string literal's body stands for: \" \\ and three-digit octal escapes
// (all the writer uses).
inline std::string unescapeCString(const std::string& body) {
  std::string text;
  for (size_t i = 0; i < body.size(); ++i) {
    if (body[i] != '\\' || i + 1 >= body.size()) {
      text += body[i];
    } else if (body[i + 1] >= '0' && body[i + 1] <= '7') {
      text += char(std::strtol(body.substr(i + 1, 3).c_str(), nullptr, 8));
      i += 3;
    } else {
      text += body[++i];
    }
  }
  return text;
}
