// Each shader pass at the 960 x 540 render size (the final pass into a 1920 x 1080 back buffer),
// timed with GPU timestamps around its commands on the graphics device (lavapipe on machines
// without a GPU). The scenes are the presentation's own: particles set up by the simulation
// shader. The music synthesis is also timed as the C++ reference on one CPU thread, and the
// ratio of the two is reported beside it.
#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "bench/gpu_timer.h"
#include "app/frame_passes.h"
#include "audio/music_synthesis_pass.h"
#include "shader_blobs.h"
#include "shaders/ParticleConfig.h"
#include "support/reference/music.h"
#include "support/shader_dispatch.h"

namespace {

constexpr uint32_t kWidth = 960, kHeight = 540;
// Groups of an image pass that cover `pixels` (kDepthOfFieldTile: the depth of field's preparation).
constexpr uint32_t imageGroups(uint32_t pixels, uint32_t side = kImageGroupSide) { return (pixels + side - 1) / side; }

struct Bench {
  DescriptorAllocator* heap = nullptr;
  DescriptorAllocator* targets = nullptr;
  BarrierBatch barriers = {};
  GpuBuffer *particles = nullptr, *sphereBvh = nullptr, *cameraData = nullptr;
  GpuBuffer *dofData = nullptr, *dofSpiral = nullptr, *dofTiles = nullptr, *finalData = nullptr;
  GpuBuffer *audioData = nullptr, *audioFrames = nullptr;
  GpuTexture *colour, *velocity, *position, *normal, *depth, *history, *prevPosition, *prevNormal;
  GpuTexture *m1Prev, *m2Prev, *prevDepth, *result, *m1, *m2, *filtered, *frameInput, *text, *colourAndDepth;
} b;
GpuTimer timer;

GpuTexture* uavTexture(uint32_t format) {
  return createTexture(kWidth, kHeight, nullptr, kStateUnorderedAccess, format, kResourceAllowUnorderedAccess);
}

// Times `record` (one frame's commands, barriers included) on the GPU; returns the mean seconds.
template <typename Record>
double timeFrames(benchmark::State& state, Record record) {
  if (!timer.create(state)) return 0.0;
  double total = 0.0;
  for (auto _ : state) {
    gfx::GraphicsCommandList* list = beginFrame();
    resetDescriptorAllocator(*b.heap);
    resetDescriptorAllocator(*b.targets);
    timer.start(list);
    record(list);
    timer.stop(list);
    endFrame();
    waitForGpuIdle();
    double seconds = timer.seconds();
    total += seconds;
    state.SetIterationTime(seconds);
  }
  return state.iterations() ? total / double(state.iterations()) : 0.0;
}

// Records one dispatch of `pass` in a frame of its own and waits for it.
void runOnce(const PassDescription& pass, Pipeline& pipeline, const std::vector<PassResource>& views) {
  gfx::GraphicsCommandList* list = beginFrame();
  resetDescriptorAllocator(*b.heap);
  recordCompute(list, pass, pipeline, *b.heap, b.barriers, views, 1, 1);
  endFrame();
  waitForGpuIdle();
}

void simulate(uint32_t scene, uint32_t frame, uint32_t count) {
  SimulationData sim{{0, 0, 0}, scene, frame, 60000.0f, 16.0f};
  ParticleSceneData sceneValues{{0.11f, 0.11f, 0.18f}, count};
  GpuBuffer* simBuffer = createBuffer(sizeof(sim), BufferType::Constant, &sim, false, 0);
  GpuBuffer* sceneBuffer = createBuffer(sizeof(sceneValues), BufferType::Constant, &sceneValues, false, 0);
  std::vector<PassResource> views = {boundBuffer(*b.particles, kParticleCapacity), boundConstants(*simBuffer),
                                     boundConstants(*sceneBuffer)};
  Pipeline* pipeline = createComputePass(kParticleSimulationPass);
  runOnce(kParticleSimulationPass, *pipeline, views);  // one group: all particles
  releasePipeline(pipeline);
  releaseBuffer(simBuffer);
  releaseBuffer(sceneBuffer);
}

constexpr uint32_t kSampleRate = 44100;
constexpr uint32_t kMusicFrames = 180 * kSampleRate;  // the whole piece, as the program renders it
double musicGpuSeconds = 0.0;  // mean of BM_AudioSynthesis, for the ratio below

void BM_AudioSynthesis(benchmark::State& state) {
  std::vector<PassResource> views = {boundBuffer(*b.audioFrames, kMusicFrames), boundConstants(*b.audioData)};
  Pipeline* p = createComputePass(kMusicSynthesisPass);
  // Shaders are compiled on their first dispatch: keep that out of the timed iterations.
  runOnce(kMusicSynthesisPass, *p, views);
  musicGpuSeconds = timeFrames(state, [&](gfx::GraphicsCommandList* list) {
    recordCompute(list, kMusicSynthesisPass, *p, *b.heap, b.barriers, views, (kMusicFrames + 255) / 256, 1);
  });
  releasePipeline(p);
}

// The same frames from the C++ reference on one thread. "cpu_over_gpu" is this time divided
// by BM_AudioSynthesis's (absent when that benchmark did not run first).
void BM_MusicReferenceCpu(benchmark::State& state) {
  double seconds = 0.0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    float sum = 0.0f;
    for (uint32_t i = 0; i < kMusicFrames; ++i) {
      reference::Vec2 frame = reference::makeSound(float(i) / float(kSampleRate));
      sum += frame.x + frame.y;
    }
    benchmark::DoNotOptimize(sum);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
  }
  if (musicGpuSeconds > 0.0) state.counters["cpu_over_gpu"] = seconds / musicGpuSeconds;
}

