// The operating-system services in a web page: performance.now as the counter, sleeps that
// hand the browser its turn (the build links with ASYNCIFY), printing to the console. A page
// has no threads without cross-origin isolation, so none are made; a stop is the page's own
// (its button, Escape), which reaches the program as window messages instead of signals.
#include <emscripten.h>

#include <cstdio>
#include <cstdlib>

#include "platform/os.h"

namespace {

constexpr uint64_t kTicksPerSecond = 1000000;  // microseconds

// clang-format off
EM_JS(double, webNow, (), { return performance.now(); });
EM_JS(void, webTellMissing, (const char* detail), { TarnixWeb.tellMissing(UTF8ToString(detail)); });
EM_JS(void, webFatalStop, (), { TarnixWeb.fatalStop(); });
EM_JS(double, webHeapBytes, (), { return HEAPU8.length; });
// clang-format on

}  // namespace

uint64_t osPerformanceCounter() { return uint64_t(webNow() * 1000.0); }
uint64_t osPerformanceFrequency() { return kTicksPerSecond; }

void osSleepMs(uint32_t milliseconds) { emscripten_sleep(milliseconds); }

// The browser's timers are no finer than a millisecond (and clamp repeated ones to a few).
void osWaitMicroseconds(uint32_t microseconds) { emscripten_sleep((microseconds + 999) / 1000); }
OsWaitTimer osWaitTimer() { return OsWaitTimer::SystemSleep; }

bool osDebuggerAttached() { return false; }

// The console takes whole lines: the text goes out at its newline.
void osPrint(const char* text) { fputs(text, stdout); }

void osTellMissingPrerequisite(OsPrerequisite, const char* detail) { webTellMissing(detail); }

// The page shows the stop; nothing of the program runs after it.
[[noreturn]] void osFatalStop() {
  fflush(stdout);
  webFatalStop();
  abort();
}

void osInstallStopRequestHandlers() {}
int osStopRequestExitStatus() { return 0; }

// Into the page's in-memory file system: the timeline a PANIC writes stays in the page.
bool osWriteFile(const char* path, const void* data, size_t size) {
  FILE* file = fopen(path, "wb");
  if (file == nullptr) return false;
  bool written = fwrite(data, 1, size, file) == size;
  return fclose(file) == 0 && written;
}

// The page's console has no terminal to redraw.
bool osStandardErrorIsTerminal() { return false; }

size_t osResidentMemoryBytes() { return size_t(webHeapBytes()); }

bool osCreateThread(OsThread* thread, OsThreadFunction, void*, size_t) {
  thread->handle = 0;
  return false;
}
bool osSetThreadPriority(OsThread*, OsThreadPriority) { return false; }
uint32_t osJoinThread(OsThread* thread) {
  thread->handle = 0;
  return 0;
}
