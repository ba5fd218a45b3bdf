// The recording check on made-up recordings: a clean copy of the music at any delay, a gap of
// silence, a skipped stretch, and a recording without the music.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/support/made_up_tune.h"
#include "tools/sound_match/sound_match.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr uint32_t kRate = kMadeUpTuneRate;
const auto music = madeUpTune;

// The music as a 16-bit recording heard from `delay` samples on, `leading` samples of silence first.
std::vector<float> recorded(const std::vector<float>& m, size_t delay) {
  std::vector<float> r(delay, 0.0f);
  for (float x : m) r.push_back(std::round(x * 32767.0f) / 32768.0f);
  return r;
}

TEST(SoundMatch, CleanRecordingAtAnyDelayHasNoDisturbanceAndNoDrift) {
  std::vector<float> m = music();
  for (size_t delay : {0u, 1234u, 3 * kRate}) {
    SoundMatch match = matchRecording(m, recorded(m, delay), kRate);
    ASSERT_TRUE(match.found) << delay;
    EXPECT_EQ(match.disturbed, 0u) << delay;
    EXPECT_EQ(match.driftMs, 0.0) << delay;
    EXPECT_GE(match.windows.size(), 19u) << delay;
  }
}

TEST(SoundMatch, GapsAndSkipsAreCountedAndMoveTheOffset) {
  std::vector<float> m = music();
  std::vector<float> gap = recorded(m, 1000);
  gap.insert(gap.begin() + 4 * kRate + 777, kRate / 100, 0.0f);  // 10 ms of silence: the device ran dry
  SoundMatch late = matchRecording(m, gap, kRate);
  EXPECT_GE(late.disturbed, 1u);  // the half-second with the gap and those finding the music again
  EXPECT_LE(late.disturbed, 3u);
  EXPECT_NEAR(late.driftMs, 10.0, 0.05);

  std::vector<float> skip = recorded(m, 1000);
  skip.erase(skip.begin() + 6 * kRate, skip.begin() + 6 * kRate + kRate / 20);  // 50 ms never heard
  SoundMatch early = matchRecording(m, skip, kRate);
  EXPECT_GE(early.disturbed, 1u);
  EXPECT_NEAR(early.driftMs, -50.0, 0.05);
}

TEST(SoundMatch, SilenceOrSomethingElseIsNotTheMusic) {
  std::vector<float> m = music();
  EXPECT_FALSE(matchRecording(m, std::vector<float>(5 * kRate, 0.0f), kRate).found);
  std::vector<float> other(2 * kRate);
  for (size_t i = 0; i < other.size(); ++i) other[i] = float(0.4 * std::sin(kTwoPi * 97.0 * double(i) / kRate));
  EXPECT_FALSE(matchRecording(m, other, kRate).found);
}

}  // namespace
