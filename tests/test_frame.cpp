// The frame sequence: the 85-per-second tick gate on a scripted clock, the aim, and whole
// frames on an offscreen context (FPS line, carried blending, night-vision colour, swap).
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <vector>

#include "app/frame.h"
#include "app/game.h"
#include "core/game_state.h"
#include "render/text.h"
#include "support/fake_platform.h"
#include "support/gl_context.h"

namespace {

// Runs `frames` frames of `frameMs` each from time 0 and returns the frame numbers
// (1-based) on which a tick ran.
std::vector<int> TickFrames(uint32_t frameMs, int frames) {
  gGame.lastTickTime = 0;
  std::vector<int> ticks;
  for (int i = 1; i <= frames; ++i)
    if (GameTickDue(frameMs * i)) ticks.push_back(i);
  return ticks;
}

TEST(TickGate, TicksNeverCatchUp) {
  ResetGameState();
  // 5 ms frames: every third frame, 15 ms apart (about 67 ticks a second, not 85).
  EXPECT_EQ(TickFrames(5, 12), (std::vector<int>{3, 6, 9, 12}));
  EXPECT_EQ(TickFrames(5, 200).size(), 66u);
  // 30 ms frames: one tick on every frame, about 33 a second.
  EXPECT_EQ(TickFrames(30, 5), (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(TickFrames(30, 200).size(), 200u);

  // A long stall gives one tick, and the gate restarts from it.
  gGame.lastTickTime = 0;
  EXPECT_TRUE(GameTickDue(1000));
  EXPECT_FALSE(GameTickDue(1005));
  EXPECT_FALSE(GameTickDue(1011));
  EXPECT_TRUE(GameTickDue(1012));
  EXPECT_EQ(gGame.lastTickTime, 1012u);

  // The interval is 11.7647 ms: 11 ms is too early, 12 ms is due.
  gGame.lastTickTime = 500;
  EXPECT_FALSE(GameTickDue(511));
  EXPECT_EQ(gGame.lastTickTime, 500u);
  EXPECT_TRUE(GameTickDue(512));

  // Across the wrap of the 32-bit millisecond clock.
  gGame.lastTickTime = 0xFFFFFFF8u;
  EXPECT_FALSE(GameTickDue(2));  // 10 ms later
  EXPECT_TRUE(GameTickDue(4));   // 12 ms later
}

TEST(Aim, FollowsTheCameraAndSurvivesAZeroView) {
  ResetGameState();
  gGame.camera.position = Vec3(10, 20, 30);
  gGame.camera.view = Vec3(13, 20, 34);
  UpdateAim();
  EXPECT_FLOAT_EQ(gGame.aimDirection.x, 0.6f);
  EXPECT_FLOAT_EQ(gGame.aimDirection.y, 0.0f);
  EXPECT_FLOAT_EQ(gGame.aimDirection.z, 0.8f);
  EXPECT_FLOAT_EQ(gGame.shotOrigin.x, 10.3f);
  EXPECT_FLOAT_EQ(gGame.shotOrigin.y, 15.0f);
  EXPECT_FLOAT_EQ(gGame.shotOrigin.z, 30.4f);

  gGame.camera.view = gGame.camera.position;
  UpdateAim();
  EXPECT_EQ(gGame.aimDirection, Vec3(0, 0, 0));
  EXPECT_EQ(gGame.shotOrigin, Vec3(10, 15, 30));
}

// Whole frames on an offscreen context with no level loaded.
class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ctx.ok()) return;
    ResetGameStateKeepingGL();
    gGame.fontListBase = CreateBitmapFont("Arial", 25);
    gGame.camera.PositionCamera(0, 0, 0, 0, 0, -1, 0, 1, 0);
    glClearColor(0, 0, 0, 1);
  }
  int LitPixels() {
    std::vector<uint8_t> pixels = ctx.ReadPixels();
    int lit = 0;
    for (size_t i = 0; i < pixels.size(); i += 4) lit += (pixels[i] | pixels[i + 1] | pixels[i + 2]) != 0;
    return lit;
  }
  GLTestContext ctx;
  FakePlatform fake;
};

TEST_F(FrameTest, DrawsTheFpsLineTicksAndSwaps) {
  REQUIRE_GL(ctx);
  gGame.hudOn = false;
  gGame.camera.frameRate = 77;
  fake.now = 20;
  RenderFrame();
  EXPECT_EQ(fake.swaps, 1);
  EXPECT_EQ(gGame.lastTickTime, 20u);  // a tick was due
  EXPECT_GT(LitPixels(), 50);          // the FPS line, even with the info text off
  // The text sits at the top left: nothing lit below it.
  std::vector<uint8_t> pixels = ctx.ReadPixels();
  for (int y = 0; y < 700; ++y)
    for (int x = 0; x < 1024; ++x) ASSERT_EQ(pixels[(y * 1024 + x) * 4], 0) << x << "," << y;
  EXPECT_EQ(gGame.aimDirection, Vec3(0, 0, -1));
  EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));

  fake.now = 25;
  RenderFrame();
  EXPECT_EQ(fake.swaps, 2);
  EXPECT_EQ(gGame.lastTickTime, 20u);  // 5 ms later: no tick
}

TEST_F(FrameTest, PhysicsRunsOnlyWithCollisionOn) {
  REQUIRE_GL(ctx);
  gFrameCounter.frameInterval = 0.1f;  // gravity pulls for a tenth of a second
  gGame.collisionOn = false;
  RenderFrame();
  EXPECT_FLOAT_EQ(gGame.camera.position.y, 0.0f);  // flying freely: no gravity
  gGame.collisionOn = true;
  RenderFrame();
  EXPECT_LT(gGame.camera.position.y, 0.0f);  // nothing below: the player falls
}

TEST_F(FrameTest, AdditiveBlendingCarriesOverOnlyWithoutTheHud) {
  REQUIRE_GL(ctx);
  gGame.additiveBlendOn = true;
  gGame.hudOn = false;
  RenderFrame();
  GLint source = 0, destination = 0;
  glGetIntegerv(GL_BLEND_SRC, &source);
  glGetIntegerv(GL_BLEND_DST, &destination);
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  EXPECT_EQ(source, GL_ONE);
  EXPECT_EQ(destination, GL_ONE);

  gGame.hudOn = true;
  RenderFrame();
  EXPECT_FALSE(glIsEnabled(GL_BLEND));  // the overlay switches it off after itself
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
}

TEST_F(FrameTest, NightVisionLeavesTheGreenColour) {
  REQUIRE_GL(ctx);
  float colour[4];
  for (bool hud : {false, true}) {
    gGame.hudOn = hud;
    gGame.nightVision = true;
    RenderFrame();
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 0.0f) << hud;
    EXPECT_FLOAT_EQ(colour[1], 1.0f) << hud;
    EXPECT_FLOAT_EQ(colour[2], 0.0f) << hud;
    gGame.nightVision = false;
    RenderFrame();
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 1.0f) << hud;
    EXPECT_FLOAT_EQ(colour[2], 1.0f) << hud;
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
