#include "edit/hud_pass.h"

#include "app/frame_passes.h"
#include "shader_blobs.h"

namespace {
constexpr PassSlot kHudSlots[] = {{SlotKind::Texture, "hud", gfx::FORMAT_R8G8B8A8_UNORM, 0}};
}  // namespace

// Drawn into the back buffer after the final pass, in its format.
const PassDescription kHudOverlayPass = {
    "HudOverlayPS", PassStage::Pixel, {kHudOverlayPS, kHudOverlayPSSize}, kHudSlots, {}, false, 0,
    gfx::FORMAT_R8G8B8A8_UNORM};
