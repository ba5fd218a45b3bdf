#pragma once
// References of the music synthesis.
#include <cstdint>

#include "support/reference/shading_math.h"

namespace reference {

// The stereo frame at time t seconds, in the design's float arithmetic: each sine of the float
// product 2 pi f t, which at a hundred seconds is a few hundredths of a radian off.
Vec2 makeSound(float t);

// The stereo frame of sample n as the shader computes it: every phase counted in turns from the
// sample index, here in double precision.
Vec2 makeSoundAtSample(uint32_t n);

}  // namespace reference
