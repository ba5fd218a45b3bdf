#pragma once
// printf-style reports of the Windows backends, through the one printing path.
#include <cstdarg>
#include <cstdio>

#include "platform/os.h"

__attribute__((format(printf, 1, 2))) inline void win32Report(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  osPrint(text);
}
