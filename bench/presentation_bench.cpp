// Time of each pass of a frame at the program's render size, on whatever device the
// graphics layer finds (lavapipe on machines without a GPU). Each iteration is one
// submitted frame waited for to the end: the render-target set-up, the constant
// uploads and the timed passes. "EmptyFrame" is that frame without passes; subtract it
// to get a pass's own cost.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

#include "app/frame_pipeline.h"
#include "app/render_app.h"

namespace {

Presentation& presentation() {
  static std::unique_ptr<Presentation> p = [] {
    auto created = std::make_unique<Presentation>();
    PresentationOptions options;  // 960 x 540
    options.offscreen = true;
    startPresentation(*created, options);
    return created;
  }();
  return *p;
}

enum Passes : uint32_t {
  kNone = 0,
  kSimulation = 1,
  kScene = 2,
  kTemporal = 4,
  kAtrous = 8,
  kCopies = 16,
  kDepthOfField = 32,
  kFinal = 64,
  kAll = 127,
};

void frame(benchmark::State& state, uint32_t passes) {
  Presentation& p = presentation();
  p.atrousSteps = uint32_t(state.range(0));
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    gfx::GraphicsCommandList* cl = beginFrame();
    DescriptorAllocator& heap = *p.frameHeaps[renderApp.frameCounter % kFrameHeapCount];
    resetDescriptorAllocator(heap);
    resetDescriptorAllocator(*p.targetViewHeap);
    recordFrameSetup(p, cl, heap);
    updateFrameConstants(p, cl);
    if (passes & kSimulation) recordParticleSimulation(p, cl, heap);
    if (passes & kScene) recordScene(p, cl, heap);
    if (passes & kTemporal) recordTemporal(p, cl, heap);
    GpuTexture* filtered = (passes & kAtrous) ? recordAtrous(p, cl, heap) : p.textures.ResultTexture;
    if (passes & kCopies) recordHistoryCopies(p, cl);
    if (passes & kDepthOfField) recordDepthOfField(p, cl, heap, filtered);
    if (passes & kFinal) recordFinalPass(p, cl, heap);
    recordPresentTransition(p, cl);
    endFrame();
    waitForGpuIdle();
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    state.SetIterationTime(elapsed.count());
  }
}

void EmptyFrame(benchmark::State& s) { frame(s, kNone); }
void ParticleSimulation(benchmark::State& s) { frame(s, kSimulation); }
void ScenePathTrace(benchmark::State& s) { frame(s, kScene); }
void TemporalAccumulation(benchmark::State& s) { frame(s, kTemporal); }
void ATrousFilter(benchmark::State& s) { frame(s, kAtrous); }
void HistoryCopies(benchmark::State& s) { frame(s, kCopies); }
void DepthOfField(benchmark::State& s) { frame(s, kDepthOfField); }
void FinalPass(benchmark::State& s) { frame(s, kFinal); }
void WholeFrame(benchmark::State& s) { frame(s, kAll); }

// The second argument is the a-trous step count ("AT::Steps"; 3 at the start, 2 later).
#define TARNIX_PASS_BENCH(name, steps) \
  BENCHMARK(name)->Arg(steps)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0)
TARNIX_PASS_BENCH(EmptyFrame, 0);
TARNIX_PASS_BENCH(ParticleSimulation, 0);
TARNIX_PASS_BENCH(ScenePathTrace, 0);
TARNIX_PASS_BENCH(TemporalAccumulation, 0);
TARNIX_PASS_BENCH(ATrousFilter, 3);
TARNIX_PASS_BENCH(HistoryCopies, 0);
TARNIX_PASS_BENCH(DepthOfField, 0);
TARNIX_PASS_BENCH(FinalPass, 0);
TARNIX_PASS_BENCH(WholeFrame, 3);

}  // namespace
