// The scene pass testing every particle for each ray instead of walking the hierarchy: the
// reference the accelerated pass is held to, and the baseline of its benchmark.
#define SCENE_BRUTE_FORCE
#include "SceneRenderCS.hlsl"
