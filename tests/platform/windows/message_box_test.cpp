// The message box of a missing prerequisite, seen from outside as a person would see it:
// prerequisite_probe.exe, a GUI program with tarnix.exe's resources, is started and
// watched for top-level windows of its own.
//  - The program's own fatal stops (PANIC, ASSERT) show no box: the program ends by itself
//    with status 3 and its message on standard output.
//  - With drivers but no device that has everything the program needs, a box says what
//    each device lacks, then the adapter PANIC follows.
//  - Without a Vulkan loader a box says what is missing and where to get it; the suite
//    reads it and presses OK, and the program goes on to the PANIC it always printed,
//    with status 3. The loader goes missing the same way on Windows and under Wine: the
//    build puts a copy of the probe in without-vulkan/ beside a vulkan-1.dll that refuses
//    to load, and a program's own folder is searched before the system's.
#include <gtest/gtest.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "platform/os.h"

namespace {

std::string narrow(const wchar_t* text) {
  int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string result(size_t(length > 0 ? length - 1 : 0), '\0');
  if (length > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), length, nullptr, nullptr);
  return result;
}

std::wstring besideThisSuite(const wchar_t* file) {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1) + file;
}

struct Box {
  std::string title;
  std::string text;
};

struct ProbeRun {
  DWORD status = 0;
  bool ended = false;
  std::string output;
  std::vector<Box> boxes;  // every message box the program showed, each answered with OK
};

struct Search {
  DWORD process;
  HWND found;
};

BOOL CALLBACK findDialog(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t className[64] = {};
  GetClassNameW(window, className, 64);
  if (owner == search->process && IsWindowVisible(window) && wcscmp(className, L"#32770") == 0) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// Starts the probe (the one in `folder` beside this suite) with `mode`, its standard
// output and error into a file; answers every dialog box it shows with OK (after reading
// it); waits up to 60 s for it to end. Standard output is in text mode: "\r\n" ends a line.
ProbeRun runProbe(const char* mode, const wchar_t* folder = L"") {
  ProbeRun run;
  wchar_t temporary[MAX_PATH];
  GetTempPathW(MAX_PATH, temporary);
  wchar_t outputPath[MAX_PATH];
  GetTempFileNameW(temporary, L"tpb", 0, outputPath);
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE output = CreateFileW(outputPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(output, INVALID_HANDLE_VALUE);
  if (output == INVALID_HANDLE_VALUE) return run;

  std::wstring command = L"\"" + besideThisSuite((std::wstring(folder) + L"platform_prerequisite_probe.exe").c_str()) + L"\" ";
  for (const char* c = mode; *c; ++c) command += wchar_t(*c);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = output;
  startup.hStdError = output;
  PROCESS_INFORMATION process{};
  const bool started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                      &process) != FALSE;
  CloseHandle(output);
  EXPECT_TRUE(started) << "CreateProcessW failed (error " << GetLastError() << ")";
  if (!started) return run;

  const uint64_t start = osPerformanceCounter();
  while (double(osPerformanceCounter() - start) / double(osPerformanceFrequency()) < 60.0) {
    if (WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0) {
      run.ended = true;
      break;
    }
    Search search{process.dwProcessId, nullptr};
    EnumWindows(findDialog, reinterpret_cast<LPARAM>(&search));
    if (!search.found) continue;
    Box box;
    wchar_t text[4096] = {};
    GetWindowTextW(search.found, text, 4096);
    box.title = narrow(text);
    text[0] = 0;
    GetDlgItemTextW(search.found, 0xFFFF, text, 4096);  // a message box's text control
    box.text = narrow(text);
    // Answered once; the box ends and the next search finds none (or the next box).
    if (run.boxes.empty() || run.boxes.back().title != box.title || run.boxes.back().text != box.text)
      run.boxes.push_back(box);
    PostMessageW(search.found, WM_COMMAND, IDOK, 0);
    Sleep(100);
  }
  if (!run.ended) TerminateProcess(process.hProcess, 99);
  WaitForSingleObject(process.hProcess, INFINITE);
  GetExitCodeProcess(process.hProcess, &run.status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);

  FILE* file = _wfopen(outputPath, L"rb");
  if (file) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), file)) > 0) run.output.append(buffer, n);
    std::fclose(file);
  }
  DeleteFileW(outputPath);
  return run;
}

