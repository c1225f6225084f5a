// The navigation mesh of a level's walkable floors, built with Recast from the solid brushes
// and curved surfaces the tracer stops at. Each brush side becomes a polygon by cutting a large square on its
// plane with every other side of the brush; the polygons go to Recast as triangles facing out
// of their brush, so floors face up and Recast can tell them from walls and ceilings.
#include "bots/navmesh.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

#include "bots/navmesh_tiles.h"
#include "bots/worker_threads.h"
#include "core/level.h"

namespace {

constexpr float PlaneReach = 131072.0f;  // half-size of the square cut down to a brush side
constexpr float ClipEpsilon = 0.01f;

Vec3 PlaneNormal(const BspPlane& plane) {
  return Vec3(plane.normal[0], plane.normal[1], plane.normal[2]);
}

// Keeps the part of the polygon behind the plane (n . p <= distance).
std::vector<Vec3> ClipBehind(const std::vector<Vec3>& polygon, Vec3 n, float distance) {
  std::vector<Vec3> out;
  const size_t count = polygon.size();
  for (size_t i = 0; i < count; ++i) {
    const Vec3 a = polygon[i], b = polygon[(i + 1) % count];
    const float da = Dot(n, a) - distance, db = Dot(n, b) - distance;
    if (da <= ClipEpsilon) out.push_back(a);
    if ((da < -ClipEpsilon && db > ClipEpsilon) || (da > ClipEpsilon && db < -ClipEpsilon))
      out.push_back(a + (b - a) * (da / (da - db)));
  }
  return out;
}

// The face of a brush on one of its sides: a square on the plane cut by the other sides,
// wound counter-clockwise seen from outside the brush.
std::vector<Vec3> SideFace(const Level& level, const BspBrush& brush, int side) {
  const BspPlane& plane = level.planes[level.brushSides[brush.firstSide + side].plane];
  const Vec3 n = PlaneNormal(plane);
  const Vec3 helper = std::fabs(n.y) < 0.9f ? Vec3(0, 1, 0) : Vec3(1, 0, 0);
  const Vec3 u = Normalize(Cross(helper, n));
  const Vec3 v = Cross(n, u);  // u x v = n
  const Vec3 centre = n * plane.distance;
  std::vector<Vec3> face = {centre + u * PlaneReach + v * PlaneReach, centre - u * PlaneReach + v * PlaneReach,
                            centre - u * PlaneReach - v * PlaneReach, centre + u * PlaneReach - v * PlaneReach};
  for (int other = 0; other < brush.sideCount && face.size() >= 3; ++other) {
    if (other == side) continue;
    const BspPlane& cut = level.planes[level.brushSides[brush.firstSide + other].plane];
    const Vec3 m = PlaneNormal(cut);
    // A second side on the same plane (a bevel repeating a face) would cut the face away.
    if (Dot(m, n) > 0.9999f && std::fabs(cut.distance - plane.distance) < ClipEpsilon) continue;
    face = ClipBehind(face, m, cut.distance);
  }
  return face;
}

}  // namespace

std::vector<Vec3> SolidTriangles(const Level& level) {
  std::vector<Vec3> triangles;
  // Solid curved surfaces, as the tracer sees them, both ways round: a surface has no inside,
  // and only the side that faces up can be a floor.
  for (const CollisionTriangle& t : level.collisionTriangles) {
    triangles.insert(triangles.end(), {t.corners[0], t.corners[1], t.corners[2]});
    triangles.insert(triangles.end(), {t.corners[0], t.corners[2], t.corners[1]});
  }
  for (const BspBrush& brush : level.brushes) {
    if (brush.sideCount <= 0) continue;
    if ((level.textures[brush.textureIndex].contents & SolidContentsMask) == 0) continue;
    for (int side = 0; side < brush.sideCount; ++side) {
      const std::vector<Vec3> face = SideFace(level, brush, side);
      for (size_t k = 2; k < face.size(); ++k) {
        // Slivers left by bevel sides carry nothing.
        if (Magnitude(Cross(face[k - 1] - face[0], face[k] - face[0])) < 1e-3f) continue;
        triangles.push_back(face[0]);
        triangles.push_back(face[k - 1]);
        triangles.push_back(face[k]);
      }
    }
  }
  return triangles;
}

