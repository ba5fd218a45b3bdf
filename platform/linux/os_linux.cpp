#include "platform/os.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

uint64_t osPerformanceCounter() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint64_t(ts.tv_sec) * 1000000000ull + uint64_t(ts.tv_nsec);
}

uint64_t osPerformanceFrequency() { return 1000000000ull; }

void osSleepMs(uint32_t milliseconds) {
  timespec ts{time_t(milliseconds / 1000), long(milliseconds % 1000) * 1000000l};
  while (nanosleep(&ts, &ts) != 0) {
  }
}

bool osDebuggerAttached() {
  // /proc/self/status carries "TracerPid:\t<pid>"; non-zero means a tracer is attached.
  int fd = open("/proc/self/status", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buffer[4096];
  ssize_t n = read(fd, buffer, sizeof(buffer) - 1);
  close(fd);
  if (n <= 0) return false;
  buffer[n] = 0;
  const char* line = strstr(buffer, "TracerPid:");
  if (!line) return false;
  line += strlen("TracerPid:");
  while (*line == ' ' || *line == '\t') ++line;
  return *line != '0' && *line != 0;
}

void osDebugOutput(const char* text) {
  if (!osDebuggerAttached()) return;
  size_t length = strlen(text);
  while (length > 0) {
    ssize_t written = write(STDERR_FILENO, text, length);
    if (written <= 0) return;
    text += written;
    length -= size_t(written);
  }
}

void osBreakpointStop() {
  // Make sure SIGTRAP is not ignored or blocked, so the trap really ends the process
  // (or halts it in a debugger).
  signal(SIGTRAP, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTRAP);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  raise(SIGTRAP);
  // A debugger that lets execution continue past the trap still must not run on.
  _exit(128 + SIGTRAP);
}

bool osWriteFile(const char* path, const void* data, size_t size) {
  FILE* file = fopen(path, "wb");
  if (!file) return false;
  bool ok = size == 0 || fwrite(data, 1, size, file) == size;
  ok = (fclose(file) == 0) && ok;
  return ok;
}
