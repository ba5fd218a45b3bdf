// The streamer against a fake device: format choice and sample fill, which blocks are
// queued when, error handling, the clock in every unit, and the silent clock.
#include "audio/wave_out_streamer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/audio/fake_wave_out.h"

namespace {

constexpr uint32_t kPieceFrames = 7938000;  // 180 s at 44.1 kHz

// A streamer over the fake device with its own sample buffer (float-sized, as the
// renderer allocates it).
struct StreamerFixture : ::testing::Test {
  WaveOutStreamer streamer;
  std::vector<float> buffer;

  void SetUp() override { resetFakeWaveOut(); }

  void create(uint32_t totalFrames) {
    buffer.assign(size_t(totalFrames) * 2, 0.0f);
    streamer.api = fakeWaveOutApi();
    streamer.totalFrames = totalFrames;
    streamer.samples = buffer.data();
  }

  // Frame index a written block starts at.
  size_t frameOf(const void* data) const {
    size_t bytesPerFrame = streamer.channels * (streamer.bitsPerSample / 8);
    return size_t(static_cast<const uint8_t*>(data) - reinterpret_cast<const uint8_t*>(buffer.data())) / bytesPerFrame;
  }

  std::string capturedPass() {
    ::testing::internal::CaptureStdout();
    streamer.queueBlocks();
    return ::testing::internal::GetCapturedStdout();
  }
};

using StreamerOpenTest = StreamerFixture;

TEST_F(StreamerOpenTest, FloatAcceptedOpensFloatAndCopiesSamplesVerbatim) {
  create(1024);
  std::vector<float> source(2048);
  for (size_t i = 0; i < source.size(); ++i) source[i] = std::sin(float(i)) * 1.5f;  // beyond ±1 kept too
  streamer.openDevice(source.data());

  FakeWaveOut& fake = fakeWaveOut();
  EXPECT_EQ(fake.queries.size(), 1u);
  EXPECT_EQ(fake.openedFormat.avgBytesPerSec, 352800u);
  EXPECT_EQ(fake.openedFormat.blockAlign, 8);
  EXPECT_TRUE(waveGuidEqual(fake.openedFormat.subFormat, kWaveSubFormatIeeeFloat));
  EXPECT_EQ(fake.openFlags, kWaveCallbackFunction);
  EXPECT_EQ(fake.volume, 0xFFFFFFFFu);
  EXPECT_EQ(buffer, source);
  EXPECT_EQ(fake.prepared, WaveOutStreamer::kHeaderCount);
  for (uint32_t k = 0; k < 16; ++k) {
    EXPECT_EQ(streamer.headers[k].bufferLength, 2048u);
    EXPECT_EQ(frameOf(streamer.headers[k].data), k * 256u);
  }
}

TEST_F(StreamerOpenTest, RefusedFloatFallsBackTo16BitWithRoundedConversion) {
  create(4);
  fakeWaveOut().refuseFloat = true;
  const float source[8] = {1.0f, -1.0f, 0.5f, -0.5f, 2.0f, -2.0f, NAN, 0.25f};
  streamer.openDevice(source);

  FakeWaveOut& fake = fakeWaveOut();
  EXPECT_EQ(fake.queries.size(), 1u) << "the fallback is not queried";
  EXPECT_EQ(fake.openedFormat.avgBytesPerSec, 176400u);
  EXPECT_EQ(fake.openedFormat.blockAlign, 4);
  EXPECT_TRUE(waveGuidEqual(fake.openedFormat.subFormat, kWaveSubFormatPcm));
  EXPECT_EQ(streamer.bitsPerSample, 16u);
  EXPECT_EQ(streamer.headers[1].bufferLength, 1024u);
  EXPECT_EQ(frameOf(streamer.headers[1].data), 256u);

  const int16_t* pcm = reinterpret_cast<const int16_t*>(buffer.data());
  const int16_t expected[8] = {32767, -32767, 16384, -16384, 32767, -32767, 0, 8192};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(pcm[i], expected[i]) << "sample " << i;
}

using StreamerQueueTest = StreamerFixture;

TEST_F(StreamerQueueTest, FirstPassFillsTheQueueWithConsecutiveBlocksThenOnlyFreedOnes) {
  constexpr uint32_t n = WaveOutStreamer::kHeaderCount;
  create(kPieceFrames);
  streamer.openDevice(nullptr);
  FakeWaveOut& fake = fakeWaveOut();

  streamer.queueBlocks();
  EXPECT_TRUE(fake.writtenData.empty()) << "nothing is queued before play";

  streamer.play();
  streamer.queueBlocks();
  ASSERT_EQ(fake.writtenData.size(), n);
  for (size_t k = 0; k < n; ++k) EXPECT_EQ(frameOf(fake.writtenData[k]), k * 256) << "block " << k;
  EXPECT_EQ(streamer.playPosition.load(), n * 256);

  streamer.queueBlocks();
  EXPECT_EQ(fake.writtenData.size(), n) << "all headers are in flight";

  // Messages other than "done" free nothing.
  WaveOutStreamer::onWaveOutMessage(nullptr, kWaveMessageOpen, &streamer, &streamer.headers[0], 0);
  streamer.queueBlocks();
  EXPECT_EQ(fake.writtenData.size(), n);

  fake.complete(2);
  streamer.queueBlocks();
  ASSERT_EQ(fake.writtenData.size(), n + 2);
  EXPECT_EQ(frameOf(fake.writtenData[n]), n * 256);
  EXPECT_EQ(frameOf(fake.writtenData[n + 1]), n * 256 + 256);

  // play() while playing does not rewind under the streaming thread.
  streamer.play();
  EXPECT_EQ(streamer.playPosition.load(), n * 256 + 512);
}

TEST_F(StreamerQueueTest, PlaysToTheLastWholeBlockAndNoFurther) {
  create(kPieceFrames);
  streamer.openDevice(nullptr);
  FakeWaveOut& fake = fakeWaveOut();
  streamer.play();
  size_t before;
  do {
    before = fake.writtenData.size();
    streamer.queueBlocks();
    fake.complete();
  } while (fake.writtenData.size() != before);

  ASSERT_EQ(fake.writtenData.size(), 31007u);
  EXPECT_EQ(frameOf(fake.writtenData.back()), 7937536u);
  EXPECT_EQ(streamer.playPosition.load(), 7937792u);
  EXPECT_EQ(streamer.endFrame(), 7937792u);
  EXPECT_TRUE(streamer.playing.load()) << "playing stays set after the end";
}

TEST_F(StreamerQueueTest, BlockEndingExactlyAtTheLastFrameIsPlayed) {
  create(512);
  streamer.openDevice(nullptr);
  streamer.play();
  streamer.queueBlocks();
  ASSERT_EQ(fakeWaveOut().writtenData.size(), 2u);
  EXPECT_EQ(frameOf(fakeWaveOut().writtenData[1]), 256u);
}

TEST_F(StreamerQueueTest, FailedWriteFreesTheHeaderAndPrintsOncePerPass) {
  create(kPieceFrames);
  streamer.openDevice(nullptr);
  FakeWaveOut& fake = fakeWaveOut();
  fake.writeResult = WaveResult::NoMemory;
  streamer.play();

  for (int pass = 0; pass < 2; ++pass) {
    EXPECT_EQ(capturedPass(), "Audio Error: fake error 7.\n");
    EXPECT_EQ(streamer.headers[0].user, 0u);
    EXPECT_EQ(streamer.playPosition.load(), 0u);
  }
  EXPECT_EQ(fake.writeCalls, 2u) << "a failed write ends the pass";

  fake.writeResult = WaveResult::NoError;
  EXPECT_EQ(capturedPass(), "");
  ASSERT_EQ(fake.writtenData.size(), WaveOutStreamer::kHeaderCount);
  EXPECT_EQ(frameOf(fake.writtenData[0]), 0u);
}

using StreamerClockTest = StreamerFixture;

TEST_F(StreamerClockTest, EveryUnitGivesTheSameSeconds) {
  create(1024);
  streamer.openDevice(nullptr);
  FakeWaveOut& fake = fakeWaveOut();

  fake.positionType = WaveTimeType::Samples;
  fake.positionValue = 66150;
  EXPECT_DOUBLE_EQ(streamer.positionSeconds(), 1.5);
  fake.positionType = WaveTimeType::Ms;
  fake.positionValue = 1500;
  EXPECT_DOUBLE_EQ(streamer.positionSeconds(), 1.5);
  fake.positionType = WaveTimeType::Bytes;
  fake.positionValue = 529200;  // 1.5 s of float frames
  EXPECT_DOUBLE_EQ(streamer.positionSeconds(), 1.5);

  fake.positionType = WaveTimeType::Smpte;
  EXPECT_EQ(streamer.positionSeconds(), 0.0) << "unknown unit";
  fake.positionType = WaveTimeType::Samples;
  fake.positionResult = WaveResult::Error;
  EXPECT_EQ(streamer.positionSeconds(), 0.0) << "failed query";
}

TEST_F(StreamerClockTest, NoDeviceSaysSoOnceAndKeepsASilentRealTimeClock) {
  create(kPieceFrames);
  fakeWaveOut().openResult = WaveResult::NoDriver;
  ::testing::internal::CaptureStdout();
  streamer.openDevice(nullptr);
  std::string output = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(output, "Audio Error: fake error 6. Playing without sound.\n");
  EXPECT_TRUE(streamer.silent);
  EXPECT_EQ(fakeWaveOut().prepared, 0u);

  EXPECT_EQ(streamer.positionSeconds(), 0.0) << "the clock waits for play";
  streamer.play();
  EXPECT_EQ(capturedPass(), "") << "no write is attempted, so nothing is printed";
  osSleepMs(30);
  double first = streamer.positionSeconds();
  osSleepMs(30);
  double second = streamer.positionSeconds();
  EXPECT_GE(first, 0.029);
  EXPECT_GE(second, first + 0.029);

  // Like a device, it stops at the end of the last whole block.
  streamer.silentStartTicks -= 200 * osPerformanceFrequency();
  EXPECT_DOUBLE_EQ(streamer.positionSeconds(), 7937792.0 / 44100.0);

  streamer.shutdown(0);
  EXPECT_EQ(fakeWaveOut().closes, 0u) << "nothing was open";
}

// Asked for no sound: the device is never touched, nothing is printed, the samples are
// still filled and the clock is the silent one.
TEST_F(StreamerClockTest, SilentBeforeOpeningLeavesTheDeviceAloneAndFillsTheSamples) {
  create(1024);
  std::vector<float> source(2048, 0.25f);
  streamer.silent = true;
  ::testing::internal::CaptureStdout();
  streamer.openDevice(source.data());
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_TRUE(fakeWaveOut().queries.empty());
  EXPECT_EQ(fakeWaveOut().openFlags, 0u) << "never opened";
  EXPECT_EQ(buffer[2047], 0.25f);
  streamer.play();
  osSleepMs(20);
  EXPECT_GE(streamer.positionSeconds(), 0.019);
  streamer.shutdown(0);
  EXPECT_EQ(fakeWaveOut().closes, 0u);
}

// Seeking and pausing (the timeline editor): the queued blocks come back at once, playback
// goes on from the frame asked for, and the clock counts from there; a pause holds it.
TEST_F(StreamerClockTest, MoveToTakesTheBlocksBackAndPlaysOnFromTheFrame) {
  create(kPieceFrames);
  streamer.openDevice(nullptr);
  FakeWaveOut& fake = fakeWaveOut();
  streamer.play();
  streamer.queueBlocks();
  ASSERT_EQ(fake.queue.size(), WaveOutStreamer::kHeaderCount);

  streamer.moveTo(441000, true);  // 10 s
  EXPECT_EQ(fake.resets, 1u);
  EXPECT_TRUE(fake.queue.empty()) << "the reset finished every queued block";
  fake.positionValue = 22050;  // the device counts from its reset
  EXPECT_DOUBLE_EQ(streamer.positionSeconds(), 10.5);
  size_t before = fake.writtenData.size();
  streamer.queueBlocks();
  ASSERT_EQ(fake.writtenData.size(), before + WaveOutStreamer::kHeaderCount);
  EXPECT_EQ(frameOf(fake.writtenData[before]), 441000u);

  streamer.moveTo(44100, false);  // paused at 1 s
  fake.positionValue = 0;
  EXPECT_DOUBLE_EQ(streamer.positionSeconds(), 1.0);
  before = fake.writtenData.size();
  streamer.queueBlocks();
  EXPECT_EQ(fake.writtenData.size(), before) << "nothing plays while paused";
  streamer.moveTo(kPieceFrames + 5, true);
  EXPECT_EQ(streamer.playPosition.load(), kPieceFrames) << "no further than the piece";

  // The silent clock holds while paused and goes on from the frame.
  streamer.silent = true;
  streamer.moveTo(88200, false);
  EXPECT_DOUBLE_EQ(streamer.positionSeconds(), 2.0);
  streamer.moveTo(88200, true);
  osSleepMs(20);
  EXPECT_GE(streamer.positionSeconds(), 2.019);
  EXPECT_LT(streamer.positionSeconds(), 3.0);
  streamer.shutdown(0);
}

using StreamerThreadTest = StreamerFixture;

TEST_F(StreamerThreadTest, ThreadStreamsEveryBlockInOrderAndShutdownTakesTheDeviceBack) {
  create(256 * 40 + 7);
  streamer.openDevice(nullptr);
  FakeWaveOut& fake = fakeWaveOut();
  fake.completeOnWrite = true;  // each block finishes as soon as it is written
  streamer.startThread();
  ASSERT_NE(streamer.thread.handle, 0u);
  streamer.play();
  for (int waited = 0; waited < 5000 && streamer.playPosition.load() != streamer.endFrame(); ++waited) osSleepMs(1);
  streamer.shutdown(0);

  ASSERT_EQ(fake.writtenData.size(), 40u);
  for (size_t k = 0; k < 40; ++k) EXPECT_EQ(frameOf(fake.writtenData[k]), k * 256) << "block " << k;
  EXPECT_EQ(streamer.thread.handle, 0u);
  EXPECT_EQ(fake.resets, 1u);
  EXPECT_EQ(fake.unprepared, WaveOutStreamer::kHeaderCount);
  EXPECT_EQ(fake.closes, 1u);
  EXPECT_EQ(streamer.device, nullptr);
}

// A device that takes the whole piece (the web's worklet): one header over every whole block,
// written once by play, no thread; what it hands back finishes as any block does.
TEST_F(StreamerThreadTest, WholePieceDeviceGetsEveryWholeBlockInOneWriteAndNoThread) {
  WaveOutApi wholePiece = *fakeWaveOutApi();
  wholePiece.takesWholePiece = true;
  create(256 * 40 + 7);
  streamer.api = &wholePiece;
  streamer.openDevice(nullptr);
  FakeWaveOut& fake = fakeWaveOut();
  EXPECT_EQ(fake.prepared, 1u);
  streamer.startThread();
  EXPECT_EQ(streamer.thread.handle, 0u);
  EXPECT_FALSE(streamer.silent);

  ::testing::internal::CaptureStdout();
  streamer.play();
  streamer.play();  // already playing: nothing more
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  ASSERT_EQ(fake.writtenData.size(), 1u);
  EXPECT_EQ(frameOf(fake.writtenData[0]), 0u);
  EXPECT_EQ(fake.queue.at(0)->bufferLength, 40u * 256 * 8) << "every whole block, none of the 7 frames after";
  EXPECT_EQ(streamer.playPosition.load(), streamer.endFrame());

  fake.complete();
  EXPECT_EQ(fake.queue.size(), 0u);
  streamer.shutdown(0);
  EXPECT_EQ(fake.resets, 1u);
  EXPECT_EQ(fake.closes, 1u);
}

TEST(OsThreadTest, RunsOnTheRequestedStackAndReturnsItsResult) {
  // Uses far more stack than the system's minimum, as the printing path does.
  OsThreadFunction deep = [](void* argument) -> uint32_t {
    volatile char scratch[96 * 1024];
    for (size_t i = 0; i < sizeof(scratch); i += 512) scratch[i] = char(i);
    return uint32_t(scratch[512]) + *static_cast<uint32_t*>(argument);
  };
  uint32_t argument = 40;
  OsThread thread;
  ASSERT_TRUE(osCreateThread(&thread, deep, &argument, WaveOutStreamer::kThreadStackBytes));
  osSetThreadPriority(&thread, OsThreadPriority::TimeCritical);  // may be refused; must not matter
  EXPECT_EQ(osJoinThread(&thread), 40u);
  EXPECT_EQ(thread.handle, 0u);

  OsThread never;
  EXPECT_EQ(osJoinThread(&never), 0u) << "joining a thread never created returns at once";
}

}  // namespace
