// Small waypoint graphs for tests.
#include "support/small_graphs.h"

#include "core/game_state.h"

void SetWaypointGraph(const std::vector<Vec3>& points, const std::vector<std::pair<int, int>>& links) {
  gGame.waypoints = WaypointGraph();
  gGame.waypoints.count = static_cast<int>(points.size());
  for (size_t i = 0; i < points.size(); ++i) {
    gGame.waypoints.x[i] = points[i].x;
    gGame.waypoints.y[i] = points[i].y;
    gGame.waypoints.z[i] = points[i].z;
  }
  for (auto [a, b] : links) gGame.waypoints.links[a][b] = gGame.waypoints.links[b][a] = 1;
}
