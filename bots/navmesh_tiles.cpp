// One tile of the navigation mesh through Recast (rasterise, filter, erode, watershed regions,
// contours, polygons), and the tiles joined into the plain mesh across their borders.
#include "bots/navmesh_tiles.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "core/disjoint_sets.h"

namespace {

struct RecastParts {
  rcHeightfield* solid = nullptr;
  rcCompactHeightfield* compact = nullptr;
  rcContourSet* contours = nullptr;
  rcPolyMesh* polygons = nullptr;
  ~RecastParts() {
    rcFreePolyMesh(polygons);
    rcFreeContourSet(contours);
    rcFreeCompactHeightfield(compact);
    rcFreeHeightField(solid);
  }
};

bool Fail(NavTile* tile, const char* reason) {
  tile->error = reason;
  return false;
}

// Copies the tile's polygons, the portals between them and the edges on its sides.
// `width` and `height`: the tile's own cells, without its border.
void CopyPolygons(const rcPolyMesh& pm, int width, int height, const float origin[3], NavTile* tile) {
  const int nvp = pm.nvp;
  tile->polygons.resize(pm.npolys);
  for (int p = 0; p < pm.npolys; ++p) {
    const unsigned short* poly = pm.polys + p * nvp * 2;
    int corners = 0;
    while (corners < nvp && poly[corners] != RC_MESH_NULL_IDX) ++corners;
    std::vector<Vec3>& out = tile->polygons[p].corners;
    for (int j = 0; j < corners; ++j) {
      const unsigned short* v = pm.verts + poly[j] * 3;
      out.push_back(Vec3(origin[0] + (tile->cellX + v[0]) * pm.cs, origin[1] + v[1] * pm.ch,
                         origin[2] + (tile->cellZ + v[2]) * pm.cs));
    }
    for (int j = 0; j < corners; ++j) {
      const int q = poly[nvp + j];
      if (q == RC_MESH_NULL_IDX) continue;
      if (q & 0x8000) {
        const unsigned short* a = pm.verts + poly[j] * 3;
        const unsigned short* b = pm.verts + poly[(j + 1) % corners] * 3;
        NavTileEdge edge;
        edge.polygon = p;
        int along = 2;
        if (a[0] == 0 && b[0] == 0) {
          edge.side = 0, edge.line = tile->cellX;
        } else if (a[0] == width && b[0] == width) {
          edge.side = 1, edge.line = tile->cellX + width;
        } else if (a[2] == 0 && b[2] == 0) {
          edge.side = 2, edge.line = tile->cellZ, along = 0;
        } else if (a[2] == height && b[2] == height) {
          edge.side = 3, edge.line = tile->cellZ + height, along = 0;
        } else {
          continue;
        }
        const int offset = along == 2 ? tile->cellZ : tile->cellX;
        edge.from = a[along] + offset, edge.to = b[along] + offset;
        edge.yFrom = a[1], edge.yTo = b[1];
        if (edge.from > edge.to) std::swap(edge.from, edge.to), std::swap(edge.yFrom, edge.yTo);
        if (edge.from < edge.to) tile->edges.push_back(edge);
        continue;
      }
      if (q >= pm.npolys || q < p) continue;  // each portal once
      const Vec3 a = out[j], b = out[(j + 1) % corners];
      tile->portals.push_back(NavPortal{(a + b) * 0.5f, p, q});
    }
  }
}

// The top of a column's highest solid has nothing above it in the whole level: it is the
// outside of the level's shell (the roof over it), where the graph never puts a waypoint.
// Recast would otherwise carry those surfaces, as large as the level, through every step.
void DropOpenSkySpans(rcHeightfield& solid) {
  for (int i = 0; i < solid.width * solid.height; ++i) {
    rcSpan* top = solid.spans[i];
    if (!top) continue;
    while (top->next) top = top->next;
    top->area = RC_NULL_AREA;
  }
}

// The edge's height (cell heights) at `at` along it.
float HeightAt(const NavTileEdge& e, float at) {
  return e.yFrom + (e.yTo - e.yFrom) * (at - e.from) / static_cast<float>(e.to - e.from);
}

}  // namespace

