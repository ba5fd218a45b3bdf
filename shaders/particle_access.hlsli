// Load and store ParticleData records of the particle buffer at their packed 104-byte stride.
// A StructuredBuffer<ParticleData> cannot be used: SPIR-V compilers keep a float3 from crossing a
// 16-byte boundary and would give the record a 128-byte stride, so the bytes are addressed by hand.
//
// Define PARTICLE_BUFFER as the name of the (RW)ByteAddressBuffer before including this file, and
// PARTICLE_BUFFER_WRITABLE when it is a RWByteAddressBuffer.
#ifndef TARNIX_PARTICLE_ACCESS_HLSLI
#define TARNIX_PARTICLE_ACCESS_HLSLI

#include "ParticleConfig.h"

static const uint PARTICLE_STRIDE = 104;

// Particles the buffer really holds: counts from the constants are clamped to this.
uint particleCapacity() {
  uint bytes;
  PARTICLE_BUFFER.GetDimensions(bytes);
#ifdef TARNIX_GLSLANG
  bytes *= 4;  // glslang reports a byte-address buffer's length in 4-byte words, not bytes
#endif
  return bytes / PARTICLE_STRIDE;
}

ParticleData loadParticle(uint index) {
  uint base = index * PARTICLE_STRIDE;
  ParticleData p;
  p.position = asfloat(PARTICLE_BUFFER.Load3(base + 0));
  p.prevPosition = asfloat(PARTICLE_BUFFER.Load3(base + 12));
  p.velocity = asfloat(PARTICLE_BUFFER.Load3(base + 24));
  p.acceleration = asfloat(PARTICLE_BUFFER.Load3(base + 36));
  uint4 scalars = PARTICLE_BUFFER.Load4(base + 48);
  p.radius = asfloat(scalars.x);
  p.elasticity = asfloat(scalars.y);
  p.friction = asfloat(scalars.z);
  p.id = scalars.w;
  uint2 flags = PARTICLE_BUFFER.Load2(base + 64);
  p.dynamic = flags.x;
  p.visible = flags.y;
  p.material.albedo = asfloat(PARTICLE_BUFFER.Load3(base + 72));
  float4 rest = asfloat(PARTICLE_BUFFER.Load4(base + 84));
  p.material.emissive = rest.x;
  p.material.reflection = rest.y;
  p.material.metallic = rest.z;
  p.material.transparency = rest.w;
  p.material.indexOfRefraction = asfloat(PARTICLE_BUFFER.Load(base + 100));
  return p;
}

#ifdef PARTICLE_BUFFER_WRITABLE
void storeParticle(uint index, ParticleData p) {
  uint base = index * PARTICLE_STRIDE;
  PARTICLE_BUFFER.Store3(base + 0, asuint(p.position));
  PARTICLE_BUFFER.Store3(base + 12, asuint(p.prevPosition));
  PARTICLE_BUFFER.Store3(base + 24, asuint(p.velocity));
  PARTICLE_BUFFER.Store3(base + 36, asuint(p.acceleration));
  PARTICLE_BUFFER.Store4(base + 48, uint4(asuint(p.radius), asuint(p.elasticity), asuint(p.friction), p.id));
  PARTICLE_BUFFER.Store2(base + 64, uint2(p.dynamic, p.visible));
  PARTICLE_BUFFER.Store3(base + 72, asuint(p.material.albedo));
  PARTICLE_BUFFER.Store4(base + 84, asuint(float4(p.material.emissive, p.material.reflection,
                                                  p.material.metallic, p.material.transparency)));
  PARTICLE_BUFFER.Store(base + 100, asuint(p.material.indexOfRefraction));
}
#endif

#endif  // TARNIX_PARTICLE_ACCESS_HLSLI
