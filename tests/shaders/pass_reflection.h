#pragma once
// A pass description held against its shader's SPIR-V reflection (spirv-cross --reflect).
#include <string>
#include <vector>

#include "gpu/pass_description.h"
#include "tests/shaders/spirv_reflection.h"

// Every difference between what `pass` declares and what the shader binds, one line each:
// a slot or sampler the shader lacks or binds elsewhere or as another kind, a resource the
// shader binds that no slot describes, root constants on one side only. Slots named in
// `mayBeUnused` may be missing from the shader (a variant that leaves one unread).
std::vector<std::string> differencesFromReflection(const PassDescription& pass, const JsonNode& reflection,
                                                   const std::vector<std::string>& mayBeUnused = {});
