// Key tables of the embedded timeline, in track order. Float literals are the values
// as the text writes them (six decimals); each is the nearest single-precision value,
// which the writer prints back unchanged.
#include "tools/timeline_header/embedded_timeline.h"

#include <iterator>

#include "app/scene_parameters.h"
#include "base/diagnostics.h"
#include "timeline/easing.h"

namespace {

struct UintKey {
  uint32_t frame;
  const char* easing;
  uint32_t value;
};
struct FloatKey {
  uint32_t frame;
  const char* easing;
  float value;
};
struct Float3Key {
  uint32_t frame;
  const char* easing;
  float value[3];
};

const uint32_t BOOKMARKS[] = {0, kSceneClearFrame, kSceneSetUpFrame, 5208, 5318, 6256, 6829, 7400};

const UintKey NUM_PARTICLES[] = {{0, "None", 64}, {3254, "None", 128}};
const UintKey SCENE_ID[] = {{0, "None", 0}, {3254, "None", 1}};
const FloatKey TIME_SCALE[] = {{0, "None", 0.025f}, {3255, "None", 0.02f}};

const Float3Key CAMERA_POSITION[] = {
    {0, "None", {0.0f, 0.0f, -208.84f}},
    {436, "Linear", {0.0f, 0.0f, -208.0f}},
    {1144, "None", {0.0f, 0.0f, -157.38f}},
    {3255, "CircularOut", {0.0f, -69.97f, -236.43f}},
    {3584, "None", {0.0f, 0.0f, -236.43f}},
    {3830, "None", {-23.23f, 20.14f, 6.35f}},
    {4742, "None", {0.0f, -52.79f, 25.24f}},
    {6136, "None", {15.17f, -5.26f, 25.11f}},
};

const Float3Key CAMERA_DIRECTION[] = {
    {0, "None", {0.0f, 1.57f, 0.0f}},
    {2805, "Linear", {0.0f, 1.57f, 0.0f}},
    {3254, "Linear", {-0.179f, 1.57f, 0.0f}},
    {3255, "SinusoidalOut", {-0.07f, 1.57f, 0.0f}},
    {3584, "None", {0.05f, 1.57f, 0.0f}},
    {3830, "QuadraticInOut", {-0.15f, -0.9f, 0.0f}},
    {4163, "None", {-0.72f, -0.33f, 0.0f}},
    {4742, "None", {0.94f, -1.58f, 0.0f}},
    {4912, "QuadraticInOut", {0.94f, -1.58f, 0.0f}},
    {5132, "None", {0.63f, -1.58f, 0.0f}},
    {5213, "SinusoidalInOut", {0.63f, -1.58f, 0.0f}},
    {5318, "None", {0.93f, -1.58f, 0.0f}},
    {6136, "None", {0.49f, -2.22f, 0.0f}},
};

const FloatKey BRIGHTNESS[] = {
    {0, "None", 0.0f},           {439, "Linear", 0.0f},
    {579, "None", 1.0f},         {2820, "CircularOut", 1.0f},
    {3245, "None", 0.0f},        {3255, "SinusoidalInOut", 0.0f},
    {3421, "None", 1.0f},        {6000, "Linear", 1.0f},
    {6132, "Linear", 0.0f},      {6136, "Linear", 0.0f},
    {6256, "None", 1.0f},        {6829, "SinusoidalInOut", 1.0f},
    {7215, "None", 0.0f},
};

const FloatKey FIELD_OF_VIEW[] = {
    {0, "None", 40.03f}, {3830, "None", 57.54f}, {4742, "None", 51.15f}};

const Float3Key BACKGROUND_COLOR[] = {
    {0, "None", {0.23032f, 0.255249f, 0.348039f}},
    {2375, "Linear", {0.23032f, 0.255249f, 0.348039f}},
    {2697, "None", {0.0f, 0.0f, 0.0f}},
    {3255, "None", {0.043737f, 0.070588f, 0.067745f}},
    {6136, "None", {1.0f, 1.0f, 1.0f}},
};

const FloatKey FOCUS_SCALE[] = {
    {0, "None", 200.0f}, {888, "Linear", 200.0f}, {1051, "None", 400.0f}, {3255, "None", 20.0f}};

const FloatKey FOCUS_POINT[] = {
    {0, "None", 0.0f},
    {905, "SinusoidalIn", 0.0f},
    {1290, "None", 28.24f},
    {2805, "Linear", 28.24f},
    {3223, "None", 0.0f},
    {3255, "None", 0.0001f},
    {3378, "CircularOut", 0.0001f},
    {3602, "None", 77.57f},
    {3830, "None", 17.06f},
    {4223, "CircularInOut", 17.06f},
    {4567, "None", 10.41f},
    {4742, "None", 23.9f},
    {4963, "QuadraticInOut", 23.9f},
    {5208, "SinusoidalOut", 65.58f},
    {5318, "None", 26.87f},
    {6136, "None", 16.73f},
    {6829, "SinusoidalInOut", 16.73f},
    {7215, "None", 0.0f},
};

const FloatKey BLEND_FACTOR[] = {{0, "None", 0.15f}, {3255, "None", 0.05f}};
const UintKey ATROUS_STEPS[] = {{0, "None", 3}, {3255, "None", 2}};
const UintKey SAMPLE_COUNT[] = {{0, "None", 4}, {3255, "None", 4}};

uint32_t easingIndex(const char* name) {
  uint32_t index = findEasingIndex(name);
  ASSERT(index < EASING_COUNT, "Unknown easing name %s\n", name);
  return index;
}

// One animated parameter's keys, of the type its track carries.
struct TrackKeys {
  TrackType type;
  const void* keys;
  size_t count;
};
template <size_t N>
constexpr TrackKeys keysOf(const UintKey (&keys)[N]) { return {TrackType::UINT, keys, N}; }
template <size_t N>
constexpr TrackKeys keysOf(const FloatKey (&keys)[N]) { return {TrackType::FLOAT, keys, N}; }
template <size_t N>
constexpr TrackKeys keysOf(const Float3Key (&keys)[N]) { return {TrackType::FLOAT3, keys, N}; }

// In the order of the animated parameters (app/scene_parameters.cpp), which name the tracks.
const TrackKeys kTrackKeys[] = {
    keysOf(NUM_PARTICLES), keysOf(SCENE_ID),   keysOf(TIME_SCALE),       keysOf(CAMERA_POSITION),
    keysOf(CAMERA_DIRECTION), keysOf(BRIGHTNESS), keysOf(FIELD_OF_VIEW), keysOf(BACKGROUND_COLOR),
    keysOf(FOCUS_SCALE),   keysOf(FOCUS_POINT), keysOf(BLEND_FACTOR),     keysOf(ATROUS_STEPS),
    keysOf(SAMPLE_COUNT),
};

void addTrackWithKeys(Timeline* timeline, const char* name, const TrackKeys& track) {
  addTrack(timeline, name, track.type);
  for (size_t k = 0; k < track.count; ++k) {
    if (track.type == TrackType::UINT) {
      const UintKey& key = static_cast<const UintKey*>(track.keys)[k];
      setUintKey(timeline, name, key.frame, &key.value, easingIndex(key.easing));
    } else if (track.type == TrackType::FLOAT) {
      const FloatKey& key = static_cast<const FloatKey*>(track.keys)[k];
      setFloatKey(timeline, name, key.frame, &key.value, easingIndex(key.easing));
    } else {
      const Float3Key& key = static_cast<const Float3Key*>(track.keys)[k];
      setFloat3Key(timeline, name, key.frame, key.value, easingIndex(key.easing));
    }
  }
}

}  // namespace

void buildEmbeddedTimeline(Timeline* timeline) {
  for (uint32_t bookmark : BOOKMARKS) timeline->bookmarks.push(bookmark);
  size_t next = 0;
  for (const SceneParameter& parameter : sceneParameters()) {
    if (parameter.track == nullptr) continue;
    ASSERT(next < std::size(kTrackKeys), "No keys for track %s\n", parameter.track);
    ASSERT(kTrackKeys[next].type == parameter.type, "Keys of another type for track %s\n", parameter.track);
    addTrackWithKeys(timeline, parameter.track, kTrackKeys[next++]);
  }
  ASSERT(next == std::size(kTrackKeys), "Keys for %u tracks, %u animated parameters\n", unsigned(std::size(kTrackKeys)),
         unsigned(next));
}
