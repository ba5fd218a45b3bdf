// Each shader pass at the 960 x 540 render size (the final pass into a 1920 x 1080 back buffer),
// timed with GPU timestamps around its commands on the graphics device (lavapipe on machines
// without a GPU). The scenes are the presentation's own: particles set up by the simulation
// shader. The music synthesis is also timed as the C++ reference on one CPU thread, and the
// ratio of the two is reported beside it.
#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "bench/gpu_timer.h"
#include "shader_blobs.h"
#include "shaders/ParticleConfig.h"
#include "support/reference/music.h"
#include "support/shader_dispatch.h"

namespace {

constexpr uint32_t kWidth = 960, kHeight = 540;

struct Bench {
  DescriptorAllocator* heap = nullptr;
  DescriptorAllocator* targets = nullptr;
  BarrierBatch barriers = {};
  GpuBuffer *particles = nullptr, *sphereBvh = nullptr, *cameraData = nullptr;
  GpuBuffer *dofData = nullptr, *dofSpiral = nullptr, *dofTiles = nullptr, *finalData = nullptr, *audioData = nullptr, *audioFrames = nullptr;
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

void simulate(uint32_t scene, uint32_t frame, uint32_t count) {
  SimulationData sim{{0, 0, 0}, scene, frame, 60000.0f, 16.0f};
  ParticleSceneData sceneValues{{0.11f, 0.11f, 0.18f}, count};
  GpuBuffer* simBuffer = createBuffer(sizeof(sim), Constant, &sim, false, 0);
  GpuBuffer* sceneBuffer = createBuffer(sizeof(sceneValues), Constant, &sceneValues, false, 0);
  std::vector<ComputeView> views = {bufferUav(*b.particles, 128, 104), cbv(*simBuffer), cbv(*sceneBuffer)};
  Pipeline* pipeline = createComputeFor({kParticleSimulationCS, kParticleSimulationCSSize}, views, {}, false);
  gfx::GraphicsCommandList* list = beginFrame();
  resetDescriptorAllocator(*b.heap);
  recordCompute(list, *pipeline, *b.heap, b.barriers, views, 1, 1, nullptr);  // one group: all particles
  endFrame();
  waitForGpuIdle();
  releasePipeline(pipeline);
  releaseBuffer(simBuffer);
  releaseBuffer(sceneBuffer);
}

constexpr uint32_t kSampleRate = 44100;
constexpr uint32_t kMusicFrames = 180 * kSampleRate;  // the whole piece, as the program renders it
double musicGpuSeconds = 0.0;  // mean of BM_AudioSynthesis, for the ratio below

void BM_AudioSynthesis(benchmark::State& state) {
  std::vector<ComputeView> views = {bufferUav(*b.audioFrames, kMusicFrames, 8), cbv(*b.audioData)};
  Pipeline* p = createComputeFor({kAudioProcessCS, kAudioProcessCSSize}, views, {}, false);
  // Shaders are compiled on their first dispatch: keep that out of the timed iterations.
  gfx::GraphicsCommandList* warmUp = beginFrame();
  resetDescriptorAllocator(*b.heap);
  recordCompute(warmUp, *p, *b.heap, b.barriers, views, 1, 1, nullptr);
  endFrame();
  waitForGpuIdle();
  musicGpuSeconds = timeFrames(state, [&](gfx::GraphicsCommandList* list) {
    recordCompute(list, *p, *b.heap, b.barriers, views, (kMusicFrames + 255) / 256, 1, nullptr);
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
  simulate(1, 3255, 128);
  SimulationData sim{{0, 0, 0}, 1, 3400, 60000.0f, 16.0f};
  ParticleSceneData sceneValues{{0.11f, 0.11f, 0.18f}, 128};
  GpuBuffer* simBuffer = createBuffer(sizeof(sim), Constant, &sim, false, 0);
  GpuBuffer* sceneBuffer = createBuffer(sizeof(sceneValues), Constant, &sceneValues, false, 0);
  std::vector<ComputeView> views = {bufferUav(*b.particles, 128, 104), cbv(*simBuffer), cbv(*sceneBuffer)};
  Pipeline* p = createComputeFor({kParticleSimulationCS, kParticleSimulationCSSize}, views, {}, false);
  timeFrames(state, [&](gfx::GraphicsCommandList* list) {
    recordCompute(list, *p, *b.heap, b.barriers, views, 1, 1, nullptr);
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
  else simulate(1, 3255, 128);
  SimulationData sim{{0, 0, 0}, scene, scene == 0 ? 2000u : 3400u, 60000.0f, 16.0f};
  ParticleSceneData sceneValues{{0.11f, 0.11f, 0.18f}, scene == 0 ? 64u : 128u};
  return {createBuffer(sizeof(sim), Constant, &sim, false, 0),
          createBuffer(sizeof(sceneValues), Constant, &sceneValues, false, 0)};
}

std::vector<ComputeView> bvhBuildViews(const SceneSetUp& s) {
  return {particleSrv(*b.particles), bufferUav(*b.sphereBvh, kSphereBvhRecords, kSphereBvhRecordBytes), cbv(*s.sceneBuffer)};
}

void buildHierarchy(const SceneSetUp& s) {
  std::vector<ComputeView> views = bvhBuildViews(s);
  Pipeline* pipeline = createComputeFor({kSphereBvhBuildCS, kSphereBvhBuildCSSize}, views, {}, false);
  gfx::GraphicsCommandList* list = beginFrame();
  resetDescriptorAllocator(*b.heap);
  recordCompute(list, *pipeline, *b.heap, b.barriers, views, 1, 1, nullptr);
  endFrame();
  waitForGpuIdle();
  releasePipeline(pipeline);
}

void releaseScene(SceneSetUp& s) {
  releaseBuffer(s.simBuffer);
  releaseBuffer(s.sceneBuffer);
}

// Mean seconds of the scene pass per scene, for the ratios the later benchmarks report.
double bruteForceSeconds[2] = {0.0, 0.0};
double sceneSeconds[2] = {0.0, 0.0};

double timeScenePass(benchmark::State& state, ShaderBytecode shader) {
  uint32_t scene = uint32_t(state.range(0));
  SceneSetUp s = setUpScene(scene);
  buildHierarchy(s);
  std::vector<ComputeView> views = {particleSrv(*b.particles),
                                    textureUav(*b.colour, kRgba16Float),
                                    textureUav(*b.velocity, kRgba32Float),
                                    textureUav(*b.position, kRgba32Float),
                                    textureUav(*b.normal, kRgba32Float),
                                    textureUav(*b.depth, kR32Float),
                                    cbv(*b.cameraData),
                                    cbv(*s.sceneBuffer),
                                    cbv(*s.simBuffer),
                                    cbv(*b.sphereBvh)};
  Pipeline* p = createComputeFor(shader, views, {}, false);
  double seconds = timeFrames(state, [&](gfx::GraphicsCommandList* list) {
    recordCompute(list, *p, *b.heap, b.barriers, views, (kWidth + 31) / 32, (kHeight + 31) / 32, nullptr);
  });
  releasePipeline(p);
  releaseScene(s);
  return seconds;
}

// Scene 0 (four spheres, one of glass) or scene 1 (a hundred spheres), four samples per pixel,
// testing every particle for each ray.
void BM_SceneRenderBruteForce(benchmark::State& state) {
  bruteForceSeconds[state.range(0)] = timeScenePass(state, {kSceneRenderBruteForceCS, kSceneRenderBruteForceCSSize});
}

// The same through the hierarchy, as the program renders. "speedup" is the brute-force time
// over this one (from BM_SceneRenderBruteForce of the same run).
void BM_SceneRender(benchmark::State& state) {
  double seconds = timeScenePass(state, {kSceneRenderCS, kSceneRenderCSSize});
  sceneSeconds[state.range(0)] = seconds;
  if (seconds > 0.0 && bruteForceSeconds[state.range(0)] > 0.0)
    state.counters["speedup"] = bruteForceSeconds[state.range(0)] / seconds;
}

// The hierarchy's build for the scene. "share_of_scene" is its time over BM_SceneRender's.
void BM_SphereBvhBuild(benchmark::State& state) {
  SceneSetUp s = setUpScene(uint32_t(state.range(0)));
  std::vector<ComputeView> views = bvhBuildViews(s);
  Pipeline* p = createComputeFor({kSphereBvhBuildCS, kSphereBvhBuildCSSize}, views, {}, false);
  double seconds = timeFrames(state, [&](gfx::GraphicsCommandList* list) {
    recordCompute(list, *p, *b.heap, b.barriers, views, 1, 1, nullptr);
  });
  if (seconds > 0.0 && sceneSeconds[state.range(0)] > 0.0)
    state.counters["share_of_scene"] = seconds / sceneSeconds[state.range(0)];
  releasePipeline(p);
  releaseScene(s);
}

void BM_TemporalAccumulation(benchmark::State& state) {
  std::vector<ComputeView> views = {
      textureSrv(*b.colour, kRgba16Float),      textureSrv(*b.velocity, kRgba32Float),
      textureSrv(*b.history, kRgba16Float),     textureSrv(*b.position, kRgba32Float),
      textureSrv(*b.normal, kRgba32Float),      textureSrv(*b.prevPosition, kRgba32Float),
      textureSrv(*b.prevNormal, kRgba32Float),  textureSrv(*b.m1Prev, kR32Float),
      textureSrv(*b.m2Prev, kR32Float),         textureSrv(*b.depth, kR32Float),
      textureSrv(*b.prevDepth, kR32Float),      textureUav(*b.result, kRgba16Float),
      textureUav(*b.m1, kR32Float),             textureUav(*b.m2, kR32Float),
      cbv(*b.cameraData)};
  Pipeline* p = createComputeFor({kTemporalAccumulationCS, kTemporalAccumulationCSSize}, views,
                                 {{kFilterLinear, 0}, {kFilterPoint, 1}}, false);
  timeFrames(state, [&](gfx::GraphicsCommandList* list) {
    recordCompute(list, *p, *b.heap, b.barriers, views, (kWidth + 31) / 32, (kHeight + 31) / 32, nullptr);
  });
  releasePipeline(p);
}

void BM_ATrousIteration(benchmark::State& state) {
  std::vector<ComputeView> views = {textureSrv(*b.result, kRgba16Float), textureSrv(*b.normal, kRgba32Float),
                                    textureSrv(*b.m1, kR32Float),        textureSrv(*b.m2, kR32Float),
                                    textureSrv(*b.depth, kR32Float),     textureUav(*b.filtered, kRgba16Float)};
  Pipeline* p = createComputeFor({kATrousFilterCS, kATrousFilterCSSize}, views, {}, true);
  ATrousConstants constants{2, {float(kWidth), float(kHeight), 1}};
  timeFrames(state, [&](gfx::GraphicsCommandList* list) {
    recordCompute(list, *p, *b.heap, b.barriers, views, (kWidth + 31) / 32, (kHeight + 31) / 32, &constants);
  });
  releasePipeline(p);
}

double depthOfFieldDirectSeconds = 0.0;

// The depth of field as first written: every pixel walks the spiral itself.
void BM_DepthOfFieldDirect(benchmark::State& state) {
  FullscreenPass pass;
  buildFullscreenFor(pass, {kDepthOfFieldDirectPS, kDepthOfFieldDirectPSSize}, 2, 1, kFilterLinear, kRgba16Float);
  DynamicArray<PassBinding> bindings;
  bindings.push(sampledTextureBinding(*b.depth, kR32Float));
  bindings.push(sampledTextureBinding(*b.filtered, kRgba16Float));
  bindings.push(constantBufferBinding(*b.dofData));
  depthOfFieldDirectSeconds = timeFrames(state, [&](gfx::GraphicsCommandList* list) {
    recordFullscreen(list, pass, *b.heap, *b.targets, b.barriers, bindings, b.frameInput->resource, kRgba16Float,
                     kWidth, kHeight);
  });
  bindings.clear();
  destroyFullscreenPass(pass);
}

// As the program records it: the preparation (picture with depth, the spiral), then the blur.
// "speedup" is BM_DepthOfFieldDirect's time over this one's.
void BM_DepthOfField(benchmark::State& state) {
  std::vector<ComputeView> views = {textureSrv(*b.depth, kR32Float), textureSrv(*b.filtered, kRgba16Float),
                                    textureUav(*b.colourAndDepth, kRgba32Float),
                                    bufferUav(*b.dofSpiral, kDepthOfFieldSpiralBytes / 16, 16),
                                    bufferUav(*b.dofTiles, kDepthOfFieldTileBytes / 16, 16), cbv(*b.dofData)};
  Pipeline* prepare = createComputeFor({kDepthOfFieldPrepareCS, kDepthOfFieldPrepareCSSize}, views, {}, false);
  FullscreenPass pass;
  buildFullscreenFor(pass, {kDepthOfFieldPS, kDepthOfFieldPSSize}, 3, 3, kFilterLinear, kRgba16Float);
  DynamicArray<PassBinding> bindings;
  bindings.push(sampledTextureBinding(*b.depth, kR32Float));
  bindings.push(sampledTextureBinding(*b.filtered, kRgba16Float));
  bindings.push(sampledTextureBinding(*b.colourAndDepth, kRgba32Float));
  bindings.push(constantBufferBinding(*b.dofData));
  bindings.push(constantBufferBinding(*b.dofSpiral));
  bindings.push(constantBufferBinding(*b.dofTiles));
  double seconds = timeFrames(state, [&](gfx::GraphicsCommandList* list) {
    recordCompute(list, *prepare, *b.heap, b.barriers, views, kWidth / 32, kHeight / 32 + 1, nullptr);
    recordFullscreen(list, pass, *b.heap, *b.targets, b.barriers, bindings, b.frameInput->resource, kRgba16Float,
                     kWidth, kHeight);
  });
  if (seconds > 0.0 && depthOfFieldDirectSeconds > 0.0) state.counters["speedup"] = depthOfFieldDirectSeconds / seconds;
  bindings.clear();
  destroyFullscreenPass(pass);
  releasePipeline(prepare);
}

void BM_FinalPass(benchmark::State& state) {
  FullscreenPass pass;
  buildFullscreenFor(pass, {kTransferToBackbufferPS, kTransferToBackbufferPSSize}, 2, 1, kFilterLinear, kRgba8Unorm);
  DynamicArray<PassBinding> bindings;
  bindings.push(sampledTextureBinding(*b.frameInput, kRgba16Float));
  bindings.push(sampledTextureBinding(*b.text, kRgba8Unorm));
  bindings.push(constantBufferBinding(*b.finalData));
  timeFrames(state, [&](gfx::GraphicsCommandList* list) {
    TrackedResource& backBuffer = currentBackBuffer().resource;
    recordFullscreen(list, pass, *b.heap, *b.targets, b.barriers, bindings, backBuffer, kRgba8Unorm, 1920, 1080);
    requestTransition(b.barriers, backBuffer, kStatePresent);
    flush(b.barriers, list);
  });
  bindings.clear();
  destroyFullscreenPass(pass);
}

void setUp() {
  createOffscreenDevice(1920, 1080);
  b.heap = createDescriptorAllocator(kDescriptorHeapCbvSrvUav, 128, kDescriptorHeapShaderVisible);
  b.targets = createDescriptorAllocator(kDescriptorHeapRtv, 2, 0);
  b.particles = createBuffer(128 * sizeof(ParticleData), Storage, nullptr, true, kResourceAllowUnorderedAccess);
  b.sphereBvh = createBuffer(kSphereBvhRecords * kSphereBvhRecordBytes, Storage, nullptr, true, kResourceAllowUnorderedAccess);
  b.audioFrames = createBuffer(180ull * 44100 * 8, Storage, nullptr, true, kResourceAllowUnorderedAccess);
  AudioData audio{180.0f, 44100};
  b.audioData = createBuffer(sizeof(audio), Constant, &audio, false, 0);
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
  b.cameraData = createBuffer(sizeof(camera), Constant, &camera, false, 0);
  DepthOfFieldData dof{{float(kWidth), float(kHeight)}, 22.0f, 1.0f, 1.0f, 20.0f, 1000.0f};
  b.dofData = createBuffer(sizeof(dof), Constant, &dof, false, 0);
  FinalPassData final{{float(kWidth), float(kHeight)}, {1920, 1080}, 0, 1, TonemapFunction::WHITE_PRESERVING_LUMA_BASED_REINHARD, 1, 1650};
  b.finalData = createBuffer(sizeof(final), Constant, &final, false, 0);
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
  b.dofSpiral = createBuffer(kDepthOfFieldSpiralBytes, Storage, nullptr, true, kResourceAllowUnorderedAccess);
  b.dofTiles = createBuffer(kDepthOfFieldTileBytes, Storage, nullptr, true, kResourceAllowUnorderedAccess);
  b.frameInput = createTexture(kWidth, kHeight, nullptr, kStateRenderTarget, kRgba16Float, kResourceAllowRenderTarget);
  std::vector<uint32_t> texels(256 * 64, 0x80FFFFFFu);
  b.text = createTexture(256, 64, texels.data(), kStatePixelShaderResource, kRgba8Unorm, 0);
}

void tearDown() {
  waitForGpuIdle();
  for (GpuBuffer** buffer : {&b.particles, &b.sphereBvh, &b.cameraData, &b.dofData, &b.dofSpiral, &b.dofTiles, &b.finalData,
                             &b.audioData, &b.audioFrames})
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
