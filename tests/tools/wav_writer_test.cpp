// The WAV files tarnix-music writes: header fields of both forms at the music's size,
// the samples as written, and writes that fail leaving nothing behind.
#include "tools/music/wav_writer.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <filesystem>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "audio/wave_out_streamer.h"
#include "tests/tools/run_tool.h"

namespace {

constexpr uint32_t kMusicFrames = 7938000;

uint32_t u32(const uint8_t* bytes) { return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | uint32_t(bytes[3]) << 24; }
uint16_t u16(const uint8_t* bytes) { return uint16_t(bytes[0] | bytes[1] << 8); }
std::string tag(const uint8_t* bytes) { return std::string(reinterpret_cast<const char*>(bytes), 4); }

TEST(WavWriter, HeaderFieldsOfBothFormsAtTheMusicSize) {
  WavLayout layout{};
  uint8_t h[kMaxWavHeaderBytes];

  ASSERT_TRUE(makeWavLayout(WavSampleFormat::Float32, 2, 44100, kMusicFrames, &layout));
  ASSERT_EQ(layout.headerBytes, 58u);
  writeWavHeader(layout, h);
  EXPECT_EQ(tag(h), "RIFF");
  EXPECT_EQ(u32(h + 4), 58u - 8 + 63504000u);
  EXPECT_EQ(tag(h + 8), "WAVE");
  EXPECT_EQ(tag(h + 12), "fmt ");
  EXPECT_EQ(u32(h + 16), 18u);
  EXPECT_EQ(u16(h + 20), 3u);  // IEEE float
  EXPECT_EQ(u16(h + 22), 2u);
  EXPECT_EQ(u32(h + 24), 44100u);
  EXPECT_EQ(u32(h + 28), 352800u);
  EXPECT_EQ(u16(h + 32), 8u);
  EXPECT_EQ(u16(h + 34), 32u);
  EXPECT_EQ(u16(h + 36), 0u);  // cbSize
  EXPECT_EQ(tag(h + 38), "fact");
  EXPECT_EQ(u32(h + 42), 4u);
  EXPECT_EQ(u32(h + 46), kMusicFrames);
  EXPECT_EQ(tag(h + 50), "data");
  EXPECT_EQ(u32(h + 54), kMusicFrames * 2 * 4);

  ASSERT_TRUE(makeWavLayout(WavSampleFormat::Pcm16, 2, 44100, kMusicFrames, &layout));
  ASSERT_EQ(layout.headerBytes, 44u);
  writeWavHeader(layout, h);
  EXPECT_EQ(u32(h + 4), 44u - 8 + 31752000u);
  EXPECT_EQ(u32(h + 16), 16u);
  EXPECT_EQ(u16(h + 20), 1u);  // PCM
  EXPECT_EQ(u16(h + 22), 2u);
  EXPECT_EQ(u32(h + 24), 44100u);
  EXPECT_EQ(u32(h + 28), 176400u);
  EXPECT_EQ(u16(h + 32), 4u);
  EXPECT_EQ(u16(h + 34), 16u);
  EXPECT_EQ(tag(h + 36), "data");
  EXPECT_EQ(u32(h + 40), kMusicFrames * 2 * 2);

  // Sizes a RIFF file cannot describe are refused rather than wrapped.
  EXPECT_FALSE(makeWavLayout(WavSampleFormat::Float32, 2, 44100, 0x20000000u, &layout));
  EXPECT_TRUE(makeWavLayout(WavSampleFormat::Pcm16, 2, 44100, 0x20000000u, &layout));
  EXPECT_FALSE(makeWavLayout(WavSampleFormat::Pcm16, 0, 44100, 16, &layout));
}

struct WavFileTest : ::testing::Test {
  ToolDirectory dir;
  std::string error;
  const std::vector<float> samples = {0.0f, 1.0f, -1.0f, 0.5f, -0.5f, 2.0f, -3.0f, NAN, 0.25f, -0.125f};

