#pragma once
// The music's synthesis pass: every frame of the piece into a buffer of (left, right) floats.
#include "gpu/pass_description.h"

inline constexpr uint32_t kFloatFrameBytes = 8;  // (left, right) as 32-bit floats

extern const PassDescription kMusicSynthesisPass;
