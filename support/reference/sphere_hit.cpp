#include "support/reference/sphere_hit.h"

namespace reference {

SphereHit nearestSphere(Vec3 o, Vec3 d, const ParticleData* particles, uint32_t count) {
  SphereHit best;
  for (uint32_t i = 0; i < count; ++i) {
    const ParticleData& p = particles[i];
    if (!p.visible) continue;
    Vec3 c{p.position.x, p.position.y, p.position.z};
    Vec3 oc = o - c;
    float a = dot(d, d), b = 2 * dot(oc, d), k = dot(oc, oc) - p.radius * p.radius;
    float disc = b * b - 4 * a * k;
    if (disc < 0) continue;
    float t0 = (-b - std::sqrt(disc)) / (2 * a), t1 = (std::sqrt(disc) - b) / (2 * a);
    float t = t0 > 0 ? t0 : t1;
    if (t < 0 || !(t < best.t)) continue;
    best.found = true;
    best.t = t;
    best.point = o + d * t;
    best.normal = normalize(best.point - c);
    best.farPoint = o + d * std::max(t0, t1);
    best.index = i;
  }
  return best;
}

}  // namespace reference
