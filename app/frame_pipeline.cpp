// What one frame records: the render-target set-up and clears, then (once the music is
// ready) particle simulation, path-traced scene, temporal accumulation, a-trous
// filter, depth of field and the final pass, with the copies that keep this frame's
// buffers for the next one; last, the back buffer's transition for presentation.
//
// Every pass takes its descriptors as one contiguous run in the order of its root
// signature's ranges, so the run's first handle is the pass's table. Transitions are
// requested per resource and issued in one barrier call per group of steps.
#include "app/frame_pipeline.h"
#include "gpu/render_app.h"

namespace {

constexpr uint32_t kR16G16B16A16 = gfx::FORMAT_R16G16B16A16_FLOAT;
constexpr uint32_t kR32G32B32A32 = gfx::FORMAT_R32G32B32A32_FLOAT;
constexpr uint32_t kR32 = gfx::FORMAT_R32_FLOAT;
constexpr uint32_t kR8G8B8A8 = gfx::FORMAT_R8G8B8A8_UNORM;

void setComputePipeline(gfx::GraphicsCommandList* cl, const Pipeline& pipeline) {
  cl->SetPipelineState(pipeline.pipelineState);
  cl->SetComputeRootSignature(pipeline.rootSignature);
}

void setTable(gfx::GraphicsCommandList* cl, const DescriptorTable& table) {
  cl->SetComputeRootDescriptorTable(0, gfx::GpuDescriptorHandle{gpuHandle(table, 0)});
}

// The full-screen compute passes: 32 x 32 threads per group; the width is not rounded
// up (it is a multiple of 32) and the height always gets one extra row of groups.
void dispatchFullscreen(const Presentation& p, gfx::GraphicsCommandList* cl) {
  const float3& r = p.constants.data.resolution;
  cl->Dispatch(uint32_t(r.x * 0.03125f), uint32_t(r.y * 0.03125f) + 1, 1);
}

void srv(DescriptorTable& table, const GpuTexture* texture, uint32_t format) {
  writeTextureSrv(table, texture->resource, format, 0, 1, 0, 0.0f);
}

void uav(DescriptorTable& table, const GpuTexture* texture, uint32_t format) {
  writeTextureUav(table, texture->resource, format);
}

template <typename T>
void cbv(DescriptorTable& table, const ConstantBlock<T>& block) {
  writeCbv(table, block.buffers.gpuBuffer->resource, block.buffers.gpuBuffer->size);
}

void transition(Presentation& p, GpuTexture* texture, uint32_t state) {
  requestTransition(p.barriers, texture->resource, state);
}

}  // namespace

// The constants that follow the camera and the scene, then the five uploads.
void updateFrameConstants(Presentation& p, gfx::GraphicsCommandList* cl) {
  writeCameraConstants(p.camera, p.constants.data);
  p.finalPass.data.time = p.constants.data.time;
  p.finalPass.data.showExtraTexture = p.simulation.data.scene == 0 ? 1 : 0;
  copyIntoField(p.simulation.data.cameraPos, p.camera.position);

  updateConstantBlock(p.depthOfField, cl);
  updateConstantBlock(p.simulation, cl);
  updateConstantBlock(p.constants, cl);
  updateConstantBlock(p.finalPass, cl);
  updateConstantBlock(p.particleScene, cl);
}

void recordParticleSimulation(Presentation& p, gfx::GraphicsCommandList* cl,
                              DescriptorAllocator& heap) {
  // The buffer was left writable by the previous frame's copies (or created so).
  requestTransition(p.barriers, p.particleBuffer->resource, kStateUnorderedAccess);
  flush(p.barriers, cl);
  setComputePipeline(cl, *p.particleSimulationPipeline);
  DescriptorTable table = allocateDescriptors(heap, 3);
  writeStructuredUav(table, p.particleBuffer->resource, kParticleCapacity, kParticleStride);
  cbv(table, p.simulation);
  cbv(table, p.particleScene);
  setTable(cl, table);
  // One group of 128 threads: a collision reads every particle after all were animated, and
  // only a group can wait for all of its threads.
  uint32_t simulated = simulatedParticleCount(p.particleScene.data.numParticles);
  if (simulated != 0) cl->Dispatch(1, 1, 1);
  p.lastFrame.particlesSimulated = simulated;
}

