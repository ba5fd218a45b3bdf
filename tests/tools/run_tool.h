#pragma once
// A fresh temporary directory for files the tests write, in which a program can be run
// as a user would run it, keeping what it printed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>

struct ToolRun {
  int status = -1;  // exit status, -1 when it did not exit normally
  std::string out, err;
};

inline std::string readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class ToolDirectory {
 public:
  ToolDirectory() {
    char pattern[] = "/tmp/tarnix-music-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    EXPECT_NE(made, nullptr);
    path_ = made ? made : "/tmp";
  }
  ~ToolDirectory() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  const std::string& path() const { return path_; }

  // arguments are passed to the shell as written.
  ToolRun run(const std::string& program, const std::string& arguments) const {
    std::string command = "cd '" + path_ + "' && '" + program + "' " + arguments + " >'" + path_ +
                          "/.stdout' 2>'" + path_ + "/.stderr'";
    int raw = std::system(command.c_str());
    ToolRun result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = readWholeFile(path_ + "/.stdout");
    result.err = readWholeFile(path_ + "/.stderr");
    std::remove((path_ + "/.stdout").c_str());
    std::remove((path_ + "/.stderr").c_str());
    return result;
  }

  bool exists(const std::string& name) const { return access((path_ + "/" + name).c_str(), F_OK) == 0; }

 private:
  std::string path_;
};
