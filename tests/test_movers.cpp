// The level's movers and triggers on the compiled movers level (content/movers.map): each
// mover's place over time against its keys, riding, doors opened by coming near, by a shot
// and by their button, doors and lifts turning round on a body (nobody ever inside solid),
// the jump pad and the teleporter with the game's own frame steps, a grenade on a moved door,
// bad keys, and the loader's checks of the models lump. Then levels keyed the way other tools
// key theirs, walked through by the player.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "combat/shots.h"
#include "core/game_state.h"
#include "movers/level_bodies.h"
#include "movers/movers.h"
#include "player/physics.h"
#include "support/compiled_level.h"
#include "support/fake_platform.h"
#include "support/text_file.h"
#include "tools/levelc/level_compiler.h"

namespace {

const BspFileData& MoversLevelData() {
  static const BspFileData data = [] {
    BspFileData d;
    std::string error;
    CompileOptions options;
    options.threads = 2;
    EXPECT_TRUE(CompileLevel(ReadTextFile(KORVALIS_SOURCE_DIR "/content/movers.map"), options, &d, nullptr, &error))
        << error;
    return d;
  }();
  return data;
}

constexpr float Step = 0.01f;  // seconds per mover step in the tests
const Vec3 Player = PlayerExtents;

// The game's frame steps for the player on a loaded level.
class PlayerOnLevel : public ::testing::Test {
 protected:
  // Loads the level and sets up its movers (no line on stderr: no bad keys); the bots stay far away.
  void Load(const BspFileData& data) {
    ResetGameState();
    ResetPlayerPhysics();
    std::string error;
    ASSERT_TRUE(LoadCompiled(data, &gGame.level, &error)) << error;
    testing::internal::CaptureStderr();
    SetUpLevelMovers();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    for (Bot& bot : gGame.bots) bot.position = bot.previousPosition = Vec3(-5000, 0, -5000);
  }
  void TearDown() override { gGame.level = Level(); }

  Level& level() { return gGame.level; }
  LevelMovers& movers() { return gGame.movers; }

  void ExpectFree(const Body& body) {
    const TraceResult r = level().Trace(body.position, body.position, body.extents);
    EXPECT_FALSE(r.allSolid) << "a body inside solid at " << body.position.x << " " << body.position.y << " "
                             << body.position.z;
    for (size_t m = 1; m < level().models.size(); ++m)
      EXPECT_FALSE(level().ModelHoldsBox(static_cast<int>(m), body.position, body.extents)) << "inside model " << m;
  }

  // The player placed with the eye at p looking along `look`.
  void PlacePlayer(Vec3 p, Vec3 look = Vec3(1, 0, 0)) {
    gGame.camera.PositionCamera(p.x, p.y, p.z, p.x + look.x * 100, p.y, p.z + look.z * 100, 0, 1, 0);
    gGame.camera.moveStartPosition = gGame.camera.position;
    gGame.camera.moveStartView = gGame.camera.view;
  }

  // The game's frame steps for the player and the level (no drawing), 10 ms each.
  void Frames(int count) {
    for (int i = 0; i < count; ++i) {
      fake.now += 10;
      gGame.camera.UpdateCamera();
      RunLevelMovers(MoverSeconds(gFrameCounter.frameInterval), true);
      HoldPlayerInFlight();
      ApplyPlayerPhysics();
      StepPlayerFlight(gFrameCounter.frameInterval);
      PlayerInTriggers();
      ExpectFree(Body{gGame.camera.position, Player});
    }
  }
  Vec3 Eye() const { return gGame.camera.position; }

  FakePlatform fake;
};

class Movers : public PlayerOnLevel {
 protected:
  void SetUp() override { Load(MoversLevelData()); }

  // The mover whose model's box, at rest, holds the point.
  Mover& At(Vec3 p) {
    for (Mover& m : movers().movers) {
      const BspModel& b = level().models[m.model];
      const Vec3 q = p - m.restOffset;
      if (q.x >= b.mins[0] && q.x <= b.maxs[0] && q.y >= b.mins[1] && q.y <= b.maxs[1] && q.z >= b.mins[2] &&
          q.z <= b.maxs[2])
        return m;
    }
    ADD_FAILURE() << "no mover at " << p.x << " " << p.y << " " << p.z;
    return movers().movers.front();
  }

