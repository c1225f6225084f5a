// The waypoint graph and its routes: the built-in table's routes, the search's tie-breaks
// and write-back order, the truncated cost, and the nearest-waypoint questions.
#include <gtest/gtest.h>

#include <vector>

#include "bots/waypoint_data.h"
#include "bots/waypoints.h"
#include "core/game_state.h"
#include "support/level_builder.h"
#include "support/small_graphs.h"

namespace {

// A small graph of its own: positions and undirected links, and on the diagonal the mark
// (5) the loader puts there.
void MakeGraph(const std::vector<Vec3>& points, const std::vector<std::pair<int, int>>& links) {
  SetWaypointGraph(points, links);
  for (size_t i = 0; i < points.size(); ++i) gGame.waypoints.links[i][i] = 5;
}

std::vector<int> Walk(int from, int to) {
  std::vector<int> path{from};
  for (int steps = 0; from != to && steps < MaxWaypoints; ++steps) {
    from = gGame.routes.nextHop[from][to];
    path.push_back(from);
    if (from < 0) break;
  }
  return path;
}

class Waypoints : public ::testing::Test {
 protected:
  void SetUp() override { ResetGameState(); }
  void TearDown() override { gGame.level = Level(); }
};

}  // namespace

TEST_F(Waypoints, BuiltInTableRoutesEveryPairAlongLinks) {
  LoadBuiltInWaypoints();
  const WaypointGraph& g = gGame.waypoints;
  ASSERT_EQ(g.count, 30);
  EXPECT_FLOAT_EQ(g.y[0], 272.125f);  // raised by 4 after filling
  EXPECT_FLOAT_EQ(g.y[29], 767.03125f);
  int links = 0;
  for (int a = 0; a < g.count; ++a)
    for (int b = 0; b < g.count; ++b) links += g.links[a][b] == 1;
  EXPECT_EQ(links, 2 * BuiltInLinkCount);

  for (int a = 0; a < g.count; ++a) {
    EXPECT_EQ(g.links[a][a], 5);
    EXPECT_EQ(gGame.routes.nextHop[a][a], a);
    for (int b = 0; b < g.count; ++b) {
      // A linked pair walks its link, unless the Manhattan cost makes a detour strictly
      // cheaper: 1 -> 3 -> 2 costs 412, the link 1 - 2 costs 413.
      if (g.links[a][b] == 1) {
        const bool detour = (a == 1 && b == 2) || (a == 2 && b == 1);
        EXPECT_EQ(gGame.routes.nextHop[a][b], detour ? 3 : b) << a << "->" << b;
      }
      ASSERT_NE(gGame.routes.nextHop[a][b], NoRoute) << a << "->" << b;
      // Every route reaches its target within count - 1 steps, each step along a link.
      std::vector<int> path = Walk(a, b);
      EXPECT_EQ(path.back(), b) << a << "->" << b;
      EXPECT_LE(path.size() - 1, static_cast<size_t>(g.count - 1));
      for (size_t k = 1; k < path.size(); ++k)
        EXPECT_EQ(g.links[path[k - 1]][path[k]], 1) << a << "->" << b << " step " << k;
    }
  }
  // 0 and 1 share one position: a free step.
  EXPECT_EQ(gGame.routes.nextHop[0][1], 1);
  EXPECT_EQ(WaypointCost(WaypointPosition(0), WaypointPosition(1)), 0.0f);

  struct Route {
    int from, to;
    std::vector<int> visits;
  };
  const Route routes[] = {
      {0, 29, {0, 1, 3, 4, 5, 6, 8, 9, 10, 11, 12, 13, 14, 16, 18, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29}},
      {25, 15, {25, 24, 23, 22, 21, 20, 19, 15}},
      {12, 15, {12, 13, 14, 15}},
  };
  for (const Route& r : routes) EXPECT_EQ(Walk(r.from, r.to), r.visits) << r.from << "->" << r.to;
}

TEST_F(Waypoints, EqualPathsFollowTheTieBreakAndTheLastSearchThatWrote) {
  // A square 0-1-3 / 0-2-3 of equal sides. Alone, the highest-numbered unsettled waypoint
  // with the minimum wins and the route goes over 2. A farther tail waypoint 4 on 0 makes
  // the highest unsettled one not minimal, so the lowest with the minimum (1) wins.
  const std::vector<Vec3> square = {Vec3(0, 0, 0), Vec3(10, 0, 0), Vec3(0, 0, 10), Vec3(10, 0, 10)};
  const std::vector<std::pair<int, int>> squareLinks = {{0, 1}, {0, 2}, {1, 3}, {2, 3}};

  MakeGraph(square, squareLinks);
  for (auto& row : gGame.routes.nextHop)
    for (int& e : row) e = NoRoute;
  FindRoute(0, 3);
  EXPECT_EQ(gGame.routes.nextHop[0][3], 2);
  EXPECT_EQ(gGame.routes.nextHop[2][3], 3);  // every waypoint of the path is written
  EXPECT_EQ(gGame.routes.nextHop[3][3], NoRoute);

  std::vector<Vec3> withTail = square;
  withTail.push_back(Vec3(-15, 0, 0));
  auto tailLinks = squareLinks;
  tailLinks.push_back({0, 4});
  MakeGraph(withTail, tailLinks);
  for (auto& row : gGame.routes.nextHop)
    for (int& e : row) e = NoRoute;
  FindRoute(0, 3);
  EXPECT_EQ(gGame.routes.nextHop[0][3], 1);
  EXPECT_EQ(gGame.routes.nextHop[1][3], 3);

  // The search from 4 (a later row) passes 0 and goes over 2: it overwrites [0][3].
  BuildRouteTable();
  EXPECT_EQ(gGame.routes.nextHop[0][3], 2);
  EXPECT_EQ(gGame.routes.nextHop[4][3], 0);
}

