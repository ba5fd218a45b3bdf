// Time of each pass of a frame at the program's render size, on whatever device the
// graphics layer finds (lavapipe on machines without a GPU). Each iteration is one
// submitted frame waited for to the end, timed from the submission to the end of the wait:
// on lavapipe the CPU does all of the work there, and GPU timestamps around a draw alone do
// not enclose its rasterization (it runs at the next flush). "EmptyFrame" times the frame's
// render-target set-up, constant uploads and present transition without a pass.
//
// The first benchmarks show the first frame (scene 0); the "Scene1" ones show timeline frame
// 4500, with the particles of scene 1 as its set-up frames lay them out (they are not animated
// on to 4500). The "Direct" variants draw the depth of field with the shader it replaced
// (DepthOfFieldDirectPS), so each pair gives the ratio of one run: "speedup".
//
// TARNIX_BENCH_RENDER_SIZE=WxH renders at another size with the program's look (its pixel
// measures scaled, the picture tone-mapped at the render size and scaled to the back buffer);
// TARNIX_BENCH_OUTPUT_SIZE=WxH sets the back buffer (the render size unless given), e.g. 256x144
// in 1280x720 as a machine without a GPU shows it.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/frame_passes.h"
#include "app/frame_pipeline.h"
#include "app/timeline_binding.h"
#include "gpu/render_app.h"
#include "shader_blobs.h"

namespace {

// WxH from the variable `name` where it is set; a malformed one ends the run with a message.
void sizeFromEnvironment(const char* name, uint32_t& width, uint32_t& height) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return;
  unsigned w = 0, h = 0;
  char end = 0;
  if (std::sscanf(text, "%ux%u%c", &w, &h, &end) != 2 || w == 0 || h == 0 || w % 32 != 0) {
    std::fprintf(stderr, "presentation_bench: %s=%s is not WxH with W a multiple of 32\n", name, text);
    std::exit(2);
  }
  width = w, height = h;
}

