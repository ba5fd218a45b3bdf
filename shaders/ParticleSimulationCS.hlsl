// The scenes' content: places the spheres on a scene's first frame, scripts a few of them, moves
// the others by simple forces and resolves sphere-sphere collisions.
//
// One group, one thread per particle, in two steps: every thread first animates its own particle
// and publishes what collisions need in group-shared memory; after a barrier each thread resolves
// its own particle against that snapshot and writes only its own record. No thread reads a record
// another thread writes in the same step, so the same input always gives the same output.
#include "ParticleConfig.h"
#include "branch_constant.hlsli"
#include "exact_sine.hlsli"
#include "float_bits.hlsli"

#define PARTICLE_BUFFER_WRITABLE
#include "particle_access.hlsli"  // particles: u0

// One group holds every record of the particle buffer (the program's kParticleCapacity).
#define PARTICLE_GROUP_SIZE 128

ConstantBuffer<SimulationData> simData : register(b0);
ConstantBuffer<ParticleSceneData> particleScene : register(b1);

// Phase within the 2.4-second beat (time in milliseconds).
float beat(float time) { return frac(time * 0.0004167); }
float smoothCurve(float s) { return s * s * (3.0 - 2.0 * s); }
// The hash and its chained inputs are `precise` and its sine the exact one: every driver draws the
// same random numbers, so sets up the same scene.
float rand3(float u) {
  precise float a = u * 12.9898 + u * 78.233 + u * 37.719;
  return fractionalPart(exactSin(a) * 43758.5453);
}
float nextRandomInput(float u) {
  precise float next = u * 1.618034 + 0.1234568;
  return fractionalPart(next);
}

float3 orbit(float a) { return float3(20.0 * sin(a), 15.0 * cos(a), -100.0 - 14.0 * sin(a)); }

bool hasNaN(float3 v) { return isNaN(v.x) || isNaN(v.y) || isNaN(v.z); }

ParticleData zeroParticle() {
  ParticleData p;
  p.position = 0; p.prevPosition = 0; p.velocity = 0; p.acceleration = 0;
  p.radius = 0; p.elasticity = 0; p.friction = 0; p.id = 0; p.dynamic = 0; p.visible = 0;
  p.material.albedo = 0; p.material.emissive = 0; p.material.reflection = 0;
  p.material.metallic = 0; p.material.transparency = 0; p.material.indexOfRefraction = 0;
  return p;
}

// Writes the fields a scene set-up gives a particle; the others keep their values.
void setUp(inout ParticleData p, float3 position, float radius, float3 albedo, float emissive,
           float reflection, float metallic, float elasticity, float friction, float3 acceleration,
           float3 velocity, uint dynamic, uint visible) {
  p.position = position; p.radius = radius; p.material.albedo = albedo;
  p.material.emissive = emissive; p.material.reflection = reflection; p.material.metallic = metallic;
  p.elasticity = elasticity; p.friction = friction; p.acceleration = acceleration;
  p.velocity = velocity; p.dynamic = dynamic; p.visible = visible;
}

void setUpScene0(uint i, inout ParticleData p, float u0) {
  p.prevPosition = 0;
  p.visible = 0;
  if (i >= 4) return;
  p.material.albedo = float3(1, 1, 1);
  p.velocity = 0;
  p.acceleration = 0;
  p.visible = 1;
  if (i == 0) {
    p.position = float3(0, 0, -100); p.radius = 8; p.material.emissive = 0;
    p.material.reflection = 1; p.material.metallic = 1; p.material.transparency = 1;
    p.material.indexOfRefraction = 1.1; p.elasticity = 0; p.friction = 0.55948; p.dynamic = 0;
    return;
  }
  if (i == 1) { p.position = float3(0, 20, -100); p.friction = 0.006; }
  if (i == 2) { p.position = float3(18.1859474, -8.322937, -100); p.friction = 0.01; }
  if (i == 3) { p.position = float3(-15.1360502, -13.0728722, -100); p.friction = 0.01; }
  p.radius = 0; p.material.emissive = 1; p.material.metallic = 0;
  p.elasticity = 0.1 + 0.3 * rand3(u0); p.dynamic = 1;
}

