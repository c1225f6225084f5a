// The bots on a level other than the default one: its waypoint graph built at start-up, and
// the two bots placed at the level's player starts that are not the player's.
#pragma once
#include <functional>
#include <vector>

#include "core/vec3.h"

// The default level gets its built-in graph; any other level a graph built from its
// geometry (its size and build time printed on standard output). A level where no graph can
// be built gets a single waypoint where the player stands. Route table included.
void LoadWaypointsForLevel(bool defaultLevel);

// Places both bots on a generated graph: at the player starts (origins as in the level, in
// their order) other than the one the player stands on, dropped onto the floor; where too few
// remain, at reachable waypoints far from the player. Each walks first to the nearest waypoint
// it can reach and searches on from there. `player` is where the player's eye starts.
void PlaceBotsAtStarts(const std::vector<Vec3>& startOrigins, Vec3 player);

// The nearest of the few nearest waypoints that a bot at `position` reaches by the graph
// builder's trial walk (falling included) and that leads to the largest part; a dead end
// only when it reaches no other (the bot is down in it); when it reaches none of them, the
// nearest of all that leads to the largest part. Of those, one `preferred` turns down (the
// way a bot could not get along) is taken only when it reaches no other.
int NearestReachableWaypoint(Vec3 position, const std::function<bool(int)>& preferred = nullptr);
