// The bots: headings and turning, arrival, getting unstuck, the search / attack / hunt
// transitions with their shots, slow motion, the two bot keys, the animation choices and
// the information panel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "bots/bot.h"
#include "bots/waypoints.h"
#include "combat/shots.h"
#include "core/game_state.h"
#include "core/random.h"
#include "level/trace.h"
#include "support/fake_platform.h"
#include "support/level_builder.h"
#include "support/small_graphs.h"

namespace {

struct RecordedShot {
  Vec3 origin, direction;
  int weapon, owner;
};
std::vector<RecordedShot> gShots;
void RecordShot(Vec3 origin, Vec3 direction, int weapon, int owner) {
  gShots.push_back({origin, direction, weapon, owner});
}

// Waypoints in open space at height 0 with the given links; routes built.
void MakeGraph(const std::vector<Vec3>& points, const std::vector<std::pair<int, int>>& links) {
  SetWaypointGraph(points, links);
  BuildRouteTable();
}

// A fresh bot at the origin facing `heading`, making for waypoint `target` (its goal too)
// at walking speed 1 or running speed 4.
Bot MakingFor(int target, int moveMode, float heading) {
  Bot bot;
  bot.moveMode = moveMode;
  bot.walkSpeed = 1;
  bot.runSpeed = 4;
  bot.heading = heading;
  bot.targetWaypoint = target;
  bot.goalWaypoint = target;
  bot.steerMode = SteerAtWaypoint;
  return bot;
}

class Bots : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetGameState();
    gShots.clear();
    gBotShot = RecordShot;
    fake.now = 5000;
  }
  void TearDown() override {
    gBotShot = FireShot;
    gGame.level = Level();
  }
  void Tick() {
    fake.now += 12;
    UpdateBot(0);
    UpdateBot(1);
    MoveBot(0);
    MoveBot(1);
  }
  FakePlatform fake;
};

// A direction whose heading is `degrees`.
Vec3 Direction(float degrees) {
  const float a = (360.0f - degrees) * 0.017453293f;
  return Vec3(std::cos(a), 0, std::sin(a));
}

}  // namespace

TEST_F(Bots, HeadingsFollowTheDirectionInTheHorizontalPlane) {
  struct Case {
    float x, z, degrees;
  };
  const Case cases[] = {{1, 0, 360}, {0, 1, 270}, {-1, 0, 180}, {0, -1, 90},
                        {1, -1, 45},  {0, 0, 360}, {-1, 1, 225}, {-1, -1, 135}};
  for (const Case& c : cases) EXPECT_NEAR(HeadingFromDirection(c.x, c.z), c.degrees, 1e-3) << c.x << "," << c.z;
  // `facing` made from a heading points back the same way.
  for (float degrees : {10.0f, 95.0f, 200.0f, 359.0f}) {
    Vec3 d = Direction(degrees);
    EXPECT_NEAR(HeadingFromDirection(d.x, d.z), degrees, 1e-3);
  }
}

TEST_F(Bots, TurningTakesTheShortWayAndSnapsWithinThreeDegrees) {
  Bot& bot = gGame.bots[0];
  bot.steerMode = 0;  // keep moveDirection as set
  bot.moveMode = MoveStand;
  bot.heading = 10;
  bot.moveDirection = Direction(350);
  std::vector<float> headings;
  for (int tick = 0; tick < 4; ++tick) {
    MoveBot(0);
    headings.push_back(bot.heading);
  }
  ASSERT_EQ(headings.size(), 4u);
  EXPECT_FLOAT_EQ(headings[0], 5);
  EXPECT_FLOAT_EQ(headings[1], 0);
  EXPECT_FLOAT_EQ(headings[2], 355);
  EXPECT_NEAR(headings[3], 350, 1e-3);  // snapped onto the desired heading
  EXPECT_FLOAT_EQ(headings[3], bot.desiredHeading);
  EXPECT_NEAR(bot.facing.x, bot.moveDirection.x, 1e-5);
  EXPECT_NEAR(bot.facing.z, bot.moveDirection.z, 1e-5);

  struct Case {
    float from, to, after;  // one tick
    bool slow;
  };
  const Case cases[] = {{100, 102.9f, 102.9f, false}, {100, 97.1f, 97.1f, false},
                        {100, 103.2f, 105, false},    {100, 96.8f, 95, false},
                        {100, 280, 105, false},       {100, 281, 95, false},
                        {100, 110, 100.25f, true},    {358, 5, 3, false}};
  for (const Case& c : cases) {
    bot.heading = c.from;
    bot.moveDirection = Direction(c.to);
    gGame.slowMotion = c.slow;
    MoveBot(0);
    EXPECT_NEAR(bot.heading, c.after, 2e-3) << c.from << " -> " << c.to;
  }
}