void BM_ParticleSimulation(benchmark::State& state) {
  simulate(1, kSceneSetUpFrame, 128);
  SimulationData sim{{0, 0, 0}, 1, 3400, 60000.0f, 16.0f};
  ParticleSceneData sceneValues{{0.11f, 0.11f, 0.18f}, 128};
  GpuBuffer* simBuffer = createBuffer(sizeof(sim), BufferType::Constant, &sim, false, 0);
  GpuBuffer* sceneBuffer = createBuffer(sizeof(sceneValues), BufferType::Constant, &sceneValues, false, 0);
  std::vector<PassResource> views = {boundBuffer(*b.particles, kParticleCapacity), boundConstants(*simBuffer),
                                     boundConstants(*sceneBuffer)};
  Pipeline* p = createComputePass(kParticleSimulationPass);
  timeFrames(state, [&](gfx::GraphicsCommandList* list) {
    recordCompute(list, kParticleSimulationPass, *p, *b.heap, b.barriers, views, 1, 1);
  });
  releasePipeline(p);
  releaseBuffer(simBuffer);
  releaseBuffer(sceneBuffer);
}

// The scenes of the scene pass: particles set up by the simulation shader, and their hierarchy.
struct SceneSetUp {
  GpuBuffer *simBuffer, *sceneBuffer;
};

SceneSetUp setUpScene(uint32_t scene) {
  if (scene == 0) simulate(0, 0, 64);
  else simulate(1, kSceneSetUpFrame, 128);
  SimulationData sim{{0, 0, 0}, scene, scene == 0 ? 2000u : 3400u, 60000.0f, 16.0f};
  ParticleSceneData sceneValues{{0.11f, 0.11f, 0.18f}, scene == 0 ? 64u : 128u};
  return {createBuffer(sizeof(sim), BufferType::Constant, &sim, false, 0),
          createBuffer(sizeof(sceneValues), BufferType::Constant, &sceneValues, false, 0)};
}

std::vector<PassResource> bvhBuildViews(const SceneSetUp& s) {
  return {boundBuffer(*b.particles, kParticleCapacity), boundBuffer(*b.sphereBvh, kSphereBvhRecords),
          boundConstants(*s.sceneBuffer)};
}

void buildHierarchy(const SceneSetUp& s) {
  std::vector<PassResource> views = bvhBuildViews(s);
  Pipeline* pipeline = createComputePass(kSphereBvhBuildPass);
  runOnce(kSphereBvhBuildPass, *pipeline, views);
  releasePipeline(pipeline);
}

void releaseScene(SceneSetUp& s) {
  releaseBuffer(s.simBuffer);
  releaseBuffer(s.sceneBuffer);
}

// Mean seconds of the scene pass per scene, for the ratios the later benchmarks report.
double bruteForceSeconds[2] = {0.0, 0.0};
double sceneSeconds[2] = {0.0, 0.0};