  // Advances the movers for `seconds` with the bodies, checking after every step that none
  // is inside any solid.
  void Run(float seconds, Body* bodies = nullptr, int count = 0) {
    for (float t = 0; t < seconds - Step / 2; t += Step) {
      AdvanceMovers(movers(), level(), Step, bodies, count);
      for (int b = 0; b < count; ++b) ExpectFree(bodies[b]);
    }
  }
};

}  // namespace

TEST_F(Movers, EachMoversPlaceOverTimeFollowsItsKeys) {
  Mover& bobbing = At(Vec3(512, 72, 704));
  Mover& fan = At(Vec3(512, 380, 400));
  Mover& train = At(Vec3(128, 208, 128));
  EXPECT_EQ(bobbing.kind, MoverKind::Bobbing);
  EXPECT_EQ(fan.kind, MoverKind::Rotating);
  EXPECT_EQ(train.kind, MoverKind::Train);
  // Bobbing 48 on a 4-second sine; the fan 90 degrees a second; the train 120 units a second
  // round its corners (0 0 0) -> (0 0 504) -> (304 0 504) -> back.
  struct Case {
    float at;
    float bobY, fanDegrees;
    Vec3 train;
  } cases[] = {
      {1.0f, 48, 90, Vec3(0, 0, 120)},
      {2.0f, 0, 180, Vec3(0, 0, 240)},
      {3.0f, -48, 270, Vec3(0, 0, 360)},
      {5.0f, 48, 90, Vec3(96, 0, 504)},
  };
  float clock = 0;
  for (const Case& c : cases) {
    Run(c.at - clock);
    clock = c.at;
    EXPECT_NEAR(bobbing.offset.y, c.bobY, 0.5f) << "at " << c.at;
    EXPECT_NEAR(std::fmod(fan.degrees + 360, 360.0f), c.fanDegrees, 0.5f) << "at " << c.at;
    EXPECT_NEAR(Magnitude(train.offset - c.train), 0, 0.5f) << "at " << c.at;
    // The level draws and collides the models where the movers are.
    EXPECT_EQ(level().modelPlacements[train.model].offset, train.offset);
  }
  // The loop's whole length brings the train back to its first corner.
  const float loop = 504 + 304 + std::sqrt(304.0f * 304 + 504 * 504);
  Run(loop / 120 - clock);
  EXPECT_NEAR(Magnitude(train.offset), 0, 1.0f);

  // A door that opens when touched: 128 high less its lip 8, at 400 a second, 2 s open.
  Mover& door = At(Vec3(1032, 64, 512));
  Body visitor{Vec3(980, 50.04f, 512), Player};
  Run(0.15f, &visitor, 1);
  EXPECT_NEAR(door.offset.y, 120 * 0.5f, 4.0f);
  Run(0.2f, &visitor, 1);
  EXPECT_EQ(door.phase, MoverPhase::AtFar);
  EXPECT_NEAR(door.offset.y, 120, 1e-3);
  visitor.position = Vec3(600, 50.04f, 512);  // walks away: the door waits 2 s and closes
  Run(1.9f, &visitor, 1);
  EXPECT_EQ(door.phase, MoverPhase::AtFar);
  Run(0.45f, &visitor, 1);
  EXPECT_EQ(door.phase, MoverPhase::AtRest);
  EXPECT_NEAR(door.offset.y, 0, 1e-3);
}