bool BuildNavMesh(const Level& level, const NavMeshSettings& s, NavMesh* mesh, std::string* error) {
  *mesh = NavMesh();
  NavGeometry geometry;
  for (const Vec3& p : SolidTriangles(level)) geometry.verts.insert(geometry.verts.end(), {p.x, p.y, p.z});
  const int nv = static_cast<int>(geometry.verts.size() / 3), nt = nv / 3;
  if (nt == 0) {
    *error = "the level has no solid faces to stand on";
    return false;
  }

  rcConfig cfg;
  std::memset(&cfg, 0, sizeof cfg);
  rcCalcBounds(geometry.verts.data(), nv, cfg.bmin, cfg.bmax);
  // Cells of a third of the radius erode exactly the radius; wider ones for huge levels.
  float cs = s.agentRadius / static_cast<float>(s.cellsPerRadius);
  const double area = static_cast<double>(cfg.bmax[0] - cfg.bmin[0]) * (cfg.bmax[2] - cfg.bmin[2]);
  if (area / (cs * cs) > static_cast<double>(s.maxCells))
    cs = static_cast<float>(std::sqrt(area / static_cast<double>(s.maxCells)));
  cfg.cs = cs;
  cfg.ch = s.cellHeight;
  cfg.walkableSlopeAngle = s.maxSlope;
  cfg.walkableHeight = static_cast<int>(std::ceil(s.agentHeight / cfg.ch));
  cfg.walkableClimb = static_cast<int>(std::floor(s.agentClimb / cfg.ch));
  cfg.walkableRadius = static_cast<int>(std::ceil(s.agentRadius / cfg.cs - 0.01f));
  cfg.maxEdgeLen = static_cast<int>(256.0f / cfg.cs);
  cfg.maxSimplificationError = 1.3f;
  cfg.minRegionArea = 16;
  cfg.mergeRegionArea = 400;
  cfg.maxVertsPerPoly = 6;
  rcCalcGridSize(cfg.bmin, cfg.bmax, cfg.cs, &cfg.width, &cfg.height);
  mesh->cellSize = cfg.cs;

  {
    rcContext ctx(false);
    std::vector<int> tris(nv);
    std::iota(tris.begin(), tris.end(), 0);
    geometry.areas.assign(nt, RC_NULL_AREA);
    rcMarkWalkableTriangles(&ctx, cfg.walkableSlopeAngle, geometry.verts.data(), nv, tris.data(), nt,
                            geometry.areas.data());
  }
  geometry.bounds.resize(4 * static_cast<size_t>(nt));
  for (int t = 0; t < nt; ++t) {
    const float* v = &geometry.verts[9 * static_cast<size_t>(t)];
    float* b = &geometry.bounds[4 * static_cast<size_t>(t)];
    b[0] = std::min({v[0], v[3], v[6]}), b[1] = std::min({v[2], v[5], v[8]});
    b[2] = std::max({v[0], v[3], v[6]}), b[3] = std::max({v[2], v[5], v[8]});
  }

  // A grid of at most one tile, or of at most tileAboveCells columns, is built whole; a
  // larger one in tiles of tileCells squared, each with a border of the bot's radius and a
  // few cells more, so that the erosion and the regions near a tile's side see the floor
  // beyond it.
  const int tileCells = std::max(16, s.tileCells);
  const float origin[3] = {cfg.bmin[0], cfg.bmin[1], cfg.bmin[2]};
  std::vector<NavTile> tiles;
  std::vector<rcConfig> configs;
  if ((cfg.width <= tileCells && cfg.height <= tileCells) ||
      static_cast<long>(cfg.width) * cfg.height <= s.tileAboveCells) {
    tiles.resize(1);
    configs.push_back(cfg);
  } else {
    const int border = cfg.walkableRadius + 3;
    for (int z = 0; z < cfg.height; z += tileCells)
      for (int x = 0; x < cfg.width; x += tileCells) {
        NavTile tile;
        tile.cellX = x, tile.cellZ = z;
        tiles.push_back(tile);
        rcConfig c = cfg;
        c.borderSize = border;
        c.width = c.height = tileCells + 2 * border;
        c.bmin[0] = origin[0] + static_cast<float>(x - border) * cs;
        c.bmin[2] = origin[2] + static_cast<float>(z - border) * cs;
        c.bmax[0] = origin[0] + static_cast<float>(x + tileCells + border) * cs;
        c.bmax[2] = origin[2] + static_cast<float>(z + tileCells + border) * cs;
        configs.push_back(c);
      }
  }
  const int workers = tiles.size() == 1 ? 1 : WorkerThreadCount(s.workers);
  RunOnWorkers(static_cast<int>(tiles.size()), workers,
               [&](int t, int) { BuildNavTile(geometry, configs[t], origin, &tiles[t]); });
  for (const NavTile& tile : tiles)
    if (!tile.error.empty()) {
      *error = tile.error;
      return false;
    }
  JoinNavTiles(tiles, origin, cfg.cs, cfg.ch, cfg.walkableClimb, mesh);
  return true;
}
