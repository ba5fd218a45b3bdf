#pragma once
// Bringing the particle simulation to any frame, as a 60 Hz run from frame 0 would have it
// (edit/fixed_step.h): kept states of the particle buffer (every kCheckpointSpacing steps, and
// the one before the last rendered frame's own step), and the steps after the nearest kept
// state re-run in the frame's command list. A step costs one small dispatch, so a seek
// re-runs at most kCheckpointSpacing of them once the states on the way are kept.
#include <cstdint>

#include "app/frame_clock.h"
#include "app/presentation.h"
#include "edit/fixed_step.h"

inline constexpr uint32_t kCheckpointSpacing = 60;
inline constexpr uint32_t kCheckpointCount = stepOfFrame(kEndFrameIndex) / kCheckpointSpacing + 1;

struct KeptState {
  GpuBuffer* buffer;
  uint32_t steps;  // steps the state holds
  bool kept;       // it holds them for the timeline in use
};

struct SimulationReplay {
  KeptState checkpoints[kCheckpointCount];  // i: after i * kCheckpointSpacing steps (0: none yet)
  KeptState beforeFrame;                    // before the last rendered frame's own step
  KeptState current;                        // the particle buffer (its buffer is the presentation's)
  GpuBuffer* stepConstants;                 // the re-run steps' constants while they are recorded
  uint32_t stepsRerun;                      // by the last recordSimulationBefore
};

// After start-up has rendered the first frame (its one step is in the particle buffer).
void createSimulationReplay(SimulationReplay& replay, Presentation& presentation);
void destroySimulationReplay(SimulationReplay& replay);

// The timeline changed from `frame` on: no state that holds a step of that frame or a later
// one is kept any more.
void forgetSimulationFrom(SimulationReplay& replay, uint32_t frame);

// Records what brings the particle buffer to the state before `frame`'s own step: the
// nearest kept state copied in, the steps after it run with the timeline's values. Needs the
// frame's heap bound (it takes three of its descriptors).
void recordSimulationBefore(SimulationReplay& replay, Presentation& presentation, gfx::GraphicsCommandList* commandList,
                            DescriptorAllocator& frameHeap, uint32_t frame);

// The frame's own step has been recorded.
void simulationStepped(SimulationReplay& replay, uint32_t frame);

// Hands the re-run steps' constants to the deferred release (the frame that reads them
// finishes first).
void releaseStepConstants(SimulationReplay& replay);
