#include "tests/shaders/reference/particles.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "tests/shaders/reference/shading_math.h"

namespace reference {
namespace {

Vec3 v(float3 a) { return {a.x, a.y, a.z}; }
float3 f3(Vec3 a) { return {a.x, a.y, a.z}; }
float3 f3(float x, float y, float z) { return {x, y, z}; }

float beat(float time) { return frac(time * 0.0004167f); }
float smoothCurve(float s) { return s * s * (3.0f - 2.0f * s); }
float nextInput(float u) { return frac(u * 1.618034f + 0.1234568f); }
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

void integrate(ParticleData& p, float dt) {
  p.velocity = f3(v(p.velocity) + v(p.acceleration) * dt);
  p.position = f3(v(p.position) + v(p.velocity) * dt);
}

void collide(uint32_t i, ParticleData* all, uint32_t count) {
  ParticleData& p = all[i];
  for (uint32_t j = 0; j < count; ++j) {
    if (j == i) continue;
    ParticleData& q = all[j];
    float R = p.radius + q.radius;
    if (q.dynamic) {
      Vec3 d = v(q.position) - v(p.position);
      float dist = length(d);
      if (!(dist < R)) continue;  // also skips a NaN distance
      Vec3 n = dist > 0.000001f ? d * (1.0f / dist) : Vec3{0, 1, 0};
      float vn = dot(v(p.velocity) - v(q.velocity), n);
      Vec3 J = n * (-vn * (std::min(p.elasticity, q.elasticity) + 1.0f));
      Vec3 c = n * ((R - dist) / R);
      p.velocity = f3(v(p.velocity) + J * q.friction);
      q.velocity = f3(v(q.velocity) - J * q.friction);
      Vec3 pi = v(p.position) - c * q.radius;
      q.position = f3(v(q.position) + c * p.radius);
      p.position = f3(pi);
    } else {
      Vec3 d = v(p.position) - v(q.position);
      float dist = length(d);
      if (!(dist < R)) continue;  // also skips a NaN distance
      Vec3 n = dist > 0.000001f ? d * (1.0f / dist) : Vec3{0, 1, 0};
      p.position = f3(v(p.position) + n * (0.8f * std::max(R - dist - 0.001f, 0.0f)));
      float vn = dot(v(p.velocity), n);
      if (vn < 0.0f) {
        float e = saturate(p.elasticity);
        float f = saturate(q.friction * p.friction);
        p.velocity = f3((v(p.velocity) - n * vn) * (1.0f - f) - n * (e * vn));
      }
    }
  }
}

void step(uint32_t i, ParticleData* all, uint32_t count, const SimulationData& sim, const ParticleSceneData& scene) {
  ParticleData& p = all[i];
  const uint32_t frame = sim.frame;
  const float time = sim.time, dt = sim.dt;
  const float u0 = frac((time + static_cast<float>(i) + 1.0f) * 1.618034f + 0.1234568f);
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
    } else if (p.dynamic) {
      p.acceleration = f3((v(all[0].position) - v(p.position)) * 0.0021f);
      p.material.emissive = std::fabs(std::sin(0.5f * std::sin(time * 0.0005f + static_cast<float>(i))));
      integrate(p, dt);
      if (count > 0) collide(i, all, count);
    }
  } else if (sim.scene == 1) {
    if (frame == 3254) {
      p.radius = 0;
      p.visible = 0;
    } else if (frame == 3255) {
      scene1SetUp(i, p, u0, sim, scene.numParticles);
    } else if (frame > 3255) {
      const float3 lift = f3(0, 0.49f, 0);
      if (i == 8) {
        if (frame > 5560) {
          p.dynamic = 1;
          p.acceleration = lift;
          integrate(p, dt);
          p.material.emissive = 0;
        } else if (frame < 5560) {
          p.radius = 8.0f + 0.25f * std::exp2(-72.1347504f * beat(time));
        } else {
          p.material.emissive = 1.0f - smoothCurve(saturate((static_cast<float>(frame) - 5560.0f) * 0.0022727f));
        }
      }
      if (p.dynamic && i < 101) {
        float k = beat(time) <= 0.02f ? 1.0f : 0.0f;
        Vec3 dir = normalize(v(p.position));
        if (frame > 5560) {
          p.acceleration = lift;
          p.velocity = f3(v(p.velocity) + v(p.acceleration) * dt);
        } else if (frame >= 4001) {
          p.acceleration = f3(dir * (-2.0f * k));
          p.velocity = f3(v(p.velocity) + v(p.acceleration) * dt);
        } else if (frame >= 3301) {
          Vec3 a = normalize(v(p.position) * -1.0f) * (5.0f * k);
          p.acceleration = f3(a);
          p.velocity = f3(v(p.velocity) + (a + (dir * -0.001f - a) * k) * dt);
        } else {
          p.velocity = f3(v(p.velocity) + v(p.acceleration) * dt);
        }
        p.position = f3(v(p.position) + v(p.velocity) * dt);
      }
      if (i == 102) p.position = sim.cameraPos;
      if (i == 101 && frame > 4900) {
        p.dynamic = 1;
        if (frame <= 5560) {
          p.visible = 1;
          p.velocity = f3(normalize(v(p.position)) * -2.1f);
        } else {
          p.acceleration = lift;
          p.material.emissive = 0;
        }
        integrate(p, dt);
      }
      if (p.dynamic && count > 0) collide(i, all, count);
    }
  }
  if (std::isnan(p.position.x) || std::isnan(p.position.y) || std::isnan(p.position.z)) p = ParticleData{};
}

}  // namespace

float rand3(float u) {
  return frac(std::sin(u * 12.9898f + u * 78.233f + u * 37.719f) * 43758.5453f);
}

void simulateParticles(ParticleData* particles, uint32_t capacity, const SimulationData& sim,
                       const ParticleSceneData& scene) {
  uint32_t count = std::min(scene.numParticles, capacity);
  for (uint32_t i = 0; i < count; ++i) step(i, particles, count, sim, scene);
}

}  // namespace reference
