#pragma once
// The operating-system services the program uses: the high-resolution counter,
// sleeping, threads, printing, the breakpoint stop, whole-file writes and resident memory.
// Implemented once per OS (platform/linux/, platform/win32/).
#include <cstddef>
#include <cstdint>

// High-resolution counter: ticks and ticks per second.
uint64_t osPerformanceCounter();
uint64_t osPerformanceFrequency();

void osSleepMs(uint32_t milliseconds);

// Waits at least `microseconds`, with the finest timer the system has: the frame loop
// polls with it while the music clock holds a frame, and so does the sound streaming
// thread. Windows' Sleep counts whole ticks of the system timer (15.6 ms unless a period
// was raised), enough to miss a refresh; there the wait is a high-resolution waitable
// timer (Windows 10 1803 and later). Where the system has none, the timer period is
// raised to 1 ms at the first such wait and restored when the process ends, however it
// ends: its exit, a stop request that ends it at once, a fatal stop. On Linux nanosleep
// is that fine already.
void osWaitMicroseconds(uint32_t microseconds);

// How osWaitMicroseconds waits on the calling thread.
enum class OsWaitTimer : uint32_t { SystemSleep, HighResolutionTimer, RaisedTimerPeriod };
OsWaitTimer osWaitTimer();

// True when a debugger is attached to this process.
bool osDebuggerAttached();

// True when standard error is a terminal: progress shown there can redraw one line in
// place; into a file or a pipe it is written as whole lines, now and then.
bool osStandardErrorIsTerminal();

// The one way anything reports: writes text as it is (no newline added) to standard
// output, flushed at once, and to the debugger's output. On Linux there is no debugger
// channel; the text goes to standard error too while a debugger is attached.
void osPrint(const char* text);

// What the system lacks when the program cannot run on it at all: no graphics driver
// that offers what the program needs (Vulkan 1.3), no display to open a window on.
enum class OsPrerequisite : uint32_t { GraphicsDriver, Display };

// Tells the person at the screen that a prerequisite is missing, just before the program
// stops with its usual message (which the caller prints as ever, on standard output).
// `detail` is that message's reason. On Windows a GUI program, which a person starts
// with a double-click and whose standard output no one sees, shows what is missing and
// where to get it in a message box and returns once the box is closed. A console
// program, a process without a visible desktop, and Linux show nothing. The program's
// own fatal stops (PANIC, ASSERT) never come here.
void osTellMissingPrerequisite(OsPrerequisite missing, const char* detail);

// The exit status of a fatal stop without a debugger.
constexpr int kOsFatalExitStatus = 3;

// Stops the process at once, without unwinding or clean-up. With a debugger attached it
// is a breakpoint trap, so the debugger halts right here; without one the process exits
// with kOsFatalExitStatus (no trap message from the shell, no core dump).
[[noreturn]] void osFatalStop();

// Stop requests from outside the program: on Linux SIGINT (Ctrl-C), SIGTERM and SIGHUP;
// on Windows Ctrl-C, Ctrl-Break and the console closing. After this call the first such
// request no longer ends the process: it is only remembered, for the program to end
// itself in order; a second one of the same kind ends the process at once. Call it before
// the window and sound are set up, so that their libraries leave these requests alone.
void osInstallStopRequestHandlers();

// 0 while no stop has been requested. Otherwise the exit status that reports the request
// as a shell expects: 128 + the signal number on Linux (130 SIGINT, 143 SIGTERM,
// 129 SIGHUP). Safe to call from any thread.
int osStopRequestExitStatus();

// Creates (or truncates) the file at path and writes size bytes. False on any failure.
bool osWriteFile(const char* path, const void* data, size_t size);

// The physical memory this process occupies now (its resident set), in bytes; 0 when the
// system cannot say. Long runs check with it that nothing grows frame after frame.
size_t osResidentMemoryBytes();

// Threads. A thread is a plain record holding the system's handle (0: none).
using OsThreadFunction = uint32_t (*)(void* argument);
struct OsThread {
  uintptr_t handle = 0;
};

enum class OsThreadPriority : uint32_t { Normal, TimeCritical };

// Starts function(argument) at once on a new thread whose stack holds at least
// stackBytes (the system's minimum is used when that is larger). False on failure,
// with thread->handle left 0.
bool osCreateThread(OsThread* thread, OsThreadFunction function, void* argument, size_t stackBytes);

// Best effort: raising a priority may need privileges the process lacks; false then,
// and the thread keeps running at its old priority.
bool osSetThreadPriority(OsThread* thread, OsThreadPriority priority);

// Waits without time-out for the thread to end, releases it and returns its result.
// A thread that was never created (handle 0) returns 0 at once.
uint32_t osJoinThread(OsThread* thread);