TEST_F(Movers, ThePlayerRidesTheLiftToTheTopAndTheBobbingPlatformUpAndDown) {
  Mover& lift = At(Vec3(320, 8, 960));
  EXPECT_EQ(lift.kind, MoverKind::Plat);
  EXPECT_NEAR(lift.offset.y, -240, 1e-3);  // rests lowered: its top at 16
  PlacePlayer(Vec3(320, 16 + 50.04f, 960), Vec3(-1, 0, 0));
  Frames(10);  // stood on, it rises at 200 a second
  EXPECT_NEAR(Eye().y, 16 + 50 + 20, 2.5f);
  Frames(120);
  EXPECT_EQ(lift.phase, MoverPhase::AtFar);
  EXPECT_NEAR(Eye().y, 256 + 50, 0.5f);
  // Off onto the balcony at the top, then the lift goes down without the player.
  fake.held.insert(platform::KeyW);
  Frames(40);
  fake.held.clear();
  EXPECT_LT(Eye().x, 256 - 17);
  EXPECT_NEAR(Eye().y, 256 + 50, 0.5f);
  Frames(250);
  EXPECT_EQ(lift.phase, MoverPhase::AtRest);
  EXPECT_NEAR(Eye().y, 256 + 50, 0.5f);

  // The bobbing platform (top 80 at rest, 48 up and down): the eye follows it.
  Mover& bobbing = At(Vec3(512, 72, 704));
  PlacePlayer(Vec3(512, 80 + bobbing.offset.y + 55, 704));
  float low = 1e9f, high = -1e9f;
  for (int i = 0; i < 450; ++i) {
    Frames(1);
    if (i < 50) continue;
    EXPECT_NEAR(Eye().y - (80 + bobbing.offset.y), 50, 4.0f) << "frame " << i;
    low = std::fmin(low, Eye().y);
    high = std::fmax(high, Eye().y);
  }
  EXPECT_GT(high - low, 90);
}

TEST_F(Movers, DoorsOpenWhenShotAndFromTheirButtonAndCloseAfterTheirWait) {
  Mover& shootable = At(Vec3(512, 64, 1032));
  Mover& button = At(Vec3(1404, 56, 512));
  Mover& inner = At(Vec3(1216, 64, 376));
  EXPECT_GT(shootable.health, 0);
  EXPECT_FALSE(shootable.openedByTouch);
  EXPECT_FALSE(inner.openedByTouch);  // named: only its button opens it

  // Coming near does not open the door with health; a rifle shot does.
  Body near{Vec3(512, 50.04f, 960), Player};
  Run(1.0f, &near, 1);
  EXPECT_EQ(shootable.phase, MoverPhase::AtRest);
  FireShot(Vec3(512, 60, 800), Vec3(0, 0, 1), WeaponRifle, PlayerOwner);
  for (int i = 0; i < 10; ++i) UpdateShots();
  Run(0.5f, &near, 1);
  EXPECT_EQ(shootable.phase, MoverPhase::AtFar);
  Run(4.5f, &near, 1);  // wait 4
  EXPECT_EQ(shootable.phase, MoverPhase::AtRest);

  // Pressing the button (standing against it) opens the inner door; it closes 3 s later.
  Body presser{Vec3(1400 - 17 - 1, 50.04f, 512), Player};
  Run(0.3f, &presser, 1);
  EXPECT_NE(button.phase, MoverPhase::AtRest);
  EXPECT_NE(inner.phase, MoverPhase::AtRest);
  presser.position = Vec3(1224, 50.04f, 500);
  Run(0.5f, &presser, 1);
  EXPECT_EQ(inner.phase, MoverPhase::AtFar);
  Run(3.5f, &presser, 1);
  EXPECT_EQ(inner.phase, MoverPhase::AtRest);
}

