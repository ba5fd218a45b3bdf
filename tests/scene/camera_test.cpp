#include <gtest/gtest.h>

#include <cstring>

#include "base/input_state.h"
#include "scene/camera.h"
#include "support/startup_camera.h"
#include "scene/math.h"
#include "shaders/ParticleConfig.h"

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

// Well-conditioned, no zero entries, no symmetry.
const Float4x4 kSample = {{{2.0f, 0.5f, -1.0f, 0.25f},
                           {0.3f, 3.0f, 0.7f, -0.2f},
                           {-0.6f, 0.4f, 1.5f, 0.9f},
                           {1.0f, -2.0f, 0.5f, 4.0f}}};

void expectNear(const Float4x4& a, const Float4x4& b, float tolerance) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR((&a.m[0][0])[i], (&b.m[0][0])[i], tolerance) << "float " << i;
}

void expectNear(Float3 a, Float3 b, float tolerance) {
  EXPECT_NEAR(a.x, b.x, tolerance);
  EXPECT_NEAR(a.y, b.y, tolerance);
  EXPECT_NEAR(a.z, b.z, tolerance);
}

Float3 projected(Float4 p) { return {p.x / p.w, p.y / p.w, p.z / p.w}; }

InputState noInput() {
  InputState input;
  clearInputState(input);
  return input;
}

constexpr float kStep = 0.15f * 4.15f;  // free-flight acceleration of the start-up camera

}  // namespace

TEST(Matrix, MultiplyAndTransposeFollowTheRowVectorConvention) {
  expectNear(multiply(kSample, identity()), kSample, 0.0f);
  expectNear(multiply(identity(), kSample), kSample, 0.0f);
  // Row vectors on the left: translate-then-scale moves the point before scaling.
  Float4x4 translate = identity(), scale = identity();
  translate.m[3][0] = 1.0f;
  scale.m[0][0] = 2.0f;
  EXPECT_FLOAT_EQ(transformPoint({1.0f, 0.0f, 0.0f}, multiply(translate, scale)).x, 4.0f);

  Float4x4 t = kSample;
  transpose(t);
  EXPECT_EQ(t.m[0][3], kSample.m[3][0]);
  transpose(t);
  expectNear(t, kSample, 0.0f);
}

TEST(Matrix, InvertGivesTheInverseAndLeavesSingularMatricesUnchanged) {
  Float4x4 inv = kSample;
  ASSERT_TRUE(invert(inv));
  expectNear(multiply(kSample, inv), identity(), 1e-5f);
  expectNear(multiply(inv, kSample), identity(), 1e-5f);

  Float4x4 zero = {};
  Float4x4 twinRows = {{{1, 2, 3, 4}, {1, 2, 3, 4}, {0, 1, 0, 0}, {0, 0, 1, 0}}};
  for (const Float4x4& singular : {zero, twinRows}) {
    Float4x4 m = singular;
    EXPECT_FALSE(invert(m));
    expectNear(m, singular, 0.0f);
  }
}

TEST(Matrix, ProgramProjectionHasTheExactBitsTheFieldOfViewTrackWrites) {
  Float4x4 p;
  makeCameraProjection(p, 60.0f);
  const float* f = &p.m[0][0];
  EXPECT_EQ(bitsOf(f[10]), 0xBF80068Du);  // -1.0002
  EXPECT_EQ(bitsOf(f[14]), 0xBE4CD20Au);  // -0.20002
  EXPECT_EQ(f[11], -1.0f);
  // The track's formula, evaluated at run time as the binding does (a tan folded
  // at compile time may round differently).
  volatile float degrees = 60.0f;
  float c = 1.0f / std::tan(degrees * 3.1415927f / 180.0f * 0.5f);
  EXPECT_EQ(bitsOf(f[0]), bitsOf(c / 1.7777778f));
  EXPECT_EQ(bitsOf(f[5]), bitsOf(c));
  for (int i : {1, 2, 3, 4, 6, 7, 8, 9, 12, 13, 15}) EXPECT_EQ(f[i], 0.0f) << i;
}

