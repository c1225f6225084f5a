// Level::Parse: reads a level file from memory, checks every lump against the file size and
// every cross-reference between records, and converts the geometry from the file's z-up
// coordinates to the game's y-up ones. GL-free, so the tracer's tests and the fuzzer use it.
//
// What is checked, and why only that: polygons, meshes and patches are drawn, so their
// vertex ranges, index lists, patch sizes and textures must be in bounds; billboards and
// faces of unknown types are kept but never read, so their fields are not refused. A
// lightmap index that names no page (negative or past the last) means "lit by the vertex
// colours", never a refusal. Node children must point further down the array (the level compiler writes nodes
// parent first), which makes every walk of the tree end; and the nodes must form one tree
// of bounded depth (see CheckTree), which keeps every walk short.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "core/level.h"
#include "level/lightmaps.h"
#include "level/patch_surface.h"

namespace {

// One lump of the file: where it is and how many whole records it holds.
struct LumpView {
  const uint8_t* data = nullptr;
  size_t length = 0;
};

class BspReader {
 public:
  BspReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  // Checks the lump's directory entry against the file; a remainder past the last whole
  // record is ignored, as the level compiler never writes one.
  bool Lump(int index, LumpView* view, std::string* error) const {
    int32_t entry[2];
    std::memcpy(entry, data_ + 8 + index * 8, sizeof(entry));
    const int64_t offset = entry[0];
    const int64_t length = entry[1];
    if (offset < 0 || length < 0 || offset > static_cast<int64_t>(size_) ||
        length > static_cast<int64_t>(size_) - offset) {
      *error = "lump " + std::to_string(index) + " lies outside the file";
      return false;
    }
    view->data = data_ + offset;
    view->length = static_cast<size_t>(length);
    return true;
  }

  template <typename T>
  bool Records(int index, std::vector<T>* out, std::string* error) const {
    LumpView view;
    if (!Lump(index, &view, error)) return false;
    out->resize(view.length / sizeof(T));
    if (!out->empty()) std::memcpy(out->data(), view.data, out->size() * sizeof(T));
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

// first + count inside [0, total], computed without overflow.
bool RangeInside(int32_t first, int32_t count, size_t total) {
  return first >= 0 && count >= 0 && static_cast<int64_t>(first) + count <= static_cast<int64_t>(total);
}

bool IndexInside(int32_t index, size_t total) {
  return index >= 0 && static_cast<size_t>(index) < total;
}

// z-up (x, y, z) to y-up (x, z, -y).
void ToYUp(float v[3]) {
  const float y = v[1];
  v[1] = v[2];
  v[2] = -y;
}

// Truncates toward zero; a factor from the config file that is negative or not a number
// would otherwise give an out-of-range conversion, so such values end at 0 (or 255).
uint8_t ToByte(float v) {
  if (!(v > 0.0f)) return 0;
  if (v >= 255.0f) return 255;
  return static_cast<uint8_t>(v);
}

// Leaf boxes go through float and are truncated back, the same conversion as the vertices.
void ToYUp(int32_t v[3]) {
  float f[3] = {static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])};
  ToYUp(f);
  for (int i = 0; i < 3; ++i) {
    // Negating the smallest int32 gives 2^31, one past the largest: keep it in range.
    v[i] = f[i] >= 2147483648.0f ? INT32_MAX : static_cast<int32_t>(f[i]);
  }
}

}  // namespace

// The fields of a face that drawing reads. Index lists hold offsets from the face's first
// vertex, each inside its vertex range; a remainder past the last whole triangle is never
// read. A patch's control grid must fit its vertex range.
bool Level::CheckFace(size_t index, std::string* reason) const {
  const BspFace& f = faces[index];
  auto fail = [&](const char* field) {
    *reason = "face " + std::to_string(index) + " " + field;
    return false;
  };
  if (f.type != FaceTypePolygon && f.type != FaceTypePatch && f.type != FaceTypeMesh) return true;
  if (!RangeInside(f.firstVertex, f.vertexCount, vertices.size())) return fail("vertex range");
  if (!IndexInside(f.textureIndex, textures.size())) return fail("texture index");
  if (f.type == FaceTypePatch) {
    const int32_t width = f.patchSize[0], height = f.patchSize[1];
    if (!PatchSizeValid(width, height) || static_cast<int64_t>(width) * height > f.vertexCount) {
      return fail("patch size");
    }
    return true;
  }
  if (f.meshVertexCount == 0) return true;  // a polygon without a list is drawn as its fan
  if (!RangeInside(f.firstMeshVertex, f.meshVertexCount, meshVertices.size())) return fail("mesh index range");
  for (int32_t k = 0; k < f.meshVertexCount; ++k) {
    const int32_t offset = meshVertices[static_cast<size_t>(f.firstMeshVertex) + k];
    if (offset < 0 || offset >= f.vertexCount) return fail("mesh index");
  }
  return true;
}

