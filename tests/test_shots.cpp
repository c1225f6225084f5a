// Shots without a window: the ring, the speeds, the bot boxes along the whole step, the owner
// rule, impacts on the near side of a wall, and the bursts with their sounds.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "combat/billboard.h"
#include "combat/shots.h"
#include "combat/sound.h"
#include "core/game_state.h"
#include "support/fake_platform.h"
#include "support/gl_context.h"
#include "support/level_builder.h"

namespace {

class ShotsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetGameState();
    gGame.particles = std::make_unique<ParticleSystem>();
    // Bots far away from everything unless a test places them.
    gGame.bots[0].position = Vec3(10000, 0, 0);
    gGame.bots[1].position = Vec3(-10000, 0, 0);
  }
  void TearDown() override { ResetGameState(); }

  // Every spark in the particle list, checked for colour; returns how many there are.
  int Sparks(float maxX = 1e9f) {
    int n = 0;
    const ParticleSystem& s = *gGame.particles;
    for (int i = s.head(), k = 0; k < s.particleCount; ++k, i = s.particle(i).next) {
      const Particle& p = s.particle(i);
      if (p.kind != SparkKind) continue;
      EXPECT_EQ(p.red, 235);
      EXPECT_EQ(p.green, 145);
      EXPECT_EQ(p.blue, 35);
      EXPECT_LE(p.position.x, maxX);
      ++n;
    }
    return n;
  }

  FakePlatform platform_;
};

}  // namespace

TEST_F(ShotsTest, RingWrapsToSlotZeroAndEveryActiveSlotKeepsFlying) {
  for (int i = 0; i < ShotSlots; ++i) FireShot(Vec3(0, 0, 0), Vec3(1, 0, 0), WeaponRifle, PlayerOwner);
  EXPECT_EQ(gGame.nextShotSlot, 0);
  FireShot(Vec3(5, 5, 5), Vec3(0, 1, 0), WeaponLauncher, PlayerOwner);
  EXPECT_EQ(gGame.nextShotSlot, 1);
  EXPECT_EQ(gGame.shots[0].weapon, WeaponLauncher);
  EXPECT_EQ(gGame.shots[0].position, Vec3(5, 5, 5));

  UpdateShots();
  // Slots above the ring's next slot move too (they used to freeze until the ring came back).
  EXPECT_EQ(gGame.shots[0].position, Vec3(5, 15, 5));
  for (int i : {1, 500, 999}) {
    EXPECT_TRUE(gGame.shots[i].active);
    EXPECT_EQ(gGame.shots[i].position, Vec3(50, 0, 0)) << i;
  }
}

TEST_F(ShotsTest, FireSetsColourAndSoundPerWeapon) {
  struct Case { int weapon; float r, g, b; const char* sound; int volume; } cases[] = {
      {WeaponRifle, 80, 80, 80, "sound/shot4.wav", 155},
      {WeaponLauncher, 235, 192, 0, "sound/shoot1.wav", 255},
  };
  for (const Case& c : cases) {
    const int before = LastEffect().started;
    const int slot = gGame.nextShotSlot;
    FireShot(Vec3(1, 2, 3), Vec3(0, 0, -1), c.weapon, PlayerOwner);
    const Shot& s = gGame.shots[slot];
    EXPECT_TRUE(s.active);
    EXPECT_EQ(s.owner, PlayerOwner);
    EXPECT_EQ(s.colour[0], c.r);
    EXPECT_EQ(s.colour[1], c.g);
    EXPECT_EQ(s.colour[2], c.b);
    EXPECT_EQ(s.colour[3], 1.0f);
    EXPECT_STREQ(LastEffect().path, c.sound);
    EXPECT_EQ(LastEffect().volume, c.volume);
    EXPECT_EQ(LastEffect().started, before + 1);
  }
}

TEST_F(ShotsTest, SpeedsPerWeaponAndSlowMotion) {
  struct Case { int weapon; bool slow; float step; } cases[] = {
      {WeaponRifle, false, 50}, {WeaponRifle, true, 2.5f},
      {WeaponLauncher, false, 10}, {WeaponLauncher, true, 0.5f},
  };
  for (const Case& c : cases) {
    gGame.slowMotion = c.slow;
    const int slot = gGame.nextShotSlot;
    FireShot(Vec3(0, 0, 0), Vec3(0, 0, -1), c.weapon, PlayerOwner);
    UpdateShots();
    EXPECT_FLOAT_EQ(gGame.shots[slot].position.z, -c.step) << c.weapon << " slow " << c.slow;
    EXPECT_EQ(gGame.shots[slot].previousPosition, Vec3(0, 0, 0));
    gGame.shots[slot].active = false;
  }
}

