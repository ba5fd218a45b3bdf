#pragma once
// A fresh temporary directory for files the tests write, in which a program can be run
// as a user would run it, keeping what it printed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#ifndef _WIN32
#include <sys/wait.h>
#endif

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
    namespace fs = std::filesystem;
    const std::string base = (fs::temp_directory_path() / "tarnix-music-test-").string();
    for (unsigned attempt = 0; path_.empty() && attempt < 1000; ++attempt) {
      std::string candidate = base + std::to_string(std::rand()) + "-" + std::to_string(attempt);
      std::error_code error;
      if (fs::create_directory(candidate, error)) path_ = candidate;
    }
    EXPECT_FALSE(path_.empty()) << "no temporary directory";
  }
  ~ToolDirectory() {
    std::error_code error;
    if (!path_.empty()) std::filesystem::remove_all(path_, error);
  }
  const std::string& path() const { return path_; }

#ifndef _WIN32
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
#endif

  bool exists(const std::string& name) const {
    std::error_code error;
    return std::filesystem::exists(path_ + "/" + name, error);
  }

 private:
  std::string path_;
};
