// Player movement physics with a scripted clock and keys on built levels: standing, steps,
// walls, a long first fall, flying without gravity, and the jump at several frame rates.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "core/game_state.h"
#include "player/physics.h"
#include "support/fake_platform.h"
#include "support/level_builder.h"

namespace {

constexpr float Rest = 50.0f + TraceEpsilon;  // eye height above the floor when standing

class Physics : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetGameState();
    ResetPlayerPhysics();
  }
  void TearDown() override { gGame.level = Level(); }

  // A floor whose top is y = 0, 2000 units square, plus whatever the test adds.
  void LoadWith(LevelBuilder builder) {
    builder.AddWorldBox(Vec3(-1000, -20, -1000), Vec3(1000, 0, 1000));
    std::string error;
    ASSERT_TRUE(builder.LoadInto(&gGame.level, &error)) << error;
  }

  // Eye at p looking along +x.
  void Place(Vec3 p) {
    gGame.camera.PositionCamera(p.x, p.y, p.z, p.x + 100, p.y, p.z, 0, 1, 0);
    gGame.camera.moveStartPosition = gGame.camera.position;
    gGame.camera.moveStartView = gGame.camera.view;
  }

  // One frame as the game runs it: camera update (clock, keys), then physics.
  void Frame(uint32_t milliseconds) {
    fake.now += milliseconds;
    gGame.camera.UpdateCamera();
    ApplyPlayerPhysics();
  }

  float Eye() const { return gGame.camera.position.y; }

  FakePlatform fake;
};

}  // namespace

TEST_F(Physics, StandingOnFlatGroundKeepsTheEyeFiftyAboveTheFloor) {
  LoadWith(LevelBuilder());
  Place(Vec3(0, 80, 0));
  for (int i = 0; i < 20; ++i) Frame(10);
  EXPECT_NEAR(Eye(), Rest, 1e-3);
  const Vec3 view = gGame.camera.view;
  for (int i = 0; i < 50; ++i) Frame(10);
  EXPECT_NEAR(Eye(), Rest, 1e-3);
  // The looking direction survives the corrections.
  EXPECT_NEAR(gGame.camera.view.y - Eye(), 0.0f, 1e-3);
  EXPECT_EQ(gGame.camera.view, view);
  // The move check found nothing; gravity ran and was stopped at once.
  EXPECT_STREQ(gPlayerPhysics.moveLine, "Collision activated , !collision = 1.000000");
  EXPECT_EQ(std::strncmp(gPlayerPhysics.gravityLine, "Gravitation activated , !collision = ", 37), 0);
  EXPECT_STREQ(gPlayerPhysics.stepLine, "");

  // Walking on flat ground neither climbs nor sinks.
  fake.held.insert(platform::KeyW);
  for (int i = 0; i < 30; ++i) Frame(10);
  EXPECT_NEAR(Eye(), Rest, 1e-3);
  EXPECT_NEAR(gGame.camera.position.x, 30 * 2.56f, 0.05f);
}

TEST_F(Physics, StepsUpToTwentyFiveAreClimbedInOneFrameHigherOnesStop) {
  LevelBuilder builder;
  builder.AddWorldBox(Vec3(100, 0, -300), Vec3(300, 25, -100));  // 25 high: climbable
  builder.AddWorldBox(Vec3(100, 0, 100), Vec3(300, 26, 300));     // 26 high: a wall
  LoadWith(builder);

  Place(Vec3(0, Rest, -200));
  fake.held.insert(platform::KeyW);
  float before = Eye();
  int climbs = 0;
  for (int i = 0; i < 60; ++i) {
    Frame(20);
    if (Eye() > before + 1) {
      ++climbs;
      EXPECT_NEAR(Eye(), 25 + Rest, 1e-3) << "one frame lifts the eye onto the step";
      EXPECT_GT(gGame.camera.position.x + 17, 100.0f);
      EXPECT_EQ(std::strncmp(gPlayerPhysics.stepLine, "Treppensteigen erkannt", 22), 0);
    }
    before = Eye();
  }
  EXPECT_EQ(climbs, 1);
  EXPECT_NEAR(Eye(), 25 + Rest, 1e-3);
  EXPECT_GT(gGame.camera.position.x, 150.0f);

  Place(Vec3(0, Rest, 200));
  for (int i = 0; i < 60; ++i) Frame(20);
  EXPECT_NEAR(Eye(), Rest, 1e-3);
  EXPECT_LT(gGame.camera.position.x, 100.0f - 17.0f);
  EXPECT_GT(gGame.camera.position.x, 100.0f - 17.5f);
  EXPECT_EQ(std::strncmp(gPlayerPhysics.stepLine, "Kollision mit Mauer", 19), 0);
}

