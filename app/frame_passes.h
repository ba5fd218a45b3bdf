#pragma once
// The frame's passes, each described once (gpu/pass_description.h): start-up builds their
// pipelines from these, the frame pipeline binds its resources to their slots in order,
// and the descriptor count of a frame follows from them.
#include <cstdint>

#include "gpu/pass_description.h"

extern const PassDescription kParticleSimulationPass;
extern const PassDescription kSphereBvhBuildPass;
extern const PassDescription kScenePass;
// The scene pass testing every particle for each ray: the same table, the hierarchy unused.
extern const PassDescription kSceneBruteForcePass;
extern const PassDescription kTemporalPass;
extern const PassDescription kAtrousPass;  // once per iteration
#ifdef TARNIX_WEB
// WebGPU binds at most four storage images to a pass: there the scene pass leaves the depth in
// the velocity image, and this pass moves it into the depth image right after.
extern const PassDescription kDepthFromVelocityPass;
#endif
// The depth of field's preparation: the picture packed with its depth, the spiral's steps and
// each tile's depth range; then the blur that reads them.
extern const PassDescription kDepthOfFieldPreparePass;
extern const PassDescription kDepthOfFieldPass;
// The blur as first written, reading the picture and the depth alone: the benchmarks' and the
// suites' reference for the bits of the one above.
extern const PassDescription kDepthOfFieldDirectPass;
extern const PassDescription kFinalPass;
// The final pass in two where the render is not the program's own size: the picture tone-mapped
// at the render size, then scaled to the back buffer (the title still blended there).
extern const PassDescription kToneMapPass;
extern const PassDescription kScaleToBackbufferPass;

// The descriptors one rendered frame takes from its heap: with the final pass, or with the
// tone mapping at the render size and the scaling pass.
uint32_t frameDescriptorCount(uint32_t atrousSteps, bool toneMappedAtRenderSize = false);
