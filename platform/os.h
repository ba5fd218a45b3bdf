#pragma once
// The operating-system services the program uses: the high-resolution counter,
// sleeping, debugger output, the breakpoint stop and whole-file writes.
// Implemented once per OS (platform/linux/ here).
#include <cstddef>
#include <cstdint>

// High-resolution counter: ticks and ticks per second.
uint64_t osPerformanceCounter();
uint64_t osPerformanceFrequency();

void osSleepMs(uint32_t milliseconds);

// True when a debugger is attached to this process.
bool osDebuggerAttached();

// Sends text to the debugger's output window. On Linux there is no such channel;
// the text goes to standard error while a debugger is attached and nowhere otherwise.
void osDebugOutput(const char* text);

// Stops the process at once, without unwinding: a breakpoint trap (SIGTRAP), so a
// debugger halts right here; without a debugger the system terminates the process.
[[noreturn]] void osBreakpointStop();

// Creates (or truncates) the file at path and writes size bytes. False on any failure.
bool osWriteFile(const char* path, const void* data, size_t size);