TEST(Matrix, LookAtPutsTheEyeAtTheOriginAndTheTargetDownMinusZ) {
  Float3 eye = {3.0f, 2.0f, 5.0f}, target = {-1.0f, 0.5f, 2.0f};
  Float4x4 m;
  makeLookAt(m, eye, target, {0.0f, 1.0f, 0.0f});
  expectNear(projected(transformPoint(eye, m)), {0.0f, 0.0f, 0.0f}, 1e-5f);
  expectNear(projected(transformPoint(target, m)), {0.0f, 0.0f, -length(eye - target)}, 1e-5f);
  EXPECT_GT(transformPoint(eye + Float3{0.0f, 1.0f, 0.0f}, m).y, 0.0f);  // up stays up

  // Eye on the target (closer than 1e-6 on every axis): identity, not NaN.
  makeLookAt(m, {1.0f, 2.0f, 3.0f}, {1.0f, 2.0f, 3.0000005f}, {0.0f, 1.0f, 0.0f});
  expectNear(m, identity(), 0.0f);

  // Looking straight down the up axis: up x z vanishes; the matrix stays finite.
  makeLookAt(m, {0.0f, 5.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f});
  for (int i = 0; i < 16; ++i) EXPECT_TRUE(std::isfinite((&m.m[0][0])[i])) << i;
}

TEST(Camera, StartupViewLooksAtTheOrigin) {
  Camera camera = startupCamera();
  updateCamera(camera, false, noInput(), {0.0f, 0.0f});
  // yaw 1.57 is a hair short of a quarter turn, hence the x tolerance.
  Float3 origin = projected(transformPoint({0.0f, 0.0f, 0.0f}, viewMatrix(camera)));
  EXPECT_NEAR(origin.z, -80.0f, 1e-3f);
  EXPECT_NEAR(origin.x, 0.0f, 0.1f);
  EXPECT_NEAR(origin.y, 0.0f, 1e-4f);
}

TEST(Camera, UpdateWithoutFreeFlightOnlyRecomputesDirectionAndFollowsTheMouse) {
  Camera camera = startupCamera();
  camera.pitch = 0.3f;
  InputState input = noInput();
  input.keyDown['W'] = 1;  // keys and buttons drive nothing here
  input.buttonDown[buttonIndex(MouseButton::Left)] = input.buttonPressed[buttonIndex(MouseButton::Left)] = 1;
  updateCamera(camera, false, input, {120.0f, 45.0f});
  expectNear(camera.position, {0.0f, 0.0f, -80.0f}, 0.0f);
  EXPECT_EQ(camera.yaw, 1.57f);
  EXPECT_EQ(camera.pitch, 0.3f);
  expectNear(camera.direction,
             {std::cos(1.57f) * std::cos(0.3f), std::sin(0.3f), std::sin(1.57f) * std::cos(0.3f)}, 1e-6f);
  EXPECT_EQ(camera.mouse.x, 120.0f);
  EXPECT_EQ(camera.previousMouse.y, 45.0f);
}

TEST(Camera, RollTurnsTheViewAboutItsAxis) {
  Camera camera = startupCamera();
  updateCamera(camera, false, noInput(), {0.0f, 0.0f});
  Float4 level = transformPoint({0.0f, 1.0f, 0.0f}, viewMatrix(camera));
  camera.roll = kPi / 2.0f;
  Float4 rolled = transformPoint({0.0f, 1.0f, 0.0f}, viewMatrix(camera));
  // A quarter roll sends view-space +y to -x; depth is untouched.
  expectNear(Float3{rolled.x, rolled.y, rolled.z}, Float3{-level.y, level.x, level.z}, 1e-4f);
}

TEST(Camera, ConstantsProjectAndTheTransposedInverseUnprojectsBack) {
  Camera camera = startupCamera();
  camera.position = {4.0f, -3.0f, -60.0f};
  camera.pitch = 0.2f;
  camera.roll = 0.1f;
  updateCamera(camera, false, noInput(), {0.0f, 0.0f});
  CameraConstants c = computeCameraConstants(camera);
  expectNear(c.viewProjMtx, multiply(c.viewMtx, camera.projection), 0.0f);
  // The shaders apply invViewProjMtx from the other side, which undoes the transpose.
  Float3 world = {1.0f, 2.0f, -20.0f};
  Float3 ndc = projected(transformPoint(world, c.viewProjMtx));
  Float4x4 inverse = c.invViewProjMtx;
  transpose(inverse);
  expectNear(projected(transformPoint(ndc, inverse)), world, 1e-3f);
}

