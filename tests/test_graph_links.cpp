// Links one way in a generated waypoint graph: drops from ledges of any height, routes that
// follow them, bots that fall and land, and bots that never stand: they walk to a waypoint
// they can reach, re-plan when they make no progress, and never take a goal out of reach.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include "bots/bot.h"
#include "bots/graph_builder.h"
#include "bots/level_bots.h"
#include "bots/waypoints.h"
#include "core/game_state.h"
#include "core/level.h"
#include "support/bot_errand.h"
#include "support/fake_platform.h"
#include "support/level_builder.h"

namespace {

// A hall (x 0..1800, z 0..800, floor 0, ceiling 900) with a ledge 96 high along its west end
// (x 0..400) that stairs climb at its south end, and a tower 400 high at its east end
// (x 1300..1800) that nothing climbs.
constexpr float LedgeTop = 96, TowerTop = 400, TowerX = 1300;

void LoadLedgeHall(Level* level) {
  LevelBuilder b;
  b.AddWorldBox(Vec3(-32, -32, -32), Vec3(1832, 0, 832));     // floor
  b.AddWorldBox(Vec3(-32, 900, -32), Vec3(1832, 932, 832));   // ceiling
  b.AddWorldBox(Vec3(-32, 0, -32), Vec3(0, 900, 832));        // walls
  b.AddWorldBox(Vec3(1800, 0, -32), Vec3(1832, 900, 832));
  b.AddWorldBox(Vec3(0, 0, -32), Vec3(1800, 900, 0));
  b.AddWorldBox(Vec3(0, 0, 800), Vec3(1800, 900, 832));
  b.AddWorldBox(Vec3(0, 0, 0), Vec3(400, LedgeTop, 800));     // the ledge
  for (int k = 1; k <= 6; ++k)                                 // steps of 16 by 32, up westward
    b.AddWorldBox(Vec3(400, 0, 0), Vec3(400 + (7 - k) * 32.0f, 16.0f * k, 200));
  b.AddWorldBox(Vec3(TowerX, 0, 0), Vec3(1800, TowerTop, 800));  // the tower
  std::string error;
  ASSERT_TRUE(b.LoadInto(level, &error)) << error;
}

bool OnLedge(Vec3 p) { return p.x < 400 && p.y > LedgeTop; }
bool OnTower(Vec3 p) { return p.x > TowerX && p.y > TowerTop; }
bool OnFloor(Vec3 p) { return p.y < 50; }

class GraphLinks : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetGameState();
    LoadLedgeHall(&gGame.level);
    std::string error;
    WaypointGraph graph;
    ASSERT_TRUE(BuildLevelWaypointGraph(gGame.level, GraphBuildSettings(), &graph, &report, &error)) << error;
    gGame.waypoints = graph;
    BuildRouteTable();
    for (Bot& bot : gGame.bots) {
      bot.walkSpeed = 1;
      bot.runSpeed = 4;
    }
  }
  void TearDown() override { ResetGameState(); }

  // The waypoint nearest to p.
  int At(Vec3 p) { return NearestWaypoint(p); }

  // Bot 0 at p heading for `target` with goal `goal`, moved tick by tick by the game's own
  // movement step until its last waypoint is the goal; the ticks it took, -1 past the limit.
  int Run(Vec3 p, int target, int goal, int limit) {
    Bot& bot = gGame.bots[0];
    SendBot(bot, p, target, goal);
    for (int tick = 0; tick < limit; ++tick) {
      MoveBot(0);
      if (bot.lastWaypoint == bot.goalWaypoint) return tick;
    }
    return -1;
  }

  GraphBuildReport report;
  FakePlatform fake;
};

