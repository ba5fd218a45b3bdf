#pragma once
// Inside os_win32.cpp, for its suite (tests/platform/windows/); nothing else includes it.
//
// The fallback of osWaitMicroseconds (platform/os.h) on a Windows without high-resolution
// waitable timers: the system timer's period raised to 1 ms with timeBeginPeriod at the
// first wait, and lowered again with timeEndPeriod when the process ends. The suite
// reaches the fallback on a system that has the timer and watches the two calls.
#include <cstdint>

// The calls the fallback makes; timeBeginPeriod and timeEndPeriod unless a suite puts
// its own in their place.
struct Win32TimerPeriodCalls {
  uint32_t (*begin)(uint32_t milliseconds);
  uint32_t (*end)(uint32_t milliseconds);
};
extern Win32TimerPeriodCalls win32TimerPeriodCalls;

// From now on osWaitMicroseconds takes the fallback on every thread.
void win32UseTimerPeriodFallback();

// True between the raise and its restore.
bool win32TimerPeriodRaised();

// Lowers a raised period again (at most once per raise; any thread). The process's exit,
// the stop requests that end it and the fatal stop call it.
void win32RestoreTimerPeriod();

// The console control handler osInstallStopRequestHandlers installs (a CTRL_*_EVENT
// number in, TRUE when the event is handled).
int win32OnConsoleControl(unsigned long event);
