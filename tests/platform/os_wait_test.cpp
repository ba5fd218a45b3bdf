// osWaitMicroseconds, the wait of the frame loop's hold and of the sound streaming thread:
// never shorter than asked, and on Windows through the high-resolution waitable timer
// (the system's Sleep counts whole timer ticks there). How long the waits took is
// printed for the record, never compared with a limit: the machine decides that.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <thread>

#include "platform/os.h"
#include "tests/platform/wait_timer_name.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif
#endif

namespace {

double microsecondsSince(uint64_t start) {
  return double(osPerformanceCounter() - start) * 1e6 / double(osPerformanceFrequency());
}

// What this system offers, asked the way the platform layer asks.
OsWaitTimer expectedTimer() {
#ifdef _WIN32
  HANDLE timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
  if (!timer) return OsWaitTimer::RaisedTimerPeriod;
  CloseHandle(timer);
  return OsWaitTimer::HighResolutionTimer;
#else
  return OsWaitTimer::SystemSleep;
#endif
}

TEST(OsWait, TheHoldWaitsWithTheFinestTimerOnEveryThread) {
  const OsWaitTimer expected = expectedTimer();
  EXPECT_EQ(osWaitTimer(), expected) << "waits with " << waitTimerName(osWaitTimer());
  // The streaming thread waits on a thread of its own.
  OsWaitTimer onThread = OsWaitTimer::SystemSleep;
  std::thread other([&] { onThread = osWaitTimer(); });
  other.join();
  EXPECT_EQ(onThread, expected);
  std::printf("osWaitMicroseconds waits with %s\n", waitTimerName(expected));
}

TEST(OsWait, NeverShorterThanAsked) {
  for (uint32_t asked : {200u, 1000u, 2500u}) {
    double total = 0.0, longest = 0.0, shortest = 1e12;
    const int kWaits = 50;
    for (int i = 0; i < kWaits; ++i) {
      const uint64_t start = osPerformanceCounter();
      osWaitMicroseconds(asked);
      const double waited = microsecondsSince(start);
      total += waited;
      longest = std::max(longest, waited);
      shortest = std::min(shortest, waited);
    }
    // The timer and the counter tick from different clocks: a few microseconds apart.
    EXPECT_GE(shortest, asked - 20.0) << "asked " << asked << " us";
    std::printf("asked %4u us: waited %.0f us on average, %.0f-%.0f us\n", asked, total / kWaits, shortest, longest);
  }
}

TEST(OsWait, NeverShorterOnAnotherThread) {
  double shortest = 1e12;
  std::thread other([&] {
    for (int i = 0; i < 20; ++i) {
      const uint64_t start = osPerformanceCounter();
      osWaitMicroseconds(1000);
      shortest = std::min(shortest, microsecondsSince(start));
    }
  });
  other.join();
  EXPECT_GE(shortest, 980.0);
}

}  // namespace