TEST_F(Waypoints, UnreachableTargetsKeepNoRoute) {
  // Two separate pairs: nothing connects 0-1 with 2-3; the search must end and write nothing.
  MakeGraph({Vec3(0, 0, 0), Vec3(50, 0, 0), Vec3(500, 0, 0), Vec3(550, 0, 0)}, {{0, 1}, {2, 3}});
  BuildRouteTable();
  EXPECT_EQ(gGame.routes.nextHop[0][1], 1);
  EXPECT_EQ(gGame.routes.nextHop[3][2], 2);
  for (int a : {0, 1})
    for (int b : {2, 3}) {
      EXPECT_EQ(gGame.routes.nextHop[a][b], NoRoute);
      EXPECT_EQ(gGame.routes.nextHop[b][a], NoRoute);
    }
  for (int a = 0; a < 4; ++a) EXPECT_EQ(gGame.routes.nextHop[a][a], a);
}

TEST_F(Waypoints, CostTruncatesEveryAxisTowardZero) {
  struct Case {
    Vec3 a, b;
    float cost;
  };
  const Case cases[] = {
      {Vec3(0, 0, 0), Vec3(0.9f, 0.9f, 0.9f), 0},
      {Vec3(0, 0, 0), Vec3(1.5f, 0, 0), 1},
      {Vec3(0, 0, 0), Vec3(0, -1.5f, 0), 1},
      {Vec3(0.9f, 0, 0), Vec3(-0.9f, 0, 0), 1},  // 1.8 apart
      {Vec3(2.7f, -3.2f, 0.5f), Vec3(0, 0, 0), 5},
      {Vec3(100, 200, -300), Vec3(-100, 0, 300), 1000},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WaypointCost(c.a, c.b), c.cost) << c.a.x << "," << c.a.y << "," << c.a.z;
    EXPECT_EQ(WaypointCost(c.b, c.a), c.cost);
  }
}

TEST_F(Waypoints, NearestWaypointPrefersTheLowerIndexAndTracksThePlayer) {
  MakeGraph({Vec3(20, 0, 0), Vec3(0, 0, 0), Vec3(10, 0, 10)}, {});
  EXPECT_EQ(NearestWaypoint(Vec3(10, 0, 0)), 0);  // 0 and 1 tie at 10; 2 costs 10 too
  EXPECT_EQ(NearestWaypoint(Vec3(10, 0, 9)), 2);
  EXPECT_EQ(NearestWaypoint(Vec3(1, 0, 0)), 1);
  EXPECT_EQ(NearestWaypoint(Vec3(200000, 0, 0)), 0);  // nothing nearer than 99999

  LoadBuiltInWaypoints();
  EXPECT_EQ(UpdatePlayerWaypoint(Vec3(587, 268, -404)), 0);  // 0 and 1 coincide
  EXPECT_EQ(UpdatePlayerWaypoint(Vec3(1600, 560, -1890)), 18);
  EXPECT_EQ(gGame.playerWaypoint, 18);
  EXPECT_EQ(gGame.trackedPlayerPosition, Vec3(1600, 560, -1890));
}

TEST_F(Waypoints, NearestVisibleWaypointSkipsHiddenOnesAndFallsBackToZero) {
  // A wall at x 40..60 hides waypoint 1 (the cheapest from the bot) and waypoint 3.
  LevelBuilder builder;
  builder.AddWorldBox(Vec3(40, -200, -200), Vec3(60, 200, 200));
  ASSERT_TRUE(builder.LoadInto(&gGame.level));
  MakeGraph({Vec3(-300, 0, 0), Vec3(85, 0, 0), Vec3(-100, 0, 0), Vec3(200, 0, 0)}, {});
  gGame.bots[0].position = Vec3(10, 0, 0);
  EXPECT_EQ(NearestVisibleWaypoint(0), 2);
  gGame.bots[0].position = Vec3(100, 0, 0);  // now only 1 and 3 are in sight
  EXPECT_EQ(NearestVisibleWaypoint(0), 1);

  // A bot sealed inside the wall sees nothing: waypoint 0, even though it is far.
  gGame.bots[0].position = Vec3(50, 0, 0);
  MakeGraph({Vec3(-300, 0, 0), Vec3(85, 0, 0), Vec3(20, 0, 0)}, {});
  EXPECT_EQ(NearestVisibleWaypoint(0), 0);
}