TEST_F(Bots, AMoveIntoAWallGoesUpToItAndSlidesOnFromThereIntoTheCorner) {
  // Walls facing -x (x >= 100) and -z (z >= 100): the box (half-width 17) stops 0.03 short.
  LevelBuilder builder;
  builder.AddWorldBox(Vec3(100, -500, -500), Vec3(200, 500, 500));
  builder.AddWorldBox(Vec3(-500, -500, 100), Vec3(100, 500, 200));
  ASSERT_TRUE(builder.LoadInto(&gGame.level));
  const float stop = 100 - 17 - TraceEpsilon;
  struct Case {
    Vec3 start, end, expected;
  };
  const Case cases[] = {
      {{0, 0, 0}, {30, 0, -20}, {30, 0, -20}},           // free
      {{80, 0, 0}, {90, 0, 0}, {stop, 0, 0}},            // head-on: up to the wall
      {{80, 0, 0}, {84, 0, -4}, {stop, 0, -4}},          // late contact: the way along it kept
      {{80, 0, 0}, {84, 3, -4}, {stop, 3, -4}},          // and its height
      {{80, 0, 80}, {90, 0, 90}, {stop, 0, stop}},       // into the corner: stops in it
      {{80, 0, 40}, {88, 0, 44}, {stop, 0, 44}},         // along the wall toward the corner
  };
  for (const Case& c : cases) {
    const Vec3 end = BodySlide(gGame.level, c.start, c.end);
    EXPECT_NEAR(end.x, c.expected.x, 0.1f) << c.end.x << "," << c.end.z;
    EXPECT_NEAR(end.y, c.expected.y, 0.1f) << c.end.x << "," << c.end.z;
    EXPECT_NEAR(end.z, c.expected.z, 0.1f) << c.end.x << "," << c.end.z;
    EXPECT_FALSE(gGame.level.Trace(end, end, BodyExtents).allSolid);
  }
  // The tracer's own slide drops the way made before the contact and keeps only the rest:
  // a bot 3 units off a wall, stepping along it at an angle, crept along it at a crawl.
  EXPECT_LT(MoveWithSlide(Vec3(80, 0, 0), Vec3(84, 0, -4)).z, -0.5f);
  EXPECT_GT(MoveWithSlide(Vec3(80, 0, 0), Vec3(84, 0, -4)).z, -1.5f);
}

TEST_F(Bots, BotsSlowIntoCornersAndTurnRoundOnTheSpot) {
  struct Case {
    float heading, desired, share;
  };
  const Case cases[] = {{10, 10, 1},  {0, 60, 0.5f}, {350, 20, 0.8660254f}, {60, 0, 0.5f},
                        {0, 89, 0.0174524f}, {45, 135, 0}, {100, 190, 0}, {100, 280, 0}};
  for (const Case& c : cases)
    EXPECT_NEAR(TurningSpeedShare(c.heading, c.desired), c.share, 1e-4) << c.heading << " -> " << c.desired;
  // A running bot sent back the way it came turns on the spot, then runs: it never strays
  // from the line back (a turn at full speed swings it about 90 units off to one side).
  MakeGraph({Vec3(0, 0, 0), Vec3(-400, 0, 0)}, {{0, 1}});
  Bot& bot = gGame.bots[0];
  bot = MakingFor(1, MoveRun, 360);
  bot.lastWaypoint = 0;
  float widest = 0;
  for (int tick = 0; tick < 200 && bot.lastWaypoint != 1; ++tick) {
    MoveBot(0);
    widest = std::max(widest, std::fabs(bot.position.z));
  }
  EXPECT_EQ(bot.lastWaypoint, 1);
  EXPECT_LT(widest, 30);
}

