// The picture-against-sound check of scripts/measure-sync on made-up recordings: the music
// heard from a known moment on, the screen grabbed at a steady rate, the picture stepping a
// known time before or after the music reaches each step.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/support/made_up_tune.h"
#include "tools/sync_match/sync_match.h"

namespace {

constexpr uint32_t kRate = kMadeUpTuneRate;
const auto music = madeUpTune;

// The sound recorded from `recordingStart` seconds on; the music's first sample heard at `musicStart`.
SoundMatch heard(const std::vector<float>& m, double recordingStart, double musicStart) {
  std::vector<float> recording(size_t((musicStart - recordingStart) * kRate), 0.0f);
  recording.insert(recording.end(), m.begin(), m.end());
  return matchRecording(m, recording, kRate);
}

// Grabs every `period` seconds from `from` to `to`; the picture is bright from each even entry
// of `changes` (seconds) to the next.
std::vector<PictureGrab> grabs(double from, double to, double period, const std::vector<double>& changes) {
  std::vector<PictureGrab> result;
  for (double t = from; t < to; t += period) {
    size_t passed = 0;
    while (passed < changes.size() && changes[passed] <= t) ++passed;
    result.push_back({t, passed % 2 == 1 ? 180.0 : 12.0});
  }
  return result;
}

TEST(SyncMatch, PictureChangesLieMidwayBetweenTheGrabsAroundThem) {
  const std::vector<PictureChange> changes = pictureChanges(grabs(0.0, 3.0, 0.1, {1.05, 2.05}));
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_NEAR(changes[0].seconds, 1.05, 1e-9);
  EXPECT_TRUE(changes[0].bright);
  EXPECT_NEAR(changes[1].seconds, 2.05, 1e-9);
  EXPECT_FALSE(changes[1].bright);
  // A picture that hardly changes holds no step; nor does an empty recording.
  std::vector<PictureGrab> flat = grabs(0.0, 1.0, 0.1, {});
  flat[3].luma += 3.0;
  EXPECT_TRUE(pictureChanges(flat).empty());
  EXPECT_TRUE(pictureChanges({}).empty());
}

TEST(SyncMatch, TheMusicHeardFollowsTheRecordedSound) {
  const std::vector<float> m = music();
  // The recording starts at 100 s on its clock; the music's first sample is heard at 101.25 s.
  const SoundMatch sound = heard(m, 100.0, 101.25);
  ASSERT_TRUE(sound.found);
  double seconds = 0.0;
  ASSERT_TRUE(musicHeardAt(sound, 100.0, kRate, 104.25, &seconds));
  EXPECT_NEAR(seconds, 3.0, 1e-3);
  ASSERT_TRUE(musicHeardAt(sound, 100.0, kRate, 110.0, &seconds));
  EXPECT_NEAR(seconds, 8.75, 1e-3);
  EXPECT_FALSE(musicHeardAt(sound, 100.0, kRate, 101.0, &seconds)) << "before the music";
  EXPECT_FALSE(musicHeardAt(SoundMatch{}, 100.0, kRate, 104.0, &seconds)) << "no match at all";
}

TEST(SyncMatch, EachStepIsMatchedToTheChangeOfItsDirection) {
  const std::vector<float> m = music();
  const SoundMatch sound = heard(m, 100.0, 101.0);
  const std::vector<uint32_t> steps = {120, 210, 300, 390};  // 2.0, 3.5, 5.0, 6.5 s of music
  // The picture comes 40 ms after the sound at the first two steps, 25 ms before it at the
  // others; grabbed every millisecond.
  const std::vector<double> shown = {103.04, 104.54, 105.975, 107.475};
  SyncMatch sync = matchSteps(pictureChanges(grabs(100.0, 109.0, 0.001, shown)), steps, sound, 100.0, kRate);
  ASSERT_EQ(sync.steps.size(), 4u);
  EXPECT_EQ(sync.unexplained, 0u);
  const double expected[] = {40.0, 40.0, -25.0, -25.0};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_TRUE(sync.steps[i].seen) << i;
    EXPECT_EQ(sync.steps[i].bright, i % 2 == 0) << i;
    EXPECT_NEAR(sync.steps[i].behindMs, expected[i], 1.0) << i;
  }
}

TEST(SyncMatch, FlickerMissingStepsAndChangesBeforeTheMusicAreTold) {
  const std::vector<float> m = music();
  const SoundMatch sound = heard(m, 100.0, 101.0);
  const std::vector<uint32_t> steps = {120, 210, 300, 390};
  // A flash while the window opens (before the music), the first step twice (dark again in
  // between), and nothing at the last two.
  const std::vector<double> shown = {100.2, 100.3, 103.0, 103.1, 103.2, 104.5};
  SyncMatch sync = matchSteps(pictureChanges(grabs(100.0, 109.0, 0.01, shown)), steps, sound, 100.0, kRate);
  EXPECT_TRUE(sync.steps[0].seen);
  EXPECT_NEAR(sync.steps[0].behindMs, 0.0, 6.0);
  EXPECT_TRUE(sync.steps[1].seen) << "the dark step right after the first bright one";
  EXPECT_FALSE(sync.steps[2].seen);
  EXPECT_FALSE(sync.steps[3].seen);
  // The second bright change at 103.2 s and the dark one at 104.5 s have no step left.
  EXPECT_EQ(sync.unexplained, 2u);
}

}  // namespace
