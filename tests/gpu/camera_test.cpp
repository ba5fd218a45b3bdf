#include <gtest/gtest.h>

#include <cstring>

#include "app/input_state.h"
#include "gpu/camera.h"
#include "gpu/math.h"

namespace {

uint32_t bitsOf(float f) {
  uint32_t u;
  memcpy(&u, &f, sizeof(u));
  return u;
}

Float4x4 identity() {
  Float4x4 m;
  makeIdentity(m);
  return m;
}

// A well-conditioned matrix with no zero entries and no symmetry.
Float4x4 sample() {
  return {{{2.0f, 0.5f, -1.0f, 0.25f},
           {0.3f, 3.0f, 0.7f, -0.2f},
           {-0.6f, 0.4f, 1.5f, 0.9f},
           {1.0f, -2.0f, 0.5f, 4.0f}}};
}

void expectNear(const Float4x4& a, const Float4x4& b, float tolerance) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_NEAR(a.m[i][j], b.m[i][j], tolerance) << "[" << i << "][" << j << "]";
}

InputState noInput() {
  InputState input;
  clearInputState(input);
  return input;
}

// The camera as start-up leaves it: at (0, 0, -80), yaw 1.57, speed 0.15.
Camera startupCamera() {
  Camera camera;
  initCamera(camera, {0.0f, 0.0f, -80.0f});
  camera.yaw = 1.57f;
  camera.speed = 0.15f;
  return camera;
}

}  // namespace

// ---- matrices ----

TEST(Matrix, MultiplyIsRowTimesColumnAndIdentityIsNeutral) {
  Float4x4 a = sample();
  Float4x4 i = identity();
  expectNear(multiply(a, i), a, 0.0f);
  expectNear(multiply(i, a), a, 0.0f);

  // Row vectors on the left: translating then scaling moves the point first.
  Float4x4 translate = identity();
  translate.m[3][0] = 1.0f;
  Float4x4 scale = identity();
  scale.m[0][0] = 2.0f;
  Float4 p = transformPoint({1.0f, 0.0f, 0.0f}, multiply(translate, scale));
  EXPECT_FLOAT_EQ(p.x, 4.0f);
}

TEST(Matrix, TransposeSwapsRowsAndColumnsAndUndoesItself) {
  Float4x4 a = sample();
  Float4x4 t = a;
  transpose(t);
  EXPECT_EQ(t.m[0][3], a.m[3][0]);
  EXPECT_EQ(t.m[2][1], a.m[1][2]);
  transpose(t);
  expectNear(t, a, 0.0f);
}

TEST(Matrix, InvertGivesTheInverseOnBothSides) {
  Float4x4 a = sample();
  Float4x4 inv = a;
  ASSERT_TRUE(invert(inv));
  expectNear(multiply(a, inv), identity(), 1e-5f);
  expectNear(multiply(inv, a), identity(), 1e-5f);
}

TEST(Matrix, InvertLeavesASingularMatrixUnchanged) {
  Float4x4 zero;
  memset(&zero, 0, sizeof(zero));
  Float4x4 m = zero;
  EXPECT_FALSE(invert(m));
  expectNear(m, zero, 0.0f);

  // Rank-deficient but not zero: two equal rows.
  Float4x4 twin = {{{1, 2, 3, 4}, {1, 2, 3, 4}, {0, 1, 0, 0}, {0, 0, 1, 0}}};
  m = twin;
  EXPECT_FALSE(invert(m));
  expectNear(m, twin, 0.0f);
}

