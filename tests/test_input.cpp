// The window procedure, the main loop and the frame-rate counter, driven through the fake
// platform; the GL state they change is read back from an offscreen context.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "app/game.h"
#include "core/game_state.h"
#include "player/frame_counter.h"
#include "support/fake_platform.h"
#include "support/gl_context.h"

namespace {

class InputTest : public ::testing::Test {
 protected:
  // The input logic is checked without a context too; its GL part only where there is one,
  // and a missing context fails the test unless the run says there is no OpenGL.
  void SetUp() override {
    ResetGameStateKeepingGL();
    if (gl.ok())
      InitializeGL(1024, 768);
    else if (!GLMayBeMissing())
      ADD_FAILURE() << "no offscreen OpenGL context (set KORVALIS_NO_GL=1 where there is none)";
  }
  static void Key(int vk) {
    platform::Event e;
    e.type = platform::Event::KeyDown;
    e.key = vk;
    HandleEvent(e);
  }
  static void Click(platform::MouseButton button) {
    platform::Event e;
    e.type = platform::Event::MouseDown;
    e.button = button;
    HandleEvent(e);
  }
  static void Resize(int width, int height) {
    platform::Event e;
    e.type = platform::Event::Resized;
    e.width = width;
    e.height = height;
    HandleEvent(e);
  }
  static float GLFogDensity() {
    float d = -1;
    glGetFloatv(GL_FOG_DENSITY, &d);
    return d;
  }
  static void Viewport(int v[4]) { glGetIntegerv(GL_VIEWPORT, v); }

