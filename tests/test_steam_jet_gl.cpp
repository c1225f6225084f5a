// The steam jet in the default level: the pump room off the lower hall holds it, lit, and it
// shows as a jet from the places the player walks through (the head of the stairs in the
// lower hall, the pump room's floor).
// With KORVALIS_SHOTS_DIR set it also writes the README's pictures of it there.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "combat/billboard.h"
#include "combat/emitter.h"
#include "core/game_state.h"
#include "core/particles.h"
#include "player/physics.h"
#include "render/texture.h"
#include "support/default_level.h"
#include "support/fake_platform.h"

namespace {

constexpr int Width = 1024;
constexpr int Height = 768;
const char* const EffectFiles[6] = {"P1.bmp", "P2.bmp", "P3.bmp", "P4.bmp", "P5.bmp", "P7.bmp"};

struct View {
  const char* name;
  Vec3 eye, target;
  int minChanged;  // pixels the jet must change
  int minWidth;    // and how wide on screen the part it changes must be
};

class SteamJet : public DefaultLevelTest {
 protected:
  SteamJet() : DefaultLevelTest(Width, Height) {}
  void SetUp() override {
    DefaultLevelTest::SetUp();
    if (!gl_->ok() || HasFatalFailure()) return;
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    for (int slot = 0; slot < 6; ++slot) CreateLinearTexture(gGame.effectTextures[slot], EffectFiles[slot]);
    MeasureEffectPictures();  // as the game's start-up does
  }

  // The frame's drawing of the level and, when asked, the particles.
  std::vector<uint8_t> Draw(const View& v, bool particles) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    LookAt(v.eye, v.target);
    glColor4f(1, 1, 1, 1);
    gGame.level.RenderLevel(v.eye);
    if (particles) {
      glDisable(GL_TEXTURE_2D);
      gGame.particles->DrawParticles();
      glEnable(GL_TEXTURE_2D);
    }
    return gl_->ReadPixels();
  }
};

}  // namespace

TEST_F(SteamJet, ShowsFromThePlayersPath) {
  REQUIRE_GL(*gl_);
  ASSERT_TRUE(loaded_);
  // The jet's start point is open space inside a zone of the level, and so is the player's
  // box at the foot of the stairs and beside the pipe.
  EXPECT_EQ(gGame.level.Trace(SteamJetPosition, SteamJetPosition + Vec3(2, -0.4f, 0), Vec3(1, 1, 1)).fraction, 1.0f);
  EXPECT_GE(gGame.level.leaves[static_cast<size_t>(gGame.level.FindLeaf(SteamJetPosition))].cluster, 0);
  const View views[] = {
      // Across the pump room's floor, the jet from the side (about 18,000 pixels, 465 wide).
      {"steam-jet", Vec3(40, 6, -960), Vec3(30, -2, -804), 15000, 250},
      // The first sight of it, from the lower hall at the head of the stairs (about 3,700
      // pixels, 75 wide: a streak of puffs leaving the pipe).
      {"steam-jet-stairs", Vec3(350, 197, -870), Vec3(20, -5, -812), 3000, 60},
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
    // Pixels the jet brightens by more than a trace, and how far across the screen they go.
    int changed = 0, left = Width, right = -1;
    long sum = 0;
    for (size_t i = 0; i < with.size(); i += 4) {
      const int gain = with[i] + with[i + 1] + with[i + 2] - without[i] - without[i + 1] - without[i + 2];
      if (gain > 6) {
        ++changed;
        const int x = static_cast<int>(i / 4 % Width);
        left = std::min(left, x), right = std::max(right, x);
      }
      sum += with[i] + with[i + 1] + with[i + 2];
    }
    std::printf("%s: the jet brightens %d pixels, %d wide; mean level brightness %.1f\n", v.name, changed,
                right - left + 1, static_cast<double>(sum) / (3.0 * Width * Height));
    EXPECT_GE(changed, v.minChanged) << v.name;
    EXPECT_GE(right - left + 1, v.minWidth) << v.name << ": a jet, not a puff";
    EXPECT_GT(sum / (3L * Width * Height), 20) << v.name << ": the room is lit";
    SaveShot(with, Width, Height, v.name);
  }
}

TEST_F(SteamJet, ThePlayerWalksDownToThePipeAndBackUp) {
  REQUIRE_GL(*gl_);
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
