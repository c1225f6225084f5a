// The waypoint graph built for a level: where its waypoints stand, that the bots really walk
// its links, that it holds together where the level does, routes on graphs larger than the
// built-in one, the default level's graph, and where the bots start.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <set>
#include <string>

#include "bots/bot.h"
#include "bots/graph_builder.h"
#include "bots/level_bots.h"
#include "bots/navmesh.h"
#include "bots/waypoint_data.h"
#include "bots/waypoints.h"
#include "combat/shots.h"
#include "core/game_state.h"
#include "core/level.h"
#include "core/random.h"
#include "support/fake_platform.h"
#include "support/level_builder.h"
#include "support/nav_level.h"

namespace {

class Navigation : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetGameState();
    std::string error;
    ASSERT_TRUE(LoadNavLevel(&gGame.level, 1, &error)) << error;
  }
  void TearDown() override { ResetGameState(); }

  // Builds the level's graph into the game with its routes.
  void BuildGraph(GraphBuildReport* report, const GraphBuildSettings& settings = GraphBuildSettings()) {
    std::string error;
    WaypointGraph graph;
    ASSERT_TRUE(BuildLevelWaypointGraph(gGame.level, settings, &graph, report, &error)) << error;
    gGame.waypoints = graph;
    BuildRouteTable();
  }

  // Runs the game's own movement step with bot 0 from waypoint a toward b until it arrives
  // there; the ticks it took, or -1 when it did not within the limit.
  int WalkLink(int a, int b, int moveMode, bool slowMotion) {
    Bot& bot = gGame.bots[0];
    bot = Bot();
    bot.walkSpeed = 1;
    bot.runSpeed = 4;
    bot.position = WaypointPosition(a);
    const Vec3 d = WaypointPosition(b) - bot.position;
    bot.heading = HeadingFromDirection(d.x, d.z);
    bot.moveMode = moveMode;
    bot.steerMode = SteerAtWaypoint;
    bot.targetWaypoint = b;
    bot.goalWaypoint = b;
    bot.lastWaypoint = a;
    gGame.slowMotion = slowMotion;
    const float speed = (moveMode == MoveRun ? 4.0f : 1.0f) / (slowMotion ? 20.0f : 1.0f);
    const int limit = static_cast<int>(3 * Magnitude(d) / speed) + 200;
    for (int tick = 0; tick < limit; ++tick) {
      MoveBot(0);
      if (bot.lastWaypoint == b) return tick;
    }
    return -1;
  }

  FakePlatform fake;
};

TEST_F(Navigation, WaypointsStandOnFloorsInEveryRoomApartAndOutOfSolid) {
  GraphBuildReport report;
  BuildGraph(&report);
  const WaypointGraph& g = gGame.waypoints;
  ASSERT_TRUE(g.generated);
  std::printf("%d waypoints, %d links, %d parts, %ld walk ticks, %.0f ms\n", report.waypoints, report.links,
              report.components, report.walkTicks, report.milliseconds);
  EXPECT_EQ(report.waypoints, g.count);
  EXPECT_GT(g.count, 20);
  std::set<int> floors;
  for (int i = 0; i < g.count; ++i) {
    const Vec3 p = WaypointPosition(i);
    // The body fits there and a floor lies right under its soles: 45 above it.
    EXPECT_FALSE(gGame.level.Trace(p, p, BodyExtents).allSolid) << i;
    const TraceResult down = gGame.level.Trace(p, p - Vec3(0, 1, 0), BodyExtents);
    EXPECT_LT(down.fraction, 1.0f) << "waypoint " << i << " floats at " << p.y;
    const float floor = p.y - BodyExtents.y;
    for (float level : {NavLevelLayout::RoomA, NavLevelLayout::RoomB, NavLevelLayout::RoomC,
                        NavLevelLayout::PitFloor})
      if (std::fabs(floor - level) < 0.1f) floors.insert(static_cast<int>(level));
    for (int j = 0; j < i; ++j) {
      const Vec3 q = WaypointPosition(j);
      const bool close = std::hypot(p.x - q.x, p.z - q.z) < GraphBuildSettings().spacing &&
                         std::fabs(p.y - q.y) < GraphBuildSettings().heightApart;
      EXPECT_FALSE(close) << i << " and " << j;
    }
  }
  EXPECT_EQ(floors.size(), 4u) << "rooms A, B, C and the pit each hold waypoints";
}

