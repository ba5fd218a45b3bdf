// Operating-system services on Windows: the performance counter, Sleep and the
// high-resolution waits, threads, printing (OutputDebugStringA and standard output), the
// message box of a missing prerequisite, the breakpoint stop and file writes through the
// kernel's own calls.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <mmsystem.h>
#include <psapi.h>

#include <io.h>

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "platform/os.h"
#include "platform/win32/os_win32.h"

// Windows 10 1803; older mingw headers lack the name.
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

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

namespace {

uint32_t systemTimeBeginPeriod(uint32_t milliseconds) { return timeBeginPeriod(milliseconds); }
uint32_t systemTimeEndPeriod(uint32_t milliseconds) { return timeEndPeriod(milliseconds); }

std::atomic<bool> gPeriodFallbackForced{false};
std::atomic<bool> gPeriodRaised{false};
std::atomic<bool> gPeriodRestoreAtExit{false};

void restoreTimerPeriodAtExit() { win32RestoreTimerPeriod(); }

void raiseTimerPeriod() {
  if (gPeriodRaised.load(std::memory_order_acquire) || gPeriodRaised.exchange(true)) return;
  win32TimerPeriodCalls.begin(1);
  if (!gPeriodRestoreAtExit.exchange(true)) std::atexit(restoreTimerPeriodAtExit);
}

// Each thread that waits gets its own timer, closed when the thread ends. Null where
// the system refuses high-resolution timers.
struct ThreadTimer {
  HANDLE handle = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
  ~ThreadTimer() {
    if (handle) CloseHandle(handle);
  }
};
thread_local ThreadTimer tThreadTimer;

}  // namespace

Win32TimerPeriodCalls win32TimerPeriodCalls = {systemTimeBeginPeriod, systemTimeEndPeriod};

void win32UseTimerPeriodFallback() { gPeriodFallbackForced.store(true); }

bool win32TimerPeriodRaised() { return gPeriodRaised.load(); }

void win32RestoreTimerPeriod() {
  if (gPeriodRaised.exchange(false)) win32TimerPeriodCalls.end(1);
}

OsWaitTimer osWaitTimer() {
  if (!gPeriodFallbackForced.load(std::memory_order_relaxed) && tThreadTimer.handle)
    return OsWaitTimer::HighResolutionTimer;
  return OsWaitTimer::RaisedTimerPeriod;
}

void osWaitMicroseconds(uint32_t microseconds) {
  if (osWaitTimer() == OsWaitTimer::HighResolutionTimer) {
    LARGE_INTEGER due;
    due.QuadPart = -int64_t(microseconds) * 10;  // relative, in 100 ns
    if (SetWaitableTimerEx(tThreadTimer.handle, &due, 0, nullptr, nullptr, nullptr, 0) &&
        WaitForSingleObject(tThreadTimer.handle, INFINITE) == WAIT_OBJECT_0)
      return;
  }
  raiseTimerPeriod();
  Sleep((microseconds + 999) / 1000);
}

bool osDebuggerAttached() { return IsDebuggerPresent() != FALSE; }

void osPrint(const char* text) {
  OutputDebugStringA(text);
  // A fatal stop does not unwind, so nothing may stay in the stdio buffer.
  fputs(text, stdout);
  fflush(stdout);
}

