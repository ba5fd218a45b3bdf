// What one frame records: the render-target set-up and clears, then (once the music is
// ready) particle simulation, path-traced scene, temporal accumulation, a-trous
// filter, depth of field and the final pass, with the copies that keep this frame's
// buffers for the next one; last, the back buffer's transition for presentation.
//
// Every pass binds its resources in the order of its description's slots
// (app/frame_passes.cpp), which also gives the states they are moved to and the views
// written; transitions are requested per resource and issued in one barrier call per group
// of steps.
#include "app/frame_pipeline.h"

#include <algorithm>
#include <cmath>

#include "app/frame_passes.h"
#include "audio/audio_renderer.h"
#include "gpu/render_app.h"

namespace {

// The full-screen compute passes: square groups of kImageGroupSide threads (the depth of field's
// preparation: one group per kDepthOfFieldTile tile), as many as cover the picture; the shaders
// skip the threads past its edges.
uint32_t groupsCovering(float pixels, uint32_t side) { return (uint32_t(pixels) + side - 1) / side; }
uint32_t fullscreenGroupsX(const Presentation& p, uint32_t side = kImageGroupSide) {
  return groupsCovering(p.constants.data.resolution.x, side);
}
uint32_t fullscreenGroupsY(const Presentation& p, uint32_t side = kImageGroupSide) {
  return groupsCovering(p.constants.data.resolution.y, side);
}

void transition(Presentation& p, GpuTexture* texture, uint32_t state) {
  requestTransition(p.barriers, texture->resource, state);
}

}  // namespace

// The constants that follow the camera and the scene, then the five uploads.
void updateFrameConstants(Presentation& p, gfx::GraphicsCommandList* cl) {
  writeFrameConstants(p);
  uploadFrameConstants(p, cl);
}

void writeFrameConstants(Presentation& p) {
  // The blur's size and its spiral's step are in pixels: a smaller render blurs as many fewer
  // pixels, the same part of the picture. A spiral reaching radius R in steps of k takes about
  // R^2 / 2k samples, the program's own size 200 over its disc (one per 6 pixels). Scaling the
  // step like the blur would keep 200 * scale samples on a disc scale^2 as large, four times as
  // dense at 256x144; the square root of the scale keeps them twice as dense there with half
  // the samples (the depth of field is one of a small frame's largest passes on a CPU driver).
  const float scale = pixelScaleOf(p.options);
  p.depthOfField.data.blurSize = p.sceneParams.blurSize * scale;
  p.depthOfField.data.radiusScale = p.sceneParams.radiusScale * (scale < 1.0f ? std::sqrt(scale) : scale);
  writeCameraConstants(p.camera, p.constants.data);
  p.finalPass.data.time = p.constants.data.time;
  p.finalPass.data.showExtraTexture = p.simulation.data.scene == 0 ? 1 : 0;
  copyIntoField(p.simulation.data.cameraPos, p.camera.position);
}

void uploadFrameConstants(Presentation& p, gfx::GraphicsCommandList* cl) {
  updateConstantBlock(p.depthOfField, cl);
  updateConstantBlock(p.simulation, cl);
  updateConstantBlock(p.constants, cl);
  updateConstantBlock(p.finalPass, cl);
  updateConstantBlock(p.particleScene, cl);
}

void recordParticleSimulation(Presentation& p, gfx::GraphicsCommandList* cl,
                              DescriptorAllocator& heap) {
  const PassResource resources[] = {boundBuffer(*p.particleBuffer, kParticleCapacity),
                                    boundConstants(p.simulation), boundConstants(p.particleScene)};
  // One group of 128 threads: a collision reads every particle after all were animated, and
  // only a group can wait for all of its threads.
  uint32_t simulated = simulatedParticleCount(p.particleScene.data.numParticles);
  recordComputePass(cl, kParticleSimulationPass, *p.particleSimulationPipeline, resources, heap, p.barriers,
                    simulated != 0 ? 1 : 0, 1);
  p.lastFrame.particlesSimulated = simulated;
}

void recordSphereBvhBuild(Presentation& p, gfx::GraphicsCommandList* cl, DescriptorAllocator& heap) {
  const PassResource resources[] = {boundBuffer(*p.particleBuffer, kParticleCapacity),
                                    boundBuffer(*p.sphereBvhBuffer, kSphereBvhRecords),
                                    boundConstants(p.particleScene)};
  // One group of 128 threads builds the whole tree.
  recordComputePass(cl, kSphereBvhBuildPass, *p.sphereBvhPipeline, resources, heap, p.barriers, 1, 1);
}