TEST_F(Navigation, EveryLinkIsWalkedByTheBotsAndTheGraphHoldsTogetherWhereTheLevelDoes) {
  GraphBuildReport report;
  BuildGraph(&report);
  const WaypointGraph& g = gGame.waypoints;
  auto inPit = [](int w) {
    return InNavLevelPit(WaypointPosition(w)) && WaypointPosition(w).y < NavLevelLayout::RoomC;
  };
  int links = 0, oneWay = 0, pitDrops = 0;
  for (int a = 0; a < g.count; ++a)
    for (int b = 0; b < g.count; ++b) {
      if (g.links[a][b] != 1) continue;
      ++links;
      // A link one way never climbs: down into the pit or the stairs, or through the door
      // that a bot passes one way only.
      if (g.links[b][a] != 1) {
        ++oneWay;
        EXPECT_LE(WaypointPosition(b).y, WaypointPosition(a).y + 0.5f) << a << " -> " << b;
        pitDrops += !inPit(a) && inPit(b);
      }
      EXPECT_GE(WalkLink(a, b, MoveRun, false), 0) << "running " << a << " -> " << b;
    }
  EXPECT_EQ(links, 2 * report.links - report.oneWay);
  EXPECT_EQ(oneWay, report.oneWay);
  EXPECT_GT(pitDrops, 0);
  // Every place outside the pit reaches every other and drops into the pit; the pit has no
  // way out.
  int pit = 0;
  for (int a = 0; a < g.count; ++a) {
    pit += inPit(a);
    for (int b = 0; b < g.count; ++b) EXPECT_EQ(HasRoute(a, b), !inPit(a) || inPit(b)) << a << " -> " << b;
  }
  ASSERT_GT(pit, 0);
  EXPECT_EQ(report.components, 2);
  EXPECT_EQ(report.largest, g.count - pit);
}

// The component of the mesh polygon holding the floor point, or -1 when none does.
int ComponentAt(const NavMesh& mesh, Vec3 floor) {
  for (const NavPolygon& polygon : mesh.polygons) {
    const std::vector<Vec3>& c = polygon.corners;
    bool left = true, right = true, near = false;
    for (size_t k = 0; k < c.size(); ++k) {
      const Vec3 a = c[k], b = c[(k + 1) % c.size()];
      const float side = (b.x - a.x) * (floor.z - a.z) - (b.z - a.z) * (floor.x - a.x);
      left = left && side >= 0, right = right && side <= 0;
      near = near || std::fabs(a.y - floor.y) < 8;
    }
    if (!c.empty() && (left || right) && near) return polygon.component;
  }
  return -1;
}

TEST_F(Navigation, AMeshBuiltInTilesIsJoinedAcrossTheirBordersAsOneBuiltWhole) {
  // Floors of rooms A, B, C and D (one walkable part) and the pit.
  const Vec3 places[] = {Vec3(100, 0, 100), Vec3(300, 96, 1000), Vec3(1000, -64, 300), Vec3(1000, -64, 1000),
                         Vec3(1264, -192, 164)};
  const Vec3 roof(700, 332, 600);  // the top of the ceiling, under open sky: no floor
  std::string error;
  NavMesh whole;
  ASSERT_TRUE(BuildNavMesh(gGame.level, NavMeshSettings(), &whole, &error)) << error;
  for (const NavPortal& portal : whole.portals) EXPECT_FALSE(portal.tileBorder);
  EXPECT_EQ(ComponentAt(whole, roof), -1);
  // Tiles of 200 cells cut the level (260 x 224 cells) in four, through rooms B, C and D;
  // smaller ones through every room, the stairs, the ramp and the door.
  for (int tileCells : {200, 100, 64, 32}) {
    NavMeshSettings settings;
    settings.tileCells = tileCells;
    settings.tileAboveCells = 0;
    NavMesh tiled;
    ASSERT_TRUE(BuildNavMesh(gGame.level, settings, &tiled, &error)) << error;
    EXPECT_EQ(tiled.componentCount, whole.componentCount) << tileCells;
    int borders = 0;
    for (const NavPortal& portal : tiled.portals) {
      borders += portal.tileBorder;
      EXPECT_EQ(tiled.polygons[portal.polygonA].component, tiled.polygons[portal.polygonB].component);
    }
    EXPECT_GT(borders, 0) << tileCells;
    EXPECT_EQ(ComponentAt(tiled, roof), -1) << tileCells;
    for (const Vec3& a : places)
      for (const Vec3& b : places) {
        ASSERT_GE(ComponentAt(tiled, a), 0) << tileCells << " at " << a.x << " " << a.z;
        EXPECT_EQ(ComponentAt(tiled, a) == ComponentAt(tiled, b), ComponentAt(whole, a) == ComponentAt(whole, b))
            << tileCells << ": " << a.x << " " << a.z << " and " << b.x << " " << b.z;
      }
  }
  // The graph on four tiles holds together where the level does: all but the pit.
  GraphBuildSettings settings;
  settings.mesh.tileCells = 200;
  settings.mesh.tileAboveCells = 0;
  GraphBuildReport report;
  BuildGraph(&report, settings);
  EXPECT_EQ(report.components, 2);
}

