// Start-up and shutdown. Every object of the presentation is made by one stage, and the
// stage's release stands next to it: start-up runs the stages in their fixed order, the
// shutdown runs their releases in the reverse order. The starting values are applied once,
// from the parameter table, after everything exists.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <span>

#include "app/frame_passes.h"
#include "app/frame_pipeline.h"
#include "app/presentation.h"
#include "app/timeline_file.h"
#include "audio/audio_renderer.h"
#include "audio/music_synthesis_pass.h"
#include "code/tarnix_timeline.json.h"
#include "gpu/device_requirements.h"
#include "gpu/render_app.h"
#include "platform/window.h"
#include "shader_blobs.h"
#include "text/text_bitmap.h"
#include "text/text_texture.h"
#include "timeline/loader.h"
#include "timeline/writer.h"

namespace {

constexpr float kCameraSpeed = 0.15f;

// A CPU device shows about a picture a second at the programs' own sizes. Unless a size was
// given, the presentation starts at the smallest size of the ladder and the frame loop chooses
// one for the machine (app/render_size_choice.h), which it says then; a size given is said now.
void fitRenderSizeToTheDevice(Presentation& p) {
  if (!deviceIsCpu()) return;
  PresentationOptions& o = p.options;
  if (!o.chooseRenderSize) {
    printMessage("tarnix: drawing on the CPU (%s), not a GPU, at %ux%u\n", deviceName().c_str(), o.renderWidth,
                 o.renderHeight);
    return;
  }
  p.choosingRenderSize = true;
  p.sizeChoice = startRenderSizeChoice({o.renderWidth, o.renderHeight});
  const RenderSize first = p.sizeChoice.ladder[p.sizeChoice.rung];
  o.renderWidth = first.width;
  o.renderHeight = first.height;
}

// The device: on a full-screen window, a framed one, or offscreen. destroyDevice, the last
// release of the shutdown, takes it down.
void createDevice(Presentation& p) {
  // A copy: the size chosen for a CPU device changes p.options.
  const PresentationOptions o = p.options;
  DeviceChoice choice;
  choice.requirements = presentationDeviceRequirements(o);
  choice.device = o.device;
  if (o.offscreen)
    createOffscreenDevice(o.outputWidth ? o.outputWidth : o.renderWidth,
                          o.outputHeight ? o.outputHeight : o.renderHeight, choice);
  else if (o.windowed)
    createWindowAndDevice(o.windowWidth, o.windowHeight, true, choice);
  else
    createWindowAndDevice(choice);
  if (!o.offscreen) fitRenderSizeToTheDevice(p);
  p.sceneParams = SceneParams{};
}
void destroyDeviceAndBatch(Presentation& p) {
  destroyDevice();
  destroyBarrierBatch(p.barriers);
}

// An empty timeline of the presentation's length; loaded at the end of start-up. While it
// exists a PANIC writes it out, so the fatal handler goes with it.
void createEmptyTimeline(Presentation& p) {
  p.frameCount = timelineFrameCount();
  p.timeline = createTimeline(p.frameCount);
}
void destroyTimelineAndHandler(Presentation& p) {
  RenderApp::setFatalHandler(nullptr, nullptr);
  destroyTimeline(p.timeline);
  p.timeline = nullptr;
}

// The music renderer on the sound device (none: the device stays closed).
void createMusic(Presentation& p) {
  p.audio = AudioRenderer::create(p.options.waveOut != nullptr ? p.options.waveOut : systemWaveOutApi());
  p.audio->streamer.silent = p.options.noSound;
}
void destroyMusic(Presentation& p) { AudioRenderer::shutdown(p.audio); }

// The title text texture. A failed text image leaves a transparent 1x1 texture: the final
// pass samples it every frame.
void createTitle(Presentation& p) {
  bool textDrawn = renderTextBitmap(p.textPixels, p.textWidth, p.textHeight);
  p.extraTexture = createTextTexture(textDrawn, p.textPixels, p.textWidth, p.textHeight);
  p.titleTexels = textDrawn ? coveredTexels(p.textPixels.items, p.textWidth, p.textHeight) : gfx::Rect{};
}
void destroyTitle(Presentation& p) {
  releaseTexture(p.extraTexture);
  p.textPixels.clear();
}

// The camera; its position, angles and projection are starting values.
void createCamera(Presentation& p) {
  initCamera(p.camera, p.sceneParams.cameraPosition);
  p.camera.speed = kCameraSpeed;
}

void createParticleSceneBlock(Presentation& p) { createConstantBlock(p.particleScene); }
void destroyParticleSceneBlock(Presentation& p) { destroyConstantBlock(p.particleScene); }

void createParticleBuffer(Presentation& p) {
  p.particleBuffer =
      createBuffer(kParticleCapacity * kParticleStride, BufferType::Storage, nullptr, true, kResourceAllowUnorderedAccess);
}
void destroyParticleBuffer(Presentation& p) { releaseBuffer(p.particleBuffer); }

// The heap goes through the deferred release, the allocator record is freed now.
void releaseDescriptorAllocator(DescriptorAllocator*& allocator) {
  if (allocator == nullptr) return;
  deferRelease(allocator->heap);
  free(allocator);
  allocator = nullptr;
}

void createFrameHeaps(Presentation& p) {
  for (DescriptorAllocator*& heap : p.frameHeaps)
    heap = createDescriptorAllocator(kDescriptorHeapCbvSrvUav, kFrameHeapDescriptors, kDescriptorHeapShaderVisible);
}
void destroyFrameHeaps(Presentation& p) {
  for (DescriptorAllocator*& heap : p.frameHeaps) releaseDescriptorAllocator(heap);
}

Pipeline* buildComputePipeline(const PassDescription& pass) {
  Pipeline* pipeline = createComputePass(pass);
  if (pipeline == nullptr) PANIC("Failed to create compute pipeline\n");
  return pipeline;
}

void createSimulationPipeline(Presentation& p) {
  p.particleSimulationPipeline = buildComputePipeline(kParticleSimulationPass);
}
void destroySimulationPipeline(Presentation& p) { releasePipeline(p.particleSimulationPipeline); }

// The simulation's constants, and the particle buffer's name.
void createSimulationBlock(Presentation& p) {
  createConstantBlock(p.simulation);
  p.particleBuffer->resource.resource->SetName(L"ParticleBuffer");
}
void destroySimulationBlock(Presentation& p) { destroyConstantBlock(p.simulation); }

// The hierarchy of the visible spheres that the scene pass walks.
void createSphereHierarchy(Presentation& p) {
  p.sphereBvhBuffer = createBuffer(kSphereBvhRecords * kSphereBvhRecordBytes, BufferType::Storage, nullptr, true,
                                   kResourceAllowUnorderedAccess);
  p.sphereBvhBuffer->resource.resource->SetName(L"SphereBvhBuffer");
  p.sphereBvhPipeline = buildComputePipeline(kSphereBvhBuildPass);
}
void destroySphereHierarchy(Presentation& p) {
  releasePipeline(p.sphereBvhPipeline);
  releaseBuffer(p.sphereBvhBuffer);
}

void createScenePipeline(Presentation& p) {
  p.scenePipeline = buildComputePipeline(p.options.bruteForceScene ? kSceneBruteForcePass : kScenePass);
#ifdef TARNIX_WEB
  p.depthFromVelocityPipeline = buildComputePipeline(kDepthFromVelocityPass);
#endif
}
void destroyScenePipeline(Presentation& p) {
  releasePipeline(p.depthFromVelocityPipeline);
  releasePipeline(p.scenePipeline);
}

// The frame's textures, all W x H, in the three groups start-up makes them in.
struct FrameTextureSpec {
  GpuTexture* FrameTextures::*texture;
  uint32_t format;
  uint32_t initialState;
  uint32_t flags;
};
constexpr uint32_t kRgba16 = gfx::FORMAT_R16G16B16A16_FLOAT, kRgba32 = gfx::FORMAT_R32G32B32A32_FLOAT,
                   kR32 = gfx::FORMAT_R32_FLOAT;
constexpr uint32_t kUav = kStateUnorderedAccess, kUavFlag = kResourceAllowUnorderedAccess;
constexpr FrameTextureSpec kSceneOutputs[] = {
    {&FrameTextures::outputTexture, kRgba16, kUav, kUavFlag},
    {&FrameTextures::velocityBuffer, kRgba32, kUav, kUavFlag},
    {&FrameTextures::positionBuffer, kRgba32, kUav, kUavFlag},
    {&FrameTextures::normalBuffer, kRgba32, kUav, kUavFlag},
};
constexpr FrameTextureSpec kHistoryTextures[] = {
    {&FrameTextures::PrevPositionBuffer, kRgba32, kUav, kUavFlag},
    {&FrameTextures::PrevNormalBuffer, kRgba32, kUav, kUavFlag},
    {&FrameTextures::HistoryM1Out, kR32, kUav, kUavFlag},
    {&FrameTextures::HistoryM2Out, kR32, kUav, kUavFlag},
    {&FrameTextures::HistoryM1Prev, kR32, kUav, kUavFlag},
    {&FrameTextures::HistoryM2Prev, kR32, kUav, kUavFlag},
    {&FrameTextures::depthBuffer, kR32, kUav, kUavFlag},
    {&FrameTextures::PrevDepthBuffer, kR32, kUav, kUavFlag},
    {&FrameTextures::HistoryBuffer, kRgba16, kStateNonPixelShaderResource, 0},
    {&FrameTextures::ResultTexture, kRgba16, kUav, kUavFlag},
};
constexpr FrameTextureSpec kDepthOfFieldInput[] = {
    {&FrameTextures::colourAndDepth, kRgba32, kUav, kUavFlag},
};
constexpr FrameTextureSpec kDepthOfFieldTarget[] = {
    {&FrameTextures::frameInput, kRgba16, kStateRenderTarget, kResourceAllowRenderTarget},
};
constexpr FrameTextureSpec kToneMapTarget[] = {
    {&FrameTextures::toneMapped, gfx::FORMAT_R8G8B8A8_UNORM, kUav, kUavFlag},
};

// Every group, in the order start-up makes them.
const std::span<const FrameTextureSpec> kFrameTextureGroups[] = {kSceneOutputs, kHistoryTextures, kDepthOfFieldInput,
                                                                 kDepthOfFieldTarget, kToneMapTarget};

void createFrameTextures(Presentation& p, std::span<const FrameTextureSpec> specs) {
  for (const FrameTextureSpec& spec : specs)
    p.textures.*spec.texture = createTexture(p.options.renderWidth, p.options.renderHeight, nullptr,
                                             spec.initialState, spec.format, spec.flags);
}
void releaseFrameTextures(Presentation& p, std::span<const FrameTextureSpec> specs) {
  for (size_t i = specs.size(); i-- > 0;) releaseTexture(p.textures.*specs[i].texture);
}

void createSceneOutputs(Presentation& p) { createFrameTextures(p, kSceneOutputs); }
void destroySceneOutputs(Presentation& p) { releaseFrameTextures(p, kSceneOutputs); }

// The frame constants and the frame loop's barrier batch (freed after the device).
void createFrameConstants(Presentation& p) {
  createConstantBlock(p.constants);
  memset(static_cast<void*>(&p.barriers), 0, sizeof(p.barriers));
}
void destroyFrameConstants(Presentation& p) { destroyConstantBlock(p.constants); }

void createTargetViewHeap(Presentation& p) { p.targetViewHeap = createDescriptorAllocator(kDescriptorHeapRtv, 2, 0); }
void destroyTargetViewHeap(Presentation& p) { releaseDescriptorAllocator(p.targetViewHeap); }

void createHistoryTextures(Presentation& p) { createFrameTextures(p, kHistoryTextures); }
void destroyHistoryTextures(Presentation& p) { releaseFrameTextures(p, kHistoryTextures); }

void createFilterPipelines(Presentation& p) {
  p.temporalPipeline = buildComputePipeline(kTemporalPass);
  p.atrousPipeline = buildComputePipeline(kAtrousPass);
}
void destroyFilterPipelines(Presentation& p) {
  releasePipeline(p.atrousPipeline);
  releasePipeline(p.temporalPipeline);
}

// A full-screen pass on the shared triangle's vertex shader, drawing into the description's
// format (renderTargetFormat 0) or another.
void buildPixelPass(FullscreenPass& pass, const PassDescription& description, uint32_t renderTargetFormat = 0) {
  buildFullscreenPass(pass, description, {kRenderToScreenVS, kRenderToScreenVSSize}, renderTargetFormat);
  if (pass.pipeline == nullptr) PANIC("Failed to create graphics pipeline\n");
}

void createDepthOfFieldPass(Presentation& p) { buildPixelPass(p.depthOfFieldPass, kDepthOfFieldPass); }
void destroyDepthOfFieldPass(Presentation& p) { destroyFullscreenPass(p.depthOfFieldPass); }

// What the depth of field prepares each frame: the picture with its depth, and the spiral's
// steps and the tiles' depth ranges (written as storage, read as constants).
void createDepthOfFieldPreparation(Presentation& p) {
  p.depthOfFieldPreparePipeline = buildComputePipeline(kDepthOfFieldPreparePass);
  createFrameTextures(p, kDepthOfFieldInput);
  p.depthOfFieldSpiral =
      createBuffer(kDepthOfFieldSpiralBytes, BufferType::Storage, nullptr, true, kResourceAllowUnorderedAccess);
  p.depthOfFieldTiles =
      createBuffer(kDepthOfFieldTileBytes, BufferType::Storage, nullptr, true, kResourceAllowUnorderedAccess);
}
void destroyDepthOfFieldPreparation(Presentation& p) {
  releaseBuffer(p.depthOfFieldTiles);
  releaseBuffer(p.depthOfFieldSpiral);
  releaseFrameTextures(p, kDepthOfFieldInput);
  releasePipeline(p.depthOfFieldPreparePipeline);
}

void createDepthOfFieldBlock(Presentation& p) { createConstantBlock(p.depthOfField); }
void destroyDepthOfFieldBlock(Presentation& p) { destroyConstantBlock(p.depthOfField); }

void createDepthOfFieldTarget(Presentation& p) { createFrameTextures(p, kDepthOfFieldTarget); }
void destroyDepthOfFieldTarget(Presentation& p) { releaseFrameTextures(p, kDepthOfFieldTarget); }

// The final pass, and the same in two for renders that are not the program's own size.
void createFinalPass(Presentation& p) {
  buildPixelPass(p.finalPassPass, kFinalPass, renderApp.backBufferFormat);
  p.toneMapPipeline = buildComputePipeline(kToneMapPass);
  createFrameTextures(p, kToneMapTarget);
  buildPixelPass(p.scaleToBackbufferPass, kScaleToBackbufferPass, renderApp.backBufferFormat);
}
void destroyFinalPass(Presentation& p) {
  destroyFullscreenPass(p.scaleToBackbufferPass);
  releaseFrameTextures(p, kToneMapTarget);
  releasePipeline(p.toneMapPipeline);
  destroyFullscreenPass(p.finalPassPass);
}

void createFinalBlock(Presentation& p) { createConstantBlock(p.finalPass); }
void destroyFinalBlock(Presentation& p) { destroyConstantBlock(p.finalPass); }

struct Stage {
  void (*create)(Presentation&);
  void (*release)(Presentation&);  // null: nothing to release
};

// The fixed start-up order.
constexpr Stage kStages[] = {
    {createDevice, destroyDeviceAndBatch},
    {createEmptyTimeline, destroyTimelineAndHandler},
    {createMusic, destroyMusic},
    {createTitle, destroyTitle},
    {createCamera, nullptr},
    {createParticleSceneBlock, destroyParticleSceneBlock},
    {createParticleBuffer, destroyParticleBuffer},
    {createFrameHeaps, destroyFrameHeaps},
    {createSimulationPipeline, destroySimulationPipeline},
    {createSimulationBlock, destroySimulationBlock},
    {createSphereHierarchy, destroySphereHierarchy},
    {createScenePipeline, destroyScenePipeline},
    {createSceneOutputs, destroySceneOutputs},
    {createFrameConstants, destroyFrameConstants},
    {createTargetViewHeap, destroyTargetViewHeap},
    {createHistoryTextures, destroyHistoryTextures},
    {createFilterPipelines, destroyFilterPipelines},
    {createDepthOfFieldPass, destroyDepthOfFieldPass},
    {createDepthOfFieldPreparation, destroyDepthOfFieldPreparation},
    {createDepthOfFieldBlock, destroyDepthOfFieldBlock},
    {createDepthOfFieldTarget, destroyDepthOfFieldTarget},
    {createFinalPass, destroyFinalPass},
    {createFinalBlock, destroyFinalBlock},
};

void bindDestinations(Presentation& p) {
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

// What no parameter drives: the render and window sizes, the clocks at zero, and the
// camera's matrices, which are also the first frame's previous ones.
void setResolutions(Presentation& p) {
  const float W = float(p.options.renderWidth), H = float(p.options.renderHeight);
  p.constants.data.resolution = {W, H, pixelScaleOf(p.options)};
  p.depthOfField.data.resolution = {W, H};
  p.finalPass.data.resolution = {W, H};
}

void setFrameStartValues(Presentation& p) {
  setResolutions(p);
  ConstantBufferData& c = p.constants.data;
  c.time = 0.0f;
  c.frame = 0.0f;
  writeCameraConstants(p.camera, c);
  keepCameraConstantsAsPrevious(c);
  FinalPassData& f = p.finalPass.data;
  f.nativeResolution = {float(renderApp.width), float(renderApp.height)};
  f.time = 0.0f;
  f.showExtraTexture = 1;
  f.frame = 0;
  p.noScalingCopy = false;
  p.previousFrameDurationMs = 0.0;
}

// A timeline handed over by the caller replaces the empty one. Otherwise the loader reads
// up to and including a terminating zero, so the text is handed over from a zero-filled
// copy one byte longer than the text with its NUL.
void loadStartupTimeline(Presentation& p) {
  if (p.options.timeline != nullptr) {
    ASSERT(p.options.timeline->frameCount == p.frameCount, "A timeline of %u frames, not %u\n",
           p.options.timeline->frameCount, p.frameCount);
    destroyTimeline(p.timeline);
    p.timeline = p.options.timeline;
    p.options.timeline = nullptr;
    return;
  }
  const char* text = p.options.timelineText != nullptr ? p.options.timelineText : TIMELINE_JSON_DATA;
  uint32_t length = p.options.timelineText != nullptr ? p.options.timelineLength
                                                       : uint32_t(sizeof(TIMELINE_JSON_DATA));
  char* copy = static_cast<char*>(calloc(size_t(length) + 1, 1));
  ASSERT(copy != nullptr, "Out of memory for the timeline text\n");
  memcpy(copy, text, length);
  loadTimeline(p.timeline, copy, length);
  free(copy);
}

}  // namespace

gfx::DeviceRequirements presentationDeviceRequirements(const PresentationOptions& o) {
  const PassDescription* const passes[] = {
    &kMusicSynthesisPass,  &kParticleSimulationPass, &kSphereBvhBuildPass,
    o.bruteForceScene ? &kSceneBruteForcePass : &kScenePass,
#ifdef TARNIX_WEB
    &kDepthFromVelocityPass,
#endif
    &kTemporalPass,        &kAtrousPass,             &kDepthOfFieldPreparePass,
    &kDepthOfFieldPass,    &kFinalPass,
  };
  const uint32_t imageSide = std::max({o.renderWidth, o.renderHeight, o.outputWidth, o.outputHeight});
  return deviceRequirementsOf(passes, imageSide);
}

void startPresentation(Presentation& p, const PresentationOptions& options) {
  memset(static_cast<void*>(&p), 0, sizeof(p));
  p.options = options;
  ASSERT(options.renderWidth >= 32 && options.renderWidth % 32 == 0 && options.renderHeight > 0,
         "Render size %ux%u: the width must be a positive multiple of 32\n", options.renderWidth,
         options.renderHeight);
  for (const Stage& stage : kStages) stage.create(p);
  // The scene's starting values into their destinations, and the timeline bound to them.
  bindDestinations(p);
  applySceneParams(p.destinations, p.sceneParams);
  setFrameStartValues(p);
  loadStartupTimeline(p);
  // An offscreen run has no window and no cursor.
  if (renderApp.window != nullptr) windowShowCursor(false);
  if (p.timeline->tracks.count == 0) addDefaultTracks(p.timeline, p.sceneParams);
  // From here on a PANIC writes the timeline out.
  RenderApp::setFatalHandler(saveTimelineFatalHook, &p.timeline);
  // Start the music (nothing plays while it is still to be synthesised: the first
  // rendered frame starts it then) and the simulation at frame 0.
  p.audio->play();
  p.simulation.data.frame = 0;
  p.simulation.data.time = 0.0f;
  p.running = true;
}

void resizeRenderTargets(Presentation& p, uint32_t width, uint32_t height) {
  ASSERT(width >= 32 && width % 32 == 0 && height > 0, "Render size %ux%u: the width must be a positive multiple of 32\n",
         width, height);
  waitForGpuIdle();
  for (size_t i = std::size(kFrameTextureGroups); i-- > 0;) releaseFrameTextures(p, kFrameTextureGroups[i]);
  p.options.renderWidth = width;
  p.options.renderHeight = height;
  // New textures are zero-filled: no pixel finds its particle in the previous positions, so the
  // temporal history starts over.
  for (std::span<const FrameTextureSpec> group : kFrameTextureGroups) createFrameTextures(p, group);
  setResolutions(p);
}

void shutdownPresentation(Presentation& p) {
  if (!p.running) return;
  p.running = false;
  waitForGpuIdle();
  for (size_t i = std::size(kStages); i-- > 0;)
    if (kStages[i].release != nullptr) kStages[i].release(p);
}
