// Level files for tests, built from boxes and convex brushes with a real BSP tree.
//
// The tree splits on the brushes' own planes. A brush (or face) goes to every side of a split
// that it reaches or comes within SortMargin of, so a brush touching a splitting plane is
// listed on both sides: the tracer keeps TraceEpsilon from every face, and a trace that stays
// on one side of a node must still meet every brush it could touch. Nodes are written parent
// first, as the loader requires.
#include "support/level_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <map>
#include <tuple>

#include "core/level.h"

namespace {

constexpr double SortMargin = 0.25;      // well above TraceEpsilon
constexpr size_t MaxSplitCandidates = 192;  // planes scored per node (evenly sampled)

struct Bounds {
  double min[3];
  double max[3];
};

double PlaneDistance(const BspPlane& p, Vec3 v) {
  return static_cast<double>(p.normal[0]) * v.x + static_cast<double>(p.normal[1]) * v.y +
         static_cast<double>(p.normal[2]) * v.z - p.distance;
}

// Vertices of the convex solid bounded by the planes (intersections of three planes that lie
// inside all the others).
std::vector<Vec3> SolidCorners(const std::vector<BspPlane>& planes) {
  std::vector<Vec3> corners;
  const size_t n = planes.size();
  for (size_t i = 0; i < n; ++i) {
    for (size_t j = i + 1; j < n; ++j) {
      for (size_t k = j + 1; k < n; ++k) {
        const float* a = planes[i].normal;
        const float* b = planes[j].normal;
        const float* c = planes[k].normal;
        const double bc[3] = {double(b[1]) * c[2] - double(b[2]) * c[1], double(b[2]) * c[0] - double(b[0]) * c[2],
                              double(b[0]) * c[1] - double(b[1]) * c[0]};
        const double ca[3] = {double(c[1]) * a[2] - double(c[2]) * a[1], double(c[2]) * a[0] - double(c[0]) * a[2],
                              double(c[0]) * a[1] - double(c[1]) * a[0]};
        const double ab[3] = {double(a[1]) * b[2] - double(a[2]) * b[1], double(a[2]) * b[0] - double(a[0]) * b[2],
                              double(a[0]) * b[1] - double(a[1]) * b[0]};
        const double det = a[0] * bc[0] + a[1] * bc[1] + a[2] * bc[2];
        if (std::fabs(det) < 1e-9) continue;
        double p[3];
        for (int m = 0; m < 3; ++m) {
          p[m] = (planes[i].distance * bc[m] + planes[j].distance * ca[m] + planes[k].distance * ab[m]) / det;
        }
        const Vec3 v(static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2]));
        bool inside = true;
        for (const BspPlane& q : planes) {
          if (PlaneDistance(q, v) > 0.01) {
            inside = false;
            break;
          }
        }
        if (inside) corners.push_back(v);
      }
    }
  }
  return corners;
}

// Which sides of a plane a set of points reaches (within the margin).
void Sides(const BspPlane& plane, const std::vector<Vec3>& points, bool* front, bool* back) {
  if (points.empty()) {  // unbounded or degenerate: keep it everywhere
    *front = *back = true;
    return;
  }
  double lo = 1e30, hi = -1e30;
  for (const Vec3& p : points) {
    const double d = PlaneDistance(plane, p);
    lo = std::min(lo, d);
    hi = std::max(hi, d);
  }
  *front = hi > -SortMargin;
  *back = lo < SortMargin;
}

// Normal with its first non-zero component positive, so a plane and its flip sort together.
BspPlane Canonical(const BspPlane& p) {
  for (int i = 0; i < 3; ++i) {
    if (p.normal[i] > 0) return p;
    if (p.normal[i] < 0) return {{-p.normal[0], -p.normal[1], -p.normal[2]}, -p.distance};
  }
  return p;
}

int AxisOf(const BspPlane& p) {
  for (int i = 0; i < 3; ++i) {
    if (p.normal[i] == 1.0f && p.normal[(i + 1) % 3] == 0.0f && p.normal[(i + 2) % 3] == 0.0f) return i;
  }
  return -1;
}

class TreeWriter {
 public:
  TreeWriter(BspFileData* file, const std::vector<std::vector<Vec3>>& brushCorners,
             const std::vector<std::vector<int>>& brushPlanes, const std::vector<std::vector<Vec3>>& facePoints)
      : file_(file), brushCorners_(brushCorners), brushPlanes_(brushPlanes), facePoints_(facePoints) {}

