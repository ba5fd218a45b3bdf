// xdg-open, started without a shell (the address is one argument) and with nothing of ours on
// its standard streams; a thread reaps it.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "platform/browser.h"

extern char** environ;

bool osOpenInBrowser(const std::string& url, std::string* error) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (int stream = 0; stream < 3; ++stream)
    posix_spawn_file_actions_addopen(&actions, stream, "/dev/null", stream == 0 ? O_RDONLY : O_WRONLY, 0);
  const char* argv[] = {"xdg-open", url.c_str(), nullptr};
  pid_t pid = 0;
  const int result = posix_spawnp(&pid, "xdg-open", &actions, nullptr, const_cast<char* const*>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (result != 0) {
    *error = std::string("cannot start xdg-open: ") + strerror(result);
    return false;
  }
  std::thread([pid] {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return true;
}
