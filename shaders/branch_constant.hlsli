// Constant-buffer values that choose a branch for a whole draw or dispatch (a scene number, a
// tone-mapping operator) are read through branchConstant.
//
// Mesa 22's lavapipe (Debian 12's stock Vulkan driver on machines without a GPU) folds such
// values into the shader as literals and compiles it again on every bind, never freeing the
// copy: about 2 MB and 15-20 ms a frame for the simulation, depth-of-field and final passes. It
// does not look through wave operations. Every lane holds the same value, so WaveReadLaneFirst
// changes no result, and GPU compilers keep it the uniform value it is.
#ifndef TARNIX_BRANCH_CONSTANT_HLSLI
#define TARNIX_BRANCH_CONSTANT_HLSLI

#ifdef TARNIX_WEB
// WebGPU allows subgroup operations only in subgroup-uniform control flow, which its analysis
// cannot see here; the workaround is for one native driver anyway.
uint branchConstant(uint value) { return value; }
int branchConstant(int value) { return value; }
float branchConstant(float value) { return value; }
#else
uint branchConstant(uint value) { return WaveReadLaneFirst(value); }
int branchConstant(int value) { return WaveReadLaneFirst(value); }
float branchConstant(float value) { return WaveReadLaneFirst(value); }
#endif

#endif