TEST_F(Bots, ArrivalIsInclusiveAtThirtyUnitsWhateverTheHeight) {
  MakeGraph({Vec3(0, 0, 0), Vec3(100, 0, 0), Vec3(200, 0, 0)}, {{0, 1}, {1, 2}});
  struct Case {
    float dx, dy, dz;
    bool arrived;
  };
  const Case cases[] = {{30, 500, -30, true}, {-30, -500, 30, true}, {30.01f, 0, 0, false},
                        {0, 0, -30.01f, false}, {0, 0, 0, true}};
  for (const Case& c : cases) {
    Bot& bot = gGame.bots[0];
    bot.targetWaypoint = 1;
    bot.goalWaypoint = 2;
    bot.lastWaypoint = 0;
    bot.position = Vec3(100 + c.dx, c.dy, c.dz);
    CheckArrival(0);
    EXPECT_EQ(bot.lastWaypoint, c.arrived ? 1 : 0) << c.dx << "," << c.dz;
    EXPECT_EQ(bot.targetWaypoint, c.arrived ? 2 : 1);
    // Standing exactly on a waypoint gives a zero direction, never NaN.
    EXPECT_FALSE(std::isnan(bot.moveDirection.x));
  }
  // At the goal the next hop is the goal itself: the target stays.
  Bot& bot = gGame.bots[0];
  bot.targetWaypoint = 2;
  bot.position = Vec3(200, 0, 0);
  CheckArrival(0);
  EXPECT_EQ(bot.lastWaypoint, 2);
  EXPECT_EQ(bot.targetWaypoint, 2);
  EXPECT_EQ(bot.moveDirection, Vec3(0, 0, 0));
  // A bot standing exactly on its steering point (a waypoint, or its aim point with the
  // player where it stands) keeps finite fields through whole ticks.
  bot.moveMode = MoveRun;
  MoveBot(0);
  EXPECT_TRUE(std::isfinite(bot.heading) && std::isfinite(bot.facing.x) && std::isfinite(bot.position.x));
  bot.steerMode = SteerAtAimPoint;
  bot.aimPoint = bot.position;
  MoveBot(0);
  EXPECT_EQ(bot.moveDirection, Vec3(0, 0, 0));
  EXPECT_TRUE(std::isfinite(bot.heading) && std::isfinite(bot.facing.y) && std::isfinite(bot.position.z));
}

