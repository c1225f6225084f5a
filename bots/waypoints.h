// The waypoint graph the bots walk and its all-pairs next-hop table.
#pragma once
#include "core/vec3.h"

constexpr int MaxWaypoints = 99;

struct WaypointGraph {
  float x[MaxWaypoints] = {};    // world x
  float y[MaxWaypoints] = {};    // world y (height)
  float z[MaxWaypoints] = {};    // world z
  int count = 0;                 // waypoints 0 .. count-1 are in use
  int links[MaxWaypoints][MaxWaypoints] = {};  // 1 = walkable straight line; anything else not
};

struct RouteTable {
  int nextHop[MaxWaypoints][MaxWaypoints] = {};  // [from][to]; -2 = no route
};

// Fills the graph from the built-in table and builds the route table.
void LoadBuiltInWaypoints();
// Records the player's position and nearest waypoint (every frame); returns that waypoint.
int UpdatePlayerWaypoint(Vec3 position);
// Diagnostic view: a pyramid per waypoint and a white line per link.
void DrawWaypointGraph();