// The nodes must form one tree: every node but the root and every leaf has exactly one
// parent. A node reached along two paths would be visited along both halves of every split
// above it, doubling a trace's work at each shared level; and no node may lie deeper than
// MaxTreeDepth, so walking the tree recursively stays far from the stack's end. Children
// were already checked to come after their parent, so one pass in index order sees every
// parent before its children, and a node with a parent is reachable from the root.
bool Level::CheckTree(std::string* reason) const {
  std::vector<uint8_t> leafHasParent(leaves.size(), 0);
  std::vector<int32_t> depth(nodes.size(), -1);  // -1: no parent seen yet
  depth[0] = 0;
  for (size_t i = 0; i < nodes.size(); ++i) {
    if (depth[i] < 0) {
      *reason = "node " + std::to_string(i) + " is unreachable from the root";
      return false;
    }
    for (int32_t child : nodes[i].children) {
      if (child >= 0) {
        if (depth[child] >= 0) {
          *reason = "node " + std::to_string(child) + " has more than one parent";
          return false;
        }
        depth[child] = depth[i] + 1;
        if (depth[child] > MaxTreeDepth) {
          *reason = "tree deeper than " + std::to_string(MaxTreeDepth) + " nodes";
          return false;
        }
      } else {
        const size_t leaf = static_cast<size_t>(-(static_cast<int64_t>(child) + 1));
        if (leafHasParent[leaf]) {
          *reason = "leaf " + std::to_string(leaf) + " has more than one parent";
          return false;
        }
        leafHasParent[leaf] = 1;
      }
    }
  }
  return true;
}

// No two brushes may share a side: the work of cutting a brush's sides into faces (the
// navigation mesh) grows with the square of its sides, and brushes sharing one long range
// would repeat it for each. Level compilers give each brush a range of its own.
bool Level::CheckBrushSidesApart(std::string* reason) const {
  std::vector<std::pair<int32_t, size_t>> starts;  // (first side, brush) of brushes with sides
  for (size_t i = 0; i < brushes.size(); ++i)
    if (brushes[i].sideCount > 0) starts.push_back({brushes[i].firstSide, i});
  std::sort(starts.begin(), starts.end());
  for (size_t k = 1; k < starts.size(); ++k) {
    const BspBrush& before = brushes[starts[k - 1].second];
    if (static_cast<int64_t>(before.firstSide) + before.sideCount > starts[k].first) {
      *reason = "brush " + std::to_string(starts[k].second) + " shares sides with brush " +
                std::to_string(starts[k - 1].second);
      return false;
    }
  }
  return true;
}

