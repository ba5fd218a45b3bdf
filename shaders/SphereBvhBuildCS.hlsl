// Builds the bounding volume hierarchy of the visible spheres for the scene pass, every frame
// after the simulation: one group of 128 threads, one per particle record. Large spheres go to
// a list of their own (sphere_bvh.hlsli). The others are ordered along a Morton curve of their
// centres and the tree follows the curve's shared key prefixes (a linear BVH), so the build is a
// few dozen barrier-separated steps in group-shared memory and gives the same tree for the same
// particles.
#include "ParticleConfig.h"

#include "particle_access.hlsli"  // particles: t0
#include "sphere_bvh.hlsli"

#define BVH_GROUP_SIZE 128

RWByteAddressBuffer sphereBvh : register(u0);
ConstantBuffer<ParticleSceneData> particleScene : register(b0);

static const float FLOAT_MAX = 3.4028235e38;

groupshared float3 leafLo[BVH_GROUP_SIZE];  // by particle index
groupshared float3 leafHi[BVH_GROUP_SIZE];
groupshared float3 boundsLo[BVH_GROUP_SIZE];
groupshared float3 boundsHi[BVH_GROUP_SIZE];
groupshared uint sortedCode[BVH_GROUP_SIZE];  // Morton code, then particle index: unique keys
groupshared uint sortedIndex[BVH_GROUP_SIZE];
groupshared float3 nodeLo[BVH_GROUP_SIZE];
groupshared float3 nodeHi[BVH_GROUP_SIZE];
groupshared uint nodeReady[BVH_GROUP_SIZE];
groupshared uint rightChildAt[BVH_GROUP_SIZE];  // by split position: the right child made there
groupshared uint leafCount;
groupshared uint isLarge[BVH_GROUP_SIZE];

// Bounds of the centres of the spheres taking part (others pass the empty box).
void reduceBounds(uint i, bool part, float3 centre, out float3 lo, out float3 hi) {
  boundsLo[i] = part ? centre : FLOAT_MAX;
  boundsHi[i] = part ? centre : -FLOAT_MAX;
  GroupMemoryBarrierWithGroupSync();
  for (uint half = BVH_GROUP_SIZE / 2; half > 0; half /= 2) {
    if (i < half) {
      boundsLo[i] = min(boundsLo[i], boundsLo[i + half]);
      boundsHi[i] = max(boundsHi[i], boundsHi[i + half]);
    }
    GroupMemoryBarrierWithGroupSync();
  }
  lo = boundsLo[0];
  hi = boundsHi[0];
  GroupMemoryBarrierWithGroupSync();  // before the arrays are reused
}

bool isFinite(float3 v) { return all(abs(v) <= FLOAT_MAX); }  // false for NaN as well

// Spreads the low 10 bits of v to every third bit.
uint spreadBits(uint v) {
  v = (v * 0x00010001u) & 0xFF0000FFu;
  v = (v * 0x00000101u) & 0x0F00F00Fu;
  v = (v * 0x00000011u) & 0xC30C30C3u;
  v = (v * 0x00000005u) & 0x49249249u;
  return v;
}

// Length of the common prefix of the sorted keys a and b (code, then index); -1 outside the leaves.
int commonPrefix(int a, int b, int n) {
  if (b < 0 || b >= n) return -1;
  uint codes = sortedCode[a] ^ sortedCode[b];
  if (codes != 0) return 31 - int(firstbithigh(codes));
  return 32 + 31 - int(firstbithigh(sortedIndex[a] ^ sortedIndex[b]));
}

uint childReference(int sortedPosition, bool leaf) {
  return leaf ? (BVH_LEAF | uint(sortedPosition)) : uint(sortedPosition);
}

