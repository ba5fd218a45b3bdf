// Records shared byte for byte by the C++ program and the HLSL shaders.
//
// Both sides include this one header, so a constant block or a particle has a single definition.
// Constant records follow HLSL cbuffer packing (16-byte rows, no member straddles a row); the
// C++ side spells the same bytes with 4-byte-aligned vector types and checks every offset below.
// ParticleData is a tightly packed 104-byte record in the particle buffer (not its 128-byte
// cbuffer packing), so shaders reach it through the load/store helpers of particle_access.hlsli.
#ifndef TARNIX_SHADERS_PARTICLE_CONFIG_H
#define TARNIX_SHADERS_PARTICLE_CONFIG_H

// The depth of field's spiral: at most this many steps (far above the ~200 of the usual
// settings; it stops a huge blur size from stalling the GPU). The table of the steps, one float4
// each (cos, sin, radius, 0), fills a constant buffer of 64 KiB.
#define TARNIX_DOF_SPIRAL_STEPS 4096
// Its tiles: 32 x 32 pixels, one image group each (which covers a tile in steps of its side), at
// most 4096 records of 16 bytes; a larger picture blurs every pixel the long way.
#define DOF_TILE 32
#define DOF_MAX_TILES 4096

#ifdef __cplusplus
#include <cstddef>
#include <cstdint>

// HLSL's vector and matrix types as plain C++ records: 4-byte alignment, no padding, so a float3
// followed by a scalar occupies 16 bytes exactly as in a cbuffer row.
struct float2 {
  float x, y;
};
struct float3 {
  float x, y, z;
};
struct float4 {
  float x, y, z, w;
};
// m[k] is the k-th 16-byte row as stored in the constant buffer.
struct float4x4 {
  float m[4][4];
};
typedef unsigned int uint;

enum class TonemapFunction : int32_t {
  NONE = 0,
  ACES = 1,
  LINEAR = 2,
  SIMPLE_REINHARD = 3,
  LUMA_BASED_REINHARD = 4,
  WHITE_PRESERVING_LUMA_BASED_REINHARD = 5,
  ROMBINDAHAUS = 6,
  FILMIC = 7,
  UNCHARTED2 = 8,
};

// The particle buffer: 128 tightly packed ParticleData records.
inline constexpr uint32_t kParticleCapacity = 128;
inline constexpr uint32_t kParticleStride = 104;

// The buffer of the spheres' hierarchy (its layout: sphere_bvh.hlsli), 168 records of 64 bytes:
// written as a storage buffer, read as a constant buffer.
inline constexpr uint32_t kSphereBvhRecords = 168;
inline constexpr uint32_t kSphereBvhRecordBytes = 64;
inline constexpr uint32_t kDepthOfFieldSpiralBytes = TARNIX_DOF_SPIRAL_STEPS * 16;
inline constexpr uint32_t kDepthOfFieldTileBytes = DOF_MAX_TILES * 16;

#define TARNIX_TONEMAP_FIELD TonemapFunction
#define TARNIX_SHARED_CONSTANT inline constexpr
#else
// HLSL has no enumerations: the operator is an int compared against these constants.
static const int NONE = 0;
static const int ACES = 1;
static const int LINEAR = 2;
static const int SIMPLE_REINHARD = 3;
static const int LUMA_BASED_REINHARD = 4;
static const int WHITE_PRESERVING_LUMA_BASED_REINHARD = 5;
static const int ROMBINDAHAUS = 6;
static const int FILMIC = 7;
static const int UNCHARTED2 = 8;

#define TARNIX_TONEMAP_FIELD int
#define TARNIX_SHARED_CONSTANT static const
#include "gpu_like_sine.hlsli"

// Names the format of an image a shader writes when it is not the 32-bit float one its type
// gives. Vulkan's build writes through views of any format; the web shader build reads the
// name from the source, as WebGPU declares every storage image's format.
#define STORAGE_FORMAT(format)
#endif

// The image passes (scene, temporal, a-trous, the depth of field's preparation) run in square
// groups of this side: 256 invocations, which every device has (WebGPU and SwiftShader allow no
// more), and on lavapipe as fast as 32 x 32 groups.
#define TARNIX_IMAGE_GROUP_SIDE 16
#ifdef __cplusplus
inline constexpr uint32_t kImageGroupSide = TARNIX_IMAGE_GROUP_SIDE;
inline constexpr uint32_t kDepthOfFieldTile = DOF_TILE;
#endif

