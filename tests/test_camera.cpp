// The camera: rotation, walking, strafing, lifting, mouse look with its vertical limit and
// the re-centring of the cursor within the game window.
#include <gtest/gtest.h>

#include "core/camera.h"
#include "core/game_state.h"
#include "support/fake_platform.h"

namespace {

constexpr float Eps = 1e-4f;

void ExpectNear(Vec3 a, Vec3 b, float eps = Eps) {
  EXPECT_NEAR(a.x, b.x, eps);
  EXPECT_NEAR(a.y, b.y, eps);
  EXPECT_NEAR(a.z, b.z, eps);
}

class CameraTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetGameState();
    // Eye at (100, 50, 100) looking along -z (10 units), y up.
    camera.PositionCamera(100, 50, 100, 100, 50, 90, 0, 1, 0);
    camera.strafe = Normalize(Cross(camera.view - camera.position, camera.up));
  }
  // One keyboard step of the given frame time with these keys held.
  void Keys(std::initializer_list<int> keys, float seconds) {
    fake.held = std::set<int>(keys);
    gFrameCounter.frameInterval = seconds;
    camera.CheckKeyboard();
  }
  FakePlatform fake;
  Camera camera;
};

TEST_F(CameraTest, RotateViewTurnsAboutTheEyeKeepingLength) {
  camera.RotateView(static_cast<float>(M_PI / 2), 0, 1, 0);  // a quarter turn left
  ExpectNear(camera.view - camera.position, Vec3(-10, 0, 0));
  EXPECT_EQ(camera.position, Vec3(100, 50, 100));

  camera.RotateView(0.3f, 0, 0, 1);  // about z: tilts the x direction upwards
  EXPECT_NEAR(Magnitude(camera.view - camera.position), 10.0f, Eps);
  ExpectNear(camera.view - camera.position, Vec3(-10 * std::cos(0.3f), -10 * std::sin(0.3f), 0));

  // An arbitrary unit axis keeps the length too.
  Vec3 axis = Normalize(Vec3(1, 2, 3));
  camera.RotateView(1.1f, axis.x, axis.y, axis.z);
  EXPECT_NEAR(Magnitude(camera.view - camera.position), 10.0f, Eps);
}

TEST_F(CameraTest, WalkStrafeAndLiftAtFrameTimeSpeed) {
  Keys({platform::KeyUp}, 0.5f);  // 128 units forward (-z)
  ExpectNear(camera.position, Vec3(100, 50, -28));
  ExpectNear(camera.view, Vec3(100, 50, -38));
  EXPECT_EQ(camera.moveStartPosition, Vec3(100, 50, 100));
  EXPECT_EQ(camera.moveStartView, Vec3(100, 50, 90));

  Keys({platform::KeyRight}, 0.25f);  // 64 units right (+x)
  ExpectNear(camera.position, Vec3(164, 50, -28));
  Keys({platform::KeyA}, 0.25f);
  ExpectNear(camera.position, Vec3(100, 50, -28));

  Keys({platform::KeyHome}, 0.125f);  // 32 up, view along
  ExpectNear(camera.position, Vec3(100, 82, -28));
  ExpectNear(camera.view, Vec3(100, 82, -38));
  Keys({platform::KeyEnd}, 0.125f);
  ExpectNear(camera.position, Vec3(100, 50, -28));

  // Twins add up, opposites cancel.
  Keys({platform::KeyUp, platform::KeyW}, 0.5f);
  ExpectNear(camera.position, Vec3(100, 50, -284));
  Keys({platform::KeyUp, platform::KeyDown}, 0.5f);
  ExpectNear(camera.position, Vec3(100, 50, -284));
  Keys({platform::KeyD, platform::KeyLeft, platform::KeyS, platform::KeyW}, 0.5f);
  ExpectNear(camera.position, Vec3(100, 50, -284));

  // Walking while looking steeply down hardly moves horizontally, never vertically.
  camera.PositionCamera(0, 0, 0, 0, -10, -0.1f, 0, 1, 0);
  Keys({platform::KeyW}, 1.0f);
  EXPECT_EQ(camera.position.y, 0.0f);
  EXPECT_LT(std::fabs(camera.position.z), 3.0f);
}

