// Path-traces the particles (every particle is a sphere): the nearest sphere along the camera ray
// fills the G-buffer, then a few jittered samples with up to five bounces give the noisy colour.
// The nearest sphere comes from the bounding volume hierarchy of the visible spheres, or, built
// with SCENE_BRUTE_FORCE (SceneRenderBruteForceCS), from a test of every particle; both give the
// same hit, so the same picture.
#include "ParticleConfig.h"

#include "exact_sine.hlsli"
#include "particle_access.hlsli"  // particles: t0
#include "sphere_bvh.hlsli"

STORAGE_FORMAT(rgba16float) RWTexture2D<float4> outputTexture : register(u0);
RWTexture2D<float4> velocityBuffer : register(u1);
RWTexture2D<float4> positionBuffer : register(u2);
RWTexture2D<float4> normalBuffer : register(u3);
#ifndef TARNIX_WEB
RWTexture2D<float> depthBuffer : register(u4);
#endif
ConstantBuffer<ConstantBufferData> constantData : register(b0);
ConstantBuffer<ParticleSceneData> particleScene : register(b1);
ConstantBuffer<SimulationData> simData : register(b2);
#ifndef SCENE_BRUTE_FORCE
// The hierarchy SphereBvhBuildCS built from the particles. A constant-buffer view: every read
// of the walk is at an address that all the lanes of a wave share, which GPUs serve from their
// constant caches and a CPU driver as one plain load per lane, where it checks a storage read
// lane by lane.
struct SphereBvhBlocks {
  uint4 blocks[BVH_BYTES / 16];
};
ConstantBuffer<SphereBvhBlocks> sphereBvh : register(b3);
uint4 bvhBlock(uint address) { return sphereBvh.blocks[address / 16]; }
uint bvhWord(uint address) { return sphereBvh.blocks[address / 16][(address / 4) % 4]; }
#endif

static const float FLOAT_MAX = 3.4028235e38;
static const float2 SAMPLE_OFFSETS[5] = {float2(0, 0), float2(-1, -1), float2(1, -1), float2(-1, 1), float2(1, 1)};

// The hashes multiply a sine by tens of thousands: their arguments are formed `precise` (no
// driver fuses them differently) and their sines are the exact ones, so that every driver draws
// the same random numbers.
float rand(float2 s) {
  precise float a = s.x * 12.9898 + s.y * 78.233;
  return fractionalPart(exactSin(a) * 43758.5453);
}
float rand2(float2 s) {
  precise float a = s.x * 4.898 + s.y * 7.23;
  return fractionalPart(exactCos(a) * 23421.6308594);
}

// Row k of a matrix as its 16 bytes lie in the constant buffer (HLSL packs matrices by column,
// so a stored row is a column of the HLSL matrix).
float4 storedRow(float4x4 m, int k) { return float4(m[0][k], m[1][k], m[2][k], m[3][k]); }

float3 unproject(float2 ndc) {
  float4 v = float4(ndc, 1, 1);
  float4x4 m = constantData.invViewProjMtx;
  float4 p = float4(dot(storedRow(m, 0), v), dot(storedRow(m, 1), v), dot(storedRow(m, 2), v),
                    dot(storedRow(m, 3), v));
  return p.xyz / p.w;
}

float4 project(float4x4 m, float3 p) {
  return p.x * storedRow(m, 0) + p.y * storedRow(m, 1) + p.z * storedRow(m, 2) + storedRow(m, 3);
}
float2 toNdc(float4 clip) { return clip.xy / clip.w; }

struct Hit {
  bool found;
  float t;
  float3 hitPoint;
  float3 normal;
  float3 farPoint;
  uint index;
};

// The nearest sphere so far during a search: what the comparison needs, and what its hit's
// points are computed from once the search is over.
struct Nearest {
  bool found;
  float t;
  float tFar;
  float3 centre;
  uint index;
};

Nearest nothingYet() {
  Nearest n;
  n.found = false; n.t = FLOAT_MAX; n.tFar = 0; n.centre = 0; n.index = 0;
  return n;
}