bool BuildNavTile(const NavGeometry& geometry, const rcConfig& cfg, const float origin[3], NavTile* tile) {
  // The triangles reaching into the tile with its border, in the level's order.
  std::vector<int> tris;
  std::vector<unsigned char> areas;
  for (int t = 0; t < geometry.TriangleCount(); ++t) {
    const float* b = &geometry.bounds[t * 4];
    if (b[0] > cfg.bmax[0] || b[2] < cfg.bmin[0] || b[1] > cfg.bmax[2] || b[3] < cfg.bmin[2]) continue;
    tris.insert(tris.end(), {3 * t, 3 * t + 1, 3 * t + 2});
    areas.push_back(geometry.areas[t]);
  }
  rcContext ctx(false);
  RecastParts parts;
  parts.solid = rcAllocHeightfield();
  if (!parts.solid ||
      !rcCreateHeightfield(&ctx, *parts.solid, cfg.width, cfg.height, cfg.bmin, cfg.bmax, cfg.cs, cfg.ch))
    return Fail(tile, "no memory for the navigation grid");
  const int nv = static_cast<int>(geometry.verts.size() / 3);
  if (!rcRasterizeTriangles(&ctx, geometry.verts.data(), nv, tris.data(), areas.data(),
                            static_cast<int>(areas.size()), *parts.solid, cfg.walkableClimb))
    return Fail(tile, "the level's faces could not be rasterised");
  std::vector<int>().swap(tris);
  std::vector<unsigned char>().swap(areas);
  rcFilterLowHangingWalkableObstacles(&ctx, cfg.walkableClimb, *parts.solid);
  DropOpenSkySpans(*parts.solid);
  // No ledge filter: the erosion below already keeps the bot's radius from every drop.
  rcFilterWalkableLowHeightSpans(&ctx, cfg.walkableHeight, *parts.solid);

  parts.compact = rcAllocCompactHeightfield();
  if (!parts.compact ||
      !rcBuildCompactHeightfield(&ctx, cfg.walkableHeight, cfg.walkableClimb, *parts.solid, *parts.compact))
    return Fail(tile, "no memory for the compact navigation grid");
  rcFreeHeightField(parts.solid);
  parts.solid = nullptr;
  if (!rcErodeWalkableArea(&ctx, cfg.walkableRadius, *parts.compact) ||
      !rcBuildDistanceField(&ctx, *parts.compact) ||
      !rcBuildRegions(&ctx, *parts.compact, cfg.borderSize, cfg.minRegionArea, cfg.mergeRegionArea))
    return Fail(tile, "the walkable floors could not be divided into regions");
  parts.contours = rcAllocContourSet();
  if (!parts.contours ||
      !rcBuildContours(&ctx, *parts.compact, cfg.maxSimplificationError, cfg.maxEdgeLen, *parts.contours))
    return Fail(tile, "the outlines of the walkable floors could not be traced");
  rcFreeCompactHeightfield(parts.compact);
  parts.compact = nullptr;
  parts.polygons = rcAllocPolyMesh();
  if (!parts.polygons || !rcBuildPolyMesh(&ctx, *parts.contours, cfg.maxVertsPerPoly, *parts.polygons))
    return Fail(tile, "the walkable floors could not be cut into polygons");
  CopyPolygons(*parts.polygons, cfg.width - 2 * cfg.borderSize, cfg.height - 2 * cfg.borderSize, origin, tile);
  return true;
}

void JoinNavTiles(const std::vector<NavTile>& tiles, const float origin[3], float cs, float ch, int climb,
                  NavMesh* mesh) {
  std::vector<int> first;  // per tile, its first polygon in the mesh
  for (const NavTile& tile : tiles) {
    first.push_back(static_cast<int>(mesh->polygons.size()));
    mesh->polygons.insert(mesh->polygons.end(), tile.polygons.begin(), tile.polygons.end());
    for (NavPortal portal : tile.portals) {
      portal.polygonA += first.back(), portal.polygonB += first.back();
      mesh->portals.push_back(portal);
    }
  }
  const int count = static_cast<int>(mesh->polygons.size());
  std::vector<int> parent = SeparateSets(count);
  for (const NavPortal& portal : mesh->portals) JoinSets(parent, portal.polygonA, portal.polygonB);

  // Edges on a high side, by (axis, line), in tile order; each low-side edge looks its partners up.
  std::map<std::pair<int, int>, std::vector<std::pair<const NavTileEdge*, int>>> highSides;
  for (size_t t = 0; t < tiles.size(); ++t)
    for (const NavTileEdge& e : tiles[t].edges)
      if (e.side == 1 || e.side == 3) highSides[{e.side / 2, e.line}].push_back({&e, first[t] + e.polygon});
  for (size_t t = 0; t < tiles.size(); ++t)
    for (const NavTileEdge& e : tiles[t].edges) {
      if (e.side != 0 && e.side != 2) continue;
      const auto found = highSides.find({e.side / 2, e.line});
      if (found == highSides.end()) continue;
      const int polygon = first[t] + e.polygon;
      for (const auto& [other, otherPolygon] : found->second) {
        const int lo = std::max(e.from, other->from), hi = std::min(e.to, other->to);
        if (lo >= hi) continue;
        if (std::fabs(HeightAt(e, lo) - HeightAt(*other, lo)) > climb ||
            std::fabs(HeightAt(e, hi) - HeightAt(*other, hi)) > climb)
          continue;
        const float middle = 0.5f * (lo + hi);
        const float y = origin[1] + 0.5f * (HeightAt(e, middle) + HeightAt(*other, middle)) * ch;
        const float across = (e.side == 0 ? origin[0] : origin[2]) + e.line * cs;
        const float along = (e.side == 0 ? origin[2] : origin[0]) + middle * cs;
        const Vec3 midpoint = e.side == 0 ? Vec3(across, y, along) : Vec3(along, y, across);
        mesh->portals.push_back(NavPortal{midpoint, otherPolygon, polygon, true});
        JoinSets(parent, polygon, otherPolygon);
      }
    }

  std::vector<int> number(count, -1);
  mesh->componentCount = 0;
  for (int p = 0; p < count; ++p) {
    const int root = FindSet(parent, p);
    if (number[root] < 0) number[root] = mesh->componentCount++;
    mesh->polygons[p].component = number[root];
  }
}
