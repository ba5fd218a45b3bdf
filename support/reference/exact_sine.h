#pragma once
// The shaders' own sines (shaders/exact_sine.hlsli), operation for operation in 32-bit floats:
// every operation is correctly rounded and none fused, so a shader's result equals these bits on
// any driver.
#include <cstdint>

namespace reference {

float fractionalPart(float x);
// frac(rate * n), exactly, for a rate of at least 2^-100 and a whole n below 2^24.
float turnsAt(float rate, uint32_t n);
// sin and cos of 2 pi r for r in [0, 1].
float sinTurns(float r);
float cosTurns(float r);
// The turns of |x| radians, in [0, 1].
float turnsOfRadians(float x);
float exactSin(float x);
float exactCos(float x);

}  // namespace reference
