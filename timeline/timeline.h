#pragma once
// The keyframe store that drives every animated parameter, and its evaluation.
//
// A Timeline owns named, typed tracks; every track has exactly frameCount key slots,
// slot f holding the key at frame f or nothing, so an exact hit is one load and the
// neighbour search is a scan bounded by the distance to the neighbouring keys.
// Plain records with explicit create/destroy; main thread only.
#include <cstdint>

#include "base/containers.h"

// The kind of value a track carries; the names are the words of the JSON text.
// A track's type may hold a code above INVALID (a type text the reader did not know);
// evaluation then reports INVALID.
enum class TrackType : uint32_t { FLOAT = 0, FLOAT3 = 1, UINT = 2, INVALID = 3 };

// A track's value at one frame: a type tag and three 32-bit words read by the tag.
// UINT and FLOAT use the first word, FLOAT3 all three (x, y, z). Words the type does
// not use are 0 in every value the timeline produces.
struct FrameValue {
  TrackType type;
  union {
    uint32_t words[3];
    uint32_t uintValue;
    float floatValue;
    float float3[3];
  };
};
static_assert(sizeof(FrameValue) == 16);

// One key: its value (tagged with the setter's type) and the easing index (0..31)
// of the segment that starts at this key.
struct Keyframe {
  FrameValue value;
  uint32_t easing;
};
static_assert(sizeof(Keyframe) == 20);

inline constexpr uint32_t TRACK_NAME_CAPACITY = 256;  // 255 characters + NUL

struct Track {
  char name[TRACK_NAME_CAPACITY];
  TrackType type;
  DynamicArray<Keyframe*, uint32_t> keys;  // frameCount slots, null where no key
  FrameValue current;                      // value of the last per-frame evaluation
  uint32_t currentEasing;                  // easing reported by that evaluation
};

struct Timeline {
  DynamicArray<Track*, uint32_t> tracks;       // creation order = evaluation and write order
  DynamicArray<uint32_t, uint32_t> bookmarks;  // read and written back, nothing else
  uint32_t frameCount;
  uint32_t callbackTag;  // 0; handed to every binding call
};

Timeline* createTimeline(uint32_t frameCount);

// Frees every key, track and array, then the timeline itself.
void destroyTimeline(Timeline* timeline);

// Frees every key and track and empties `tracks` and `bookmarks`, releasing their
// storage; frameCount and callbackTag are kept (what loading a new text starts with).
void clearTimeline(Timeline* timeline);

// Appends a track with frameCount empty slots. Names are not checked for uniqueness;
// a name longer than 255 characters stops with an assertion.
Track* addTrack(Timeline* timeline, const char* name, TrackType type);

// The first track whose name equals `name` byte for byte, or null.
Track* findTrack(const Timeline* timeline, const char* name);

// Put one key on the first track named `name` (no such track: nothing happens).
// Stops when the track has another type, when frame is not below the slot count or
// when easing is not below EASING_COUNT. A key already in the slot is replaced.
void setUintKey(Timeline* timeline, const char* name, uint32_t frame, const uint32_t* value,
                uint32_t easing);
void setFloatKey(Timeline* timeline, const char* name, uint32_t frame, const float* value,
                 uint32_t easing);
void setFloat3Key(Timeline* timeline, const char* name, uint32_t frame, const float* value,
                  uint32_t easing);

// Removes the key at `frame` of the track (nothing when there is none). Stops when frame is
// not below the slot count.
void removeKey(Track* track, uint32_t frame);

// The track's value at `frame`: zero before the first key, the stored value on a key,
// held after a "None" key and after the last key, otherwise blended between the
// neighbouring keys with the previous key's curve. `easingOut` (optional) receives
// the easing index in effect (0 before the first key). Stops when frame is not below
// the slot count.
FrameValue evaluate(const Track* track, uint32_t frame, uint32_t* easingOut = nullptr);

// The values of frames first .. first + count - 1 into out[0 .. count - 1], each exactly as
// evaluate gives it, in one walk over the keys (evaluate scans to the neighbouring keys for
// every frame). Stops when the frames are not all below the slot count.
void evaluateFrames(const Track* track, uint32_t first, uint32_t count, FrameValue* out);
