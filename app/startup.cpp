// Start-up: every object of the presentation, created in one fixed order, with the
// scene parameters applied before the first frame.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "app/presentation.h"
#include "audio/audio_renderer.h"
#include "code/tarnix_timeline.json.h"
#include "gpu/render_app.h"
#include "platform/window.h"
#include "shader_blobs.h"
#include "text/text_bitmap.h"
#include "text/text_texture.h"
#include "timeline/loader.h"
#include "timeline/writer.h"

namespace {

constexpr float kFrameCountExact = 10843.373f;
constexpr float kCameraSpeed = 0.15f;

ShaderBytecode bytecode(const unsigned char* bytes, size_t size) { return {bytes, size}; }

// Round half away from zero, then to an integer: 10843 frames.
uint32_t timelineFrameCount() { return uint32_t(std::lround(kFrameCountExact)); }

Pipeline* buildComputePipeline(RootSignatureBuilder& builder, ShaderBytecode shader) {
  ComputePipelineDesc desc;
  desc.builder = builder;
  desc.computeShader = shader;
  Pipeline* pipeline = createComputePipeline(desc);
  destroyRootSignatureBuilder(builder);
  if (pipeline == nullptr) PANIC("Failed to create compute pipeline\n");
  return pipeline;
}

RootSignatureBuilder emptyBuilder() {
  RootSignatureBuilder builder;
  memset(static_cast<void*>(&builder), 0, sizeof(builder));
  return builder;
}

GpuTexture* createUavTexture(uint32_t width, uint32_t height, uint32_t format) {
  return createTexture(width, height, nullptr, kStateUnorderedAccess, format,
                       kResourceAllowUnorderedAccess);
}

// A full-screen pass with one table of two textures and a constant buffer, one static
// sampler s0 (linear, with the given addressing) and one render target.
void buildTexturePass(FullscreenPass& pass, ShaderBytecode pixelShader, uint32_t textures,
                      uint32_t constantBuffers, uint32_t addressMode, uint32_t renderTargetFormat) {
  memset(static_cast<void*>(&pass), 0, sizeof(pass));
  pass.pixelShader = pixelShader;
  pass.builder = emptyBuilder();
  addTable(pass.builder,
           makeRangeList2(makeRange(kRangeSrv, textures), makeRange(kRangeCbv, constantBuffers)),
           kVisibilityPixel);
  addStaticSampler(pass.builder, gfx::FILTER_MIN_MAG_MIP_LINEAR, addressMode, 0, kVisibilityPixel);
  pass.renderTargetFormats.push(renderTargetFormat);
  pass.depthStencilFormat = gfx::FORMAT_UNKNOWN;
  buildFullscreenPass(pass, bytecode(kRenderToScreenVS, kRenderToScreenVSSize));
  if (pass.pipeline == nullptr) PANIC("Failed to create graphics pipeline\n");
}

// Every SceneParams field but sceneId into its destination.
void applySceneParams(Presentation& p) {
  const SceneParams& s = p.sceneParams;
  p.particleScene.data.numParticles = s.numParticles;
  copyIntoField(p.particleScene.data.backgroundColor, s.backgroundColor);
  p.timeScale = s.timeScale;
  p.camera.position = s.cameraPosition;
  p.camera.yaw = s.cameraDirection.x;
  p.camera.pitch = s.cameraDirection.y;
  p.camera.roll = s.cameraDirection.z;
  p.finalPass.data.brightness = s.brightness;
  p.depthOfField.data.focusScale = s.focusScale;
  p.depthOfField.data.focusPoint = s.focusPoint;
  p.depthOfField.data.radiusScale = s.radiusScale;
  p.depthOfField.data.blurSize = s.blurSize;
  p.depthOfField.data.maxDist = s.maxDist;
  p.constants.data.blendFactor = s.blendFactor;
  p.constants.data.depthThreshold = s.depthThreshold;
  p.constants.data.normalThreshold = s.normalThreshold;
  p.constants.data.standardDeviation = s.standardDeviation;
  p.constants.data.velocityScale = s.velocityScale;
  p.atrousSteps = s.atrousSteps;
  p.constants.data.sampleCount = s.sampleCount;
  p.finalPass.data.tonemapping = s.tonemapping;
  makeIdentity(p.camera.projection);
  makeCameraProjection(p.camera.projection, s.fovDegrees);
}

// The loader reads up to and including a terminating zero, so the text is
// handed over from a zero-filled copy one byte longer than the text with its NUL.
void loadStartupTimeline(Presentation& p) {
  const char* text = p.options.timelineText != nullptr ? p.options.timelineText : TIMELINE_JSON_DATA;
  uint32_t length = p.options.timelineText != nullptr ? p.options.timelineLength
                                                       : uint32_t(sizeof(TIMELINE_JSON_DATA));
  char* copy = static_cast<char*>(calloc(size_t(length) + 1, 1));
  ASSERT(copy != nullptr, "Out of memory for the timeline text\n");
  memcpy(copy, text, length);
  loadTimeline(p.timeline, copy, length);
  free(copy);
}

void bindTimeline(Presentation& p) {
  TimelineDestinations& d = p.destinations;
  d.particleScene = &p.particleScene.data;
  d.simulation = &p.simulation.data;
  d.timeScale = &p.timeScale;
  d.camera = &p.camera;
  d.finalPass = &p.finalPass.data;
  d.projection = &p.camera.projection;
  d.depthOfField = &p.depthOfField.data;
  d.constants = &p.constants.data;
  d.atrousSteps = &p.atrousSteps;
}

// Once, before anything is drawn: a CPU device shows a picture every second or so at the
// render sizes of the two programs.
void sayWhenDrawingOnTheCpu() {
  if ((renderApp.adapter->GetFlags() & gfx::ADAPTER_FLAG_SOFTWARE) == 0) return;
  char name[256] = "";
  renderApp.adapter->GetDescription(name, sizeof(name));
  printMessage("tarnix: drawing on the CPU (%s), not a GPU: expect about a picture a second; "
               "a smaller --render-size gives a smoother one\n", name);
}

}  // namespace

