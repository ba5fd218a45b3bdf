// The particle buffer `particles` and its ParticleData records at their packed 104-byte stride.
// Define PARTICLE_BUFFER_WRITABLE before including this file for the read-write buffer at u0;
// without it the buffer is the read-only one at t0.
//
// SPIR-V compilers keep a float3 from crossing a 16-byte boundary, which would give a structured
// buffer of ParticleData a 128-byte stride; for them (TARNIX_GLSLANG) the records are addressed by
// hand in a byte-address buffer. Other compilers use the structured buffer as declared.
#ifndef TARNIX_PARTICLE_ACCESS_HLSLI
#define TARNIX_PARTICLE_ACCESS_HLSLI

#include "ParticleConfig.h"

static const uint PARTICLE_STRIDE = 104;

#ifdef TARNIX_GLSLANG

#ifdef PARTICLE_BUFFER_WRITABLE
RWByteAddressBuffer particles : register(u0);
#else
ByteAddressBuffer particles : register(t0);
#endif

// Particles the buffer's view holds: counts from the constants are clamped to this.
uint particleCapacity() {
  uint words;
  particles.GetDimensions(words);  // glslang reports the length in 4-byte words, not bytes
  return words * 4 / PARTICLE_STRIDE;
}

ParticleData loadParticle(uint index) {
  uint base = index * PARTICLE_STRIDE;
  ParticleData p;
  p.position = asfloat(particles.Load3(base + 0));
  p.prevPosition = asfloat(particles.Load3(base + 12));
  p.velocity = asfloat(particles.Load3(base + 24));
  p.acceleration = asfloat(particles.Load3(base + 36));
  uint4 scalars = particles.Load4(base + 48);
  p.radius = asfloat(scalars.x);
  p.elasticity = asfloat(scalars.y);
  p.friction = asfloat(scalars.z);
  p.id = scalars.w;
  uint2 flags = particles.Load2(base + 64);
  p.dynamic = flags.x;
  p.visible = flags.y;
  p.material.albedo = asfloat(particles.Load3(base + 72));
  float4 rest = asfloat(particles.Load4(base + 84));
  p.material.emissive = rest.x;
  p.material.reflection = rest.y;
  p.material.metallic = rest.z;
  p.material.transparency = rest.w;
  p.material.indexOfRefraction = asfloat(particles.Load(base + 100));
  return p;
}

// Only what a ray-sphere test needs: centre and radius, and whether the sphere is drawn.
float4 loadSphere(uint index, out bool visible) {
  uint base = index * PARTICLE_STRIDE;
  visible = particles.Load(base + 68) != 0;
  return float4(asfloat(particles.Load3(base + 0)), asfloat(particles.Load(base + 48)));
}

// Single fields of record `index`, for a shader that reads only what it uses (a read whose
// address differs between the lanes of a wave is made lane by lane on a CPU driver).
float3 particlePosition(uint index) { return asfloat(particles.Load3(index * PARTICLE_STRIDE + 0)); }
uint particleId(uint index) { return particles.Load(index * PARTICLE_STRIDE + 60); }
float3 particleAlbedo(uint index) { return asfloat(particles.Load3(index * PARTICLE_STRIDE + 72)); }
float particleEmissive(uint index) { return asfloat(particles.Load(index * PARTICLE_STRIDE + 84)); }
float particleReflection(uint index) { return asfloat(particles.Load(index * PARTICLE_STRIDE + 88)); }
float particleMetallic(uint index) { return asfloat(particles.Load(index * PARTICLE_STRIDE + 92)); }
float particleTransparency(uint index) { return asfloat(particles.Load(index * PARTICLE_STRIDE + 96)); }
float particleIndexOfRefraction(uint index) { return asfloat(particles.Load(index * PARTICLE_STRIDE + 100)); }

#ifdef PARTICLE_BUFFER_WRITABLE
void storeParticle(uint index, ParticleData p) {
  uint base = index * PARTICLE_STRIDE;
  particles.Store3(base + 0, asuint(p.position));
  particles.Store3(base + 12, asuint(p.prevPosition));
  particles.Store3(base + 24, asuint(p.velocity));
  particles.Store3(base + 36, asuint(p.acceleration));
  particles.Store4(base + 48, uint4(asuint(p.radius), asuint(p.elasticity), asuint(p.friction), p.id));
  particles.Store2(base + 64, uint2(p.dynamic, p.visible));
  particles.Store3(base + 72, asuint(p.material.albedo));
  particles.Store4(base + 84, asuint(float4(p.material.emissive, p.material.reflection,
                                            p.material.metallic, p.material.transparency)));
  particles.Store(base + 100, asuint(p.material.indexOfRefraction));
}
#endif

#else  // structured buffers are packed tightly: the record as declared

#ifdef PARTICLE_BUFFER_WRITABLE
RWStructuredBuffer<ParticleData> particles : register(u0);
#else
StructuredBuffer<ParticleData> particles : register(t0);
#endif

uint particleCapacity() {
  uint count, stride;
  particles.GetDimensions(count, stride);
  return count;
}
ParticleData loadParticle(uint index) { return particles[index]; }
float4 loadSphere(uint index, out bool visible) {
  visible = particles[index].visible != 0;
  return float4(particles[index].position, particles[index].radius);
}
float3 particlePosition(uint index) { return particles[index].position; }
uint particleId(uint index) { return particles[index].id; }
float3 particleAlbedo(uint index) { return particles[index].material.albedo; }
float particleEmissive(uint index) { return particles[index].material.emissive; }
float particleReflection(uint index) { return particles[index].material.reflection; }
float particleMetallic(uint index) { return particles[index].material.metallic; }
float particleTransparency(uint index) { return particles[index].material.transparency; }
float particleIndexOfRefraction(uint index) { return particles[index].material.indexOfRefraction; }
#ifdef PARTICLE_BUFFER_WRITABLE
void storeParticle(uint index, ParticleData p) { particles[index] = p; }
#endif

#endif  // TARNIX_GLSLANG

#endif  // TARNIX_PARTICLE_ACCESS_HLSLI
