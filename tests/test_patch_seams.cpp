// Patches of different faces that share an edge: matching edges found within the weld
// distance in either order, their pieces cut alike through chains of patches, the vertices
// along the seam identical in both grids, and on an offscreen context no pixel left open
// along a curved seam.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "core/game_state.h"
#include "core/level.h"
#include "level/patch_stitching.h"
#include "level/patch_surface.h"
#include "support/face_types_level.h"
#include "support/gl_context.h"
#include "support/patch_seam_level.h"

namespace {

Level Load(const LevelBuilder& builder) {
  Level level;
  std::string error;
  EXPECT_TRUE(builder.LoadInto(&level, &error)) << error;
  return level;
}

using Bits = std::array<uint32_t, 3>;

Bits BitsOf(const BspVertex& v) {
  Bits b;
  std::memcpy(b.data(), v.position, sizeof b);
  return b;
}

}  // namespace

// Two 5 x 3 grids whose first rows are the same curve of two pieces: matched in either order
// and within the weld distance but not past it, and each piece then takes the larger count
// of the piece it lies against; an edge shrunk to a point matches nothing.
TEST(PatchSeams, EdgesMatchInEitherOrderAndTakeTheLargerCount) {
  const struct {
    bool reversed;
    float offset;  // added to every control point of the second grid
    bool match;
  } cases[] = {{false, 0, true}, {true, 0, true}, {true, 1.0f / 128, true}, {false, 1.0f / 16, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reversed * 10 + c.offset);
    std::vector<BspVertex> first(15), second(15);
    for (int row = 0; row < 3; ++row)
      for (int column = 0; column < 5; ++column) {
        const float x = column * 32.0f, bow = column % 4 == 0 ? 0 : 40;
        float* p = first[row * 5 + column].position;
        p[0] = x, p[1] = row * -48.0f, p[2] = bow;
        float* q = second[row * 5 + column].position;
        q[0] = (c.reversed ? 128 - x : x) + c.offset, q[1] = row * 48.0f + c.offset, q[2] = bow + c.offset;
      }
    std::vector<PatchCut> patches(2);
    patches[0].controls = first.data();
    patches[1].controls = second.data();
    for (PatchCut& p : patches) p.width = 5, p.height = 3;
    patches[0].columns = {2, 7}, patches[0].rows = {3};
    patches[1].columns = {4, 1}, patches[1].rows = {5};
    const std::vector<PatchEdgeMatch> matches = FindSharedPatchEdges(patches);
    ASSERT_EQ(matches.size(), c.match ? 1u : 0u);
    if (!c.match) continue;
    EXPECT_EQ(matches[0].patchA, 0);
    EXPECT_EQ(matches[0].edgeA, PatchEdgeFirstRow);
    EXPECT_EQ(matches[0].edgeB, PatchEdgeFirstRow);
    EXPECT_EQ(matches[0].reversed, c.reversed);
    AgreeSharedEdgeCounts(matches, &patches);
    EXPECT_EQ(patches[0].columns, (c.reversed ? std::vector<int>{2, 7} : std::vector<int>{4, 7}));
    EXPECT_EQ(patches[1].columns, (c.reversed ? std::vector<int>{7, 2} : std::vector<int>{4, 7}));
    EXPECT_EQ(patches[0].rows, std::vector<int>{3});
    EXPECT_EQ(patches[1].rows, std::vector<int>{5});
  }
  // Both grids with their first rows collapsed to one point: nothing to share.
  std::vector<BspVertex> cone(9);
  for (int i = 3; i < 9; ++i) cone[i].position[0] = static_cast<float>(i), cone[i].position[1] = i * 3.0f;
  std::vector<PatchCut> cones(2);
  for (PatchCut& p : cones) p.controls = cone.data(), p.width = 3, p.height = 3, p.columns = {1}, p.rows = {1};
  for (const PatchEdgeMatch& m : FindSharedPatchEdges(cones)) {
    EXPECT_NE(m.edgeA, PatchEdgeFirstRow);
    EXPECT_NE(m.edgeB, PatchEdgeFirstRow);
  }
}

// A finely cut patch beside a coarse one along a curved seam, the coarse one stored plainly
// and turned (its seam a reversed column): both faces' seam vertices are the same points to
// the bit, the coarse patch takes the fine count, and so does the patch behind it.
TEST(PatchSeams, SharedCurvedEdgeGivesIdenticalVertices) {
  for (bool turned : {false, true}) {
    SCOPED_TRACE(turned);
    PatchSeamFaces ids;
    Level level = Load(PatchSeamLevel(turned, &ids));
    std::vector<int> columns, rows, columnsB, rowsB;
    PatchSubdivisions(&level.vertices[level.faces[ids.a].firstVertex], 3, 3, MaxPieceSubdivisions, &columns, &rows);
    PatchSubdivisions(&level.vertices[level.faces[ids.b].firstVertex], 3, 3, MaxPieceSubdivisions, &columnsB,
                      &rowsB);
    const int fine = columns[0], coarse = turned ? rowsB[0] : columnsB[0];
    ASSERT_GT(fine, coarse + 4);
    const int n = fine + 1;  // vertices along the seam
    const FaceGeometry& a = level.faceGeometry[ids.a];
    const FaceGeometry& b = level.faceGeometry[ids.b];
    ASSERT_EQ(a.vertexCount % n, 0);
    ASSERT_EQ(b.vertexCount % n, 0);
    EXPECT_EQ(level.faceGeometry[ids.c].vertexCount, 2 * n);
    std::vector<Bits> seamA, seamB;
    for (int i = 0; i < n; ++i) {
      seamA.push_back(BitsOf(level.vertices[a.firstVertex + a.vertexCount - n + i]));
      const int across = turned ? b.vertexCount / n : n;
      const int inB = turned ? i * across + across - 1 : i;
      seamB.push_back(BitsOf(level.vertices[b.firstVertex + inB]));
    }
    std::sort(seamA.begin(), seamA.end());
    std::sort(seamB.begin(), seamB.end());
    EXPECT_EQ(seamA, seamB);
    EXPECT_EQ(std::unique(seamA.begin(), seamA.end()) - seamA.begin(), n);
  }
}

// Looking straight down onto the seam where it bows furthest, close enough that a sliver
// half a unit wide spans several pixels, front faces culled as the game culls them: every
// pixel is drawn.
TEST(PatchSeamsGL, CurvedSeamLeavesNoPixelOpen) {
  ResetGameState();
  GLTestContext gl(96, 96);
  REQUIRE_GL(gl);
  for (bool turned : {false, true}) {
    SCOPED_TRACE(turned);
    Level level = Load(PatchSeamLevel(turned));
    glViewport(0, 0, 96, 96);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(90, 1, 0.5, 1000);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    // Over the middles of the coarse patch's own chords, where they stray furthest.
    for (float x : {0.0f, 25.6f, -51.2f}) {
      SCOPED_TRACE(x);
      const float u = (x + 64) / 128;
      const Vec3 eye(x, 6, -64 * u * (1 - u));
      LookAt(eye, eye + Vec3(0, -10, 0.001f));
      glClearDepth(1.0);
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
      level.RenderLevel(eye);
      std::vector<float> depth(96 * 96);
      glReadPixels(0, 0, 96, 96, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
      EXPECT_EQ(std::count_if(depth.begin(), depth.end(), [](float d) { return d >= 1.0f; }), 0);
    }
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
