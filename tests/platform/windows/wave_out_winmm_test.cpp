// WINMM wave-out on the sound server of the test environment (a PulseAudio null sink under
// Wine): both sample formats open, blocks come back through the callback in order, the
// position advances at the rate of the music, and nothing stays queued after a reset or
// after the streamer's shutdown.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "audio/wave_out_streamer.h"
#include "platform/os.h"
#include "platform/wave_out.h"
#include "tests/support/short_piece.h"
#include "tests/support/wave_out_listener.h"

namespace {

constexpr uint32_t kRate = 44100;

double secondsSince(uint64_t start) {
  return double(osPerformanceCounter() - start) / double(osPerformanceFrequency());
}

struct Blocks {
  std::vector<uint8_t> bytes;
  std::vector<WaveHeader> headers;
  Blocks(uint32_t count, uint32_t bytesEach) : bytes(size_t(count) * bytesEach), headers(count) {
    for (uint32_t k = 0; k < count; ++k) {
      headers[k] = {};
      headers[k].data = bytes.data() + size_t(k) * bytesEach;
      headers[k].bufferLength = bytesEach;
    }
  }
};

TEST(WinmmWaveOut, FloatAnd16BitOpenAndErrorsHaveText) {
  const WaveOutApi* api = systemWaveOutApi();
  for (uint16_t bits : {32, 16}) {
    WaveFormatExtensible format = makeWaveFormat(2, kRate, bits);
    EXPECT_EQ(api->open(nullptr, kWaveMapper, &format, nullptr, nullptr, kWaveFormatQuery), WaveResult::NoError) << bits;
    WaveOutHandle device = nullptr;
    ASSERT_EQ(api->open(&device, kWaveMapper, &format, nullptr, nullptr, kWaveCallbackFunction), WaveResult::NoError) << bits;
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(api->setVolume(device, 0xFFFFFFFFu), WaveResult::NoError);
    EXPECT_EQ(api->close(device), WaveResult::NoError);
  }
  char text[256] = {};
  EXPECT_EQ(api->getErrorText(WaveResult::BadFormat, text, sizeof(text)), WaveResult::NoError);
  EXPECT_GT(std::strlen(text), 0u);
}

// Every block comes back through the callback, in the order written, in either format.
TEST(WinmmWaveOut, EveryBlockComesBackInOrder) {
  const WaveOutApi* api = systemWaveOutApi();
  for (uint16_t bits : {32, 16}) {
    WaveOutListener listener;
    WaveFormatExtensible format = makeWaveFormat(2, kRate, bits);
    WaveOutHandle device = nullptr;
    ASSERT_EQ(api->open(&device, kWaveMapper, &format, WaveOutListener::onMessage, &listener, kWaveCallbackFunction),
              WaveResult::NoError);
    Blocks blocks(8, 1024 * format.blockAlign);
    EXPECT_EQ(api->write(device, &blocks.headers[0], sizeof(WaveHeader)), WaveResult::Unprepared);
    for (WaveHeader& header : blocks.headers) {
      ASSERT_EQ(api->prepareHeader(device, &header, sizeof(WaveHeader)), WaveResult::NoError);
      ASSERT_EQ(api->write(device, &header, sizeof(WaveHeader)), WaveResult::NoError);
    }
    ASSERT_TRUE(waitFor([&] { return listener.doneCount() == 8; }, 5000)) << listener.doneCount() << " of 8 back";
    std::vector<WaveHeader*> expected;
    for (WaveHeader& header : blocks.headers) expected.push_back(&header);
    {
      std::lock_guard<std::mutex> lock(listener.mutex);
      EXPECT_EQ(listener.done, expected) << bits << "-bit";
    }
    for (WaveHeader& header : blocks.headers) {
      EXPECT_EQ(header.flags & (kWaveHeaderDone | kWaveHeaderInQueue), kWaveHeaderDone);
      EXPECT_EQ(api->unprepareHeader(device, &header, sizeof(WaveHeader)), WaveResult::NoError);
    }
    EXPECT_EQ(api->close(device), WaveResult::NoError);
  }
}

// The position is the clock of the presentation: it must follow the music's rate, not run
// ahead as an unpaced device would (ALSA's null device plays several times too fast).
TEST(WinmmWaveOut, PositionAdvancesInRealTime) {
  const WaveOutApi* api = systemWaveOutApi();
  WaveFormatExtensible format = makeWaveFormat(2, kRate, 32);
  WaveOutHandle device = nullptr;
  ASSERT_EQ(api->open(&device, kWaveMapper, &format, nullptr, nullptr, kWaveCallbackFunction), WaveResult::NoError);
  Blocks blocks(20, kRate / 5 * format.blockAlign);  // 4 s in 0.2 s blocks
  for (WaveHeader& header : blocks.headers) ASSERT_EQ(api->prepareHeader(device, &header, sizeof(WaveHeader)), WaveResult::NoError);
  uint64_t start = osPerformanceCounter();
  for (WaveHeader& header : blocks.headers) ASSERT_EQ(api->write(device, &header, sizeof(WaveHeader)), WaveResult::NoError);
  // Nothing can be heard before it was written: a position ahead of the time since then
  // is a device that does not play in real time. Under Wine the position starts late and
  // slow, then keeps pace, so the lower bound is loose.
  uint32_t second = 0;
  double elapsed = 0, played = 0, ahead = -1e9;
  while ((elapsed = secondsSince(start)) < 2.5) {
    second = positionIn(api, device, WaveTimeType::Samples);
    played = double(second) / kRate;
    ahead = std::max(ahead, played - elapsed);
    osSleepMs(20);
  }
  EXPECT_LT(ahead, 0.15) << "the position ran ahead of real time";
  EXPECT_GT(played, 0.3 * elapsed - 0.3) << played << " s played in " << elapsed << " s";

  // Asked for milliseconds, a device may answer in a unit of its own (Wine answers in bytes);
  // whichever it names, it is the same position.
  WaveTime time{};
  time.type = WaveTimeType::Ms;
  ASSERT_EQ(api->getPosition(device, &time, sizeof(time)), WaveResult::NoError);
  ASSERT_TRUE(time.type == WaveTimeType::Ms || time.type == WaveTimeType::Bytes || time.type == WaveTimeType::Samples) << uint32_t(time.type);
  double seconds = time.type == WaveTimeType::Ms      ? time.u.ms / 1000.0
                   : time.type == WaveTimeType::Bytes ? double(time.u.bytes) / format.avgBytesPerSec
                                                 : double(time.u.sample) / kRate;
  EXPECT_NEAR(seconds, double(second) / kRate, 0.3);

  // Shutting down as the streamer does: a reset hands back every queued block, then the
  // device closes. (Windows refuses to close while blocks are queued; Wine closes anyway,
  // so the order matters.)
  EXPECT_EQ(api->reset(device), WaveResult::NoError);
  for (WaveHeader& header : blocks.headers) EXPECT_EQ(header.flags & kWaveHeaderInQueue, 0u);
  for (WaveHeader& header : blocks.headers) EXPECT_EQ(api->unprepareHeader(device, &header, sizeof(WaveHeader)), WaveResult::NoError);
  EXPECT_EQ(api->close(device), WaveResult::NoError);
}

TEST(WinmmWaveOut, StreamerPlaysAShortPieceAndLeavesNothingQueued) {
  ShortPiece piece;
  WaveOutStreamer streamer;
  piece.open(streamer);
  if (HasFatalFailure()) return;
  const PlayedThrough played = playThrough(streamer, kRate);
  EXPECT_TRUE(played.reachedEnd) << "position " << played.last << " of " << played.end;
  EXPECT_TRUE(played.monotonic);
  EXPECT_EQ(streamer.playPosition.load(), streamer.endFrame());
  EXPECT_TRUE(waitFor(
      [&] {
        for (const WaveHeader& header : streamer.headers)
          if (header.user != 0) return false;
        return true;
      },
      2000))
      << "every block came back through the callback";

  streamer.shutdown(0);
  EXPECT_EQ(streamer.device, nullptr);
  for (const WaveHeader& header : streamer.headers) EXPECT_EQ(header.flags & kWaveHeaderInQueue, 0u);
}

}  // namespace