double timeScenePass(benchmark::State& state, const PassDescription& pass) {
  uint32_t scene = uint32_t(state.range(0));
  SceneSetUp s = setUpScene(scene);
  buildHierarchy(s);
  std::vector<PassResource> views = {boundBuffer(*b.particles, kParticleCapacity),
                                     boundTexture(*b.colour),
                                     boundTexture(*b.velocity),
                                     boundTexture(*b.position),
                                     boundTexture(*b.normal),
                                     boundTexture(*b.depth),
                                     boundConstants(*b.cameraData),
                                     boundConstants(*s.sceneBuffer),
                                     boundConstants(*s.simBuffer),
                                     boundConstants(*b.sphereBvh)};
  Pipeline* p = createComputePass(pass);
  double seconds = timeFrames(state, [&](gfx::GraphicsCommandList* list) {
    recordCompute(list, pass, *p, *b.heap, b.barriers, views, imageGroups(kWidth), imageGroups(kHeight));
  });
  releasePipeline(p);
  releaseScene(s);
  return seconds;
}

// Scene 0 (four spheres, one of glass) or scene 1 (a hundred spheres), four samples per pixel,
// testing every particle for each ray.
void BM_SceneRenderBruteForce(benchmark::State& state) {
  bruteForceSeconds[state.range(0)] = timeScenePass(state, kSceneBruteForcePass);
}

// The same through the hierarchy, as the program renders. "speedup" is the brute-force time
// over this one (from BM_SceneRenderBruteForce of the same run).
void BM_SceneRender(benchmark::State& state) {
  double seconds = timeScenePass(state, kScenePass);
  sceneSeconds[state.range(0)] = seconds;
  if (seconds > 0.0 && bruteForceSeconds[state.range(0)] > 0.0)
    state.counters["speedup"] = bruteForceSeconds[state.range(0)] / seconds;
}

// The hierarchy's build for the scene. "share_of_scene" is its time over BM_SceneRender's.
void BM_SphereBvhBuild(benchmark::State& state) {
  SceneSetUp s = setUpScene(uint32_t(state.range(0)));
  std::vector<PassResource> views = bvhBuildViews(s);
  Pipeline* p = createComputePass(kSphereBvhBuildPass);
  double seconds = timeFrames(state, [&](gfx::GraphicsCommandList* list) {
    recordCompute(list, kSphereBvhBuildPass, *p, *b.heap, b.barriers, views, 1, 1);
  });
  if (seconds > 0.0 && sceneSeconds[state.range(0)] > 0.0)
    state.counters["share_of_scene"] = seconds / sceneSeconds[state.range(0)];
  releasePipeline(p);
  releaseScene(s);
}

void BM_TemporalAccumulation(benchmark::State& state) {
  std::vector<PassResource> views = {
      boundTexture(*b.colour),     boundTexture(*b.velocity),  boundTexture(*b.history),
      boundTexture(*b.position),   boundTexture(*b.normal),    boundTexture(*b.prevPosition),
      boundTexture(*b.prevNormal), boundTexture(*b.m1Prev),    boundTexture(*b.m2Prev),
      boundTexture(*b.depth),      boundTexture(*b.prevDepth), boundTexture(*b.result),
      boundTexture(*b.m1),         boundTexture(*b.m2),        boundConstants(*b.cameraData)};
  Pipeline* p = createComputePass(kTemporalPass);
  timeFrames(state, [&](gfx::GraphicsCommandList* list) {
    recordCompute(list, kTemporalPass, *p, *b.heap, b.barriers, views, imageGroups(kWidth), imageGroups(kHeight));
  });
  releasePipeline(p);
}

void BM_ATrousIteration(benchmark::State& state) {
  std::vector<PassResource> views = {boundTexture(*b.result), boundTexture(*b.normal), boundTexture(*b.m1),
                                     boundTexture(*b.m2),     boundTexture(*b.depth),  boundTexture(*b.filtered)};
  Pipeline* p = createComputePass(kAtrousPass);
  ATrousConstants constants{2, {float(kWidth), float(kHeight), 1}};
  timeFrames(state, [&](gfx::GraphicsCommandList* list) {
    recordCompute(list, kAtrousPass, *p, *b.heap, b.barriers, views, imageGroups(kWidth), imageGroups(kHeight),
                  &constants);
  });
  releasePipeline(p);
}

double depthOfFieldDirectSeconds = 0.0;