  std::string path(const char* name) const { return dir.path() + "/" + name; }

  std::string write(const char* name, WavSampleFormat format, WavProgress progress = nullptr,
                    void* user = nullptr) {
    WavLayout layout{};
    EXPECT_TRUE(makeWavLayout(format, 2, 44100, uint32_t(samples.size() / 2), &layout));
    WavFile file;
    EXPECT_TRUE(beginWavFile(file, path(name).c_str(), &error)) << error;
    EXPECT_TRUE(finishWavFile(file, layout, samples.data(), progress, user, &error)) << error;
    return readWholeFile(path(name));
  }
};

TEST_F(WavFileTest, SamplesAreWrittenInEitherFormAndTheTemporaryFileIsGone) {
  double lastFraction = 0;
  auto record = [](double fraction, void* user) {
    *static_cast<double*>(user) = fraction;
    return true;
  };
  std::string floats = write("f.wav", WavSampleFormat::Float32, record, &lastFraction);
  ASSERT_EQ(floats.size(), 58 + samples.size() * 4);
  EXPECT_EQ(std::memcmp(floats.data() + 58, samples.data(), samples.size() * 4), 0);
  EXPECT_EQ(lastFraction, 1.0);

  std::string pcm = write("p.wav", WavSampleFormat::Pcm16);
  ASSERT_EQ(pcm.size(), 44 + samples.size() * 2);
  std::vector<int16_t> expected(samples.size());
  convertToPcm16(samples.data(), expected.data(), samples.size());
  EXPECT_EQ(std::memcmp(pcm.data() + 44, expected.data(), expected.size() * 2), 0);

  EXPECT_FALSE(dir.exists("f.wav.tmp"));
  EXPECT_FALSE(dir.exists("p.wav.tmp"));

  // Writing again replaces the file (a plain rename refuses that on Windows).
  EXPECT_EQ(write("p.wav", WavSampleFormat::Float32), floats);
}

TEST_F(WavFileTest, FailedWritesLeaveNoFileBehind) {
  WavLayout layout{};
  ASSERT_TRUE(makeWavLayout(WavSampleFormat::Float32, 2, 44100, 5, &layout));

  // A directory that does not exist: refused when the file is begun.
  WavFile missing;
  std::string target = path("none/x.wav");
  EXPECT_FALSE(beginWavFile(missing, target.c_str(), &error));
  EXPECT_EQ(error, "cannot write '" + target + "': No such file or directory");

  // The path is a directory: the rename fails and the temporary file goes.
  ASSERT_TRUE(std::filesystem::create_directory(path("taken")));
  WavFile taken;
  ASSERT_TRUE(beginWavFile(taken, path("taken").c_str(), &error));
  EXPECT_FALSE(finishWavFile(taken, layout, samples.data(), nullptr, nullptr, &error));
  EXPECT_NE(error.find("cannot write"), std::string::npos);
  EXPECT_FALSE(dir.exists("taken.tmp"));

  // Abandoned from the progress callback (Ctrl-C).
  WavFile stopped;
  ASSERT_TRUE(beginWavFile(stopped, path("s.wav").c_str(), &error));
  EXPECT_FALSE(finishWavFile(stopped, layout, samples.data(), [](double, void*) { return false; }, nullptr, &error));
  EXPECT_EQ(error, "interrupted");
  EXPECT_FALSE(dir.exists("s.wav"));
  EXPECT_FALSE(dir.exists("s.wav.tmp"));

  // A full disk shows up at the latest when the data is flushed.
#ifndef _WIN32
  if (access("/dev/full", W_OK) == 0) {
    std::filesystem::create_symlink("/dev/full", path("full.wav.tmp"));
    WavFile full;
    ASSERT_TRUE(beginWavFile(full, path("full.wav").c_str(), &error));
    EXPECT_FALSE(finishWavFile(full, layout, samples.data(), nullptr, nullptr, &error));
    EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
    EXPECT_FALSE(dir.exists("full.wav"));
  }
#endif
}

}  // namespace
