#pragma once
// Reference of the particle simulation: the scenes' set-up frames and scene 0's scripted frames
// (before 2375), and the collision step on its own. The forces of later frames are not modelled.
#include "shaders/ParticleConfig.h"

namespace reference {

float rand3(float u);
// Simulates particles[0 .. numParticles) of a buffer that holds `capacity` records.
void simulateParticles(ParticleData* particles, uint32_t capacity, const SimulationData& sim,
                       const ParticleSceneData& scene);

// The collision step of particles[0 .. count), all already animated: every dynamic particle is
// resolved against the others as they stand before the step, taking its own half of each
// colliding dynamic pair (the partner takes the other half), then NaN positions are cleared.
void collideParticles(ParticleData* particles, uint32_t count);

}  // namespace reference