TEST_F(ShotsTest, BotBoxesAlongTheStepWithTheOwnerRule) {
  gGame.bots[0].position = Vec3(0, 0, 0);
  gGame.bots[1].position = Vec3(300, 0, 0);
  struct Case {
    const char* what;
    Vec3 origin, direction;
    int weapon, owner;
    bool hits;
    Vec3 impact;
  } cases[] = {
      // A step exactly 17 from bot 0's centre on x and on the top of its head (the figure
      // as drawn: soles 54 below the centre, 58 tall): inside. Just over the head: missed.
      {"edge x=17", Vec3(17, 4, 10), Vec3(0, 0, -1), WeaponLauncher, PlayerOwner, true, Vec3(17, 4, 10)},
      {"over the head", Vec3(0, 4.01f, 10), Vec3(0, 0, -1), WeaponLauncher, PlayerOwner, false, Vec3()},
      {"at the soles", Vec3(0, -54, 10), Vec3(0, 0, -1), WeaponLauncher, PlayerOwner, true, Vec3(0, -54, 10)},
      {"below the soles", Vec3(0, -54.01f, 10), Vec3(0, 0, -1), WeaponLauncher, PlayerOwner, false, Vec3()},
      {"edge x=17.01", Vec3(17.01f, 0, 10), Vec3(0, 0, -1), WeaponLauncher, PlayerOwner, false, Vec3()},
      // A rifle shot crossing the 34-unit box in one 50-unit step hits at the entry point.
      {"through", Vec3(-30, -10, 0), Vec3(1, 0, 0), WeaponRifle, PlayerOwner, true, Vec3(-17, -10, 0)},
      // A bot's own shot starting inside its box flies on; the other bot's box stops it.
      {"own box", Vec3(0, 0, 0), Vec3(0, 0, 1), WeaponLauncher, 0, false, Vec3()},
      {"other's box", Vec3(300, 0, 0), Vec3(0, 0, 1), WeaponLauncher, 0, true, Vec3(300, 0, 0)},
      {"bot 1 shoots bot 0", Vec3(-40, 0, 0), Vec3(1, 0, 0), WeaponRifle, 1, true, Vec3(-17, 0, 0)},
  };
  for (const Case& c : cases) {
    const int slot = gGame.nextShotSlot;
    FireShot(c.origin, c.direction, c.weapon, c.owner);
    UpdateShots();
    const Shot& s = gGame.shots[slot];
    EXPECT_EQ(!s.active, c.hits) << c.what;
    if (c.hits) {
      EXPECT_NEAR(s.position.x, c.impact.x, 1e-4f) << c.what;
      EXPECT_NEAR(s.position.y, c.impact.y, 1e-4f) << c.what;
      EXPECT_NEAR(s.position.z, c.impact.z, 1e-4f) << c.what;
    }
    gGame.shots[slot].active = false;
  }
  // The query itself follows the same rule per bot.
  FireShot(Vec3(0, 0, 0), Vec3(0, 0, 1), WeaponLauncher, 0);
  const int slot = gGame.nextShotSlot - 1;
  gGame.shots[slot].previousPosition = Vec3(0, 0, 0);
  EXPECT_FALSE(ShotHitsSomething(slot, 0));
  gGame.bots[1].position = Vec3(0, 0, 5);
  Vec3 impact;
  EXPECT_TRUE(ShotHitsSomething(slot, 1, &impact));
  EXPECT_EQ(impact, Vec3(0, 0, 0));
}

TEST_F(ShotsTest, ImpactsBurstOnTheNearSideOfAWall) {
  // A wall whose face is at x = 100; a bot stands behind it, within the rifle's step.
  LevelBuilder builder;
  builder.AddWorldBox(Vec3(100, -200, -200), Vec3(140, 200, 200));
  std::string error;
  ASSERT_TRUE(builder.LoadInto(&gGame.level, &error)) << error;
  gGame.bots[0].position = Vec3(130, 0, 0);

  struct Case { int weapon; const char* sound; int sparks; } cases[] = {
      {WeaponRifle, "sound/hit.wav", 100}, {WeaponLauncher, "sound/explos.wav", 500}};
  for (const Case& c : cases) {
    gGame.particles->Clear();
    // The last step starts 80 units before the wall and would end 20 (rifle) inside it.
    const int slot = gGame.nextShotSlot;
    FireShot(Vec3(c.weapon == WeaponRifle ? 70.0f : 92.0f, 0, 0), Vec3(1, 0, 0), c.weapon, PlayerOwner);
    for (int t = 0; t < 5 && gGame.shots[slot].active; ++t) UpdateShots();
    const Shot& s = gGame.shots[slot];
    ASSERT_FALSE(s.active) << c.weapon;
    EXPECT_LT(s.position.x, 100 - 5 + 0.01f);   // the swept box touches the face
    EXPECT_GT(s.position.x, 90.0f);
    EXPECT_STREQ(LastEffect().path, c.sound);
    EXPECT_EQ(LastEffect().volume, 100);
    // Every spark starts in front of the face (scatter is at most 2 units).
    EXPECT_EQ(Sparks(100 - 2), c.sparks) << c.weapon;
  }
}