TEST_F(Bots, BlockedBotReplansOnTheThirtyFirstTickThenTurnsRoundOnTheSpotAndLeaves) {
  // A wall at x 40..60 between the bot and its target 1; waypoint 0 behind the bot is the
  // nearest one in sight. Its route table sends every goal through 0 itself.
  // Side walls at z = +-18 make a slot the bot cannot slide along.
  LevelBuilder builder;
  builder.AddWorldBox(Vec3(40, -200, -200), Vec3(60, 200, 200));
  builder.AddWorldBox(Vec3(-1000, -200, 18), Vec3(60, 200, 60));
  builder.AddWorldBox(Vec3(-1000, -200, -60), Vec3(60, 200, -18));
  ASSERT_TRUE(builder.LoadInto(&gGame.level));
  MakeGraph({Vec3(-200, 0, 0), Vec3(300, 0, 0), Vec3(300, 0, 500), Vec3(300, 0, -500)}, {});
  for (int g = 0; g < 4; ++g) gGame.routes.nextHop[0][g] = 0;
  Bot& bot = gGame.bots[0];
  bot.position = Vec3(22, 0, 0);  // touching the wall
  bot.heading = 360;
  bot.targetWaypoint = 1;
  bot.goalWaypoint = 1;
  bot.lastWaypoint = -1;  // reached none yet, so no random goal can stop it
  bot.moveMode = MoveRun;
  bot.runSpeed = 4;
  bot.steerMode = SteerAtWaypoint;
  for (int tick = 1; tick <= 30; ++tick) {
    MoveBot(0);
    ASSERT_EQ(bot.stuckTicks, tick);
    ASSERT_EQ(bot.targetWaypoint, 1);
  }
  MoveBot(0);  // the 31st blocked tick re-plans toward the nearest visible waypoint
  EXPECT_EQ(bot.targetWaypoint, 0);
  EXPECT_EQ(bot.goalWaypoint, 1);
  EXPECT_EQ(bot.stuckTicks, 0);
  // Waypoint 0 lies behind it: it turns round on the spot (no stuck ticks, no new goal:
  // re-planned on every tick it would turn back and forth between draws), then runs to 0.
  int turning = 0;
  const float pressed = bot.position.x;  // against the wall
  EXPECT_NEAR(pressed, 23, 0.1f);
  for (int tick = 0; tick < 100; ++tick) {
    MoveBot(0);
    if (bot.position.x != pressed) break;
    ++turning;
    ASSERT_EQ(bot.stuckTicks, 0);
  }
  EXPECT_EQ(turning, 18);  // 90 of the 180 degrees at 5 a tick; then it moves as it turns
  int ticks = 0;
  while (bot.lastWaypoint != 0 && ticks++ < 200) MoveBot(0);
  EXPECT_EQ(bot.lastWaypoint, 0);
  EXPECT_EQ(bot.goalWaypoint, 1);

  // Progress is judged against the distance asked for: walking (1 unit a tick) and running
  // in slow motion (0.2) on open floor are never stuck, nor is running straight along x.
  gGame.level = Level();
  struct Pace {
    int mode;
    bool slow;
    float distance;  // after 40 ticks along x
  };
  for (const Pace& pace : {Pace{MoveWalk, false, 40}, Pace{MoveRun, true, 8}, Pace{MoveRun, false, 160}}) {
    gGame.slowMotion = pace.slow;
    bot = MakingFor(1, pace.mode, 360);
    for (int tick = 0; tick < 40; ++tick) MoveBot(0);
    EXPECT_EQ(bot.stuckTicks, 0) << pace.mode << " " << pace.slow;
    EXPECT_NEAR(bot.position.x, pace.distance, 1e-3);
  }
  gGame.slowMotion = false;

  // Still blocked when the nearest visible waypoint is its target: one random goal, the
  // next one only after another 30 blocked ticks.
  ASSERT_TRUE(builder.LoadInto(&gGame.level));
  MakeGraph({Vec3(-200, 0, 0), Vec3(-150, 0, 0)}, {{0, 1}});
  bot = MakingFor(1, MoveRun, 360);  // 1 is the nearest in sight
  bot.position = Vec3(22, 0, 0);
  bot.lastWaypoint = -1;
  bot.moveDirection = Vec3(1, 0, 0);
  bot.steerMode = 0;  // keeps pressing east into the wall
  bot.stuckTicks = 30;
  ResetRandom();
  const int first = RandomInt() % 2;
  RandomInt();
  ResetRandom();
  MoveBot(0);
  EXPECT_EQ(bot.goalWaypoint, first);
  EXPECT_EQ(bot.stuckTicks, 0);
  bot.steerMode = 0;
  bot.moveDirection = Vec3(1, 0, 0);
  for (int tick = 0; tick < 30; ++tick) MoveBot(0);
  EXPECT_EQ(bot.stuckTicks, 30);
  EXPECT_EQ(bot.goalWaypoint, first);
}

