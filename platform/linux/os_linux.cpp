#include "platform/os.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <sched.h>
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

void osWaitMicroseconds(uint32_t microseconds) {
  timespec ts{time_t(microseconds / 1000000), long(microseconds % 1000000) * 1000l};
  while (nanosleep(&ts, &ts) != 0) {
  }
}

OsWaitTimer osWaitTimer() { return OsWaitTimer::SystemSleep; }

// The line the caller prints is the report: a terminal or a log shows it.
void osTellMissingPrerequisite(OsPrerequisite, const char*) {}

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

namespace {
// The debugger's output: standard error while a debugger is attached, nowhere otherwise.
void debugOutput(const char* text) {
  if (!osDebuggerAttached()) return;
  size_t length = strlen(text);
  while (length > 0) {
    ssize_t written = write(STDERR_FILENO, text, length);
    if (written <= 0) return;
    text += written;
    length -= size_t(written);
  }
}
}  // namespace

void osPrint(const char* text) {
  // A fatal stop does not unwind, so nothing may stay in the stdio buffer.
  fputs(text, stdout);
  fflush(stdout);
  debugOutput(text);
}

void osFatalStop() {
  if (!osDebuggerAttached()) _exit(kOsFatalExitStatus);
  // Make sure SIGTRAP is not ignored or blocked, so the debugger really sees the trap.
  signal(SIGTRAP, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTRAP);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  raise(SIGTRAP);
  // A debugger that lets execution continue past the trap still must not run on.
  _exit(kOsFatalExitStatus);
}

namespace {
// The first stop signal received; written only by the handler, which is async-signal-safe.
std::atomic<int> gStopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

void onStopSignal(int signalNumber) {
  int none = 0;
  gStopSignal.compare_exchange_strong(none, signalNumber);
}
}  // namespace

void osInstallStopRequestHandlers() {
  struct sigaction action;
  memset(&action, 0, sizeof(action));
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  // The handler runs once; the same signal again ends the process as usual (a second
  // Ctrl-C while a slow frame finishes).
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) sigaction(signalNumber, &action, nullptr);
}

int osStopRequestExitStatus() {
  const int signalNumber = gStopSignal.load();
  return signalNumber == 0 ? 0 : 128 + signalNumber;
}

bool osWriteFile(const char* path, const void* data, size_t size) {
  FILE* file = fopen(path, "wb");
  if (!file) return false;
  bool ok = size == 0 || fwrite(data, 1, size, file) == size;
  ok = (fclose(file) == 0) && ok;
  return ok;
}

bool osStandardErrorIsTerminal() { return isatty(STDERR_FILENO) != 0; }

size_t osResidentMemoryBytes() {
  // statm: total and resident size, in pages.
  FILE* file = fopen("/proc/self/statm", "r");
  if (!file) return 0;
  unsigned long long pages = 0, resident = 0;
  bool ok = fscanf(file, "%llu %llu", &pages, &resident) == 2;
  fclose(file);
  long pageSize = sysconf(_SC_PAGESIZE);
  return ok && pageSize > 0 ? size_t(resident) * size_t(pageSize) : 0;
}

namespace {
struct ThreadStart {
  OsThreadFunction function;
  void* argument;
};

void* threadEntry(void* pointer) {
  ThreadStart start = *static_cast<ThreadStart*>(pointer);
  delete static_cast<ThreadStart*>(pointer);
  return reinterpret_cast<void*>(uintptr_t(start.function(start.argument)));
}
}  // namespace

bool osCreateThread(OsThread* thread, OsThreadFunction function, void* argument, size_t stackBytes) {
  thread->handle = 0;
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return false;
  if (stackBytes < size_t(PTHREAD_STACK_MIN)) stackBytes = size_t(PTHREAD_STACK_MIN);
  bool ok = pthread_attr_setstacksize(&attributes, stackBytes) == 0;
  auto* start = new ThreadStart{function, argument};
  pthread_t id{};
  ok = ok && pthread_create(&id, &attributes, threadEntry, start) == 0;
  pthread_attr_destroy(&attributes);
  if (!ok) {
    delete start;
    return false;
  }
  static_assert(sizeof(pthread_t) <= sizeof(uintptr_t));
  thread->handle = uintptr_t(id);
  return true;
}

bool osSetThreadPriority(OsThread* thread, OsThreadPriority priority) {
  if (thread->handle == 0) return false;
  pthread_t id = pthread_t(thread->handle);
  sched_param parameters{};
  int policy = SCHED_OTHER;
  if (priority == OsThreadPriority::TimeCritical) {
    // The highest real-time priority; without CAP_SYS_NICE (or an rtprio limit) the
    // system refuses and the thread stays a normal one.
    policy = SCHED_FIFO;
    parameters.sched_priority = sched_get_priority_max(SCHED_FIFO);
  }
  return pthread_setschedparam(id, policy, &parameters) == 0;
}

uint32_t osJoinThread(OsThread* thread) {
  if (thread->handle == 0) return 0;
  void* result = nullptr;
  pthread_join(pthread_t(thread->handle), &result);
  thread->handle = 0;
  return uint32_t(reinterpret_cast<uintptr_t>(result));
}