// The ray-sphere test of sphere i against the nearest so far. Both ways of finding the nearest
// sphere use it, so that each computes the same t for the same sphere; a smaller t, or the same
// t on a lower index, replaces the nearest (the order of a loop over the indices), so the
// result does not depend on the order of the tests.
void testLoadedSphere(float3 o, float3 d, uint i, float4 sphere, inout Nearest best) {
  float3 oc = o - sphere.xyz;
  float a = dot(d, d);
  float b = 2.0 * dot(oc, d);
  float k = dot(oc, oc) - sphere.w * sphere.w;
  float disc = b * b - 4.0 * a * k;
  if (disc < 0.0) return;
  float root = sqrt(disc);
  float t0 = (-b - root) / (2.0 * a);
  float t1 = (root - b) / (2.0 * a);
  float t = t0 > 0.0 ? t0 : t1;
  if (t < 0.0) return;
  if (!(t < best.t || (best.found && t == best.t && i < best.index))) return;
  best.found = true;
  best.t = t;
  best.tFar = max(t0, t1);
  best.centre = sphere.xyz;
  best.index = i;
}

void testSphere(float3 o, float3 d, uint i, inout Nearest best) {
  bool visible;
  float4 sphere = loadSphere(i, visible);
  if (visible) testLoadedSphere(o, d, i, sphere, best);
}

Hit hitOf(float3 o, float3 d, Nearest best) {
  Hit h;
  h.found = best.found;
  h.t = best.t;
  h.hitPoint = 0; h.normal = 0; h.farPoint = 0;
  h.index = best.index;
  if (best.found) {
    h.hitPoint = o + best.t * d;
    h.normal = normalize(h.hitPoint - best.centre);
    h.farPoint = o + best.tFar * d;
  }
  return h;
}

#ifdef SCENE_BRUTE_FORCE

// Every particle, in index order.
Hit traceSpheres(float3 o, float3 d, uint count) {
  Nearest best = nothingYet();
  for (uint i = 0; i < count; ++i) testSphere(o, d, i, best);
  return hitOf(o, d, best);
}

#else

// Where the ray o + t d enters the box (0 when it starts inside); false when it misses it.
// Near a sphere's outline the rounding of the quadratic can report a hit for a ray passing
// just outside the sphere, by up to about a thousandth of the distance from the ray's origin:
// the box grows by twice that (bounding the distance by sqrt(3) times its largest component),
// so that no sphere the test would hit is skipped.
bool enterBox(float3 lo, float3 hi, float3 o, float3 invD, out float enter) {
  float3 farthest = max(abs(o - lo), abs(o - hi));
  float grow = 0.0035 * max(farthest.x, max(farthest.y, farthest.z));
  float3 tLo = (lo - grow - o) * invD;
  float3 tHi = (hi + grow - o) * invD;
  float3 tNear = min(tLo, tHi);
  float3 tFar = max(tLo, tHi);
  enter = max(max(tNear.x, tNear.y), max(tNear.z, 0.0));
  float leave = min(tFar.x, min(tFar.y, tFar.z));
  return enter <= leave;
}

// The first large spheres, read once for all the rays of a pixel.
static const uint KEPT_LARGE_SPHERES = 8;
static uint keptLargeCount;
static uint keptLargeIndex[KEPT_LARGE_SPHERES];
static float4 keptLargeSphere[KEPT_LARGE_SPHERES];

void keepLargeSpheres() {
  keptLargeCount = min(bvhWord(8), 128u);  // the list's room: reads stay in the buffer
  [unroll] for (uint k = 0; k < KEPT_LARGE_SPHERES; ++k) {
    keptLargeIndex[k] = 0;
    keptLargeSphere[k] = 0;
    if (k < keptLargeCount) {
      keptLargeIndex[k] = bvhWord(BVH_LARGE_LIST_ADDRESS + 4 * k);
      keptLargeSphere[k] = asfloat(bvhBlock(BVH_LARGE_SPHERES_ADDRESS + 16 * k));
    }
  }
}

