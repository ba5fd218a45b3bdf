#include <gtest/gtest.h>

namespace {
// Death tests fork a process that may hold GPU or audio threads: "threadsafe"
// re-executes the binary for each death test instead of forking the live process.
struct DeathTestStyle {
  DeathTestStyle() { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
} gDeathTestStyle;
}  // namespace
