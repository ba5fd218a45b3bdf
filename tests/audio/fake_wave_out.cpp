#include "tests/audio/fake_wave_out.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

std::unique_ptr<FakeWaveOut> gFake = std::make_unique<FakeWaveOut>();
// Any non-null value serves as the open handle.
WaveOutHandle const kHandle = reinterpret_cast<WaveOutHandle>(uintptr_t(0x1000));

WaveResult fakeOpen(WaveOutHandle* device, uint32_t, const WaveFormatExtensible* format, WaveOutCallback callback,
                    void* instance, uint32_t flags) {
  FakeWaveOut& fake = *gFake;
  if (flags & kWaveFormatQuery) {
    fake.queries.push_back(*format);
    bool isFloat = waveGuidEqual(format->subFormat, kWaveSubFormatIeeeFloat);
    return fake.refuseFloat && isFloat ? WaveResult::BadFormat : WaveResult::NoError;
  }
  if (fake.openResult != WaveResult::NoError) return fake.openResult;
  fake.openedFormat = *format;
  fake.openFlags = flags;
  fake.callback = callback;
  fake.instance = instance;
  *device = kHandle;
  return WaveResult::NoError;
}

WaveResult fakePrepare(WaveOutHandle, WaveHeader* header, uint32_t) {
  header->flags |= kWaveHeaderPrepared;
  ++gFake->prepared;
  return WaveResult::NoError;
}

WaveResult fakeUnprepare(WaveOutHandle, WaveHeader* header, uint32_t) {
  header->flags &= ~kWaveHeaderPrepared;
  ++gFake->unprepared;
  return WaveResult::NoError;
}

WaveResult fakeWrite(WaveOutHandle, WaveHeader* header, uint32_t) {
  FakeWaveOut& fake = *gFake;
  {
    std::lock_guard<std::mutex> lock(fake.mutex);
    ++fake.writeCalls;
    if (fake.writeResult != WaveResult::NoError) return fake.writeResult;
    fake.writtenData.push_back(header->data);
    fake.queue.push_back(header);
  }
  if (fake.completeOnWrite) fake.complete();
  return WaveResult::NoError;
}

WaveResult fakeReset(WaveOutHandle) {
  ++gFake->resets;
  gFake->complete();
  return WaveResult::NoError;
}

WaveResult fakeClose(WaveOutHandle) {
  ++gFake->closes;
  return gFake->queue.empty() ? WaveResult::NoError : WaveResult::StillPlaying;
}

WaveResult fakeGetPosition(WaveOutHandle, WaveTime* time, uint32_t) {
  FakeWaveOut& fake = *gFake;
  if (fake.positionResult != WaveResult::NoError) return fake.positionResult;
  time->type = fake.positionType;
  time->u.sample = fake.positionValue;
  return WaveResult::NoError;
}

WaveResult fakeSetVolume(WaveOutHandle, uint32_t volume) {
  gFake->volume = volume;
  return WaveResult::NoError;
}

WaveResult fakeGetErrorText(WaveResult result, char* text, uint32_t textSize) {
  snprintf(text, textSize, "fake error %u.", unsigned(result));
  return WaveResult::NoError;
}

constexpr WaveOutApi kFakeApi = {fakeOpen,  fakePrepare,     fakeUnprepare, fakeWrite,       fakeReset,
                                 fakeClose, fakeGetPosition, fakeSetVolume, fakeGetErrorText};

}  // namespace

void FakeWaveOut::complete(size_t count) {
  std::vector<WaveHeader*> finished;
  {
    std::lock_guard<std::mutex> lock(mutex);
    size_t n = std::min(count, queue.size());
    finished.assign(queue.begin(), queue.begin() + long(n));
    queue.erase(queue.begin(), queue.begin() + long(n));
  }
  if (!callback) return;
  for (WaveHeader* header : finished) callback(kHandle, kWaveMessageDone, instance, header, 0);
}

FakeWaveOut& fakeWaveOut() { return *gFake; }
void resetFakeWaveOut() { gFake = std::make_unique<FakeWaveOut>(); }
const WaveOutApi* fakeWaveOutApi() { return &kFakeApi; }