  FakePlatform fake;
  GLTestContext gl;
};

TEST_F(InputTest, FogDensityKeysClampTheStoredValue) {
  float highest = 0;
  for (int i = 0; i < 2000; ++i) {
    Key(platform::KeyAdd);
    highest = std::max(highest, gGame.fogDensity);
  }
  EXPECT_EQ(gGame.fogDensity, 1.0f);
  EXPECT_LE(highest, 1.0f);

  ResetGameState();
  Key(platform::KeyAdd);
  if (gl.ok()) {
    EXPECT_FLOAT_EQ(GLFogDensity(), 0.0025f);
  }
  Key(platform::KeySubtract);
  for (int i = 0; i < 5; ++i) Key(platform::KeySubtract);
  EXPECT_EQ(gGame.fogDensity, 0.0f);
  if (gl.ok()) {
    // GL refused the negative density and kept a valid one.
    EXPECT_GE(GLFogDensity(), 0.0f);
    EXPECT_LT(GLFogDensity(), 0.001f);
    while (glGetError() != GL_NO_ERROR) {
    }
  }
}

TEST_F(InputTest, NightVisionRemembersFogAndLightmaps) {
  // Both on: night vision switches both off and back on.
  Key(platform::KeyN);
  EXPECT_TRUE(gGame.nightVision);
  EXPECT_FALSE(gGame.fogOn);
  EXPECT_FALSE(gGame.lightmapsOn);
  EXPECT_TRUE(gGame.fogBeforeNightVision);
  EXPECT_TRUE(gGame.lightmapsBeforeNightVision);
  if (gl.ok()) {
    EXPECT_FALSE(glIsEnabled(GL_FOG));
  }
  Key(platform::KeyN);
  EXPECT_FALSE(gGame.nightVision);
  EXPECT_TRUE(gGame.fogOn);
  EXPECT_TRUE(gGame.lightmapsOn);
  if (gl.ok()) {
    EXPECT_TRUE(glIsEnabled(GL_FOG));
  }

  // Both off: they stay off afterwards.
  Key(platform::KeyF);
  Key(platform::KeyF6);
  Key(platform::KeyN);
  EXPECT_FALSE(gGame.fogBeforeNightVision);
  EXPECT_FALSE(gGame.lightmapsBeforeNightVision);
  Key(platform::KeyN);
  EXPECT_FALSE(gGame.fogOn);
  EXPECT_FALSE(gGame.lightmapsOn);
  if (gl.ok()) {
    EXPECT_FALSE(glIsEnabled(GL_FOG));
  }

  // F during night vision changes fog directly; leaving night vision brings back what was
  // on when it started.
  ResetGameState();
  Key(platform::KeyN);
  Key(platform::KeyF);
  EXPECT_TRUE(gGame.fogOn);
  Key(platform::KeyF);
  EXPECT_FALSE(gGame.fogOn);
  Key(platform::KeyN);
  EXPECT_TRUE(gGame.fogOn);
  EXPECT_TRUE(gGame.fogBeforeNightVision);  // remembered flags are left as they are
}

// Every switch starts as documented, and its key flips it and flips it back.
TEST_F(InputTest, EverySwitchStartsAsDocumentedAndItsKeyFlipsIt) {
  struct Case {
    int key;
    bool* flag;
    bool startsOn;
  } cases[] = {
      {platform::KeyReturn, &gGame.hudOn, true},       {platform::KeyInsert, &gGame.botsRun, true},
      {platform::KeyF, &gGame.fogOn, true},            {platform::KeyF2, &gGame.filledPolygons, true},
      {platform::KeyF3, &gGame.additiveBlendOn, false}, {platform::KeyF4, &gGame.infoTextOn, false},
      {platform::KeyF5, &gGame.waypointGraphOn, false}, {platform::KeyF6, &gGame.lightmapsOn, true},
      {platform::KeyF7, &gGame.gravityOn, true},       {platform::KeyF11, &gGame.slowMotion, false},
      {platform::KeyF12, &gGame.invertMouse, false},
  };
  // The start values without a key of their own.
  EXPECT_TRUE(gGame.fullScreen && gGame.collisionOn && gGame.texturesOn);
  EXPECT_FALSE(gGame.nightVision || gGame.fogBeforeNightVision || gGame.lightmapsBeforeNightVision ||
               gGame.jumping);
  EXPECT_EQ(gGame.currentWeapon, 11);
  EXPECT_FLOAT_EQ(gGame.fogDensity, 0.002f);
  EXPECT_FLOAT_EQ(gGame.lightmapBrightness, 10.0f);
  EXPECT_EQ(gGame.jumpOffset, 0.0f);
  EXPECT_EQ(gGame.playerBoxExtents, Vec3(17, 50, 17));
  for (const Case& c : cases) {
    EXPECT_EQ(*c.flag, c.startsOn) << "key " << c.key;
    const bool before = *c.flag;
    Key(c.key);
    EXPECT_NE(*c.flag, before) << "key " << c.key;
    Key(c.key);
    EXPECT_EQ(*c.flag, before) << "key " << c.key;
  }
  Click(platform::MouseButton::Middle);
  EXPECT_FALSE(gGame.collisionOn);
  Click(platform::MouseButton::Middle);
  EXPECT_TRUE(gGame.collisionOn);

  // F12 reaches the camera's mouse look.
  Key(platform::KeyF12);
  EXPECT_TRUE(mouseLook.invertMouse);

  // Keys outside the table change nothing.
  ResetGameState();
  for (int vk : {int{platform::KeyF1}, int{'Q'}, 32, int{platform::KeyW}, int{platform::KeyUp}}) Key(vk);
  for (const Case& c : cases) EXPECT_EQ(*c.flag, c.startsOn) << "key " << c.key;
  EXPECT_FALSE(gGame.nightVision);
  EXPECT_EQ(fake.quitRequests, 0);
}

TEST_F(InputTest, ToggleKeysSetTheirGLState) {
  REQUIRE_GL(gl);
  Key(platform::KeyF);
  EXPECT_FALSE(glIsEnabled(GL_FOG));
  Key(platform::KeyF);
  EXPECT_TRUE(glIsEnabled(GL_FOG));

  GLint modes[2];
  Key(platform::KeyF2);
  glGetIntegerv(GL_POLYGON_MODE, modes);
  EXPECT_EQ(modes[0], GL_LINE);
  EXPECT_EQ(modes[1], GL_LINE);
  Key(platform::KeyF2);
  glGetIntegerv(GL_POLYGON_MODE, modes);
  EXPECT_EQ(modes[0], GL_FILL);

  Key(platform::KeyF3);
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  GLint src = 0, dst = 0;
  glGetIntegerv(GL_BLEND_SRC, &src);
  glGetIntegerv(GL_BLEND_DST, &dst);
  EXPECT_EQ(src, GL_ONE);
  EXPECT_EQ(dst, GL_ONE);
  Key(platform::KeyF3);
  EXPECT_FALSE(glIsEnabled(GL_BLEND));

  // Lightmaps off: texture unit 1 loses 2D texturing and stays selected.
  gGame.multitexture.activeTexture(0x84C1);
  glEnable(GL_TEXTURE_2D);
  gGame.multitexture.activeTexture(0x84C0);
  Key(platform::KeyF6);
  GLint active = 0;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  EXPECT_EQ(active, 0x84C1);
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  gGame.multitexture.activeTexture(0x84C0);
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));

  // Without the entry point F6 only flips the switch.
  gGame.multitexture.activeTexture = nullptr;
  Key(platform::KeyF6);
  Key(platform::KeyF6);
  EXPECT_FALSE(gGame.lightmapsOn);
}