TEST(Matrix, PerspectiveMapsNearAndFarToMinusOneAndOne) {
  Float4x4 p;
  makePerspective(p, 1.0f, 2.0f, 0.5f, 50.0f);
  EXPECT_EQ(p.m[2][3], -1.0f);  // w = -z: the view looks down -z
  Float4 nearPoint = transformPoint({0.0f, 0.0f, -0.5f}, p);
  Float4 farPoint = transformPoint({0.0f, 0.0f, -50.0f}, p);
  EXPECT_NEAR(nearPoint.z / nearPoint.w, -1.0f, 1e-5f);
  EXPECT_NEAR(farPoint.z / farPoint.w, 1.0f, 1e-5f);
  // The top edge of the field of view lands on y = 1, the right edge on x = 1.
  Float4 top = transformPoint({0.0f, std::tan(0.5f) * 10.0f, -10.0f}, p);
  Float4 right = transformPoint({2.0f * std::tan(0.5f) * 10.0f, 0.0f, -10.0f}, p);
  EXPECT_NEAR(top.y / top.w, 1.0f, 1e-5f);
  EXPECT_NEAR(right.x / right.w, 1.0f, 1e-5f);
}

TEST(Matrix, ProgramProjectionHasTheExactDepthBitsTheTimelineWrites) {
  Float4x4 p;
  makeCameraProjection(p, 60.0f);
  EXPECT_EQ(bitsOf(p.m[2][2]), 0xBF80068Du);
  EXPECT_EQ(bitsOf(p.m[3][2]), 0xBE4CD20Au);
  EXPECT_EQ(p.m[2][3], -1.0f);
  // What the field-of-view track writes, float by float in storage order, computed
  // at run time as the binding does (a compile-time tan may round differently).
  volatile float degrees = 60.0f;
  float c = 1.0f / std::tan(degrees * 3.1415927f / 180.0f * 0.5f);
  const float* f = &p.m[0][0];
  EXPECT_EQ(bitsOf(f[0]), bitsOf(c / 1.7777778f));
  EXPECT_EQ(bitsOf(f[5]), bitsOf(c));
  for (int i : {1, 2, 3, 4, 6, 7, 8, 9, 12, 13, 15}) EXPECT_EQ(f[i], 0.0f) << i;
}

TEST(Matrix, LookAtPutsTheTargetOnTheNegativeZAxis) {
  Float3 eye = {3.0f, 2.0f, 5.0f};
  Float3 target = {-1.0f, 0.5f, 2.0f};
  Float4x4 m;
  makeLookAt(m, eye, target, {0.0f, 1.0f, 0.0f});
  Float4 e = transformPoint(eye, m);
  Float4 t = transformPoint(target, m);
  EXPECT_NEAR(e.x, 0.0f, 1e-5f);
  EXPECT_NEAR(e.y, 0.0f, 1e-5f);
  EXPECT_NEAR(e.z, 0.0f, 1e-5f);
  EXPECT_NEAR(t.x, 0.0f, 1e-5f);
  EXPECT_NEAR(t.y, 0.0f, 1e-5f);
  EXPECT_NEAR(t.z, -length(eye - target), 1e-5f);
  // Up stays up: a point above the eye has positive view-space y.
  EXPECT_GT(transformPoint(eye + Float3{0.0f, 1.0f, 0.0f}, m).y, 0.0f);
}

TEST(Matrix, LookAtWithEyeOnTargetIsTheIdentity) {
  Float4x4 m = sample();
  makeLookAt(m, {1.0f, 2.0f, 3.0f}, {1.0f, 2.0f, 3.0000005f}, {0.0f, 1.0f, 0.0f});
  expectNear(m, identity(), 0.0f);
}

// ---- camera ----

TEST(Camera, StartupViewLooksAtTheOrigin) {
  Camera camera = startupCamera();
  InputState input = noInput();
  updateCamera(camera, false, input);
  Float4x4 view = viewMatrix(camera);
  Float4 origin = transformPoint({0.0f, 0.0f, 0.0f}, view);
  EXPECT_NEAR(origin.z, -80.0f, 1e-3f);
  EXPECT_NEAR(origin.x, 0.0f, 0.1f);  // yaw 1.57 is a hair short of a quarter turn
  EXPECT_NEAR(origin.y, 0.0f, 1e-4f);
}