void recordScene(Presentation& p, gfx::GraphicsCommandList* cl, DescriptorAllocator& heap) {
  FrameTextures& t = p.textures;
  const PassResource resources[] = {
      boundBuffer(*p.particleBuffer, kParticleCapacity), boundTexture(*t.outputTexture),
      boundTexture(*t.velocityBuffer),  boundTexture(*t.positionBuffer),
      boundTexture(*t.normalBuffer),
#ifndef TARNIX_WEB
      boundTexture(*t.depthBuffer),
#endif
      boundConstants(p.constants),      boundConstants(p.particleScene),
      boundConstants(p.simulation),     boundConstants(*p.sphereBvhBuffer)};
  recordComputePass(cl, p.options.bruteForceScene ? kSceneBruteForcePass : kScenePass, *p.scenePipeline, resources,
                    heap, p.barriers, fullscreenGroupsX(p), fullscreenGroupsY(p));
#ifdef TARNIX_WEB
  const PassResource depth[] = {boundTexture(*t.velocityBuffer), boundTexture(*t.depthBuffer)};
  recordComputePass(cl, kDepthFromVelocityPass, *p.depthFromVelocityPipeline, depth, heap, p.barriers,
                    fullscreenGroupsX(p), fullscreenGroupsY(p));
#endif
}

void recordTemporal(Presentation& p, gfx::GraphicsCommandList* cl, DescriptorAllocator& heap) {
  FrameTextures& t = p.textures;
  const PassResource resources[] = {
      boundTexture(*t.outputTexture),      boundTexture(*t.velocityBuffer),   boundTexture(*t.HistoryBuffer),
      boundTexture(*t.positionBuffer),     boundTexture(*t.normalBuffer),     boundTexture(*t.PrevPositionBuffer),
      boundTexture(*t.PrevNormalBuffer),   boundTexture(*t.HistoryM1Prev),    boundTexture(*t.HistoryM2Prev),
      boundTexture(*t.depthBuffer),        boundTexture(*t.PrevDepthBuffer),  boundTexture(*t.ResultTexture),
      boundTexture(*t.HistoryM1Out),       boundTexture(*t.HistoryM2Out),     boundConstants(p.constants)};
  recordComputePass(cl, kTemporalPass, *p.temporalPipeline, resources, heap, p.barriers, fullscreenGroupsX(p),
                    fullscreenGroupsY(p));
}

uint32_t atrousIterationsFor(uint32_t steps, float pixelScale) {
  if (steps == 0 || !(pixelScale < 1.0f)) return steps;
  const float reach = pixelScale * float(steps * (steps + 1));
  uint32_t best = 1;
  for (uint32_t m = 2; m <= steps; ++m)
    if (std::fabs(float(m * (m + 1)) - reach) <= std::fabs(float(best * (best + 1)) - reach)) best = m;
  return best;
}

// Ping-pong between ResultTexture and outputTexture with a step width of 1, 2, 3, ...
GpuTexture* recordAtrous(Presentation& p, gfx::GraphicsCommandList* cl, DescriptorAllocator& heap) {
  FrameTextures& t = p.textures;
  transition(p, t.HistoryM1Out, kStateNonPixelShaderResource);
  transition(p, t.HistoryM2Out, kStateNonPixelShaderResource);
  flush(p.barriers, cl);

  GpuTexture* filtered = t.ResultTexture;
  const uint32_t iterations = atrousIterationsFor(p.atrousSteps, pixelScaleOf(p.options));
  for (uint32_t i = 0; i < iterations; ++i) {
    GpuTexture* source = (i % 2 == 0) ? t.ResultTexture : t.outputTexture;
    GpuTexture* target = (i % 2 == 0) ? t.outputTexture : t.ResultTexture;
    const PassResource resources[] = {boundTexture(*source),         boundTexture(*t.normalBuffer),
                                      boundTexture(*t.HistoryM1Out), boundTexture(*t.HistoryM2Out),
                                      boundTexture(*t.depthBuffer),  boundTexture(*target)};
    const float3& r = p.constants.data.resolution;
    const ATrousConstants constants = {int32_t(i + 1), {r.x, r.y, r.z}};
    recordComputePass(cl, kAtrousPass, *p.atrousPipeline, resources, heap, p.barriers, fullscreenGroupsX(p),
                      fullscreenGroupsY(p), &constants);
    p.lastFrame.atrousIterations += 1;
    filtered = target;
  }
  return filtered;
}