TEST_F(Bots, SearchAttackHuntAndSearchAgain) {
  // Open floor; a wall at z 190..210 hides the player's second place.
  LevelBuilder builder;
  builder.AddWorldBox(Vec3(-1000, -200, 190), Vec3(1000, 200, 210));
  ASSERT_TRUE(builder.LoadInto(&gGame.level));
  MakeGraph({Vec3(0, 0, 0), Vec3(400, 0, 0), Vec3(400, 0, 100), Vec3(0, 0, 400)}, {{0, 1}, {1, 2}});
  InitBot(0);
  InitBot(1);
  for (Bot& b : gGame.bots) {
    b.position = Vec3(-300, 0, 0);
    b.targetWaypoint = 0;
    b.goalWaypoint = 1;
    b.lastWaypoint = 2;
  }
  gGame.bots[1].position = Vec3(-300, 0, 300);  // behind the wall: never sees the player
  Bot& bot = gGame.bots[0];

  // The player stands behind bot 0 (facing +x): seen all the same.
  UpdatePlayerWaypoint(Vec3(-500, 40, 0));
  Tick();
  EXPECT_EQ(bot.state, StateAttack);
  EXPECT_EQ(bot.moveMode, MoveStand);
  EXPECT_TRUE(bot.torsoAnimationDirty && bot.legsAnimationDirty);
  EXPECT_EQ(bot.lastSeenPlayerPosition, Vec3(-500, 40, 0));
  EXPECT_EQ(bot.lastSeenPlayerWaypoint, 0);
  EXPECT_TRUE(gShots.empty());
  EXPECT_EQ(gGame.bots[1].state, StateSearch);

  // The next tick fires at once (the first shot needs no wait), from the muzzle along facing.
  const Vec3 before = bot.position;
  const Vec3 facing = bot.facing;
  Tick();
  ASSERT_EQ(gShots.size(), 1u);
  EXPECT_EQ(gShots[0].weapon, 13);
  EXPECT_EQ(gShots[0].owner, 0);
  EXPECT_EQ(gShots[0].direction, facing);
  EXPECT_FLOAT_EQ(gShots[0].origin.x, before.x + facing.x * 50);
  EXPECT_FLOAT_EQ(gShots[0].origin.y, before.y + 20);
  EXPECT_FLOAT_EQ(gShots[0].origin.z, before.z + facing.z * 50);
  EXPECT_EQ(bot.steerMode, SteerAtAimPoint);
  EXPECT_EQ(bot.aimPoint, Vec3(-500, 8, 0));
  EXPECT_EQ(bot.position, before);  // standing
  // It turns toward the player 5 degrees a tick and fires once a second.
  const float heading = bot.heading;
  Tick();
  EXPECT_NEAR(std::fabs(bot.heading - heading), 5, 1e-3);
  for (int tick = 0; tick < 85; ++tick) Tick();  // 86 ticks of 12 ms: 1032 ms
  EXPECT_EQ(gShots.size(), 2u);

  // The player slips behind the wall: hunt, heading for the nearest visible waypoint first
  // and the waypoint where the player was last seen as the goal.
  UpdatePlayerWaypoint(Vec3(0, 0, 400));
  EXPECT_EQ(gGame.playerWaypoint, 3);
  Tick();
  EXPECT_EQ(bot.state, StateHunt);
  EXPECT_EQ(bot.goalWaypoint, 0);
  EXPECT_EQ(bot.targetWaypoint, 0);
  EXPECT_EQ(bot.steerMode, SteerAtWaypoint);
  EXPECT_EQ(bot.moveMode, MoveRun);
  // At the last-seen waypoint without seeing the player: search again with a random goal.
  int ticks = 0;
  while (bot.state == StateHunt && ticks++ < 200) Tick();
  EXPECT_EQ(bot.state, StateSearch);
  EXPECT_EQ(bot.lastWaypoint, 0);

  // Hunting toward a goal linked to the last-seen waypoint keeps hunting toward it.
  bot.state = StateHunt;
  bot.lastSeenPlayerWaypoint = 2;
  bot.goalWaypoint = 1;
  bot.lastWaypoint = 1;
  bot.targetWaypoint = 1;
  bot.position = WaypointPosition(1);
  UpdateBot(0);
  EXPECT_EQ(bot.state, StateHunt);
  EXPECT_EQ(bot.goalWaypoint, 2);
  EXPECT_EQ(bot.targetWaypoint, 2);

  // Sighted again while hunting: attack.
  UpdatePlayerWaypoint(Vec3(-500, 40, 0));
  UpdateBot(0);
  EXPECT_EQ(bot.state, StateAttack);
}