TEST(Camera, UpdateWithoutFreeFlightOnlyRecomputesDirectionAndFollowsTheMouse) {
  Camera camera = startupCamera();
  camera.pitch = 0.3f;
  InputState input = noInput();
  input.mouseX = 120.0f;
  input.mouseY = 45.0f;
  input.keyDown['W'] = 1;  // keys and buttons drive nothing here
  input.buttonDown[MOUSE_BUTTON_LEFT] = 1;
  input.buttonPressed[MOUSE_BUTTON_LEFT] = 1;
  updateCamera(camera, false, input);
  EXPECT_EQ(camera.position.x, 0.0f);
  EXPECT_EQ(camera.position.y, 0.0f);
  EXPECT_EQ(camera.position.z, -80.0f);
  EXPECT_EQ(camera.yaw, 1.57f);
  EXPECT_EQ(camera.pitch, 0.3f);
  EXPECT_FLOAT_EQ(camera.direction.x, std::cos(1.57f) * std::cos(0.3f));
  EXPECT_FLOAT_EQ(camera.direction.y, std::sin(0.3f));
  EXPECT_FLOAT_EQ(camera.direction.z, std::sin(1.57f) * std::cos(0.3f));
  EXPECT_EQ(camera.mouse.x, 120.0f);
  EXPECT_EQ(camera.previousMouse.y, 45.0f);
}

TEST(Camera, RollTurnsTheViewAboutItsAxis) {
  Camera camera = startupCamera();
  updateCamera(camera, false, noInput());
  Float4x4 level = viewMatrix(camera);
  camera.roll = kPi / 2.0f;
  Float4x4 rolled = viewMatrix(camera);
  Float3 above = {0.0f, 1.0f, 0.0f};
  Float4 a = transformPoint(above, level);
  Float4 b = transformPoint(above, rolled);
  // A quarter roll sends view-space +y to -x; depth is untouched.
  EXPECT_NEAR(b.x, -a.y, 1e-4f);
  EXPECT_NEAR(b.y, a.x, 1e-4f);
  EXPECT_NEAR(b.z, a.z, 1e-4f);
}

TEST(Camera, ConstantsCombineViewAndProjectionAndUnprojectBack) {
  Camera camera = startupCamera();
  camera.position = {4.0f, -3.0f, -60.0f};
  camera.pitch = 0.2f;
  camera.roll = 0.1f;
  updateCamera(camera, false, noInput());
  CameraConstants c = computeCameraConstants(camera);
  EXPECT_EQ(c.cameraPos.x, 4.0f);
  expectNear(c.viewProjMtx, multiply(c.viewMtx, camera.projection), 0.0f);

  // A world point goes to clip space through viewProjMtx; the transposed inverse
  // brings its normalised device coordinates back to the point (how the shaders
  // unproject: multiply the transposed inverse from the other side).
  Float3 world = {1.0f, 2.0f, -20.0f};
  Float4 clip = transformPoint(world, c.viewProjMtx);
  Float4 ndc = {clip.x / clip.w, clip.y / clip.w, clip.z / clip.w, 1.0f};
  Float4x4 inv = c.invViewProjMtx;
  transpose(inv);  // back to the plain inverse, applied to a row vector
  Float4 back = transform(ndc, inv);
  EXPECT_NEAR(back.x / back.w, world.x, 1e-3f);
  EXPECT_NEAR(back.y / back.w, world.y, 1e-3f);
  EXPECT_NEAR(back.z / back.w, world.z, 1e-3f);
}

TEST(Camera, ConstantsTemplatesFillAndRollARecordWithTheSceneFieldNames) {
  struct Record {
    Float3 cameraPos, prevCameraPos;
    Float4x4 invViewProjMtx, prevInvViewProjMtx, viewMtx, viewProjMtx, prevViewProjMtx;
  } record = {};
  Camera camera = startupCamera();
  updateCamera(camera, false, noInput());
  writeCameraConstants(camera, record);
  keepCameraConstantsAsPrevious(record);
  EXPECT_EQ(record.prevCameraPos.z, -80.0f);
  EXPECT_EQ(memcmp(&record.prevViewProjMtx, &record.viewProjMtx, sizeof(Float4x4)), 0);
  EXPECT_EQ(memcmp(&record.prevInvViewProjMtx, &record.invViewProjMtx, sizeof(Float4x4)), 0);
  EXPECT_NE(record.viewMtx.m[3][2], 0.0f);
}