TEST(Camera, SceneConstantsGetTheCameraFieldsAndKeepThemAsPrevious) {
  Camera camera = startupCamera();
  updateCamera(camera, false, noInput(), {0.0f, 0.0f});
  CameraConstants expected = computeCameraConstants(camera);
  ConstantBufferData constants = {};
  constants.resolution = {960.0f, 540.0f, 1.0f};
  writeCameraConstants(camera, constants);
  EXPECT_EQ(memcmp(&constants.viewProjMtx, &expected.viewProjMtx, sizeof(Float4x4)), 0);
  EXPECT_EQ(memcmp(&constants.invViewProjMtx, &expected.invViewProjMtx, sizeof(Float4x4)), 0);
  EXPECT_EQ(constants.cameraPos.z, -80.0f);
  EXPECT_EQ(constants.resolution.x, 960.0f);  // neighbours untouched
  keepCameraConstantsAsPrevious(constants);
  EXPECT_EQ(memcmp(&constants.prevViewProjMtx, &expected.viewProjMtx, sizeof(Float4x4)), 0);
  EXPECT_EQ(constants.prevCameraPos.z, -80.0f);
}

TEST(FreeFlight, KeysAccelerateAlongHeadingSideAndUpAndVelocityDecays) {
  Camera camera = startupCamera();  // heading ~ +z
  InputState input = noInput();
  input.keyDown['W'] = 1;
  updateCamera(camera, true, input, {0.0f, 0.0f});
  expectNear(camera.velocity, {0.0f, 0.0f, kStep}, 1e-3f);
  EXPECT_NEAR(camera.position.z, -80.0f + kStep * 0.016666668f, 1e-5f);
  input.keyDown['W'] = 0;
  float z = camera.position.z;
  updateCamera(camera, true, input, {0.0f, 0.0f});
  EXPECT_NEAR(camera.velocity.z, kStep * 0.97f, 1e-4f);
  EXPECT_GT(camera.position.z, z);  // coasting

  // Of each opposing pair the first (W, D, Q) wins; alone, the others reverse.
  Camera both = startupCamera(), back = startupCamera();
  both.yaw = back.yaw = 0.0f;  // heading +x, side +z
  InputState all = noInput(), reverse = noInput();
  for (char k : {'W', 'S', 'D', 'A', 'Q', 'E'}) all.keyDown[uint8_t(k)] = 1;
  for (char k : {'S', 'A', 'E'}) reverse.keyDown[uint8_t(k)] = 1;
  updateCamera(both, true, all, {0.0f, 0.0f});
  updateCamera(back, true, reverse, {0.0f, 0.0f});
  expectNear(both.velocity, {kStep, kStep, kStep}, 1e-5f);
  expectNear(back.velocity, {-kStep, -kStep, -kStep}, 1e-5f);
}

TEST(FreeFlight, DraggingWithTheLeftButtonTurnsTheCameraFromWhereThePressBegan) {
  Camera camera = startupCamera();
  InputState input = noInput();
  // The mouse wandered while the button was up; the press itself must not turn.
  input.buttonPressed[buttonIndex(MouseButton::Left)] = input.buttonDown[buttonIndex(MouseButton::Left)] = 1;
  updateCamera(camera, true, input, {500.0f, 300.0f});
  EXPECT_EQ(camera.yaw, 1.57f);
  EXPECT_EQ(camera.pitch, 0.0f);

  clearPressedInput(input);  // held, moved by (+10, -20): 0.1 degree per pixel
  updateCamera(camera, true, input, {510.0f, 280.0f});
  EXPECT_NEAR(camera.yaw, 1.57f + 10.0f * 0.1f * kPi / 180.0f, 1e-6f);
  EXPECT_NEAR(camera.pitch, -20.0f * 0.1f * kPi / 180.0f, 1e-6f);

  input.buttonDown[buttonIndex(MouseButton::Left)] = 0;  // released: the mouse no longer turns it
  float yaw = camera.yaw;
  updateCamera(camera, true, input, {900.0f, 280.0f});
  EXPECT_EQ(camera.yaw, yaw);
}
