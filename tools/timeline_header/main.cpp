// Writes the embedded timeline header, "code/tarnix_timeline.json.h" relative to the
// working directory (run it from the repository root), or to the path given.
#include <cstdio>

#include "timeline/writer.h"
#include "tools/timeline_header/embedded_timeline.h"

int main(int argc, char** argv) {
  char defaultPath[128];
  snprintf(defaultPath, sizeof(defaultPath), "code/%s.h", TIMELINE_FILE_NAME);
  const char* path = argc > 1 ? argv[1] : defaultPath;

  Timeline* timeline = createTimeline(EMBEDDED_TIMELINE_FRAME_COUNT);
  buildEmbeddedTimeline(timeline);
  bool saved = saveTimelineHeader(timeline, path);
  printf("JSON text: %zu characters\n", serializeTimeline(timeline, false).size());
  destroyTimeline(timeline);
  return saved ? 0 : 1;
}
