// Fuzz target over the timeline's readers, loaders and writer. The first byte picks what the
// rest is:
//   even: a timeline file. Whatever the file loader accepts is written, loaded and written
//         again: the two texts must be the same bytes, the header's literal must hold the
//         text, and (for names the embedded text's reader can carry) the embedded loader
//         must read the text back to the same bytes.
//   odd:  a timeline built directly from the bytes: any names, any float bits (NaN,
//         infinities, denormals), any easing. The writer's text must load back through the
//         embedded loader (and, where the file rules allow it, the file loader) and write
//         the same bytes.
// A difference stops with a trap, and so does a fatal stop (reported through the fatal-stop
// observer); AddressSanitizer reports leaks and bad accesses.
// The embedded text's reader itself stops the program on malformed text (its fatal messages
// are what it does with such text), so it is fed only what the writer makes.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/diagnostics.h"
#include "tests/timeline/odd_names.h"
#include "timeline/easing.h"
#include "timeline/file_format.h"
#include "timeline/loader.h"
#include "timeline/writer.h"

namespace {

constexpr uint32_t kFileFrames = 10843;  // the presentation's timeline
constexpr uint32_t kBuiltFrames = 64;

[[noreturn]] void differ(const char* what, const std::string& a, const std::string& b) {
  fprintf(stderr, "timeline fuzz: %s\n--- first\n%s\n--- second\n%s\n", what, a.c_str(), b.c_str());
  __builtin_trap();
}

// The embedded text's reader has no escapes: a name the JSON text escapes reads back as
// another name.
bool namesNeedNoEscape(const Timeline* timeline) {
  for (const Track* track : timeline->tracks)
    for (const char* c = track->name; *c != '\0'; ++c)
      if (*c == '"' || *c == '\\' || static_cast<unsigned char>(*c) < 0x20) return false;
  return true;
}

std::string writeThroughEmbeddedLoader(const std::string& json, uint32_t frames) {
  // The loader reads up to and including the text's NUL, from a buffer one byte longer.
  std::vector<char> buffer(json.size() + 2, '\0');
  memcpy(buffer.data(), json.data(), json.size());
  Timeline* timeline = createTimeline(frames);
  if (!loadTimeline(timeline, buffer.data(), uint32_t(json.size() + 1))) differ("the embedded loader found no value", json, "");
  std::string again = serializeTimeline(timeline, false);
  destroyTimeline(timeline);
  return again;
}

Timeline* loadFile(const std::string& text, uint32_t frames, TextError* error) {
  TimelineFileRules rules;
  rules.frameCount = frames;
  return loadTimelineFile(text.data(), text.size(), rules, error);
}

bool allValuesFinite(const Timeline* timeline) {
  for (const Track* track : timeline->tracks)
    for (const Keyframe* key : track->keys) {
      if (key == nullptr || track->type == TrackType::UINT) continue;
      for (int i = 0; i < (track->type == TrackType::FLOAT3 ? 3 : 1); ++i)
        if (!std::isfinite(key->value.float3[i])) return false;
    }
  return true;
}

// The file loader must take the writer's text back when the timeline came from a file; a
// built one may hold what no file can (NaN, names that are not UTF-8), but when the file
// loader takes its text and every value is finite, the trip must give the same text too.
void checkWrittenText(const Timeline* timeline, bool fileLoaderMustAccept) {
  const std::string json = serializeTimeline(timeline, false);
  if (unescapeCString(serializeTimeline(timeline, true)) != json)
    differ("the header's literal does not hold the text", json, serializeTimeline(timeline, true));
  TextError error;
  if (Timeline* loaded = loadFile(json, timeline->frameCount, &error)) {
    const std::string again = serializeTimeline(loaded, false);
    destroyTimeline(loaded);
    // One trip may round a value to its six decimals; after it the text is fixed.
    if ((fileLoaderMustAccept || allValuesFinite(timeline)) && again != json) differ("save, load, save differs", json, again);
  } else if (fileLoaderMustAccept) {
    differ(("the file loader refuses the writer's text: " + error.message).c_str(), json, "");
  }
  if (namesNeedNoEscape(timeline)) {
    const std::string again = writeThroughEmbeddedLoader(json, timeline->frameCount);
    if (again != json) differ("save, embedded load, save differs", json, again);
  }
}

void fuzzFile(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  TextError error;
  Timeline* timeline = loadFile(text, kFileFrames, &error);
  if (timeline == nullptr) {
    if (error.message.empty() || error.position.line == 0) differ("a refusal without a place or a reason", text, "");
    return;
  }
  checkWrittenText(timeline, true);
  destroyTimeline(timeline);
}

// Bytes as a little program that builds a timeline.
struct ByteReader {
  const uint8_t* data;
  size_t size;
  size_t at = 0;
  bool more() const { return at < size; }
  uint8_t byte() { return at < size ? data[at++] : 0; }
  uint32_t word() {
    uint32_t w = 0;
    for (int i = 0; i < 4; ++i) w |= uint32_t(byte()) << (8 * i);
    return w;
  }
};

void addBuiltTrack(Timeline* timeline, ByteReader& in) {
  char name[TRACK_NAME_CAPACITY] = {};
  const uint32_t length = in.byte() % 12;
  for (uint32_t i = 0; i < length; ++i) name[i] = char(in.byte() | 1);  // no NUL inside
  if (findTrack(timeline, name) != nullptr) return;  // the loaders refuse a name twice
  addTrack(timeline, name, TrackType(in.byte() % 4));
}

void setBuiltKey(Timeline* timeline, ByteReader& in) {
  if (timeline->tracks.count == 0) return;
  const Track* track = timeline->tracks[in.byte() % timeline->tracks.count];
  const uint32_t frame = in.byte() % kBuiltFrames, easing = in.byte() % EASING_COUNT;
  uint32_t words[3] = {in.word(), in.word(), in.word()};
  float floats[3];
  memcpy(floats, words, sizeof(floats));
  if (track->type == TrackType::FLOAT) setFloatKey(timeline, track->name, frame, floats, easing);
  if (track->type == TrackType::FLOAT3) setFloat3Key(timeline, track->name, frame, floats, easing);
  if (track->type == TrackType::UINT) setUintKey(timeline, track->name, frame, words, easing);
}

void fuzzBuilt(const uint8_t* data, size_t size) {
  ByteReader in{data, size};
  Timeline* timeline = createTimeline(kBuiltFrames);
  while (in.more()) {
    const uint8_t op = in.byte() % 3;
    if (op == 0) addBuiltTrack(timeline, in);
    if (op == 1) setBuiltKey(timeline, in);
    if (op == 2) timeline->bookmarks.push(in.byte() % kBuiltFrames);
  }
  // Infinite and NaN values, and names that are not UTF-8, are not for files.
  checkWrittenText(timeline, false);
  destroyTimeline(timeline);
}

}  // namespace

// A fatal stop ends the process with a plain exit, which libFuzzer would not report:
// trap instead, so the input is kept.
static void reportFatalStop(const char* message) {
  fprintf(stderr, "timeline fuzz: fatal stop: %s", message);
  __builtin_trap();
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setMessagesPrinted(false);  // the embedded reader's progress lines
  setFatalStopObserver(reportFatalStop);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  if (data[0] % 2 == 0)
    fuzzFile(data + 1, size - 1);
  else
    fuzzBuilt(data + 1, size - 1);
  return 0;
}
