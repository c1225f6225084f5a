// The waypoint graph the bots walk, its all-pairs next-hop table, the nearest-waypoint
// questions the bots ask, and the diagnostic drawing of the graph.
#pragma once
#include <vector>

#include "core/vec3.h"
#include "core/waypoint_graph_record.h"

// Fills the graph from the built-in table (heights raised by 4) and builds the route table.
void LoadBuiltInWaypoints();
// The position of waypoint w of the game's graph.
Vec3 WaypointPosition(int w);

// Travel cost: per axis the difference truncated toward zero, made positive, summed.
float WaypointCost(Vec3 a, Vec3 b);
// One shortest-path search from s to t; writes the next hop toward t for every waypoint of
// the path found. A target no path reaches leaves its entries untouched.
void FindRoute(int source, int target);
// Every pair below count: -2, the diagonal itself, then FindRoute in row-major order. A
// generated graph instead gets one shortest-path search from every waypoint (the tree of
// cheapest paths into it gives every other waypoint its next hop), and a table of its size.
void BuildRouteTable();
// Whether the route table leads from a to b.
bool HasRoute(int a, int b);
// The graph's parts: sets of waypoints that can all reach one another along its links (one
// way or both). Numbers each waypoint's part into `part`; returns how many there are.
int GraphParts(const WaypointGraph& graph, std::vector<int>* part);
// The part of waypoint w and how many waypoints it holds, as the route table found them (the
// built-in graph is one part).
int WaypointPart(int w);
int PartSize(int w);
// Whether a bot at waypoint w can still get to the largest part (always on the built-in
// graph). One that cannot is in a dead end: a pit, a ledge below the rest with no way back.
bool LeadsToLargestPart(int w);

// The waypoint with the lowest cost to p; ties go to the lower index; 0 when none is near.
int NearestWaypoint(Vec3 p);
// The cheapest of the few cheapest waypoints with a clear (10, 10, 10) box trace to p; the
// cheapest of all when none is in sight.
int NearestWaypointInSight(Vec3 p);
// Records the player's position and nearest waypoint (every frame); returns that waypoint.
// On a generated graph the nearest in sight (NearestWaypointInSight).
int UpdatePlayerWaypoint(Vec3 position);
// The cheapest waypoint with a clear (10, 10, 10) box trace to the bot; 0 when none is.
int NearestVisibleWaypoint(int botIndex);

// Diagnostic view: a pyramid per waypoint and a white line per link.
void DrawWaypointGraph();
