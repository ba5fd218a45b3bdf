// Prepares the depth of field for one frame, one group per 32 x 32 tile (each thread of its
// 16 x 16 takes the pixels a group side apart):
// - the picture's colour and the depth in one texture, so each step of the spiral costs one
//   bilinear read instead of two (a read interpolates every channel alike: the same bits);
// - per tile, the nearest and farthest depth and whether every value is finite, from which a
//   pixel bounds the blur sizes its spiral can meet;
// - from the first thread, the spiral's steps, which depend on the constants only (on a CPU
//   driver every pixel would otherwise pay a sine and a cosine per step).
#include "ParticleConfig.h"
#include "depth_of_field.hlsli"
#include "float_bits.hlsli"

Texture2D<float> depthBuffer : register(t0);
Texture2D<float4> Frame : register(t1);
RWTexture2D<float4> colourAndDepth : register(u0);
RWStructuredBuffer<float4> spiral : register(u1);  // read as constants by DepthOfFieldPS
RWStructuredBuffer<float4> tiles : register(u2);   // likewise: (nearest, farthest, finite, 0)
ConstantBuffer<DepthOfFieldData> constantData : register(b0);

#define GROUP_SIDE TARNIX_IMAGE_GROUP_SIDE
#define STEPS_PER_TILE (DOF_TILE / GROUP_SIDE)
groupshared float nearest[GROUP_SIDE * GROUP_SIDE];
groupshared float farthest[GROUP_SIDE * GROUP_SIDE];
groupshared uint finite[GROUP_SIDE * GROUP_SIDE];

// The radius and angle sequence exactly as the per-pixel loop walks it, with each step's
// weight for a sample at the full blur size; a radius at or past the limit ends the table.
void writeSpiral() {
  float radiusScale = constantData.radiusScale;
  float blurLimit = abs(constantData.blurSize);
  float radius = radiusScale;
  float angle = 0.0;
  int steps = 0;
  for (; radius < blurLimit && steps < MAX_STEPS; ++steps) {
    spiral[steps] = float4(cos(angle), sin(angle), radius, smoothstep(radius - 0.5, radius + 0.5, blurLimit));
    radius += radiusScale / radius;
    angle += GOLDEN_ANGLE;
  }
  if (steps < MAX_STEPS) spiral[steps] = float4(0.0, 0.0, DOF_INFINITY, 0.0);
}


[numthreads(GROUP_SIDE, GROUP_SIDE, 1)]
void main(uint3 groupThread : SV_GroupThreadID, uint3 groupId : SV_GroupID, uint local : SV_GroupIndex) {
  if (groupId.x == 0 && groupId.y == 0 && local == 0) writeSpiral();
  // Pixels outside the picture take no part in the tile's range.
  float lo = DOF_INFINITY, hi = DOF_NEGATIVE_INFINITY;
  bool valuesFinite = true;
  for (uint sy = 0; sy < STEPS_PER_TILE; ++sy) {
    for (uint sx = 0; sx < STEPS_PER_TILE; ++sx) {
      uint2 px = groupId.xy * DOF_TILE + groupThread.xy + uint2(sx, sy) * GROUP_SIDE;
      if (float(px.x) < constantData.resolution.x && float(px.y) < constantData.resolution.y) {
        int3 at = int3(px, 0);
        float3 colour = Frame.Load(at).rgb;
        float depth = depthBuffer.Load(at);
        colourAndDepth[px] = float4(colour, depth);
        lo = min(lo, depth);
        hi = max(hi, depth);
        valuesFinite = valuesFinite && isFiniteBits(depth) && allFinite(colour);
      }
    }
  }
  nearest[local] = lo;
  farthest[local] = hi;
  finite[local] = valuesFinite ? 1u : 0u;
  GroupMemoryBarrierWithGroupSync();
  if (local < GROUP_SIDE) {  // one row each
    uint row = local * GROUP_SIDE;
    for (uint i = 1; i < GROUP_SIDE; ++i) {
      nearest[row] = min(nearest[row], nearest[row + i]);
      farthest[row] = max(farthest[row], farthest[row + i]);
      finite[row] &= finite[row + i];
    }
  }
  GroupMemoryBarrierWithGroupSync();
  if (local == 0) {
    for (uint r = 1; r < GROUP_SIDE; ++r) {
      nearest[0] = min(nearest[0], nearest[r * GROUP_SIDE]);
      farthest[0] = max(farthest[0], farthest[r * GROUP_SIDE]);
      finite[0] &= finite[r * GROUP_SIDE];
    }
    uint tilesPerRow = (uint(constantData.resolution.x) + DOF_TILE - 1) / DOF_TILE;
    uint tile = groupId.y * tilesPerRow + groupId.x;
    if (tile < DOF_MAX_TILES) tiles[tile] = float4(nearest[0], farthest[0], float(finite[0]), 0.0);
  }
}
