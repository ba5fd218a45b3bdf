#include "scene/camera.h"

namespace {

// Mouse look turns by 0.1 degree per pixel.
constexpr float kLookRadiansPerPixel = 0.1f * kPi / 180.0f;
// Free-flight tuning: velocity decays by 3% per update and is given in units per
// 1/60 s, so one update moves by velocity / 60 whatever the real frame time.
constexpr float kVelocityDamping = 0.97f;
constexpr float kStepFactor = 4.15f;
constexpr float kSecondsPerUpdate = 0.016666668f;
constexpr float kQuarterTurn = 1.5707964f;

bool keyHeld(const InputState& input, char key) { return input.keyDown[uint8_t(key)] != 0; }

}  // namespace

void makeCameraProjection(Float4x4& projection, float fovDegrees) {
  makePerspective(projection, fovDegrees * kPi / 180.0f, kCameraAspect, kCameraNear, kCameraFar);
}

void initCamera(Camera& camera, Float3 position) {
  camera.position = position;
  camera.velocity = {0.0f, 0.0f, 0.0f};
  camera.direction = {0.0f, 0.0f, -1.0f};
  camera.yaw = 0.0f;
  camera.pitch = 0.0f;
  camera.roll = 0.0f;
  camera.mouse = {0.0f, 0.0f};
  camera.previousMouse = {0.0f, 0.0f};
  makeIdentity(camera.lookAt);
  camera.speed = 1.0f;
  makeCameraProjection(camera.projection, 60.0f);
}

void updateCamera(Camera& camera, bool freeFlight, const InputState& input, Float2 mousePosition) {
  Float2 current = mousePosition;
  if (freeFlight) {
    // A fresh press starts the drag where the mouse is, so the camera does not jump
    // by however far the mouse travelled while the button was up.
    if (input.buttonPressed[buttonIndex(MouseButton::Left)]) {
      camera.mouse = current;
      camera.previousMouse = current;
    }
    if (input.buttonDown[buttonIndex(MouseButton::Left)]) {
      camera.mouse = current;
      camera.yaw += (camera.mouse.x - camera.previousMouse.x) * kLookRadiansPerPixel;
      camera.pitch += (camera.mouse.y - camera.previousMouse.y) * kLookRadiansPerPixel;
      camera.previousMouse = camera.mouse;
    }
  } else {
    camera.mouse = current;
    camera.previousMouse = current;
  }

  float cosPitch = std::cos(camera.pitch);
  camera.direction = {std::cos(camera.yaw) * cosPitch, std::sin(camera.pitch),
                      std::sin(camera.yaw) * cosPitch};
  float heading = std::atan2(camera.direction.z, camera.direction.x);

  camera.velocity = camera.velocity * kVelocityDamping;

  if (freeFlight) {
    float step = camera.speed * kStepFactor;
    Float3 forward = {std::cos(heading), 0.0f, std::sin(heading)};
    float side = heading + kQuarterTurn;
    Float3 right = {std::cos(side), 0.0f, std::sin(side)};
    if (keyHeld(input, 'W'))
      camera.velocity += forward * step;
    else if (keyHeld(input, 'S'))
      camera.velocity -= forward * step;
    if (keyHeld(input, 'D'))
      camera.velocity += right * step;
    else if (keyHeld(input, 'A'))
      camera.velocity -= right * step;
    if (keyHeld(input, 'Q'))
      camera.velocity.y += step;
    else if (keyHeld(input, 'E'))
      camera.velocity.y -= step;
  }

  camera.position += camera.velocity * kSecondsPerUpdate;
}

Float4x4 viewMatrix(Camera& camera) {
  makeIdentity(camera.lookAt);
  Float3 dir = normalize(camera.direction);
  makeLookAt(camera.lookAt, camera.position, camera.position + dir, {0.0f, 1.0f, 0.0f});
  float c = std::cos(camera.roll), s = std::sin(camera.roll);
  Float4x4 roll = {{{c, s, 0.0f, 0.0f}, {-s, c, 0.0f, 0.0f}, {0.0f, 0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 0.0f, 1.0f}}};
  return multiply(camera.lookAt, roll);
}

CameraConstants computeCameraConstants(Camera& camera) {
  CameraConstants c;
  c.cameraPos = camera.position;
  c.viewMtx = viewMatrix(camera);
  c.viewProjMtx = multiply(c.viewMtx, camera.projection);
  // The shaders unproject with the inverse of the transposed matrix.
  c.invViewProjMtx = c.viewProjMtx;
  transpose(c.invViewProjMtx);
  invert(c.invViewProjMtx);
  return c;
}