TEST_F(GraphLinks, LedgesHaveDropsDownAndNoLinkBackUp) {
  const WaypointGraph& g = gGame.waypoints;
  int ledgeDrops = 0, towerDrops = 0, ledge = 0, tower = 0;
  for (int a = 0; a < g.count; ++a) {
    const Vec3 p = WaypointPosition(a);
    ledge += OnLedge(p);
    tower += OnTower(p);
    for (int b = 0; b < g.count; ++b) {
      if (g.links[a][b] != 1) continue;
      const Vec3 q = WaypointPosition(b);
      // Up only by the stairs (z 0..200), which bots climb step by step as the player does.
      const bool byStairs = p.z < 200 + BodyExtents.z && q.z < 200 + BodyExtents.z && !OnTower(q);
      EXPECT_FALSE(OnFloor(p) && (OnLedge(q) || OnTower(q)) && !byStairs) << a << " -> " << b << ": straight up a ledge";
      if (g.links[b][a] == 1) continue;
      EXPECT_LE(q.y, p.y + 0.5f) << "a link one way climbs: " << a << " -> " << b;
      ledgeDrops += OnLedge(p) && OnFloor(q);
      towerDrops += OnTower(p) && OnFloor(q);
    }
  }
  ASSERT_GT(ledge, 2);
  ASSERT_GT(tower, 2);
  EXPECT_GT(ledgeDrops, 0);
  EXPECT_GT(towerDrops, 0) << "a drop of " << TowerTop << " joins the tower to the hall";
  EXPECT_GT(report.oneWay, 0);

  // The tower reaches the whole hall, nothing reaches the tower; the ledge, by the stairs,
  // is part of the hall. The largest part is everything but the tower.
  for (int a = 0; a < g.count; ++a)
    for (int b = 0; b < g.count; ++b) {
      const bool towerA = OnTower(WaypointPosition(a)), towerB = OnTower(WaypointPosition(b));
      if (!towerB) {
        EXPECT_TRUE(HasRoute(a, b)) << a << " -> " << b;
      } else if (!towerA) {
        EXPECT_FALSE(HasRoute(a, b)) << a << " -> " << b;
      }
    }
  EXPECT_EQ(report.largest, g.count - tower);
  EXPECT_EQ(PartSize(At(Vec3(900, 45, 400))), g.count - tower);
}

TEST_F(GraphLinks, BotsFollowTheDropsFromOneEndToTheOther) {
  // From the far corner of the tower over its edge and across the hall to the foot of the
  // ledge; from the ledge straight down its edge to the hall's middle.
  struct Case {
    Vec3 from, to;
  } cases[] = {{Vec3(1750, TowerTop + 45, 750), Vec3(450, 45, 750)},
               {Vec3(50, LedgeTop + 45, 750), Vec3(900, 45, 600)}};
  for (const Case& c : cases) {
    const int from = At(c.from), to = At(c.to);
    ASSERT_TRUE(HasRoute(from, to));
    EXPECT_GE(Run(WaypointPosition(from), from, to, 6000), 0) << from << " -> " << to;
    EXPECT_FALSE(gGame.bots[0].falling);
    EXPECT_NEAR(gGame.bots[0].position.y, WaypointPosition(to).y, 50);
  }
  // The drop from the ledge is taken, not the stairs: the route never climbs down them.
  int at = At(Vec3(50, LedgeTop + 45, 750)), steps = 0;
  const int goal = At(Vec3(900, 45, 600));
  while (at != goal && steps++ < 50) {
    EXPECT_GT(WaypointPosition(at).z, 200) << "over the stairs at " << at;
    at = gGame.routes.nextHop[at][goal];
  }
}