void recordHistoryCopies(Presentation& p, gfx::GraphicsCommandList* cl) {
  FrameTextures& t = p.textures;
  transition(p, t.HistoryBuffer, kStateCopyDest);
  transition(p, t.ResultTexture, kStateCopySource);
  flush(p.barriers, cl);
  cl->CopyResource(t.HistoryBuffer->resource.resource, t.ResultTexture->resource.resource);

  requestTransition(p.barriers, p.particleBuffer->resource, kStateUnorderedAccess);
  GpuTexture* pairs[][2] = {{t.PrevPositionBuffer, t.positionBuffer},
                            {t.PrevNormalBuffer, t.normalBuffer},
                            {t.HistoryM1Prev, t.HistoryM1Out},
                            {t.HistoryM2Prev, t.HistoryM2Out},
                            {t.PrevDepthBuffer, t.depthBuffer}};
  for (auto& pair : pairs) transition(p, pair[1], kStateCopySource);
  for (auto& pair : pairs) transition(p, pair[0], kStateCopyDest);
  flush(p.barriers, cl);
  for (auto& pair : pairs) cl->CopyResource(pair[0]->resource.resource, pair[1]->resource.resource);
}

// The picture packed with its depth and the spiral's steps, then the blur itself.
void recordDepthOfField(Presentation& p, gfx::GraphicsCommandList* cl, DescriptorAllocator& heap,
                        GpuTexture* filtered) {
  FrameTextures& t = p.textures;
  const PassResource prepared[] = {
      boundTexture(*t.depthBuffer),
      boundTexture(*filtered),
      boundTexture(*t.colourAndDepth),
      boundBuffer(*p.depthOfFieldSpiral, kDepthOfFieldSpiralBytes / 16),
      boundBuffer(*p.depthOfFieldTiles, kDepthOfFieldTileBytes / 16),
      boundConstants(p.depthOfField)};
  recordComputePass(cl, kDepthOfFieldPreparePass, *p.depthOfFieldPreparePipeline, prepared, heap, p.barriers,
                    fullscreenGroupsX(p, kDepthOfFieldTile), fullscreenGroupsY(p, kDepthOfFieldTile));
  const PassResource resources[] = {boundTexture(*t.depthBuffer),        boundTexture(*filtered),
                                    boundTexture(*t.colourAndDepth),     boundConstants(p.depthOfField),
                                    boundConstants(*p.depthOfFieldSpiral), boundConstants(*p.depthOfFieldTiles)};
  recordFullscreenPass(cl, kDepthOfFieldPass, p.depthOfFieldPass, resources, p.passBindings, heap,
                       cpuHandle(p.targetViews, 0), p.options.renderWidth, p.options.renderHeight);
}

bool toneMapsAtRenderSize(const Presentation& p) { return pixelScaleOf(p.options) != 1.0f; }

bool titleShows(const FinalPassData& f) {
  // titleWeight (tone_map.hlsli) is 0 up to frame 1430 and from frame 1900 on.
  return f.showExtraTexture != 0 && f.frame >= 1430 && f.frame <= 1900;
}

namespace {

struct Fit {
  float left, top, width, height;
};

// As the final pass fits the picture into the window (fitOf in tone_map.hlsli).
Fit fitOf(float width, float height, float windowWidth, float windowHeight) {
  const float aspect = width / std::max(height, 0.000001f);
  const float windowAspect = windowWidth / std::max(windowHeight, 0.000001f);
  const float shownWidth = aspect > windowAspect ? windowWidth : windowHeight * aspect;
  const float shownHeight = aspect > windowAspect ? windowWidth / aspect : windowHeight;
  return {0.5f * (windowWidth - shownWidth), 0.5f * (windowHeight - shownHeight), shownWidth, shownHeight};
}

}  // namespace

gfx::Rect fittedRect(float width, float height, float windowWidth, float windowHeight) {
  const Fit f = fitOf(width, height, windowWidth, windowHeight);
  return {int32_t(std::ceil(f.left - 0.5f)), int32_t(std::ceil(f.top - 0.5f)),
          int32_t(std::ceil(f.left + f.width - 0.5f)), int32_t(std::ceil(f.top + f.height - 0.5f))};
}

