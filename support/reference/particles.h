#pragma once
// Reference of the particle simulation for the frames whose outcome does not depend on the order
// of the GPU threads: the scenes' set-up frames and scene 0's scripted frames (before 2375).
// Later frames (forces and collisions) are not modelled.
#include "shaders/ParticleConfig.h"

namespace reference {

float rand3(float u);
// Simulates particles[0 .. numParticles) of a buffer that holds `capacity` records.
void simulateParticles(ParticleData* particles, uint32_t capacity, const SimulationData& sim,
                       const ParticleSceneData& scene);

}  // namespace reference