TEST_F(GraphLinks, BotsNeverStandAndNeverTakeAGoalOutOfReach) {
  Bot& bot = gGame.bots[0];
  // Random goals of a bot in the hall are never on the tower; of a bot on the tower, in the
  // hall it drops into (the largest part it reaches).
  for (Vec3 p : {Vec3(900, 45, 400), Vec3(1600, TowerTop + 45, 400)}) {
    bot.targetWaypoint = At(p);
    for (int k = 0; k < 200; ++k) {
      EnterState(0, StateSearch);
      EXPECT_FALSE(OnTower(WaypointPosition(bot.goalWaypoint))) << bot.goalWaypoint;
      EXPECT_TRUE(HasRoute(At(p), bot.goalWaypoint));
    }
  }
  // Sent to a waypoint out of reach (Delete with the player on the tower): the bot goes to
  // the reachable waypoint nearest to it, in the hall below.
  gGame.playerWaypoint = At(Vec3(1500, TowerTop + 45, 400));
  bot.targetWaypoint = At(Vec3(900, 45, 400));
  SendBotsToPlayer();
  EXPECT_TRUE(OnFloor(WaypointPosition(bot.goalWaypoint)));
  EXPECT_LT(std::fabs(WaypointPosition(bot.goalWaypoint).x - TowerX), 200);
  EXPECT_TRUE(HasRoute(bot.targetWaypoint, bot.goalWaypoint));

  // Dropped from high above the hall with a target on the tower: it falls, lands, finds a
  // waypoint it reaches and goes on from there.
  const int towerWaypoint = At(Vec3(1500, TowerTop + 45, 400));
  Run(Vec3(1000, 600, 400), towerWaypoint, towerWaypoint, 3000);
  EXPECT_FALSE(bot.falling);
  EXPECT_FALSE(OnTower(WaypointPosition(bot.targetWaypoint)));
  EXPECT_GE(bot.lastWaypoint, 0) << "the bot reached no waypoint after landing";

  // Steering at a waypoint on the tower from the hall, against the tower's wall: within a
  // few seconds it gives up and walks to waypoints it can reach.
  bot.falling = false;
  Run(Vec3(1250, 45, 400), towerWaypoint, towerWaypoint, 600);
  EXPECT_NE(bot.goalWaypoint, towerWaypoint);
  EXPECT_GE(bot.lastWaypoint, 0);
  EXPECT_FALSE(OnTower(WaypointPosition(bot.lastWaypoint)));
}

TEST_F(GraphLinks, TheBuildPrintsItsSizeAndParts) {
  testing::internal::CaptureStdout();
  LoadWaypointsForLevel(false);
  const std::string out = testing::internal::GetCapturedStdout();
  std::smatch m;
  ASSERT_TRUE(std::regex_search(out, m, std::regex("Waypoint graph: (\\d+) waypoints, (\\d+) links \\((\\d+) one-way\\), "
                                                   "(\\d+) parts, largest (\\d+), built in \\d+ ms\n")))
      << out;
  EXPECT_EQ(std::stoi(m[1]), report.waypoints);
  EXPECT_EQ(std::stoi(m[3]), report.oneWay);
  EXPECT_EQ(std::stoi(m[4]), report.components);
  EXPECT_EQ(std::stoi(m[5]), report.largest);
}

TEST(GraphParts, ThousandWaypointsOneWayRoundARing) {
  // 1000 waypoints on a ring of links one way: every waypoint reaches every other the long
  // way round; one link taken out leaves 1000 parts of one.
  ResetGameState();
  const int n = 1000;
  WaypointGraph& g = gGame.waypoints;
  g = WaypointGraph(n);
  g.count = n;
  g.generated = true;
  for (int i = 0; i < n; ++i) {
    const float a = 6.2831853f * i / n;
    g.x[i] = 8000 * std::cos(a);
    g.z[i] = 8000 * std::sin(a);
    g.links[i][(i + 1) % n] = 1;
  }
  BuildRouteTable();
  for (auto [a, b] : {std::pair<int, int>{0, 999}, {999, 0}, {500, 499}, {10, 20}}) {
    int at = a, steps = 0;
    while (at != b && steps <= n) at = gGame.routes.nextHop[at][b], ++steps;
    EXPECT_EQ(steps, (b - a + n) % n) << a << " -> " << b;
  }
  EXPECT_EQ(PartSize(0), n);
  std::vector<int> part;
  g.links[n - 1][0] = 0;
  EXPECT_EQ(GraphParts(g, &part), n);
  BuildRouteTable();
  EXPECT_FALSE(HasRoute(999, 0));
  EXPECT_TRUE(HasRoute(0, 999));
  ResetGameState();
}

}  // namespace
