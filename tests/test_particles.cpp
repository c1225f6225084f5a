// The particle system without a window: lives, removal from the circular list, slow motion,
// walls, the steam jet's set-up, and the fixed update step at different frame rates.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "combat/effects.h"
#include "combat/emitter.h"
#include "combat/particle_look.h"
#include "core/game_state.h"
#include "core/particles.h"
#include "core/random.h"
#include "support/fake_platform.h"
#include "support/level_builder.h"

namespace {

class ParticlesTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetGameState(); }
  void TearDown() override { ResetGameState(); }
  FakePlatform platform_;
};

Particle Tagged(float tag, float life) {
  Particle p;
  p.red = tag;
  p.life = life;
  p.size = 1;
  p.fixedSize = true;
  return p;
}

// The tags (red) from the head along next.
std::vector<float> Tags(const ParticleSystem& s) {
  std::vector<float> tags;
  for (int i = s.head(), k = 0; k < s.particleCount; ++k, i = s.particle(i).next) tags.push_back(s.particle(i).red);
  return tags;
}

const Particle* Find(const ParticleSystem& s, float tag) {
  for (int i = s.head(), k = 0; k < s.particleCount; ++k, i = s.particle(i).next)
    if (s.particle(i).red == tag) return &s.particle(i);
  return nullptr;
}

std::vector<Vec3> Positions(const ParticleSystem& s) {
  std::vector<Vec3> out;
  for (int i = s.head(), k = 0; k < s.particleCount; ++k, i = s.particle(i).next) out.push_back(s.particle(i).position);
  return out;
}

}  // namespace

TEST_F(ParticlesTest, LifeAndRemovalFromTheCircularList) {
  ParticleSystem s;
  // A life-50 particle is in the list for exactly 50 draws.
  s.AddParticle(Tagged(1, 50));
  int draws = 0;
  while (s.particleCount > 0 && draws < 100) {
    ++draws;  // the frame draws every particle in the list, then updates
    s.Step();
  }
  EXPECT_EQ(draws, 50);
  EXPECT_EQ(s.head(), NoParticle);

  // Oldest to newest: a .. f. The walk from the head meets f first.
  const float lives[] = {2, 1, 1, 5, 1, 1};
  for (int i = 0; i < 6; ++i) s.AddParticle(Tagged(static_cast<float>(i), lives[i]));
  EXPECT_EQ(Tags(s), (std::vector<float>{5, 4, 3, 2, 1, 0}));
  // The head and its neighbour go, then two neighbours in the middle; nothing after them is
  // skipped (3 and 0 age).
  s.Step();
  EXPECT_EQ(Tags(s), (std::vector<float>{3, 0}));
  EXPECT_EQ(s.particle(s.head()).life, 4);
  // The last particle of the list (the oldest) goes next.
  s.Step();
  EXPECT_EQ(Tags(s), (std::vector<float>{3}));
  Particle shrunk = Tagged(9, 10);
  shrunk.size = -0.5f;  // a negative size removes it too
  s.AddParticle(shrunk);
  for (int i = 0; i < 3; ++i) s.Step();
  EXPECT_EQ(s.particleCount, 0);
  EXPECT_EQ(s.head(), NoParticle);
  // A fresh list of one after the list was empty.
  const int only = s.AddParticle(Tagged(7, 3));
  EXPECT_EQ(s.head(), only);
  EXPECT_EQ(s.particle(only).next, only);
  EXPECT_EQ(s.particle(only).previous, only);
}