// Inner node i of n leaves (Karras 2012): the range of sorted leaves it covers, where it splits
// (its left child ends at `splitAt`) and its children.
void findChildren(int i, int n, out uint left, out uint right, out uint splitAt, out uint last) {
  int direction = commonPrefix(i, i + 1, n) - commonPrefix(i, i - 1, n) >= 0 ? 1 : -1;
  int minPrefix = commonPrefix(i, i - direction, n);
  int span = 2;
  while (commonPrefix(i, i + span * direction, n) > minPrefix) span *= 2;
  int length = 0;
  for (int step = span / 2; step >= 1; step /= 2) {
    if (commonPrefix(i, i + (length + step) * direction, n) > minPrefix) length += step;
  }
  int j = i + length * direction;
  int nodePrefix = commonPrefix(i, j, n);
  int split = 0;
  int divisor = 2;
  int step;
  do {
    step = (length + divisor - 1) / divisor;
    if (commonPrefix(i, i + (split + step) * direction, n) > nodePrefix) split += step;
    divisor *= 2;
  } while (step > 1);
  int gamma = i + split * direction + min(direction, 0);
  left = childReference(gamma, min(i, j) == gamma);
  right = childReference(gamma + 1, max(i, j) == gamma + 1);
  splitAt = uint(gamma);
  last = uint(max(i, j));
}

void childBox(uint reference, out float3 lo, out float3 hi) {
  if ((reference & BVH_LEAF) != 0) {
    lo = leafLo[sortedIndex[reference & ~BVH_LEAF]];
    hi = leafHi[sortedIndex[reference & ~BVH_LEAF]];
  } else {
    lo = nodeLo[reference];
    hi = nodeHi[reference];
  }
}

// HLSL evaluates both sides of || and ?:, so the node's flag is read only for a node.
bool childReady(uint reference) {
  if ((reference & BVH_LEAF) != 0) return true;
  return nodeReady[reference] != 0;
}

// Thread i's sphere as a leaf box, the large spheres listed apart from the tree, and the
// leaf's Morton key among the spheres the tree holds (the rest sort last).
void placeSphere(uint i) {
  uint count = min(particleScene.numParticles, min(particleCapacity(), BVH_GROUP_SIZE));

  // A sphere with a non-finite centre or radius can never be hit: the ray test gives NaN or
  // infinity there. The others get a box a little larger than the sphere, for the rounding of
  // the box corners.
  bool visible = false;
  float4 sphere = 0;
  if (i < count) sphere = loadSphere(i, visible);
  bool used = visible && isFinite(sphere.xyz) && abs(sphere.w) <= FLOAT_MAX;
  float3 centre = sphere.xyz;
  float radius = abs(sphere.w);
  float grow = radius * 1.00001 + 0.000001 * (max(abs(centre.x), max(abs(centre.y), abs(centre.z))) + radius);
  leafLo[i] = centre - grow;
  leafHi[i] = centre + grow;
  nodeReady[i] = 0;
  if (i == 0) leafCount = 0;

  float3 lo, hi;
  reduceBounds(i, used, centre, lo, hi);
  float3 spread = hi - lo;
  bool large = used && radius > BVH_LARGE_RADIUS_SHARE * max(spread.x, max(spread.y, spread.z));
  bool inTree = used && !large;
  isLarge[i] = large ? 1 : 0;
  if (inTree) InterlockedAdd(leafCount, 1);
  reduceBounds(i, inTree, centre, lo, hi);

  // The large spheres in index order.
  if (large) {
    uint before = 0;
    for (uint j = 0; j < i; ++j) before += isLarge[j];
    sphereBvh.Store(BVH_LARGE_LIST_ADDRESS + 4 * before, i);
    sphereBvh.Store4(BVH_LARGE_SPHERES_ADDRESS + 16 * before, asuint(sphere));
  }
  if (i == BVH_GROUP_SIZE - 1) {
    uint largeCount = 0;
    for (uint j = 0; j < BVH_GROUP_SIZE; ++j) largeCount += isLarge[j];
    sphereBvh.Store(8, largeCount);
  }

  // Morton code of the centre within the cube over the tree's centres (one scale for all three
  // axes, so that the first splits cut the widest spread).
  float3 treeSpread = hi - lo;
  float scale = 1023.0 / max(max(treeSpread.x, max(treeSpread.y, treeSpread.z)), 1e-30);
  uint3 cell = uint3(clamp((centre - lo) * scale, 0.0, 1023.0));
  sortedCode[i] = inTree ? (spreadBits(cell.x) << 2) | (spreadBits(cell.y) << 1) | spreadBits(cell.z) : 0xFFFFFFFFu;
  sortedIndex[i] = i;
}

