#include "edit/simulation_replay.h"

#include <cstring>

#include "app/frame_passes.h"
#include "gpu/render_app.h"

namespace {

// Each re-run step's two constant records, at offsets a copy may start from.
constexpr uint64_t kStepStride = 512;
constexpr uint64_t kSceneOffset = 256;
static_assert(sizeof(SimulationData) <= kSceneOffset && sizeof(ParticleSceneData) <= kStepStride - kSceneOffset);

uint64_t particleBytes() { return uint64_t(kParticleCapacity) * kParticleStride; }

bool holdsNoStepFrom(uint32_t steps, uint32_t frame) { return steps == 0 || frameOfStep(steps - 1) < frame; }

// Copies one buffer into another in the command list, leaving both in their states before.
void recordCopy(Presentation& p, gfx::GraphicsCommandList* cl, GpuBuffer& to, GpuBuffer& from) {
  const uint32_t toState = to.resource.state, fromState = from.resource.state;
  requestTransition(p.barriers, to.resource, kStateCopyDest);
  requestTransition(p.barriers, from.resource, kStateCopySource);
  flush(p.barriers, cl);
  cl->CopyResource(to.resource.resource, from.resource.resource);
  requestTransition(p.barriers, to.resource, toState);
  requestTransition(p.barriers, from.resource, fromState);
  flush(p.barriers, cl);
}

void uavBarrier(gfx::GraphicsCommandList* cl, GpuBuffer& buffer) {
  gfx::ResourceBarrier barrier = {};
  barrier.Type = gfx::RESOURCE_BARRIER_TYPE_UAV;
  barrier.UAV.pResource = buffer.resource.resource;
  cl->ResourceBarrier(1, &barrier);
}

// The nearest kept state of at most `steps` steps.
const KeptState* nearestKept(const SimulationReplay& r, uint32_t steps) {
  const KeptState* best = nullptr;
  auto consider = [&](const KeptState& state) {
    if (state.kept && state.steps <= steps && (best == nullptr || state.steps > best->steps)) best = &state;
  };
  consider(r.current);
  consider(r.beforeFrame);
  for (const KeptState& checkpoint : r.checkpoints) consider(checkpoint);
  return best;
}

// The constants of steps [first, last) into a new upload buffer.
void writeStepConstants(SimulationReplay& r, Presentation& p, uint32_t first, uint32_t last) {
  r.stepConstants = createBuffer(uint64_t(last - first) * kStepStride, BufferType::Upload, nullptr, false, 0);
  void* mapped = nullptr;
  if (gfx::Failed(r.stepConstants->resource.resource->Map(0, nullptr, &mapped)) || mapped == nullptr)
    PANIC("Failed to map the simulation's step constants\n");
  for (uint32_t step = first; step < last; ++step) {
    const SimulationStep inputs = simulationStepAt(p.timeline, step);
    uint8_t* at = static_cast<uint8_t*>(mapped) + uint64_t(step - first) * kStepStride;
    memcpy(at, &inputs.simulation, sizeof(inputs.simulation));
    memcpy(at + kSceneOffset, &inputs.particleScene, sizeof(inputs.particleScene));
  }
  r.stepConstants->resource.resource->Unmap(0, nullptr);
}

// One step: its constants copied into the blocks the pass reads, one group dispatched.
void recordStep(SimulationReplay& r, Presentation& p, gfx::GraphicsCommandList* cl, DescriptorTable table,
                uint64_t offset) {
  GpuBuffer& simulation = *p.simulation.buffers.gpuBuffer;
  GpuBuffer& scene = *p.particleScene.buffers.gpuBuffer;
  requestTransition(p.barriers, simulation.resource, kStateCopyDest);
  requestTransition(p.barriers, scene.resource, kStateCopyDest);
  flush(p.barriers, cl);
  gfx::Resource* source = r.stepConstants->resource.resource;
  cl->CopyBufferRegion(simulation.resource.resource, 0, source, offset, sizeof(SimulationData));
  cl->CopyBufferRegion(scene.resource.resource, 0, source, offset + kSceneOffset, sizeof(ParticleSceneData));
  requestTransition(p.barriers, simulation.resource, kStateVertexAndConstantBuffer);
  requestTransition(p.barriers, scene.resource, kStateVertexAndConstantBuffer);
  flush(p.barriers, cl);
  dispatchComputePass(cl, *p.particleSimulationPipeline, table, 1, 1);
  uavBarrier(cl, *p.particleBuffer);
}

// Keeps the particle buffer's state of `steps` steps as a checkpoint when it falls on one.
void keepCheckpoint(SimulationReplay& r, Presentation& p, gfx::GraphicsCommandList* cl, uint32_t steps) {
  if (steps % kCheckpointSpacing != 0 || steps / kCheckpointSpacing >= kCheckpointCount) return;
  KeptState& checkpoint = r.checkpoints[steps / kCheckpointSpacing];
  if (checkpoint.kept) return;
  recordCopy(p, cl, *checkpoint.buffer, *p.particleBuffer);
  checkpoint.kept = true;
}

}  // namespace

