// The bots on the default level with the real tracer: feet on the floor along every link,
// and a long run of 200,000 game ticks with the player placed across the level.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bots/bot.h"
#include "bots/waypoint_data.h"
#include "bots/waypoints.h"
#include "combat/shots.h"
#include "core/game_state.h"
#include "core/random.h"
#include "level/trace.h"
#include "support/fake_platform.h"

namespace {

std::vector<uint8_t> ShippedLevel() {
  std::ifstream in(KORVALIS_GAME_DIR "/maps/korvalis.bsp", std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  const std::string text = s.str();
  return std::vector<uint8_t>(text.begin(), text.end());
}

// Height of the floor under a bot: the highest under its soles' footprint, found by a
// trace from just inside its box down a long way.
float FloorBelow(Vec3 p) {
  TraceResult down = gGame.level.Trace(Vec3(p.x, p.y - 44, p.z), Vec3(p.x, p.y - 600, p.z), Vec3(10, 0, 10));
  return down.end.y;
}
// How far the soles of a bot at p float above the floor (negative: sunk in).
float FeetGap(Vec3 p) { return p.y - BotFeetBelowCentre - FloorBelow(p); }

class BotsOnTheLevel : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetGameState();
    const std::vector<uint8_t> bytes = ShippedLevel();
    ASSERT_FALSE(bytes.empty()) << "build the game data first";
    std::string error;
    ASSERT_TRUE(gGame.level.Parse(bytes.data(), bytes.size(), &error)) << error;
    LoadBuiltInWaypoints();
  }
  void TearDown() override { gGame.level = Level(); }
};

}  // namespace

TEST_F(BotsOnTheLevel, FeetStayOnTheFloorAlongEveryLink) {
  // Around waypoint 18 links at different heights cross or run side by side (13-14 under
  // 15-19, 17-19 beside 18-19 and 16-18): no floor fits them all. There only the drawn
  // character is set down on the floor.
  auto crossing = [](int a, int b) {
    const int pairs[][2] = {{15, 19}, {16, 18}, {18, 19}, {18, 20}};
    for (const auto& p : pairs)
      if ((a == p[0] && b == p[1]) || (a == p[1] && b == p[0])) return true;
    return false;
  };
  float worstRaw = 0, worstElsewhere = 0, worstDrawn = 0;
  for (int k = 0; k < BuiltInLinkCount; ++k)
    for (int dir = 0; dir < 2; ++dir) {
      const int from = BuiltInLinks[k][dir], to = BuiltInLinks[k][1 - dir];
      const Vec3 b = WaypointPosition(to);
      Vec3 p = WaypointPosition(from);
      float linkRaw = 0, linkDrawn = 0;
      for (int tick = 0; tick < 2000; ++tick) {
        if (std::fabs(p.x - b.x) <= 30 && std::fabs(p.z - b.z) <= 30) break;
        p = MoveWithSlide(p, p + NormalizeOrZero(b - p) * 4.0f);
        gGame.bots[0].position = p;
        const float raw = FeetGap(p);
        linkRaw = std::max(linkRaw, std::fabs(raw));
        linkDrawn = std::max(linkDrawn, std::fabs(raw + BotDrawnFloorOffset(0)));
      }
      if (linkRaw > 4) std::printf("link %2d -> %2d: feet gap %5.2f, drawn %4.2f\n", from, to, linkRaw, linkDrawn);
      worstRaw = std::max(worstRaw, linkRaw);
      if (!crossing(from, to)) worstElsewhere = std::max(worstElsewhere, linkRaw);
      worstDrawn = std::max(worstDrawn, linkDrawn);
    }
  std::printf("worst feet gap %.2f (%.2f away from the crossing links), drawn %.2f\n", worstRaw, worstElsewhere,
              worstDrawn);
  EXPECT_LT(worstElsewhere, 8.5f);
  EXPECT_LT(worstRaw, 50.0f);
  EXPECT_LT(worstDrawn, 0.5f);
}

// A bot stands at every built-in waypoint and walks the straight path of every built-in
// link (bots move along it, without gravity) with its box clear of the level's solid, both
// ways along the link.
TEST_F(BotsOnTheLevel, EveryBuiltInWaypointHoldsTheBotBoxClear) {
  std::string touching;
  for (int w = 0; w < BuiltInWaypointCount; ++w) {
    const Vec3 p = WaypointPosition(w);
    if (gGame.level.Trace(p, p, BodyExtents).allSolid) touching += " waypoint " + std::to_string(w);
  }
  for (const auto& link : BuiltInLinks)
    for (int dir = 0; dir < 2; ++dir) {
      const TraceResult walk =
          gGame.level.Trace(WaypointPosition(link[dir]), WaypointPosition(link[1 - dir]), BodyExtents);
      if (walk.fraction < 1 || walk.allSolid)
        touching += " link " + std::to_string(link[dir]) + "-" + std::to_string(link[1 - dir]);
    }
  EXPECT_EQ(touching, "");
}

