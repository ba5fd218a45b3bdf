#pragma once
// Validation on for one test: every warning or error the layer reports is printed and
// fails the test. Create it before the device (the factory reads the setting).
#include <gtest/gtest.h>

#include "platform/gfx.h"

struct ValidationScope {
  int problems = 0;
  ValidationScope() {
    gfx::EnableDebugLayer(
        [](int severity, const char* message, void* user) {
          if (severity < 1) return;
          printf("validation: %s\n", message);
          ++static_cast<ValidationScope*>(user)->problems;
        },
        this);
  }
  ~ValidationScope() {
    gfx::DisableDebugLayer();
    EXPECT_EQ(problems, 0) << "validation messages (printed above)";
  }
};
