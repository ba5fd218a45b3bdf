#pragma once
// Reference of the particle simulation: one frame, the threads run one after another in index
// order (on the GPU they run concurrently; only colliding dynamic pairs depend on the order).
#include "shaders/ParticleConfig.h"

namespace reference {

float rand3(float u);
// Simulates particles[0 .. numParticles) of a buffer that holds `capacity` records.
void simulateParticles(ParticleData* particles, uint32_t capacity, const SimulationData& sim,
                       const ParticleSceneData& scene);

}  // namespace reference