TEST_F(Physics, AWallStopsAndTheMoveSlidesAlongIt) {
  LevelBuilder builder;
  builder.AddWorldBox(Vec3(100, 0, -1000), Vec3(200, 300, 1000));  // face at x = 100
  LoadWith(builder);
  Place(Vec3(0, Rest, 0));
  // Look 45 degrees between +x and +z and walk.
  gGame.camera.view = gGame.camera.position + Vec3(70.710678f, 0, 70.710678f);
  fake.held.insert(platform::KeyW);
  for (int i = 0; i < 100; ++i) Frame(10);
  const Vec3 p = gGame.camera.position;
  EXPECT_LT(p.x, 100.0f - 17.0f);
  EXPECT_GT(p.x, 100.0f - 17.5f);
  // Along the wall the move goes on at the speed's component parallel to it.
  const float along = 100 * 2.56f * 0.70710678f;
  EXPECT_NEAR(p.z, along, 0.02f * along);
  EXPECT_NEAR(Eye(), Rest, 1e-3);
  EXPECT_EQ(std::strncmp(gPlayerPhysics.stepLine, "Kollision mit Mauer", 19), 0);
}

TEST_F(Physics, AVeryLongFirstFrameFallsOnceOntoTheGround) {
  LoadWith(LevelBuilder());
  Place(Vec3(0, 900, 0));
  fake.now = 0;
  Frame(5000);  // the clock started long ago: 1280 units of fall in one frame
  EXPECT_NEAR(Eye(), Rest, 1e-3);
  EXPECT_NE(std::strstr(gPlayerPhysics.gravityLine, "Gravitation activated"), nullptr);
}

TEST_F(Physics, WithoutGravityTheHeightReachedIsKept) {
  LevelBuilder builder;
  builder.AddWorldBox(Vec3(100, 0, -100), Vec3(200, 20, 100));  // a low block to climb over
  LoadWith(builder);
  gGame.gravityOn = false;

  Place(Vec3(0, 300, 500));
  for (int i = 0; i < 30; ++i) Frame(10);
  EXPECT_EQ(Eye(), 300.0f);
  EXPECT_STREQ(gPlayerPhysics.gravityLine, "");

  // Walk over the block: the step lifts the eye, and nothing brings it down after it.
  Place(Vec3(0, Rest, 0));
  fake.held.insert(platform::KeyW);
  for (int i = 0; i < 200; ++i) Frame(5);
  EXPECT_GT(gGame.camera.position.x, 230.0f);
  EXPECT_NEAR(Eye(), 20 + Rest, 1e-3);

  // Flying down with End is stopped by the floor.
  fake.held = {platform::KeyEnd};
  for (int i = 0; i < 100; ++i) Frame(10);
  EXPECT_NEAR(Eye(), Rest, 0.05f);
}

