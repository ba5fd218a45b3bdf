// Time of each pass of a frame at the program's render size, on whatever device the
// graphics layer finds (lavapipe on machines without a GPU). Each iteration is one
// submitted frame waited for to the end; GPU timestamps time the passes, after the
// render-target set-up and the constant uploads. "EmptyFrame" times no pass at all: the
// cost of the timestamps themselves.
#include <benchmark/benchmark.h>

#include <memory>

#include "app/frame_pipeline.h"
#include "bench/gpu_timer.h"
#include "gpu/render_app.h"

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

// The passes one benchmark iteration records, in the frame's order.
struct Passes {
  bool simulation = false, scene = false, temporal = false, atrous = false, copies = false, depthOfField = false,
       final = false;
};

GpuTimer& timer() {
  static GpuTimer t;
  return t;
}

void frame(benchmark::State& state, Passes passes) {
  Presentation& p = presentation();
  if (!timer().create(state)) return;
  p.atrousSteps = uint32_t(state.range(0));
  for (auto _ : state) {
    gfx::GraphicsCommandList* cl = beginFrame();
    DescriptorAllocator& heap = *p.frameHeaps[renderApp.frameCounter % kFrameHeapCount];
    resetDescriptorAllocator(heap);
    resetDescriptorAllocator(*p.targetViewHeap);
    recordFrameSetup(p, cl, heap);
    updateFrameConstants(p, cl);
    timer().start(cl);
    if (passes.simulation) recordParticleSimulation(p, cl, heap);
    if (passes.scene) {  // with the hierarchy it walks, built as the frame builds it
      recordSphereBvhBuild(p, cl, heap);
      recordScene(p, cl, heap);
    }
    if (passes.temporal) recordTemporal(p, cl, heap);
    GpuTexture* filtered = passes.atrous ? recordAtrous(p, cl, heap) : p.textures.ResultTexture;
    if (passes.copies) recordHistoryCopies(p, cl);
    if (passes.depthOfField) recordDepthOfField(p, cl, heap, filtered);
    if (passes.final) recordFinalPass(p, cl, heap);
    timer().stop(cl);
    recordPresentTransition(p, cl);
    endFrame();
    waitForGpuIdle();
    state.SetIterationTime(timer().seconds());
  }
}

void EmptyFrame(benchmark::State& s) { frame(s, {}); }
void ParticleSimulation(benchmark::State& s) { frame(s, {.simulation = true}); }
void ScenePathTrace(benchmark::State& s) { frame(s, {.scene = true}); }
void TemporalAccumulation(benchmark::State& s) { frame(s, {.temporal = true}); }
void ATrousFilter(benchmark::State& s) { frame(s, {.atrous = true}); }
void HistoryCopies(benchmark::State& s) { frame(s, {.copies = true}); }
void DepthOfField(benchmark::State& s) { frame(s, {.depthOfField = true}); }
void FinalPass(benchmark::State& s) { frame(s, {.final = true}); }
void WholeFrame(benchmark::State& s) { frame(s, {true, true, true, true, true, true, true}); }

// The argument is the a-trous step count ("AT::Steps"; 3 at the start, 2 later). Iteration
// counts are fixed: GPU time is far below each frame's wall time, so a minimum time of
// timestamps would take minutes of frames.
#define TARNIX_PASS_BENCH(name, steps, iterations) \
  BENCHMARK(name)->Arg(steps)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(iterations)
TARNIX_PASS_BENCH(EmptyFrame, 0, 20);
TARNIX_PASS_BENCH(ParticleSimulation, 0, 20);
TARNIX_PASS_BENCH(ScenePathTrace, 0, 3);
TARNIX_PASS_BENCH(TemporalAccumulation, 0, 10);
TARNIX_PASS_BENCH(ATrousFilter, 3, 10);
TARNIX_PASS_BENCH(HistoryCopies, 0, 10);
TARNIX_PASS_BENCH(DepthOfField, 0, 10);
TARNIX_PASS_BENCH(FinalPass, 0, 10);
TARNIX_PASS_BENCH(WholeFrame, 3, 3);

}  // namespace
