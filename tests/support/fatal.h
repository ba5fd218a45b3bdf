#pragma once
// Death-test helpers for the program's fatal stops. Messages go to standard output,
// which gtest does not watch, so the child sends standard output to standard error.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "platform/os.h"

// The statement must stop the process with the fatal exit status (no debugger is
// attached to a death test's child) and print a message matching `regex`.
#define EXPECT_FATAL(statement, regex)                                                  \
  EXPECT_EXIT(                                                                          \
      {                                                                                 \
        fflush(stdout);                                                                 \
        dup2(STDERR_FILENO, STDOUT_FILENO);                                             \
        statement;                                                                      \
      },                                                                                \
      ::testing::ExitedWithCode(kOsFatalExitStatus), regex)