// The nearest sphere: every large sphere, then the hierarchy of the others. The lanes of a wave
// walk the tree together, down into a node when any of their rays enters its box no farther than
// its nearest hit so far, so the node is the same in every lane (a ray testing a sphere it could
// have skipped finds the same nearest hit). A walk is at most 255 steps long; the bound only
// guards against a buffer that was never built.
Hit traceSpheres(float3 o, float3 d, uint count) {
  Nearest best = nothingYet();
  [unroll] for (uint k = 0; k < KEPT_LARGE_SPHERES; ++k) {
    if (k < keptLargeCount) testLoadedSphere(o, d, keptLargeIndex[k], keptLargeSphere[k], best);
  }
  for (uint k = KEPT_LARGE_SPHERES; k < keptLargeCount; ++k) {
    testLoadedSphere(o, d, bvhWord(BVH_LARGE_LIST_ADDRESS + 4 * k),
                     asfloat(bvhBlock(BVH_LARGE_SPHERES_ADDRESS + 16 * k)), best);
  }
  float3 invD = 1.0 / d;
  uint node = bvhWord(0) == 0 ? BVH_END : bvhWord(4);  // no leaves (or no build): no walk
  for (uint step = 0; step < 255 && node != BVH_END; ++step) {
    if ((node & BVH_LEAF) != 0) {
      uint address = bvhLeafAddress(node);
      uint2 leaf = bvhBlock(address + 16).xy;
      testLoadedSphere(o, d, leaf.x, asfloat(bvhBlock(address)), best);
      node = leaf.y;
    } else {
      uint address = bvhNodeAddress(node);
      float4 a = asfloat(bvhBlock(address));
      uint4 b = bvhBlock(address + 16);
      float enter;
      bool wanted = enterBox(a.xyz, float3(a.w, asfloat(b.xy)), o, invD, enter) && enter <= best.t;
#ifdef TARNIX_NO_SUBGROUPS
      // Where the device has no subgroup operations each lane walks on its own, down into the
      // nodes its own ray wants: it tests a subset of the same spheres, so the same nearest hit.
      node = wanted ? b.z : b.w;
#else
      node = WaveActiveAnyTrue(wanted) ? b.z : b.w;
#endif
    }
  }
  return hitOf(o, d, best);
}

#endif  // SCENE_BRUTE_FORCE

// Value noise in [0, 1] with its gradient (xyz of the result's second part). The lattice's hash
// sees whole numbers up to millions.
float hashLattice(float m) { return fractionalPart(exactSin(m) * 753.5); }
float noiseWithGradient(float3 q, out float3 gradient) {
  float3 i = floor(q);
  float3 f = frac(q);
  float3 w = f * f * (3.0 - 2.0 * f);
  float3 dw = 6.0 * f * (1.0 - f);
  float m = i.x + 157.0 * i.y + 113.0 * i.z;
  float h0 = hashLattice(m), h1 = hashLattice(m + 1.0);
  float h157 = hashLattice(m + 157.0), h158 = hashLattice(m + 158.0);
  float h113 = hashLattice(m + 113.0), h114 = hashLattice(m + 114.0);
  float h270 = hashLattice(m + 270.0), h271 = hashLattice(m + 271.0);
  float k1 = h1 - h0, k2 = h157 - h0, k3 = h113 - h0;
  float k4 = h0 - h1 - h157 + h158;
  float k5 = h0 - h157 - h113 + h270;
  float k6 = h0 - h1 - h113 + h114;
  float k7 = -h0 + h1 + h157 - h158 + h113 - h114 - h270 + h271;
  gradient = dw * float3(k1 + k4 * w.y + k6 * w.z + k7 * w.y * w.z,
                         k2 + k5 * w.z + k4 * w.x + k7 * w.z * w.x,
                         k3 + k6 * w.x + k5 * w.y + k7 * w.x * w.y);
  return h0 + k1 * w.x + k2 * w.y + k3 * w.z + k4 * w.x * w.y + k5 * w.y * w.z + k6 * w.z * w.x +
         k7 * w.x * w.y * w.z;
}
float noise(float3 q) {
  float3 unused;
  return noiseWithGradient(q, unused);
}

struct Surface {
  float eta, transparency, metallic, reflection, emissive;
  float3 albedo;
  bool etaFromRecord;  // the index of refraction is the record's: read it only when refracting
};

