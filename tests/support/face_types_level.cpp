// The sealed room of every face type for the drawing and collision tests.
#include "support/face_types_level.h"

#include <cmath>

namespace {

constexpr float H = FaceRoomHalf;
constexpr float Top = FaceRoomHeight;

// Triangles wound clockwise seen from the side the normal points to (the game's front
// faces), whatever order the list gives them in.
std::vector<int32_t> FrontFacing(const std::vector<Vec3>& points, std::vector<int32_t> triangles, Vec3 normal) {
  for (size_t t = 0; t + 2 < triangles.size(); t += 3) {
    const Vec3 a = points[triangles[t]], b = points[triangles[t + 1]], c = points[triangles[t + 2]];
    if (Dot(Cross(b - a, c - a), normal) > 0) std::swap(triangles[t + 1], triangles[t + 2]);
  }
  return triangles;
}

std::vector<BspVertex> Vertices(const std::vector<Vec3>& points, Vec3 normal, const std::vector<uint8_t>& colours = {}) {
  std::vector<BspVertex> out;
  for (size_t i = 0; i < points.size(); ++i) {
    const Vec3& p = points[i];
    // Planar mapping on the two axes the face spreads along; lightmap over the room.
    const float s = std::fabs(normal.x) > 0.5f ? p.z : p.x;
    const float t = std::fabs(normal.y) > 0.5f ? p.z : p.y;
    const uint8_t* c = colours.empty() ? nullptr : &colours[(i * 3) % colours.size()];
    out.push_back(WorldVertex(p, normal, s / 128, t / 128, c ? c[0] : 255, c ? c[1] : 255, c ? c[2] : 255));
    out.back().lightmapCoord[0] = (s + H) / (2 * H);
    out.back().lightmapCoord[1] = (t + H) / (2 * H);
  }
  return out;
}

// A wall rectangle as 8 points (corners and edge midpoints) stored in an order whose fan
// folds over itself, with the index list that covers it right.
void ScrambledRectangle(Vec3 c0, Vec3 c1, Vec3 c2, Vec3 c3, std::vector<Vec3>* points, std::vector<int32_t>* indices) {
  const Vec3 m01 = (c0 + c1) * 0.5f, m12 = (c1 + c2) * 0.5f, m23 = (c2 + c3) * 0.5f, m30 = (c3 + c0) * 0.5f;
  *points = {c0, m12, c2, m01, c1, m23, c3, m30};  // 0 c0, 1 m12, 2 c2, 3 m01, 4 c1, 5 m23, 6 c3, 7 m30
  *indices = {0, 3, 7, 3, 4, 1, 1, 2, 5, 5, 6, 7, 3, 1, 5, 3, 5, 7};
}

}  // namespace

BspVertex WorldVertex(Vec3 world, Vec3 worldNormal, float s, float t, uint8_t r, uint8_t g, uint8_t b) {
  BspVertex v = {};
  const Vec3 p = WorldToFile(world), n = WorldToFile(worldNormal);
  v.position[0] = p.x, v.position[1] = p.y, v.position[2] = p.z;
  v.normal[0] = n.x, v.normal[1] = n.y, v.normal[2] = n.z;
  v.texCoord[0] = s, v.texCoord[1] = t;
  v.color[0] = r, v.color[1] = g, v.color[2] = b, v.color[3] = 255;
  return v;
}

std::vector<Vec3> FloorBowlControls() {
  std::vector<Vec3> c;
  for (int row = 0; row < 3; ++row)
    for (int column = 0; column < 5; ++column) {
      const bool inner = row == 1 && column > 0 && column < 4;
      c.push_back(Vec3(-H + column * H / 2, inner ? -64.0f : 0.0f, -H + row * H));
    }
  return c;
}

std::vector<Vec3> BulgingWallControls() {
  std::vector<Vec3> c;
  for (int row = 0; row < 9; ++row)
    for (int column = 0; column < 3; ++column) {
      const bool inner = column == 1 && row > 0 && row < 8;
      c.push_back(Vec3(inner ? H - 64 : H, row * Top / 8, -H + column * H));
    }
  return c;
}

