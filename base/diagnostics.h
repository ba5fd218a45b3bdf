#pragma once
// One way to report (printMessage) and one way to fail (PANIC / ASSERT).
//
// PANIC: a failed platform or device call. Prints "PANIC: ...", runs the fatal
//        handler (the timeline save, once main has registered it), then stops.
// ASSERT: a broken invariant or exceeded limit. Prints "ASSERT: ...", then stops;
//        the fatal handler is not run.
// To stop is osFatalStop: no unwinding, no clean-up; exit status 3, or a breakpoint
// when a debugger is attached.
#include <cstdint>

#include "platform/os.h"

// printf-style; the text lands in one of four 4096-byte ring buffers (valid until
// four further messages have been printed) and is printed by osPrint (standard output
// and the debugger output). Returns the length of the text printed.
int printMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

// While false, printMessage still formats into the ring but prints nothing: for a
// benchmark that times code which reports its progress. True at start.
void setMessagesPrinted(bool printed);

// The ring buffer that message (ringIndex AND 3) was formatted into; for tests.
const char* messageRingBuffer(uint32_t slot);
uint32_t messageRingIndex();

using FatalHandlerFunction = void (*)(void* pointer);
struct FatalHandler {
  FatalHandlerFunction function = nullptr;
  void* pointer = nullptr;
};

// The handler a PANIC runs before stopping (RenderApp holds it; main sets it).
FatalHandler& fatalHandler();
void setFatalHandler(FatalHandlerFunction function, void* pointer);

// Runs the fatal handler, if one is set, and returns.
void fatalStop();

// Called with the stop's message right before every PANIC and ASSERT stops the process.
// Null unless a program must report the stop itself: a fuzz target, whose fuzzer sees a
// plain exit as nothing at all.
using FatalStopObserver = void (*)(const char* message);
void setFatalStopObserver(FatalStopObserver observer);

// Tells the observer, then osFatalStop.
[[noreturn]] void stopAfterFatalMessage();

#define PANIC(...)                      \
  do {                                  \
    printMessage("PANIC: " __VA_ARGS__); \
    fatalStop();                        \
    stopAfterFatalMessage();            \
  } while (0)

// ASSERT(condition, "text\n", args...): stops with "ASSERT: text" when condition is false.
#define ASSERT(condition, ...)              \
  do {                                      \
    if (!(condition)) {                     \
      printMessage("ASSERT: " __VA_ARGS__); \
      stopAfterFatalMessage();              \
    }                                       \
  } while (0)