void startPresentation(Presentation& p, const PresentationOptions& options) {
  memset(static_cast<void*>(&p), 0, sizeof(p));
  p.options = options;
  const uint32_t W = options.renderWidth, H = options.renderHeight;
  ASSERT(W >= 32 && W % 32 == 0 && H > 0,
         "Render size %ux%u: the width must be a positive multiple of 32\n", W, H);

  // The device: on a full-screen window, or offscreen.
  if (options.offscreen)
    createOffscreenDevice(options.outputWidth ? options.outputWidth : W,
                          options.outputHeight ? options.outputHeight : H);
  else if (options.windowed)
    createWindowAndDevice(options.windowWidth, options.windowHeight, true);
  else
    createWindowAndDevice();
  if (!options.offscreen) sayWhenDrawingOnTheCpu();
  // The scene's starting values.
  p.sceneParams = SceneParams{};
  const SceneParams& s = p.sceneParams;
  // An empty timeline of the presentation's length.
  p.frameCount = timelineFrameCount();
  p.timeline = createTimeline(p.frameCount);
  // The music renderer on the sound device.
  p.audio = AudioRenderer::create(options.waveOut != nullptr ? options.waveOut : systemWaveOutApi());
  p.audio->streamer.silent = options.noSound;  // the device then stays closed
  // The title text texture. A failed text image leaves a transparent 1x1 texture: the
  // final pass samples it every frame.
  bool textDrawn = renderTextBitmap(p.textPixels, p.textWidth, p.textHeight);
  p.extraTexture = createTextTexture(textDrawn, p.textPixels, p.textWidth, p.textHeight);
  // The camera at its starting position and direction.
  initCamera(p.camera, s.cameraPosition);
  p.camera.yaw = s.cameraDirection.x;
  p.camera.pitch = s.cameraDirection.y;
  p.camera.roll = s.cameraDirection.z;
  p.camera.speed = kCameraSpeed;
  // The particle scene's constants.
  createConstantBlock(p.particleScene);
  p.particleScene.data.numParticles = s.numParticles;
  copyIntoField(p.particleScene.data.backgroundColor, s.backgroundColor);
  // The particle buffer.
  p.particleBuffer = createBuffer(kParticleCapacity * kParticleStride, Storage, nullptr, true,
                                  kResourceAllowUnorderedAccess);
  // The per-frame descriptor heaps.
  for (DescriptorAllocator*& heap : p.frameHeaps)
    heap = createDescriptorAllocator(kDescriptorHeapCbvSrvUav, kFrameHeapDescriptors,
                                     kDescriptorHeapShaderVisible);
  // The particle simulation's pipeline.
  {
    RootSignatureBuilder b = emptyBuilder();
    addTable(b, makeRangeList2(makeRange(kRangeUav, 1), makeRange(kRangeCbv, 2)), kVisibilityAll);
    p.particleSimulationPipeline =
        buildComputePipeline(b, bytecode(kParticleSimulationCS, kParticleSimulationCSSize));
  }
  // The simulation's constants; the particle buffer's name.
  createConstantBlock(p.simulation);
  p.particleBuffer->resource.resource->SetName(L"ParticleBuffer");
  // The hierarchy of the visible spheres that the scene pass walks.
  p.sphereBvhBuffer = createBuffer(kSphereBvhRecords * kSphereBvhRecordBytes, Storage, nullptr, true,
                                   kResourceAllowUnorderedAccess);
  p.sphereBvhBuffer->resource.resource->SetName(L"SphereBvhBuffer");
  {
    RootSignatureBuilder b = emptyBuilder();
    addTable(b,
             makeRangeList3(makeRange(kRangeSrv, 1), makeRange(kRangeUav, 1), makeRange(kRangeCbv, 1)),
             kVisibilityAll);
    p.sphereBvhPipeline = buildComputePipeline(b, bytecode(kSphereBvhBuildCS, kSphereBvhBuildCSSize));
  }
  // The scene render's pipeline.
  {
    RootSignatureBuilder b = emptyBuilder();
    addTable(b,
             makeRangeList3(makeRange(kRangeSrv, 1), makeRange(kRangeUav, 5), makeRange(kRangeCbv, 4)),
             kVisibilityAll);
    p.scenePipeline = options.bruteForceScene
                          ? buildComputePipeline(b, bytecode(kSceneRenderBruteForceCS, kSceneRenderBruteForceCSSize))
                          : buildComputePipeline(b, bytecode(kSceneRenderCS, kSceneRenderCSSize));
  }
  // The scene render's output, velocity, position and normal textures.
  FrameTextures& t = p.textures;
  t.outputTexture = createUavTexture(W, H, gfx::FORMAT_R16G16B16A16_FLOAT);
  t.velocityBuffer = createUavTexture(W, H, gfx::FORMAT_R32G32B32A32_FLOAT);
  t.positionBuffer = createUavTexture(W, H, gfx::FORMAT_R32G32B32A32_FLOAT);
  t.normalBuffer = createUavTexture(W, H, gfx::FORMAT_R32G32B32A32_FLOAT);
  // The frame constants, the barrier batch and the camera's projection.
  createConstantBlock(p.constants);
  memset(static_cast<void*>(&p.barriers), 0, sizeof(p.barriers));
  makeIdentity(p.camera.projection);
  makeCameraProjection(p.camera.projection, s.fovDegrees);
  // The frame constants' starting values.
  ConstantBufferData& c = p.constants.data;
  c.resolution = {float(W), float(H), 1.0f};
  c.time = 0.0f;
  writeCameraConstants(p.camera, c);
  keepCameraConstantsAsPrevious(c);
  c.frame = 0.0f;
  c.sampleCount = s.sampleCount;
  c.blendFactor = s.blendFactor;
  c.depthThreshold = s.depthThreshold;
  c.normalThreshold = s.normalThreshold;
  c.standardDeviation = s.standardDeviation;
  c.velocityScale = s.velocityScale;
  // The render-target view heap.
  p.targetViewHeap = createDescriptorAllocator(kDescriptorHeapRtv, 2, 0);
  // The temporal accumulation's history, depth and result textures.
  t.PrevPositionBuffer = createUavTexture(W, H, gfx::FORMAT_R32G32B32A32_FLOAT);
  t.PrevNormalBuffer = createUavTexture(W, H, gfx::FORMAT_R32G32B32A32_FLOAT);
  t.HistoryM1Out = createUavTexture(W, H, gfx::FORMAT_R32_FLOAT);
  t.HistoryM2Out = createUavTexture(W, H, gfx::FORMAT_R32_FLOAT);
  t.HistoryM1Prev = createUavTexture(W, H, gfx::FORMAT_R32_FLOAT);
  t.HistoryM2Prev = createUavTexture(W, H, gfx::FORMAT_R32_FLOAT);
  t.depthBuffer = createUavTexture(W, H, gfx::FORMAT_R32_FLOAT);
  t.PrevDepthBuffer = createUavTexture(W, H, gfx::FORMAT_R32_FLOAT);
  t.HistoryBuffer = createTexture(W, H, nullptr, kStateNonPixelShaderResource,
                                  gfx::FORMAT_R16G16B16A16_FLOAT, 0);
  t.ResultTexture = createUavTexture(W, H, gfx::FORMAT_R16G16B16A16_FLOAT);
  // The temporal accumulation's and the a-trous filter's pipelines.
  {
    RootSignatureBuilder b = emptyBuilder();
    addTable(b,
             makeRangeList3(makeRange(kRangeSrv, 11), makeRange(kRangeUav, 3), makeRange(kRangeCbv, 1)),
             kVisibilityAll);
    addStaticSampler(b, gfx::FILTER_MIN_MAG_MIP_LINEAR, gfx::TEXTURE_ADDRESS_MODE_CLAMP, 0,
                     kVisibilityAll);
    addStaticSampler(b, gfx::FILTER_MIN_MAG_MIP_POINT, gfx::TEXTURE_ADDRESS_MODE_CLAMP, 1,
                     kVisibilityAll);
    p.temporalPipeline =
        buildComputePipeline(b, bytecode(kTemporalAccumulationCS, kTemporalAccumulationCSSize));
  }
  {
    RootSignatureBuilder b = emptyBuilder();
    addTable(b, makeRangeList2(makeRange(kRangeSrv, 5), makeRange(kRangeUav, 1)), kVisibilityAll);
    addConstants(b);
    p.atrousPipeline = buildComputePipeline(b, bytecode(kATrousFilterCS, kATrousFilterCSSize));
  }
  // The depth-of-field pass,
  buildTexturePass(p.depthOfFieldPass, bytecode(kDepthOfFieldPS, kDepthOfFieldPSSize), 3, 3,
                   gfx::TEXTURE_ADDRESS_MODE_CLAMP, gfx::FORMAT_R16G16B16A16_FLOAT);
  // what prepares its input each frame,
  {
    RootSignatureBuilder b = emptyBuilder();
    addTable(b,
             makeRangeList3(makeRange(kRangeSrv, 2), makeRange(kRangeUav, 3), makeRange(kRangeCbv, 1)),
             kVisibilityAll);
    p.depthOfFieldPreparePipeline =
        buildComputePipeline(b, bytecode(kDepthOfFieldPrepareCS, kDepthOfFieldPrepareCSSize));
  }
  t.colourAndDepth = createUavTexture(W, H, gfx::FORMAT_R32G32B32A32_FLOAT);
  p.depthOfFieldSpiral = createBuffer(kDepthOfFieldSpiralBytes, Storage, nullptr, true,
                                      kResourceAllowUnorderedAccess);
  p.depthOfFieldTiles = createBuffer(kDepthOfFieldTileBytes, Storage, nullptr, true,
                                     kResourceAllowUnorderedAccess);
  // its constants,
  createConstantBlock(p.depthOfField);
  DepthOfFieldData& dof = p.depthOfField.data;
  dof.focusScale = s.focusScale;
  dof.focusPoint = s.focusPoint;
  dof.radiusScale = s.radiusScale;
  dof.blurSize = s.blurSize;
  dof.maxDist = s.maxDist;
  dof.resolution = {c.resolution.x, c.resolution.y};
  // and its render target, the final pass's input.
  t.frameInput = createTexture(W, H, nullptr, kStateRenderTarget, gfx::FORMAT_R16G16B16A16_FLOAT,
                               kResourceAllowRenderTarget);
  // The final pass onto the back buffer,
  buildTexturePass(p.finalPassPass, bytecode(kTransferToBackbufferPS, kTransferToBackbufferPSSize),
                   2, 1, gfx::TEXTURE_ADDRESS_MODE_BORDER, gfx::FORMAT_R8G8B8A8_UNORM);
  // and its constants.
  createConstantBlock(p.finalPass);
  FinalPassData& f = p.finalPass.data;
  f.resolution = {float(W), float(H)};
  f.nativeResolution = {float(renderApp.width), float(renderApp.height)};
  f.time = 0.0f;
  f.brightness = s.brightness;
  f.tonemapping = s.tonemapping;
  f.showExtraTexture = 1;
  f.frame = 0;
  // The a-trous step count, time scale and frame duration before the first frame.
  p.atrousSteps = 2;
  p.timeScale = s.timeScale;
  p.previousFrameDurationMs = 0.0;
  // The scene's values into their destinations, and the timeline bound to them.
  applySceneParams(p);
  bindTimeline(p);
  // The timeline text loaded (the embedded one unless the options give another).
  loadStartupTimeline(p);
  // The cursor hidden (an offscreen run has no window and no cursor).
  if (renderApp.window != nullptr) windowShowCursor(false);
  // Default tracks when the text held none.
  if (p.timeline->tracks.count == 0) addDefaultTracks(p.timeline, s);
  // From here on a PANIC writes the timeline out.
  RenderApp::setFatalHandler(saveTimelineFatalHook, &p.timeline);
  // Start the music (nothing plays while it is still to be synthesised: the first
  // rendered frame starts it then) and the simulation at frame 0.
  p.audio->play();
  p.simulation.data.frame = 0;
  p.simulation.data.time = 0.0f;
  p.running = true;
}