TEST_F(Movers, AClosingDoorAndADescendingLiftMeetingABodyGoBack) {
  // The door into room D, opened by its button: as it comes down a body steps under it; it
  // stops on the body's head and goes back up. No step leaves the body inside it.
  Mover& door = At(Vec3(1216, 64, 376));
  Body presser{Vec3(1400 - 17 - 1, 50.04f, 512), Player};
  Run(0.5f, &presser, 1);
  ASSERT_EQ(door.phase, MoverPhase::AtFar);
  presser.position = Vec3(1300, 50.04f, 600);
  for (int i = 0; i < 400 && door.phase != MoverPhase::Returning; ++i) Run(Step, &presser, 1);
  ASSERT_EQ(door.phase, MoverPhase::Returning);
  Body under{Vec3(1216, 50.04f, 376), Player};
  Run(0.3f, &under, 1);
  EXPECT_GT(door.offset.y, 100 - 1);  // turned round over the head (top 100.04)
  EXPECT_TRUE(door.phase == MoverPhase::Going || door.phase == MoverPhase::AtFar);

  // A body under the raised lift: the lift comes down onto it and goes back up.
  Mover& lift = At(Vec3(320, 8, 960));
  Body rider{Vec3(320, 16 + 50.04f, 960), Player};
  Run(1.5f, &rider, 1);
  ASSERT_EQ(lift.phase, MoverPhase::AtFar);
  Body beneath{Vec3(320, 50.04f, 960), Player};
  Run(1.2f, &beneath, 1);
  EXPECT_NE(lift.phase, MoverPhase::AtRest);
  EXPECT_GT(lift.offset.y, -240 + 100 - 1);
}

TEST_F(Movers, TheJumpPadAndTheTeleporterTakeThePlayerAndTheBotsOnTheirWays) {
  // Standing on the pad (top 4): thrown so the path peaks at the target (896 380 160).
  PlacePlayer(Vec3(640, 4 + 50.04f, 160), Vec3(0, 0, 1));
  float peak = 0;
  for (int i = 0; i < 300; ++i) {
    Frames(1);
    peak = std::fmax(peak, Eye().y);
  }
  EXPECT_NEAR(peak, 380, 6.0f);
  EXPECT_NEAR(Eye().y, 256 + 50, 0.5f);
  EXPECT_LT(std::hypot(Eye().x - 896, Eye().z - 160), 32);
  EXPECT_FALSE(gGame.playerFlight.active);

  // Into the teleporter on the ledge: at the destination (1600 24 160) on the floor, facing +x.
  PlacePlayer(Vec3(976, 256 + 50.04f, 160), Vec3(0, 0, 1));
  Frames(2);
  EXPECT_NEAR(Eye().x, 1600, 0.5f);
  EXPECT_NEAR(Eye().z, 128, 0.5f);
  EXPECT_NEAR(Eye().y, 50, 0.5f);
  const Vec3 look = NormalizeOrZero(gGame.camera.view - gGame.camera.position);
  EXPECT_NEAR(look.x, 1, 1e-3);
  EXPECT_NEAR(look.z, 0, 1e-3);

  // A bot takes the same ways, tick by tick: onto the ledge, then into room E.
  Bot& bot = gGame.bots[0];
  bot.position = bot.previousPosition = Vec3(640, 4 + 45.04f, 160);
  for (int tick = 0; tick < 3 * 85; ++tick) BotsInTriggers(1.0f / 85);
  EXPECT_NEAR(bot.position.y, 256 + 45, 0.5f);
  EXPECT_LT(std::hypot(bot.position.x - 896, bot.position.z - 160), 32);
  bot.position = bot.previousPosition = Vec3(976, 256 + 45.04f, 160);
  BotsInTriggers(1.0f / 85);
  EXPECT_NEAR(bot.position.x, 1600, 0.5f);
  EXPECT_NEAR(bot.position.y, 45, 0.5f);
}

TEST_F(Movers, AGrenadeBurstsOnAMovedDoorWhereTheDoorIsNow) {
  gGame.particles = std::make_unique<ParticleSystem>();
  Mover& door = At(Vec3(1032, 64, 512));
  Body visitor{Vec3(980, 50.04f, 512), Player};
  Run(0.15f, &visitor, 1);  // half open: the door's bottom at 60
  ASSERT_NEAR(door.offset.y, 60, 0.5f);
  // Where the door is now it stops the grenade (box 5: its centre 5 short of the door's face
  // at 1026); below it, where the door was, the grenade flies on to room B's east wall.
  struct Case {
    float height, burstX;
  } cases[] = {{100, 1026 - 5}, {30, 1408 - 5}};
  for (const Case& c : cases) {
    const int slot = gGame.nextShotSlot;
    FireShot(Vec3(900, c.height, 512), Vec3(1, 0, 0), WeaponLauncher, PlayerOwner);
    for (int i = 0; i < 100 && gGame.shots[slot].active; ++i) UpdateShots();
    EXPECT_FALSE(gGame.shots[slot].active);
    EXPECT_NEAR(gGame.shots[slot].position.x, c.burstX, 0.1f) << "at height " << c.height;
  }
}