void setUpScene1(uint i, inout ParticleData p, float u0) {
  float3 none = float3(0, 0, 0);
  float3 lift = float3(0, 0.49, 0);
  float3 cameraPos = simData.cameraPos;
  if (i == 1) setUp(p, float3(0, 2025, 0), 2000, 0.01, 0, 1, 1, 0, 0.1, none, none, 0, 1);
  else if (i == 2) setUp(p, none, 0, none, 0, 0, 0, 0, 0, none, none, 0, 0);
  else if (i == 3) setUp(p, float3(-525, 0, 0), 500, 0.1, 0, 1, 1, 0, 0, none, none, 0, 1);
  else if (i == 4) setUp(p, float3(525, 0, 0), 500, 0.1, 0, 1, 1, 0, 0, none, none, 0, 1);
  else if (i == 5) setUp(p, float3(0, 0, 525), 500, 0.1, 0, 1, 1, 0, 0, none, none, 0, 1);
  else if (i == 6) setUp(p, float3(0, 0, -525), 0, none, 0, 0, 0, 0, 0, none, none, 0, 0);
  else if (i == 7) setUp(p, cameraPos, 4, none, 0, 0, 0, 0, 0, none, none, 0, 0);
  else if (i == 8) setUp(p, none, 8, float3(1, 1, 1), 1, 0, 0, 0, 0.5, none, none, 0, 1);
  else if (i >= 9 && i <= 100) {
    float u1 = nextRandomInput(u0);
    float u2 = nextRandomInput(u1);
    float u3 = nextRandomInput(u2);
    float u4 = nextRandomInput(u3);
    // `precise`: every driver places the spheres on the same bits.
    precise float radius = 0.8 + 4.0 * rand3(u0);
    precise float3 position = float3(radius * (2.0 * rand3(u1) - 1.0), radius * (2.0 * rand3(u2) - 1.0) + 25.0,
                                     radius * (2.0 * rand3(u3) - 1.0) - 300.0);
    float3 albedo = 0.5 + 0.5 * cos(6.283185 * (float(i) / float(particleScene.numParticles) +
                                                float3(0, 0.1, 0.2)));
    setUp(p, position, radius, albedo, 0, 1, rand3(u4), 0.1, 0.5, float3(0, 0.049, 0),
          -1.8 * normalize(position), 1, 1);
    p.material.transparency = 0;
    p.material.indexOfRefraction = 0;
  } else if (i == 101) setUp(p, float3(0, 25, -300), 4, float3(1, 1, 1), 1, 0.5, 0, 0.3, 0, lift, none, 0, 0);
  else if (i == 102) setUp(p, cameraPos, 8, float3(1, 1, 1), 1, 0.5, 0, 0.3, 0, lift, float3(0, 0, 3), 0, 0);
  else p.visible = 0;
}

void animateScene0(uint i, inout ParticleData p, uint frame, float time, float dt) {
  if (frame != 0 && i == 0) p.radius = 8.5 + 0.5 * sin(6.2831855 * beat(time));
  if (frame < 2375) {
    float a = time * 0.0005;
    float3 old = p.position;
    if (i == 1) {
      p.position = orbit(a);
      p.radius = 4.0 * smoothCurve(saturate((float(frame) - 713.0) / 87.0));
      p.velocity = 2.985 * (p.position - old);
    } else if (i == 2) {
      p.position = orbit(a + 2.0);
      p.radius = 4.0 * smoothCurve(saturate((float(frame) - 868.0) / 85.0));
      p.velocity = 2.0 * (p.position - old);
    } else if (i == 3) {
      p.position = orbit(a + 4.0);
      p.radius = 4.0 * smoothCurve(saturate((float(frame) - 1008.0) / 85.0));
      p.velocity = 2.0 * (p.position - old);
    }
  } else if (p.dynamic != 0) {
    float3 centre = loadParticle(0).position;
    p.acceleration = (centre - p.position) * 0.0021;
    p.material.emissive = abs(sin(0.5 * sin(time * 0.0005 + float(i))));
    p.velocity += p.acceleration * dt;
    p.position += p.velocity * dt;
  }
}

void animateScene1(uint i, inout ParticleData p, uint frame, float time, float dt) {
  float3 lift = float3(0, 0.49, 0);
  if (i == 8) {
    if (frame > 5560) {
      p.dynamic = 1;
      p.acceleration = lift;
      p.velocity += p.acceleration * dt;
      p.position += p.velocity * dt;
      p.material.emissive = 0;
    } else if (frame < 5560) {
      p.radius = 8.0 + 0.25 * exp2(-72.1347504 * beat(time));
    } else {
      p.material.emissive = 1.0 - smoothCurve(saturate((float(frame) - 5560.0) * 0.0022727));
    }
  }
  if (p.dynamic != 0 && i < 101) {
    float k = beat(time) <= 0.02 ? 1.0 : 0.0;
    if (frame > 5560) {
      p.acceleration = lift;
      p.velocity += p.acceleration * dt;
    } else if (frame >= 4001) {
      p.acceleration = -2.0 * k * normalize(p.position);
      p.velocity += p.acceleration * dt;
    } else if (frame >= 3301) {
      p.acceleration = 5.0 * k * normalize(-p.position);
      p.velocity += (p.acceleration + k * (-0.001 * normalize(p.position) - p.acceleration)) * dt;
    } else {
      p.velocity += p.acceleration * dt;
    }
    p.position += p.velocity * dt;
  }
  if (i == 102) p.position = simData.cameraPos;
  if (i == 101 && frame > 4900) {
    p.dynamic = 1;
    if (frame <= 5560) {
      p.visible = 1;
      p.velocity = -2.1 * normalize(p.position);
    } else {
      p.acceleration = lift;
      p.material.emissive = 0;
    }
    p.velocity += p.acceleration * dt;
    p.position += p.velocity * dt;
  }
}

