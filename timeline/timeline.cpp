// Timeline store: tracks of per-frame key slots, the three setters and evaluation.
#include "timeline/timeline.h"

#include <cstring>

#include "base/diagnostics.h"
#include "timeline/easing.h"

namespace {

bool isKnownType(TrackType type) {
  return type == TrackType::FLOAT || type == TrackType::FLOAT3 || type == TrackType::UINT;
}

// Finds the track and checks type and frame; null when no track has that name.
Track* trackForKey(Timeline* timeline, const char* name, uint32_t frame, uint32_t easing,
                   TrackType expected) {
  Track* track = findTrack(timeline, name);
  if (track == nullptr) return nullptr;
  // The message states what the setter expected.
  if (track->type != expected) {
    if (expected == TrackType::UINT) ASSERT(false, "Track is UINT type\n");
    if (expected == TrackType::FLOAT) ASSERT(false, "Track is FLOAT type\n");
    ASSERT(false, "Track is FLOAT3 type\n");
  }
  ASSERT(frame < track->keys.count, "Exceeded frame index. Max frame index is %u\n",
         track->keys.count - 1);
  // Evaluation indexes the easing tables with this; one past them would call garbage.
  ASSERT(easing < EASING_COUNT, "Easing index %u is outside the easing table (0..%u)\n", easing,
         EASING_COUNT - 1);
  return track;
}

void storeKey(Track* track, uint32_t frame, const FrameValue& value, uint32_t easing) {
  delete track->keys[frame];
  track->keys[frame] = new Keyframe{value, easing};
}

FrameValue zeroValue(TrackType type) {
  FrameValue value{};
  value.type = type;
  return value;
}

// Single-precision blend of two unsigned keys, truncated toward zero through a signed
// 64-bit integer: an overshooting curve below the previous key wraps to a large
// unsigned value, as the curve asks for. Out-of-range or NaN inputs cannot arise from
// the curves (|e| stays small), but the conversion would be undefined, so they give 0.
uint32_t blendUint(uint32_t previous, uint32_t next, float eased) {
  float from = float(previous);
  float to = float(next);
  float blended = eased * (to - from) + from;
  if (!(blended > -9.2e18f && blended < 9.2e18f)) return 0;
  return uint32_t(uint64_t(int64_t(blended)));
}

}  // namespace

Timeline* createTimeline(uint32_t frameCount) {
  Timeline* timeline = new Timeline{};
  timeline->frameCount = frameCount;
  timeline->callbackTag = 0;
  return timeline;
}

void clearTimeline(Timeline* timeline) {
  for (Track* track : timeline->tracks) {
    for (Keyframe* key : track->keys) delete key;
    track->keys.clear();
    delete track;
  }
  timeline->tracks.clear();
  timeline->bookmarks.clear();
}

void destroyTimeline(Timeline* timeline) {
  if (timeline == nullptr) return;
  clearTimeline(timeline);
  delete timeline;
}

Track* addTrack(Timeline* timeline, const char* name, TrackType type) {
  size_t length = strlen(name);
  ASSERT(length < TRACK_NAME_CAPACITY, "Track name is longer than %u characters\n",
         TRACK_NAME_CAPACITY - 1);
  Track* track = new Track{};
  memcpy(track->name, name, length);
  track->type = type;
  track->current = FrameValue{};
  track->currentEasing = 0;
  for (uint32_t frame = 0; frame < timeline->frameCount; ++frame) track->keys.push(nullptr);
  timeline->tracks.push(track);
  return track;
}

Track* findTrack(const Timeline* timeline, const char* name) {
  for (Track* track : timeline->tracks)
    if (strcmp(track->name, name) == 0) return track;
  return nullptr;
}

namespace {

void setKey(Timeline* timeline, const char* name, uint32_t frame, const FrameValue& key, uint32_t easing) {
  Track* track = trackForKey(timeline, name, frame, easing, key.type);
  if (track != nullptr) storeKey(track, frame, key, easing);
}

}  // namespace

void setUintKey(Timeline* timeline, const char* name, uint32_t frame, const uint32_t* value,
                uint32_t easing) {
  FrameValue key = zeroValue(TrackType::UINT);
  key.uintValue = *value;
  setKey(timeline, name, frame, key, easing);
}

void setFloatKey(Timeline* timeline, const char* name, uint32_t frame, const float* value,
                 uint32_t easing) {
  FrameValue key = zeroValue(TrackType::FLOAT);
  key.floatValue = *value;
  setKey(timeline, name, frame, key, easing);
}

void setFloat3Key(Timeline* timeline, const char* name, uint32_t frame, const float* value,
                  uint32_t easing) {
  FrameValue key = zeroValue(TrackType::FLOAT3);
  key.float3[0] = value[0];
  key.float3[1] = value[1];
  key.float3[2] = value[2];
  setKey(timeline, name, frame, key, easing);
}