// Where long runs left bots standing for seconds, as they stood there: turning back at a
// waypoint beside a pillar or wall (a wide arc at full speed took them off their link into
// it), crawling along a wall they met late in a step (the tracer's slide keeps only what is
// left of the step after the contact), and hunting from where they stood to shoot straight
// for the waypoint past the nearest one, into a corner. Each gets where it was going within
// 3 seconds, never stuck for as long as the 30 ticks after which it would re-plan.
TEST_F(BotsOnTheLevel, BotsGetAwayFromWhereLongRunsLeftThemStanding) {
  struct Case {
    const char* where;
    Vec3 position;
    float heading;
    int last, target, goal;  // target -1: the bot hunts from there toward the goal
    int reach;
  };
  const Case cases[] = {
      {"hunting from the upper hall past the bridge's mouth", {961.6f, 323.8f, -1378.4f}, 21, 11, -1, 13, 13},
      {"turning back at 11 under the wall at z -1060", {772.5f, 214.2f, -1008.8f}, 225, 11, 10, 5, 10},
      {"turning back at 15 beside the pillar", {1452.6f, 481.4f, -946.9f}, 272, 15, 14, 10, 14},
  };
  for (const Case& c : cases) {
    InitBot(0);
    Bot& bot = gGame.bots[0];
    bot.position = c.position;
    bot.heading = c.heading;
    bot.lastWaypoint = c.last;
    bot.targetWaypoint = c.target;
    bot.goalWaypoint = c.goal;
    if (c.target < 0) {
      bot.lastSeenPlayerWaypoint = c.goal;
      EnterState(0, StateHunt);
    }
    int longest = 0;  // stuck ticks in a row (turning on the spot is not stuck)
    for (int tick = 0; tick < 3 * 85 && bot.lastWaypoint != c.reach; ++tick) {
      MoveBot(0);
      longest = std::max(longest, bot.stuckTicks);
    }
    EXPECT_EQ(bot.lastWaypoint, c.reach) << c.where << ": at " << bot.position.x << " " << bot.position.z;
    EXPECT_LT(longest, 30) << c.where;
  }
}

namespace {

// Figures of one bot over a long run.
struct RunFigures {
  int waypointsReached = 0;      // arrivals at a new waypoint
  int goalsReached = 0;          // times the bot came to stand at its goal
  std::set<int> distinctGoals;   // the different waypoints it reached as goals
  int longestStuck = 0;          // the longest streak of ticks with stuckTicks > 0
  long stuckTicks = 0;           // ticks with stuckTicks > 0
  float worstFeetGap = 0;        // |soles - floor| by position
  float worstDrawnGap = 0;       // the same for the drawn character
  int shots = 0;
  int sightedGrenades = 0;       // grenades fired while the bot saw the player
  long attackTicks = 0;          // ticks in the attack state
  long insideSolid = 0;
  long nonFinite = 0;
};

int gRunShots[BotCount];
int gSightedGrenades[BotCount];
void CountShot(Vec3, Vec3, int weapon, int owner) {
  if (owner < 0 || owner >= BotCount) return;
  ++gRunShots[owner];
  if (weapon == WeaponLauncher && gGame.bots[owner].seesPlayer) ++gSightedGrenades[owner];
}

bool Finite(Vec3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }
bool AllFinite(const Bot& b) {
  return Finite(b.position) && Finite(b.previousPosition) && Finite(b.facing) && Finite(b.moveDirection) &&
         Finite(b.aimPoint) && Finite(b.lastSeenPlayerPosition) && std::isfinite(b.heading) &&
         std::isfinite(b.desiredHeading) && std::isfinite(b.lastShotTime);
}

// The player's eye at a dozen places across the level, 50 above each floor.
const Vec3 PlayerPlaces[] = {
    Vec3(587, 268, -404),    Vec3(600, 196, -950),    Vec3(500, 339, -1600),  Vec3(1000, 339, -1300),
    Vec3(1200, 430, -1470),  Vec3(1600, 475, -1000),  Vec3(1700, 491, -1500), Vec3(1500, 563, -2300),
    Vec3(1700, 563, -3000),  Vec3(1150, 563, -2300),  Vec3(700, 640, -2145),  Vec3(400, 763, -2145),
};

// Runs the game ticks as the frame does, with the player moved on to the next place every
// 1000 ticks (12 seconds), round and round. Returns the figures per bot and a checksum of the bots' records.
constexpr int TicksPerPlace = 1000;

uint64_t RunTicks(int ticks, RunFigures figures[BotCount]) {
  FakePlatform fake;
  fake.now = 1000;
  ResetRandom();
  gGame.slowShotCounter = 0;
  gGame.botsRun = true;
  InitBot(0);
  InitBot(1);
  gRunShots[0] = gRunShots[1] = 0;
  gSightedGrenades[0] = gSightedGrenades[1] = 0;
  gBotShot = CountShot;
  const int places = static_cast<int>(sizeof PlayerPlaces / sizeof PlayerPlaces[0]);
  int streak[BotCount] = {};
  bool atGoal[BotCount] = {};
  int lastWaypoint[BotCount] = {gGame.bots[0].lastWaypoint, gGame.bots[1].lastWaypoint};
  uint64_t checksum = 1469598103934665603ull;
  for (int tick = 0; tick < ticks; ++tick) {
    UpdatePlayerWaypoint(PlayerPlaces[(tick / TicksPerPlace) % places]);
    fake.now += 12;  // 85 ticks a second
    UpdateBot(0);
    UpdateBot(1);
    MoveBot(0);
    MoveBot(1);
    for (int i = 0; i < BotCount; ++i) {
      const Bot& b = gGame.bots[i];
      RunFigures& f = figures[i];
      if (b.lastWaypoint != lastWaypoint[i]) ++f.waypointsReached;
      lastWaypoint[i] = b.lastWaypoint;
      const bool nowAtGoal = b.lastWaypoint == b.goalWaypoint;
      if (nowAtGoal && !atGoal[i]) {
        ++f.goalsReached;
        f.distinctGoals.insert(b.goalWaypoint);
      }
      atGoal[i] = nowAtGoal;
      // Stuck: meant to move, but made no more than 1 unit of progress.
      const bool stuck = b.moveMode != MoveStand && WaypointCost(b.previousPosition, b.position) <= 1.0f;
      streak[i] = stuck ? streak[i] + 1 : 0;
      f.longestStuck = std::max(f.longestStuck, streak[i]);
      f.stuckTicks += stuck;
      f.attackTicks += b.state == StateAttack;
      if (gGame.level.Trace(b.position, b.position, BodyExtents).allSolid) ++f.insideSolid;
      if (!AllFinite(b)) ++f.nonFinite;
      if (tick % 16 == 0) {  // the floor, sampled
        const float raw = FeetGap(b.position);
        if (raw > -100 && raw < 500) {  // a floor within reach
          f.worstFeetGap = std::max(f.worstFeetGap, std::fabs(raw));
          f.worstDrawnGap = std::max(f.worstDrawnGap, std::fabs(raw + BotDrawnFloorOffset(i)));
        }
      }
      const float fields[] = {b.position.x, b.position.y, b.position.z, b.heading};
      for (float v : fields) {
        uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        checksum = (checksum ^ bits) * 1099511628211ull;
      }
    }
  }
  for (int i = 0; i < BotCount; ++i) {
    figures[i].shots = gRunShots[i];
    figures[i].sightedGrenades = gSightedGrenades[i];
  }
  gBotShot = FireShot;
  return checksum;
}

}  // namespace