TEST_F(Bots, SlowMotionMovesATwentiethAndFiresOncePerTwentyOneOpportunities) {
  MakeGraph({Vec3(0, 0, 0), Vec3(1000, 0, 0)}, {{0, 1}});
  InitBot(0);
  InitBot(1);
  gGame.slowMotion = true;
  Bot& bot = gGame.bots[0];
  bot.position = Vec3(0, 0, 0);
  bot.heading = 360;
  bot.targetWaypoint = bot.goalWaypoint = 1;
  MoveBot(0);
  EXPECT_NEAR(bot.position.x, 0.2f, 1e-6);

  // Both bots attack a visible player; each tick is a new opportunity for each of them.
  UpdatePlayerWaypoint(Vec3(500, 0, 500));
  for (Bot& b : gGame.bots) b.state = StateAttack;
  int opportunities = 0;
  std::vector<int> firedAt;
  for (int tick = 0; tick < 21; ++tick) {
    fake.now += 1000;
    for (int i = 0; i < 2; ++i) {
      size_t shots = gShots.size();
      UpdateBot(i);
      ++opportunities;
      if (gShots.size() > shots) firedAt.push_back(opportunities);
    }
  }
  EXPECT_EQ(firedAt, (std::vector<int>{21, 42}));
  EXPECT_EQ(gShots[0].owner, 0);
  EXPECT_EQ(gShots[1].owner, 1);
  EXPECT_EQ(gGame.slowShotCounter, 0);
}

TEST_F(Bots, InsertAndDeleteCommandBothBots) {
  LoadBuiltInWaypoints();
  InitBot(0);
  InitBot(1);
  gGame.bots[1].state = StateAttack;
  gGame.bots[1].moveMode = MoveStand;
  struct Case {
    bool runAfter;
    int mode;
  };
  for (const Case& c : {Case{false, MoveWalk}, Case{true, MoveRun}}) {
    for (Bot& b : gGame.bots) b.legsAnimationDirty = false;
    SetBotsRun();
    EXPECT_EQ(gGame.botsRun, c.runAfter);
    for (const Bot& b : gGame.bots) {
      EXPECT_EQ(b.moveMode, c.mode);
      EXPECT_TRUE(b.legsAnimationDirty);
    }
  }
  EXPECT_EQ(gGame.bots[1].state, StateAttack);  // whatever their state

  UpdatePlayerWaypoint(WaypointPosition(29));
  SendBotsToPlayer();
  // Bot 0 stands at 12, the waypoint it was walking to: its route starts there. Bot 1, on
  // its way to 25 (from 23's place), first gets there.
  EXPECT_EQ(gGame.bots[0].goalWaypoint, 29);
  EXPECT_EQ(gGame.bots[0].targetWaypoint, gGame.routes.nextHop[12][29]);
  EXPECT_EQ(gGame.bots[1].targetWaypoint, 25);
  EXPECT_EQ(gGame.bots[1].state, StateAttack);
  EXPECT_EQ(gGame.bots[1].steerMode, SteerAtWaypoint);
}

