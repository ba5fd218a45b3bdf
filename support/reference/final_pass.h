#pragma once
// Reference of the final pass: letterboxing, text blend, brightness and tone mapping.
#include "shaders/ParticleConfig.h"
#include "support/reference/shading_math.h"

namespace reference {

struct Letterbox {
  Vec2 topLeft;
  Vec2 displayed;
};
Letterbox fitRender(Vec2 resolution, Vec2 nativeResolution);
bool insideLetterbox(const Letterbox& box, Vec2 pixelCentre);

Vec3 toneMap(Vec3 c, int op);

// The output colour for a pixel inside the picture: frame is the render's colour there, text the
// text texture's rgba there.
Vec3 finalColour(Vec3 frame, const float (&text)[4], const FinalPassData& data);

}  // namespace reference