// After a burst dies down, a large pool gives its free slots back without changing the list:
// the same particles in the same order, still circular, and new ones still go to the head.
TEST_F(ParticlesTest, PoolPackedAfterABurstKeepsTheList) {
  ParticleSystem s;
  for (int i = 0; i < 10000; ++i) s.AddParticle(Tagged(static_cast<float>(i), i % 13 == 0 ? 5.0f : 1.0f));
  s.ReleaseSpareSlots();  // all in use: nothing to give back
  EXPECT_EQ(s.poolSlots(), 10000);
  s.Step();  // all but every 13th go
  const std::vector<float> before = Tags(s);
  ASSERT_EQ(s.particleCount, 770);
  s.ReleaseSpareSlots();
  EXPECT_EQ(s.poolSlots(), 770);
  EXPECT_EQ(Tags(s), before);
  const Particle& last = s.particle(s.particle(s.head()).previous);
  EXPECT_EQ(last.red, before.back());
  EXPECT_EQ(s.particle(last.next).red, before.front());
  s.AddParticle(Tagged(-1, 5));
  EXPECT_EQ(Tags(s).front(), -1);
  EXPECT_EQ(Tags(s).size(), 771u);
  for (int i = 0; i < 5; ++i) s.Step();
  EXPECT_EQ(s.particleCount, 0);
  s.ReleaseSpareSlots();  // a pool of 771 is kept
  EXPECT_EQ(s.poolSlots(), 771);
}

TEST_F(ParticlesTest, SlowMotionMovesBySlowVelocityAndShrinksVelocity) {
  ParticleSystem s;
  Particle p = Tagged(0, 100);
  p.velocity = Vec3(1, 0, 2);
  p.slowVelocity = p.velocity / 20;
  p.alpha = 1;
  p.fixedSize = false;
  p.growth = 0.1f;
  s.AddParticle(p);
  gGame.slowMotion = true;
  s.Step();
  const Particle& q = s.particle(s.head());
  EXPECT_FLOAT_EQ(q.position.x, 0.05f);
  EXPECT_FLOAT_EQ(q.position.z, 0.1f);
  EXPECT_FLOAT_EQ(q.velocity.x, 0.05f);
  EXPECT_FLOAT_EQ(q.velocity.y, DefaultGravity / 20 / 20 / 20);
  EXPECT_FLOAT_EQ(q.velocity.z, 0.1f);
  EXPECT_FLOAT_EQ(q.life, 99.95f);
  EXPECT_FLOAT_EQ(q.alpha, 1 - 1.0f / 100 / 20);
  EXPECT_FLOAT_EQ(q.size, 1 + 0.1f / 20);
  gGame.slowMotion = false;
  s.Step();
  EXPECT_FLOAT_EQ(s.particle(s.head()).position.x, 0.1f);   // the shrunken velocity
  EXPECT_FLOAT_EQ(s.particle(s.head()).position.z, 0.2f);
}

TEST_F(ParticlesTest, AParticleStoppedByAWallIsGoneAtTheNextUpdate) {
  LevelBuilder builder;
  builder.AddWorldBox(Vec3(10, -50, -50), Vec3(30, 50, 50));
  std::string error;
  ASSERT_TRUE(builder.LoadInto(&gGame.level, &error)) << error;
  ParticleSystem s;
  Particle p = Tagged(0, 40);
  p.velocity = Vec3(10, 0, 0);
  s.AddParticle(p);
  Particle free = Tagged(1, 40);
  free.velocity = Vec3(-10, 0, 0);
  s.AddParticle(free);
  s.Step();
  ASSERT_EQ(s.particleCount, 2);
  const Particle* stopped = Find(s, 0);
  ASSERT_NE(stopped, nullptr);
  EXPECT_EQ(stopped->life, 1);
  EXPECT_LT(stopped->position.x, 9.0f);  // shown in front of the wall, not inside it
  s.Step();
  EXPECT_EQ(Tags(s), (std::vector<float>{1}));
}

