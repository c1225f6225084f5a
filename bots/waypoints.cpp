// The waypoint graph: loading the built-in table, the travel cost and the nearest-waypoint
// questions the bots ask every tick.
#include "bots/waypoints.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "bots/waypoint_data.h"
#include "core/game_state.h"
#include "core/level.h"
#include "level/trace.h"

namespace {

// Half-size of the box whose trace decides whether a bot can see a waypoint.
const Vec3 SightExtents(10, 10, 10);
// The cheapest waypoints looked at for one in sight of the player.
constexpr size_t InSightCandidates = 8;

// The built-in table stores this on its diagonal; only 1 is a link.
constexpr int DiagonalMark = 5;

}  // namespace

void LoadBuiltInWaypoints() {
  WaypointGraph& graph = gGame.waypoints;
  graph = WaypointGraph();
  graph.count = BuiltInWaypointCount;
  for (int i = 0; i < BuiltInWaypointCount; ++i) {
    graph.x[i] = BuiltInWaypoints[i][0];
    graph.y[i] = BuiltInWaypoints[i][1];
    graph.z[i] = BuiltInWaypoints[i][2];
  }
  // The heights are raised after the table is filled.
  for (int i = 0; i < graph.count; ++i) graph.y[i] += BuiltInWaypointRaise;
  for (int i = 0; i < graph.count; ++i) graph.links[i][i] = DiagonalMark;
  for (const auto& link : BuiltInLinks) {
    graph.links[link[0]][link[1]] = 1;
    graph.links[link[1]][link[0]] = 1;
  }
  BuildRouteTable();
}

Vec3 WaypointPosition(int w) {
  const WaypointGraph& graph = gGame.waypoints;
  if (w < 0 || w >= graph.capacity()) return Vec3();  // a generated graph smaller than 99
  return Vec3(graph.x[w], graph.y[w], graph.z[w]);
}

float WaypointCost(Vec3 a, Vec3 b) {
  // Truncation toward zero per axis: less than one unit on an axis costs nothing.
  auto axis = [](float d) {
    const long whole = static_cast<long>(d);
    return whole < 0 ? -whole : whole;
  };
  return static_cast<float>(axis(a.x - b.x) + axis(a.y - b.y) + axis(a.z - b.z));
}

int NearestWaypoint(Vec3 p) {
  float best = FarAway;
  int result = 0;
  for (int i = 0; i < gGame.waypoints.count; ++i) {
    const float k = WaypointCost(WaypointPosition(i), p);
    if (k < best) {
      best = k;
      result = i;
    }
  }
  return result;
}

int NearestWaypointInSight(Vec3 p) {
  const int count = gGame.waypoints.count;
  std::vector<std::pair<float, int>> cheapest;
  cheapest.reserve(count);
  for (int i = 0; i < count; ++i) cheapest.push_back({WaypointCost(WaypointPosition(i), p), i});
  const size_t tried = std::min<size_t>(InSightCandidates, cheapest.size());
  std::partial_sort(cheapest.begin(), cheapest.begin() + tried, cheapest.end());
  for (size_t k = 0; k < tried; ++k)
    if (!TraceHits(WaypointPosition(cheapest[k].second), p, SightExtents)) return cheapest[k].second;
  return NearestWaypoint(p);
}

int UpdatePlayerWaypoint(Vec3 position) {
  gGame.trackedPlayerPosition = position;
  // On a generated graph the nearest waypoint may lie on the floor below or behind a wall:
  // the player's is the nearest one in sight.
  gGame.playerWaypoint = gGame.waypoints.generated ? NearestWaypointInSight(position) : NearestWaypoint(position);
  return gGame.playerWaypoint;
}

int NearestVisibleWaypoint(int botIndex) {
  const Vec3 bot = gGame.bots[botIndex].position;
  float best = FarAway;
  int result = 0;
  for (int i = 0; i < gGame.waypoints.count; ++i) {
    const Vec3 w = WaypointPosition(i);
    const float k = WaypointCost(w, bot);
    // Only a closer candidate is worth a trace.
    if (k < best && !TraceHits(w, bot, SightExtents)) {
      best = k;
      result = i;
    }
  }
  return result;
}