// What a collision reads of a particle, as it stands after every particle was animated.
struct CollisionBody {
  float4 positionRadius;
  float4 velocityElasticity;
  float friction;
  uint dynamic;
};
groupshared CollisionBody bodies[PARTICLE_GROUP_SIZE];

CollisionBody bodyOf(ParticleData p) {
  CollisionBody b;
  b.positionRadius = float4(p.position, p.radius);
  b.velocityElasticity = float4(p.velocity, p.elasticity);
  b.friction = p.friction;
  b.dynamic = p.dynamic;
  return b;
}

// Resolves dynamic particle i (held in p) against every other particle of the snapshot, in index
// order. Against a dynamic partner p takes its own half of the pair's impulse and push-out (the
// partner takes the other half in its own thread, from the same snapshot); against a static one it
// is pushed out and bounces.
void collide(uint i, inout ParticleData p, uint count) {
  for (uint j = 0; j < count; ++j) {
    if (j == i) continue;
    CollisionBody q = bodies[j];
    float3 qPosition = q.positionRadius.xyz;
    float qRadius = q.positionRadius.w;
    float R = p.radius + qRadius;
    if (q.dynamic != 0) {
      float3 d = qPosition - p.position;
      float dist = length(d);
      if (!(dist < R)) continue;  // also skips a NaN distance
      // Coincident centres have no direction: the lower index goes down, the higher one up, so
      // the two halves of the pair still push apart.
      float3 n = dist > 0.000001 ? d / dist : (i < j ? float3(0, 1, 0) : float3(0, -1, 0));
      float vn = dot(p.velocity - q.velocityElasticity.xyz, n);
      float3 J = -vn * (min(p.elasticity, q.velocityElasticity.w) + 1.0) * n;
      float3 c = n * (R - dist) / R;
      p.velocity += J * q.friction;
      p.position -= c * qRadius;
    } else {
      float3 d = p.position - qPosition;
      float dist = length(d);
      if (!(dist < R)) continue;  // also skips a NaN distance
      float3 n = dist > 0.000001 ? d / dist : float3(0, 1, 0);
      p.position += n * 0.8 * max(R - dist - 0.001, 0.0);
      float vn = dot(p.velocity, n);
      if (vn < 0.0) {
        float e = saturate(p.elasticity);
        float f = saturate(q.friction * p.friction);
        p.velocity = (1.0 - f) * (p.velocity - vn * n) - e * vn * n;
      }
    }
  }
}

// Every record the buffer holds gets a thread; the threads past the simulated count still take
// part in the barrier. Groups after the first (a caller dispatching more than one) do nothing.
// WebGPU cannot prove that test the same for a whole group, and a barrier must be in uniform
// flow there: the web build relies on the one group the frame dispatches.
[numthreads(PARTICLE_GROUP_SIZE, 1, 1)]
void main(uint3 dispatchId : SV_DispatchThreadID) {
  uint i = dispatchId.x;
#ifndef TARNIX_WEB
  if (i >= PARTICLE_GROUP_SIZE) return;
#endif
  // "SM::NumPart" may exceed what the buffer holds; nothing past its end is touched. Particles are
  // simulated in whole blocks of 32; the ones past the last whole block stay as they are but
  // still take part in collisions.
  uint count = min(particleScene.numParticles, min(particleCapacity(), PARTICLE_GROUP_SIZE));
  uint simulated = count / 32 * 32;

  uint scene = branchConstant(simData.scene);
  uint frame = branchConstant(simData.frame);
  float time = simData.time;
  float dt = simData.dt;
  precise float firstInput = (time + float(i) + 1.0) * 1.618034 + 0.1234568;
  float u0 = fractionalPart(firstInput);

  ParticleData p = zeroParticle();
  if (i < count) p = loadParticle(i);
  bool collides = false;
  if (i < simulated) {
    p.id = i + 1;
    p.prevPosition = p.position;
    if (scene == 0) {
      if (frame == 0) setUpScene0(i, p, u0);
      animateScene0(i, p, frame, time, dt);
      collides = frame >= 2375 && p.dynamic != 0;
    } else if (scene == 1) {
      if (frame == kSceneClearFrame) {
        p.radius = 0;
        p.visible = 0;
      } else if (frame == kSceneSetUpFrame) {
        setUpScene1(i, p, u0);
      } else if (frame > kSceneSetUpFrame) {
        animateScene1(i, p, frame, time, dt);
        collides = p.dynamic != 0;
      }
    }
  }

  // Every read of the buffer happens before this barrier and every write after it.
  bodies[i] = bodyOf(p);
  GroupMemoryBarrierWithGroupSync();
  if (i >= simulated) return;

  if (collides) collide(i, p, count);
  if (hasNaN(p.position)) p = zeroParticle();
  storeParticle(i, p);
}
