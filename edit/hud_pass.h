#pragma once
// The editor's overlay pass, described once (gpu/pass_description.h): its text canvas, read
// texel by texel, drawn over the back buffer.
#include "gpu/pass_description.h"

extern const PassDescription kHudOverlayPass;