TEST_F(ParticlesTest, WallsStopParticlesAtTheMoveThatReachesThem) {
  // A room with a floor, two walls and a pillar; sparks thrown every way from near a corner,
  // some skimming the floor. Each must stop exactly at the move whose own trace is stopped,
  // in normal motion and when slow motion comes and goes on the way.
  LevelBuilder builder;
  builder.AddWorldBox(Vec3(-60, -40, -60), Vec3(60, -30, 60));   // floor
  builder.AddWorldBox(Vec3(40, -40, -60), Vec3(60, 60, 60));     // east wall
  builder.AddWorldBox(Vec3(-60, -40, -60), Vec3(60, 60, -40));   // north wall
  builder.AddWorldBox(Vec3(-10, -40, 10), Vec3(5, 60, 25));      // pillar
  std::string error;
  ASSERT_TRUE(builder.LoadInto(&gGame.level, &error)) << error;
  const Vec3 extents(1, 1, 1);
  for (const int slowFrom : {-1, 4, 12}) {
    ResetRandom();
    ParticleSystem s;
    constexpr int Count = 300;
    for (int i = 0; i < Count; ++i) {
      Particle p = Tagged(static_cast<float>(i), 40);
      p.position = p.previousPosition = Vec3(20, -27, -20) + Vec3(RandomUnit(), RandomUnit(), RandomUnit()) * 4;
      p.velocity = Vec3(RandomUnit() - 0.5f, RandomUnit() - 0.6f, RandomUnit() - 0.5f) * 3;
      if (i % 10 == 0) p.velocity.y = 0;  // skimming the floor
      p.slowVelocity = p.velocity / 20;
      s.AddParticle(p);
    }
    int stops = 0;
    for (int update = 0; update < 30; ++update) {
      const bool slow = slowFrom >= 0 && update >= slowFrom && update < slowFrom + 10;
      gGame.slowMotion = slow;
      std::vector<Particle> before(Count);
      std::vector<bool> moving(Count, false);
      for (int i = s.head(), k = 0; k < s.particleCount; ++k, i = s.particle(i).next) {
        const Particle& q = s.particle(i);
        before[static_cast<size_t>(q.red)] = q;
        moving[static_cast<size_t>(q.red)] = q.life > 1;
      }
      s.Step();
      for (int i = 0; i < Count; ++i) {
        if (!moving[static_cast<size_t>(i)]) continue;
        const Particle& b = before[static_cast<size_t>(i)];
        const Particle* q = Find(s, static_cast<float>(i));
        ASSERT_NE(q, nullptr);
        const TraceResult t = gGame.level.Trace(b.position, b.position + (slow ? b.slowVelocity : b.velocity), extents);
        const bool stopped = t.fraction != 1.0f;
        ASSERT_EQ(q->life == 1, stopped) << "particle " << i << " at update " << update << " slow from " << slowFrom;
        if (stopped) {
          EXPECT_EQ(q->position, t.end) << i;
        }
        stops += stopped;
      }
    }
    EXPECT_GT(stops, Count / 5) << slowFrom;  // the walls did stop many of them
  }
  gGame.slowMotion = false;
}

TEST_F(ParticlesTest, SteamJetSetUp) {
  auto system = CreateGameParticleSystem();
  EXPECT_FLOAT_EQ(system->gravity, -0.003924f);
  ASSERT_EQ(system->emitterCount, 1);
  const ParticleEmitter& e = *system->emitters();
  EXPECT_EQ(e.system, system.get());
  EXPECT_EQ(e.nextEmitter, nullptr);
  EXPECT_EQ(e.position, Vec3(0, 0, -804));
  const struct { const char* what; float actual, expected; } values[] = {
      {"direction.x", e.direction.x, 0.98481f}, {"direction.y", e.direction.y, -0.17365f},
      {"direction.z", e.direction.z, 0},        {"right.x", e.right.x, 0},
      {"right.y", e.right.y, 0},                {"right.z", e.right.z, -1},
      {"up.x", e.up.x, 0.17365f},               {"up.y", e.up.y, 0.98481f},
      {"up.z", e.up.z, 0},                      {"speed", e.speed, 0.04f},
      {"spreadRight", e.spreadRight, 1.2f},     {"spreadUp", e.spreadUp, 0.1f},
      {"dampingVariation", e.dampingVariation, 0},
      {"dampingVariationScale", e.dampingVariationScale, 0.5f},
      {"weightVariation", e.weightVariation, 0.5f}, {"speedVariation", e.speedVariation, 0.2f},
      {"particleSize", e.particleSize, 0.06f},  {"growth", e.growth, 0.954993f},
      {"red", e.red, 115},                      {"green", e.green, 133},
      {"blue", e.blue, 153},                    {"alpha", e.alpha, 0.75f},
  };
  for (const auto& v : values) EXPECT_NEAR(v.actual, v.expected, 1e-5f) << v.what;
  EXPECT_EQ(e.particleLife, 50);
  EXPECT_TRUE(e.fixedSize);
  EXPECT_EQ(e.particlesPerUpdate, 2);
  EXPECT_EQ(e.kind, SteamKind);
  ParticleEmitter other;
  other.SetRate(120);
  EXPECT_EQ(other.particlesPerUpdate, 2);

  // One update emits two particles in the jet's colour, inside its start area.
  system->Step();
  ASSERT_EQ(system->particleCount, 2);
  const Particle& p = system->particle(system->head());
  EXPECT_EQ(p.kind, SteamKind);
  EXPECT_NEAR(p.red, 115, 1e-4f);
  EXPECT_EQ(p.life, 50);
  EXPECT_LE(std::abs(p.position.z + 804), 0.6f);
  EXPECT_GT(p.velocity.x, 0);
}

