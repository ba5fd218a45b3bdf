// Each transport key's effect, and the music's: the loop and the end of the presentation.
#include "edit/transport.h"

#include <gtest/gtest.h>

#include "platform/window.h"

namespace {

struct TransportKeys : ::testing::Test {
  Timeline* timeline = createTimeline(10843);
  Transport t;
  void SetUp() override {
    for (uint32_t bookmark : {3255u, 0u, 7400u, 3254u, 5208u}) timeline->bookmarks.push(bookmark);  // any order
  }
  ~TransportKeys() override { destroyTimeline(timeline); }
  TransportChange press(uint32_t key, bool shift = false) { return pressTransportKey(t, timeline, key, shift); }
};

TEST_F(TransportKeys, SpacePausesAndPlays) {
  EXPECT_EQ(press(VK_SPACE), TransportChange::Paused);
  EXPECT_TRUE(t.paused);
  EXPECT_EQ(followMusic(t, 500), TransportChange::None);
  EXPECT_EQ(t.frame, 0u) << "the picture waits while paused";
  EXPECT_EQ(press(VK_SPACE), TransportChange::Paused);
  EXPECT_FALSE(t.paused);
  EXPECT_EQ(press('X'), TransportChange::None);
}

TEST_F(TransportKeys, ArrowsMoveOneOrTenSecondsWithinThePresentation) {
  t.frame = 1000;
  EXPECT_EQ(press(VK_RIGHT), TransportChange::Jumped);
  EXPECT_EQ(t.frame, 1060u);
  press(VK_LEFT, true);
  EXPECT_EQ(t.frame, 460u);
  press(VK_LEFT, true);
  EXPECT_EQ(t.frame, 0u) << "not before frame 0";
  EXPECT_EQ(press(VK_LEFT), TransportChange::None);
  t.frame = 7000;
  press(VK_RIGHT, true);
  EXPECT_EQ(t.frame, 7400u) << "not past the last frame";
}

TEST_F(TransportKeys, PageKeysGoToTheBookmarksAndHomeToTheStart) {
  t.frame = 3254;
  EXPECT_EQ(press(VK_NEXT), TransportChange::Jumped);
  EXPECT_EQ(t.frame, 3255u);
  press(VK_NEXT);
  EXPECT_EQ(t.frame, 5208u);
  press(VK_NEXT);
  press(VK_NEXT);
  EXPECT_EQ(t.frame, 7400u) << "the last bookmark, then no further";
  t.frame = 4000;
  press(VK_PRIOR);
  EXPECT_EQ(t.frame, 3255u);
  press(VK_PRIOR);
  EXPECT_EQ(t.frame, 3254u);
  press(VK_HOME);
  EXPECT_EQ(t.frame, 0u);
  EXPECT_EQ(press(VK_PRIOR), TransportChange::None);
  // Without bookmarks: the start and the end.
  timeline->bookmarks.count = 0;
  t.frame = 100;
  press(VK_NEXT);
  EXPECT_EQ(t.frame, 7400u);
  press(VK_PRIOR);
  EXPECT_EQ(t.frame, 0u);
}

TEST_F(TransportKeys, LLoopsTheSectionAroundTheFrame) {
  t.frame = 4000;
  EXPECT_EQ(press('L'), TransportChange::Looped);
  EXPECT_TRUE(t.looping);
  EXPECT_EQ(t.loopStart, 3255u);
  EXPECT_EQ(t.loopEnd, 5208u);
  EXPECT_EQ(followMusic(t, 5207), TransportChange::None);
  EXPECT_EQ(t.frame, 5207u);
  EXPECT_EQ(followMusic(t, 5208), TransportChange::Jumped);
  EXPECT_EQ(t.frame, 3255u);
  // A seek out of the loop plays on from there.
  t.frame = 6000;
  EXPECT_EQ(followMusic(t, 6001), TransportChange::None);
  EXPECT_EQ(press('L'), TransportChange::Looped);
  EXPECT_FALSE(t.looping);
  // The last section runs to the end of the presentation.
  t.frame = 7400;
  press('L');
  EXPECT_EQ(t.loopStart, 7400u);
  EXPECT_EQ(t.loopEnd, 7401u);
}

TEST_F(TransportKeys, TheEndOfThePresentationPausesOnItsLastFrame) {
  t.frame = 7399;
  EXPECT_EQ(followMusic(t, 7400), TransportChange::None);
  EXPECT_EQ(followMusic(t, 7402), TransportChange::Paused);
  EXPECT_TRUE(t.paused);
  EXPECT_EQ(t.frame, 7400u);
}

TEST(TransportSections, BookmarksBoundTheSections) {
  Timeline* timeline = createTimeline(10843);
  EXPECT_EQ(sectionAround(timeline, 50).start, 0u);
  EXPECT_EQ(sectionAround(timeline, 50).end, 7401u);
  timeline->bookmarks.push(100);
  EXPECT_EQ(sectionAround(timeline, 99).end, 100u);
  EXPECT_EQ(sectionAround(timeline, 100).start, 100u);
  destroyTimeline(timeline);
}

}  // namespace
