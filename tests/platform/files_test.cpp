// Files a person edits while the program runs: whole reads, atomic replacement (a kill at
// any moment leaves the old or the new file) and the watch on every way an editor saves.
#include "platform/files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#ifndef _WIN32
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "platform/os.h"

namespace {

namespace fs = std::filesystem;

struct Files : ::testing::Test {
  std::string directory;
  std::string file;
  void SetUp() override {
    directory = (fs::temp_directory_path() / ("tarnix-files-" + std::to_string(std::random_device{}()))).string();
    fs::create_directories(directory);
    file = directory + "/timeline.json";
  }
  void TearDown() override {
    std::error_code error;
    fs::remove_all(directory, error);
  }
  void writeInPlace(const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
  }
  std::string read() {
    std::string content, error;
    EXPECT_TRUE(osReadWholeFile(file.c_str(), &content, &error)) << error;
    return content;
  }
  // Watches take a moment to see what happened on some systems (Wine's server).
  bool signalledSoon(OsFileWatch* watch) {
    for (int i = 0; i < 100; ++i) {
      if (osFileWatchSignalled(watch)) return true;
      osSleepMs(5);
    }
    return false;
  }
};

TEST_F(Files, ReplaceReadAndStampsTellVersionsApart) {
  std::string content, error;
  EXPECT_FALSE(osReadWholeFile(file.c_str(), &content, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(osFileStampOf(file.c_str()).exists);

  ASSERT_TRUE(osReplaceFile(file.c_str(), "first", 5, &error)) << error;
  const OsFileStamp first = osFileStampOf(file.c_str());
  EXPECT_TRUE(first.exists);
  EXPECT_EQ(first.size, 5u);
  EXPECT_EQ(read(), "first");
  const std::string big(3 << 20, 'x');  // more than one read
  ASSERT_TRUE(osReplaceFile(file.c_str(), big.data(), big.size(), &error)) << error;
  EXPECT_EQ(read(), big);
  EXPECT_NE(osFileStampOf(file.c_str()), first);
  // Nothing is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(directory), fs::directory_iterator()), 1);
  // A directory that does not exist: refused with a reason, nothing made.
  EXPECT_FALSE(osReplaceFile((directory + "/missing/x.json").c_str(), "x", 1, &error));
  EXPECT_FALSE(error.empty());
}

#ifndef _WIN32
TEST_F(Files, ReplacementKeepsThePermissions) {
  std::string error;
  ASSERT_TRUE(osReplaceFile(file.c_str(), "a", 1, &error)) << error;
  ASSERT_EQ(chmod(file.c_str(), 0640), 0);
  ASSERT_TRUE(osReplaceFile(file.c_str(), "b", 1, &error)) << error;
  struct stat info;
  ASSERT_EQ(stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

// A process that replaces the file with all-'a' and all-'b' versions as fast as it can is
// killed at random moments: every time, the file is one whole version.
TEST_F(Files, AKillDuringAReplacementLeavesTheOldOrTheNewFile) {
  const std::string a(1 << 20, 'a'), b(1 << 20, 'b');
  std::string error;
  ASSERT_TRUE(osReplaceFile(file.c_str(), a.data(), a.size(), &error)) << error;
  std::mt19937 random(7);
  for (int round = 0; round < 20; ++round) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (uint64_t i = 0;; ++i) {
        const std::string& next = i % 2 ? a : b;
        std::string ignored;
        osReplaceFile(file.c_str(), next.data(), next.size(), &ignored);
      }
    }
    usleep(1000 + random() % 30000);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    const std::string content = read();
    EXPECT_TRUE(content == a || content == b) << "round " << round << ": " << content.size() << " bytes";
  }
}
#endif

TEST_F(Files, TheWatchSeesEveryWayAnEditorSaves) {
  std::string error;
  ASSERT_TRUE(osReplaceFile(file.c_str(), "0", 1, &error)) << error;
  OsFileWatch* watch = osWatchFile(file.c_str());
  ASSERT_NE(watch, nullptr);
  osSleepMs(50);
  while (osFileWatchSignalled(watch)) osSleepMs(10);

  writeInPlace("1");  // truncate and write
  EXPECT_TRUE(signalledSoon(watch)) << "write in place";
  while (osFileWatchSignalled(watch)) osSleepMs(10);

  ASSERT_TRUE(osReplaceFile(file.c_str(), "2", 1, &error)) << error;  // renamed over it
  EXPECT_TRUE(signalledSoon(watch)) << "rename over";
  while (osFileWatchSignalled(watch)) osSleepMs(10);

  fs::remove(file);  // deleted, then made again
  EXPECT_TRUE(signalledSoon(watch)) << "delete";
  writeInPlace("3");
  EXPECT_TRUE(signalledSoon(watch)) << "create";
  EXPECT_EQ(read(), "3");
  osStopWatching(watch);
}

}  // namespace