// About 40 minutes of play. Slow under the sanitizers: labelled so that build can skip it.
TEST_F(BotsOnTheLevel, LongRunStaysInsideTheLevelAndKeepsReachingGoals) {
  constexpr int Ticks = 200000;
  RunFigures figures[BotCount];
  const uint64_t checksum = RunTicks(Ticks, figures);
  for (int i = 0; i < BotCount; ++i) {
    const RunFigures& f = figures[i];
    std::printf("bot %d: %d waypoints reached, %d goals reached (%zu distinct), longest stuck streak %d ticks, "
                "stuck %.2f%% of ticks, worst feet gap %.2f (drawn %.2f), %d shots (%d grenades at the player in "
                "sight), attacking %.1f%% of ticks\n",
                i, f.waypointsReached, f.goalsReached, f.distinctGoals.size(), f.longestStuck,
                100.0 * f.stuckTicks / Ticks, f.worstFeetGap, f.worstDrawnGap, f.shots, f.sightedGrenades,
                100.0 * f.attackTicks / Ticks);
    EXPECT_EQ(f.insideSolid, 0) << "bot " << i;
    EXPECT_EQ(f.nonFinite, 0) << "bot " << i;
    // A bot never stands pressed against something for a second (turning round on the spot
    // takes a fifth of one). It keeps moving from waypoint to waypoint and reaching goals:
    // with the player in its sight for about 60 % of the run it stands to shoot, and each
    // sighting ends its trip, so some 50 to 100 goals (over 200 with the player away); more
    // came only from bots stuck at a wall re-drawing a goal every tick until one was the
    // waypoint they stood at.
    EXPECT_LT(f.longestStuck, 85) << "bot " << i;
    EXPECT_GE(f.waypointsReached, 400) << "bot " << i;
    EXPECT_GE(f.goalsReached, 40) << "bot " << i;
    EXPECT_GT(f.sightedGrenades, 0) << "bot " << i << " never fired at the player in its sight";
  }
  // The same run again gives the same figures: one game-wide random sequence, no clock.
  RunFigures again[BotCount];
  EXPECT_EQ(RunTicks(Ticks, again), checksum);
  for (int i = 0; i < BotCount; ++i) {
    EXPECT_EQ(again[i].waypointsReached, figures[i].waypointsReached);
    EXPECT_EQ(again[i].goalsReached, figures[i].goalsReached);
    EXPECT_EQ(again[i].shots, figures[i].shots);
  }
}
