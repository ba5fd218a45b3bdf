#pragma once
// Writes the captured frames on a thread of its own, in order, so that encoding a PNG or
// feeding ffmpeg overlaps the next frame's rendering. At most kFramesWaiting frames wait;
// the renderer blocks when it gets that far ahead.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/capture/capture_output.h"

class FrameWriter {
 public:
  static constexpr size_t kFramesWaiting = 2;

  explicit FrameWriter(CaptureOutputState& output);
  ~FrameWriter();  // finishes the frames already handed over
  FrameWriter(const FrameWriter&) = delete;
  FrameWriter& operator=(const FrameWriter&) = delete;

  // Hands output frame `frame` (outputWidth x outputHeight RGBA) over. False, with the
  // reason, once an earlier write has failed: nothing more is written then.
  bool push(uint32_t frame, std::vector<uint8_t> rgba, std::string* error);
  // Writes everything handed over, then stops the thread. False with the first failure.
  bool finish(std::string* error);

 private:
  struct Pending {
    uint32_t frame;
    std::vector<uint8_t> rgba;
  };
  void run();

  CaptureOutputState& output_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Pending> pending_;
  bool closing_ = false;
  bool failed_ = false;
  std::string error_;
  std::thread thread_;
};