void removeKey(Track* track, uint32_t frame) {
  ASSERT(frame < track->keys.count, "Exceeded frame index. Max frame index is %u\n", track->keys.count - 1);
  delete track->keys[frame];
  track->keys[frame] = nullptr;
}

namespace {

// The value between two keys (previous at previousFrame, holding a curve, next at nextFrame)
// at `frame`, which lies between them: the one blend that evaluation and evaluateFrames share.
FrameValue blendKeys(TrackType type, const Keyframe& previous, uint32_t previousFrame, const Keyframe& next,
                     uint32_t nextFrame, uint32_t frame) {
  FrameValue result = zeroValue(isKnownType(type) ? type : TrackType::INVALID);
  float t = float(frame - previousFrame) / float(nextFrame - previousFrame);
  if (t < 0.0f) t = 0.0f;
  if (t > 1.0f) t = 1.0f;
  const EasingFunction curve = easingFunctions[previous.easing];

  switch (type) {
    case TrackType::FLOAT: {
      float e = curve(t);
      result.floatValue = e * (next.value.floatValue - previous.value.floatValue) + previous.value.floatValue;
      break;
    }
    case TrackType::FLOAT3:
      for (int i = 0; i < 3; ++i) {
        float e = curve(t);
        result.float3[i] = e * (next.value.float3[i] - previous.value.float3[i]) + previous.value.float3[i];
      }
      break;
    case TrackType::UINT:
      result.uintValue = blendUint(previous.value.uintValue, next.value.uintValue, curve(t));
      break;
    default:
      break;
  }
  return result;
}

// The value at `frame` given the keys around it (either may be null), as evaluate defines it.
FrameValue valueBetween(const Track* track, const Keyframe* previous, uint32_t previousFrame, const Keyframe* next,
                        uint32_t nextFrame, uint32_t frame) {
  if (previous == nullptr) return zeroValue(isKnownType(track->type) ? track->type : TrackType::INVALID);
  if (previousFrame == frame || previous->easing == 0 || next == nullptr) return previous->value;
  return blendKeys(track->type, *previous, previousFrame, *next, nextFrame, frame);
}

}  // namespace

FrameValue evaluate(const Track* track, uint32_t frame, uint32_t* easingOut) {
  const uint32_t slotCount = track->keys.count;
  ASSERT(frame < slotCount, "Exceeded frame index. Max frame index is %u\n", slotCount - 1);
  if (easingOut != nullptr) *easingOut = 0;

  if (const Keyframe* hit = track->keys[frame]) {
    if (easingOut != nullptr) *easingOut = hit->easing;
    return hit->value;
  }

  // Before the first key the track has no value yet: zero of its type.
  const Keyframe* previous = nullptr;
  uint32_t previousFrame = frame;
  while (previousFrame > 0) {
    previousFrame -= 1;
    if (track->keys[previousFrame] != nullptr) {
      previous = track->keys[previousFrame];
      break;
    }
  }
  if (previous == nullptr) return valueBetween(track, nullptr, 0, nullptr, 0, frame);
  if (easingOut != nullptr) *easingOut = previous->easing;
  if (previous->easing == 0) return previous->value;

  const Keyframe* next = nullptr;
  uint32_t nextFrame = frame + 1;
  for (; nextFrame < slotCount; ++nextFrame) {
    if (track->keys[nextFrame] != nullptr) {
      next = track->keys[nextFrame];
      break;
    }
  }
  return valueBetween(track, previous, previousFrame, next, nextFrame, frame);
}

void evaluateFrames(const Track* track, uint32_t first, uint32_t count, FrameValue* out) {
  const uint32_t slotCount = track->keys.count;
  ASSERT(first <= slotCount && count <= slotCount - first, "Exceeded frame index. Max frame index is %u\n",
         slotCount - 1);
  // The key at or before the frame, and the one after it, found once and moved along.
  if (count == 0) return;
  const Keyframe* previous = nullptr;
  uint32_t previousFrame = 0;
  for (uint32_t f = first + 1; f-- > 0;)
    if (track->keys[f] != nullptr) {
      previous = track->keys[f];
      previousFrame = f;
      break;
    }
  const Keyframe* next = nullptr;
  uint32_t nextFrame = first;
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t frame = first + i;
    if (track->keys[frame] != nullptr) {
      previous = track->keys[frame];
      previousFrame = frame;
    }
    if (nextFrame <= frame) {
      next = nullptr;
      for (nextFrame = frame + 1; nextFrame < slotCount && next == nullptr; ++nextFrame) next = track->keys[nextFrame];
      if (next != nullptr) nextFrame -= 1;
    }
    out[i] = valueBetween(track, previous, previousFrame, next, nextFrame, frame);
  }
}
