#pragma once
// Files that a person edits while the program runs: read whole, replaced whole (never seen
// half written), and watched for changes. Implemented once per OS (platform/linux/,
// platform/win32/). Paths are as the command line gave them.
#include <cstddef>
#include <cstdint>
#include <string>

// What identifies one version of a file: a write in place changes its size or its time,
// a file renamed over it its identity.
struct OsFileStamp {
  bool exists = false;
  uint64_t size = 0;
  int64_t modified = 0;   // the system's modification time, in its own units
  uint64_t identity = 0;  // the file itself (inode, file index)
  bool operator==(const OsFileStamp&) const = default;
};

// The system's clock in the units of OsFileStamp::modified, and how many make a second: how
// long ago a version was written.
int64_t osFileTimeNow();
int64_t osFileTimeUnitsPerSecond();

// The stamp of the file at path now; exists is false when there is none (or it cannot be
// asked about).
OsFileStamp osFileStampOf(const char* path);

// The whole file into *content. False with *error holding the system's reason.
bool osReadWholeFile(const char* path, std::string* content, std::string* error);

// Replaces the file at path with the bytes given, so that any reader (and a crash or kill
// at any moment) sees the old file or the new one, never a mix: the bytes go to a
// temporary file beside it, reach the disk, and the temporary file is renamed over it.
// False with *error holding the system's reason (the old file is then untouched).
bool osReplaceFile(const char* path, const void* data, size_t size, std::string* error);

// Watches one file: a write in place, a new file renamed over it, or its deletion and
// re-creation. Null when the system cannot watch it (the caller then compares stamps
// now and then).
struct OsFileWatch;
OsFileWatch* osWatchFile(const char* path);
// True when the file may have changed since the last call; never waits. It may also be
// true for other files of the same directory (compare the stamps to be sure).
bool osFileWatchSignalled(OsFileWatch* watch);
void osStopWatching(OsFileWatch* watch);