namespace {

// A GUI program (linked for the Windows subsystem) has no console: a person started it
// from Explorer, and its standard output goes nowhere they look.
bool isGuiProgram() {
  const auto* base = reinterpret_cast<const uint8_t*>(GetModuleHandleW(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  return headers->OptionalHeader.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_GUI;
}

// A service's window station is invisible: a box there would wait for ever.
bool onVisibleDesktop() {
  HWINSTA station = GetProcessWindowStation();
  USEROBJECTFLAGS flags{};
  return station && GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof(flags), nullptr) &&
         (flags.dwFlags & WSF_VISIBLE) != 0;
}

// The program's file name without its folder and ".exe": "tarnix", "tarnix1080".
void programName(wchar_t* name, size_t capacity) {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    wcsncpy(name, L"tarnix", capacity - 1);
    name[capacity - 1] = 0;
    return;
  }
  const wchar_t* file = path;
  for (const wchar_t* c = path; *c; ++c)
    if (*c == L'\\' || *c == L'/') file = c + 1;
  wcsncpy(name, file, capacity - 1);
  name[capacity - 1] = 0;
  size_t nameLength = wcslen(name);
  if (nameLength > 4 && _wcsicmp(name + nameLength - 4, L".exe") == 0) name[nameLength - 4] = 0;
}

}  // namespace

void osTellMissingPrerequisite(OsPrerequisite missing, const char* detail) {
  if (!isGuiProgram() || !onVisibleDesktop()) return;
  wchar_t program[MAX_PATH];
  programName(program, MAX_PATH);
  wchar_t reason[1024];
  if (MultiByteToWideChar(CP_UTF8, 0, detail ? detail : "", -1, reason, 1024) == 0) reason[0] = 0;
  wchar_t text[4096];
  if (missing == OsPrerequisite::GraphicsDriver) {
    _snwprintf(text, 4096,
               L"%ls draws its pictures with Vulkan 1.3, and this computer has no graphics driver that offers "
               L"it.\n\n"
               L"Install the current driver for your graphics card from its maker, then start %ls again:\n"
               L"    NVIDIA: www.nvidia.com/drivers\n"
               L"    AMD: www.amd.com/support\n"
               L"    Intel: www.intel.com/support\n"
               L"\n"
               L"Details: %ls",
               program, program, reason);
  } else {
    _snwprintf(text, 4096,
               L"%ls shows its pictures in a window, and this session has no display to open one on.\n\n"
               L"Start %ls on a desktop with a screen attached.\n\n"
               L"Details: %ls",
               program, program, reason);
  }
  text[4095] = 0;
  wchar_t title[MAX_PATH + 32];
  _snwprintf(title, MAX_PATH + 32, L"%ls cannot start", program);
  title[MAX_PATH + 31] = 0;
  MessageBoxW(nullptr, text, title, MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
}

// Without a debugger an unhandled breakpoint would bring up the system's crash reporting
// (and under Wine its debugger) instead of ending, so the process ends itself with the
// fatal status, running no clean-up.
void osFatalStop() {
  win32RestoreTimerPeriod();
  if (IsDebuggerPresent()) DebugBreak();
  TerminateProcess(GetCurrentProcess(), kOsFatalExitStatus);
  for (;;) Sleep(INFINITE);  // TerminateProcess does not return for the current process
}

namespace {
// The exit status of the first stop request; written only by the console's control thread.
std::atomic<int> gStopStatus{0};
std::atomic<DWORD> gStopEvent{~DWORD(0)};

BOOL WINAPI onConsoleControl(DWORD event) { return win32OnConsoleControl(event); }
}  // namespace

// The console's analogues of the stop signals: Ctrl-C and Ctrl-Break interrupt (130, as
// SIGINT), closing the console, logging off and shutting down hang up (129, as SIGHUP).
// Where the process ends without running its exit (the same request again, or the
// system after a close), the timer period is restored here first.
int win32OnConsoleControl(unsigned long event) {
  int status = (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) ? 130 : 129;
  DWORD none = ~DWORD(0);
  if (!gStopEvent.compare_exchange_strong(none, DWORD(event))) {
    // The same request again ends the process at once, as without a handler.
    if (none != event) return TRUE;
    win32RestoreTimerPeriod();
    return FALSE;
  }
  gStopStatus.store(status);
  // After a close, log-off or shut-down the system ends the process once this returns:
  // give the program a few seconds to end in order first.
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
    Sleep(4000);
    win32RestoreTimerPeriod();
  }
  return TRUE;
}

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

bool osStandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

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
