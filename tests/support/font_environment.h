#pragma once
// Points fontconfig at a configuration without any font for the life of the object, so
// that no face can be found.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

class NoFontsConfiguration {
 public:
  NoFontsConfiguration() {
    char pattern[] = "/tmp/tarnix-nofonts-XXXXXX";
    int descriptor = mkstemp(pattern);
    path_ = pattern;
    const char text[] = "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n";
    if (descriptor >= 0) {
      ssize_t written = write(descriptor, text, sizeof(text) - 1);
      (void)written;
      close(descriptor);
    }
    const char* previous = getenv("FONTCONFIG_FILE");
    hadPrevious_ = previous != nullptr;
    if (hadPrevious_) previous_ = previous;
    setenv("FONTCONFIG_FILE", path_.c_str(), 1);
  }
  ~NoFontsConfiguration() {
    if (hadPrevious_)
      setenv("FONTCONFIG_FILE", previous_.c_str(), 1);
    else
      unsetenv("FONTCONFIG_FILE");
    unlink(path_.c_str());
  }

 private:
  std::string path_;
  std::string previous_;
  bool hadPrevious_ = false;
};