void recordSphereBvhBuild(Presentation& p, gfx::GraphicsCommandList* cl, DescriptorAllocator& heap) {
  requestTransition(p.barriers, p.particleBuffer->resource, kStateNonPixelShaderResource);
  requestTransition(p.barriers, p.sphereBvhBuffer->resource, kStateUnorderedAccess);
  flush(p.barriers, cl);
  setComputePipeline(cl, *p.sphereBvhPipeline);
  DescriptorTable table = allocateDescriptors(heap, 3);
  writeParticleSrv(table, p.particleBuffer->resource);
  writeStructuredUav(table, p.sphereBvhBuffer->resource, kSphereBvhRecords, kSphereBvhRecordBytes);
  cbv(table, p.particleScene);
  setTable(cl, table);
  cl->Dispatch(1, 1, 1);  // one group of 128 threads builds the whole tree
}

void recordScene(Presentation& p, gfx::GraphicsCommandList* cl, DescriptorAllocator& heap) {
  FrameTextures& t = p.textures;
  // The tree build leaves the particles readable already; a scene pass recorded on its own
  // (the pass benchmarks) must ask for it too.
  requestTransition(p.barriers, p.particleBuffer->resource, kStateNonPixelShaderResource);
  requestTransition(p.barriers, p.sphereBvhBuffer->resource, kStateVertexAndConstantBuffer);
  transition(p, t.outputTexture, kStateUnorderedAccess);
  transition(p, t.velocityBuffer, kStateUnorderedAccess);
  flush(p.barriers, cl);

  setComputePipeline(cl, *p.scenePipeline);
  DescriptorTable table = allocateDescriptors(heap, 10);
  writeParticleSrv(table, p.particleBuffer->resource);
  uav(table, t.outputTexture, kR16G16B16A16);
  uav(table, t.velocityBuffer, kR32G32B32A32);
  uav(table, t.positionBuffer, kR32G32B32A32);
  uav(table, t.normalBuffer, kR32G32B32A32);
  uav(table, t.depthBuffer, kR32);
  cbv(table, p.constants);
  cbv(table, p.particleScene);
  cbv(table, p.simulation);
  writeCbv(table, p.sphereBvhBuffer->resource, kSphereBvhRecords * kSphereBvhRecordBytes);
  setTable(cl, table);
  dispatchFullscreen(p, cl);
}

void recordTemporal(Presentation& p, gfx::GraphicsCommandList* cl, DescriptorAllocator& heap) {
  FrameTextures& t = p.textures;
  for (GpuTexture* read : {t.outputTexture, t.velocityBuffer, t.HistoryBuffer, t.positionBuffer,
                           t.normalBuffer, t.PrevPositionBuffer, t.PrevNormalBuffer,
                           t.HistoryM1Prev, t.HistoryM2Prev, t.depthBuffer, t.PrevDepthBuffer})
    transition(p, read, kStateNonPixelShaderResource);
  for (GpuTexture* written : {t.ResultTexture, t.HistoryM1Out, t.HistoryM2Out})
    transition(p, written, kStateUnorderedAccess);
  flush(p.barriers, cl);

  setComputePipeline(cl, *p.temporalPipeline);
  DescriptorTable table = allocateDescriptors(heap, 15);
  srv(table, t.outputTexture, kR16G16B16A16);  // CurrentFrame
  srv(table, t.velocityBuffer, kR32G32B32A32);
  srv(table, t.HistoryBuffer, kR16G16B16A16);
  srv(table, t.positionBuffer, kR32G32B32A32);
  srv(table, t.normalBuffer, kR32G32B32A32);
  srv(table, t.PrevPositionBuffer, kR32G32B32A32);
  srv(table, t.PrevNormalBuffer, kR32G32B32A32);
  srv(table, t.HistoryM1Prev, kR32);
  srv(table, t.HistoryM2Prev, kR32);
  srv(table, t.depthBuffer, kR32);
  srv(table, t.PrevDepthBuffer, kR32);
  uav(table, t.ResultTexture, kR16G16B16A16);
  uav(table, t.HistoryM1Out, kR32);
  uav(table, t.HistoryM2Out, kR32);
  cbv(table, p.constants);
  setTable(cl, table);
  dispatchFullscreen(p, cl);
}