// The surface of particle `index` at P. The record's fields are read only where the scene uses
// them (a read whose address differs between lanes is made lane by lane on a CPU driver): the
// reflection only where no noise replaces it, the index of refraction only when a ray refracts.
Surface surfaceOf(uint index, float3 P) {
  Surface s;
  s.transparency = particleTransparency(index); s.metallic = particleMetallic(index);
  s.emissive = particleEmissive(index); s.albedo = particleAlbedo(index);
  s.eta = 0; s.reflection = 0; s.etaFromRecord = false;
  uint scene = simData.scene;
  uint id = particleId(index);
  if (scene == 0) {
    s.transparency = 1;
    if (id == 1) {
      float n = 0.5 * noise(P) + 0.25 * noise(1.8 * P) + 0.125 * noise(3.24 * P);
      s.eta = 0.9 + 0.15 * n;
      s.reflection = 0.5 + 0.5 * n;
      s.albedo = 0;
    } else {
      s.reflection = particleReflection(index);
      s.eta = 0.5;
      s.emissive = 1;
    }
  } else if (scene == 1) {
    s.etaFromRecord = true;
    if (id == 9 && simData.frame < 5560) {
      // Pulses with the beat that also swells this sphere's radius in the simulation.
      float e = exp2(-72.1347504 * frac(simData.time * 0.0004167));
      float g = 0.585 + 0.415 * e;
      s.albedo = float3(g, g, 0.65 + 0.35 * e);
      s.reflection = particleReflection(index);
    } else if (id == 2) {
      s.reflection = particleReflection(index);
    } else {
      // The walls' reflection is the length of three octaves of noise with their gradients, the
      // other spheres' a sum of three octaves of plain noise. One loop evaluates either, so that
      // neighbouring rays that hit a wall and a sphere share the noise instead of taking turns.
      bool wall = id >= 3 && id <= 7;
      static const float OCTAVE_SCALES[3] = {0.5, 0.9, 1.62};
      float4 v = 0;
      float n[3];
      float weight = 0.5, scale = 0.015, gradientScale = 1.0;
      for (int k = 0; k < 3; ++k) {
        float3 g;
        n[k] = noiseWithGradient(wall ? scale * P : OCTAVE_SCALES[k] * P, g);
        v += weight * float4(n[k], gradientScale * g);
        weight *= 0.5; scale *= 1.8; gradientScale *= 1.8;
      }
      s.reflection = wall ? clamp(length(v), 0.2, 1.0) : 0.5 * n[0] + 0.25 * n[1] + 0.125 * n[2];
    }
  } else {
    s.transparency = 0; s.metallic = 0; s.emissive = 0; s.albedo = 0;
  }
  return s;
}

float3 backgroundColor() {
  uint frame = simData.frame;
  if (frame <= kSceneClearFrame) return particleScene.backgroundColor;
  if (frame < 6150) return float3(0.0044, 0.0071, 0.0068);
  return float3(0.044, 0.071, 0.068);
}

// Orthonormal tangent and bitangent around axis a.
void frameAround(float3 a, out float3 t, out float3 b) {
  if (abs(a.x) > abs(a.z)) t = float3(-a.y, a.x, 0);
  else t = float3(0, -a.z, a.y);
  t = normalize(t);
  b = normalize(cross(a, t));
}

float3 tracePath(float3 origin, float3 dir, inout float2 seed, uint count) {
  float3 throughput = 1;
  float3 radiance = 0;
  for (int bounce = 0; bounce < 5; ++bounce) {
    Hit hit = traceSpheres(origin, dir, count);
    if (!hit.found) {
      float sky = 1.0 - dir.y;
      radiance += throughput * sky * sky * backgroundColor();
      break;
    }
    Surface s = surfaceOf(hit.index, hit.hitPoint);

    float3 N = normalize(hit.normal);
    float3 V = normalize(-dir);
    float cosV = saturate(dot(N, V));
    float3 F0 = 0.04 + (s.albedo - 0.04) * s.metallic;
    float3 F = F0 + (1.0 - F0) * pow(1.0 - cosV, 5.0);
    float prob = saturate(max(F.r, max(F.g, F.b)) * s.reflection);
    float u = rand(seed + float2(-1, 1));

    float3 weight;
    if (s.transparency > 0.0) {
      seed += float2(-1, 1);
      if (u < prob) {
        dir = normalize(reflect(dir, N));
        origin = hit.hitPoint + 0.001 * dir;
        weight = F / max(prob, 0.001);
      } else {
        float3 n = normalize(particlePosition(hit.index) - hit.farPoint);
        if (s.etaFromRecord) s.eta = particleIndexOfRefraction(hit.index);
        float cosI = dot(dir, n);
        float k = 1.0 - s.eta * s.eta * (1.0 - cosI * cosI);
        weight = (s.albedo + (1.0 - s.albedo) * s.transparency) * 1.1 / max(1.0 - prob, 0.001);
        if (k >= 0.0) {
          dir = normalize(s.eta * dir - (s.eta * cosI + sqrt(k)) * n);
          origin = hit.farPoint + 0.001 * dir;
        } else {
          // Total internal reflection (an index above 1): there is no refracted ray, so the
          // path reflects off the sphere instead of following a zero-length direction.
          dir = normalize(reflect(dir, N));
          origin = hit.hitPoint + 0.001 * dir;
        }
      }
    } else {
      float2 s2 = seed + float2(-2, 2);
      seed = s2;
      float r1 = rand(s2);
      float r2 = rand2(s2);
      float phi = 6.2831855 * r1;
      float3 lobe = float3(cos(phi) * sqrt(1.0 - r2), sin(phi) * sqrt(1.0 - r2), sqrt(r2));
      float3 T, B;
      if (u < prob) {
        float3 R = normalize(reflect(dir, N));
        frameAround(R, T, B);
        float3 sampleDir = lobe.x * T + lobe.y * B + lobe.z * R;
        dir = R + prob * (sampleDir - R);
        weight = F / max(prob, 0.001);
      } else {
        frameAround(N, T, B);
        dir = lobe.x * T + lobe.y * B + lobe.z * N;
        weight = s.albedo / max(1.0 - prob, 0.001);
      }
      origin = hit.hitPoint + 0.001 * dir;
    }
    throughput *= weight;
    if (s.emissive > 0.0) radiance += s.albedo * s.emissive * throughput;
  }
  return radiance;
}