// Bitonic sort of the 128 keys, ascending.
void sortKeys(uint i) {
  for (uint size = 2; size <= BVH_GROUP_SIZE; size *= 2) {
    for (uint stride = size / 2; stride > 0; stride /= 2) {
      uint partner = i ^ stride;
      uint code = sortedCode[i], index = sortedIndex[i];
      uint otherCode = sortedCode[partner], otherIndex = sortedIndex[partner];
      GroupMemoryBarrierWithGroupSync();
      bool mineFirst = code < otherCode || (code == otherCode && index < otherIndex);
      bool keepFirst = (i < partner) == ((i & size) == 0);
      if (mineFirst != keepFirst) {
        sortedCode[i] = otherCode;
        sortedIndex[i] = otherIndex;
      }
      GroupMemoryBarrierWithGroupSync();
    }
  }
}

// Node i's children and miss link, and leaf i's sphere and miss link, for the n leaves.
void linkTree(uint i, int n, bool inner, out uint left, out uint right) {
  uint splitAt = 0, last = 0;
  left = 0;
  right = 0;
  if (inner) {
    findChildren(int(i), n, left, right, splitAt, last);
    rightChildAt[splitAt] = right;
  }
  GroupMemoryBarrierWithGroupSync();

  // In depth-first order the subtree over leaves [first, last] is followed by the subtree that
  // starts at leaf last + 1 and is the right child of the split between the two (every gap
  // between neighbouring leaves is split once); after the last leaf, the walk ends.
  if (inner) {
    uint miss = int(last) == n - 1 ? BVH_END : rightChildAt[last];
    sphereBvh.Store2(bvhNodeAddress(i) + 24, uint2(left, miss));
  }
  if (int(i) < n) {
    uint miss = int(i) == n - 1 ? BVH_END : rightChildAt[i];
    bool unused;
    sphereBvh.Store4(bvhLeafAddress(i), asuint(loadSphere(sortedIndex[i], unused)));
    sphereBvh.Store4(bvhLeafAddress(i) + 16, uint4(sortedIndex[i], miss, 0, 0));
  }
}

// Boxes bottom-up: each round, the nodes whose children are ready take their union. The
// tree is at most as deep as the keys have bits, so the rounds end.
void boundNodes(uint i, int n, bool inner, uint left, uint right) {
  for (uint round = 0; round < 64; ++round) {
    bool update = inner && nodeReady[i] == 0 && childReady(left) && childReady(right);
    float3 boxLo = 0, boxHi = 0;
    if (update) {
      float3 aLo, aHi, bLo, bHi;
      childBox(left, aLo, aHi);
      childBox(right, bLo, bHi);
      boxLo = min(aLo, bLo);
      boxHi = max(aHi, bHi);
    }
    GroupMemoryBarrierWithGroupSync();
    if (update) {
      nodeLo[i] = boxLo;
      nodeHi[i] = boxHi;
      nodeReady[i] = 1;
    }
    GroupMemoryBarrierWithGroupSync();
#ifndef TARNIX_WEB
    // Done once the root is ready. WebGPU cannot prove a value read from group memory uniform,
    // so a break on it would leave the barriers above in non-uniform flow: there the rounds
    // after the root change nothing and simply run out.
    if (n < 2 || nodeReady[0] != 0) break;
#endif
  }
}

[numthreads(BVH_GROUP_SIZE, 1, 1)]
void main(uint3 dispatchId : SV_DispatchThreadID) {
  uint i = dispatchId.x;
#ifndef TARNIX_WEB
  if (i >= BVH_GROUP_SIZE) return;  // groups after the first do nothing (the web build: one group)
#endif
  placeSphere(i);
  GroupMemoryBarrierWithGroupSync();
  sortKeys(i);

  int n = int(leafCount);
  bool inner = int(i) < n - 1;
  uint left, right;
  linkTree(i, n, inner, left, right);
  boundNodes(i, n, inner, left, right);

  if (i == 0) {
    uint root = n == 0 ? BVH_END : n == 1 ? BVH_LEAF : 0;
    sphereBvh.Store2(0, uint2(uint(n), root));
    sphereBvh.Store(12, 0);
  }
  if (inner) {
    sphereBvh.Store3(bvhNodeAddress(i) + 0, asuint(nodeLo[i]));
    sphereBvh.Store3(bvhNodeAddress(i) + 12, asuint(nodeHi[i]));
  }
}