// The depth of field as first written: every pixel walks the spiral itself.
void BM_DepthOfFieldDirect(benchmark::State& state) {
  FullscreenPass pass;
  buildFullscreenPass(pass, kDepthOfFieldDirectPass, {kRenderToScreenVS, kRenderToScreenVSSize});
  std::vector<PassResource> bindings = {boundTexture(*b.depth), boundTexture(*b.filtered), boundConstants(*b.dofData)};
  depthOfFieldDirectSeconds = timeFrames(state, [&](gfx::GraphicsCommandList* list) {
    recordFullscreen(list, kDepthOfFieldDirectPass, pass, *b.heap, *b.targets, b.barriers, bindings,
                     b.frameInput->resource, kRgba16Float, kWidth, kHeight);
  });
  destroyFullscreenPass(pass);
}

// As the program records it: the preparation (picture with depth, the spiral), then the blur.
// "speedup" is BM_DepthOfFieldDirect's time over this one's.
void BM_DepthOfField(benchmark::State& state) {
  std::vector<PassResource> prepared = {
      boundTexture(*b.depth),
      boundTexture(*b.filtered),
      boundTexture(*b.colourAndDepth),
      boundBuffer(*b.dofSpiral, kDepthOfFieldSpiralBytes / 16),
      boundBuffer(*b.dofTiles, kDepthOfFieldTileBytes / 16),
      boundConstants(*b.dofData)};
  Pipeline* prepare = createComputePass(kDepthOfFieldPreparePass);
  FullscreenPass pass;
  buildFullscreenPass(pass, kDepthOfFieldPass, {kRenderToScreenVS, kRenderToScreenVSSize});
  std::vector<PassResource> bindings = {boundTexture(*b.depth),          boundTexture(*b.filtered),
                                        boundTexture(*b.colourAndDepth), boundConstants(*b.dofData),
                                        boundConstants(*b.dofSpiral),    boundConstants(*b.dofTiles)};
  double seconds = timeFrames(state, [&](gfx::GraphicsCommandList* list) {
    recordCompute(list, kDepthOfFieldPreparePass, *prepare, *b.heap, b.barriers, prepared,
                  imageGroups(kWidth, kDepthOfFieldTile), imageGroups(kHeight, kDepthOfFieldTile));
    recordFullscreen(list, kDepthOfFieldPass, pass, *b.heap, *b.targets, b.barriers, bindings,
                     b.frameInput->resource, kRgba16Float, kWidth, kHeight);
  });
  if (seconds > 0.0 && depthOfFieldDirectSeconds > 0.0) state.counters["speedup"] = depthOfFieldDirectSeconds / seconds;
  destroyFullscreenPass(pass);
  releasePipeline(prepare);
}

void BM_FinalPass(benchmark::State& state) {
  FullscreenPass pass;
  buildFullscreenPass(pass, kFinalPass, {kRenderToScreenVS, kRenderToScreenVSSize}, renderApp.backBufferFormat);
  std::vector<PassResource> bindings = {boundTexture(*b.frameInput), boundTexture(*b.text),
                                        boundConstants(*b.finalData)};
  timeFrames(state, [&](gfx::GraphicsCommandList* list) {
    TrackedResource& backBuffer = currentBackBuffer().resource;
    recordFullscreen(list, kFinalPass, pass, *b.heap, *b.targets, b.barriers, bindings, backBuffer,
                     renderApp.backBufferFormat, 1920, 1080);
    requestTransition(b.barriers, backBuffer, kStatePresent);
    flush(b.barriers, list);
  });
  destroyFullscreenPass(pass);
}

