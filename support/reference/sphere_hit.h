#pragma once
// Reference of the scene pass's ray-sphere test: the nearest visible particle along a ray.
#include "shaders/ParticleConfig.h"
#include "support/reference/shading_math.h"

namespace reference {

struct SphereHit {
  bool found = false;
  float t = 3.4028235e38f;
  Vec3 point, normal, farPoint;
  uint32_t index = 0;
};

SphereHit nearestSphere(Vec3 origin, Vec3 dir, const ParticleData* particles, uint32_t count);

}  // namespace reference
