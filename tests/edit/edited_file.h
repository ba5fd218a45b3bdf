#pragma once
// A timeline file the editor's suites edit: the built-in timeline written to a folder of the
// suite's own, removed afterwards, read and written whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "app/timeline_file.h"

struct EditedFileTest : ::testing::Test {
  std::string directory = (std::filesystem::temp_directory_path() /
                           ("tarnix-edited-" + std::to_string(std::random_device{}())))
                              .string();
  std::string file = directory + "/show.json";

  void SetUp() override {
    std::filesystem::create_directories(directory);
    std::string message;
    ASSERT_TRUE(writeBuiltInTimelineFile(file, &message)) << message;
  }
  void TearDown() override {
    std::error_code error;
    std::filesystem::remove_all(directory, error);
  }
  std::string read() const {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  void write(const std::string& text) const { std::ofstream(file, std::ios::binary) << text; }
};
