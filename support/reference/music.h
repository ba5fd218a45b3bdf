#pragma once
// Reference of the music synthesis: the stereo frame at time t seconds.
#include "support/reference/shading_math.h"

namespace reference {

Vec2 makeSound(float t);

}  // namespace reference