  void Write(const Bounds& bounds) {
    std::vector<int> allBrushes(brushCorners_.size()), allFaces(facePoints_.size());
    for (size_t i = 0; i < allBrushes.size(); ++i) allBrushes[i] = static_cast<int>(i);
    for (size_t i = 0; i < allFaces.size(); ++i) allFaces[i] = static_cast<int>(i);
    used_.assign(file_->planes.size(), 0);
    const int root = Build(allBrushes, allFaces, bounds);
    if (root < 0) {
      // The whole level is one leaf; the tracer and the renderer start at node 0, so put a
      // node above it whose back side is empty.
      const BspPlane below = {{0, 0, 1}, static_cast<float>(bounds.min[2] - 1.0)};
      file_->planes.push_back(below);
      BspNode node = {};
      node.plane = static_cast<int32_t>(file_->planes.size() - 1);
      node.children[0] = root;
      node.children[1] = -(AddLeaf({}, {}, bounds) + 1);
      SetBox(&node, bounds);
      file_->nodes.push_back(node);
    }
  }

 private:
  // Returns a node index, or -(leaf + 1).
  int Build(const std::vector<int>& brushes, const std::vector<int>& faces, const Bounds& bounds) {
    const int split = brushes.size() > 1 ? ChooseSplit(brushes) : -1;
    if (split < 0) return -(AddLeaf(brushes, faces, bounds) + 1);

    const BspPlane plane = file_->planes[split];
    std::vector<int> frontBrushes, backBrushes, frontFaces, backFaces;
    for (int b : brushes) {
      bool front, back;
      Sides(plane, brushCorners_[b], &front, &back);
      if (front) frontBrushes.push_back(b);
      if (back) backBrushes.push_back(b);
    }
    for (int f : faces) {
      bool front, back;
      Sides(plane, facePoints_[f], &front, &back);
      if (front) frontFaces.push_back(f);
      if (back) backFaces.push_back(f);
    }
    Bounds frontBounds = bounds, backBounds = bounds;
    const int axis = AxisOf(plane);
    if (axis >= 0) {
      frontBounds.min[axis] = std::max(frontBounds.min[axis], static_cast<double>(plane.distance));
      backBounds.max[axis] = std::min(backBounds.max[axis], static_cast<double>(plane.distance));
    }

    // Parent first: reserve this node before its children.
    const int index = static_cast<int>(file_->nodes.size());
    file_->nodes.push_back(BspNode{});
    used_[split] = 1;
    const int frontChild = Build(frontBrushes, frontFaces, frontBounds);
    const int backChild = Build(backBrushes, backFaces, backBounds);
    used_[split] = 0;
    BspNode& node = file_->nodes[index];
    node.plane = split;
    node.children[0] = frontChild;
    node.children[1] = backChild;
    SetBox(&node, bounds);
    return index;
  }

  // The unused brush plane that leaves the larger child smallest; -1 when no plane helps.
  int ChooseSplit(const std::vector<int>& brushes) {
    std::vector<int> candidates;
    for (int b : brushes) {
      for (int p : brushPlanes_[b]) {
        if (!used_[p] && std::find(candidates.begin(), candidates.end(), p) == candidates.end()) {
          candidates.push_back(p);
        }
      }
    }
    const size_t stride = candidates.size() / MaxSplitCandidates + 1;
    const size_t n = brushes.size();
    int best = -1;
    size_t bestScore = 0;
    for (size_t i = 0; i < candidates.size(); i += stride) {
      const BspPlane& plane = file_->planes[candidates[i]];
      size_t front = 0, back = 0;
      for (int b : brushes) {
        bool f, k;
        Sides(plane, brushCorners_[b], &f, &k);
        front += f;
        back += k;
      }
      if (front == n && back == n) continue;  // separates nothing
      const size_t score = std::max(front, back) * 4 + front + back;
      if (best < 0 || score < bestScore) {
        best = candidates[i];
        bestScore = score;
      }
    }
    return best;
  }

