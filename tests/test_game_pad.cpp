// Game pads: SDL's virtual game controller plugged into the real SDL backend moves and turns
// the player, fires and changes weapon, and comes and goes while the game runs; the sticks'
// look follows the inverted-look switch and the vertical limit; the buttons do what their
// keys do.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/game.h"
#include "combat/shots.h"
#include "core/camera.h"
#include "core/game_state.h"
#include "player/pad_control.h"
#include "support/fake_platform.h"
#include "support/gl_context.h"

namespace {

using platform::PadButton;

// Hands every waiting event to the window procedure; returns how many pad presses came.
int DispatchEvents() {
  int presses = 0;
  platform::Event event;
  while (platform::Current().PollEvent(&event)) {
    if (event.type == platform::Event::PadDown) ++presses;
    HandleEvent(event);
  }
  return presses;
}

int PlayerShots() {
  int live = 0;
  for (const Shot& shot : gGame.shots) live += shot.active && shot.owner == PlayerOwner;
  return live;
}

// A virtual pad with every standard button and axis, in SDL's own order.
int AttachPad() {
  SDL_VirtualJoystickDesc desc = {};
  desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
  desc.naxes = SDL_CONTROLLER_AXIS_MAX;
  desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
  desc.axis_mask = (1u << SDL_CONTROLLER_AXIS_MAX) - 1;
  desc.button_mask = (1u << SDL_CONTROLLER_BUTTON_MAX) - 1;
  desc.name = "Test pad";
  return SDL_JoystickAttachVirtualEx(&desc);
}

TEST(GamePad, AVirtualPadMovesTurnsFiresAndComesAndGoes) {
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");  // the offscreen window has no focus
  ResetGameState();
  platform::Install(nullptr);  // the real SDL backend
  platform::Backend& p = platform::Current();
  platform::WindowOptions options;
  options.width = 64;
  options.height = 48;
  options.fullScreen = false;
  if (p.CreateGameWindow(options) != platform::WindowResult::Ok) {
    if (GLMayBeMissing()) GTEST_SKIP() << "no offscreen video in this run";
    FAIL() << "no offscreen window: " << SDL_GetError();
  }

  testing::internal::CaptureStdout();
  int device = AttachPad();
  ASSERT_GE(device, 0) << SDL_GetError();
  DispatchEvents();
  SDL_Joystick* joystick = SDL_JoystickOpen(device);
  ASSERT_NE(joystick, nullptr) << SDL_GetError();
  // Left stick pushed fully away, right stick fully right, triggers released.
  SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_LEFTY, -32768);
  SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_RIGHTX, 32767);
  SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_TRIGGERLEFT, -32768);
  SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, -32768);
  EXPECT_EQ(DispatchEvents(), 0);
  const platform::PadSticks sticks = p.GetPadSticks();
  EXPECT_FLOAT_EQ(sticks.leftY, -1.0f);
  EXPECT_FLOAT_EQ(sticks.rightX, 1.0f);
  EXPECT_EQ(sticks.leftX, 0.0f);
  EXPECT_EQ(sticks.rightY, 0.0f);

  // Half a second: 128 units forward along -z, and a turn to the right.
  Camera& camera = gGame.camera;
  camera.PositionCamera(0, 0, 0, 0, 0, -10, 0, 1, 0);
  camera.strafe = Normalize(Cross(camera.view - camera.position, camera.up));
  MoveByPad(camera, sticks, 0.5f);
  EXPECT_NEAR(camera.position.z, -128.0f, 1e-3f);
  const Vec3 look = Normalize(camera.view - camera.position);
  EXPECT_NEAR(std::atan2(look.x, -look.z), 0.5f * PadTurnRate, 1e-3f);

  // The right trigger fires once per pull; a shoulder button changes weapon.
  gGame.shotOrigin = camera.position;
  gGame.aimDirection = look;
  SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 32767);
  EXPECT_EQ(DispatchEvents(), 1);
  SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 30000);  // still held
  EXPECT_EQ(DispatchEvents(), 0);
  EXPECT_EQ(PlayerShots(), 1);
  SDL_JoystickSetVirtualButton(joystick, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, 1);
  EXPECT_EQ(DispatchEvents(), 1);
  EXPECT_EQ(gGame.currentWeapon, WeaponLauncher);

  // Unplugged while held, the pad stops moving the player; plugged in again, it is taken up.
  SDL_JoystickClose(joystick);
  ASSERT_EQ(SDL_JoystickDetachVirtual(device), 0);
  DispatchEvents();
  EXPECT_EQ(p.GetPadSticks().leftY, 0.0f);
  device = AttachPad();
  ASSERT_GE(device, 0);
  DispatchEvents();
  joystick = SDL_JoystickOpen(device);
  SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_LEFTX, -32768);
  DispatchEvents();
  EXPECT_FLOAT_EQ(p.GetPadSticks().leftX, -1.0f);
  SDL_JoystickClose(joystick);
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(printed,
            "Game pad connected: Test pad\nGame pad disconnected: Test pad\nGame pad connected: Test pad\n");
  p.DestroyWindow();
}

