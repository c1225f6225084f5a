// Start-up of the bots on a level other than the default one: building its waypoint graph
// and placing the bots at the player starts the player does not take.
#include "bots/level_bots.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>

#include "bots/bot.h"
#include "bots/graph_builder.h"
#include "bots/waypoints.h"
#include "core/game_state.h"
#include "core/level.h"
#include "level/entities.h"

namespace {

// A start this close to the player's eye (horizontally) is the player's own.
constexpr float PlayersStartReach = 48;
// How many of the nearest waypoints a bot off the graph tries to walk to.
constexpr size_t ReachCandidates = 12;
constexpr float TrialSpeed = 4;  // the walks are a running bot's

// The reachable waypoint farthest from the player and from the places already taken.
Vec3 FarWaypoint(Vec3 player, const std::vector<Vec3>& taken) {
  const int from = NearestWaypoint(player);
  int best = from;
  float bestDistance = -1;
  for (int w = 0; w < gGame.waypoints.count; ++w) {
    if (!HasRoute(from, w) || !HasRoute(w, from)) continue;
    const Vec3 p = WaypointPosition(w);
    float nearest = Magnitude(p - player);
    for (const Vec3& t : taken) nearest = std::fmin(nearest, Magnitude(p - t));
    if (nearest > bestDistance) {
      bestDistance = nearest;
      best = w;
    }
  }
  return WaypointPosition(best);
}

}  // namespace

void LoadWaypointsForLevel(bool defaultLevel) {
  if (defaultLevel) {
    LoadBuiltInWaypoints();
    return;
  }
  WaypointGraph graph;
  GraphBuildReport report;
  std::string error;
  if (BuildLevelWaypointGraph(gGame.level, GraphBuildSettings(), &graph, &report, &error, &gGame.movers)) {
    gGame.waypoints = std::move(graph);
    std::printf("Waypoint graph: %d waypoints, %d links (%d one-way), %d parts, largest %d, built in %.0f ms\n",
                report.waypoints, report.links, report.oneWay, report.components, report.largest,
                report.milliseconds);
  } else {
    const Vec3 p = gGame.camera.position;
    gGame.waypoints = WaypointGraph(1);
    gGame.waypoints.count = 1;
    gGame.waypoints.generated = true;
    gGame.waypoints.x[0] = p.x, gGame.waypoints.y[0] = p.y, gGame.waypoints.z[0] = p.z;
    std::printf("Waypoint graph: none could be built (%s); the bots stay where the player starts\n",
                error.c_str());
  }
  std::fflush(stdout);
  BuildRouteTable();
}

void PlaceBotsAtStarts(const std::vector<Vec3>& startOrigins, Vec3 player) {
  std::vector<Vec3> places;
  for (const Vec3& origin : startOrigins) {
    if (places.size() == BotCount) break;
    if (std::hypot(origin.x - player.x, origin.z - player.z) < PlayersStartReach) continue;
    Vec3 centre;
    if (DropToFloor(gGame.level, origin, BodyExtents, &centre)) places.push_back(centre);
  }
  while (places.size() < BotCount) {
    std::vector<Vec3> taken = places;
    places.push_back(FarWaypoint(player, taken));
  }
  for (int i = 0; i < BotCount; ++i) {
    Bot& bot = gGame.bots[i];
    bot.position = places[i];
    // The bot walks to the nearest waypoint it reaches, its goal one it can reach from there.
    const int first = NearestReachableWaypoint(bot.position);
    bot.targetWaypoint = first;
    bot.lastWaypoint = -1;  // none reached yet
    EnterState(i, StateSearch);
    bot.targetWaypoint = first;
  }
}

int NearestReachableWaypoint(Vec3 position, const std::function<bool(int)>& preferred) {
  const int count = gGame.waypoints.count;
  if (count <= 0) return 0;
  std::vector<std::pair<float, int>> nearest;
  nearest.reserve(count);
  for (int w = 0; w < count; ++w) nearest.push_back({Magnitude(WaypointPosition(w) - position), w});
  const size_t tried = std::min(ReachCandidates, nearest.size());
  std::partial_sort(nearest.begin(), nearest.begin() + tried, nearest.end());
  auto reaches = [&](int w) { return WalkReaches(gGame.level, position, WaypointPosition(w), TrialSpeed); };
  // A waypoint in a dead end (a pit) is walked to only by a bot already down there: it is the
  // only one that bot reaches. One not preferred is taken only when no preferred one is.
  int deadEnd = -1, second = -1;
  for (size_t k = 0; k < tried; ++k) {
    const int w = nearest[k].second;
    if ((deadEnd >= 0 && !LeadsToLargestPart(w)) || (second >= 0 && preferred && !preferred(w)) || !reaches(w))
      continue;
    if (!LeadsToLargestPart(w)) {
      deadEnd = w;
    } else if (preferred && !preferred(w)) {
      second = w;
    } else {
      return w;
    }
  }
  if (second >= 0) return second;
  if (deadEnd >= 0) return deadEnd;
  // None in reach: the nearest one out of a dead end, to steer at until a re-plan.
  std::pair<float, int> best = nearest[0];
  for (const auto& candidate : nearest)
    if (LeadsToLargestPart(candidate.second) && (!LeadsToLargestPart(best.second) || candidate < best))
      best = candidate;
  return best.second;
}