gfx::Rect coveredTexels(const uint8_t* rgba, uint32_t width, uint32_t height) {
  gfx::Rect r = {int32_t(width), int32_t(height), 0, 0};
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      if (rgba[4 * (size_t(y) * width + x) + 3] == 0) continue;
      r.left = std::min(r.left, int32_t(x)), r.right = std::max(r.right, int32_t(x) + 1);
      r.top = std::min(r.top, int32_t(y)), r.bottom = std::max(r.bottom, int32_t(y) + 1);
    }
  }
  return r.right > r.left ? r : gfx::Rect{};
}

gfx::Rect textWindowRect(const gfx::Rect& texels, uint32_t textWidth, uint32_t textHeight, float width, float height,
                         float windowWidth, float windowHeight) {
  if (texels.right <= texels.left || texels.bottom <= texels.top || textWidth == 0 || textHeight == 0) return {};
  const Fit f = fitOf(width, height, windowWidth, windowHeight);
  const float perTexelX = f.width / float(textWidth), perTexelY = f.height / float(textHeight);
  // A filtered read blends the texels on either side of it: a texel and a pixel of margin all round.
  const gfx::Rect fitted = fittedRect(width, height, windowWidth, windowHeight);
  const gfx::Rect r = {
      std::max(fitted.left, int32_t(std::floor(f.left + float(texels.left - 1) * perTexelX - 1.0f))),
      std::max(fitted.top, int32_t(std::floor(f.top + float(texels.top - 1) * perTexelY - 1.0f))),
      std::min(fitted.right, int32_t(std::ceil(f.left + float(texels.right + 1) * perTexelX + 1.0f))),
      std::min(fitted.bottom, int32_t(std::ceil(f.top + float(texels.bottom + 1) * perTexelY + 1.0f)))};
  return r.right > r.left && r.bottom > r.top ? r : gfx::Rect{};
}

namespace {

// The tone-mapped picture scaled into the back buffer by the device's filtered copy: on lavapipe
// a 256x144 picture reaches a 1280x720 window in about 5 ms instead of the draw's 8. Its edge
// clamps where the draw's sampler fades the outer half texel to black. False where the backend
// has no such copy (it is then not tried again): the caller draws the scaling.
bool scaleByCopy(Presentation& p, gfx::GraphicsCommandList* cl) {
  if (p.noScalingCopy) return false;
  const FinalPassData& f = p.finalPass.data;
  const gfx::Rect rect = fittedRect(f.resolution.x, f.resolution.y, f.nativeResolution.x, f.nativeResolution.y);
  if (rect.right <= rect.left || rect.bottom <= rect.top) return false;
  TrackedResource& backBuffer = currentBackBuffer().resource;
  transition(p, p.textures.toneMapped, kStateCopySource);
  requestTransition(p.barriers, backBuffer, kStateCopyDest);
  flush(p.barriers, cl);
  const gfx::HRESULT hr = cl->ScaleTexture(backBuffer.resource, rect, p.textures.toneMapped->resource.resource);
  p.noScalingCopy = hr == gfx::kNotImplemented;
  // Drawn into next (the edit mode's overlay) or by the fallback.
  requestTransition(p.barriers, backBuffer, kStateRenderTarget);
  flush(p.barriers, cl);
  return gfx::Succeeded(hr);
}

}  // namespace

