#pragma once
// The camera as start-up leaves it, for the camera's suites and benchmark: at (0, 0, -80),
// yaw 1.57, speed 0.15.
#include "scene/camera.h"

inline Camera startupCamera() {
  Camera camera;
  initCamera(camera, {0.0f, 0.0f, -80.0f});
  camera.yaw = 1.57f;
  camera.speed = 0.15f;
  return camera;
}