TEST(MissingPrerequisiteBox, NeverShownForTheFatalStops) {
  const std::pair<const char*, const char*> stops[] = {
      {"panic", "PANIC: Failed to create device\r\n"},
      {"assert", "ASSERT: Exceeded the limit of the fixed array 4\r\n"},
  };
  for (const auto& [mode, message] : stops) {
    ProbeRun run = runProbe(mode);
    ASSERT_TRUE(run.ended) << mode << ": still running after 60 s";
    EXPECT_TRUE(run.boxes.empty()) << mode << ": a box appeared: " << run.boxes.front().title;
    EXPECT_EQ(run.status, DWORD(kOsFatalExitStatus)) << mode;
    EXPECT_NE(run.output.find(message), std::string::npos) << mode << ": " << run.output;
  }
}

TEST(MissingPrerequisiteBox, NotShownWhenTheDriverIsThere) {
  ProbeRun run = runProbe("driver");
  ASSERT_TRUE(run.ended) << "still running after 60 s";
  EXPECT_TRUE(run.boxes.empty()) << "a box appeared: " << run.boxes.front().text;
  EXPECT_EQ(run.status, 0u) << run.output;
}

TEST(MissingPrerequisiteBox, ShownWithoutVulkanThenThePanicAsBefore) {
  ProbeRun run = runProbe("driver", L"without-vulkan\\");

  ASSERT_TRUE(run.ended) << "still running after 60 s";
  ASSERT_EQ(run.boxes.size(), 1u) << run.output;
  const Box& box = run.boxes.front();
  EXPECT_EQ(box.title, "platform_prerequisite_probe cannot start");
  EXPECT_NE(box.text.find("Vulkan 1.3"), std::string::npos) << box.text;
  EXPECT_NE(box.text.find("Install the current driver for your graphics card"), std::string::npos) << box.text;
  EXPECT_NE(box.text.find("www.nvidia.com/drivers"), std::string::npos) << box.text;
  EXPECT_NE(box.text.find("cannot load vulkan-1.dll"), std::string::npos) << box.text;
  // Standard output as before the box existed: the backend's line, then the PANIC.
  const size_t line = run.output.find("gfx: cannot load vulkan-1.dll");
  const size_t panic = run.output.find("PANIC: Failed to create factory\r\n");
  EXPECT_NE(line, std::string::npos) << run.output;
  EXPECT_NE(panic, std::string::npos) << run.output;
  EXPECT_LT(line, panic) << run.output;
  EXPECT_EQ(run.status, DWORD(kOsFatalExitStatus));
}

TEST(MissingPrerequisiteBox, ShownWhenNoDeviceHasEverythingThenTheAdapterPanic) {
  ProbeRun run = runProbe("device");
  ASSERT_TRUE(run.ended) << "still running after 60 s";
  ASSERT_EQ(run.boxes.size(), 1u) << run.output;
  const Box& box = run.boxes.front();
  EXPECT_EQ(box.title, "platform_prerequisite_probe cannot start");
  EXPECT_NE(box.text.find("none of this computer's graphics devices offers everything it uses"), std::string::npos)
      << box.text;
  EXPECT_NE(box.text.find("www.amd.com/support"), std::string::npos) << box.text;
  EXPECT_NE(box.text.find("no device has everything needed: device 0, "), std::string::npos) << box.text;
  EXPECT_NE(box.text.find("threads per group (4294967295 needed)"), std::string::npos) << box.text;
  const size_t line = run.output.find("gfx: no device has everything needed");
  const size_t panic = run.output.find("PANIC: Failed to aquire adapter\r\n");
  EXPECT_NE(line, std::string::npos) << run.output;
  EXPECT_LT(line, panic) << run.output;
  EXPECT_EQ(run.status, DWORD(kOsFatalExitStatus));
}

}  // namespace