TEST_F(Navigation, TheGraphIsTheSameWithAnyNumberOfWorkerThreads) {
  // Trial walks on one thread or four, and mesh tiles (64 cells: 20 of them) likewise.
  for (int tileCells : {384, 64}) {
    WaypointGraph graphs[2];
    GraphBuildReport reports[2];
    for (int run = 0; run < 2; ++run) {
      GraphBuildSettings settings;
      settings.workers = settings.mesh.workers = run == 0 ? 1 : 4;
      settings.mesh.tileCells = tileCells;
      settings.mesh.tileAboveCells = 0;
      std::string error;
      ASSERT_TRUE(BuildLevelWaypointGraph(gGame.level, settings, &graphs[run], &reports[run], &error)) << error;
    }
    const WaypointGraph &one = graphs[0], &four = graphs[1];
    ASSERT_EQ(one.count, four.count) << tileCells;
    EXPECT_EQ(reports[0].links, reports[1].links);
    EXPECT_EQ(reports[0].walkTicks, reports[1].walkTicks);
    EXPECT_EQ(reports[0].components, reports[1].components);
    for (int i = 0; i < one.count; ++i) {
      EXPECT_EQ(Vec3(one.x[i], one.y[i], one.z[i]), Vec3(four.x[i], four.y[i], four.z[i])) << i;
      for (int j = 0; j < one.count; ++j) EXPECT_EQ(one.links[i][j], four.links[i][j]) << i << " " << j;
    }
  }
}

TEST_F(Navigation, WalkingAndSlowMotionBotsReachTenWaypointsInARow) {
  GraphBuildReport report;
  BuildGraph(&report);
  // Ten links through the level as the route table leads a bot: from room A to the
  // waypoint farthest from where it stands, again and again.
  std::vector<int> route = {NearestWaypoint(Vec3(100, 45, 100))};
  while (route.size() < 11) {
    const Vec3 here = WaypointPosition(route.back());
    int to = route.back();
    for (int w = 0; w < gGame.waypoints.count; ++w)
      if (HasRoute(route.back(), w) && WaypointCost(WaypointPosition(w), here) > WaypointCost(WaypointPosition(to), here))
        to = w;
    ASSERT_NE(to, route.back());
    while (route.back() != to && route.size() < 11) route.push_back(gGame.routes.nextHop[route.back()][to]);
  }
  for (const auto& [mode, slow] : {std::pair<int, bool>{MoveWalk, false}, {MoveRun, true}, {MoveWalk, true}}) {
    if (mode == MoveWalk && slow) continue;  // a twentieth of a unit a tick: far too slow a test
    int reached = 0;
    for (size_t k = 1; k < route.size(); ++k) {
      const bool ok = WalkLink(route[k - 1], route[k], mode, slow) >= 0;
      reached += ok;
      const Vec3 a = WaypointPosition(route[k - 1]), b = WaypointPosition(route[k]), p = gGame.bots[0].position;
      if (!ok) std::printf("%d (%g %g %g) -> %d (%g %g %g): at %g %g %g\n", route[k - 1], a.x, a.y, a.z, route[k], b.x, b.y, b.z, p.x, p.y, p.z);
    }
    EXPECT_EQ(reached, 10) << "mode " << mode << (slow ? " in slow motion" : "");
    EXPECT_EQ(gGame.bots[0].stuckTicks, 0);
  }
}