[numthreads(TARNIX_IMAGE_GROUP_SIDE, TARNIX_IMAGE_GROUP_SIDE, 1)]
void main(uint3 dispatchId : SV_DispatchThreadID) {
  uint2 px = dispatchId.xy;
  float2 res = constantData.resolution.xy;
  float3 cameraPos = constantData.cameraPos;
  uint count = min(particleScene.numParticles, particleCapacity());
  // Whole groups overhang an image whose size is not a multiple of their side (540 rows):
  // those threads must not write outside the images.
  if (float(px.x) >= res.x || float(px.y) >= res.y) return;

#ifndef SCENE_BRUTE_FORCE
  keepLargeSpheres();
#endif
  // The picture keeps the program's own look at any render size: a ray leaves the spot of a
  // pixel that the program's own pixel's ray leaves (half an own pixel before its centre), and
  // the samples spread over as much of the picture as they do there.
  float pixelScale = constantData.resolution.z;
  float2 uv = (float2(px) + (0.5 - 0.5 * pixelScale)) / res;
  float2 ndc = 2.0 * uv - 1.0;
  float3 dir = normalize(unproject(ndc) - cameraPos);

  Hit primary = traceSpheres(cameraPos, dir, count);
  float3 primaryPoint = cameraPos + dir * FLOAT_MAX;
  float3 normal = -dir;
  uint id = 0;
  float depth = 1.0;
  float2 velocity = 0;
  if (primary.found) {
    ParticleData p = loadParticle(primary.index);
    primaryPoint = primary.hitPoint;
    normal = primary.normal;
    id = p.id;
    float4 clip = project(constantData.viewProjMtx, primaryPoint);
    depth = clip.z / clip.w;
    float2 surfaceMotion = toNdc(project(constantData.prevViewProjMtx, primaryPoint)) - toNdc(clip);
    float2 particleMotion = toNdc(project(constantData.viewProjMtx, p.prevPosition)) -
                            toNdc(project(constantData.viewProjMtx, p.position));
    velocity = 0.5 * (surfaceMotion + particleMotion);
  }

  float t = constantData.time;
  if (px.x % 4 == 0 || px.y % 4 == 0) t = fmod(t, 1.0);
  float2 seed = float2(exactCos(t) + uv.x, exactCos(t) + uv.y);  // t: up to 10^5 radians

  // The offsets table has five entries and the sum is divided by the count: keep it in 1..4.
  uint sampleCount = clamp(constantData.sampleCount, 1u, 4u);
  float3 total = 0;
  for (uint s = 0; s <= sampleCount; ++s) {
    float2 sampleUv = uv + SAMPLE_OFFSETS[s] * pixelScale / res;
    float3 sampleDir = normalize(unproject(2.0 * sampleUv - 1.0) - cameraPos);
    total += tracePath(cameraPos, sampleDir, seed, count);
  }

  outputTexture[px] = float4(total / float(sampleCount), 1);
#ifdef TARNIX_WEB
  // WebGPU binds at most four storage images to a pass: the depth goes in the velocity image's
  // unused third channel, and DepthFromVelocityCS moves it into the depth image.
  velocityBuffer[px] = float4(velocity, depth, 1);
#else
  velocityBuffer[px] = float4(velocity, 0, 1);
#endif
  positionBuffer[px] = float4(primaryPoint, float(id));
#ifdef TARNIX_WEB
  normalBuffer[px] = float4(normal, 1);
#else
  // The depth also rides in the normal's fourth channel, which nothing else reads: the a-trous
  // filter then fetches both in one read per tap (on a CPU driver each read is a call).
  normalBuffer[px] = float4(normal, depth);
  depthBuffer[px] = depth;
#endif
}