TEST_F(Bots, StartValuesAnimationChoicesAndThePanel) {
  LoadBuiltInWaypoints();
  InitBot(0);
  InitBot(1);
  EXPECT_EQ(gGame.bots[0].position, Vec3(971, 339, -1464));
  EXPECT_EQ(gGame.bots[1].position, Vec3(1433, 563, -2801));
  EXPECT_EQ(gGame.bots[0].targetWaypoint, 12);
  EXPECT_EQ(gGame.bots[1].targetWaypoint, 25);
  for (const Bot& b : gGame.bots) {
    EXPECT_EQ(b.goalWaypoint, 15);
    EXPECT_EQ(b.state, StateSearch);
    EXPECT_EQ(b.moveMode, MoveRun);
    EXPECT_EQ(b.steerMode, SteerAtWaypoint);
    EXPECT_NEAR(Magnitude(b.moveDirection), 1, 1e-5);
  }

  struct Case {
    int state, moveMode;
    bool torso, legs;
    std::vector<std::string> calls;  // "T:" torso, "L:" legs
  };
  const Case cases[] = {
      {StateAttack, MoveStand, true, true, {"T:TORSO_ATTACK", "T:TORSO_STAND", "L:LEGS_IDLE"}},
      {StateAttack, MoveWalk, false, true, {"T:TORSO_STAND", "L:LEGS_WALK"}},
      {StateAttack, MoveRun, true, true, {"T:TORSO_ATTACK", "L:LEGS_RUN"}},
      {StateSearch, MoveRun, true, false, {"T:TORSO_STAND"}},
      {StateHunt, MoveWalk, true, true, {"T:TORSO_STAND", "T:TORSO_STAND", "L:LEGS_WALK"}},
      {StateRetreatCover, MoveRun, true, false, {}},
      {StateSearch, MoveRun, false, false, {}},
  };
  for (const Case& c : cases) {
    Bot b;
    b.state = c.state;
    b.moveMode = c.moveMode;
    b.torsoAnimationDirty = c.torso;
    b.legsAnimationDirty = c.legs;
    BotAnimationCall calls[3];
    int n = BotAnimationCalls(b, calls);
    std::vector<std::string> got;
    for (int k = 0; k < n; ++k) got.push_back(std::string(calls[k].torso ? "T:" : "L:") + calls[k].clip);
    EXPECT_EQ(got, c.calls) << c.state << "/" << c.moveMode;
  }
  gGame.bots[0].torsoAnimationDirty = gGame.bots[1].legsAnimationDirty = true;
  ApplyBotAnimations();
  EXPECT_FALSE(gGame.bots[0].torsoAnimationDirty || gGame.bots[1].legsAnimationDirty);

  // The panel shows bot 0, never bot 1, and names its state.
  gGame.bots[1].state = StateHunt;
  gGame.bots[0].seesPlayer = true;
  std::vector<PanelLine> lines = BotInfoPanelLines();
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0].text, "Bot X: 971.000000 Y: 339.000000 Z: -1464.000000 L_WP: 0 T_WP: 12 T_M: 15");
  EXPECT_EQ(lines[4].x, 450);
  EXPECT_EQ(lines[4].text, "ATTACK_SEARCH_HUMAN");
  EXPECT_EQ(lines[5].text, "Bot see you | Winkel 0.000000");
  for (const PanelLine& line : lines) {
    EXPECT_EQ(line.text.find("1433.0"), std::string::npos) << line.text;
    EXPECT_EQ(line.text.find("HUNT"), std::string::npos) << line.text;
    EXPECT_LT(line.text.size(), 255u);
  }
  const char* names[] = {"ATTACK_SEARCH_HUMAN", "ATTACK_ATTACK_HUMAN", "ATTACK_HUNT_HUMAN", "RETREAT_COVER",
                         "RETREAT_CAMP", "RETREAT_RETREAT", "COLLECT_SEARCH_POWER", "COLLECT_SEARCH_WEAPON"};
  const int codes[] = {10, 11, 12, 20, 21, 22, 30, 31};
  for (int k = 0; k < 8; ++k) EXPECT_STREQ(BotStateName(codes[k]), names[k]);
  // Entering a retreat or collect state only stores the code; an unknown code does nothing.
  EnterState(0, StateCollectWeapon);
  EXPECT_EQ(gGame.bots[0].state, StateCollectWeapon);
  EnterState(0, 99);
  EXPECT_EQ(gGame.bots[0].state, StateCollectWeapon);
}

