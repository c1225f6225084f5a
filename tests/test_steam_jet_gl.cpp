// The steam jet in the default level: the pump room off the lower hall holds it, lit, and it
// shows from the places the player walks through (the foot of the stairs, beside the pipe).
// With KORVALIS_SHOTS_DIR set it also writes the README's pictures of it there.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/game.h"
#include "app/game_state.h"
#include "combat/emitter.h"
#include "combat/particles.h"
#include "player/physics.h"
#include "render/texture.h"
#include "support/fake_platform.h"
#include "support/gl_context.h"

namespace {

constexpr int Width = 1024;
constexpr int Height = 768;
const char* const EffectFiles[6] = {"P1.bmp", "P2.bmp", "P3.bmp", "P4.bmp", "P5.bmp", "P7.bmp"};

struct View {
  const char* name;
  Vec3 eye, target;
  int minChanged;  // pixels the jet must change
};

class SteamJet : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetGameState();
    gl_.reset(new GLTestContext(Width, Height));
    if (!gl_->ok()) return;
    InitializeGL(Width, Height);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    std::ifstream config(KORVALIS_GAME_DIR "/Config.ini");
    std::string word, path;
    config >> word >> path >> word >> gGame.lightmapBrightness;
    char here[4096];
    ASSERT_NE(getcwd(here, sizeof here), nullptr);
    previousDir_ = here;
    ASSERT_EQ(chdir(KORVALIS_GAME_DIR), 0);
    loaded_ = gGame.level.LoadBSP(path.c_str());
    for (int slot = 0; slot < 6; ++slot) CreateLinearTexture(gGame.effectTextures[slot], EffectFiles[slot]);
  }
  void TearDown() override {
    if (!previousDir_.empty()) {
      EXPECT_EQ(chdir(previousDir_.c_str()), 0);
    }
    gGame.level.Destroy();
    ResetGameState();
    gl_.reset();
  }

  // The frame's drawing of the level and, when asked, the particles.
  std::vector<uint8_t> Draw(const View& v, bool particles) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(v.eye.x, v.eye.y, v.eye.z, v.target.x, v.target.y, v.target.z, 0, 1, 0);
    gGame.frustum.CalculateFrustum();
    glColor4f(1, 1, 1, 1);
    gGame.level.RenderLevel(v.eye);
    if (particles) {
      glDisable(GL_TEXTURE_2D);
      gGame.particles->DrawParticles();
      glEnable(GL_TEXTURE_2D);
    }
    return gl_->ReadPixels();
  }

  void WritePng(const std::vector<uint8_t>& rgba, const std::string& name) {
    const char* dir = std::getenv("KORVALIS_SHOTS_DIR");
    if (!dir) return;
    const std::string ppm = std::string(dir) + "/" + name + ".ppm";
    FILE* f = std::fopen(ppm.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fprintf(f, "P6\n%d %d\n255\n", Width, Height);
    for (int y = Height - 1; y >= 0; --y)
      for (int x = 0; x < Width; ++x) std::fwrite(&rgba[(static_cast<size_t>(y) * Width + x) * 4], 1, 3, f);
    std::fclose(f);
    std::string command = "convert " + ppm + " " + std::string(dir) + "/" + name + ".png && rm " + ppm;
    EXPECT_EQ(std::system(command.c_str()), 0);
  }

  std::unique_ptr<GLTestContext> gl_;
  std::string previousDir_;
  bool loaded_ = false;
};

}  // namespace

TEST_F(SteamJet, ShowsFromThePlayersPath) {
  if (!gl_->ok()) GTEST_SKIP() << "no offscreen OpenGL context available";
  ASSERT_TRUE(loaded_);
  // The jet's start point is open space inside a zone of the level, and so is the player's
  // box at the foot of the stairs and beside the pipe.
  EXPECT_EQ(gGame.level.Trace(SteamJetPosition, SteamJetPosition + Vec3(2, -0.4f, 0), Vec3(1, 1, 1)).fraction, 1.0f);
  EXPECT_GE(gGame.level.leaves[static_cast<size_t>(gGame.level.FindLeaf(SteamJetPosition))].cluster, 0);
  const View views[] = {
      {"steam-jet", Vec3(16, 6, -788), Vec3(0, 0, -804), 300},
      {"steam-jet-stairs", Vec3(56, 6, -866), Vec3(0, 0, -806), 40},
  };
  for (const View& v : views) {
    const Vec3 box(17, 50, 17);
    EXPECT_FALSE(gGame.level.Trace(v.eye, v.eye, box).allSolid) << v.name;
  }

  gGame.particles = CreateGameParticleSystem();
  for (int i = 0; i < 60; ++i) gGame.particles->Step();
  ASSERT_EQ(gGame.particles->particleCount, 100);  // two a step, fifty steps each

  for (const View& v : views) {
    const std::vector<uint8_t> without = Draw(v, false);
    const std::vector<uint8_t> with = Draw(v, true);
    int changed = 0;
    long sum = 0;
    for (size_t i = 0; i < with.size(); i += 4) {
      if (with[i] != without[i] || with[i + 1] != without[i + 1] || with[i + 2] != without[i + 2]) ++changed;
      sum += with[i] + with[i + 1] + with[i + 2];
    }
    std::printf("%s: the jet changes %d pixels; mean level brightness %.1f\n", v.name, changed,
                static_cast<double>(sum) / (3.0 * Width * Height));
    EXPECT_GE(changed, v.minChanged) << v.name;
    EXPECT_GT(sum / (3L * Width * Height), 20) << v.name << ": the room is lit";
    WritePng(with, v.name);
  }
}

TEST_F(SteamJet, ThePlayerWalksDownToThePipeAndBackUp) {
  if (!gl_->ok()) GTEST_SKIP() << "no offscreen OpenGL context available";
  ASSERT_TRUE(loaded_);
  FakePlatform fake;
  ResetPlayerPhysics();
  // Walks with W held along +x or -x until the eye passes x = untilX (or 20 s go by).
  auto walk = [&](Vec3 from, float direction, float untilX) {
    Camera& c = gGame.camera;
    c.PositionCamera(from.x, from.y, from.z, from.x + 100 * direction, from.y, from.z, 0, 1, 0);
    c.moveStartPosition = c.position;
    c.moveStartView = c.view;
    fake.held = {platform::KeyW};
    for (int frame = 0; frame < 2000 && (c.position.x - untilX) * direction < 0; ++frame) {
      fake.now += 10;
      c.UpdateCamera();
      ApplyPlayerPhysics();
    }
    fake.held.clear();
    for (int frame = 0; frame < 100; ++frame) {  // settle on the floor
      fake.now += 10;
      c.UpdateCamera();
      ApplyPlayerPhysics();
    }
    return c.position;
  };
  // From the lower hall, west through the opening and down the stairs to the pipe.
  const Vec3 down = walk(Vec3(500, 200, -870), -1, 20);
  EXPECT_LT(down.x, 25);
  EXPECT_NEAR(down.y, -46 + 50, 2) << "on the pump room's floor";
  // And back up into the lower hall.
  const Vec3 up = walk(down, 1, 420);
  EXPECT_GT(up.x, 420);
  EXPECT_NEAR(up.y, 145.531f + 50, 2) << "on the lower hall's floor";
}