std::vector<Vec3> CoveControls() {
  // Along x the control points lie on straight lines; across, a quarter round from the
  // south wall (z = -H) to the ceiling.
  std::vector<Vec3> c;
  const Vec3 arc[3] = {Vec3(0, Top - 64, -H), Vec3(0, Top, -H), Vec3(0, Top, -H + 64)};
  for (int row = 0; row < 3; ++row)
    for (int column = 0; column < 3; ++column) c.push_back(Vec3(-H + column * H, arc[row].y, arc[row].z));
  return c;
}

LevelBuilder FaceTypesRoom(FaceRoomFaces* out) {
  LevelBuilder builder;
  FaceRoomFaces faces = {};
  const int lightmap = builder.AddLightmap(200, 200, 200);
  // The shell's solid walls, floor and ceiling, just outside the faces.
  builder.AddWorldBox(Vec3(-H - 16, -128, -H - 16), Vec3(-H, Top + 16, H + 16));
  builder.AddWorldBox(Vec3(H, -128, -H - 16), Vec3(H + 16, Top + 16, H + 16));
  builder.AddWorldBox(Vec3(-H, -128, -H - 16), Vec3(H, Top + 16, -H));
  builder.AddWorldBox(Vec3(-H, -128, H), Vec3(H, Top + 16, H + 16));
  builder.AddWorldBox(Vec3(-H, Top, -H), Vec3(H, Top + 16, H));
  builder.AddWorldBox(Vec3(-H, -128, -H), Vec3(H, -112, H));

  // Patches: the normals point into the room.
  faces.floorBowl =
      builder.AddRawFace(FaceTypePatch, Vertices(FloorBowlControls(), Vec3(0, 1, 0)), {}, 0, lightmap, 5, 3);
  faces.bulgingWall =
      builder.AddRawFace(FaceTypePatch, Vertices(BulgingWallControls(), Vec3(-1, 0, 0)), {}, 0, lightmap, 3, 9);
  faces.cove = builder.AddRawFace(FaceTypePatch,
                                  Vertices(CoveControls(), NormalizeOrZero(Vec3(0, -1, 1)), {255, 180, 90}), {}, 0,
                                  -1, 3, 3);

  std::vector<Vec3> points;
  std::vector<int32_t> indices;
  ScrambledRectangle(Vec3(-H, 0, -H), Vec3(-H, 0, H), Vec3(-H, Top, H), Vec3(-H, Top, -H), &points, &indices);
  faces.westWall = builder.AddRawFace(FaceTypePolygon, Vertices(points, Vec3(1, 0, 0)),
                                      FrontFacing(points, indices, Vec3(1, 0, 0)), 0, lightmap);
  ScrambledRectangle(Vec3(-H, 0, H), Vec3(H, 0, H), Vec3(H, Top, H), Vec3(-H, Top, H), &points, &indices);
  faces.northWall = builder.AddRawFace(
      FaceTypePolygon, Vertices(points, Vec3(0, 0, -1), {255, 64, 64, 64, 255, 64, 64, 64, 255}),
      FrontFacing(points, indices, Vec3(0, 0, -1)), 0, -1);
  points = {Vec3(-H, 0, -H), Vec3(H, 0, -H), Vec3(H, Top, -H), Vec3(-H, Top, -H)};
  faces.southWall = builder.AddRawFace(FaceTypePolygon, Vertices(points, Vec3(0, 0, 1)),
                                       FrontFacing(points, {0, 1, 2, 0, 2, 3}, Vec3(0, 0, 1)), 0, lightmap);

  // The ceiling: a 4 x 4 grid of vertices in nine squares, two triangles each.
  points.clear();
  indices.clear();
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 4; ++column) points.push_back(Vec3(-H + column * 2 * H / 3, Top, -H + row * 2 * H / 3));
  for (int row = 0; row < 3; ++row)
    for (int column = 0; column < 3; ++column) {
      const int32_t a = row * 4 + column;
      indices.insert(indices.end(), {a, a + 1, a + 5, a, a + 5, a + 4});
    }
  faces.ceiling = builder.AddRawFace(FaceTypeMesh, Vertices(points, Vec3(0, -1, 0), {120, 200, 255, 255, 255, 120}),
                                     FrontFacing(points, indices, Vec3(0, -1, 0)), 0, -1);

  // A glare point in the middle of the room: kept, never drawn.
  faces.billboard =
      builder.AddRawFace(FaceTypeBillboard, {WorldVertex(Vec3(0, 128, 0), Vec3(0, 1, 0), 0, 0)}, {}, 0, -1);
  if (out) *out = faces;
  return builder;
}
