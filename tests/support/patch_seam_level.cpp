// Patches meeting along a shared curved edge (see patch_seam_level.h).
#include "support/patch_seam_level.h"

#include <vector>

#include "support/face_types_level.h"

namespace {

// A 3 x 3 control grid from rows of world points, lit from above.
std::vector<BspVertex> Grid(const Vec3 (&rows)[3][3]) {
  std::vector<BspVertex> out;
  for (const auto& row : rows)
    for (const Vec3& p : row) out.push_back(WorldVertex(p, Vec3(0, 1, 0), p.x / 64, p.z / 64));
  return out;
}

}  // namespace

void PatchSeamCurve(Vec3 out[3]) {
  out[0] = Vec3(-64, 0, 0);
  out[1] = Vec3(0, 0, -32);
  out[2] = Vec3(64, 0, 0);
}

LevelBuilder PatchSeamLevel(bool turned, PatchSeamFaces* faces) {
  Vec3 e[3];
  PatchSeamCurve(e);
  // A: from a steep ridge at z = -64 (bulging 200 units up) to the seam.
  const Vec3 a[3][3] = {{Vec3(-64, 0, -64), Vec3(0, 200, -64), Vec3(64, 0, -64)},
                        {Vec3(-64, 0, -32), Vec3(0, 100, -48), Vec3(64, 0, -32)},
                        {e[0], e[1], e[2]}};
  // B: from the seam to the straight line at z = 64.
  const Vec3 b[3][3] = {{e[0], e[1], e[2]},
                        {Vec3(-64, 0, 32), Vec3(0, 0, 16), Vec3(64, 0, 32)},
                        {Vec3(-64, 0, 64), Vec3(0, 0, 64), Vec3(64, 0, 64)}};
  const Vec3 c[3][3] = {{b[2][0], b[2][1], b[2][2]},
                        {Vec3(-64, 0, 96), Vec3(0, 0, 96), Vec3(64, 0, 96)},
                        {Vec3(-64, 0, 128), Vec3(0, 0, 128), Vec3(64, 0, 128)}};
  Vec3 stored[3][3];
  for (int row = 0; row < 3; ++row)
    for (int column = 0; column < 3; ++column)
      // Turned: column 2 read downwards is the seam from x = 64 back to -64.
      stored[row][column] = turned ? b[2 - column][2 - row] : b[row][column];
  LevelBuilder builder;
  PatchSeamFaces ids;
  ids.a = builder.AddRawFace(FaceTypePatch, Grid(a), {}, 0, -1, 3, 3);
  ids.b = builder.AddRawFace(FaceTypePatch, Grid(stored), {}, 0, -1, 3, 3);
  ids.c = builder.AddRawFace(FaceTypePatch, Grid(c), {}, 0, -1, 3, 3);
  if (faces) *faces = ids;
  return builder;
}
