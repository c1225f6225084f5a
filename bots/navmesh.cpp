// The navigation mesh of a level's walkable floors, built with Recast from the solid brushes
// and curved surfaces the tracer stops at. Each brush side becomes a polygon by cutting a large square on its
// plane with every other side of the brush; the polygons go to Recast as triangles facing out
// of their brush, so floors face up and Recast can tell them from walls and ceilings.
#include "bots/navmesh.h"

#include <Recast.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

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

int Find(std::vector<int>& parent, int i) {
  while (parent[i] != i) i = parent[i] = parent[parent[i]];
  return i;
}

// Copies Recast's polygons, their portals and connected parts into the plain mesh.
void CopyPolygons(const rcPolyMesh& pm, NavMesh* mesh) {
  const int nvp = pm.nvp;
  std::vector<int> parent(pm.npolys);
  std::iota(parent.begin(), parent.end(), 0);
  mesh->polygons.resize(pm.npolys);
  for (int p = 0; p < pm.npolys; ++p) {
    const unsigned short* poly = pm.polys + p * nvp * 2;
    int corners = 0;
    while (corners < nvp && poly[corners] != RC_MESH_NULL_IDX) ++corners;
    for (int j = 0; j < corners; ++j) {
      const unsigned short* v = pm.verts + poly[j] * 3;
      mesh->polygons[p].corners.push_back(
          Vec3(pm.bmin[0] + v[0] * pm.cs, pm.bmin[1] + v[1] * pm.ch, pm.bmin[2] + v[2] * pm.cs));
    }
    for (int j = 0; j < corners; ++j) {
      const int q = poly[nvp + j];
      if (q == RC_MESH_NULL_IDX || (q & 0x8000) || q >= pm.npolys) continue;
      parent[Find(parent, p)] = Find(parent, q);
      if (q < p) continue;  // each portal once
      const Vec3 a = mesh->polygons[p].corners[j];
      const Vec3 b = mesh->polygons[p].corners[(j + 1) % corners];
      mesh->portals.push_back(NavPortal{(a + b) * 0.5f, p, q});
    }
  }
  std::vector<int> number(pm.npolys, -1);
  mesh->componentCount = 0;
  for (int p = 0; p < pm.npolys; ++p) {
    const int root = Find(parent, p);
    if (number[root] < 0) number[root] = mesh->componentCount++;
    mesh->polygons[p].component = number[root];
  }
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
  std::vector<float> verts;
  {
    const std::vector<Vec3> triangles = SolidTriangles(level);
    verts.reserve(triangles.size() * 3);
    for (const Vec3& p : triangles) verts.insert(verts.end(), {p.x, p.y, p.z});
  }
  const int nv = static_cast<int>(verts.size() / 3), nt = nv / 3;
  if (nt == 0) {
    *error = "the level has no solid faces to stand on";
    return false;
  }
  std::vector<int> tris(nv);
  std::iota(tris.begin(), tris.end(), 0);

  rcConfig cfg;
  std::memset(&cfg, 0, sizeof cfg);
  rcCalcBounds(verts.data(), nv, cfg.bmin, cfg.bmax);
  // Cells of a quarter of the radius erode exactly the radius; wider ones for huge levels.
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

  rcContext ctx(false);
  RecastParts parts;
  parts.solid = rcAllocHeightfield();
  if (!parts.solid ||
      !rcCreateHeightfield(&ctx, *parts.solid, cfg.width, cfg.height, cfg.bmin, cfg.bmax, cfg.cs, cfg.ch)) {
    *error = "no memory for the navigation grid";
    return false;
  }
  {
    std::vector<unsigned char> areas(nt, RC_NULL_AREA);
    rcMarkWalkableTriangles(&ctx, cfg.walkableSlopeAngle, verts.data(), nv, tris.data(), nt, areas.data());
    if (!rcRasterizeTriangles(&ctx, verts.data(), nv, tris.data(), areas.data(), nt, *parts.solid,
                              cfg.walkableClimb)) {
      *error = "the level's faces could not be rasterised";
      return false;
    }
  }
  std::vector<float>().swap(verts);
  std::vector<int>().swap(tris);
  rcFilterLowHangingWalkableObstacles(&ctx, cfg.walkableClimb, *parts.solid);
  // No ledge filter: the erosion below already keeps the bot's radius from every drop.
  rcFilterWalkableLowHeightSpans(&ctx, cfg.walkableHeight, *parts.solid);

  parts.compact = rcAllocCompactHeightfield();
  if (!parts.compact ||
      !rcBuildCompactHeightfield(&ctx, cfg.walkableHeight, cfg.walkableClimb, *parts.solid, *parts.compact)) {
    *error = "no memory for the compact navigation grid";
    return false;
  }
  rcFreeHeightField(parts.solid);
  parts.solid = nullptr;
  if (!rcErodeWalkableArea(&ctx, cfg.walkableRadius, *parts.compact) ||
      !rcBuildDistanceField(&ctx, *parts.compact) ||
      !rcBuildRegions(&ctx, *parts.compact, 0, cfg.minRegionArea, cfg.mergeRegionArea)) {
    *error = "the walkable floors could not be divided into regions";
    return false;
  }
  parts.contours = rcAllocContourSet();
  if (!parts.contours ||
      !rcBuildContours(&ctx, *parts.compact, cfg.maxSimplificationError, cfg.maxEdgeLen, *parts.contours)) {
    *error = "the outlines of the walkable floors could not be traced";
    return false;
  }
  parts.polygons = rcAllocPolyMesh();
  if (!parts.polygons || !rcBuildPolyMesh(&ctx, *parts.contours, cfg.maxVertsPerPoly, *parts.polygons)) {
    *error = "the walkable floors could not be cut into polygons";
    return false;
  }
  CopyPolygons(*parts.polygons, mesh);
  return true;
}
