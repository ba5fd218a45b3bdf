#pragma once
// Death-test helpers for the program's fatal stops. Messages go to standard output,
// which gtest does not watch, so the child sends standard output to standard error.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/os.h"

#ifdef _WIN32
#include <io.h>

#include <regex>
#include <string>

#define TARNIX_STDOUT_TO_STDERR() _dup2(_fileno(stderr), _fileno(stdout))

// gtest's own expressions on Windows lack braces, brackets and alternation; the standard
// library's engine reads the messages' patterns as POSIX does on Linux.
class FatalOutputMatcher : public ::testing::MatcherInterface<const std::string&> {
 public:
  explicit FatalOutputMatcher(const char* pattern) : text_(pattern), pattern_(pattern, std::regex::extended) {}
  bool MatchAndExplain(const std::string& output, ::testing::MatchResultListener*) const override {
    return std::regex_search(output, pattern_);
  }
  void DescribeTo(std::ostream* os) const override { *os << "contains regular expression \"" << text_ << "\""; }

 private:
  std::string text_;
  std::regex pattern_;
};
#define TARNIX_FATAL_OUTPUT(regex) ::testing::Matcher<const std::string&>(new FatalOutputMatcher(regex))
#else
#include <unistd.h>
#define TARNIX_STDOUT_TO_STDERR() dup2(STDERR_FILENO, STDOUT_FILENO)
#define TARNIX_FATAL_OUTPUT(regex) regex
#endif

// The statement must stop the process with the fatal exit status (no debugger is
// attached to a death test's child) and print a message matching `regex`.
#define EXPECT_FATAL(statement, regex)                  \
  EXPECT_EXIT(                                          \
      {                                                 \
        fflush(stdout);                                 \
        TARNIX_STDOUT_TO_STDERR();                      \
        statement;                                      \
      },                                                \
      ::testing::ExitedWithCode(kOsFatalExitStatus), TARNIX_FATAL_OUTPUT(regex))
