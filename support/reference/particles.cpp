#include "support/reference/particles.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "support/reference/exact_sine.h"
#include "support/reference/shading_math.h"

namespace reference {
namespace {

Vec3 v(float3 a) { return {a.x, a.y, a.z}; }
float3 f3(Vec3 a) { return {a.x, a.y, a.z}; }
float3 f3(float x, float y, float z) { return {x, y, z}; }

float beat(float time) { return frac(time * 0.0004167f); }
float smoothCurve(float s) { return s * s * (3.0f - 2.0f * s); }
float nextInput(float u) { return fractionalPart(u * 1.618034f + 0.1234568f); }
Vec3 orbit(float a) { return {20.0f * std::sin(a), 15.0f * std::cos(a), -100.0f - 14.0f * std::sin(a)}; }

void setAll(ParticleData& p, float3 position, float radius, float3 albedo, float emissive, float reflection,
            float metallic, float elasticity, float friction, float3 acceleration, float3 velocity, uint dynamic,
            uint visible) {
  p.position = position;
  p.radius = radius;
  p.material.albedo = albedo;
  p.material.emissive = emissive;
  p.material.reflection = reflection;
  p.material.metallic = metallic;
  p.elasticity = elasticity;
  p.friction = friction;
  p.acceleration = acceleration;
  p.velocity = velocity;
  p.dynamic = dynamic;
  p.visible = visible;
}

void scene0SetUp(uint32_t i, ParticleData& p, float u0) {
  p.prevPosition = {};
  p.visible = 0;
  if (i > 3) return;
  const float3 white = f3(1, 1, 1);
  if (i == 0) {
    setAll(p, f3(0, 0, -100), 8, white, 0, 1, 1, 0, 0.55948f, {}, {}, 0, 1);
    p.material.transparency = 1;
    p.material.indexOfRefraction = 1.1f;
    return;
  }
  const float3 start[4] = {{}, f3(0, 20, -100), f3(18.1859474f, -8.322937f, -100), f3(-15.1360502f, -13.0728722f, -100)};
  p.position = start[i];
  p.radius = 0;
  p.material.albedo = white;
  p.material.emissive = 1;
  p.material.metallic = 0;
  p.elasticity = 0.1f + 0.3f * rand3(u0);
  p.friction = i == 1 ? 0.006f : 0.01f;
  p.velocity = {};
  p.acceleration = {};
  p.dynamic = 1;
  p.visible = 1;
}

void scene1SetUp(uint32_t i, ParticleData& p, float u0, const SimulationData& sim, uint32_t numParticles) {
  const float3 o{}, white = f3(1, 1, 1), lift = f3(0, 0.49f, 0);
  const float3 grey = f3(0.1f, 0.1f, 0.1f);
  switch (i) {
    case 1: setAll(p, f3(0, 2025, 0), 2000, f3(0.01f, 0.01f, 0.01f), 0, 1, 1, 0, 0.1f, o, o, 0, 1); return;
    case 2: setAll(p, o, 0, o, 0, 0, 0, 0, 0, o, o, 0, 0); return;
    case 3: setAll(p, f3(-525, 0, 0), 500, grey, 0, 1, 1, 0, 0, o, o, 0, 1); return;
    case 4: setAll(p, f3(525, 0, 0), 500, grey, 0, 1, 1, 0, 0, o, o, 0, 1); return;
    case 5: setAll(p, f3(0, 0, 525), 500, grey, 0, 1, 1, 0, 0, o, o, 0, 1); return;
    case 6: setAll(p, f3(0, 0, -525), 0, o, 0, 0, 0, 0, 0, o, o, 0, 0); return;
    case 7: setAll(p, sim.cameraPos, 4, o, 0, 0, 0, 0, 0, o, o, 0, 0); return;
    case 8: setAll(p, o, 8, white, 1, 0, 0, 0, 0.5f, o, o, 0, 1); return;
    case 101: setAll(p, f3(0, 25, -300), 4, white, 1, 0.5f, 0, 0.3f, 0, lift, o, 0, 0); return;
    case 102: setAll(p, sim.cameraPos, 8, white, 1, 0.5f, 0, 0.3f, 0, lift, f3(0, 0, 3), 0, 0); return;
    default: break;
  }
  if (i < 9 || i > 100) {
    p.visible = 0;
    return;
  }
  float u1 = nextInput(u0), u2 = nextInput(u1), u3 = nextInput(u2), u4 = nextInput(u3);
  float radius = 0.8f + 4.0f * rand3(u0);
  Vec3 position{radius * (2.0f * rand3(u1) - 1.0f), radius * (2.0f * rand3(u2) - 1.0f) + 25.0f,
                radius * (2.0f * rand3(u3) - 1.0f) - 300.0f};
  float phase = static_cast<float>(i) / static_cast<float>(numParticles);
  float3 albedo = f3(0.5f + 0.5f * std::cos(6.283185f * phase), 0.5f + 0.5f * std::cos(6.283185f * (phase + 0.1f)),
                     0.5f + 0.5f * std::cos(6.283185f * (phase + 0.2f)));
  setAll(p, f3(position), radius, albedo, 0, 1, rand3(u4), 0.1f, 0.5f, f3(0, 0.049f, 0),
         f3(normalize(position) * -1.8f), 1, 1);
  p.material.transparency = 0;
  p.material.indexOfRefraction = 0;
}

void step(uint32_t i, ParticleData& p, const SimulationData& sim, const ParticleSceneData& scene) {
  const uint32_t frame = sim.frame;
  const float time = sim.time;
  const float u0 = fractionalPart((time + static_cast<float>(i) + 1.0f) * 1.618034f + 0.1234568f);
  p.id = i + 1;
  p.prevPosition = p.position;
  if (sim.scene == 0) {
    if (frame == 0) scene0SetUp(i, p, u0);
    if (frame != 0 && i == 0) p.radius = 8.5f + 0.5f * std::sin(6.2831855f * beat(time));
    if (frame < 2375) {
      if (i >= 1 && i <= 3) {
        const float phase[4] = {0, 0, 2, 4}, start[4] = {0, 713, 868, 1008}, span[4] = {0, 87, 85, 85};
        const float gain[4] = {0, 2.985f, 2, 2};
        Vec3 old = v(p.position);
        Vec3 now = orbit(time * 0.0005f + phase[i]);
        p.position = f3(now);
        p.radius = 4.0f * smoothCurve(saturate((static_cast<float>(frame) - start[i]) / span[i]));
        p.velocity = f3((now - old) * gain[i]);
      }
    }
  } else if (sim.scene == 1) {
    if (frame == kSceneClearFrame) {
      p.radius = 0;
      p.visible = 0;
    } else if (frame == kSceneSetUpFrame) {
      scene1SetUp(i, p, u0, sim, scene.numParticles);
    }
  }
  if (std::isnan(p.position.x) || std::isnan(p.position.y) || std::isnan(p.position.z)) p = ParticleData{};
}

void collide(uint32_t i, ParticleData& p, const std::vector<ParticleData>& before) {
  for (uint32_t j = 0; j < before.size(); ++j) {
    if (j == i) continue;
    const ParticleData& q = before[j];
    float R = p.radius + q.radius;
    if (q.dynamic != 0) {
      Vec3 d = v(q.position) - v(p.position);
      float dist = length(d);
      if (!(dist < R)) continue;
      Vec3 n = dist > 0.000001f ? d * (1.0f / dist) : Vec3{0, i < j ? 1.0f : -1.0f, 0};
      float vn = dot(v(p.velocity) - v(q.velocity), n);
      Vec3 J = n * (-vn * (std::min(p.elasticity, q.elasticity) + 1.0f));
      Vec3 c = n * ((R - dist) / R);
      p.velocity = f3(v(p.velocity) + J * q.friction);
      p.position = f3(v(p.position) - c * q.radius);
    } else {
      Vec3 d = v(p.position) - v(q.position);
      float dist = length(d);
      if (!(dist < R)) continue;
      Vec3 n = dist > 0.000001f ? d * (1.0f / dist) : Vec3{0, 1, 0};
      p.position = f3(v(p.position) + n * (0.8f * std::max(R - dist - 0.001f, 0.0f)));
      float vn = dot(v(p.velocity), n);
      if (vn < 0.0f) {
        float e = saturate(p.elasticity), f = saturate(q.friction * p.friction);
        p.velocity = f3((v(p.velocity) - n * vn) * (1.0f - f) - n * (e * vn));
      }
    }
  }
}

}  // namespace

void collideParticles(ParticleData* particles, uint32_t count) {
  const std::vector<ParticleData> before(particles, particles + count);
  for (uint32_t i = 0; i < count; ++i) {
    ParticleData& p = particles[i];
    if (p.dynamic != 0) collide(i, p, before);
    if (std::isnan(p.position.x) || std::isnan(p.position.y) || std::isnan(p.position.z)) p = ParticleData{};
  }
}

float rand3(float u) {
  return fractionalPart(exactSin(u * 12.9898f + u * 78.233f + u * 37.719f) * 43758.5453f);
}

void simulateParticles(ParticleData* particles, uint32_t capacity, const SimulationData& sim,
                       const ParticleSceneData& scene) {
  uint32_t count = std::min(scene.numParticles, capacity);
  for (uint32_t i = 0; i < count; ++i) step(i, particles[i], sim, scene);
}

}  // namespace reference