Presentation& presentation() {
  static std::unique_ptr<Presentation> p = [] {
    auto created = std::make_unique<Presentation>();
    PresentationOptions options;  // 960 x 540
    options.offscreen = true;
    sizeFromEnvironment("TARNIX_BENCH_RENDER_SIZE", options.renderWidth, options.renderHeight);
    if (options.renderHeight != 540) options.lookHeight = 540;
    sizeFromEnvironment("TARNIX_BENCH_OUTPUT_SIZE", options.outputWidth, options.outputHeight);
    std::printf("render %ux%u, back buffer %ux%u\n", options.renderWidth, options.renderHeight,
                options.outputWidth ? options.outputWidth : options.renderWidth,
                options.outputHeight ? options.outputHeight : options.renderHeight);
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
constexpr Passes kAll = {true, true, true, true, true, true, true};

// The depth of field as first written, reading the same textures.
void recordDirectDepthOfField(Presentation& p, gfx::GraphicsCommandList* cl, DescriptorAllocator& heap,
                              GpuTexture* filtered) {
  static FullscreenPass pass = [] {
    FullscreenPass built;
    buildFullscreenPass(built, kDepthOfFieldDirectPass, {kRenderToScreenVS, kRenderToScreenVSSize});
    return built;
  }();
  const PassResource resources[] = {boundTexture(*p.textures.depthBuffer), boundTexture(*filtered),
                                    boundConstants(p.depthOfField)};
  recordFullscreenPass(cl, kDepthOfFieldDirectPass, pass, resources, p.passBindings, heap, cpuHandle(p.targetViews, 0),
                       p.options.renderWidth, p.options.renderHeight);
}

// Renders timeline frame `f` with every pass (nothing timed): the simulation moves, and every
// texture then holds that frame's pictures for the benchmarks that time one pass.
void renderFrame(Presentation& p, uint32_t f) {
  p.simulation.data.frame = f;
  updateTimeline(p.timeline, p.destinations);
  updateCamera(p.camera, false, inputState, Float2{0, 0});
  gfx::GraphicsCommandList* cl = beginFrame();
  DescriptorAllocator& heap = *p.frameHeaps[renderApp.frameCounter % kFrameHeapCount];
  resetDescriptorAllocator(heap);
  resetDescriptorAllocator(*p.targetViewHeap);
  recordFrameSetup(p, cl, heap);
  // A benchmark that timed passes without the final pass left the G-buffer readable; the scene
  // pass expects it writable, as the final pass leaves it.
  FrameTextures& t = p.textures;
  for (GpuTexture* g : {t.positionBuffer, t.normalBuffer, t.PrevPositionBuffer, t.PrevNormalBuffer, t.depthBuffer})
    requestTransition(p.barriers, g->resource, kStateUnorderedAccess);
  flush(p.barriers, cl);
  recordFramePasses(p, cl, heap);
  recordPresentTransition(p, cl);
  endFrame();
  waitForGpuIdle();
}

// The frame the benchmarks show: 0 (scene 0) or 4500 (scene 1, laid out at 3254 and 3255).
void showFrame(Presentation& p, uint32_t frame) {
  static uint32_t shown = ~0u;
  if (frame == shown) return;
  if (frame != 0) renderFrame(p, 3254), renderFrame(p, 3255);
  renderFrame(p, frame);
  shown = frame;
}

double directSeconds[2] = {0.0, 0.0};  // the last Direct variant's mean, per scene

// Times `passes` at timeline frame `shown`; `direct` draws the old depth of field.
double frame(benchmark::State& state, Passes passes, uint32_t shown = 0, bool direct = false) {
  Presentation& p = presentation();
  showFrame(p, shown);
  double total = 0.0;
  p.atrousSteps = uint32_t(state.range(0));
  for (auto _ : state) {
    gfx::GraphicsCommandList* cl = beginFrame();
    DescriptorAllocator& heap = *p.frameHeaps[renderApp.frameCounter % kFrameHeapCount];
    resetDescriptorAllocator(heap);
    resetDescriptorAllocator(*p.targetViewHeap);
    recordFrameSetup(p, cl, heap);
    updateFrameConstants(p, cl);
    if (passes.simulation) recordParticleSimulation(p, cl, heap);
    if (passes.scene) {  // with the hierarchy it walks, built as the frame builds it
      recordSphereBvhBuild(p, cl, heap);
      recordScene(p, cl, heap);
    }
    if (passes.temporal) recordTemporal(p, cl, heap);
    GpuTexture* filtered = passes.atrous ? recordAtrous(p, cl, heap) : p.textures.ResultTexture;
    if (passes.copies) recordHistoryCopies(p, cl);
    if (passes.depthOfField && direct) recordDirectDepthOfField(p, cl, heap, filtered);
    if (passes.depthOfField && !direct) recordDepthOfField(p, cl, heap, filtered);
    if (passes.final) recordFinalPass(p, cl, heap);
    recordPresentTransition(p, cl);
    auto submitted = std::chrono::steady_clock::now();
    endFrame();
    waitForGpuIdle();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - submitted).count();
    state.SetIterationTime(seconds);
    total += seconds;
  }
  double mean = state.iterations() ? total / double(state.iterations()) : 0.0;
  uint32_t scene = shown == 0 ? 0 : 1;
  if (direct) directSeconds[scene] = mean;
  else if (passes.depthOfField && mean > 0.0 && directSeconds[scene] > 0.0)
    state.counters["speedup"] = directSeconds[scene] / mean;
  return mean;
}

void EmptyFrame(benchmark::State& s) { frame(s, {}); }
void ParticleSimulation(benchmark::State& s) { frame(s, {.simulation = true}); }
void ScenePathTrace(benchmark::State& s) { frame(s, {.scene = true}); }
void TemporalAccumulation(benchmark::State& s) { frame(s, {.temporal = true}); }
void ATrousFilter(benchmark::State& s) { frame(s, {.atrous = true}); }
void HistoryCopies(benchmark::State& s) { frame(s, {.copies = true}); }
void DepthOfField(benchmark::State& s) { frame(s, {.depthOfField = true}); }
void FinalPass(benchmark::State& s) { frame(s, {.final = true}); }
void WholeFrameDirect(benchmark::State& s) { frame(s, kAll, 0, true); }
void WholeFrame(benchmark::State& s) { frame(s, kAll); }
void ScenePathTraceScene1(benchmark::State& s) { frame(s, {.scene = true}, 4500); }
void WholeFrameDirectScene1(benchmark::State& s) { frame(s, kAll, 4500, true); }
void WholeFrameScene1(benchmark::State& s) { frame(s, kAll, 4500); }
// The depth of field alone reads the picture the whole frame before it left.
void DepthOfFieldDirectScene1(benchmark::State& s) { frame(s, {.depthOfField = true}, 4500, true); }
void DepthOfFieldScene1(benchmark::State& s) { frame(s, {.depthOfField = true}, 4500); }

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
TARNIX_PASS_BENCH(DepthOfField, 0, 5);
TARNIX_PASS_BENCH(FinalPass, 0, 10);
TARNIX_PASS_BENCH(WholeFrameDirect, 3, 3);
TARNIX_PASS_BENCH(WholeFrame, 3, 3);
TARNIX_PASS_BENCH(ScenePathTraceScene1, 0, 2);
TARNIX_PASS_BENCH(WholeFrameDirectScene1, 2, 2);
TARNIX_PASS_BENCH(WholeFrameScene1, 2, 2);
TARNIX_PASS_BENCH(DepthOfFieldDirectScene1, 0, 3);
TARNIX_PASS_BENCH(DepthOfFieldScene1, 0, 5);

}  // namespace
