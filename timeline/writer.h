#pragma once
// Writes the timeline back out in the JSON form it is read from: as
// "tarnix_timeline.json" and as the header "code/tarnix_timeline.json.h" that holds the
// same text as the string constant TIMELINE_JSON_DATA, so an edited timeline can be
// built back into the program. Both paths are relative to the working directory.
// File errors print a message and are otherwise ignored: this runs as the fatal hook.
#include <string>
#include <string_view>

#include "timeline/timeline.h"

inline constexpr const char* TIMELINE_FILE_NAME = "tarnix_timeline.json";

// One line of JSON, no whitespace but the space after "__bookmarks__":. A track name is
// written as a JSON string (a quote, backslash or control character in it escaped); a FLOAT
// that is infinite or NaN as its 32-bit pattern, which the embedded text's reader takes
// back bit for bit. With `escaped`, the text as the body of a C string literal: quotes
// backslashes and question marks escaped, bytes outside printable ASCII as octal escapes.
std::string serializeTimeline(const Timeline* timeline, bool escaped);

// Appends `name` as a JSON string: a quote, backslash or control character escaped, every
// other byte as it is (so UTF-8 stays UTF-8).
void appendJsonString(std::string& text, std::string_view name);

// The header text: "#pragma once\n", the constant's declaration, the escaped JSON
// text and the closing quote.
std::string timelineHeaderText(const Timeline* timeline);

// Writes TIMELINE_FILE_NAME, then (while it is still open) the header at
// "code/tarnix_timeline.json.h".
void saveTimeline(const Timeline* timeline);

// Writes the header at `path`; false (after a message) when it cannot.
bool saveTimelineHeader(const Timeline* timeline, const char* path);

// Fatal-handler form of saveTimeline: `timelineVariable` points at the variable that
// holds the Timeline pointer (nothing is written while it is null).
void saveTimelineFatalHook(void* timelineVariable);