  int AddLeaf(const std::vector<int>& brushes, const std::vector<int>& faces, const Bounds& bounds) {
    BspLeaf leaf = {};
    leaf.cluster = static_cast<int32_t>(file_->leaves.size());
    for (int i = 0; i < 3; ++i) {
      leaf.mins[i] = static_cast<int32_t>(std::floor(bounds.min[i]));
      leaf.maxs[i] = static_cast<int32_t>(std::ceil(bounds.max[i]));
    }
    leaf.firstLeafBrush = static_cast<int32_t>(file_->leafBrushes.size());
    leaf.leafBrushCount = static_cast<int32_t>(brushes.size());
    file_->leafBrushes.insert(file_->leafBrushes.end(), brushes.begin(), brushes.end());
    leaf.firstLeafFace = static_cast<int32_t>(file_->leafFaces.size());
    leaf.leafFaceCount = static_cast<int32_t>(faces.size());
    file_->leafFaces.insert(file_->leafFaces.end(), faces.begin(), faces.end());
    file_->leaves.push_back(leaf);
    return static_cast<int>(file_->leaves.size() - 1);
  }

  static void SetBox(BspNode* node, const Bounds& bounds) {
    for (int i = 0; i < 3; ++i) {
      node->mins[i] = static_cast<int32_t>(std::floor(bounds.min[i]));
      node->maxs[i] = static_cast<int32_t>(std::ceil(bounds.max[i]));
    }
  }

  BspFileData* file_;
  const std::vector<std::vector<Vec3>>& brushCorners_;
  const std::vector<std::vector<int>>& brushPlanes_;  // canonical split planes of each brush
  const std::vector<std::vector<Vec3>>& facePoints_;
  std::vector<char> used_;  // planes already split on along the current path
};

}  // namespace

Vec3 WorldToFile(Vec3 world) { return Vec3(world.x, -world.z, world.y); }
Vec3 FileToWorld(Vec3 file) { return Vec3(file.x, file.z, -file.y); }

LevelBuilder::LevelBuilder() { AddTexture("textures/test/solid", SolidContents); }

int LevelBuilder::AddTexture(const char* name, int32_t contents, int32_t surfaceFlags) {
  BspTextureRecord t = {};
  std::strncpy(t.name, name, sizeof(t.name) - 1);
  t.contents = contents;
  t.surfaceFlags = surfaceFlags;
  textures_.push_back(t);
  return static_cast<int>(textures_.size() - 1);
}

int LevelBuilder::AddBox(Vec3 fileMin, Vec3 fileMax, int texture) {
  const std::vector<BspPlane> planes = {
      {{-1, 0, 0}, -fileMin.x}, {{1, 0, 0}, fileMax.x}, {{0, -1, 0}, -fileMin.y},
      {{0, 1, 0}, fileMax.y},   {{0, 0, -1}, -fileMin.z}, {{0, 0, 1}, fileMax.z},
  };
  return AddBrush(planes, texture);
}

int LevelBuilder::AddWorldBox(Vec3 worldMin, Vec3 worldMax, int texture) {
  // World z becomes file -y, so the world's z range flips.
  return AddBox(Vec3(worldMin.x, -worldMax.z, worldMin.y), Vec3(worldMax.x, -worldMin.z, worldMax.y), texture);
}

int LevelBuilder::AddBrush(const std::vector<BspPlane>& filePlanes, int texture) {
  Brush brush;
  brush.planes = filePlanes;
  brush.texture = texture;
  brush.corners = SolidCorners(filePlanes);
  if (!brush.corners.empty()) {
    // Axis-aligned bevels: without them a box sweeping along a sloped face would stop short
    // of (or past) the brush's true extent on that axis.
    for (int axis = 0; axis < 3; ++axis) {
      for (int sign = -1; sign <= 1; sign += 2) {
        bool present = false;
        for (const BspPlane& p : filePlanes) {
          present |= p.normal[axis] == static_cast<float>(sign) && p.normal[(axis + 1) % 3] == 0.0f &&
                     p.normal[(axis + 2) % 3] == 0.0f;
        }
        if (present) continue;
        float extreme = sign > 0 ? -1e30f : 1e30f;
        for (const Vec3& c : brush.corners) {
          const float v = axis == 0 ? c.x : (axis == 1 ? c.y : c.z);
          extreme = sign > 0 ? std::max(extreme, v) : std::min(extreme, v);
        }
        BspPlane bevel = {{0, 0, 0}, sign * extreme};
        bevel.normal[axis] = static_cast<float>(sign);
        brush.planes.push_back(bevel);
      }
    }
  }
  brushes_.push_back(brush);
  return static_cast<int>(brushes_.size() - 1);
}

int LevelBuilder::AddFace(const std::vector<Vec3>& filePolygon, int texture, int lightmap) {
  Face face;
  face.polygon = filePolygon;
  face.texture = texture;
  face.lightmap = lightmap;
  faces_.push_back(face);
  return static_cast<int>(faces_.size() - 1);
}