namespace {

struct JumpRun {
  float apex = 0;       // highest eye height above the resting height
  float landing = -1;   // seconds from the start of the jump until the eye is down again
  std::vector<float> heights;
};

// Frame intervals in milliseconds that average the wanted rate on a millisecond clock.
std::vector<uint32_t> FrameTimes(int framesPerSecond, int count) {
  std::vector<uint32_t> times;
  int elapsed = 0;
  for (int i = 1; i <= count; ++i) {
    const int next = (i * 1000 + framesPerSecond / 2) / framesPerSecond;
    times.push_back(static_cast<uint32_t>(next - elapsed));
    elapsed = next;
  }
  return times;
}

}  // namespace

TEST_F(Physics, JumpRisesAndFallsTheSameAtEveryFrameRate) {
  LoadWith(LevelBuilder());
  std::vector<JumpRun> runs;
  const int rates[] = {20, 40, 60, 144, 500};
  for (int rate : rates) {
    ResetPlayerPhysics();
    Place(Vec3(0, Rest, 0));
    for (int i = 0; i < 5; ++i) Frame(10);
    ASSERT_NEAR(Eye(), Rest, 1e-3);

    gGame.jumping = true;  // the right mouse button
    gGame.jumpOffset = JumpStartOffset;
    JumpRun run;
    float t = 0;
    for (uint32_t ms : FrameTimes(rate, rate)) {  // one second
      Frame(ms);
      t += ms / 1000.0f;
      const float height = Eye() - Rest;
      run.heights.push_back(height);
      run.apex = std::max(run.apex, height);
      if (run.landing < 0 && run.apex > 100 && height < 0.5f) run.landing = t;
      EXPECT_GT(height, -1e-3f) << "never below the floor, rate " << rate;
    }
    EXPECT_FALSE(gGame.jumping) << "rate " << rate;
    EXPECT_NEAR(Eye(), Rest, 1e-3) << "rate " << rate;
    runs.push_back(run);
  }

  // At 40 frames per second one frame is one slot: the offsets 2, 12, ... 52 lift the eye,
  // 0.5 tops it off at 162.5, then -9.5, -19.5, ... bring it down until the floor stops it.
  const JumpRun& reference = runs[1];
  const float expected[] = {2, 14, 36, 68, 110, 162, 162.5f, 153, 133.5f, 104, 64.5f, 15, 0};
  for (int i = 0; i < 13; ++i) EXPECT_NEAR(reference.heights[i], expected[i], 1e-3) << "frame " << i;
  EXPECT_NEAR(reference.apex, 162.5f, 1e-3);
  EXPECT_NEAR(reference.landing, 0.325f, 1e-4);

  for (size_t i = 0; i < runs.size(); ++i) {
    EXPECT_NEAR(runs[i].apex, reference.apex, 0.1f * reference.apex) << rates[i] << " fps";
    EXPECT_NEAR(runs[i].landing, reference.landing, 0.1f * reference.landing) << rates[i] << " fps";
  }
}

TEST_F(Physics, GeometryStopsTheJump) {
  LevelBuilder builder;
  builder.AddWorldBox(Vec3(-300, 150, -300), Vec3(300, 154, 300));  // thin ceiling, 100 above the head
  builder.AddWorldBox(Vec3(100, 0, 400), Vec3(200, 500, 600));      // a tall wall
  LoadWith(builder);

  for (int rate : {20, 40, 500}) {
    ResetPlayerPhysics();
    Place(Vec3(0, Rest, 0));
    gGame.jumping = true;
    gGame.jumpOffset = JumpStartOffset;
    float highest = 0;
    for (uint32_t ms : FrameTimes(rate, rate)) {
      Frame(ms);
      highest = std::max(highest, Eye());
    }
    EXPECT_LT(highest, 100.0f) << "the ceiling stops the box, rate " << rate;
    EXPECT_GT(highest, 99.0f) << rate;
    EXPECT_NEAR(Eye(), Rest, 1e-3) << "back on the floor, rate " << rate;
  }

  // Jumping while walking into a wall still rises, and the wall still stops the walk.
  ResetPlayerPhysics();
  Place(Vec3(0, Rest, 500));
  fake.held.insert(platform::KeyW);
  for (int i = 0; i < 40; ++i) Frame(25);
  ASSERT_LT(gGame.camera.position.x, 100.0f - 17.0f);
  gGame.jumping = true;
  gGame.jumpOffset = JumpStartOffset;
  float highest = 0;
  for (int i = 0; i < 40; ++i) {
    Frame(25);
    highest = std::max(highest, Eye() - Rest);
    EXPECT_LT(gGame.camera.position.x, 100.0f - 17.0f);
  }
  EXPECT_NEAR(highest, 162.5f, 1e-2);
  EXPECT_NEAR(Eye(), Rest, 1e-3);
}

