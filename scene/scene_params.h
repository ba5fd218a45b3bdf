#pragma once
// The values every animated parameter starts from, and the fixed ones no track drives.
//
// Start-up fills one SceneParams, applies it to the constant blocks, the camera and the
// loop variables before the first frame, and seeds the default tracks from it when the
// embedded timeline holds none. It is never animated itself: from the first frame on
// the timeline writes straight into the destinations. Which track animates which field,
// and where each goes, is the table of app/scene_parameters.cpp.
#include <cstdint>

#include "scene/math.h"
#include "shaders/ParticleConfig.h"

struct SceneParams {
  uint32_t numParticles = 64;
  uint32_t sceneId = 0;
  float timeScale = 0.025f;
  Float3 cameraPosition = {0.0f, 0.0f, -80.0f};
  Float3 cameraDirection = {1.57f, 0.0f, 0.0f};
  float brightness = 1.0f;
  Float3 backgroundColor = {0.11f, 0.11f, 0.18f};
  float focusScale = 0.0f;
  float focusPoint = 22.0f;
  float radiusScale = 1.0f;
  float blurSize = 20.0f;
  float maxDist = 1000.0f;
  float blendFactor = 0.15f;
  float depthThreshold = 0.004f;
  float normalThreshold = 0.9f;
  float standardDeviation = 1.0f;
  float velocityScale = 1.0f;
  uint32_t atrousSteps = 2;
  uint32_t sampleCount = 4;
  TonemapFunction tonemapping = TonemapFunction::WHITE_PRESERVING_LUMA_BASED_REINHARD;
  float fovDegrees = 60.0f;
};
static_assert(sizeof(SceneParams) == 27 * 4, "SceneParams is 27 packed 32-bit words");
