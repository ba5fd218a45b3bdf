// Test builds only (TARNIX_GPU_LIKE_SINE): every builtin sine reduces its argument in
// single-precision turns, as many GPUs do, so that the suites see what depends on the builtin's
// reduction. ParticleConfig.h includes it, so it reaches every shader that uses a sine.
#ifndef TARNIX_SHADERS_GPU_LIKE_SINE_HLSLI
#define TARNIX_SHADERS_GPU_LIKE_SINE_HLSLI

#ifdef TARNIX_GPU_LIKE_SINE
float gpuLikeSin(float x) { return sin(6.2831855 * frac(x * 0.15915494)); }
float2 gpuLikeSin(float2 x) { return sin(6.2831855 * frac(x * 0.15915494)); }
float3 gpuLikeSin(float3 x) { return sin(6.2831855 * frac(x * 0.15915494)); }
float gpuLikeCos(float x) { return cos(6.2831855 * frac(x * 0.15915494)); }
float2 gpuLikeCos(float2 x) { return cos(6.2831855 * frac(x * 0.15915494)); }
float3 gpuLikeCos(float3 x) { return cos(6.2831855 * frac(x * 0.15915494)); }
#define sin gpuLikeSin
#define cos gpuLikeCos
#endif

#endif  // TARNIX_SHADERS_GPU_LIKE_SINE_HLSLI