namespace {

struct WalkResult {
  int insideFrames = 0;  // frames that ended with the box inside a solid brush
  float lowestEye = 1e30f;
};

// A long scripted walk over the loaded level: random keys, turns and jumps at frame times
// from 2 to 50 ms.
WalkResult RandomWalk(FakePlatform* fake, Vec3 start, int frames) {
  gGame.camera.PositionCamera(start.x, start.y, start.z, start.x, start.y, start.z + 100, 0, 1, 0);
  std::mt19937 random(5);
  const uint32_t frameTimes[] = {2, 7, 16, 25, 50};
  const int keys[] = {platform::KeyW, platform::KeyS, platform::KeyA, platform::KeyD};
  WalkResult result;
  for (int i = 0; i < frames; ++i) {
    if (i % 150 == 0) {
      fake->held = {keys[random() % 4]};
      if (random() % 2) fake->held.insert(keys[random() % 4]);
      fake->mouseX = 512 + static_cast<int>(random() % 200) - 100;  // turn a little
    }
    if (i % 400 == 0 && !gGame.jumping) {
      gGame.jumping = true;
      gGame.jumpOffset = JumpStartOffset;
    }
    fake->now += frameTimes[(i / 300) % 5];
    gGame.camera.UpdateCamera();
    ApplyPlayerPhysics();
    const Vec3 p = gGame.camera.position;
    result.insideFrames += gGame.level.Trace(p, p, gGame.playerBoxExtents).allSolid;
    result.lowestEye = std::min(result.lowestEye, p.y);
  }
  return result;
}

}  // namespace

// A closed yard with a ramp, stairs, pillars, a low roof and a thin beam: the player's box
// must never end a frame inside solid geometry, whatever the keys, jumps and frame times.
TEST_F(Physics, WalkingAndJumpingNeverEndsInsideSolid) {
  LevelBuilder builder;
  builder.AddWorldBox(Vec3(-620, 0, -620), Vec3(-600, 400, 620));  // yard walls
  builder.AddWorldBox(Vec3(600, 0, -620), Vec3(620, 400, 620));
  builder.AddWorldBox(Vec3(-600, 0, -620), Vec3(600, 400, -600));
  builder.AddWorldBox(Vec3(-600, 0, 600), Vec3(600, 400, 620));
  // A ramp rising along +x to 100 units (file coordinates, z up): z <= (x - 100) / 2.
  builder.AddBrush({{{-0.4472136f, 0, 0.8944272f}, -44.72136f},
                    {{1, 0, 0}, 300},
                    {{0, 0, -1}, 0},
                    {{0, -1, 0}, 500},
                    {{0, 1, 0}, -300}});
  for (int i = 0; i < 8; ++i) {  // stairs of 15
    builder.AddWorldBox(Vec3(-500.0f + 30 * i, 0, 300), Vec3(-200, 15.0f * (i + 1), 500));
  }
  for (int i = 0; i < 5; ++i) builder.AddWorldBox(Vec3(-400.0f + 150 * i, 0, -60), Vec3(-360.0f + 150 * i, 400, -20));
  builder.AddWorldBox(Vec3(100, 120, 100), Vec3(500, 130, 500));    // low roof
  builder.AddWorldBox(Vec3(-600, 170, -200), Vec3(600, 172, -180));  // thin beam
  LoadWith(builder);

  const WalkResult walk = RandomWalk(&fake, Vec3(0, Rest, -300), 20000);
  EXPECT_EQ(walk.insideFrames, 0);
  EXPECT_GT(walk.lowestEye, Rest - 1e-3f);
}

