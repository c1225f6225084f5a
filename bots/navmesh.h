// The walkable floor of a level as a navigation mesh: the solid brushes and curved surfaces
// the tracer stops at are turned into triangles and handed to Recast, which keeps the floors where a bot's body
// (radius 17, height 90) fits and joins them where a step up or down is small enough. A large
// level is built in tiles on several threads. The result is plain convex polygons in world
// coordinates; every Recast structure is freed before BuildNavMesh returns.
#pragma once
#include <string>
#include <vector>

#include "core/vec3.h"

class Level;

struct NavMeshSettings {
  float agentRadius = 17;    // the bot's body, half its width
  float agentHeight = 90;    // the bot's body from soles to the top of its head
  float agentClimb = 25;     // the highest step the walkers of the level go up (as the player)
  float maxSlope = 50;       // degrees; steeper faces are walls
  float cellHeight = 2;
  // Cells of agentRadius / 3 erode exactly the bot's radius from the walls and still leave
  // a 40-unit door open; a level too large for that many cells gets coarser ones.
  int cellsPerRadius = 3;
  long maxCells = 2000000;   // grid columns at most
  // A grid of more than tileAboveCells columns, and wider or deeper than tileCells, is built
  // in tiles of tileCells square, side by side on worker threads, and joined across their
  // borders; a smaller one is built whole. Tiles bound the build's memory and share it among
  // the cores, but they move waypoints, and a link up a stair can be lost with them (a walk
  // climbs steps only where it happens to meet them well): only the largest levels are tiled.
  int tileCells = 384;
  long tileAboveCells = 1500000;
  int workers = 0;           // threads for the tiles; 0: one per core (at most 8)
};

struct NavPolygon {
  std::vector<Vec3> corners;  // on the floor, in order around the polygon
  int component = 0;          // polygons joined by portals share one
};

// Where two polygons meet: a bot crossing from one to the other passes here.
struct NavPortal {
  Vec3 midpoint;
  int polygonA = 0, polygonB = 0;
  bool tileBorder = false;    // on a border between two tiles the mesh was built in
};

struct NavMesh {
  std::vector<NavPolygon> polygons;
  std::vector<NavPortal> portals;
  int componentCount = 0;
  float cellSize = 0;         // the grid the mesh was built on (level units)
};

// The triangles of the solid brushes' faces (world coordinates, three corners each, wound so
// that they face out of their brush), and of the solid curved surfaces, each both ways round.
std::vector<Vec3> SolidTriangles(const Level& level);

// Builds the mesh of the level's walkable floors. false with the reason when Recast fails or
// the level has no solid geometry.
bool BuildNavMesh(const Level& level, const NavMeshSettings& settings, NavMesh* mesh,
                  std::string* error);