// Ping-pong between ResultTexture and outputTexture with a step width of 1, 2, 3, ...
GpuTexture* recordAtrous(Presentation& p, gfx::GraphicsCommandList* cl, DescriptorAllocator& heap) {
  FrameTextures& t = p.textures;
  transition(p, t.HistoryM1Out, kStateNonPixelShaderResource);
  transition(p, t.HistoryM2Out, kStateNonPixelShaderResource);
  flush(p.barriers, cl);

  setComputePipeline(cl, *p.atrousPipeline);
  GpuTexture* filtered = t.ResultTexture;
  for (uint32_t i = 0; i < p.atrousSteps; ++i) {
    GpuTexture* source = (i % 2 == 0) ? t.ResultTexture : t.outputTexture;
    GpuTexture* target = (i % 2 == 0) ? t.outputTexture : t.ResultTexture;
    transition(p, source, kStateNonPixelShaderResource);
    transition(p, target, kStateUnorderedAccess);
    flush(p.barriers, cl);

    DescriptorTable table = allocateDescriptors(heap, 7);  // the seventh stays unused
    srv(table, source, kR16G16B16A16);
    srv(table, t.normalBuffer, kR32G32B32A32);
    srv(table, t.HistoryM1Out, kR32);
    srv(table, t.HistoryM2Out, kR32);
    srv(table, t.depthBuffer, kR32);
    uav(table, target, kR16G16B16A16);
    setTable(cl, table);
    const float3& r = p.constants.data.resolution;
    ATrousConstants constants = {int32_t(i + 1), {r.x, r.y, r.z}};
    cl->SetComputeRoot32BitConstants(1, 4, &constants, 0);
    dispatchFullscreen(p, cl);
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
  transition(p, t.depthBuffer, kStateNonPixelShaderResource);
  transition(p, filtered, kStateNonPixelShaderResource);
  transition(p, t.colourAndDepth, kStateUnorderedAccess);
  requestTransition(p.barriers, p.depthOfFieldSpiral->resource, kStateUnorderedAccess);
  requestTransition(p.barriers, p.depthOfFieldTiles->resource, kStateUnorderedAccess);
  flush(p.barriers, cl);
  setComputePipeline(cl, *p.depthOfFieldPreparePipeline);
  DescriptorTable table = allocateDescriptors(heap, 6);
  srv(table, t.depthBuffer, kR32);
  srv(table, filtered, kR16G16B16A16);
  uav(table, t.colourAndDepth, kR32G32B32A32);
  writeStructuredUav(table, p.depthOfFieldSpiral->resource, kDepthOfFieldSpiralBytes / 16, 16);
  writeStructuredUav(table, p.depthOfFieldTiles->resource, kDepthOfFieldTileBytes / 16, 16);
  cbv(table, p.depthOfField);
  setTable(cl, table);
  dispatchFullscreen(p, cl);

  DynamicArray<PassBinding>& bindings = p.passBindings;
  bindings.count = 0;
  bindings.push(sampledTextureBinding(*t.depthBuffer, kR32));
  bindings.push(sampledTextureBinding(*filtered, kR16G16B16A16));
  bindings.push(sampledTextureBinding(*t.colourAndDepth, kR32G32B32A32));
  bindings.push(constantBufferBinding(*p.depthOfField.buffers.gpuBuffer));
  bindings.push(constantBufferBinding(*p.depthOfFieldSpiral));
  bindings.push(constantBufferBinding(*p.depthOfFieldTiles));
  executeFullscreenPass(p.depthOfFieldPass, p.options.renderWidth, p.options.renderHeight, cl,
                        cpuHandle(p.targetViews, 0), heap, bindings);
}

void recordFinalPass(Presentation& p, gfx::GraphicsCommandList* cl, DescriptorAllocator& heap) {
  FrameTextures& t = p.textures;
  DynamicArray<PassBinding>& bindings = p.passBindings;
  for (GpuTexture* texture : {t.positionBuffer, t.normalBuffer, t.PrevPositionBuffer,
                              t.PrevNormalBuffer, t.depthBuffer})
    transition(p, texture, kStateUnorderedAccess);
  transition(p, t.frameInput, kStatePixelShaderResource);
  requestTransition(p.barriers, currentBackBuffer().resource, kStateRenderTarget);
  flush(p.barriers, cl);

  bindings.count = 0;
  bindings.push(sampledTextureBinding(*t.frameInput, kR16G16B16A16));
  bindings.push(sampledTextureBinding(*p.extraTexture, kR8G8B8A8));
  bindings.push(constantBufferBinding(*p.finalPass.buffers.gpuBuffer));
  executeFullscreenPass(p.finalPassPass, renderApp.width, renderApp.height, cl,
                        cpuHandle(p.targetViews, 1), heap, bindings);
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
  writeTextureRtv(p.targetViews, p.textures.frameInput->resource, kR16G16B16A16);
  writeTextureRtv(p.targetViews, backBuffer, kR8G8B8A8);
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
