// The SDL2 wave-out device on SDL's dummy driver, which consumes samples at the real
// rate: blocks finish in order, the position (the sample heard, one SDL buffer behind
// what SDL took) ends where the music ends, reset hands every block back, and the
// streamer plays a short piece to its end.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "audio/wave_out_streamer.h"
#include "platform/os.h"
#include "platform/wave_out.h"
#include "tests/support/short_piece.h"
#include "tests/support/wave_out_listener.h"

namespace {

struct DummyDriver : ::testing::Environment {
  void SetUp() override { setenv("SDL_AUDIODRIVER", "dummy", 1); }
};
const auto* gDummyDriver = ::testing::AddGlobalTestEnvironment(new DummyDriver);

TEST(SdlWaveOutTest, QueryRejectsFormatsItCannotPlay) {
  const WaveOutApi* api = systemWaveOutApi();
  for (uint16_t bits : {32, 16}) {
    WaveFormatExtensible format = makeWaveFormat(2, 44100, bits);
    EXPECT_EQ(api->open(nullptr, kWaveMapper, &format, nullptr, nullptr, kWaveFormatQuery), WaveResult::NoError) << bits;
  }
  WaveFormatExtensible odd = makeWaveFormat(2, 44100, 24);
  EXPECT_EQ(api->open(nullptr, kWaveMapper, &odd, nullptr, nullptr, kWaveFormatQuery), WaveResult::BadFormat);
  odd = makeWaveFormat(2, 44100, 16);
  odd.avgBytesPerSec += 1;
  EXPECT_EQ(api->open(nullptr, kWaveMapper, &odd, nullptr, nullptr, kWaveFormatQuery), WaveResult::BadFormat);

  char small[8];
  EXPECT_EQ(api->getErrorText(WaveResult(999), small, sizeof(small)), WaveResult::BadErrorNumber);
  EXPECT_EQ(std::strlen(small), 7u) << "truncated and terminated";
}

TEST(SdlWaveOutTest, PlaysBlocksInOrderAndStopsAtTheirEnd) {
  const WaveOutApi* api = systemWaveOutApi();
  WaveOutListener listener;
  WaveFormatExtensible format = makeWaveFormat(2, 44100, 32);
  WaveOutHandle device = nullptr;
  ASSERT_EQ(api->open(&device, kWaveMapper, &format, WaveOutListener::onMessage, &listener, kWaveCallbackFunction),
            WaveResult::NoError);
  ASSERT_NE(device, nullptr);

  constexpr uint32_t kFrames = 2048;
  std::vector<float> samples(3 * kFrames * 2, 0.1f);
  WaveHeader headers[3] = {};
  for (uint32_t k = 0; k < 3; ++k) {
    headers[k].data = samples.data() + k * kFrames * 2;
    headers[k].bufferLength = kFrames * 8;
  }
  EXPECT_EQ(api->write(device, &headers[0], sizeof(WaveHeader)), WaveResult::Unprepared);
  for (WaveHeader& header : headers) ASSERT_EQ(api->prepareHeader(device, &header, sizeof(WaveHeader)), WaveResult::NoError);
  EXPECT_EQ(api->setVolume(device, 0x80008000u), WaveResult::NoError);
  for (WaveHeader& header : headers) ASSERT_EQ(api->write(device, &header, sizeof(WaveHeader)), WaveResult::NoError);
  EXPECT_EQ(api->write(device, &headers[0], sizeof(WaveHeader)), WaveResult::StillPlaying) << "queued twice";

  ASSERT_TRUE(waitFor([&] { return listener.doneCount() == 3; }, 3000));
  // The last block was handed to SDL; it is heard within two SDL buffers (the one it went
  // into, after the one the server still plays).
  ASSERT_TRUE(waitFor([&] { return positionIn(api, device, WaveTimeType::Samples) == 3 * kFrames; }, 1000));
  osSleepMs(30);
  EXPECT_EQ(positionIn(api, device, WaveTimeType::Samples), 3 * kFrames) << "underrun plays silence, not time";
  EXPECT_EQ(positionIn(api, device, WaveTimeType::Ms), 3 * kFrames * 1000 / 44100);
  EXPECT_EQ(samples[0], 0.1f) << "volume is applied to SDL's copy, never to the caller's samples";

  {
    std::lock_guard<std::mutex> lock(listener.mutex);
    EXPECT_EQ(listener.done, (std::vector<WaveHeader*>{&headers[0], &headers[1], &headers[2]}));
  }
  EXPECT_EQ(headers[2].flags & (kWaveHeaderDone | kWaveHeaderInQueue), kWaveHeaderDone);
  EXPECT_EQ(api->close(device), WaveResult::NoError);
}

TEST(SdlWaveOutTest, ResetHandsBackQueuedBlocksSoCloseSucceeds) {
  const WaveOutApi* api = systemWaveOutApi();
  WaveOutListener listener;
  WaveFormatExtensible format = makeWaveFormat(2, 44100, 16);
  WaveOutHandle device = nullptr;
  ASSERT_EQ(api->open(&device, kWaveMapper, &format, WaveOutListener::onMessage, &listener, kWaveCallbackFunction),
            WaveResult::NoError);
  std::vector<int16_t> samples(2 * 44100 * 2);  // two seconds
  WaveHeader headers[2] = {};
  for (uint32_t k = 0; k < 2; ++k) {
    headers[k].data = samples.data() + k * 44100 * 2;
    headers[k].bufferLength = 44100 * 4;
    api->prepareHeader(device, &headers[k], sizeof(WaveHeader));
    ASSERT_EQ(api->write(device, &headers[k], sizeof(WaveHeader)), WaveResult::NoError);
  }
  EXPECT_EQ(api->close(device), WaveResult::StillPlaying);
  EXPECT_EQ(api->unprepareHeader(device, &headers[1], sizeof(WaveHeader)), WaveResult::StillPlaying);
  EXPECT_EQ(api->reset(device), WaveResult::NoError);
  EXPECT_EQ(listener.doneCount(), 2u);
  EXPECT_EQ(positionIn(api, device, WaveTimeType::Samples), 0u);
  EXPECT_EQ(api->close(device), WaveResult::NoError);
}

TEST(SdlWaveOutTest, StreamerPlaysAShortPieceToTheEnd) {
  ShortPiece piece;  // 174 frames past the last whole block are never played
  WaveOutStreamer streamer;
  piece.open(streamer);
  if (HasFatalFailure()) return;
  uint64_t started = osPerformanceCounter();
  const PlayedThrough played = playThrough(streamer, 44100.0);
  double elapsed = double(osPerformanceCounter() - started) / double(osPerformanceFrequency());
  EXPECT_TRUE(played.reachedEnd) << "position " << played.last << " of " << played.end;
  // The position is the sample being heard: each buffer SDL takes is heard one buffer
  // (2048 frames) after the sound server has it, so the end comes that much after real time.
  EXPECT_GE(elapsed, played.end + 2048.0 / 44100.0 - 0.001);
  EXPECT_TRUE(played.monotonic);
  EXPECT_EQ(streamer.playPosition.load(), streamer.endFrame());
  osSleepMs(30);
  EXPECT_DOUBLE_EQ(streamer.positionSeconds(), played.end) << "the clock stops at the last block";
  for (const WaveHeader& header : streamer.headers) EXPECT_EQ(header.user, 0u) << "every block finished";

  streamer.shutdown(0);
  EXPECT_EQ(streamer.device, nullptr);
}

}  // namespace