void createSimulationReplay(SimulationReplay& r, Presentation& p) {
  memset(static_cast<void*>(&r), 0, sizeof(r));
  for (uint32_t i = 0; i < kCheckpointCount; ++i) {
    // The first is the buffer as start-up made it: zero.
    r.checkpoints[i] = {createBuffer(particleBytes(), BufferType::Storage, nullptr, i == 0, 0), i * kCheckpointSpacing, i == 0};
  }
  r.beforeFrame = {createBuffer(particleBytes(), BufferType::Storage, nullptr, false, 0), 0, false};
  r.current = {p.particleBuffer, stepOfFrame(0), true};  // the frame that started the music
}

void destroySimulationReplay(SimulationReplay& r) {
  for (KeptState& checkpoint : r.checkpoints) releaseBuffer(checkpoint.buffer);
  releaseBuffer(r.beforeFrame.buffer);
  releaseStepConstants(r);
}

void forgetSimulationFrom(SimulationReplay& r, uint32_t frame) {
  for (KeptState& checkpoint : r.checkpoints) checkpoint.kept = checkpoint.kept && holdsNoStepFrom(checkpoint.steps, frame);
  r.beforeFrame.kept = r.beforeFrame.kept && holdsNoStepFrom(r.beforeFrame.steps, frame);
  r.current.kept = r.current.kept && holdsNoStepFrom(r.current.steps, frame);
}

void recordSimulationBefore(SimulationReplay& r, Presentation& p, gfx::GraphicsCommandList* cl,
                            DescriptorAllocator& frameHeap, uint32_t frame) {
  const uint32_t target = stepOfFrame(frame);
  const KeptState* source = nearestKept(r, target);
  ASSERT(source != nullptr, "No kept state of the particle simulation\n");  // the zero state always is
  if (source != &r.current) recordCopy(p, cl, *p.particleBuffer, *source->buffer);
  const uint32_t first = source->steps;
  r.stepsRerun = target - first;
  if (first < target) {
    writeStepConstants(r, p, first, target);
    const PassResource resources[] = {boundBuffer(*p.particleBuffer, kParticleCapacity), boundConstants(p.simulation),
                                      boundConstants(p.particleScene)};
    const DescriptorTable table = writePassTable(kParticleSimulationPass, resources, frameHeap, p.barriers, cl);
    for (uint32_t step = first; step < target; ++step) {
      recordStep(r, p, cl, table, uint64_t(step - first) * kStepStride);
      keepCheckpoint(r, p, cl, step + 1);
    }
    // Released once this frame has run on the GPU.
    releaseStepConstants(r);
  }
  keepCheckpoint(r, p, cl, target);
  recordCopy(p, cl, *r.beforeFrame.buffer, *p.particleBuffer);
  r.beforeFrame.steps = target;
  r.beforeFrame.kept = true;
  r.current.steps = target;
  r.current.kept = true;
}

void simulationStepped(SimulationReplay& r, uint32_t frame) { r.current.steps = stepOfFrame(frame) + 1; }

void releaseStepConstants(SimulationReplay& r) { releaseBuffer(r.stepConstants); }
