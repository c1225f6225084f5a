// Patches meeting along shared curved seams (see patch_seam_level.h).
#include "support/patch_seam_level.h"

#include <vector>

#include "support/face_types_level.h"

namespace {

using Rows = std::vector<std::vector<Vec3>>;

// Three control rows from a first and a last one, the middle row halfway between them.
Rows Band(const std::vector<Vec3>& first, const std::vector<Vec3>& last) {
  Rows rows = {first, {}, last};
  for (size_t i = 0; i < first.size(); ++i) rows[1].push_back((first[i] + last[i]) * 0.5f);
  return rows;
}

std::vector<Vec3> Shifted(std::vector<Vec3> row, Vec3 by) {
  for (Vec3& p : row) p = p + by;
  return row;
}

std::vector<BspVertex> Grid(const Rows& rows) {
  std::vector<BspVertex> out;
  for (const auto& row : rows)
    for (const Vec3& p : row) out.push_back(WorldVertex(p, Vec3(0, 1, 0), p.x / 64, p.z / 64));
  return out;
}

const std::vector<Vec3> Seam = {Vec3(-64, 0, 0), Vec3(-32, 0, -32), Vec3(0, 0, 0), Vec3(32, 0, 16), Vec3(64, 0, 0)};

}  // namespace

float PatchSeamZ(float x) {
  const bool left = x < 0;
  const float u = left ? (x + 64) / 64 : x / 64;
  return 2 * u * (1 - u) * (left ? -32.0f : 16.0f);
}

LevelBuilder PatchSeamLevel(bool turned, PatchSeamFaces* faces) {
  const Rows a = Band({Vec3(-64, 0, -64), Vec3(-32, 0, -264), Vec3(0, 0, -64), Vec3(32, 0, -64), Vec3(64, 0, -64)}, Seam);
  const std::vector<Vec3> far = {Vec3(-64, 0, 64), Vec3(-32, 0, 64), Vec3(0, 0, 64), Vec3(32, 0, 64), Vec3(64, 0, 64)};
  Rows b = Band(Shifted(Seam, Vec3(0, 1.0f / 128, 0)), Shifted(far, Vec3(0, 1.0f / 128, 0)));
  b[1][3].y = -120;  // a dip in the middle of the right half
  const Rows c = Band(far, Shifted(far, Vec3(0, 0, 64)));
  Rows stored(turned ? 5 : 3, std::vector<Vec3>(turned ? 3 : 5));
  for (size_t row = 0; row < stored.size(); ++row)
    for (size_t column = 0; column < stored[row].size(); ++column)
      // Turned: column 2 read downwards is the seam from x = 64 back to -64.
      stored[row][column] = turned ? b[2 - column][4 - row] : b[row][column];
  LevelBuilder builder;
  PatchSeamFaces ids;
  ids.a = builder.AddRawFace(FaceTypePatch, Grid(a), {}, 0, -1, 5, 3);
  ids.b = builder.AddRawFace(FaceTypePatch, Grid(stored), {}, 0, -1, turned ? 3 : 5, turned ? 5 : 3);
  ids.c = builder.AddRawFace(FaceTypePatch, Grid(c), {}, 0, -1, 5, 3);
  if (faces) *faces = ids;
  return builder;
}