int LevelBuilder::AddWorldFace(const std::vector<Vec3>& worldPolygon, int texture, int lightmap) {
  std::vector<Vec3> file;
  for (const Vec3& v : worldPolygon) file.push_back(WorldToFile(v));
  return AddFace(file, texture, lightmap);
}

int LevelBuilder::AddRawFace(int type, const std::vector<BspVertex>& vertices, const std::vector<int32_t>& indices,
                             int texture, int lightmap, int patchWidth, int patchHeight) {
  Face face;
  for (const BspVertex& v : vertices) face.polygon.push_back(Vec3(v.position[0], v.position[1], v.position[2]));
  face.texture = texture;
  face.lightmap = lightmap;
  face.type = type;
  face.vertices = vertices;
  face.indices = indices;
  face.patchSize[0] = patchWidth;
  face.patchSize[1] = patchHeight;
  faces_.push_back(face);
  return static_cast<int>(faces_.size() - 1);
}

int LevelBuilder::AddLightmap(uint8_t r, uint8_t g, uint8_t b) {
  for (int i = 0; i < LightmapSide * LightmapSide; ++i) {
    lightmaps_.push_back(r);
    lightmaps_.push_back(g);
    lightmaps_.push_back(b);
  }
  return static_cast<int>(lightmaps_.size() / LightmapBytes - 1);
}

BspFileData LevelBuilder::Build() const {
  BspFileData file;
  file.textures = textures_;
  file.lightmaps = lightmaps_;
  file.fogs = fogs_;

  // Planes are shared between brushes that have the same face; split planes are the
  // canonical orientation of each brush plane.
  std::map<std::tuple<float, float, float, float>, int> planeIndex;
  auto planeOf = [&](const BspPlane& p) {
    const auto key = std::make_tuple(p.normal[0], p.normal[1], p.normal[2], p.distance);
    auto it = planeIndex.find(key);
    if (it != planeIndex.end()) return it->second;
    file.planes.push_back(p);
    const int index = static_cast<int>(file.planes.size() - 1);
    planeIndex[key] = index;
    return index;
  };

  Bounds bounds = {{1e30, 1e30, 1e30}, {-1e30, -1e30, -1e30}};
  auto grow = [&](const Vec3& v) {
    const double c[3] = {v.x, v.y, v.z};
    for (int i = 0; i < 3; ++i) {
      bounds.min[i] = std::min(bounds.min[i], c[i]);
      bounds.max[i] = std::max(bounds.max[i], c[i]);
    }
  };

  std::vector<std::vector<Vec3>> brushCorners, facePoints;
  std::vector<std::vector<int>> splitPlanes;
  for (const Brush& brush : brushes_) {
    BspBrush record = {};
    record.firstSide = static_cast<int32_t>(file.brushSides.size());
    record.sideCount = static_cast<int32_t>(brush.planes.size());
    record.textureIndex = brush.texture;
    std::vector<int> splits;
    for (const BspPlane& p : brush.planes) {
      file.brushSides.push_back({planeOf(p), brush.texture});
      splits.push_back(planeOf(Canonical(p)));
    }
    file.brushes.push_back(record);
    brushCorners.push_back(brush.corners);
    splitPlanes.push_back(splits);
    for (const Vec3& c : brush.corners) grow(c);
  }

  for (const Face& face : faces_) {
    if (!face.vertices.empty()) {
      BspFace record = {};
      record.textureIndex = face.texture;
      record.effectIndex = -1;
      record.type = face.type;
      record.firstVertex = static_cast<int32_t>(file.vertices.size());
      record.vertexCount = static_cast<int32_t>(face.vertices.size());
      record.firstMeshVertex = static_cast<int32_t>(file.meshVertices.size());
      record.meshVertexCount = static_cast<int32_t>(face.indices.size());
      record.lightmapIndex = face.lightmap;
      record.patchSize[0] = face.patchSize[0];
      record.patchSize[1] = face.patchSize[1];
      file.vertices.insert(file.vertices.end(), face.vertices.begin(), face.vertices.end());
      file.meshVertices.insert(file.meshVertices.end(), face.indices.begin(), face.indices.end());
      for (const Vec3& p : face.polygon) grow(p);
      file.faces.push_back(record);
      facePoints.push_back(face.polygon);
      continue;
    }
    BspFace record = {};
    record.textureIndex = face.texture;
    record.type = FaceTypePolygon;
    record.firstVertex = static_cast<int32_t>(file.vertices.size());
    record.vertexCount = static_cast<int32_t>(face.polygon.size());
    record.lightmapIndex = face.lightmap;
    Vec3 normal;
    if (face.polygon.size() >= 3) {
      normal = NormalizeOrZero(Cross(face.polygon[1] - face.polygon[0], face.polygon[2] - face.polygon[0]));
    }
    record.normal[0] = normal.x;
    record.normal[1] = normal.y;
    record.normal[2] = normal.z;
    // Texture coordinates: planar mapping on the two axes the face spreads along, 64 units
    // per repeat; lightmap coordinates span the face's box.
    const float ax = std::fabs(normal.x), ay = std::fabs(normal.y), az = std::fabs(normal.z);
    const int u = ax >= ay && ax >= az ? 1 : 0;
    const int v = az >= ax && az >= ay ? 1 : 2;
    float lo[3] = {1e30f, 1e30f, 1e30f}, hi[3] = {-1e30f, -1e30f, -1e30f};
    for (const Vec3& p : face.polygon) {
      const float c[3] = {p.x, p.y, p.z};
      for (int i = 0; i < 3; ++i) {
        lo[i] = std::min(lo[i], c[i]);
        hi[i] = std::max(hi[i], c[i]);
      }
    }
    for (const Vec3& p : face.polygon) {
      const float c[3] = {p.x, p.y, p.z};
      BspVertex vertex = {};
      vertex.position[0] = p.x;
      vertex.position[1] = p.y;
      vertex.position[2] = p.z;
      vertex.texCoord[0] = c[u] / 64.0f;
      vertex.texCoord[1] = c[v] / 64.0f;
      vertex.lightmapCoord[0] = hi[u] > lo[u] ? (c[u] - lo[u]) / (hi[u] - lo[u]) : 0.5f;
      vertex.lightmapCoord[1] = hi[v] > lo[v] ? (c[v] - lo[v]) / (hi[v] - lo[v]) : 0.5f;
      vertex.normal[0] = normal.x;
      vertex.normal[1] = normal.y;
      vertex.normal[2] = normal.z;
      std::memset(vertex.color, 255, sizeof(vertex.color));
      file.vertices.push_back(vertex);
      grow(p);
    }
    file.faces.push_back(record);
    facePoints.push_back(face.polygon);
  }

  if (bounds.min[0] > bounds.max[0]) {
    bounds = {{-1024, -1024, -1024}, {1024, 1024, 1024}};
  } else {
    // Room around the brushes: test levels are open (a floor with air above it), and a
    // level's box is where shots, particles and the player count as having left it.
    for (int i = 0; i < 3; ++i) {
      bounds.min[i] -= TestLevelAir;
      bounds.max[i] += TestLevelAir;
    }
  }
  TreeWriter(&file, brushCorners, splitPlanes, facePoints).Write(bounds);
  return file;
}