void recordFinalPass(Presentation& p, gfx::GraphicsCommandList* cl, DescriptorAllocator& heap) {
  FrameTextures& t = p.textures;
  // The scene's geometry back to writable for the next frame, the picture to be sampled.
  for (GpuTexture* texture : {t.positionBuffer, t.normalBuffer, t.PrevPositionBuffer,
                              t.PrevNormalBuffer, t.depthBuffer})
    transition(p, texture, kStateUnorderedAccess);
  transition(p, t.frameInput, kStatePixelShaderResource);
  requestTransition(p.barriers, currentBackBuffer().resource, kStateRenderTarget);
  flush(p.barriers, cl);

  if (toneMapsAtRenderSize(p)) {
    const PassResource toneMapping[] = {boundTexture(*t.frameInput), boundTexture(*t.toneMapped),
                                        boundConstants(p.finalPass)};
    recordComputePass(cl, kToneMapPass, *p.toneMapPipeline, toneMapping, heap, p.barriers, fullscreenGroupsX(p),
                      fullscreenGroupsY(p));
    // Copied, the picture still needs the title drawn over it where the text's reads reach.
    const bool copied = scaleByCopy(p, cl);
    const FinalPassData& f = p.finalPass.data;
    gfx::Rect text = {};
    if (copied && titleShows(f))
      text = textWindowRect(p.titleTexels, p.textWidth, p.textHeight, f.resolution.x, f.resolution.y,
                            f.nativeResolution.x, f.nativeResolution.y);
    if (!copied || text.right > text.left) {
      const PassResource scaling[] = {boundTexture(*t.toneMapped), boundTexture(*p.extraTexture),
                                      boundTexture(*t.frameInput), boundConstants(p.finalPass)};
      recordFullscreenPass(cl, kScaleToBackbufferPass, p.scaleToBackbufferPass, scaling, p.passBindings, heap,
                           cpuHandle(p.targetViews, 1), renderApp.width, renderApp.height, !copied,
                           copied ? &text : nullptr);
    }
  } else {
    const PassResource resources[] = {boundTexture(*t.frameInput), boundTexture(*p.extraTexture),
                                      boundConstants(p.finalPass)};
    recordFullscreenPass(cl, kFinalPass, p.finalPassPass, resources, p.passBindings, heap,
                         cpuHandle(p.targetViews, 1), renderApp.width, renderApp.height);
  }
  // Flushed with the present transition.
  transition(p, t.frameInput, kStateRenderTarget);
}

void recordFrameSetup(Presentation& p, gfx::GraphicsCommandList* cl, DescriptorAllocator& heap) {
  // Both render targets to RENDER_TARGET, each with a view.
  p.targetViews = allocateDescriptors(*p.targetViewHeap, 2);
  TrackedResource& backBuffer = currentBackBuffer().resource;
  transition(p, p.textures.frameInput, kStateRenderTarget);
  requestTransition(p.barriers, backBuffer, kStateRenderTarget);
  flush(p.barriers, cl);
  writeTextureRtv(p.targetViews, p.textures.frameInput->resource, kDepthOfFieldPass.renderTargetFormat);
  writeTextureRtv(p.targetViews, backBuffer, renderApp.backBufferFormat);
  // Draw to the back buffer, clear both targets to black, bind the frame's heap.
  gfx::CpuDescriptorHandle backBufferView = {cpuHandle(p.targetViews, 1)};
  cl->OMSetRenderTargets(1, &backBufferView, true, nullptr);
  const float black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
  cl->ClearRenderTargetView(gfx::CpuDescriptorHandle{cpuHandle(p.targetViews, 0)}, black, 0, nullptr);
  cl->ClearRenderTargetView(backBufferView, black, 0, nullptr);
  gfx::DescriptorHeap* heaps[] = {heap.heap};
  cl->SetDescriptorHeaps(1, heaps);
}

void recordFramePasses(Presentation& p, gfx::GraphicsCommandList* cl, DescriptorAllocator& heap) {
  updateFrameConstants(p, cl);
  recordPassesAfterConstants(p, cl, heap);
}

void recordPassesAfterConstants(Presentation& p, gfx::GraphicsCommandList* cl, DescriptorAllocator& heap) {
  recordParticleSimulation(p, cl, heap);
  recordSphereBvhBuild(p, cl, heap);
  recordScene(p, cl, heap);
  recordTemporal(p, cl, heap);
  GpuTexture* filtered = recordAtrous(p, cl, heap);
  recordHistoryCopies(p, cl);
  recordDepthOfField(p, cl, heap, filtered);
  recordFinalPass(p, cl, heap);
}

void recordPresentTransition(Presentation& p, gfx::GraphicsCommandList* cl) {
  requestTransition(p.barriers, currentBackBuffer().resource, kStatePresent);
  flush(p.barriers, cl);
}

gfx::GraphicsCommandList* openFrame(Presentation& p, DescriptorAllocator** frameHeap) {
  gfx::GraphicsCommandList* commandList = beginFrame();
  if (commandList == nullptr) PANIC("WTF!?\n");
  p.audio->update();
  DescriptorAllocator& heap = *p.frameHeaps[renderApp.frameCounter % kFrameHeapCount];
  resetDescriptorAllocator(heap);
  resetDescriptorAllocator(*p.targetViewHeap);
  FrameReport& report = p.lastFrame;  // the passes add what they dispatched
  report = {};
  report.backBufferIndex = uint32_t(renderApp.backBufferIndex);
  report.simulationFrame = p.simulation.data.frame;
  recordFrameSetup(p, commandList, heap);
  *frameHeap = &heap;
  return commandList;
}
