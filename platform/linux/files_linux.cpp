// Files on Linux: stat for the stamp, rename(2) for the atomic replacement, inotify on the
// directory for the watch (an editor that renames a new file over the old one replaces the
// inode a watch on the file itself would follow).
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <string>

#include "platform/files.h"

namespace {

std::string reason() { return strerror(errno); }

// The directory part ("." for a bare name) and the name part of a path.
void splitPath(const std::string& path, std::string* directory, std::string* name) {
  const size_t slash = path.find_last_of('/');
  *directory = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  *name = slash == std::string::npos ? path : path.substr(slash + 1);
}

bool writeAll(int fd, const char* bytes, size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, bytes, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    size -= size_t(written);
  }
  return true;
}

}  // namespace

int64_t osFileTimeNow() {
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int64_t osFileTimeUnitsPerSecond() { return 1000000000; }

OsFileStamp osFileStampOf(const char* path) {
  OsFileStamp stamp;
  struct stat info;
  if (stat(path, &info) != 0) return stamp;
  stamp.exists = true;
  stamp.size = uint64_t(info.st_size);
  stamp.modified = int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  stamp.identity = uint64_t(info.st_ino) ^ (uint64_t(info.st_dev) << 40);
  return stamp;
}

bool osReadWholeFile(const char* path, std::string* content, std::string* error) {
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = reason();
    return false;
  }
  content->clear();
  char buffer[65536];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof(buffer));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *error = reason();
      close(fd);
      return false;
    }
    if (got == 0) break;
    content->append(buffer, size_t(got));
  }
  close(fd);
  return true;
}

bool osReplaceFile(const char* path, const void* data, size_t size, std::string* error) {
  std::string directory, name;
  splitPath(path, &directory, &name);
  // Hidden, beside the file (a rename only replaces within one file system), and named
  // after this process so two programs never share one.
  const std::string temporary = directory + "/." + name + "." + std::to_string(getpid()) + ".tmp";
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    *error = reason();
    return false;
  }
  // The file keeps the permissions it had.
  struct stat info;
  if (stat(path, &info) == 0) fchmod(fd, info.st_mode & 07777);
  bool ok = writeAll(fd, static_cast<const char*>(data), size) && fsync(fd) == 0;
  if (!ok) *error = reason();
  if (close(fd) != 0 && ok) {
    *error = reason();
    ok = false;
  }
  if (ok && rename(temporary.c_str(), path) != 0) {
    *error = reason();
    ok = false;
  }
  if (!ok) {
    unlink(temporary.c_str());
    return false;
  }
  // The rename itself reaches the disk with the directory.
  const int directoryFd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directoryFd >= 0) {
    fsync(directoryFd);
    close(directoryFd);
  }
  return true;
}

struct OsFileWatch {
  int fd = -1;
  std::string name;
};

OsFileWatch* osWatchFile(const char* path) {
  std::string directory, name;
  splitPath(path, &directory, &name);
  const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0) return nullptr;
  const uint32_t events = IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MODIFY;
  if (inotify_add_watch(fd, directory.c_str(), events) < 0) {
    close(fd);
    return nullptr;
  }
  return new OsFileWatch{fd, name};
}

bool osFileWatchSignalled(OsFileWatch* watch) {
  bool signalled = false;
  alignas(inotify_event) char buffer[sizeof(inotify_event) + NAME_MAX + 1];
  for (;;) {
    const ssize_t got = read(watch->fd, buffer, sizeof(buffer));
    if (got <= 0) break;  // EAGAIN: nothing more waiting
    for (ssize_t at = 0; at < got;) {
      const inotify_event* event = reinterpret_cast<const inotify_event*>(buffer + at);
      if ((event->mask & IN_Q_OVERFLOW) || (event->len > 0 && watch->name == event->name)) signalled = true;
      at += ssize_t(sizeof(inotify_event) + event->len);
    }
  }
  return signalled;
}

void osStopWatching(OsFileWatch* watch) {
  if (watch == nullptr) return;
  close(watch->fd);
  delete watch;
}
