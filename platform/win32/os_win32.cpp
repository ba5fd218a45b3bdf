// Operating-system services on Windows: the performance counter, Sleep, threads,
// printing (OutputDebugStringA and standard output), the breakpoint stop and file writes
// through the kernel's own calls.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <climits>
#include <cstdio>

#include "platform/os.h"

uint64_t osPerformanceCounter() {
  LARGE_INTEGER count;
  QueryPerformanceCounter(&count);
  return uint64_t(count.QuadPart);
}

uint64_t osPerformanceFrequency() {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return uint64_t(frequency.QuadPart);
}

void osSleepMs(uint32_t milliseconds) { Sleep(milliseconds); }

bool osDebuggerAttached() { return IsDebuggerPresent() != FALSE; }

void osPrint(const char* text) {
  OutputDebugStringA(text);
  // A fatal stop does not unwind, so nothing may stay in the stdio buffer.
  fputs(text, stdout);
  fflush(stdout);
}

// Without a debugger an unhandled breakpoint would bring up the system's crash reporting
// (and under Wine its debugger) instead of ending, so the process ends itself with the
// fatal status, running no clean-up.
void osFatalStop() {
  if (IsDebuggerPresent()) DebugBreak();
  TerminateProcess(GetCurrentProcess(), kOsFatalExitStatus);
  for (;;) Sleep(INFINITE);  // TerminateProcess does not return for the current process
}

namespace {
// The exit status of the first stop request; written only by the console's control thread.
std::atomic<int> gStopStatus{0};
std::atomic<DWORD> gStopEvent{~DWORD(0)};

// The console's analogues of the stop signals: Ctrl-C and Ctrl-Break interrupt (130, as
// SIGINT), closing the console, logging off and shutting down hang up (129, as SIGHUP).
BOOL WINAPI onConsoleControl(DWORD event) {
  int status = (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) ? 130 : 129;
  DWORD none = ~DWORD(0);
  if (!gStopEvent.compare_exchange_strong(none, event)) {
    // The same request again ends the process at once, as without a handler.
    return none == event ? FALSE : TRUE;
  }
  gStopStatus.store(status);
  // After a close, log-off or shut-down the system ends the process once this returns:
  // give the program a few seconds to end in order first.
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) Sleep(4000);
  return TRUE;
}
}  // namespace

void osInstallStopRequestHandlers() { SetConsoleCtrlHandler(onConsoleControl, TRUE); }

int osStopRequestExitStatus() { return gStopStatus.load(); }

bool osWriteFile(const char* path, const void* data, size_t size) {
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const char* bytes = static_cast<const char*>(data);
  bool ok = true;
  while (ok && size > 0) {
    DWORD chunk = size > DWORD(INT_MAX) ? DWORD(INT_MAX) : DWORD(size);
    DWORD written = 0;
    ok = WriteFile(file, bytes, chunk, &written, nullptr) != FALSE && written > 0;
    bytes += written;
    size -= written;
  }
  ok = CloseHandle(file) != FALSE && ok;
  return ok;
}

size_t osResidentMemoryBytes() {
  // The working set is Windows' resident set.
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters))) return 0;
  return counters.WorkingSetSize;
}

namespace {
struct ThreadStart {
  OsThreadFunction function;
  void* argument;
};

DWORD WINAPI threadEntry(void* pointer) {
  ThreadStart start = *static_cast<ThreadStart*>(pointer);
  delete static_cast<ThreadStart*>(pointer);
  return start.function(start.argument);
}
}  // namespace

bool osCreateThread(OsThread* thread, OsThreadFunction function, void* argument, size_t stackBytes) {
  thread->handle = 0;
  auto* start = new ThreadStart{function, argument};
  // The size is the stack's initial commit; the system rounds it up to whole pages and
  // keeps the executable's reservation when that is larger.
  HANDLE handle = CreateThread(nullptr, stackBytes, threadEntry, start, 0, nullptr);
  if (!handle) {
    delete start;
    return false;
  }
  thread->handle = reinterpret_cast<uintptr_t>(handle);
  return true;
}

bool osSetThreadPriority(OsThread* thread, OsThreadPriority priority) {
  if (thread->handle == 0) return false;
  int level = priority == OsThreadPriority::TimeCritical ? THREAD_PRIORITY_TIME_CRITICAL : THREAD_PRIORITY_NORMAL;
  return SetThreadPriority(reinterpret_cast<HANDLE>(thread->handle), level) != FALSE;
}

uint32_t osJoinThread(OsThread* thread) {
  if (thread->handle == 0) return 0;
  HANDLE handle = reinterpret_cast<HANDLE>(thread->handle);
  WaitForSingleObject(handle, INFINITE);
  DWORD result = 0;
  GetExitCodeThread(handle, &result);
  CloseHandle(handle);
  thread->handle = 0;
  return uint32_t(result);
}