TEST(MoversBadKeys, AnEntityWithBadKeysStaysStillWithOneLineOnStderr) {
  const char* loop = "entity_begin\n key classname path_corner\n key targetname c1\n key target c1\n"
                     " key origin 100 100 100\nentity_end\n";
  struct Case {
    const char* keys;
    const char* after;  // more entities
    const char* said;
  } cases[] = {
      {"key classname func_door\n key speed 0", "", "speed must be above 0"},
      {"key classname func_train\n key target nowhere", "", "names nothing"},
      {"key classname func_button\n key targetname me\n key target me", "", "names itself"},
      {"key classname func_train\n key target c1", loop, "no length"},
      {"key classname func_bobbing\n key height 1e7", "", "too large"},
      {"key classname trigger_push\n key target nowhere", "", "names nothing"},
  };
  for (const Case& c : cases) {
    std::string text = "material m textures/korvalis/concrete 128\nbox m -500 -16 -500  500 0 500\nentity_begin\n " +
                       std::string(c.keys) + "\n box " +
                       (std::string(c.keys).find("trigger") != std::string::npos ? "trigger" : "m") +
                       " 0 0 0  64 64 64\nentity_end\n" + c.after;
    BspFileData data;
    std::string error;
    CompileOptions options;
    options.threads = 1;
    ASSERT_TRUE(CompileLevel(text, options, &data, nullptr, &error)) << error << "\n" << text;
    Level level;
    ASSERT_TRUE(LoadCompiled(data, &level, &error)) << error;
    LevelMovers movers;
    testing::internal::CaptureStderr();
    SetUpMovers(level, &movers);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(c.said), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    const Vec3 before = level.modelPlacements[1].offset;
    Body body{Vec3(32, 200, 32), Vec3(17, 50, 17)};
    for (int i = 0; i < 300; ++i) AdvanceMovers(movers, level, 0.02f, &body, 1);
    EXPECT_EQ(level.modelPlacements[1].offset, before) << c.keys;
    EXPECT_EQ(level.modelPlacements[1].degrees, 0.0f);
    const TriggerOutcome o = TouchTriggers(movers, level, Body{Vec3(32, 32, 32), Vec3(17, 50, 17)});
    EXPECT_FALSE(o.thrown || o.teleported);
  }
}

TEST(MoversLoader, ModelsOutsideTheirLumpsAreRefused) {
  struct Case {
    void (*spoil)(BspModel*);
    const char* reason;
  } cases[] = {
      {[](BspModel* m) { m->faceCount = 1 << 30; }, "model 1 face range"},
      {[](BspModel* m) { m->firstBrush = -1; }, "model 1 brush range"},
      {[](BspModel* m) { m->maxs[2] = NAN; }, "model 1 box"},
      {[](BspModel* m) { m->mins[0] = 1e9f; }, "model 1 box"},
  };
  for (const Case& c : cases) {
    BspFileData data = MoversLevelData();
    ASSERT_GT(data.models.size(), 10u);
    c.spoil(&data.models[1]);
    Level level;
    std::string error;
    EXPECT_FALSE(LoadCompiled(data, &level, &error));
    EXPECT_EQ(error, c.reason);
    EXPECT_TRUE(level.models.empty());
  }
}

