// The bots on the levels that get a generated graph (the movers level, the open arena, the
// navigation level): every goal they draw or are sent to is one they reach and get back
// from; placed away from the graph they walk to it and never stand; Delete brings them to
// the player's waypoint.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "bots/bot.h"
#include "bots/graph_builder.h"
#include "bots/level_bots.h"
#include "bots/waypoints.h"
#include "core/game_state.h"
#include "core/level.h"
#include "core/random.h"
#include "level/entities.h"
#include "support/arena_level.h"
#include "support/fake_platform.h"
#include "support/nav_level.h"

namespace {

constexpr int TicksPerSecond = 85;

bool LoadMoversLevel(Level* level, std::string* error) {
  std::ifstream in(KORVALIS_GAME_DIR "/maps/movers.bsp", std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  const std::string bytes = s.str();
  if (bytes.empty()) {
    *error = "no maps/movers.bsp in the game data";
    return false;
  }
  return level->Parse(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), error);
}

// One level with its graph, built once for all the tests (the arena's takes seconds).
struct BuiltLevel {
  Level level;
  WaypointGraph graph;
  RouteTable routes;
};

std::unique_ptr<BuiltLevel> Build(const std::string& name) {
  ResetGameState();
  std::string error;
  bool loaded = false;
  if (name == "movers") loaded = LoadMoversLevel(&gGame.level, &error);
  if (name == "arena") loaded = ArenaLevel().LoadInto(&gGame.level, &error);
  if (name == "nav") loaded = LoadNavLevel(&gGame.level, 1, &error);
  EXPECT_TRUE(loaded) << name << ": " << error;
  if (!loaded) return nullptr;
  LoadWaypointsForLevel(false);
  auto built = std::make_unique<BuiltLevel>();
  built->level = std::move(gGame.level);
  built->graph = gGame.waypoints;
  built->routes = gGame.routes;
  return built;
}

class BotsRoam : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    static std::unique_ptr<BuiltLevel> levels[3];
    static const std::string names[3] = {"movers", "arena", "nav"};
    const int k = static_cast<int>(std::find(names, names + 3, GetParam()) - names);
    ASSERT_LT(k, 3);
    if (!levels[k]) levels[k] = Build(GetParam());
    ASSERT_TRUE(levels[k]);
    ResetGameState();
    gGame.level = levels[k]->level;
    gGame.waypoints = levels[k]->graph;
    gGame.routes = levels[k]->routes;
    ASSERT_TRUE(gGame.waypoints.generated);
    ASSERT_GT(gGame.waypoints.count, 10);
    ResetRandom();
    gGame.botsRun = true;
    gGame.trackedPlayerPosition = Vec3(0, 1e6f, 0);  // out of every bot's sight
    InitBot(0);
    InitBot(1);
  }
  void TearDown() override { ResetGameState(); }

  // The waypoints of the largest part, a spread of `n` of them.
  std::vector<int> MainWaypoints(size_t n) {
    std::vector<int> all;
    for (int w = 0; w < gGame.waypoints.count; ++w)
      if (PartSize(w) == PartSize(gGame.routes.largestPartWaypoint)) all.push_back(w);
    std::vector<int> spread;
    for (size_t k = 0; k < n && !all.empty(); ++k) spread.push_back(all[k * all.size() / n]);
    return spread;
  }

  // Places bot i on the floor 100 to 300 units (across) from waypoint w, where its body fits
  // and a walk reaches the largest part; false when no such place was found.
  bool PlaceAwayFrom(int i, int w) {
    for (int attempt = 0; attempt < 20; ++attempt) {
      const float angle = 6.2831853f * RandomUnit(), distance = 100 + 200 * RandomUnit();
      const Vec3 above = WaypointPosition(w) + Vec3(distance * std::cos(angle), 60, distance * std::sin(angle));
      Vec3 rest;
      if (!DropToFloor(gGame.level, above, BodyExtents, &rest) || std::fabs(rest.y - WaypointPosition(w).y) > 100)
        continue;
      const int first = NearestReachableWaypoint(rest);
      if (!LeadsToLargestPart(first) || !WalkReaches(gGame.level, rest, WaypointPosition(first), 4)) continue;
      Bot& bot = gGame.bots[i];
      bot.position = rest;
      bot.targetWaypoint = first;
      bot.lastWaypoint = -1;
      EnterState(i, StateSearch);
      return true;
    }
    return false;
  }

  void Tick() {
    fake.now += 12;
    for (int i = 0; i < BotCount; ++i) {
      UpdateBot(i);
      MoveBot(i);
    }
  }

  FakePlatform fake;
};

