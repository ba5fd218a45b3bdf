// Files on Windows: the file's index for its identity, MoveFileEx for the atomic
// replacement, a change notification on the directory for the watch.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

#include "platform/files.h"
#include "platform/os.h"

namespace {

constexpr int kReplaceAttempts = 10;  // another program may hold the file open for a moment
constexpr uint32_t kReplaceRetryMs = 20;

std::string reason(DWORD code = GetLastError()) {
  char text[512] = {};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                sizeof(text), nullptr);
  while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' || text[length - 1] == '.')) text[--length] = 0;
  return length > 0 ? std::string(text) : "error " + std::to_string(code);
}

void splitPath(const std::string& path, std::string* directory, std::string* name) {
  const size_t slash = path.find_last_of("/\\");
  *directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  *name = slash == std::string::npos ? path : path.substr(slash + 1);
}

bool writeAll(HANDLE file, const char* bytes, size_t size) {
  while (size > 0) {
    const DWORD chunk = size > 0x40000000 ? 0x40000000 : DWORD(size);
    DWORD written = 0;
    if (!WriteFile(file, bytes, chunk, &written, nullptr) || written == 0) return false;
    bytes += written;
    size -= written;
  }
  return true;
}

}  // namespace

int64_t osFileTimeNow() {
  FILETIME now;
  GetSystemTimePreciseAsFileTime(&now);
  return int64_t((uint64_t(now.dwHighDateTime) << 32) | now.dwLowDateTime);
}

int64_t osFileTimeUnitsPerSecond() { return 10000000; }  // FILETIME counts 100 ns

OsFileStamp osFileStampOf(const char* path) {
  OsFileStamp stamp;
  HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return stamp;
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(file, &info)) {
    stamp.exists = true;
    stamp.size = (uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    stamp.modified = int64_t((uint64_t(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime);
    stamp.identity = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  }
  CloseHandle(file);
  return stamp;
}

bool osReadWholeFile(const char* path, std::string* content, std::string* error) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = reason();
    return false;
  }
  content->clear();
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, buffer, sizeof(buffer), &got, nullptr)) {
      *error = reason();
      CloseHandle(file);
      return false;
    }
    if (got == 0) break;
    content->append(buffer, got);
  }
  CloseHandle(file);
  return true;
}

bool osReplaceFile(const char* path, const void* data, size_t size, std::string* error) {
  std::string directory, name;
  splitPath(path, &directory, &name);
  const std::string temporary =
      (directory == "." ? std::string() : directory) + "." + name + "." + std::to_string(GetCurrentProcessId()) + ".tmp";
  HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = reason();
    return false;
  }
  bool ok = writeAll(file, static_cast<const char*>(data), size) && FlushFileBuffers(file);
  if (!ok) *error = reason();
  CloseHandle(file);
  for (int attempt = 0; ok; ++attempt) {
    if (MoveFileExA(temporary.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    const DWORD code = GetLastError();
    if ((code != ERROR_SHARING_VIOLATION && code != ERROR_ACCESS_DENIED) || attempt + 1 == kReplaceAttempts) {
      *error = reason(code);
      ok = false;
    } else {
      osSleepMs(kReplaceRetryMs);
    }
  }
  DeleteFileA(temporary.c_str());
  return false;
}

struct OsFileWatch {
  HANDLE notification;
};

OsFileWatch* osWatchFile(const char* path) {
  std::string directory, name;
  splitPath(path, &directory, &name);
  HANDLE notification = FindFirstChangeNotificationA(
      directory.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE);
  if (notification == INVALID_HANDLE_VALUE) return nullptr;
  return new OsFileWatch{notification};
}

bool osFileWatchSignalled(OsFileWatch* watch) {
  if (WaitForSingleObject(watch->notification, 0) != WAIT_OBJECT_0) return false;
  FindNextChangeNotification(watch->notification);
  return true;
}

void osStopWatching(OsFileWatch* watch) {
  if (watch == nullptr) return;
  FindCloseChangeNotification(watch->notification);
  delete watch;
}