// Pi in single precision (3.1415927), the one value every angle of the program uses.
TARNIX_SHARED_CONSTANT float kPi = 3.1415927f;

// The switch to the second scene: the particle simulation clears the first scene's spheres
// at kSceneClearFrame and sets up the second at kSceneSetUpFrame. It compares the frame
// index with ==, so the music clock never skips either.
TARNIX_SHARED_CONSTANT uint kSceneClearFrame = 3254;
TARNIX_SHARED_CONSTANT uint kSceneSetUpFrame = 3255;

// Music synthesis (b0 of the audio shader).
struct AudioData {
  float duration;  // seconds of the whole buffer
  uint sampleRate;
};

// Particle simulation (b0) and scene rendering (b2).
struct SimulationData {
  float3 cameraPos;
  uint scene;
  uint frame;  // 0 on a scene's first frame: set up instead of simulate
  float time;  // music position in milliseconds
  float dt;
};

// Particle simulation and scene rendering (b1).
struct ParticleSceneData {
  float3 backgroundColor;
  uint numParticles;
};

// Depth-of-field pass (b0).
struct DepthOfFieldData {
  float2 resolution;
  float focusPoint;
  float focusScale;
  float radiusScale;
  float blurSize;
  float maxDist;
};

// Final pass to the back buffer (b0).
struct FinalPassData {
  float2 resolution;        // render size
  float2 nativeResolution;  // back-buffer size
  float time;
  float brightness;
  TARNIX_TONEMAP_FIELD tonemapping;
  uint showExtraTexture;
  uint frame;
};

// Scene rendering and temporal accumulation (b0).
struct ConstantBufferData {
  float3 cameraPos;
  float _padding0;
  float4x4 invViewProjMtx;
  float3 prevCameraPos;
  float _padding1;
  float4x4 prevInvViewProjMtx;
  float4x4 viewMtx;
  float4x4 viewProjMtx;
  float4x4 prevViewProjMtx;
  // The render width and height, and the pixel scale: the render height over the program's own
  // (1 at the program's own size), by which the passes scale what they measure in pixels.
  float3 resolution;
  float time;
  float frame;
  uint sampleCount;
  float blendFactor;
  float depthThreshold;
  float normalThreshold;
  float standardDeviation;
  float velocityScale;
};

// The 16 bytes of root constants of one a-trous iteration. Shaders read them as one float4
// (see ATrousFilterCS.hlsl): declared field by field, the SPIR-V block would put resolution at 16.
struct ATrousConstants {
  int iterStep;
  float3 resolution;
};

struct Material {
  float3 albedo;
  float emissive;
  float reflection;
  float metallic;
  float transparency;
  float indexOfRefraction;
};

// One element of the particle buffer (104 bytes, fields packed one after another).
struct ParticleData {
  float3 position;
  float3 prevPosition;
  float3 velocity;
  float3 acceleration;
  float radius;
  float elasticity;
  float friction;
  uint id;  // index + 1; 0 in the G-buffer means "no particle"
  uint dynamic;
  uint visible;
  Material material;
};

#undef TARNIX_TONEMAP_FIELD

