#include "base/diagnostics.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {
constexpr uint32_t kRingBuffers = 4;
constexpr uint32_t kRingBufferBytes = 4096;

char gRing[kRingBuffers][kRingBufferBytes];
// Atomic so the streaming thread's one message cannot share a buffer index with the
// main thread's.
std::atomic<uint32_t> gRingIndex{0};
std::atomic<bool> gPrinted{true};
FatalHandler gFatalHandler;
std::atomic<FatalStopObserver> gStopObserver{nullptr};
}  // namespace

int printMessage(const char* format, ...) {
  uint32_t index = gRingIndex.fetch_add(1) & (kRingBuffers - 1);
  char* buffer = gRing[index];
  va_list args;
  va_start(args, format);
  vsnprintf(buffer, kRingBufferBytes, format, args);
  va_end(args);
  if (gPrinted.load(std::memory_order_relaxed)) osPrint(buffer);
  return int(strlen(buffer));
}

void setMessagesPrinted(bool printed) { gPrinted.store(printed); }

const char* messageRingBuffer(uint32_t slot) { return gRing[slot & (kRingBuffers - 1)]; }

uint32_t messageRingIndex() { return gRingIndex.load() & (kRingBuffers - 1); }

FatalHandler& fatalHandler() { return gFatalHandler; }

void setFatalHandler(FatalHandlerFunction function, void* pointer) {
  gFatalHandler.function = function;
  gFatalHandler.pointer = pointer;
}

void fatalStop() {
  if (gFatalHandler.function) gFatalHandler.function(gFatalHandler.pointer);
}

void setFatalStopObserver(FatalStopObserver observer) { gStopObserver.store(observer); }

void stopAfterFatalMessage() {
  // The message is the one printMessage formatted last on this path.
  if (FatalStopObserver observer = gStopObserver.load()) observer(messageRingBuffer(messageRingIndex() - 1));
  osFatalStop();
}
