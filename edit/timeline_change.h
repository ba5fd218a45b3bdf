#pragma once
// A change the editor's page makes to the timeline: steps that each say what they expect to
// find (a key or a bookmark as the page saw it) and what they leave there. A change is applied
// to the timeline the file holds now, which may be newer than the one the page saw: where the
// part of the file a step touches is as the page saw it, the step applies; where it is not,
// the whole change is refused and nothing is written, so an edit made elsewhere is never
// overwritten. Moves never put a key onto or past another key of its track.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "timeline/file_format.h"
#include "timeline/standard_json.h"
#include "timeline/timeline.h"

struct ChangeKey {
  uint32_t frame = 0;
  uint32_t easing = 0;
  FrameValue value{};
};

struct ChangeStep {
  std::string track;  // empty: a bookmark step
  TrackType type = TrackType::INVALID;
  uint32_t frame = 0;  // the key's frame (or the bookmark's) as the page saw it
  // A key step: the key at `frame` as the page saw it (none: no key there), and the key it
  // becomes (none: deleted; another frame: moved there).
  std::optional<ChangeKey> was, now;
  // A bookmark step: whether there is one at `frame` as the page saw it, and afterwards.
  bool bookmarkWas = false, bookmarkNow = false;
};

struct TimelineChange {
  std::string label;  // what the page calls it ("move 2 keys"): undo and redo say it
  std::vector<ChangeStep> steps;
};

// A change as the page sends it, {"label": TEXT, "steps": [STEP, ...]}, each step either
//   {"track": NAME, "frame": F, "was": KEY or null, "now": KEY or null}, KEY being
//   {"frame": F, "easing": NAME, "value": V} as in a timeline file, or
//   {"bookmark": F, "was": true|false, "now": true|false}.
// Tracks are those of `rules`, keys and bookmarks checked as a file's are. False with *error
// ("LINE:COLUMN: what is wrong") when it is malformed.
bool parseTimelineChange(const JsonFileValue& json, const TimelineFileRules& rules, TimelineChange* change,
                         std::string* error);

// Applies the steps in order. False with *refusal (what the file holds now that the page did
// not expect) when a step does not apply; the timeline is then partly changed and is thrown
// away by the caller.
bool applyTimelineChange(Timeline* timeline, const TimelineChange& change, std::string* refusal);

// The change that takes the result of `change` back to what it started from.
TimelineChange inverseTimelineChange(const TimelineChange& change);

// Bookmarks: whether there is one at `frame`; add one (in frame order) or remove it.
bool hasBookmark(const Timeline* timeline, uint32_t frame);
void setBookmark(Timeline* timeline, uint32_t frame, bool present);

// Whether the slot holds exactly `key` (none: is empty), by the track's type.
bool keyIs(const Track* track, uint32_t frame, const std::optional<ChangeKey>& key);