TEST_F(Navigation, ABotTurningBackInTheNarrowDoorwayLeavesIt) {
  // The waypoint in the doorway (14 units to spare beside a bot's body): a bot that comes
  // through from room C and is sent back turns on the spot instead of running its turn into
  // the door's side, where it stood wedged until it re-planned.
  GraphBuildReport report;
  BuildGraph(&report);
  const int door = NearestWaypoint(Vec3(1104, -19, 620));
  const int back = NearestWaypoint(Vec3(1007, -19, 334));
  ASSERT_EQ(gGame.waypoints.links[door][back], 1);
  Bot& bot = gGame.bots[0];
  bot = Bot();
  bot.runSpeed = 4;
  bot.moveMode = MoveRun;
  bot.steerMode = SteerAtWaypoint;
  bot.position = WaypointPosition(door) + Vec3(5, 0, -29);  // just arrived, heading on north
  bot.heading = 260;
  bot.lastWaypoint = door;
  bot.targetWaypoint = back;
  bot.goalWaypoint = back;
  int longest = 0, tick = 0;
  for (; tick < 3 * 85 && bot.lastWaypoint != back; ++tick) {
    MoveBot(0);
    longest = std::max(longest, bot.stuckTicks);
    ASSERT_EQ(bot.targetWaypoint, back) << "re-planned at tick " << tick;
  }
  EXPECT_EQ(bot.lastWaypoint, back);
  EXPECT_LT(longest, 10);
}

TEST_F(Navigation, RoutesOnAGraphLargerThanTheBuiltInOne) {
  // A generated chain of 300 waypoints 50 apart: every pair has a route along the chain.
  const int n = 300;
  gGame.waypoints = WaypointGraph(n);
  gGame.waypoints.count = n;
  gGame.waypoints.generated = true;
  for (int i = 0; i < n; ++i) {
    gGame.waypoints.x[i] = 50.0f * i;
    if (i > 0) gGame.waypoints.links[i][i - 1] = gGame.waypoints.links[i - 1][i] = 1;
  }
  BuildRouteTable();
  EXPECT_EQ(gGame.routes.nextHop.size(), n);
  for (int a : {0, 17, 150, 299})
    for (int b : {0, 42, 298, 299}) {
      int at = a, steps = 0;
      while (at != b && steps <= n) at = gGame.routes.nextHop[at][b], ++steps;
      EXPECT_EQ(steps, std::abs(a - b)) << a << " -> " << b;
    }
  EXPECT_EQ(NearestWaypoint(Vec3(50.0f * 250 + 10, 0, 0)), 250);
}

TEST_F(Navigation, TheDefaultLevelKeepsItsBuiltInGraph) {
  LoadWaypointsForLevel(true);
  const WaypointGraph& g = gGame.waypoints;
  EXPECT_FALSE(g.generated);
  ASSERT_EQ(g.count, BuiltInWaypointCount);
  for (int i = 0; i < g.count; ++i) {
    EXPECT_EQ(g.x[i], BuiltInWaypoints[i][0]);
    EXPECT_EQ(g.y[i], BuiltInWaypoints[i][1] + BuiltInWaypointRaise);
  }
  EXPECT_EQ(gGame.routes.nextHop[12][15], 13);
}

TEST_F(Navigation, BotsStartAtThePlayerStartsThatAreNotThePlayers) {
  GraphBuildReport report;
  BuildGraph(&report);
  const Vec3 player(100, 60, 100);
  // Starts as in the level file's entity text (just above the floor): the player's own is
  // skipped, the next two are the bots'.
  PlaceBotsAtStarts({Vec3(100, 60, 100), Vec3(300, 156, 1000), Vec3(1100, -4, 1000)}, player);
  EXPECT_NEAR(gGame.bots[0].position.x, 300, 1e-3);
  EXPECT_NEAR(gGame.bots[0].position.y, NavLevelLayout::RoomB + 45, 0.1);
  EXPECT_NEAR(gGame.bots[1].position.z, 1000, 1e-3);
  EXPECT_NEAR(gGame.bots[1].position.y, NavLevelLayout::RoomC + 45, 0.1);
  for (const Bot& bot : gGame.bots) {
    EXPECT_EQ(bot.state, StateSearch);
    EXPECT_TRUE(HasRoute(bot.targetWaypoint, bot.goalWaypoint));
  }
  // Too few starts: the bots go to reachable waypoints far from the player and each other.
  PlaceBotsAtStarts({Vec3(100, 60, 100)}, player);
  const Vec3 a = gGame.bots[0].position, b = gGame.bots[1].position;
  EXPECT_GT(Magnitude(a - player), 900);
  EXPECT_GT(Magnitude(b - player), 400);
  EXPECT_GT(Magnitude(a - b), 400);
  EXPECT_FALSE(InNavLevelPit(a) || InNavLevelPit(b));
}