#ifdef __cplusplus
#define TARNIX_CHECK_FIELD(record, field, offset) \
  static_assert(offsetof(record, field) == (offset), #record "::" #field " moved")

static_assert(sizeof(AudioData) == 8);
TARNIX_CHECK_FIELD(AudioData, duration, 0);
TARNIX_CHECK_FIELD(AudioData, sampleRate, 4);

static_assert(sizeof(SimulationData) == 28);
TARNIX_CHECK_FIELD(SimulationData, cameraPos, 0);
TARNIX_CHECK_FIELD(SimulationData, scene, 12);
TARNIX_CHECK_FIELD(SimulationData, frame, 16);
TARNIX_CHECK_FIELD(SimulationData, time, 20);
TARNIX_CHECK_FIELD(SimulationData, dt, 24);

static_assert(sizeof(ParticleSceneData) == 16);
TARNIX_CHECK_FIELD(ParticleSceneData, backgroundColor, 0);
TARNIX_CHECK_FIELD(ParticleSceneData, numParticles, 12);

static_assert(sizeof(DepthOfFieldData) == 28);
TARNIX_CHECK_FIELD(DepthOfFieldData, resolution, 0);
TARNIX_CHECK_FIELD(DepthOfFieldData, focusPoint, 8);
TARNIX_CHECK_FIELD(DepthOfFieldData, focusScale, 12);
TARNIX_CHECK_FIELD(DepthOfFieldData, radiusScale, 16);
TARNIX_CHECK_FIELD(DepthOfFieldData, blurSize, 20);
TARNIX_CHECK_FIELD(DepthOfFieldData, maxDist, 24);

static_assert(sizeof(FinalPassData) == 36);
TARNIX_CHECK_FIELD(FinalPassData, resolution, 0);
TARNIX_CHECK_FIELD(FinalPassData, nativeResolution, 8);
TARNIX_CHECK_FIELD(FinalPassData, time, 16);
TARNIX_CHECK_FIELD(FinalPassData, brightness, 20);
TARNIX_CHECK_FIELD(FinalPassData, tonemapping, 24);
TARNIX_CHECK_FIELD(FinalPassData, showExtraTexture, 28);
TARNIX_CHECK_FIELD(FinalPassData, frame, 32);
static_assert(sizeof(TonemapFunction) == 4);

static_assert(sizeof(ConstantBufferData) == 396);
TARNIX_CHECK_FIELD(ConstantBufferData, cameraPos, 0);
TARNIX_CHECK_FIELD(ConstantBufferData, _padding0, 12);
TARNIX_CHECK_FIELD(ConstantBufferData, invViewProjMtx, 16);
TARNIX_CHECK_FIELD(ConstantBufferData, prevCameraPos, 80);
TARNIX_CHECK_FIELD(ConstantBufferData, _padding1, 92);
TARNIX_CHECK_FIELD(ConstantBufferData, prevInvViewProjMtx, 96);
TARNIX_CHECK_FIELD(ConstantBufferData, viewMtx, 160);
TARNIX_CHECK_FIELD(ConstantBufferData, viewProjMtx, 224);
TARNIX_CHECK_FIELD(ConstantBufferData, prevViewProjMtx, 288);
TARNIX_CHECK_FIELD(ConstantBufferData, resolution, 352);
TARNIX_CHECK_FIELD(ConstantBufferData, time, 364);
TARNIX_CHECK_FIELD(ConstantBufferData, frame, 368);
TARNIX_CHECK_FIELD(ConstantBufferData, sampleCount, 372);
TARNIX_CHECK_FIELD(ConstantBufferData, blendFactor, 376);
TARNIX_CHECK_FIELD(ConstantBufferData, depthThreshold, 380);
TARNIX_CHECK_FIELD(ConstantBufferData, normalThreshold, 384);
TARNIX_CHECK_FIELD(ConstantBufferData, standardDeviation, 388);
TARNIX_CHECK_FIELD(ConstantBufferData, velocityScale, 392);

static_assert(sizeof(ATrousConstants) == 16);
TARNIX_CHECK_FIELD(ATrousConstants, iterStep, 0);
TARNIX_CHECK_FIELD(ATrousConstants, resolution, 4);

static_assert(sizeof(Material) == 32);
TARNIX_CHECK_FIELD(Material, albedo, 0);
TARNIX_CHECK_FIELD(Material, emissive, 12);
TARNIX_CHECK_FIELD(Material, reflection, 16);
TARNIX_CHECK_FIELD(Material, metallic, 20);
TARNIX_CHECK_FIELD(Material, transparency, 24);
TARNIX_CHECK_FIELD(Material, indexOfRefraction, 28);

static_assert(sizeof(ParticleData) == 104);
TARNIX_CHECK_FIELD(ParticleData, position, 0);
TARNIX_CHECK_FIELD(ParticleData, prevPosition, 12);
TARNIX_CHECK_FIELD(ParticleData, velocity, 24);
TARNIX_CHECK_FIELD(ParticleData, acceleration, 36);
TARNIX_CHECK_FIELD(ParticleData, radius, 48);
TARNIX_CHECK_FIELD(ParticleData, elasticity, 52);
TARNIX_CHECK_FIELD(ParticleData, friction, 56);
TARNIX_CHECK_FIELD(ParticleData, id, 60);
TARNIX_CHECK_FIELD(ParticleData, dynamic, 64);
TARNIX_CHECK_FIELD(ParticleData, visible, 68);
TARNIX_CHECK_FIELD(ParticleData, material, 72);

#undef TARNIX_CHECK_FIELD
#endif

#endif  // TARNIX_SHADERS_PARTICLE_CONFIG_H