TEST_P(BotsRoam, EveryGoalIsOneTheBotReachesAndGetsBackFrom) {
  // Random goals drawn at every waypoint, and the player's waypoint (Delete) anywhere: the
  // route leads there, and no goal lies in a dead end the bot is not already in.
  const int count = gGame.waypoints.count;
  Bot& bot = gGame.bots[0];
  int deadEnds = 0;
  for (int from = 0; from < count; ++from) {
    const bool out = LeadsToLargestPart(from);
    deadEnds += !out;
    for (int k = 0; k < 5; ++k) {
      bot.targetWaypoint = from;
      EnterState(0, StateSearch);
      ASSERT_TRUE(HasRoute(from, bot.goalWaypoint)) << from << " -> " << bot.goalWaypoint;
      EXPECT_TRUE(LeadsToLargestPart(bot.goalWaypoint) || !out) << from << " -> " << bot.goalWaypoint;
    }
    for (int player = from % 7; player < count; player += 7) {
      bot.targetWaypoint = from;
      gGame.playerWaypoint = player;
      SendBotsToPlayer();
      ASSERT_TRUE(HasRoute(from, bot.goalWaypoint)) << from << " sent to " << player;
      EXPECT_TRUE(LeadsToLargestPart(bot.goalWaypoint) || !out) << from << " sent to " << player;
      if (HasRoute(from, player) && (LeadsToLargestPart(player) || !out)) {
        EXPECT_EQ(bot.goalWaypoint, player);
      }
    }
  }
  std::printf("%s: %d waypoints, %d in dead ends\n", GetParam().c_str(), count, deadEnds);
}

TEST_P(BotsRoam, BotsPlacedAwayFromTheGraphWalkToItAndNeverStand) {
  // From places off the graph near waypoints across the largest part, both bots roam for 40
  // seconds of game time: each reaches a waypoint within 10 seconds, moves at least 100
  // units in every 5 seconds and reaches many different waypoints.
  for (int w : MainWaypoints(4)) {
    SCOPED_TRACE("near waypoint " + std::to_string(w));
    ASSERT_TRUE(PlaceAwayFrom(0, w));
    ASSERT_TRUE(PlaceAwayFrom(1, w));
    std::set<int> reached[BotCount];
    int firstArrival[BotCount] = {-1, -1};
    Vec3 windowStart[BotCount] = {gGame.bots[0].position, gGame.bots[1].position};
    float moved[BotCount] = {}, leastMoved[BotCount] = {1e9f, 1e9f};
    for (int tick = 1; tick <= 40 * TicksPerSecond; ++tick) {
      Tick();
      for (int i = 0; i < BotCount; ++i) {
        const Bot& bot = gGame.bots[i];
        if (bot.lastWaypoint >= 0) reached[i].insert(bot.lastWaypoint);
        if (bot.lastWaypoint >= 0 && firstArrival[i] < 0) firstArrival[i] = tick;
        moved[i] = std::max(moved[i], Magnitude(bot.position - windowStart[i]));
        if (tick % (5 * TicksPerSecond) == 0) {
          leastMoved[i] = std::min(leastMoved[i], moved[i]);
          windowStart[i] = bot.position, moved[i] = 0;
        }
      }
    }
    for (int i = 0; i < BotCount; ++i) {
      EXPECT_GE(firstArrival[i], 0) << "bot " << i;
      EXPECT_LE(firstArrival[i], 10 * TicksPerSecond) << "bot " << i;
      EXPECT_GT(leastMoved[i], 100) << "bot " << i;
      EXPECT_GE(reached[i].size(), 8u) << "bot " << i;
    }
  }
}

TEST_P(BotsRoam, DeleteBringsBothBotsToThePlayersWaypoint) {
  // The player at waypoints across the largest part, out of the bots' sight: after Delete
  // each bot arrives at the player's waypoint, however it was roaming before.
  const std::vector<int> places = MainWaypoints(5);
  ASSERT_TRUE(PlaceAwayFrom(0, places[0]));
  ASSERT_TRUE(PlaceAwayFrom(1, places[1]));
  for (int player : places) {
    for (int tick = 0; tick < 5 * TicksPerSecond; ++tick) Tick();  // roam a little
    gGame.playerWaypoint = player;
    SendBotsToPlayer();
    bool arrived[BotCount] = {};
    const float far = std::max(Magnitude(gGame.bots[0].position - WaypointPosition(player)),
                               Magnitude(gGame.bots[1].position - WaypointPosition(player)));
    const int limit = static_cast<int>(3 * far / 4) + 10 * TicksPerSecond;  // running at 4 a tick
    for (int tick = 0; tick < limit && !(arrived[0] && arrived[1]); ++tick) {
      Tick();
      for (int i = 0; i < BotCount; ++i) arrived[i] = arrived[i] || gGame.bots[i].lastWaypoint == player;
    }
    EXPECT_TRUE(arrived[0]) << "bot 0 never came to " << player;
    EXPECT_TRUE(arrived[1]) << "bot 1 never came to " << player;
  }
}

TEST(BotsRoamGraph, TheMoversLevelGetsTheSameGraphWithAnyNumberOfWorkers) {
  // Its brush models (doors, lifts) stop the trial walks on every worker's copy of the level
  // as on the level itself.
  ResetGameState();
  std::string error;
  ASSERT_TRUE(LoadMoversLevel(&gGame.level, &error)) << error;
  WaypointGraph first;
  for (int workers : {1, 3, 3}) {
    GraphBuildSettings settings;
    settings.workers = workers;
    WaypointGraph graph;
    GraphBuildReport report;
    ASSERT_TRUE(BuildLevelWaypointGraph(gGame.level, settings, &graph, &report, &error)) << error;
    if (workers == 1) first = graph;
    ASSERT_EQ(graph.count, first.count);
    for (int a = 0; a < graph.count; ++a)
      for (int b = 0; b < graph.count; ++b) ASSERT_EQ(graph.links[a][b], first.links[a][b]) << workers << ": " << a << " -> " << b;
  }
  ResetGameState();
}

INSTANTIATE_TEST_SUITE_P(GeneratedLevels, BotsRoam, ::testing::Values("movers", "arena", "nav"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
