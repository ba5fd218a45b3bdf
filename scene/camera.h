#pragma once
// The one camera the scene is seen through. The timeline writes its position, its
// three angles ("CM::Pos", "CM::Dir") and its projection ("CM::Fov") every frame;
// updateCamera then derives the view direction, and in free-flight mode also moves
// it by keyboard and mouse. viewMatrix and writeCameraConstants turn it into the
// matrices the passes read.
#include <cstring>

#include "base/input_state.h"
#include "scene/math.h"

// The fixed projection: 16:9, depth planes 0.1 and 1000.
inline constexpr float kCameraAspect = 1.7777778f;
inline constexpr float kCameraNear = 0.1f;
inline constexpr float kCameraFar = 1000.0f;

struct Camera {
  Float3 position;       // eye position; track "CM::Pos"
  Float3 velocity;       // free-flight velocity, units per 1/60 s
  Float3 direction;      // view direction, recomputed from yaw and pitch every update
  float yaw;             // radians; "CM::Dir" y
  float pitch;           // radians; "CM::Dir" x
  float roll;            // radians about the view axis; "CM::Dir" z
  Float2 mouse;          // mouse position at the last update
  Float2 previousMouse;  // mouse position used for the last look step
  Float4x4 lookAt;       // the last look-at matrix
  float speed;           // free-flight acceleration per frame before the factor 4.15
  Float4x4 projection;   // perspective projection; rebuilt by "CM::Fov"
};

// Position as given, at rest, looking down -z, angles 0, speed 1, lookAt identity,
// and the fixed projection at 60 degrees.
void initCamera(Camera& camera, Float3 position);

// The program's projection for a vertical field of view in degrees (aspect 16:9,
// near 0.1, far 1000). The depth terms are the exact single-precision values
// -1.0002 and -0.20002, whichever way the matrix is built.
void makeCameraProjection(Float4x4& projection, float fovDegrees);

// Once per frame, after the timeline has written the camera. freeFlight lets the
// left mouse button turn the camera and W/S, A/D, Q/E move it; without it the mouse
// fields merely follow the mouse and only the direction is recomputed. mousePosition
// is the pointer in client pixels, as the message pump last saw it.
void updateCamera(Camera& camera, bool freeFlight, const InputState& input, Float2 mousePosition);

// The view matrix: look-at along the direction, then the roll about the view axis.
// Also stores the look-at part in camera.lookAt.
Float4x4 viewMatrix(Camera& camera);

// The camera part of the per-frame scene constants.
struct CameraConstants {
  Float3 cameraPos;
  Float4x4 viewMtx;
  Float4x4 viewProjMtx;     // viewMtx x projection
  Float4x4 invViewProjMtx;  // inverse of the transposed viewProjMtx
};

CameraConstants computeCameraConstants(Camera& camera);

// Copies a vector or matrix into a shader-shared field of the same bytes (the shared
// records spell their fields with the shaders' own vector types).
template <typename Field, typename Value>
void copyIntoField(Field& field, const Value& value) {
  static_assert(sizeof(Field) == sizeof(Value), "field and value differ in size");
  memcpy(&field, &value, sizeof(Value));
}

// Writes the camera fields of any record that names them as the scene constants do
// (cameraPos, viewMtx, viewProjMtx, invViewProjMtx).
template <typename Constants>
void writeCameraConstants(Camera& camera, Constants& constants) {
  CameraConstants c = computeCameraConstants(camera);
  copyIntoField(constants.cameraPos, c.cameraPos);
  copyIntoField(constants.viewMtx, c.viewMtx);
  copyIntoField(constants.viewProjMtx, c.viewProjMtx);
  copyIntoField(constants.invViewProjMtx, c.invViewProjMtx);
}

// After a frame: the current camera fields become the previous-frame fields that
// temporal reprojection reads.
template <typename Constants>
void keepCameraConstantsAsPrevious(Constants& constants) {
  constants.prevCameraPos = constants.cameraPos;
  constants.prevInvViewProjMtx = constants.invViewProjMtx;
  constants.prevViewProjMtx = constants.viewProjMtx;
}
