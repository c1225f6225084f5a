// The triangles of every face, built once when the level is read (Level::Parse has checked
// the fields read here): polygons and meshes from their index lists (a polygon without one
// as the fan over its vertices), patches tessellated into grids appended behind the file's
// vertices (patches that share an edge cut and welded alike along it), and the triangles of
// the solid patches kept for the tracer.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "core/level.h"
#include "level/patch_stitching.h"
#include "level/patch_surface.h"

namespace {

bool Drawn(const BspFace& face) {
  return face.type == FaceTypePolygon || face.type == FaceTypeMesh || face.type == FaceTypePatch;
}

// The triangle indices of a polygon or mesh face: its list's whole triangles, else (a polygon)
// the fan over its vertices.
int64_t ListedIndexCount(const BspFace& f) {
  if (f.meshVertexCount > 0) return f.meshVertexCount / 3 * 3;
  return f.type == FaceTypePolygon && f.vertexCount > 2 ? 3 * (int64_t{f.vertexCount} - 2) : 0;
}

// A byte count for a refusal: whole MB from 1 MB up, whole KB below, bytes below 1 KB.
// Rounded down, so "more than" stays true however small the budget.
std::string SizeText(int64_t bytes) {
  if (bytes >= int64_t{1} << 20) return std::to_string(bytes >> 20) + " MB";
  if (bytes >= int64_t{1} << 10) return std::to_string(bytes >> 10) + " KB";
  return std::to_string(bytes) + " bytes";
}

// What a patch costs built with the given cuts: its grid's vertices, two triangles a cell
// drawn, and two more to collide with when it is solid.
int64_t PatchCost(const std::vector<int>& columns, const std::vector<int>& rows, bool solid) {
  int64_t across = 0, down = 0;
  for (int n : columns) across += n;
  for (int n : rows) down += n;
  const int64_t cells = across * down;
  return (across + 1) * (down + 1) * int64_t{sizeof(BspVertex)} + 6 * cells * int64_t{sizeof(uint32_t)} +
         (solid ? 2 * cells * int64_t{sizeof(CollisionTriangle)} : 0);
}

}  // namespace

