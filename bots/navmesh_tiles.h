// The pieces of the navigation mesh build: one tile of the level's grid through Recast, and
// the tiles joined into one mesh. A level larger than a tile is cut into tiles built on
// worker threads; each tile rasterises the triangles reaching into it with a border around
// it, so its floors end at its edge as they would in one large grid.
#pragma once
#include <Recast.h>

#include <string>
#include <vector>

#include "bots/navmesh.h"

// The level's solid triangles as Recast takes them, shared read-only by every tile.
struct NavGeometry {
  std::vector<float> verts;           // x, y, z of each corner, three corners a triangle
  std::vector<unsigned char> areas;   // per triangle: RC_WALKABLE_AREA or RC_NULL_AREA
  std::vector<float> bounds;          // per triangle: min x, min z, max x, max z
  int TriangleCount() const { return static_cast<int>(areas.size()); }
};

// A polygon edge lying on a side of its tile: where the neighbouring tile's floor may join.
struct NavTileEdge {
  int polygon = 0;        // in the tile
  int side = 0;           // 0: low x, 1: high x, 2: low z, 3: high z
  int line = 0;           // the side's x (sides 0, 1) or z (2, 3) in cells of the level's grid
  int from = 0, to = 0;   // the edge along the side, in cells, from < to
  int yFrom = 0, yTo = 0; // its heights there, in cell heights above the grid's bottom
};

struct NavTile {
  int cellX = 0, cellZ = 0;          // the tile's first cell in the level's grid
  std::vector<NavPolygon> polygons;  // world coordinates; components are set by the join
  std::vector<NavPortal> portals;    // inside the tile, between its own polygons
  std::vector<NavTileEdge> edges;    // on the tile's sides
  std::string error;                 // why the tile failed; empty when it was built
};

// Builds one tile: `cfg` holds the tile's grid with its border (borderSize cells on each side,
// width and height including it, bounds grown by it); the tile's own cells start at
// (cellX, cellZ) of the level's grid, whose corner is `origin`. Every Recast structure is freed
// before it returns. false with tile->error set when Recast fails.
bool BuildNavTile(const NavGeometry& geometry, const rcConfig& cfg, const float origin[3], NavTile* tile);

// Joins the tiles (in order) into the mesh: their polygons and portals, then a portal
// wherever edges on opposite sides of one tile border overlap at heights within `climb` cells,
// and the connected parts over all tiles. `origin`, `cs` and `ch` place the level's grid.
void JoinNavTiles(const std::vector<NavTile>& tiles, const float origin[3], float cs, float ch, int climb,
                  NavMesh* mesh);
