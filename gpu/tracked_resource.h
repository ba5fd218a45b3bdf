#pragma once
// The unit of resource-state tracking: every buffer, texture and back buffer is one.
#include <cstdint>

namespace gfx {
class Resource;
}

// A graphics resource and the state it is in after everything recorded so far.
struct TrackedResource {
  gfx::Resource* resource;
  uint32_t state;
};
