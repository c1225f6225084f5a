// Small waypoint graphs for tests: waypoints at given positions with given undirected links.
#pragma once
#include <utility>
#include <vector>

#include "core/vec3.h"

// Replaces gGame.waypoints with `points` joined by `links` (both ways); the route table is
// left as it is.
void SetWaypointGraph(const std::vector<Vec3>& points, const std::vector<std::pair<int, int>>& links);