bool Level::BuildFaceGeometry(size_t fileBytes, std::string* reason) {
  faceGeometry.clear();
  faceIndices.clear();
  collisionTriangles.clear();
  collisionSurfaces.clear();

  // The smallest cost of every face, patches at one segment a piece, before anything is built.
  const int64_t budget = LevelBuildBudget(fileBytes) / std::max<int64_t>(buildBudgetDivisor, 1);
  int64_t fixedCost = 0;  // polygons and meshes: their ranges and lists as they are
  int64_t coarsest = 0;
  for (const BspFace& f : faces) {
    if (!Drawn(f)) continue;
    if (f.type == FaceTypePatch) {
      const bool solid = (textures[f.textureIndex].contents & SolidContentsMask) != 0;
      coarsest += PatchCost(std::vector<int>((f.patchSize[0] - 1) / 2, 1), std::vector<int>((f.patchSize[1] - 1) / 2, 1),
                            solid);
    } else {
      fixedCost += int64_t{f.vertexCount} * int64_t{sizeof(BspVertex)} + ListedIndexCount(f) * int64_t{sizeof(uint32_t)};
    }
    if (fixedCost + coarsest > budget) {
      *reason = "its faces take more than " + SizeText(budget) + " to build (" +
                std::to_string(fileBytes) + " bytes of file)";
      return false;
    }
  }
  faceGeometry.assign(faces.size(), FaceGeometry());

  // The patches and the edges they share; the finest cut per piece that keeps all the
  // level's patches, their shared edges cut alike, within the vertex budget.
  std::vector<PatchCut> patches;
  std::vector<int> patchOfFace(faces.size(), -1);
  for (size_t i = 0; i < faces.size(); ++i) {
    const BspFace& f = faces[i];
    if (f.type != FaceTypePatch) continue;
    patchOfFace[i] = static_cast<int>(patches.size());
    PatchCut cut;
    cut.vertices = &vertices;
    cut.firstControl = static_cast<size_t>(f.firstVertex);
    cut.width = f.patchSize[0];
    cut.height = f.patchSize[1];
    cut.solid = (textures[f.textureIndex].contents & SolidContentsMask) != 0;
    patches.push_back(cut);
  }
  const std::vector<PatchEdgeMatch> shared = FindSharedPatchEdges(patches);
  // Halving the cap ends at one segment a piece, which the budget was checked to hold.
  for (int cap = MaxPieceSubdivisions; cap >= 1; cap /= 2) {
    int64_t vertexCount = 0, cost = fixedCost;
    for (PatchCut& p : patches) PatchSubdivisions(PatchControls(p), p.width, p.height, cap, &p.columns, &p.rows);
    AgreeSharedEdgeCounts(shared, &patches);
    for (const PatchCut& p : patches) {
      vertexCount += PatchGridVertexCount(p.columns, p.rows);
      cost += PatchCost(p.columns, p.rows, p.solid);
    }
    if (vertexCount <= MaxPatchVertices && cost <= budget) break;
  }

  std::vector<BspVertex> controls;
  std::vector<size_t> patchFirstVertex(patches.size(), 0);
  for (size_t i = 0; i < faces.size(); ++i) {
    const BspFace& f = faces[i];
    FaceGeometry& g = faceGeometry[i];
    g.firstIndex = static_cast<uint32_t>(faceIndices.size());
    if (!Drawn(f)) continue;
    if (f.type == FaceTypePatch) {
      // The grid is appended to the array the controls live in: copy them first.
      const PatchCut& cut = patches[patchOfFace[i]];
      controls.assign(vertices.begin() + f.firstVertex, vertices.begin() + f.firstVertex + cut.width * cut.height);
      g.firstVertex = static_cast<int32_t>(vertices.size());
      patchFirstVertex[patchOfFace[i]] = vertices.size();
      g.vertexCount = TessellatePatch(controls.data(), cut.width, cut.columns, cut.rows, &vertices, &faceIndices);
    } else {
      g.firstVertex = f.firstVertex;
      g.vertexCount = f.vertexCount;
      if (f.meshVertexCount > 0) {
        const int32_t whole = f.meshVertexCount / 3 * 3;
        for (int32_t k = 0; k < whole; ++k) faceIndices.push_back(static_cast<uint32_t>(meshVertices[f.firstMeshVertex + k]));
      } else if (f.type == FaceTypePolygon) {
        for (int32_t k = 1; k + 1 < f.vertexCount; ++k) {
          faceIndices.push_back(0);
          faceIndices.push_back(static_cast<uint32_t>(k));
          faceIndices.push_back(static_cast<uint32_t>(k + 1));
        }
      }
    }
    g.indexCount = static_cast<uint32_t>(faceIndices.size()) - g.firstIndex;
  }
  // Patches that meet edge to edge meet in the same points.
  WeldSharedEdgeVertices(shared, patches, patchFirstVertex, &vertices);

  for (size_t i = 0; i < faces.size(); ++i) {
    const BspFace& f = faces[i];
    const FaceGeometry& g = faceGeometry[i];
    // Solid patches stop moves on the triangles they are drawn with.
    if (f.type != FaceTypePatch || g.indexCount == 0) continue;
    if ((textures[f.textureIndex].contents & SolidContentsMask) == 0) continue;
    CollisionSurface surface;
    surface.face = static_cast<int32_t>(i);
    surface.firstTriangle = static_cast<uint32_t>(collisionTriangles.size());
    surface.triangleCount = g.indexCount / 3;
    for (int a = 0; a < 3; ++a) {
      surface.mins[a] = HUGE_VALF;
      surface.maxs[a] = -HUGE_VALF;
    }
    for (uint32_t t = 0; t < surface.triangleCount; ++t) {
      CollisionTriangle triangle;
      for (int k = 0; k < 3; ++k) {
        const float* p = vertices[g.firstVertex + faceIndices[g.firstIndex + 3 * t + k]].position;
        triangle.corners[k] = Vec3(p[0], p[1], p[2]);
        for (int a = 0; a < 3; ++a) {
          surface.mins[a] = std::min(surface.mins[a], p[a]);
          surface.maxs[a] = std::max(surface.maxs[a], p[a]);
        }
      }
      collisionTriangles.push_back(triangle);
    }
    collisionSurfaces.push_back(surface);
  }
  // Patches of brush models 1, 2, ... move with their entity: the tracer's fixed triangles
  // are the world's only.
  if (models.size() > 1) {
    const auto inWorld = [&](const CollisionSurface& surface) {
      const BspModel& world = models[0];
      return surface.face >= world.firstFace && surface.face < world.firstFace + world.faceCount;
    };
    collisionSurfaces.erase(std::remove_if(collisionSurfaces.begin(), collisionSurfaces.end(),
                                           [&](const CollisionSurface& s) { return !inWorld(s); }),
                            collisionSurfaces.end());
  }
  return true;
}
