// The visible spheres as SphereBvhBuildCS writes them (through a storage view) and SceneRenderCS
// reads them (through a constant-buffer view), 10752 bytes. Spheres that are large beside the
// spread of all centres (the walls around a scene) would make every box around them large, so
// they are kept in a plain list that every ray tests; the others form a bounding volume
// hierarchy.
//
// The tree is threaded for a walk without a stack: every node holds the reference of the node
// that follows its subtree in depth-first order (its "miss" link), and an inner node's first
// child follows it. A walk goes to the first child when the box is wanted and to the miss link
// otherwise, and ends at BVH_END. Records start on 16 bytes, as constant-buffer reads do.
//   header (0):               leaf count (0), root reference (4), large-sphere count (8)
//   inner node k (< 127):     at bvhNodeAddress(k): its box, lo (0) and hi (12), then its first
//                             child (24) and its miss link (28)
//   leaf at curve position p: at bvhLeafAddress(p): the sphere as the particle holds it, centre
//                             and radius (0), then the particle's index (16) and the miss link (20)
//   large spheres:            from BVH_LARGE_LIST_ADDRESS, their particle indices, ascending;
//                             from BVH_LARGE_SPHERES_ADDRESS, the spheres as the particles hold
//                             them, 16 bytes each, in the same order
// A reference with BVH_LEAF set is a leaf, its curve position in the bits below; otherwise it is
// an inner node. A tree of one sphere has that leaf as its root and no inner node.
#ifndef TARNIX_SPHERE_BVH_HLSLI
#define TARNIX_SPHERE_BVH_HLSLI

static const uint BVH_LEAF = 0x80000000u;
static const uint BVH_END = 0xFFFFFFFFu;

static const uint BVH_BYTES = 10752;  // kSphereBvhRecords x kSphereBvhRecordBytes
static const uint BVH_LARGE_LIST_ADDRESS = 8192;
static const uint BVH_LARGE_SPHERES_ADDRESS = 8704;
// A sphere is large when its radius exceeds this share of the centres' widest spread.
static const float BVH_LARGE_RADIUS_SHARE = 1.0 / 16.0;

// Addresses stay inside the buffer whatever the reference holds (constant-buffer reads are not
// checked on every driver).
uint bvhNodeAddress(uint node) { return 16 + 32 * (node & 127); }
uint bvhLeafAddress(uint reference) { return 4096 + 32 * (reference & 127); }

#endif  // TARNIX_SPHERE_BVH_HLSLI
