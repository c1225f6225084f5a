// Faces of every type: index lists, patch tessellation (points on the surface, shared edges,
// segment counts), what the loader refuses, and on an offscreen context a sealed room with
// no pixel left uncovered, index-list polygons without spikes and vertex-coloured faces.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/game_state.h"
#include "core/level.h"
#include "level/bsp_writer.h"
#include "level/patch_surface.h"
#include "support/face_types_level.h"
#include "support/gl_context.h"

namespace {

// Parameter lines of one direction of a patch grid, as (piece, t) pairs.
std::vector<std::pair<int, float>> Lines(const std::vector<int>& counts) {
  std::vector<std::pair<int, float>> out;
  for (size_t p = 0; p < counts.size(); ++p)
    for (int k = 0; k < counts[p]; ++k) out.push_back({static_cast<int>(p), static_cast<float>(k) / counts[p]});
  out.push_back({static_cast<int>(counts.size()) - 1, 1.0f});
  return out;
}

Vec3 PositionOf(const BspVertex& v) { return Vec3(v.position[0], v.position[1], v.position[2]); }

float DepthAt1Count(const std::vector<float>& depth) {
  float count = 0;
  for (float d : depth) count += d >= 1.0f ? 1.0f : 0.0f;
  return count;
}

std::vector<float> ReadDepth(int width, int height) {
  std::vector<float> depth(static_cast<size_t>(width) * height);
  glReadPixels(0, 0, width, height, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
  return depth;
}

}  // namespace

// Each patch of the room, tessellated as the level does it: every grid vertex is the
// surface point of its parameters, the middle of every triangle (in parameters) lies within
// the tolerance of the surface, pieces meet in identical vertices, and a direction whose
// control points lie on straight lines is cut once per piece.
TEST(PatchSurface, GridLiesOnTheSurfaceAndPiecesShareEdges) {
  FaceRoomFaces ids;
  Level level = LoadedLevel(FaceTypesRoom(&ids));
  const struct {
    int face, width, height;
    bool flatAlongU;
  } cases[] = {{ids.floorBowl, 5, 3, false}, {ids.bulgingWall, 3, 9, false}, {ids.cove, 3, 3, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.face);
    const BspFace& face = level.faces[c.face];
    ASSERT_EQ(face.type, FaceTypePatch);
    const BspVertex* controls = &level.vertices[face.firstVertex];
    std::vector<int> columns, rows;
    PatchSubdivisions(controls, c.width, c.height, MaxPieceSubdivisions, &columns, &rows);
    ASSERT_EQ(columns.size(), static_cast<size_t>((c.width - 1) / 2));
    ASSERT_EQ(rows.size(), static_cast<size_t>((c.height - 1) / 2));
    if (c.flatAlongU) {
      for (int n : columns) EXPECT_EQ(n, 1);
    }
    const auto across = Lines(columns), down = Lines(rows);
    const FaceGeometry& g = level.faceGeometry[c.face];
    ASSERT_EQ(g.vertexCount, static_cast<int32_t>(across.size() * down.size()));
    ASSERT_EQ(g.indexCount, (across.size() - 1) * (down.size() - 1) * 6);
    const BspVertex* grid = &level.vertices[g.firstVertex];
    const int w = static_cast<int>(across.size());
    float worst = 0;
    for (size_t r = 0; r < down.size(); ++r)
      for (int k = 0; k < w; ++k) {
        const BspVertex exact =
            EvaluatePatchPiece(controls, c.width, across[k].first, down[r].first, across[k].second, down[r].second);
        EXPECT_EQ(std::memcmp(&exact, &grid[r * w + k], sizeof exact), 0);
        if (r + 1 == down.size() || k + 1 == w) continue;
        // The cell's two triangles, sampled at their centres in parameter space.
        const float u0 = across[k].second, v0 = down[r].second;
        const float u1 = across[k + 1].first == across[k].first ? across[k + 1].second : 1.0f;
        const float v1 = down[r + 1].first == down[r].first ? down[r + 1].second : 1.0f;
        const Vec3 p00 = PositionOf(grid[r * w + k]), p10 = PositionOf(grid[r * w + k + 1]);
        const Vec3 p01 = PositionOf(grid[(r + 1) * w + k]), p11 = PositionOf(grid[(r + 1) * w + k + 1]);
        const struct {
          float a, b;
          Vec3 flat;
        } samples[] = {{(2 * u0 + u1) / 3, (v0 + 2 * v1) / 3, (p00 + p01 + p11) / 3},
                       {(u0 + 2 * u1) / 3, (2 * v0 + v1) / 3, (p00 + p11 + p10) / 3},
                       {(u0 + u1) / 2, (v0 + v1) / 2, (p00 + p11) * 0.5f}};
        for (const auto& s : samples) {
          const Vec3 on = PositionOf(EvaluatePatchPiece(controls, c.width, across[k].first, down[r].first, s.a, s.b));
          worst = std::max(worst, Magnitude(on - s.flat));
        }
      }
    EXPECT_LE(worst, PatchTolerance);
    // Neighbouring pieces give the same bytes along their shared edge.
    for (int j = 0; j < static_cast<int>(rows.size()); ++j)
      for (int i = 0; i + 1 < static_cast<int>(columns.size()); ++i)
        for (float v : {0.0f, 0.3f, 0.5f, 1.0f}) {
          const BspVertex left = EvaluatePatchPiece(controls, c.width, i, j, 1.0f, v);
          const BspVertex right = EvaluatePatchPiece(controls, c.width, i + 1, j, 0.0f, v);
          EXPECT_EQ(std::memcmp(&left, &right, sizeof left), 0);
        }
    for (int j = 0; j + 1 < static_cast<int>(rows.size()); ++j)
      for (float u : {0.0f, 0.7f, 1.0f}) {
        const BspVertex lower = EvaluatePatchPiece(controls, c.width, 0, j, u, 1.0f);
        const BspVertex upper = EvaluatePatchPiece(controls, c.width, 0, j + 1, u, 0.0f);
        EXPECT_EQ(std::memcmp(&lower, &upper, sizeof lower), 0);
      }
  }
  // The curved directions are cut finer than once; the billboard has nothing to draw; the
  // solid patches are the tracer's triangles.
  std::vector<int> columns, rows;
  const BspFace& bowl = level.faces[ids.floorBowl];
  PatchSubdivisions(&level.vertices[bowl.firstVertex], 5, 3, MaxPieceSubdivisions, &columns, &rows);
  EXPECT_GT(rows[0], 1);
  EXPECT_EQ(level.faceGeometry[ids.billboard].indexCount, 0u);
  EXPECT_EQ(level.faceGeometry[ids.westWall].indexCount, 18u);
  EXPECT_EQ(level.faceGeometry[ids.ceiling].indexCount, 54u);
  EXPECT_EQ(level.collisionSurfaces.size(), 3u);
  EXPECT_EQ(level.fileVertexCount + level.faceGeometry[ids.floorBowl].vertexCount +
                level.faceGeometry[ids.bulgingWall].vertexCount + level.faceGeometry[ids.cove].vertexCount,
            level.vertices.size());
}

TEST(PatchSurface, LoaderRefusesBadListsAndSizesButNotMissingLightmaps) {
  FaceRoomFaces ids;
  const BspFileData good = FaceTypesRoom(&ids).Build();
  const struct {
    const char* what;
    void (*change)(BspFileData*, const FaceRoomFaces&);
    const char* reason;  // nullptr: loads
  } cases[] = {
      {"even width", [](BspFileData* f, const FaceRoomFaces& i) { f->faces[i.cove].patchSize[0] = 4; }, "patch size"},
      {"width 1", [](BspFileData* f, const FaceRoomFaces& i) { f->faces[i.cove].patchSize[0] = 1; }, "patch size"},
      {"grid past its vertices",
       [](BspFileData* f, const FaceRoomFaces& i) { f->faces[i.cove].patchSize[1] = 5; }, "patch size"},
      {"huge grid",
       [](BspFileData* f, const FaceRoomFaces& i) { f->faces[i.cove].patchSize[0] = f->faces[i.cove].patchSize[1] = 65537; },
       "patch size"},
      {"index past the face",
       [](BspFileData* f, const FaceRoomFaces& i) { f->meshVertices[f->faces[i.ceiling].firstMeshVertex + 4] = 16; },
       "mesh index"},
      {"negative index",
       [](BspFileData* f, const FaceRoomFaces& i) { f->meshVertices[f->faces[i.westWall].firstMeshVertex] = -1; },
       "mesh index"},
      {"list past the lump",
       [](BspFileData* f, const FaceRoomFaces& i) { f->faces[i.ceiling].meshVertexCount = 1000; }, "mesh index range"},
      {"lightmap past the last page",
       [](BspFileData* f, const FaceRoomFaces& i) { f->faces[i.southWall].lightmapIndex = 7; }, nullptr},
      {"billboard with nonsense fields",
       [](BspFileData* f, const FaceRoomFaces& i) { f->faces[i.billboard].firstVertex = -5; }, nullptr},
      {"list with a remainder", [](BspFileData* f, const FaceRoomFaces& i) { f->faces[i.ceiling].meshVertexCount = 52; },
       nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BspFileData file = good;
    c.change(&file, ids);
    const std::vector<uint8_t> bytes = WriteBspFile(file);
    Level level;
    std::string error;
    const bool ok = level.Parse(bytes.data(), bytes.size(), &error);
    if (c.reason) {
      EXPECT_FALSE(ok);
      EXPECT_NE(error.find(c.reason), std::string::npos) << error;
      EXPECT_TRUE(level.faces.empty() && level.faceGeometry.empty() && level.collisionTriangles.empty());
    } else {
      EXPECT_TRUE(ok) << error;
    }
  }
}

// From the middle of the room, looking along each axis both ways with a 90 degree view and
// front faces culled as the game culls them: every pixel is drawn by some face.
TEST(LevelFacesGL, SealedRoomLeavesNoPixelUncovered) {
  ResetGameState();
  GLTestContext gl(96, 96);
  REQUIRE_GL(gl);
  Level level = LoadedLevel(FaceTypesRoom());
  SetSquareView(96, 1, 4000);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_FRONT);
  const Vec3 eye(0, 128, 0);
  const Vec3 directions[] = {Vec3(1, 0, 0), Vec3(-1, 0, 0), Vec3(0, 1, 0.001f), Vec3(0, -1, 0.001f),
                             Vec3(0, 0, 1), Vec3(0, 0, -1), Vec3(1, -0.6f, 1), Vec3(-1, 0.7f, -1)};
  for (Vec3 d : directions) {
    SCOPED_TRACE(d.x * 100 + d.y * 10 + d.z);
    LookAt(eye, eye + d);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    level.RenderLevel(eye);
    EXPECT_EQ(DepthAt1Count(ReadDepth(96, 96)), 0.0f);
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// A wall stored as eight points whose fan folds over itself covers exactly the pixels of the
// same rectangle stored in order and drawn as its fan; drawn as the fan of its stored order
// (no index list) it would not.
TEST(LevelFacesGL, IndexListPolygonDrawsWithoutSpikes) {
  ResetGameState();
  GLTestContext gl(80, 80);
  REQUIRE_GL(gl);
  FaceRoomFaces ids;
  const BspFileData room = FaceTypesRoom(&ids).Build();
  const BspFace& wall = room.faces[ids.westWall];
  std::vector<BspVertex> stored(room.vertices.begin() + wall.firstVertex,
                                room.vertices.begin() + wall.firstVertex + wall.vertexCount);
  std::vector<int32_t> list(room.meshVertices.begin() + wall.firstMeshVertex,
                            room.meshVertices.begin() + wall.firstMeshVertex + wall.meshVertexCount);
  auto coverage = [&](const LevelBuilder& builder) {
    Level level = LoadedLevel(builder);
    SetSquareView(80, 1, 4000);
    glDisable(GL_CULL_FACE);
    LookAt(Vec3(150, 128, 40), Vec3(-FaceRoomHalf, 128, 0));
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    level.RenderLevel(Vec3(150, 128, 40));
    std::vector<float> depth = ReadDepth(80, 80);
    std::vector<char> mask;
    for (float d : depth) mask.push_back(d < 1.0f);
    return mask;
  };
  LevelBuilder listed, fan, folded;
  listed.AddRawFace(FaceTypePolygon, stored, list);
  folded.AddRawFace(FaceTypePolygon, stored, {});
  const float h = FaceRoomHalf, top = FaceRoomHeight;
  fan.AddWorldFace({Vec3(-h, 0, -h), Vec3(-h, 0, h), Vec3(-h, top, h), Vec3(-h, top, -h)});
  const std::vector<char> expected = coverage(fan);
  size_t covered = 0;
  for (char c : expected) covered += c;
  EXPECT_GT(covered, expected.size() / 6);
  EXPECT_EQ(coverage(listed), expected);
  EXPECT_NE(coverage(folded), expected);
}