TEST_F(CameraTest, MoveToKeepsTheViewOffsetAndGravityLowers) {
  Keys({platform::KeyW}, 0.5f);
  camera.MoveTo(100, 60, 40);
  EXPECT_EQ(camera.position, Vec3(100, 60, 40));
  // The view keeps the offset it had before the move: (0, 0, -10).
  ExpectNear(camera.view, Vec3(100, 60, 30));

  gFrameCounter.frameInterval = 0.5f;
  camera.ApplyGravity();
  EXPECT_EQ(camera.moveStartPosition, Vec3(100, 60, 40));
  ExpectNear(camera.position, Vec3(100, -68, 40));
  ExpectNear(camera.view, Vec3(100, -68, 30));
}

TEST_F(CameraTest, MouseLookTurnsStopsAtTheVerticalLimitAndInverts) {
  // Mouse 50 px left of the centre: turn left by 0.1 rad, cursor back to the centre.
  fake.mouseX = 512 - 50;
  fake.mouseY = 384;
  camera.SetViewByMouse();
  EXPECT_EQ(fake.mouseX, 512);
  EXPECT_EQ(fake.mouseY, 384);
  Vec3 d = camera.view - camera.position;
  EXPECT_NEAR(std::atan2(-d.x, -d.z), 0.1f, Eps);

  // At the centre nothing happens, not even a warp.
  const int warps = fake.mouseWarps;
  const Vec3 before = camera.view;
  camera.SetViewByMouse();
  EXPECT_EQ(fake.mouseWarps, warps);
  EXPECT_EQ(camera.view, before);

  // Mouse up looks up.
  fake.mouseY = 384 - 100;
  camera.SetViewByMouse();
  d = camera.view - camera.position;
  EXPECT_GT(d.y, 0.0f);
  EXPECT_NEAR(mouseLook.verticalAngle, -0.2f, Eps);

  // Past the limit the whole move is dropped, the horizontal part too.
  const Vec3 atLimit = camera.view;
  fake.mouseX = 512 + 200;
  fake.mouseY = 384 - 450;  // 0.9 rad more up
  camera.SetViewByMouse();
  EXPECT_EQ(camera.view, atLimit);
  EXPECT_EQ(mouseLook.verticalAngle, -1.0f);
  EXPECT_EQ(fake.mouseX, 512);  // re-centred all the same

  // Moving back down turns again.
  fake.mouseY = 384 + 50;
  camera.SetViewByMouse();
  EXPECT_NE(camera.view, atLimit);
  EXPECT_NEAR(mouseLook.verticalAngle, -0.9f, Eps);
  EXPECT_NEAR(Magnitude(camera.view - camera.position), 10.0f, 1e-3f);

  // Inverted, moving the mouse up looks down.
  camera.PositionCamera(100, 50, 100, 100, 50, 90, 0, 1, 0);
  mouseLook.verticalAngle = 0;
  camera.SetInvertMouse(true);
  fake.mouseY = 384 - 100;
  camera.SetViewByMouse();
  EXPECT_LT((camera.view - camera.position).y, 0.0f);
  EXPECT_NEAR(mouseLook.verticalAngle, 0.2f, Eps);
}

TEST_F(CameraTest, CursorIsRecentredWithinTheWindow) {
  // A smaller window: its centre, not (512, 384), is the rest point.
  fake.clientWidth = 800;
  fake.clientHeight = 600;
  fake.mouseX = 400;
  fake.mouseY = 300;
  const Vec3 before = camera.view;
  camera.SetViewByMouse();
  EXPECT_EQ(fake.mouseWarps, 0);
  EXPECT_EQ(camera.view, before);

  fake.mouseX = 512;
  fake.mouseY = 384;  // the old fixed centre is a move here
  camera.SetViewByMouse();
  EXPECT_EQ(fake.mouseX, 400);
  EXPECT_EQ(fake.mouseY, 300);
  EXPECT_NE(camera.view, before);
}

TEST_F(CameraTest, UpdateCameraRunsCounterMouseAndKeys) {
  fake.now = 250;
  fake.held = {platform::KeyW};
  fake.mouseX = 512;
  fake.mouseY = 384;
  camera.UpdateCamera();
  EXPECT_EQ(camera.frameRate, 1);
  ExpectNear(camera.strafe, Vec3(1, 0, 0));
  // 0.25 s since the clock's zero: 64 units.
  ExpectNear(camera.position, Vec3(100, 50, 36));
}

}  // namespace