namespace {

// A hall (x 0..1024, z 0..1024, roof 600) parted by a wall at x 500..516 with a doorway
// (z 448..576, 128 high), a balcony at x 0..100, z 700..1024 (top %B) and a ledge at
// x 832..1024, z 0..300 (top %L).
std::string OtherToolsHall(int balcony, int ledge) {
  const std::string b = std::to_string(balcony), l = std::to_string(ledge);
  return "material m textures/korvalis/concrete 128\n"
         "box m -16 -16 -16  1040 0 1040\nbox m -16 600 -16  1040 616 1040\n"
         "box m -16 0 -16  0 600 1040\nbox m 1024 0 -16  1040 600 1040\n"
         "box m -16 0 -16  1040 600 0\nbox m -16 0 1024  1040 600 1040\n"
         "box m 500 0 0  516 600 448\nbox m 500 0 576  516 600 1024\nbox m 500 128 448  516 600 576\n"
         "box m 0 0 700  100 " + b + " 1024\nbox m 832 0 0  1024 " + l + " 300\n";
}

// Two levels keyed as other tools key theirs, most keys left at their defaults; targets by
// target / targetname pairs.
// Level one: a door sliding down (angle -2) that a trigger_multiple in front of it fires; a lift
// built as a tall block with no height (it sinks by its height less the default lip); a jump
// pad aiming at an info_notnull; a teleporter to a target_position facing -x (angle 180).
const std::string LevelOne = OtherToolsHall(256, 200) +
    "entity_begin\n key classname func_door\n key angle -2\n key targetname gate\n"
    " box m 502 0 448  514 128 576\nentity_end\n"
    "entity_begin\n key classname trigger_multiple\n key target gate\n box trigger 380 0 448  500 100 576\nentity_end\n"
    "entity_begin\n key classname func_plat\n box m 100 0 800  228 256 928\nentity_end\n"
    "entity_begin\n key classname trigger_push\n key target jump\n box trigger 640 0 100  704 32 164\nentity_end\n"
    "entity_begin\n key classname info_notnull\n key targetname jump\n key origin 900 330 132\nentity_end\n"
    "entity_begin\n key classname trigger_teleport\n key target away\n box trigger 940 200 100  1004 280 164\n"
    "entity_end\n"
    "entity_begin\n key classname target_position\n key targetname away\n key origin 200 20 200\n key angle 180\n"
    "entity_end\n";
// Level two: a door sliding sideways (angle 90: towards -z) that a button beside it opens; a
// lift with its own lip and speed; a jump pad aiming at a target_position; a teleporter to a
// misc_teleporter_dest facing -z (angle 90).
const std::string LevelTwo = OtherToolsHall(192, 160) +
    "entity_begin\n key classname func_door\n key angle 90\n key targetname hatch\n key wait 3\n"
    " box m 502 0 448  514 128 576\nentity_end\n"
    "entity_begin\n key classname func_button\n key angle 0\n key target hatch\n box m 484 40 600  500 72 632\n"
    "entity_end\n"
    "entity_begin\n key classname func_plat\n key lip 16\n key speed 300\n box m 100 0 800  228 192 928\nentity_end\n"
    "entity_begin\n key classname trigger_push\n key target hop\n box trigger 600 0 200  664 32 264\nentity_end\n"
    "entity_begin\n key classname target_position\n key targetname hop\n key origin 920 290 150\nentity_end\n"
    "entity_begin\n key classname trigger_teleport\n key target there\n box trigger 940 160 100  1004 240 164\n"
    "entity_end\n"
    "entity_begin\n key classname misc_teleporter_dest\n key targetname there\n key origin 250 16 300\n"
    " key angle 90\nentity_end\n";

// One walk of the player: holding the forward key from `from` (or from where the last walk
// ended) along `look` until the eye is across inside the box or thrown, then `settle` frames
// more; the eye must end inside the box, facing `facing` when that is given. (A lift waits 1 s
// at its top and goes down again: the walk off it follows at once.)
struct Walk {
  const char* what;
  bool place;
  Vec3 from, look;
  Vec3 mins, maxs;
  int settle;
  Vec3 facing;
};

// `first`, then the walks both keyed levels end with: onto the lift and up (`liftRise` frames
// more) and off it onto the balcony, the eye `liftTop` high; the jump pad from `padFrom` onto
// the ledge, the eye within 22 of `ledge` (1 in height); the teleporter from the ledge to
// `arrival` (within 1), facing `facing`.
std::vector<Walk> ThenLiftPadAndTeleporter(std::vector<Walk> first, float liftTop, int liftRise, Vec3 padFrom,
                                           Vec3 ledge, Vec3 arrival, Vec3 facing) {
  const Vec3 east(1, 0, 0), west(-1, 0, 0), north(0, 0, -1);
  const Vec3 nearLedge(22, 1, 22), nearArrival(1, 1, 1);
  const std::vector<Walk> rest = {
      {"onto the lift, up", true, Vec3(300, 50.04f, 864), west, Vec3(110, liftTop - 1, 820),
       Vec3(150, liftTop + 1, 908), liftRise, Vec3()},
      {"off the lift onto the balcony", false, Vec3(), west, Vec3(0, liftTop - 1, 700), Vec3(60, liftTop + 1, 1024),
       10, Vec3()},
      {"the jump pad onto the ledge", true, padFrom, north, ledge - nearLedge, ledge + nearLedge, 300, Vec3()},
      {"the teleporter", true, Vec3(880, ledge.y + 0.04f, 132), east, arrival - nearArrival, arrival + nearArrival, 5,
       facing}};
  first.insert(first.end(), rest.begin(), rest.end());
  return first;
}

}  // namespace