TEST_F(ParticlesTest, SteamThinsOutAsItWidensAndKeepsItsLight) {
  // Over many updates every particle passes every age: per age, the light the drawn puffs
  // add (alpha x colour) against the light of all of them drawn plainly.
  ResetRandom();
  auto system = CreateGameParticleSystem();
  for (int i = 0; i < 60; ++i) system->Step();
  constexpr int Ages = 50;
  double plain[Ages] = {}, drawn[Ages] = {}, plainArea = 0, drawnArea = 0;
  int drawnCount = 0, turns = 0;
  for (int step = 0; step < 400; ++step) {
    system->Step();
    for (int i = system->head(), n = 0; n < system->particleCount; ++n) {
      const Particle& p = system->particle(i);
      i = p.next;
      ParticleLook look;
      const bool shown = DrawnParticle(p, p.position, &look);
      const int age = static_cast<int>(50 - p.life);
      ASSERT_TRUE(age >= 0 && age < Ages);
      plain[age] += p.alpha * (p.red + p.green + p.blue);
      const float fullSize = look.size / look.shape.extent;
      plainArea += fullSize * fullSize;
      if (age <= 2) {
        EXPECT_TRUE(shown && look.alpha == p.alpha && look.red == p.red) << "young puffs drawn as they are";
      }
      if (!shown) continue;
      EXPECT_LE(look.alpha, 1.0f);
      EXPECT_LE(std::max({look.red, look.green, look.blue}), 255.0f + 1e-3f);
      drawn[age] += look.alpha * (look.red + look.green + look.blue);
      drawnArea += fullSize * fullSize;
      ++drawnCount;
      turns |= 1 << look.shape.turn;
    }
  }
  for (int age = 0; age < Ages - 1; ++age) EXPECT_NEAR(drawn[age] / plain[age], 1.0, 0.12) << "age " << age;
  std::printf("steam: %.0f%% of the puffs' area drawn; light kept at ages 10, 25, 40, 48: %.2f %.2f %.2f %.2f\n",
              100 * drawnArea / plainArea, drawn[10] / plain[10], drawn[25] / plain[25], drawn[40] / plain[40],
              drawn[48] / plain[48]);
  EXPECT_LT(drawnArea, 0.3 * plainArea) << "the old, wide puffs are thinned out";
  EXPECT_LT(drawnCount, 400 * 100 / 2);
  EXPECT_EQ(turns, 0xFF) << "the picture turned every way";
}

