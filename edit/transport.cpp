#include "edit/transport.h"

#include <algorithm>

#include "app/frame_clock.h"
#include "platform/window.h"

namespace {

constexpr uint32_t kSecond = uint32_t(kTimelineFramesPerSecond);

uint32_t clampToPresentation(int64_t frame) { return uint32_t(std::clamp<int64_t>(frame, 0, kEndFrameIndex)); }

TransportChange jumpTo(Transport& t, uint32_t frame) {
  if (frame == t.frame) return TransportChange::None;
  t.frame = frame;
  return TransportChange::Jumped;
}

}  // namespace

Section sectionAround(const Timeline* timeline, uint32_t frame) {
  Section section{0, kEndFrameIndex + 1};
  for (uint32_t bookmark : timeline->bookmarks) {
    if (bookmark <= frame) section.start = std::max(section.start, bookmark);
    if (bookmark > frame) section.end = std::min(section.end, bookmark);
  }
  return section;
}

uint32_t previousBookmark(const Timeline* timeline, uint32_t frame) {
  uint32_t previous = 0;
  for (uint32_t bookmark : timeline->bookmarks)
    if (bookmark < frame) previous = std::max(previous, bookmark);
  return previous;
}

uint32_t nextBookmark(const Timeline* timeline, uint32_t frame) {
  uint32_t next = kEndFrameIndex;
  for (uint32_t bookmark : timeline->bookmarks)
    if (bookmark > frame) next = std::min(next, bookmark);
  return std::max(next, frame);
}

TransportChange pressTransportKey(Transport& t, const Timeline* timeline, uint32_t key, bool shift) {
  const int64_t step = shift ? 10 * kSecond : kSecond;
  switch (key) {
    case VK_SPACE:
      t.paused = !t.paused;
      return TransportChange::Paused;
    case VK_LEFT:
      return jumpTo(t, clampToPresentation(int64_t(t.frame) - step));
    case VK_RIGHT:
      return jumpTo(t, clampToPresentation(int64_t(t.frame) + step));
    case VK_PRIOR:
      return jumpTo(t, previousBookmark(timeline, t.frame));
    case VK_NEXT:
      return jumpTo(t, nextBookmark(timeline, t.frame));
    case VK_HOME:
      return jumpTo(t, 0);
    case 'L': {
      t.looping = !t.looping;
      const Section section = sectionAround(timeline, t.frame);
      t.loopStart = section.start;
      t.loopEnd = section.end;
      return TransportChange::Looped;
    }
    default:
      return TransportChange::None;
  }
}

TransportChange followMusic(Transport& t, uint32_t musicFrame) {
  if (t.paused) return TransportChange::None;
  // Only playing out of the loop's end goes back; a seek may leave the loop to play on.
  if (t.looping && t.frame < t.loopEnd && musicFrame >= t.loopEnd) {
    t.frame = t.loopStart;
    return TransportChange::Jumped;
  }
  if (musicFrame > kEndFrameIndex) {
    t.frame = kEndFrameIndex;
    t.paused = true;
    return TransportChange::Paused;
  }
  t.frame = musicFrame;
  return TransportChange::None;
}
