// The writer's header for names that need every kind of escape compiles (this file
// includes it, built with warnings as errors) and its constant holds exactly the JSON text.
#include <gtest/gtest.h>

#include "odd_names_timeline.json.h"
#include "tests/timeline/odd_names.h"
#include "timeline/writer.h"

TEST(OddNamesHeader, CompilesAndHoldsTheJsonTextByteForByte) {
  Timeline* timeline = createTimeline(16);
  buildOddNamesTimeline(timeline);
  const std::string json = serializeTimeline(timeline, false);
  EXPECT_EQ(sizeof(TIMELINE_JSON_DATA), json.size() + 1);
  EXPECT_EQ(std::string(TIMELINE_JSON_DATA, sizeof(TIMELINE_JSON_DATA) - 1), json);
  destroyTimeline(timeline);
}
