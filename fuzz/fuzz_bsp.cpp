// Fuzz target for the level parser. After a file is accepted it follows every reference the
// renderer and the tracer follow, so a gap in the checks shows up as an out-of-bounds read.
// What a level may build from its faces is a 4096th of the game's budget (16 KB on top of
// the file's share): a few hundred collision triangles at most, each traced twenty times, so
// an input costs well under a millisecond. The game's budget lets a 1 KB file build some
// 50,000 triangles, and the fuzzer finds such files within minutes and then runs them by
// the hundred per second. The refusal, the halving of the cuts and the tessellation are the
// same code either way; a solid patch piece can still be cut 8 x 8.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/level.h"
#include "movers/movers.h"

namespace {

volatile uint32_t gSink;

void Touch(Level& level) {
  uint32_t sum = 0;
  for (const BspLeaf& leaf : level.leaves) {
    for (int j = 0; j < leaf.leafFaceCount; ++j) {
      const BspFace& face = level.faces[level.leafFaces[leaf.firstLeafFace + j]];
      sum += level.facesDrawn[level.leafFaces[leaf.firstLeafFace + j] >> 5];
      if (face.type != FaceTypePolygon) continue;
      for (int v = 0; v < face.vertexCount; ++v) sum += level.vertices[face.firstVertex + v].color[0];
      sum += level.textureNames[face.textureIndex];
      // A face without a page (index negative or past the last one) is drawn by its colours.
      if (level.HasLightmap(face)) sum += level.textureNames[LightmapTextureBase + face.lightmapIndex];
    }
    for (int j = 0; j < leaf.leafBrushCount; ++j) {
      const BspBrush& brush = level.brushes[level.leafBrushes[leaf.firstLeafBrush + j]];
      sum += static_cast<uint32_t>(level.textures[brush.textureIndex].contents);
      for (int s = 0; s < brush.sideCount; ++s) {
        sum += level.planes[level.brushSides[brush.firstSide + s].plane].distance > 0;
      }
    }
    for (const BspLeaf& other : level.leaves) sum += level.IsClusterVisible(leaf.cluster, other.cluster);
  }
  for (const BspNode& node : level.nodes) sum += level.planes[node.plane].distance > 0;
  const Vec3 probes[] = {{0, 0, 0}, {1e6f, -1e6f, 1e6f}, {-1e6f, 1e6f, -1e6f}, {64, 64, 64}};
  for (Vec3 p : probes) sum += static_cast<uint32_t>(level.leaves[level.FindLeaf(p)].cluster);
  // Traces between the probes: a graph that is not a tree makes them take forever.
  for (Vec3 a : probes)
    for (Vec3 b : probes) sum += level.Trace(a, b, Vec3(17, 50, 17)).fraction < 1.0f;
  // The level's movers from its entities, moved on with a body among them, and traced.
  LevelMovers movers;
  SetUpMovers(level, &movers);
  Body body{Vec3(8, 8, 8), Vec3(17, 50, 17)};
  for (int i = 0; i < 20; ++i) {
    AdvanceMovers(movers, level, 0.1f, &body, 1);
    sum += TouchTriggers(movers, level, body).thrown;
    for (const Mover& m : movers.movers) ShootModel(movers, m.model);
  }
  for (Vec3 a : probes) sum += level.Trace(a, Vec3(8, 8, 8), Vec3(5, 5, 5)).model;
  gSink = sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Level level;
  level.buildBudgetDivisor = 4096;
  std::string error;
  if (level.Parse(data, size, &error)) Touch(level);
  return 0;
}