void setUp() {
  createOffscreenDevice(1920, 1080);
  b.heap = createDescriptorAllocator(kDescriptorHeapCbvSrvUav, 128, kDescriptorHeapShaderVisible);
  b.targets = createDescriptorAllocator(kDescriptorHeapRtv, 2, 0);
  b.particles = createBuffer(128 * sizeof(ParticleData), BufferType::Storage, nullptr, true, kResourceAllowUnorderedAccess);
  b.sphereBvh = createBuffer(kSphereBvhRecords * kSphereBvhRecordBytes, BufferType::Storage, nullptr, true, kResourceAllowUnorderedAccess);
  b.audioFrames = createBuffer(180ull * 44100 * 8, BufferType::Storage, nullptr, true, kResourceAllowUnorderedAccess);
  AudioData audio{180.0f, 44100};
  b.audioData = createBuffer(sizeof(audio), BufferType::Constant, &audio, false, 0);
  // Camera at the origin looking down -z with a 90-degree frustum (the first scene is 100 ahead).
  ConstantBufferData camera{};
  camera.invViewProjMtx = {{{1.7778f, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 0, -1}, {0, 0, 0, 1}}};
  camera.viewProjMtx = {{{0.5625f, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, -0.001f, -1}, {0, 0, 0, 0}}};
  camera.prevViewProjMtx = camera.viewProjMtx;
  camera.resolution = {float(kWidth), float(kHeight), 1};
  camera.sampleCount = 4;
  camera.blendFactor = 0.15f;
  camera.depthThreshold = 0.004f;
  camera.normalThreshold = 0.9f;
  camera.standardDeviation = 1.0f;
  camera.velocityScale = 1.0f;
  b.cameraData = createBuffer(sizeof(camera), BufferType::Constant, &camera, false, 0);
  DepthOfFieldData dof{{float(kWidth), float(kHeight)}, 22.0f, 1.0f, 1.0f, 20.0f, 1000.0f};
  b.dofData = createBuffer(sizeof(dof), BufferType::Constant, &dof, false, 0);
  FinalPassData final{{float(kWidth), float(kHeight)}, {1920, 1080}, 0, 1, TonemapFunction::WHITE_PRESERVING_LUMA_BASED_REINHARD, 1, 1650};
  b.finalData = createBuffer(sizeof(final), BufferType::Constant, &final, false, 0);
  b.colour = uavTexture(kRgba16Float);
  b.velocity = uavTexture(kRgba32Float);
  b.position = uavTexture(kRgba32Float);
  b.normal = uavTexture(kRgba32Float);
  b.depth = uavTexture(kR32Float);
  b.history = uavTexture(kRgba16Float);
  b.prevPosition = uavTexture(kRgba32Float);
  b.prevNormal = uavTexture(kRgba32Float);
  b.m1Prev = uavTexture(kR32Float);
  b.m2Prev = uavTexture(kR32Float);
  b.prevDepth = uavTexture(kR32Float);
  b.result = uavTexture(kRgba16Float);
  b.m1 = uavTexture(kR32Float);
  b.m2 = uavTexture(kR32Float);
  b.filtered = uavTexture(kRgba16Float);
  b.colourAndDepth = uavTexture(kRgba32Float);
  b.dofSpiral = createBuffer(kDepthOfFieldSpiralBytes, BufferType::Storage, nullptr, true, kResourceAllowUnorderedAccess);
  b.dofTiles = createBuffer(kDepthOfFieldTileBytes, BufferType::Storage, nullptr, true, kResourceAllowUnorderedAccess);
  b.frameInput = createTexture(kWidth, kHeight, nullptr, kStateRenderTarget, kRgba16Float, kResourceAllowRenderTarget);
  std::vector<uint32_t> texels(256 * 64, 0x80FFFFFFu);
  b.text = createTexture(256, 64, texels.data(), kStatePixelShaderResource, kRgba8Unorm, 0);
}

void tearDown() {
  waitForGpuIdle();
  for (GpuBuffer** buffer : {&b.particles, &b.sphereBvh, &b.cameraData, &b.dofData, &b.dofSpiral, &b.dofTiles,
                             &b.finalData, &b.audioData, &b.audioFrames})
    releaseBuffer(*buffer);
  for (GpuTexture** t : {&b.colour, &b.velocity, &b.position, &b.normal, &b.depth, &b.history, &b.prevPosition,
                         &b.prevNormal, &b.m1Prev, &b.m2Prev, &b.prevDepth, &b.result, &b.m1, &b.m2, &b.filtered,
                         &b.frameInput, &b.text, &b.colourAndDepth})
    releaseTexture(*t);
  timer.release();
  destroyBarrierBatch(b.barriers);
  b.heap->heap->Release();
  b.targets->heap->Release();
  free(b.heap);
  free(b.targets);
  destroyDevice();
}

BENCHMARK(BM_AudioSynthesis)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_MusicReferenceCpu)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ParticleSimulation)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SceneRenderBruteForce)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_SceneRender)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_SphereBvhBuild)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_TemporalAccumulation)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_ATrousIteration)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_DepthOfFieldDirect)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_DepthOfField)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_FinalPass)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  setUp();
  benchmark::RunSpecifiedBenchmarks();
  tearDown();
  benchmark::Shutdown();
  return 0;
}
