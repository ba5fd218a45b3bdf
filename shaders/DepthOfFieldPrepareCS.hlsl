// Prepares the depth of field for one frame, one group per 32 x 32 tile:
// - the picture's colour and the depth in one texture, so each step of the spiral costs one
//   bilinear read instead of two (a read interpolates every channel alike: the same bits);
// - per tile, the nearest and farthest depth and whether every value is finite, from which a
//   pixel bounds the blur sizes its spiral can meet;
// - from the first thread, the spiral's steps, which depend on the constants only (on a CPU
//   driver every pixel would otherwise pay a sine and a cosine per step).
#include "ParticleConfig.h"
#include "depth_of_field.hlsli"

Texture2D<float> depthBuffer : register(t0);
Texture2D<float4> Frame : register(t1);
RWTexture2D<float4> colourAndDepth : register(u0);
RWStructuredBuffer<float4> spiral : register(u1);  // read as constants by DepthOfFieldPS
RWStructuredBuffer<float4> tiles : register(u2);   // likewise: (nearest, farthest, finite, 0)
ConstantBuffer<DepthOfFieldData> constantData : register(b0);

groupshared float nearest[DOF_TILE * DOF_TILE];
groupshared float farthest[DOF_TILE * DOF_TILE];
groupshared uint finite[DOF_TILE * DOF_TILE];

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

bool isFinite(float v) { return (asuint(v) & 0x7f800000u) != 0x7f800000u; }

[numthreads(DOF_TILE, DOF_TILE, 1)]
void main(uint3 dispatchId : SV_DispatchThreadID, uint3 groupId : SV_GroupID, uint local : SV_GroupIndex) {
  uint2 px = dispatchId.xy;
  if (px.x == 0 && px.y == 0) writeSpiral();
  bool inside = float(px.x) < constantData.resolution.x && float(px.y) < constantData.resolution.y;
  float depth = 0.0;
  bool valuesFinite = true;
  if (inside) {
    int3 at = int3(px, 0);
    float3 colour = Frame.Load(at).rgb;
    depth = depthBuffer.Load(at);
    colourAndDepth[px] = float4(colour, depth);
    valuesFinite = isFinite(depth) && isFinite(colour.r) && isFinite(colour.g) && isFinite(colour.b);
  }
  // Pixels outside the picture take no part in the tile's range.
  nearest[local] = inside ? depth : DOF_INFINITY;
  farthest[local] = inside ? depth : DOF_NEGATIVE_INFINITY;
  finite[local] = valuesFinite ? 1u : 0u;
  GroupMemoryBarrierWithGroupSync();
  if (local < DOF_TILE) {  // one row each
    uint row = local * DOF_TILE;
    for (uint i = 1; i < DOF_TILE; ++i) {
      nearest[row] = min(nearest[row], nearest[row + i]);
      farthest[row] = max(farthest[row], farthest[row + i]);
      finite[row] &= finite[row + i];
    }
  }
  GroupMemoryBarrierWithGroupSync();
  if (local == 0) {
    for (uint r = 1; r < DOF_TILE; ++r) {
      nearest[0] = min(nearest[0], nearest[r * DOF_TILE]);
      farthest[0] = max(farthest[0], farthest[r * DOF_TILE]);
      finite[0] &= finite[r * DOF_TILE];
    }
    uint tilesPerRow = (uint(constantData.resolution.x) + DOF_TILE - 1) / DOF_TILE;
    uint tile = groupId.y * tilesPerRow + groupId.x;
    if (tile < DOF_MAX_TILES) tiles[tile] = float4(nearest[0], farthest[0], float(finite[0]), 0.0);
  }
}
