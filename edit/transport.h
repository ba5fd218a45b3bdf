#pragma once
// The transport keys of edit mode and where they take the picture: pause, one or ten seconds
// back and on, the bookmarks before and after, frame 0, a loop over the section between the
// bookmarks around the frame shown. Frames stay within the presentation (0 to 7400).
#include <cstdint>

#include "timeline/timeline.h"

struct Transport {
  uint32_t frame = 0;  // the frame shown, or to be shown next
  bool paused = false;
  bool looping = false;
  uint32_t loopStart = 0;  // the loop's frames: [loopStart, loopEnd)
  uint32_t loopEnd = 0;
};

// What a key or the music did to the transport.
enum class TransportChange : uint8_t {
  None,
  Jumped,  // the frame moved by more than playing moves it: a seek
  Paused,  // paused, or playing again (the frame stays)
  Looped,  // the loop began or ended
};

// The section of the timeline between two bookmarks that `frame` lies in: from the last
// bookmark at or before it (0 when none) up to the next one after it (the end of the
// presentation when none), not including that one.
struct Section {
  uint32_t start;
  uint32_t end;
};
Section sectionAround(const Timeline* timeline, uint32_t frame);

// The nearest bookmark before `frame` (0 when none) and after it (the last frame when none).
uint32_t previousBookmark(const Timeline* timeline, uint32_t frame);
uint32_t nextBookmark(const Timeline* timeline, uint32_t frame);

// Space, Left, Right (with Shift: ten seconds), Page Up, Page Down, Home and L, by their
// virtual-key codes; any other key changes nothing.
TransportChange pressTransportKey(Transport& transport, const Timeline* timeline, uint32_t key, bool shift);

// While playing, the music has reached `musicFrame`: playing out of the loop's end goes back
// to its start, the end of the presentation pauses there.
TransportChange followMusic(Transport& transport, uint32_t musicFrame);