// ---- free flight ----

TEST(FreeFlight, ForwardKeyAcceleratesAlongTheHeadingAndReleaseCoasts) {
  Camera camera = startupCamera();  // heading ~ +z
  InputState input = noInput();
  input.keyDown['W'] = 1;
  updateCamera(camera, true, input);
  float step = 0.15f * 4.15f;
  EXPECT_NEAR(camera.velocity.z, step, 1e-4f);
  EXPECT_NEAR(camera.velocity.x, 0.0f, 1e-3f);
  EXPECT_NEAR(camera.position.z, -80.0f + step * 0.016666668f, 1e-5f);

  // Released: velocity decays by 3% per update, position keeps drifting forward.
  input.keyDown['W'] = 0;
  float z = camera.position.z;
  updateCamera(camera, true, input);
  EXPECT_NEAR(camera.velocity.z, step * 0.97f, 1e-4f);
  EXPECT_GT(camera.position.z, z);
}

TEST(FreeFlight, OpposingKeysDoNotCancelTheFirstOfEachPairWins) {
  Camera camera = startupCamera();
  camera.yaw = 0.0f;  // heading +x, side +z
  InputState input = noInput();
  input.keyDown['W'] = input.keyDown['S'] = 1;
  input.keyDown['D'] = input.keyDown['A'] = 1;
  input.keyDown['Q'] = input.keyDown['E'] = 1;
  updateCamera(camera, true, input);
  float step = 0.15f * 4.15f;
  EXPECT_NEAR(camera.velocity.x, step, 1e-5f);
  EXPECT_NEAR(camera.velocity.z, step, 1e-5f);
  EXPECT_NEAR(camera.velocity.y, step, 1e-6f);

  Camera back = startupCamera();
  back.yaw = 0.0f;
  InputState other = noInput();
  other.keyDown['S'] = other.keyDown['A'] = other.keyDown['E'] = 1;
  updateCamera(back, true, other);
  EXPECT_NEAR(back.velocity.x, -step, 1e-5f);
  EXPECT_NEAR(back.velocity.z, -step, 1e-5f);
  EXPECT_NEAR(back.velocity.y, -step, 1e-6f);
}

TEST(FreeFlight, DraggingWithTheLeftButtonTurnsTheCameraFromWhereThePressBegan) {
  Camera camera = startupCamera();
  InputState input = noInput();
  // The mouse wandered while the button was up; the press must not turn the camera.
  input.mouseX = 500.0f;
  input.mouseY = 300.0f;
  input.buttonPressed[MOUSE_BUTTON_LEFT] = 1;
  input.buttonDown[MOUSE_BUTTON_LEFT] = 1;
  updateCamera(camera, true, input);
  EXPECT_EQ(camera.yaw, 1.57f);
  EXPECT_EQ(camera.pitch, 0.0f);

  // Held and moved by (+10, -20) pixels: 0.1 degree per pixel.
  clearPressedInput(input);
  input.mouseX = 510.0f;
  input.mouseY = 280.0f;
  updateCamera(camera, true, input);
  EXPECT_NEAR(camera.yaw, 1.57f + 10.0f * 0.1f * kPi / 180.0f, 1e-6f);
  EXPECT_NEAR(camera.pitch, -20.0f * 0.1f * kPi / 180.0f, 1e-6f);
  EXPECT_NEAR(camera.direction.y, std::sin(camera.pitch), 1e-6f);

  // Released: moving the mouse no longer turns it.
  input.buttonDown[MOUSE_BUTTON_LEFT] = 0;
  input.mouseX = 900.0f;
  float yaw = camera.yaw;
  updateCamera(camera, true, input);
  EXPECT_EQ(camera.yaw, yaw);
}