TEST_F(InputTest, WeaponKeysJumpAndQuit) {
  Key(platform::Key2);
  EXPECT_EQ(gGame.currentWeapon, 13);
  Key(platform::Key2);
  EXPECT_EQ(gGame.currentWeapon, 13);
  Key(platform::Key1);
  EXPECT_EQ(gGame.currentWeapon, 11);

  Click(platform::MouseButton::Right);
  EXPECT_TRUE(gGame.jumping);
  EXPECT_EQ(gGame.jumpOffset, 2.0f);
  gGame.jumpOffset = 32.0f;  // mid-jump
  Click(platform::MouseButton::Right);
  EXPECT_TRUE(gGame.jumping);
  EXPECT_EQ(gGame.jumpOffset, 32.0f);

  Click(platform::MouseButton::Left);  // fires; changes nothing here
  EXPECT_EQ(fake.quitRequests, 0);

  Key(platform::KeyEscape);
  EXPECT_EQ(fake.quitRequests, 1);
  EXPECT_EQ(fake.quitCode, 0);
  platform::Event close;
  close.type = platform::Event::CloseRequest;
  HandleEvent(close);
  EXPECT_EQ(fake.quitRequests, 2);
  EXPECT_EQ(fake.quitCode, 0);
}

TEST_F(InputTest, ResizeFollowsTheWindowOnlyWhenWindowed) {
  REQUIRE_GL(gl);
  int v[4];
  gGame.fullScreen = true;
  gGame.clientRect = ClientRect{0, 0, 1024, 768};
  Resize(640, 480);
  Viewport(v);
  EXPECT_EQ(v[2], 1024);
  EXPECT_EQ(v[3], 768);
  EXPECT_EQ(gGame.clientRect.right, 1024);

  gGame.fullScreen = false;
  fake.clientWidth = 640;
  fake.clientHeight = 480;
  Resize(640, 480);
  Viewport(v);
  EXPECT_EQ(v[2], 640);
  EXPECT_EQ(v[3], 480);
  EXPECT_EQ(gGame.clientRect.right, 640);
  EXPECT_EQ(gGame.clientRect.bottom, 480);

  // Height 0 is taken as 1: the aspect is the width itself.
  Resize(300, 0);
  Viewport(v);
  EXPECT_EQ(v[3], 1);
  float projection[16];
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  EXPECT_NEAR(projection[5] / projection[0], 300.0f, 0.01f);
}

TEST_F(InputTest, FrameCounterWritesTheTitle) {
  fake.now = 0;
  UpdateFrameRate();
  ASSERT_EQ(fake.titles.size(), 1u);
  EXPECT_EQ(fake.titles[0], "Current Frames Per Second: 1");
  EXPECT_EQ(gFrameCounter.lastFrameCount, 1);

  // Then once a second, with the frames counted since.
  for (uint32_t t = 20; t <= 1000; t += 20) {
    fake.now = t;
    UpdateFrameRate();
  }
  EXPECT_EQ(fake.titles.size(), 1u);
  EXPECT_FLOAT_EQ(gFrameCounter.frameInterval, 0.02f);
  fake.now = 1020;
  UpdateFrameRate();
  ASSERT_EQ(fake.titles.size(), 2u);
  EXPECT_EQ(fake.titles[1], "Current Frames Per Second: 51");

  // Long runs keep millisecond intervals exact (past what a float clock could hold).
  fake.now = 20000000;
  UpdateFrameRate();
  fake.now = 20000001;
  UpdateFrameRate();
  EXPECT_FLOAT_EQ(gFrameCounter.frameInterval, 0.001f);

  // The camera takes the count.
  ResetGameState();
  fake.titles.clear();
  fake.now = 5;
  gGame.camera.UpdateCamera();
  EXPECT_EQ(gGame.camera.frameRate, 1);
}

TEST_F(InputTest, MainLoopEndsWithTheQuitCode) {
  // Messages are handled before any frame; Escape ends the loop with 0.
  platform::Event e;
  e.type = platform::Event::KeyDown;
  e.key = platform::KeyF4;
  fake.events.push_back(e);
  e.key = platform::KeyEscape;
  fake.events.push_back(e);
  EXPECT_EQ(RunMainLoop(), 0);
  EXPECT_TRUE(gGame.infoTextOn);
  EXPECT_EQ(fake.swaps, 0);
  EXPECT_TRUE(fake.destroyed);

  // A start-up failure ends it with a failure status, before the first frame.
  ResetGameState();
  fake.PostQuit(StartupFailureExit);
  EXPECT_NE(RunMainLoop(), 0);
  EXPECT_EQ(fake.swaps, 0);
}

TEST_F(InputTest, WindowChoiceAndWindowFailure) {
  // No answer keeps full screen; a window that cannot be made ends at once with 1.
  fake.answer = -1;
  fake.windowResult = platform::WindowResult::NoWindow;
  EXPECT_EQ(GameMain(), 1);
  EXPECT_TRUE(fake.options.fullScreen);
  EXPECT_EQ(fake.options.width, 1024);
  EXPECT_EQ(fake.options.height, 768);
  EXPECT_STREQ(fake.options.title, "Korvalis");

  ResetGameState();
  fake.answer = 0;
  EXPECT_EQ(GameMain(), 1);
  EXPECT_FALSE(fake.options.fullScreen);
  EXPECT_EQ(fake.swaps, 0);
}

}  // namespace