// The compiled default level from its start point: the player lands, never drops out and
// never ends a frame inside a brush.
TEST_F(Physics, TheDefaultLevelHoldsThePlayer) {
  std::ifstream in(KORVALIS_GAME_DIR "/maps/korvalis.bsp", std::ios::binary);
  if (!in) GTEST_SKIP() << "the default level has not been compiled";
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string error;
  ASSERT_TRUE(gGame.level.Parse(bytes.data(), bytes.size(), &error)) << error;
  float lowest = 1e30f;
  for (const BspLeaf& leaf : gGame.level.leaves) {
    lowest = std::min<float>(lowest, std::min(leaf.mins[1], leaf.maxs[1]));
  }

  gGame.camera.PositionCamera(587, 347, -404, 0, 480, 0, 0, 1, 0);
  for (int i = 0; i < 100; ++i) Frame(10);
  const float landed = Eye();
  EXPECT_LT(landed, 347.0f);
  for (int i = 0; i < 100; ++i) Frame(10);
  EXPECT_NEAR(Eye(), landed, 1e-3) << "standing still keeps the height";

  const WalkResult walk = RandomWalk(&fake, gGame.camera.position, 20000);
  EXPECT_GT(walk.lowestEye, lowest + 50);
  EXPECT_EQ(walk.insideFrames, 0) << "sloped brushes need their bevel sides";
}

// Collision off, the player flies out of the level; turned back on there, he is put back
// where he last stood inside, looking the same way, and stands there. Inside the level (or
// within the margin past its box) nothing is moved.
TEST_F(Physics, CollisionBackOnOutsideTheLevelReturnsToTheLastPlaceInside) {
  LoadWith(LevelBuilder());
  Place(Vec3(100, Rest, 200));
  for (int i = 0; i < 10; ++i) Frame(10);
  const Vec3 stood = gGame.camera.position;
  const Vec3 looked = gGame.camera.view - stood;
  ASSERT_NEAR(stood.y, Rest, 1e-3);

  const float edge = static_cast<float>(TestLevelAir) + LevelEdgeMargin;  // above the floor's top
  struct Case { Vec3 flownTo; bool returns; } cases[] = {
      {Vec3(100, edge + 1000, 200), true},      // far up in the sky
      {Vec3(5000, 300, 200), true},             // beside the level
      {Vec3(100, -1000 - edge, 200), true},     // below it
      {Vec3(100, edge - 10, 200), false},       // high, but inside: falls from there
  };
  for (const Case& c : cases) {
    Place(c.flownTo);  // where the flight without collision ended
    Frame(10);
    if (c.returns) {
      EXPECT_NEAR(gGame.camera.position.x, stood.x, 1e-3);
      EXPECT_NEAR(gGame.camera.position.y, stood.y, 1e-3);
      EXPECT_NEAR(gGame.camera.position.z, stood.z, 1e-3);
      EXPECT_NEAR(Dot(gGame.camera.view - gGame.camera.position, looked), Dot(looked, looked), 1e-2);
      for (int i = 0; i < 10; ++i) Frame(10);
      EXPECT_NEAR(Eye(), Rest, 1e-3) << "stands where he stood";
    } else {
      EXPECT_LT(Eye(), c.flownTo.y);
      EXPECT_GT(Eye(), c.flownTo.y - 100);
      for (int i = 0; i < 1000 && Eye() > Rest + 1; ++i) Frame(10);
      EXPECT_NEAR(Eye(), Rest, 1e-3);
      Place(stood + looked * 0);  // back for the next case
      Frame(10);
    }
  }
}
