// tarnix-music: synthesises the presentation's music on the GPU, exactly as the
// presentation does at start-up, and writes it as a WAV file; --play also plays it.
//
// Exit status: 0 written (and played), 1 the file could not be written or there was
// nothing to play on, 2 bad arguments, 130 interrupted (Ctrl-C).
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "base/diagnostics.h"
#include "base/version.h"
#include "platform/os.h"
#include "tools/music/music_synthesis.h"
#include "tools/music/wav_writer.h"

namespace {

constexpr const char* kProgram = "tarnix-music";
constexpr const char* kDefaultPath = "tarnix-music.wav";
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;
constexpr auto kPlayProgressInterval = std::chrono::milliseconds(100);
// Into a file or a pipe a progress line is written at most this often.
constexpr double kLoggedProgressSeconds = 5.0;
// A device whose clock stands still this long has stopped playing.
constexpr double kStallSeconds = 5.0;

volatile std::sig_atomic_t interrupted = 0;
void onInterrupt(int) { interrupted = 1; }

// A failed device call stops the program without unwinding; the half-written file must
// not outlive it.
void removeTemporaryFile(void* file) { std::remove(static_cast<WavFile*>(file)->temporaryPath.c_str()); }

struct Options {
  std::string path = kDefaultPath;
  WavSampleFormat format = WavSampleFormat::Float32;
  bool play = false;
};

void printUsage(FILE* stream) {
  std::fprintf(stream,
               "Usage: %s [--pcm16] [--play] [OUTPUT.wav]\n"
               "Synthesises the music on the GPU and writes it as a WAV file\n"
               "(32-bit float, 44100 Hz, stereo, 180 s).\n"
               "  OUTPUT.wav  the file to write (default: %s)\n"
               "  --pcm16     16-bit PCM samples instead of 32-bit float\n"
               "  --play      then play it on the sound device (Ctrl-C stops)\n"
               "  --version   show the version\n"
               "  --help      show this text\n",
               kProgram, kDefaultPath);
}

enum class Parsed { Run, Help, Version, Bad };

Parsed parseArguments(int argc, char** argv, Options& options) {
  bool havePath = false, optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    bool isOption = !optionsEnded && argument[0] == '-' && argument[1] != 0;
    if (isOption) {
      if (!std::strcmp(argument, "--help") || !std::strcmp(argument, "-h")) return Parsed::Help;
      if (!std::strcmp(argument, "--version")) return Parsed::Version;
      if (!std::strcmp(argument, "--pcm16")) {
        options.format = WavSampleFormat::Pcm16;
      } else if (!std::strcmp(argument, "--play")) {
        options.play = true;
      } else if (!std::strcmp(argument, "--")) {
        optionsEnded = true;
      } else {
        std::fprintf(stderr, "%s: unknown option '%s'\n", kProgram, argument);
        return Parsed::Bad;
      }
      continue;
    }
    if (havePath) {
      std::fprintf(stderr, "%s: one output path only ('%s' and '%s')\n", kProgram, options.path.c_str(), argument);
      return Parsed::Bad;
    }
    if (!*argument) {
      std::fprintf(stderr, "%s: the output path is empty\n", kProgram);
      return Parsed::Bad;
    }
    options.path = argument;
    havePath = true;
  }
  return Parsed::Run;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Progress on standard error. On a terminal one line is redrawn in place; into a file or a
// pipe a whole line is written at most every kLoggedProgressSeconds, so a log gets a few
// readable lines instead of every update joined by carriage returns.
struct ProgressLine {
  bool terminal = osStandardErrorIsTerminal();
  bool redrawing = false;  // a line on the terminal still wants its newline
  bool logged = false;
  std::chrono::steady_clock::time_point lastLogged;