// A shot that leaves the level without meeting anything ends there, quietly: no sparks, no
// sound. The level's box reaches TestLevelAir past the brushes, with LevelEdgeMargin more.
TEST_F(ShotsTest, AShotLeavingTheLevelEndsWithoutABurst) {
  LevelBuilder builder;
  builder.AddWorldBox(Vec3(-100, -20, -100), Vec3(100, 0, 100));
  std::string error;
  ASSERT_TRUE(builder.LoadInto(&gGame.level, &error)) << error;
  const float air = static_cast<float>(TestLevelAir) + LevelEdgeMargin;

  // How far each flies before it is past the edge (0: it starts outside).
  struct Case { Vec3 from, direction; int weapon; float reach; } cases[] = {
      {Vec3(0, 50, 0), Vec3(1, 0, 0), WeaponRifle, 100 + air},   // out through the side
      {Vec3(0, 50, 0), Vec3(0, 1, 0), WeaponLauncher, air - 50}, // up into the sky
      {Vec3(0, 5000, 0), Vec3(0, 0, 1), WeaponRifle, 0},         // fired from outside
  };
  for (const Case& c : cases) {
    gGame.particles->Clear();
    const int slot = gGame.nextShotSlot;
    FireShot(c.from, c.direction, c.weapon, PlayerOwner);
    const int sounds = LastEffect().started;
    int ticks = 0;
    while (gGame.shots[slot].active && ticks < 1000) {
      UpdateShots();
      ++ticks;
    }
    const Shot& s = gGame.shots[slot];
    EXPECT_FALSE(s.active);
    EXPECT_EQ(ticks, static_cast<int>(c.reach / ShotSpeed(c.weapon)) + 1) << c.weapon;
    EXPECT_EQ(Sparks(), 0);
    EXPECT_EQ(LastEffect().started, sounds) << "no impact sound";
    // It ends at its first step past the edge, and there.
    const float reach = Dot(s.position - c.from, c.direction);
    EXPECT_GT(reach, c.reach);
    EXPECT_LE(reach, c.reach + ShotSpeed(c.weapon));
  }
}

// The trail behind flying shots: one particle per shot for every particle update due (not
// per frame), of the weapon's kind and colour; in slow motion two at every 21st update.
TEST_F(ShotsTest, TrailsAreLaidPerParticleUpdate) {
  GLTestContext gl(64, 64);  // the shots are drawn as billboards
  REQUIRE_GL(gl);
  FireShot(Vec3(0, 0, 0), Vec3(1, 0, 0), WeaponRifle, PlayerOwner);
  FireShot(Vec3(0, 100, 0), Vec3(1, 0, 0), WeaponLauncher, PlayerOwner);
  ParticleSystem& s = *gGame.particles;
  s.UpdateParticles();  // starts the particle clock
  ASSERT_EQ(s.particleCount, 0);

  platform_.now += 3 * ParticleUpdateMs;
  DrawShots();
  struct Look { int kind; float red, green, blue; int count; } looks[] = {
      {RifleTrailKind, 80, 80, 80, 0}, {GrenadeTrailKind, 180, 180, 235, 0}};
  for (int i = s.head(), k = 0; k < s.particleCount; ++k, i = s.particle(i).next) {
    const Particle& p = s.particle(i);
    for (Look& look : looks) {
      if (p.kind != look.kind) continue;
      EXPECT_EQ(p.red, look.red);
      EXPECT_EQ(p.green, look.green);
      EXPECT_EQ(p.blue, look.blue);
      ++look.count;
    }
  }
  EXPECT_EQ(looks[0].count, 3);
  EXPECT_EQ(looks[1].count, 3);
  EXPECT_EQ(s.particleCount, 6);
  s.UpdateParticles();
  DrawShots();  // no update due since: nothing more
  EXPECT_EQ(s.particleCount, 6);

  // Slow motion, the rifle shot alone: a pair at every 21st update.
  s.Clear();
  for (Shot& shot : gGame.shots)
    if (shot.weapon == WeaponLauncher) shot.active = false;
  gGame.slowMotion = true;
  gGame.slowTrailCounter = 0;
  std::vector<int> laidAt;
  for (int update = 1; update <= 63; ++update) {
    platform_.now += ParticleUpdateMs;
    const int before = s.particleCount;
    DrawShots();
    if (s.particleCount != before) {
      EXPECT_EQ(s.particleCount - before, 2) << update;
      laidAt.push_back(update);
    }
    s.UpdateParticles();
  }
  EXPECT_EQ(laidAt, (std::vector<int>{21, 42, 63}));
}
