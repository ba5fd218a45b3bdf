// Writes the header of the odd-names timeline to the path given, for the suite that
// compiles it.
#include "tests/timeline/odd_names.h"
#include "timeline/writer.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  Timeline* timeline = createTimeline(16);
  buildOddNamesTimeline(timeline);
  const bool saved = saveTimelineHeader(timeline, argv[1]);
  destroyTimeline(timeline);
  return saved ? 0 : 1;
}
