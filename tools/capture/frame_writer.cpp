#include "tools/capture/frame_writer.h"

FrameWriter::FrameWriter(CaptureOutputState& output) : output_(output), thread_([this] { run(); }) {}

FrameWriter::~FrameWriter() {
  std::string ignored;
  finish(&ignored);
}

bool FrameWriter::push(uint32_t frame, std::vector<uint8_t> rgba, std::string* error) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return pending_.size() < kFramesWaiting || failed_; });
  if (failed_) {
    *error = error_;
    return false;
  }
  pending_.push_back({frame, std::move(rgba)});
  changed_.notify_all();
  return true;
}

bool FrameWriter::finish(std::string* error) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
    changed_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
  if (failed_) *error = error_;
  return !failed_;
}

void FrameWriter::run() {
  while (true) {
    Pending next;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this] { return !pending_.empty() || closing_; });
      if (pending_.empty()) return;
      next = std::move(pending_.front());
    }
    std::string error;
    bool written = writeCaptureFrame(output_, next.frame, next.rgba.data(), &error);
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.pop_front();
    if (!written) {
      failed_ = true;
      error_ = error;
      pending_.clear();
    }
    changed_.notify_all();
    if (!written) return;
  }
}