TEST_F(ParticlesTest, SparkPathsAreTheSameAtAnyFrameRate) {
  auto run = [&](uint32_t frameMs, std::vector<float>* fractions) {
    ResetRandom();
    gGame.particles = CreateGameParticleSystem();
    for (int i = 0; i < 40; ++i)
      SpawnImpactSpark(Vec3(0, 0, 0), Vec3(1, 0.5f, -0.25f), {235, 145, 35, 1}, WeaponLauncher);
    for (uint32_t t = 0; t <= 1000; t += frameMs) {
      platform_.now = t;
      if (fractions) fractions->push_back(gGame.particles->DrawFraction(t));
      gGame.particles->UpdateParticles();
    }
    return Positions(*gGame.particles);
  };
  std::vector<float> at50, at200;
  const std::vector<Vec3> reference = run(20, &at50);
  EXPECT_EQ(run(40, nullptr), reference);
  EXPECT_EQ(run(5, &at200), reference);
  // At 50 frames a second every frame draws the particles at their positions, as the
  // once-per-frame update did; at 200 they are drawn a quarter step apart.
  for (float f : at50) EXPECT_EQ(f, 1.0f);
  ASSERT_GT(at200.size(), 4u);
  EXPECT_EQ((std::vector<float>(at200.begin() + 1, at200.begin() + 5)),
            (std::vector<float>{0.25f, 0.5f, 0.75f, 1.0f}));

  // The same 51 updates run one by one.
  ResetRandom();
  gGame.particles = CreateGameParticleSystem();
  for (int i = 0; i < 40; ++i)
    SpawnImpactSpark(Vec3(0, 0, 0), Vec3(1, 0.5f, -0.25f), {235, 145, 35, 1}, WeaponLauncher);
  for (int i = 0; i < 51; ++i) gGame.particles->Step();
  EXPECT_EQ(Positions(*gGame.particles), reference);

  // A long stall runs at most MaxUpdatesPerFrame updates and then carries on at the rate.
  ParticleSystem s;
  s.AddParticle(Tagged(0, 1000));
  platform_.now = 0;
  s.UpdateParticles();
  platform_.now = 10000;
  EXPECT_EQ(s.StepsDue(platform_.now), MaxUpdatesPerFrame);
  s.UpdateParticles();
  EXPECT_EQ(s.particle(s.head()).life, 1000 - 1 - MaxUpdatesPerFrame);
  EXPECT_EQ(s.StepsDue(10019), 0);
  EXPECT_EQ(s.StepsDue(10020), 1);
}

// Particles that leave the level (past its box, with margin) end there like those that meet a
// wall: kept one more update where they are, then removed. Inside, they fly on.
TEST_F(ParticlesTest, AParticleLeavingTheLevelIsGoneAtTheNextUpdate) {
  LevelBuilder builder;
  builder.AddWorldBox(Vec3(-100, -20, -100), Vec3(100, 0, 100));
  std::string error;
  ASSERT_TRUE(builder.LoadInto(&gGame.level, &error)) << error;
  const float edge = 100 + static_cast<float>(TestLevelAir) + LevelEdgeMargin;
  const float top = static_cast<float>(TestLevelAir) + LevelEdgeMargin;  // the floor's top is y = 0
  ParticleSystem s;
  Particle out = Tagged(0, 1000);
  out.position = Vec3(edge - 5, 50, 0);
  out.velocity = Vec3(10, 0, 0);
  s.AddParticle(out);
  Particle up = Tagged(1, 1000);
  up.position = Vec3(0, top - 25, 0);
  up.velocity = Vec3(0, 10, 0);
  s.AddParticle(up);
  Particle inside = Tagged(2, 1000);
  inside.position = Vec3(0, 50, 0);
  inside.velocity = Vec3(0, 0, 10);
  s.AddParticle(inside);

  s.Step();  // tag 0 crosses the edge
  EXPECT_EQ(Find(s, 0)->life, 1);
  EXPECT_FLOAT_EQ(Find(s, 0)->position.x, edge + 5);
  EXPECT_GT(Find(s, 1)->life, 1);
  s.Step();
  s.Step();  // tag 1 crosses at its third move
  EXPECT_EQ(Tags(s), (std::vector<float>{2, 1}));
  EXPECT_EQ(Find(s, 1)->life, 1);
  s.Step();
  EXPECT_EQ(Tags(s), (std::vector<float>{2}));
  EXPECT_GT(Find(s, 2)->life, 990);
}
