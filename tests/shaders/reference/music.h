#pragma once
// Reference of the music synthesis: the stereo frame at time t seconds.
#include "tests/shaders/reference/shading_math.h"

namespace reference {

float mtof(float m);
float chord(float base, float t);
float smallMelody(float sc, float t, float st, float en);
// The melody's root-frequency ratio in its bar (0..3 for the four bars of a segment).
float melodyRootRatio(float barIdx);
Vec2 makeSound(float t);

}  // namespace reference
