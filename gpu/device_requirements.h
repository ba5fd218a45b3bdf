#pragma once
// What a program needs of a device, read off the passes it runs: each pass's shader tells its
// group size, subgroup operations and descriptors (gfx::ReflectShaderNeeds), and its
// description tells which formats meet a linear filter or are written as storage images. So
// the check stays true when a shader or a pass changes.
#include <cstdint>
#include <span>

#include "gpu/pass_description.h"

// The needs of every pass in `passes`, with textures and back buffers up to imageSide pixels a side.
gfx::DeviceRequirements deviceRequirementsOf(std::span<const PassDescription* const> passes, uint32_t imageSide);