TEST_F(Bots, AGrenadeFiredAgainstAWallBurstsOnTheNearSide) {
  // A wall whose face is at x = 40; the bot stands 30 in front of it facing it, its muzzle
  // (50 ahead without a loaded character) inside the wall. The player, behind the bot, is in
  // sight.
  LevelBuilder builder;
  builder.AddWorldBox(Vec3(40, -200, -200), Vec3(80, 200, 200));
  ASSERT_TRUE(builder.LoadInto(&gGame.level));
  MakeGraph({Vec3(-200, 0, 0), Vec3(-400, 0, 0)}, {{0, 1}});
  gBotShot = FireShot;
  UpdatePlayerWaypoint(Vec3(-300, 0, 0));
  for (const float heading : {360.0f, 330.0f}) {  // straight at the wall, and at an angle
    Bot& bot = gGame.bots[0];
    bot = MakingFor(0, MoveStand, heading);
    bot.position = Vec3(10, 0, 0);
    bot.state = StateAttack;
    bot.facing = FacingFromHeading(heading, 0);
    gGame.bots[1].position = Vec3(-1000, 0, 500);
    const int slot = gGame.nextShotSlot;
    UpdateBot(0);
    ASSERT_EQ(gGame.nextShotSlot, slot + 1) << "no grenade fired";
    UpdateShots();
    const Shot& shot = gGame.shots[slot];
    EXPECT_FALSE(shot.active) << heading;
    EXPECT_LT(shot.position.x, 40.0f) << heading;  // the near side of the face at x = 40
    EXPECT_GT(shot.position.x, 10.0f) << heading;
  }
  // With nothing in the way the grenade leaves the muzzle along the facing.
  gGame.level = Level();
  gBotShot = RecordShot;
  Bot& bot = gGame.bots[0];
  bot.lastShotTime = 0;
  UpdateBot(0);
  ASSERT_EQ(gShots.size(), 1u);
  EXPECT_EQ(gShots[0].origin, BotMuzzle(0));
  EXPECT_EQ(gShots[0].direction, bot.facing);
}

TEST_F(Bots, TheHitBoxFollowsTheFigureDownToTheFloor) {
  // Soles 54 below the centre, 58 (fidget) or 62 (jack) tall, 17 to either side; a bot
  // gliding 30 above the floor is drawn on it, and so is its box.
  gGame.bots[0].position = Vec3(0, 0, 0);
  gGame.bots[1].position = Vec3(300, 0, 0);
  Vec3 mins, maxs;
  BotHitBox(0, &mins, &maxs);
  EXPECT_EQ(mins, Vec3(-17, -54, -17));
  EXPECT_EQ(maxs, Vec3(17, 4, 17));
  BotHitBox(1, &mins, &maxs);
  EXPECT_EQ(maxs.y, 8);
  LevelBuilder builder;
  builder.AddWorldBox(Vec3(-100, -200, -100), Vec3(400, -84, 100));
  ASSERT_TRUE(builder.LoadInto(&gGame.level));
  BotHitBox(0, &mins, &maxs);
  EXPECT_NEAR(mins.y, -84, 0.1f);
  EXPECT_NEAR(maxs.y, -26, 0.1f);
  // A rifle shot just over the drawn head passes; one at the knees hits.
  FireShot(Vec3(-60, -20, 0), Vec3(1, 0, 0), WeaponRifle, PlayerOwner);
  FireShot(Vec3(-60, -70, 0), Vec3(1, 0, 0), WeaponRifle, PlayerOwner);
  UpdateShots();
  EXPECT_TRUE(gGame.shots[0].active);
  EXPECT_FALSE(gGame.shots[1].active);
  EXPECT_NEAR(gGame.shots[1].position.x, -17, 1e-3);
}
