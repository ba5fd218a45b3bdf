#pragma once
// GPU time of the commands recorded between start() and stop() in one frame, from two
// timestamps on the program's device. The CPU wall time around submit + wait would also count
// the submission, the frame's uploads and the wait itself.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>

#include "gpu/render_app.h"

class GpuTimer {
 public:
  ~GpuTimer() { release(); }
  // False (and the benchmark skipped with the reason) when the device has no timestamps.
  bool create(benchmark::State& state) {
    if (queries_) return true;
    gfx::QueryHeapDesc desc{gfx::QUERY_HEAP_TYPE_TIMESTAMP, 2};
    gfx::HeapProperties heap{gfx::HEAP_TYPE_READBACK};
    gfx::ResourceDesc buffer;
    buffer.Dimension = gfx::RESOURCE_DIMENSION_BUFFER;
    buffer.Width = 2 * sizeof(uint64_t);
    if (gfx::Failed(renderApp.queue->GetTimestampFrequency(&frequency_)) || frequency_ == 0 ||
        gfx::Failed(renderApp.device->CreateQueryHeap(&desc, &queries_)) ||
        gfx::Failed(renderApp.device->CreateCommittedResource(&heap, gfx::HEAP_FLAG_NONE, &buffer,
                                                              gfx::RESOURCE_STATE_COPY_DEST, nullptr, &readback_))) {
      state.SkipWithError("the graphics device has no GPU timestamps");
      release();
      return false;
    }
    return true;
  }
  void release() {
    if (queries_) queries_->Release();
    if (readback_) readback_->Release();
    queries_ = nullptr;
    readback_ = nullptr;
  }
  void start(gfx::GraphicsCommandList* list) { list->EndQuery(queries_, gfx::QUERY_TYPE_TIMESTAMP, 0); }
  void stop(gfx::GraphicsCommandList* list) {
    list->EndQuery(queries_, gfx::QUERY_TYPE_TIMESTAMP, 1);
    list->ResolveQueryData(queries_, gfx::QUERY_TYPE_TIMESTAMP, 0, 2, readback_, 0);
  }
  // Once the frame has finished on the GPU.
  double seconds() {
    void* mapped = nullptr;
    uint64_t ticks[2] = {0, 0};
    if (gfx::Succeeded(readback_->Map(0, nullptr, &mapped))) {
      std::memcpy(ticks, mapped, sizeof(ticks));
      readback_->Unmap(0, nullptr);
    }
    return ticks[1] >= ticks[0] ? double(ticks[1] - ticks[0]) / double(frequency_) : 0.0;
  }

 private:
  gfx::QueryHeap* queries_ = nullptr;
  gfx::Resource* readback_ = nullptr;
  uint64_t frequency_ = 0;
};