TEST(GamePad, SticksLookWithTheInvertSwitchAndKeepTurningAtTheLimit) {
  FakePlatform fake;
  ResetGameState();
  Camera camera;
  const auto start = [&camera] {
    camera.PositionCamera(0, 0, 0, 0, 0, -10, 0, 1, 0);
    camera.strafe = Normalize(Cross(camera.view - camera.position, camera.up));
    mouseLook.verticalAngle = 0;
  };
  platform::PadSticks up;
  up.rightY = -1;  // pushed away
  start();
  MoveByPad(camera, up, 0.25f);
  EXPECT_GT(camera.view.y, 0) << "pushing the right stick away looks up";
  camera.SetInvertMouse(true);
  start();
  MoveByPad(camera, up, 0.25f);
  EXPECT_LT(camera.view.y, 0) << "inverted, it looks down";
  camera.SetInvertMouse(false);

  // Held up and to the side for long: the pitch stops at the limit, the turn goes on.
  platform::PadSticks upRight = up;
  upRight.rightX = 1;
  start();
  for (int i = 0; i < 40; ++i) MoveByPad(camera, upRight, 0.05f);
  EXPECT_FLOAT_EQ(mouseLook.verticalAngle, -1.0f);
  const Vec3 look = Normalize(camera.view - camera.position);
  EXPECT_NEAR(std::asin(look.y), 1.0f, 1e-3f);
  EXPECT_NEAR(std::atan2(look.x, -look.z), std::remainder(2.0f * PadTurnRate, 2 * M_PI), 1e-2f);

  // The left stick half to the right for a second: half the keys' speed.
  start();
  platform::PadSticks right;
  right.leftX = 0.5f;
  MoveByPad(camera, right, 1.0f);
  EXPECT_NEAR(camera.position.x, 0.5f * CameraSpeed, 1e-3f);
}

TEST(GamePad, ButtonsDoWhatTheirKeysDo) {
  FakePlatform fake;
  ResetGameState();
  const auto press = [](PadButton button) {
    platform::Event event;
    event.type = platform::Event::PadDown;
    event.padButton = button;
    HandleEvent(event);
  };
  struct {
    PadButton button;
    bool* flag;
  } toggles[] = {
      {PadButton::A, &gGame.nightVision},   {PadButton::B, &gGame.fogOn},
      {PadButton::X, &gGame.hudOn},         {PadButton::Y, &gGame.slowMotion},
      {PadButton::Start, &gGame.botsRun},   {PadButton::DpadLeft, &gGame.infoTextOn},
      {PadButton::DpadRight, &gGame.waypointGraphOn},
  };
  for (const auto& t : toggles) {
    const bool before = *t.flag;
    press(t.button);
    EXPECT_NE(*t.flag, before) << static_cast<int>(t.button);
  }
  const float density = gGame.fogDensity;
  press(PadButton::DpadUp);
  EXPECT_GT(gGame.fogDensity, density);
  press(PadButton::DpadDown);
  EXPECT_FLOAT_EQ(gGame.fogDensity, density);
  press(PadButton::LeftTrigger);
  EXPECT_TRUE(gGame.jumping);
  EXPECT_EQ(gGame.currentWeapon, WeaponRifle);
  press(PadButton::LeftShoulder);
  EXPECT_EQ(gGame.currentWeapon, WeaponLauncher);
  press(PadButton::LeftShoulder);
  EXPECT_EQ(gGame.currentWeapon, WeaponRifle);
  press(PadButton::RightTrigger);
  EXPECT_EQ(PlayerShots(), 1);
}

}  // namespace