TEST_F(PlayerOnLevel, OnLevelsKeyedAsOtherToolsKeyThemThePlayerTakesDoorsLiftsPadsAndTeleporters) {
  const Vec3 east(1, 0, 0), west(-1, 0, 0), north(0, 0, -1);
  struct Case {
    const std::string& source;
    std::vector<Walk> walks;
  } cases[] = {
      {LevelOne, ThenLiftPadAndTeleporter({{"through the door its trigger opens", true, Vec3(300, 50.04f, 512), east,
                                            Vec3(560, 49, 448), Vec3(1000, 51, 576), 10, Vec3()}},
                                          306, 110, Vec3(672, 50.04f, 300), Vec3(900, 250, 132), Vec3(200, 50, 200),
                                          west)},
      {LevelTwo, ThenLiftPadAndTeleporter({{"against the button", true, Vec3(400, 50.04f, 616), east,
                                            Vec3(466, 49, 600), Vec3(468, 51, 632), 60, Vec3()},
                                           {"through the door the button opened", true, Vec3(400, 50.04f, 512), east,
                                            Vec3(560, 49, 448), Vec3(1000, 51, 576), 10, Vec3()}},
                                          242, 50, Vec3(632, 50.04f, 400), Vec3(920, 210, 150), Vec3(250, 50, 300),
                                          north)},
  };
  for (const Case& c : cases) {
    BspFileData data;
    std::string error;
    ASSERT_TRUE(CompileLevel(c.source, QuickCompileOptions(), &data, nullptr, &error)) << error;
    Load(data);
    for (const Walk& w : c.walks) {
      SCOPED_TRACE(w.what);
      if (w.place) PlacePlayer(w.from, w.look);
      auto across = [&] { return Eye().x >= w.mins.x && Eye().x <= w.maxs.x && Eye().z >= w.mins.z && Eye().z <= w.maxs.z; };
      fake.held.insert(platform::KeyW);
      for (int i = 0; i < 600 && !across() && !gGame.playerFlight.active; ++i) Frames(1);
      fake.held.clear();
      Frames(w.settle);
      const Vec3 e = Eye();
      EXPECT_TRUE(across() && e.y >= w.mins.y && e.y <= w.maxs.y) << e.x << " " << e.y << " " << e.z;
      if (!(w.facing == Vec3())) {
        const Vec3 look = NormalizeOrZero(gGame.camera.view - gGame.camera.position);
        EXPECT_NEAR(Magnitude(Vec3(look.x, 0, look.z) - w.facing), 0, 1e-3);
      }
    }
  }
}
