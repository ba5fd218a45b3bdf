// The visible spheres as SphereBvhBuildCS writes them for SceneRenderCS (a byte-address buffer
// of 136 records of 64 bytes). Spheres that are large beside the spread of all centres (the
// walls around a scene) would make every box around them large, so they are kept in a plain
// list that every ray tests; the others form a bounding volume hierarchy.
//   record 0, the header:  leaf count (0), root reference (4), large-sphere count (8)
//   record k + 1, inner node k (at most 127 for 128 spheres): the boxes of both children, then
//   their references: leftLo (0), leftHi (12), rightLo (24), rightHi (36), left (48), right (52)
//   records 128 to 135: the large spheres' particle indices, one uint each, ascending
// A reference with BVH_LEAF set is a sphere, its particle index in the bits below; otherwise it
// is an inner node. A tree of one sphere has that leaf as its root and no inner node.
#ifndef TARNIX_SPHERE_BVH_HLSLI
#define TARNIX_SPHERE_BVH_HLSLI

static const uint BVH_LEAF = 0x80000000u;
static const uint BVH_RECORD_BYTES = 64;

static const uint BVH_LARGE_LIST_ADDRESS = 128 * 64;
// A sphere is large when its radius exceeds this share of the centres' widest spread.
static const float BVH_LARGE_RADIUS_SHARE = 1.0 / 16.0;

uint bvhNodeAddress(uint node) { return BVH_RECORD_BYTES * (node + 1); }

#endif  // TARNIX_SPHERE_BVH_HLSLI