TEST_F(Navigation, TheEndToEndLevelSourceIsTheTestLevel) {
  // tests/e2e/nav_rooms.map is this level's map source for levelc; regenerate it with
  // KORVALIS_WRITE_NAV_MAP=1 after changing the level.
  const std::string path = KORVALIS_SOURCE_DIR "/tests/e2e/nav_rooms.map";
  const std::string source = NavLevelMapSource("textures/korvalis/concrete");
  if (std::getenv("KORVALIS_WRITE_NAV_MAP")) std::ofstream(path) << source;
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), source);
}

TEST_F(Navigation, ACurvedSurfaceIsAFloorToo) {
  // A sealed room (x, z 0..600, ceiling at 300) whose only floor at height 0 is a flat patch;
  // the solid box far below catches what falls through.
  LevelBuilder builder;
  builder.AddWorldBox(Vec3(-32, -600, -32), Vec3(632, -568, 632));
  builder.AddWorldBox(Vec3(-32, -568, -32), Vec3(0, 332, 632));
  builder.AddWorldBox(Vec3(600, -568, -32), Vec3(632, 332, 632));
  builder.AddWorldBox(Vec3(0, -568, -32), Vec3(600, 332, 0));
  builder.AddWorldBox(Vec3(0, -568, 600), Vec3(600, 332, 632));
  builder.AddWorldBox(Vec3(0, 300, 0), Vec3(600, 332, 600));
  std::vector<BspVertex> grid(9);
  for (int row = 0; row < 3; ++row)
    for (int column = 0; column < 3; ++column) {
      const Vec3 file = WorldToFile(Vec3(300.0f * column, 0, 300.0f * row));
      grid[row * 3 + column].position[0] = file.x;
      grid[row * 3 + column].position[1] = file.y;
      grid[row * 3 + column].position[2] = file.z;
    }
  builder.AddRawFace(FaceTypePatch, grid, {}, 0, -1, 3, 3);
  std::string error;
  ASSERT_TRUE(builder.LoadInto(&gGame.level, &error)) << error;
  ASSERT_FALSE(gGame.level.collisionTriangles.empty());
  GraphBuildReport report;
  BuildGraph(&report);
  // Waypoints on the patch, and below it on the box (a floor as well).
  int onPatch = 0;
  for (int i = 0; i < gGame.waypoints.count; ++i) {
    const float y = WaypointPosition(i).y;
    onPatch += std::fabs(y - 45) < 1.0f;
    EXPECT_TRUE(std::fabs(y - 45) < 1.0f || std::fabs(y - (-568 + 45)) < 1.0f) << i << " at " << y;
  }
  EXPECT_GE(onPatch, 4);
}

TEST_F(Navigation, ALevelWithoutFloorsGetsNoGraph) {
  gGame.level = Level();
  NavMesh mesh;
  std::string error;
  EXPECT_FALSE(BuildNavMesh(gGame.level, NavMeshSettings(), &mesh, &error));
  EXPECT_FALSE(error.empty());
  LoadWaypointsForLevel(false);  // one waypoint where the player is; bots do not crash
  EXPECT_EQ(gGame.waypoints.count, 1);
  InitBot(0);
  InitBot(1);
  PlaceBotsAtStarts({}, gGame.camera.position);
  MoveBot(0);
  UpdateBot(1);
}

}  // namespace

namespace {

int gPitShots = 0;
void CountPitShot(Vec3, Vec3, int, int) { ++gPitShots; }

}  // namespace

