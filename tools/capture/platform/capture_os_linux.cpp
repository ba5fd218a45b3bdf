#include "tools/capture/platform/capture_os.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace {

std::atomic<bool> gStopRequested{false};

void onStopSignal(int) { gStopRequested.store(true); }

}  // namespace

std::string findProgramOnPath(const char* name) {
  const char* path = getenv("PATH");
  if (path == nullptr || name == nullptr || *name == '\0') return "";
  std::string paths = path;
  size_t start = 0;
  while (start <= paths.size()) {
    size_t end = paths.find(':', start);
    if (end == std::string::npos) end = paths.size();
    std::string dir = paths.substr(start, end - start);
    if (dir.empty()) dir.assign(1, '.');
    std::string candidate = dir;
    candidate.append("/").append(name);
    struct stat info;
    if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0)
      return candidate;
    start = end + 1;
  }
  return "";
}

bool makeDirectories(const std::string& path, std::string* error) {
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '/') continue;
    std::string prefix = path.substr(0, i);
    if (mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) {
      *error = "cannot create directory '" + prefix + "': " + strerror(errno);
      return false;
    }
  }
  struct stat info;
  if (stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    *error = "'" + path + "' is not a directory";
    return false;
  }
  return true;
}

void removeFile(const std::string& path) { unlink(path.c_str()); }

bool startChildProcess(ChildProcess& child, const std::vector<std::string>& argv, std::string* error) {
  int pipeEnds[2];
  if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
    *error = std::string("cannot create a pipe: ") + strerror(errno);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[0], 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);

  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  int result = posix_spawn(&pid, args[0], &actions, &attributes, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(pipeEnds[0]);
  if (result != 0) {
    close(pipeEnds[1]);
    *error = "cannot start '" + argv[0] + "': " + strerror(result);
    return false;
  }
  child.pid = pid;
  child.input = pipeEnds[1];
  return true;
}

bool writeToChild(ChildProcess& child, const void* data, size_t bytes) {
  const char* p = static_cast<const char*>(data);
  while (bytes > 0) {
    ssize_t n = write(child.input, p, bytes);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    bytes -= size_t(n);
  }
  return true;
}

int finishChildProcess(ChildProcess& child) {
  if (child.input >= 0) close(child.input);
  child.input = -1;
  if (child.pid < 0) return -1;
  int status = 0;
  while (waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
  }
  child.pid = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void installStopRequestHandler() {
  struct sigaction action;
  memset(&action, 0, sizeof(action));
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  // A dead encoder shows up as a failed write, not as a killed capture.
  signal(SIGPIPE, SIG_IGN);
}

bool stopRequested() { return gStopRequested.load(); }

