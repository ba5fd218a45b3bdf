// tarnix-music end to end on the graphics device: both files, their sizes, a few samples
// against the C++ reference of the music, and the 16-bit file as the streamer converts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "audio/wave_out_streamer.h"
#include "support/reference/music.h"
#include "tests/tools/run_tool.h"

namespace {

constexpr uint32_t kFrames = 7938000;
constexpr uint32_t kComputedFrames = kFrames / 256 * 256;

TEST(MusicGpu, WritesThePieceAsFloatAndAs16Bit) {
  ToolDirectory dir;
  ToolRun floats = dir.run(TARNIX_MUSIC_TOOL, "");
  ASSERT_EQ(floats.status, 0) << floats.err;
  EXPECT_NE(floats.err.find("Wrote tarnix-music.wav"), std::string::npos) << floats.err;
  // Into a file the progress is a few whole lines, never updates joined by carriage returns.
  EXPECT_EQ(floats.err.find('\r'), std::string::npos) << floats.err;
  EXPECT_LE(std::count(floats.err.begin(), floats.err.end(), '\n'), 4) << floats.err;
  ToolRun pcm = dir.run(TARNIX_MUSIC_TOOL, "--pcm16 music16.wav");
  ASSERT_EQ(pcm.status, 0) << pcm.err;
  EXPECT_FALSE(dir.exists("tarnix-music.wav.tmp"));

  std::string floatFile = readWholeFile(dir.path() + "/tarnix-music.wav");
  std::string pcmFile = readWholeFile(dir.path() + "/music16.wav");
  ASSERT_EQ(floatFile.size(), 58u + kFrames * 2 * 4);
  ASSERT_EQ(pcmFile.size(), 44u + kFrames * 2 * 2);

  std::vector<float> samples(size_t(kFrames) * 2);
  std::memcpy(samples.data(), floatFile.data() + 58, samples.size() * 4);
  EXPECT_EQ(samples[0], 0.0f);
  EXPECT_EQ(samples[1], 0.0f);
  for (uint32_t i : {44100u * 12 + 7, 44100u * 40 + 123}) {
    reference::Vec2 expected = reference::makeSoundAtSample(i);
    EXPECT_NEAR(samples[2 * i], expected.x, 2e-5) << "frame " << i;
    EXPECT_NEAR(samples[2 * i + 1], expected.y, 2e-5) << "frame " << i;
  }
  // The frames after the last whole group are not computed by the shader: silence.
  for (uint32_t i = kComputedFrames * 2; i < kFrames * 2; ++i) ASSERT_EQ(samples[i], 0.0f) << "sample " << i;

  std::vector<int16_t> expected(samples.size());
  convertToPcm16(samples.data(), expected.data(), samples.size());
  EXPECT_EQ(std::memcmp(pcmFile.data() + 44, expected.data(), expected.size() * 2), 0);
}

}  // namespace