bool LevelBuilder::LoadInto(Level* level, std::string* error) const {
  const std::vector<uint8_t> bytes = BuildFile();
  std::string reason;
  const bool ok = level->Parse(bytes.data(), bytes.size(), &reason);
  if (!ok && error) *error = reason;
  return ok;
}

Level AllBrushesInOneLeaf(const Level& level) {
  Level brute = level;
  brute.planes.push_back({{0, 1, 0}, -1e9f});
  BspNode root = {};
  root.plane = static_cast<int32_t>(brute.planes.size() - 1);
  root.children[0] = -1;
  root.children[1] = -2;
  brute.nodes = {root};
  BspLeaf all = {}, none = {};
  all.leafBrushCount = static_cast<int32_t>(brute.brushes.size());
  none.firstLeafBrush = all.leafBrushCount;
  brute.leaves = {all, none};
  brute.leafBrushes.clear();
  for (int i = 0; i < all.leafBrushCount; ++i) brute.leafBrushes.push_back(i);
  return brute;
}

Level LoadedLevel(const LevelBuilder& builder) {
  Level level;
  std::string error;
  EXPECT_TRUE(builder.LoadInto(&level, &error)) << error;
  return level;
}

void LevelBuilder::AddFog(const char* shader, int brush) {
  BspFogRecord fog = {};
  std::snprintf(fog.name, sizeof(fog.name), "%s", shader);
  fog.brush = brush;
  fog.visibleSide = -1;
  fogs_.push_back(fog);
}