bool Level::Parse(const uint8_t* data, size_t size, std::string* error) {
  std::string reason;
  // Nothing of an earlier or a refused file stays behind.
  auto clearAll = [this]() {
    vertices.clear();
    faces.clear();
    meshVertices.clear();
    faceGeometry.clear();
    faceIndices.clear();
    collisionTriangles.clear();
    collisionSurfaces.clear();
    fileVertexCount = 0;
    nodes.clear();
    leaves.clear();
    planes.clear();
    leafFaces.clear();
    leafBrushes.clear();
    brushes.clear();
    brushSides.clear();
    models.clear();
    modelPlacements.clear();
    brushTestedBy_.clear();  // the tracer's per-brush state is rebuilt for the new brushes
    surfaceTestedBy_.clear();
    textures.clear();
    entityText.clear();
    lightmapTexels.clear();
    visibility.clear();
    facesDrawn.clear();
    fogs.clear();
    lightGrid = LightGrid();
    clusterCount = 0;
    bytesPerCluster = 0;
    lightmapCount_ = 0;
    facesDrawnLastFrame = 0;
  };
  clearAll();

  auto fail = [&](const char* why) {
    reason = why;
    return false;
  };
  // The message is built only for the record that is refused.
  auto failAt = [&](const char* record, size_t index, const char* field) {
    reason = std::string(record) + " " + std::to_string(index) + " " + field;
    return false;
  };
  auto parse = [&]() -> bool {
    if (data == nullptr || size < static_cast<size_t>(BspHeaderSize)) return fail("file too short for its header");
    if (std::memcmp(data, "IBSP", 4) != 0) return fail("not a level file (bad magic)");
    BspReader reader(data, size);

    if (!reader.Records(LumpVertices, &vertices, &reason) || !reader.Records(LumpFaces, &faces, &reason) ||
        !reader.Records(LumpTextures, &textures, &reason) ||
        !reader.Records(LumpMeshVertices, &meshVertices, &reason) ||
        !reader.Records(LumpNodes, &nodes, &reason) || !reader.Records(LumpLeaves, &leaves, &reason) ||
        !reader.Records(LumpLeafFaces, &leafFaces, &reason) || !reader.Records(LumpPlanes, &planes, &reason) ||
        !reader.Records(LumpLeafBrushes, &leafBrushes, &reason) ||
        !reader.Records(LumpBrushes, &brushes, &reason) ||
        !reader.Records(LumpBrushSides, &brushSides, &reason) || !reader.Records(LumpModels, &models, &reason)) {
      return false;
    }
    LumpView lightmapLump, visLump, entityLump;
    if (!reader.Lump(LumpLightmaps, &lightmapLump, &reason) || !reader.Lump(LumpVisibility, &visLump, &reason) ||
        !reader.Lump(LumpEntities, &entityLump, &reason)) {
      return false;
    }
    // The entity text ends at its first NUL or at the end of its lump, whichever comes first.
    if (entityLump.length > 0) {
      const char* text = reinterpret_cast<const char*>(entityLump.data);
      entityText.assign(text, strnlen(text, entityLump.length));
    }
    if (textures.size() > static_cast<size_t>(MaxLevelTextures)) return fail("more than 1000 textures");
    const size_t lightmaps = lightmapLump.length / LightmapBytes;
    if (lightmaps > static_cast<size_t>(TextureNameSlots - LightmapTextureBase)) {
      return fail("more than 1000 lightmaps");
    }
    if (nodes.empty()) return fail("no nodes");
    if (leaves.empty()) return fail("no leaves");

    // Visibility: cluster count, bytes per cluster, then one row of bits per cluster.
    if (visLump.length != 0) {
      if (visLump.length < 8) return fail("visibility lump too short");
      int32_t head[2];
      std::memcpy(head, visLump.data, sizeof(head));
      if (head[0] < 0 || head[1] < 0) return fail("negative visibility size");
      if (head[1] < (static_cast<int64_t>(head[0]) + 7) / 8) return fail("visibility rows too short");
      const int64_t bits = static_cast<int64_t>(head[0]) * head[1];
      if (bits > static_cast<int64_t>(visLump.length) - 8) return fail("visibility lump too short");
      clusterCount = head[0];
      bytesPerCluster = head[1];
      visibility.assign(visLump.data + 8, visLump.data + 8 + bits);
    }

    // Cross-references, each checked once so drawing and tracing can trust them.
    for (size_t i = 0; i < faces.size(); ++i) {
      if (!CheckFace(i, &reason)) return false;
    }
    for (size_t i = 0; i < nodes.size(); ++i) {
      const BspNode& n = nodes[i];
      if (!IndexInside(n.plane, planes.size())) return failAt("node", i, "plane index");
      for (int32_t child : n.children) {
        if (child >= 0) {
          // Children after their parent: the walk from the root always moves forward and ends.
          if (static_cast<size_t>(child) <= i || static_cast<size_t>(child) >= nodes.size()) {
            return failAt("node", i, "child node");
          }
        } else if (-(static_cast<int64_t>(child) + 1) >= static_cast<int64_t>(leaves.size())) {
          return failAt("node", i, "child leaf");
        }
      }
    }
    if (!CheckTree(&reason)) return false;
    const bool hasVisibility = !visibility.empty();
    for (size_t i = 0; i < leaves.size(); ++i) {
      const BspLeaf& l = leaves[i];
      if (!RangeInside(l.firstLeafFace, l.leafFaceCount, leafFaces.size())) return failAt("leaf", i, "face range");
      if (!RangeInside(l.firstLeafBrush, l.leafBrushCount, leafBrushes.size())) return failAt("leaf", i, "brush range");
      if (hasVisibility && l.cluster >= clusterCount) return failAt("leaf", i, "cluster");
    }
    for (size_t i = 0; i < leafFaces.size(); ++i) {
      if (!IndexInside(leafFaces[i], faces.size())) return failAt("leaf face", i, "index");
    }
    for (size_t i = 0; i < leafBrushes.size(); ++i) {
      if (!IndexInside(leafBrushes[i], brushes.size())) return failAt("leaf brush", i, "index");
    }
    for (size_t i = 0; i < brushes.size(); ++i) {
      const BspBrush& b = brushes[i];
      if (!RangeInside(b.firstSide, b.sideCount, brushSides.size())) return failAt("brush", i, "side range");
      if (b.sideCount > MaxBrushSides) return failAt("brush", i, "has too many sides");
      if (!IndexInside(b.textureIndex, textures.size())) return failAt("brush", i, "texture index");
    }
    if (!CheckBrushSidesApart(&reason)) return false;
    for (size_t i = 0; i < brushSides.size(); ++i) {
      if (!IndexInside(brushSides[i].plane, planes.size())) return failAt("brush side", i, "index");
    }
    // Brush models: their faces and brushes inside their lumps, and a box that is a box of
    // finite numbers no larger than MaxModelSize (the entity moves and turns it).
    if (models.size() > static_cast<size_t>(MaxModels)) return fail("more than 4096 models");
    for (size_t i = 0; i < models.size(); ++i) {
      const BspModel& m = models[i];
      if (!RangeInside(m.firstFace, m.faceCount, faces.size())) return failAt("model", i, "face range");
      if (!RangeInside(m.firstBrush, m.brushCount, brushes.size())) return failAt("model", i, "brush range");
      for (int a = 0; a < 3; ++a) {
        if (!(m.mins[a] <= m.maxs[a]) || !(m.mins[a] >= -MaxModelSize) || !(m.maxs[a] <= MaxModelSize))
          return failAt("model", i, "box");
      }
    }
    std::vector<BspFogRecord> fogRecords;
    if (!reader.Records(LumpEffects, &fogRecords, &reason)) return false;
    for (size_t i = 0; i < fogRecords.size(); ++i) {
      if (!IndexInside(fogRecords[i].brush, brushes.size())) return failAt("fog", i, "brush index");
      FogVolume fog;
      fog.name.assign(fogRecords[i].name, strnlen(fogRecords[i].name, sizeof(fogRecords[i].name)));
      fog.brush = fogRecords[i].brush;
      fogs.push_back(fog);
    }
    // The light grid covers the world model's box (model 0).
    if (!reader.Records(LumpLightVolumes, &lightGrid.cells, &reason)) return false;
    if (models.empty())
      SetUpLightGrid(nullptr, nullptr, false);
    else
      SetUpLightGrid(models[0].mins, models[0].maxs, true);

    // All good: convert to y-up and keep the lightmap pages for upload.
    for (BspVertex& v : vertices) {
      ToYUp(v.position);
      v.texCoord[1] = -v.texCoord[1];
    }
    for (BspLeaf& l : leaves) {
      ToYUp(l.mins);
      ToYUp(l.maxs);
    }
    for (BspPlane& p : planes) ToYUp(p.normal);
    for (BspModel& m : models) {
      // z-up (x, y, z) to y-up (x, z, -y): the y range flips sides.
      const float minY = m.mins[1], maxY = m.maxs[1];
      m.mins[1] = m.mins[2];
      m.maxs[1] = m.maxs[2];
      m.mins[2] = -maxY;
      m.maxs[2] = -minY;
    }
    modelPlacements.assign(models.size(), ModelPlacement());
    lightmapTexels.assign(lightmapLump.data, lightmapLump.data + lightmaps * LightmapBytes);
    lightmapCount_ = static_cast<int>(lightmaps);
    facesDrawn.assign(faces.size() / 32 + 1, 0);
    fileVertexCount = vertices.size();
    if (!BuildFaceGeometry(size, &reason)) return false;
    ComputeBounds();
    return true;
  };
  if (parse()) return true;
  clearAll();
  if (error) *error = reason;
  return false;
}

void BrightenLightmap(uint8_t* texels, int texelCount, float factor) {
  for (int i = 0; i < texelCount; ++i) {
    uint8_t* t = texels + i * 3;
    float r = t[0] * factor / 255.0f;
    float g = t[1] * factor / 255.0f;
    float b = t[2] * factor / 255.0f;
    float scale = 1.0f;
    float temp;
    if (r > 1.0f && (temp = 1.0f / r) < scale) scale = temp;
    if (g > 1.0f && (temp = 1.0f / g) < scale) scale = temp;
    if (b > 1.0f && (temp = 1.0f / b) < scale) scale = temp;
    scale *= 255.0f;
    t[0] = ToByte(r * scale);
    t[1] = ToByte(g * scale);
    t[2] = ToByte(b * scale);
  }
}