  void show(const char* text) {
    if (terminal) {
      std::fprintf(stderr, "\r%s", text);
      redrawing = true;
    } else if (!logged || secondsSince(lastLogged) >= kLoggedProgressSeconds) {
      std::fprintf(stderr, "%s\n", text);
      logged = true;
      lastLogged = std::chrono::steady_clock::now();
    }
  }
  // Ends the redrawn line, before a message of its own.
  void finish() {
    if (redrawing) std::fputc('\n', stderr);
    redrawing = false;
  }
};

struct WriteProgress {
  const char* path;
  ProgressLine line{};
  int lastPercent = -1;
};

bool showWriteProgress(double fraction, void* user) {
  auto* progress = static_cast<WriteProgress*>(user);
  int percent = int(fraction * 100.0);
  if (percent != progress->lastPercent) {
    progress->lastPercent = percent;
    char text[512];
    std::snprintf(text, sizeof(text), "Writing %s: %3d%%", progress->path, percent);
    progress->line.show(text);
  }
  return !interrupted;
}

// Plays until the end of the piece, Ctrl-C or a device that stops. Returns the exit status.
int play(MusicSession& session, uint32_t durationSeconds) {
  if (!startMusicPlayback(session)) {
    std::fprintf(stderr, "%s: no sound device to play on\n", kProgram);
    return kExitFailure;
  }
  double end = musicEndSeconds(session);
  double lastPosition = -1.0;
  auto lastAdvance = std::chrono::steady_clock::now();
  int status = 0;
  ProgressLine line{};
  while (true) {
    double position = musicPositionSeconds(session);
    char text[64];
    std::snprintf(text, sizeof(text), "Playing %6.1f / %u s", position, durationSeconds);
    line.show(text);
    if (position >= end) break;
    if (interrupted) {
      status = kExitInterrupted;
      break;
    }
    if (position != lastPosition) {
      lastPosition = position;
      lastAdvance = std::chrono::steady_clock::now();
    } else if (secondsSince(lastAdvance) > kStallSeconds) {
      line.finish();
      std::fprintf(stderr, "%s: the sound device stopped playing at %.1f s\n", kProgram, position);
      status = kExitFailure;
      break;
    }
    std::this_thread::sleep_for(kPlayProgressInterval);
  }
  line.finish();
  if (status == kExitInterrupted) std::fprintf(stderr, "Stopped.\n");
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  switch (parseArguments(argc, argv, options)) {
    case Parsed::Help: printUsage(stdout); return 0;
    case Parsed::Version: std::printf("%s %s\n", kProgram, kTarnixVersion); return 0;
    case Parsed::Bad: printUsage(stderr); return kExitUsage;
    case Parsed::Run: break;
  }
  std::signal(SIGINT, onInterrupt);

  // A path that cannot be written is reported before any GPU work is spent.
  std::string error;
  WavFile file;
  if (!beginWavFile(file, options.path.c_str(), &error)) {
    std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
    return kExitFailure;
  }
  setFatalHandler(removeTemporaryFile, &file);

  MusicSession session;
  std::fprintf(stderr, "Synthesising the music on the GPU...");
  auto synthesisStart = std::chrono::steady_clock::now();
  synthesiseMusic(session);
  double synthesisSeconds = secondsSince(synthesisStart);
  std::fprintf(stderr, " %.2f s\n", synthesisSeconds);

  int status = 0;
  WavLayout layout{};
  if (interrupted) {
    abandonWavFile(file);
    std::fprintf(stderr, "Stopped.\n");
    status = kExitInterrupted;
  } else if (!makeWavLayout(options.format, uint16_t(session.channels), session.sampleRate, session.frames,
                            &layout)) {
    abandonWavFile(file);
    std::fprintf(stderr, "%s: the music does not fit a WAV file\n", kProgram);
    status = kExitFailure;
  } else {
    WriteProgress progress{options.path.c_str()};
    auto writeStart = std::chrono::steady_clock::now();
    bool written = finishWavFile(file, layout, session.samples.data(), showWriteProgress, &progress, &error);
    progress.line.finish();
    if (written) {
      std::fprintf(stderr, "Wrote %s: %u frames, %u bytes; synthesis %.2f s, writing %.2f s\n",
                   options.path.c_str(), layout.frames, layout.headerBytes + layout.dataBytes, synthesisSeconds,
                   secondsSince(writeStart));
      if (options.play) status = play(session, session.frames / session.sampleRate);
    } else if (interrupted) {
      std::fprintf(stderr, "Stopped.\n");
      status = kExitInterrupted;
    } else {
      std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
      status = kExitFailure;
    }
  }
  shutdownMusic(session);
  return status;
}