TEST_F(Navigation, BotsKeepOutOfThePitRoamingTheLevelAndComeWhenCalled) {
  GraphBuildReport report;
  BuildGraph(&report);
  const int count = gGame.waypoints.count;
  int pit = -1;
  for (int w = 0; w < count; ++w) {
    const bool inPit = InNavLevelPit(WaypointPosition(w));
    EXPECT_EQ(LeadsToLargestPart(w), !inPit) << w;
    if (inPit) pit = w;
  }
  ASSERT_GE(pit, 0) << "drops into the pit make a waypoint down there";

  // From the pit's rim the nearest waypoint the bot walks to is never down in it, and the pit
  // waypoint (the player down there) as a goal becomes one on the rim.
  Bot& bot = gGame.bots[0];
  bot = Bot();
  for (Vec3 rim : {Vec3(1264, -19, 84), Vec3(1264, -19, 244), Vec3(1184, -19, 164), Vec3(1344, -19, 164)}) {
    const int w = NearestReachableWaypoint(rim);
    EXPECT_FALSE(InNavLevelPit(WaypointPosition(w))) << rim.x << " " << rim.z;
    bot.position = rim;
    bot.targetWaypoint = w;
    SetGoal(0, pit);
    EXPECT_NE(bot.goalWaypoint, pit);
    EXPECT_LT(Magnitude(WaypointPosition(bot.goalWaypoint) - WaypointPosition(pit)), 300);
  }

  // Two bots roam for a minute of game time from the level's starts (the player out of
  // their sight), after a different number of random draws each run: they never walk or
  // slide into the pit beside their ways, keep moving and reach many waypoints. Then sent
  // to the player in room A, they see the player.
  for (int draws : {0, 7, 14, 35, 63}) {
    ResetRandom();
    for (int k = 0; k < draws; ++k) RandomInt();
    InitBot(0);
    InitBot(1);
    gGame.botsRun = true;
    gGame.trackedPlayerPosition = Vec3(-2000, 50, 100);  // outside the level
    PlaceBotsAtStarts({Vec3(300, 156, 1000)}, Vec3(100, 50, 100));
    std::set<int> reached[BotCount];
    Vec3 windowStart[BotCount];
    float moved[BotCount] = {}, leastMoved[BotCount] = {1e9f, 1e9f};
    bool inPit[BotCount] = {}, saw[BotCount] = {};
    const int minute = 85 * 60;
    for (int tick = 0; tick < 2 * minute; ++tick) {
      if (tick == minute) {
        gGame.trackedPlayerPosition = Vec3(150, 50, 100);
        gGame.playerWaypoint = NearestWaypointInSight(gGame.trackedPlayerPosition);
        SendBotsToPlayer();
      }
      for (int i = 0; i < BotCount; ++i) {
        const Bot& b = gGame.bots[i];
        if (tick % (85 * 20) == 0) {
          if (tick > 0 && tick <= minute) leastMoved[i] = std::min(leastMoved[i], moved[i]);
          windowStart[i] = b.position, moved[i] = 0;
        }
        UpdateBot(i);
        MoveBot(i);
        moved[i] = std::max(moved[i], Magnitude(b.position - windowStart[i]));
        if (tick < minute && b.lastWaypoint >= 0) reached[i].insert(b.lastWaypoint);
        inPit[i] = inPit[i] || (InNavLevelPit(b.position) && b.position.y < NavLevelLayout::RoomC);
        saw[i] = saw[i] || (tick > minute && b.seesPlayer);
      }
    }
    for (int i = 0; i < BotCount; ++i) {
      SCOPED_TRACE("bot " + std::to_string(i) + " after " + std::to_string(draws) + " draws");
      EXPECT_FALSE(inPit[i]);
      EXPECT_GT(leastMoved[i], 200);
      EXPECT_GE(reached[i].size(), 15u);
      EXPECT_TRUE(saw[i]);
    }
  }

  // A bot that is down in the pit anyway stays there, and still fights the player it sees.
  gPitShots = 0;
  gBotShot = CountPitShot;
  InitBot(0);
  bot.position = WaypointPosition(pit);
  bot.targetWaypoint = NearestReachableWaypoint(bot.position);
  EXPECT_EQ(bot.targetWaypoint, pit);
  gGame.trackedPlayerPosition = WaypointPosition(pit) + Vec3(0, 300, 150);
  for (int tick = 0; tick < 85 * 5; ++tick, fake.now += 12) {
    UpdateBot(0);
    MoveBot(0);
  }
  EXPECT_EQ(bot.state, StateAttack);
  EXPECT_GE(gPitShots, 3);
  gBotShot = FireShot;
}
