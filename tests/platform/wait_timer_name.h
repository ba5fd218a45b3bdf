#pragma once
// How a wait timer is named in the reports of the wait suites and the hold benchmark.
#include "platform/os.h"

inline const char* waitTimerName(OsWaitTimer timer) {
  switch (timer) {
    case OsWaitTimer::SystemSleep: return "the system's sleep";
    case OsWaitTimer::HighResolutionTimer: return "a high-resolution waitable timer";
    case OsWaitTimer::RaisedTimerPeriod: return "Sleep with the timer period raised to 1 ms";
  }
  return "?";
}
