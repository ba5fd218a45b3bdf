// The fallback of osWaitMicroseconds on a Windows without high-resolution waitable timers:
// the timer period is raised to 1 ms once, at the first wait, and restored however the
// process ends: its exit, a second Ctrl-C (which ends it at once) or a fatal stop. The
// suite takes the fallback on purpose and puts recorders in place of timeBeginPeriod and
// timeEndPeriod; each case runs in a child process of its own (a death test), whose
// standard error carries what the recorders saw.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/os.h"
#include "platform/win32/os_win32.h"
#include "tests/support/fatal.h"

namespace {

uint32_t recordBegin(uint32_t milliseconds) {
  std::fprintf(stderr, "begin %u;", milliseconds);
  std::fflush(stderr);
  return 0;
}

uint32_t recordEnd(uint32_t milliseconds) {
  std::fprintf(stderr, "end %u;", milliseconds);
  std::fflush(stderr);
  return 0;
}

void recordTimerPeriodCalls() { win32TimerPeriodCalls = {recordBegin, recordEnd}; }

void takeTheFallback() {
  recordTimerPeriodCalls();
  win32UseTimerPeriodFallback();
}

TEST(TimerPeriodFallback, RaisedAtTheFirstWaitOnlyAndRestoredAtExit) {
  EXPECT_EXIT(
      {
        takeTheFallback();
        if (osWaitTimer() != OsWaitTimer::RaisedTimerPeriod) std::_Exit(90);
        if (win32TimerPeriodRaised()) std::_Exit(91);
        osWaitMicroseconds(1000);
        if (!win32TimerPeriodRaised()) std::_Exit(92);
        osWaitMicroseconds(1000);
        osWaitMicroseconds(500);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), TARNIX_FATAL_OUTPUT("^begin 1;end 1;$"));
}

TEST(TimerPeriodFallback, RestoredByAFatalStop) {
  EXPECT_EXIT(
      {
        takeTheFallback();
        osWaitMicroseconds(1000);
        osFatalStop();
      },
      ::testing::ExitedWithCode(kOsFatalExitStatus), TARNIX_FATAL_OUTPUT("^begin 1;end 1;$"));
}

// The first Ctrl-C only asks the program to end in order (its exit restores the period);
// the second ends the process at once, so the handler restores it first. _Exit runs no
// exit handlers: an "end 1;" can only come from the console handler.
TEST(TimerPeriodFallback, RestoredBeforeASecondCtrlCEndsTheProcess) {
  EXPECT_EXIT(
      {
        takeTheFallback();
        osWaitMicroseconds(1000);
        if (!win32OnConsoleControl(CTRL_C_EVENT)) std::_Exit(90);
        if (!win32TimerPeriodRaised()) std::_Exit(91);
        std::fprintf(stderr, "first;");
        std::fflush(stderr);
        if (win32OnConsoleControl(CTRL_C_EVENT)) std::_Exit(92);
        if (win32TimerPeriodRaised()) std::_Exit(93);
        std::_Exit(osStopRequestExitStatus());
      },
      ::testing::ExitedWithCode(130), TARNIX_FATAL_OUTPUT("^begin 1;first;end 1;$"));
}

// Where the system has the high-resolution timer, nothing raises the period at all.
TEST(TimerPeriodFallback, NotTakenWhereTheHighResolutionTimerExists) {
  if (osWaitTimer() != OsWaitTimer::HighResolutionTimer) GTEST_SKIP() << "this Windows has no high-resolution timer";
  EXPECT_EXIT(
      {
        recordTimerPeriodCalls();
        for (int i = 0; i < 20; ++i) osWaitMicroseconds(1000);
        if (win32TimerPeriodRaised()) std::_Exit(90);
        osFatalStop();
      },
      ::testing::ExitedWithCode(kOsFatalExitStatus), TARNIX_FATAL_OUTPUT("^$"));
}

}  // namespace
