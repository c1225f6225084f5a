// Writes the seed corpus of fuzz_bsp: a few small, valid levels (no lightmap pages, so each
// stays a few hundred bytes). Rebuild the seeds with:
//   c++ -std=c++17 -I. fuzz/make_bsp_seeds.cpp level/bsp_writer.cpp -o /tmp/make_bsp_seeds
//   /tmp/make_bsp_seeds fuzz/seeds/bsp
#include <cstdio>
#include <string>

#include "core/bsp_format.h"
#include "level/bsp_writer.h"

namespace {

BspVertex Vertex(float x, float y, float z) {
  BspVertex v{};
  v.position[0] = x;
  v.position[1] = y;
  v.position[2] = z;
  return v;
}

BspLeaf Leaf(int cluster, int firstFace, int faceCount, int firstBrush, int brushCount) {
  BspLeaf l{};
  l.cluster = cluster;
  l.mins[0] = l.mins[1] = l.mins[2] = -64;
  l.maxs[0] = l.maxs[1] = l.maxs[2] = 64;
  l.firstLeafFace = firstFace;
  l.leafFaceCount = faceCount;
  l.firstLeafBrush = firstBrush;
  l.leafBrushCount = brushCount;
  return l;
}

BspFileData TwoLeaves() {
  BspFileData f;
  f.entities = {'{', '}'};
  BspTextureRecord t{};
  std::snprintf(t.name, sizeof(t.name), "textures/wall");
  t.contents = 1;
  f.textures = {t};
  f.planes = {{{0, 0, 1}, 0}, {{1, 0, 0}, 32}, {{-1, 0, 0}, 32}};
  BspNode n{};
  n.children[0] = -1;
  n.children[1] = -2;
  f.nodes = {n};
  f.leaves = {Leaf(0, 0, 1, 0, 1), Leaf(1, 1, 1, 0, 0)};
  f.leafFaces = {0, 0};
  f.leafBrushes = {0};
  f.brushes = {{0, 2, 0}};
  f.brushSides = {{1, 0}, {2, 0}};
  f.vertices = {Vertex(0, 0, 0), Vertex(64, 0, 0), Vertex(64, 64, 0), Vertex(0, 64, 0)};
  BspFace face{};
  face.type = FaceTypePolygon;
  face.vertexCount = 4;
  face.lightmapIndex = -1;
  f.faces = {face};
  f.clusterCount = 2;
  f.bytesPerCluster = 1;
  f.visibility = {0x3, 0x2};
  return f;
}

bool Save(const std::string& dir, const char* name, const BspFileData& f) {
  std::vector<uint8_t> bytes = WriteBspFile(f);
  std::FILE* out = std::fopen((dir + "/" + name).c_str(), "wb");
  if (!out) return false;
  std::fwrite(bytes.data(), 1, bytes.size(), out);
  return std::fclose(out) == 0;
}

// Two 3 x 3 patches of different faces meeting along a curved edge, the second's control
// points running the other way: the loader cuts the edge alike in both and welds it.
BspFileData TwoPatchesSharingAnEdge() {
  BspFileData f = TwoLeaves();
  f.vertices.clear();
  for (int side = 0; side < 2; ++side)
    for (int row = 0; row < 3; ++row)
      for (int column = 0; column < 3; ++column) {
        const float x = static_cast<float>(32 * column), bulge = column == 1 ? 24.0f : 0.0f;
        const float y = side == 0 ? static_cast<float>(32 * row) : static_cast<float>(-32 * row);
        const float z = (row == 0 ? bulge : 4.0f * side + 8.0f * row);
        f.vertices.push_back(Vertex(side == 0 ? x : 64 - x, y, z));
      }
  BspFace a{};
  a.type = FaceTypePatch;
  a.vertexCount = 9;
  a.lightmapIndex = -1;
  a.patchSize[0] = a.patchSize[1] = 3;
  BspFace b = a;
  b.firstVertex = 9;
  f.faces = {a, b};
  f.leaves[0].leafFaceCount = 2;
  f.leafFaces = {0, 1, 0};
  return f;
}

// A door, a turning part and a jump pad: model 1 (a face and a brush in no leaf) named by
// their entities, and the pad's target.
BspFileData BrushModels() {
  BspFileData f = TwoLeaves();
  const std::string text =
      "{ \"classname\" \"worldspawn\" }\n"
      "{ \"classname\" \"func_door\" \"model\" \"*1\" \"angle\" \"-1\" \"health\" \"5\" }\n"
      "{ \"classname\" \"func_rotating\" \"model\" \"*1\" \"origin\" \"0 0 64\" \"spawnflags\" \"8\" }\n"
      "{ \"classname\" \"func_train\" \"model\" \"*1\" \"target\" \"c\" }\n"
      "{ \"classname\" \"path_corner\" \"targetname\" \"c\" \"target\" \"c\" \"origin\" \"8 8 8\" }\n"
      "{ \"classname\" \"trigger_push\" \"model\" \"*1\" \"target\" \"t\" }\n"
      "{ \"classname\" \"target_position\" \"targetname\" \"t\" \"origin\" \"0 0 200\" }\n";
  f.entities.assign(text.begin(), text.end());
  f.faces.push_back(f.faces[0]);
  f.brushSides.push_back(f.brushSides[0]);
  f.brushSides.push_back(f.brushSides[1]);
  f.brushes.push_back({2, 2, 0});
  BspModel world{{-64, -64, -64}, {64, 64, 64}, 0, 1, 0, 1};
  BspModel door{{0, 0, 0}, {64, 64, 8}, 1, 1, 1, 1};
  f.models = {world, door};
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <seed dir>\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  BspFileData noVis = TwoLeaves();
  noVis.clusterCount = 0;
  noVis.visibility.clear();
  BspFileData deep = TwoLeaves();  // a chain of nodes and faces of every type
  BspNode second{};
  second.plane = 1;
  second.children[0] = -2;
  second.children[1] = -3;
  deep.nodes[0].children[1] = 1;
  deep.nodes.push_back(second);
  deep.leaves.push_back(Leaf(-1, 0, 2, 0, 1));
  BspFace patch = deep.faces[0];
  patch.type = 2;
  patch.lightmapIndex = -3;
  deep.faces.push_back(patch);
  deep.leafFaces = {0, 1};
  bool ok = Save(dir, "two_leaves.bsp", TwoLeaves()) && Save(dir, "no_visibility.bsp", noVis) &&
            Save(dir, "node_chain.bsp", deep) && Save(dir, "patch_seam.bsp", TwoPatchesSharingAnEdge()) &&
            Save(dir, "brush_models.bsp", BrushModels());
  return ok ? 0 : 1;
}
