// Patches of different faces that share curved edges: cut alike along them (through a chain
// of patches too) whichever way each stores the edge, meeting in bit-identical vertices, and
// on an offscreen context leaving no pixel open along the seam.
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
#include "level/patch_surface.h"
#include "support/gl_context.h"
#include "support/patch_seam_level.h"

namespace {

std::array<uint32_t, 3> BitsOf(const BspVertex& v) {
  std::array<uint32_t, 3> bits;
  std::memcpy(bits.data(), v.position, sizeof bits);
  return bits;
}

}  // namespace

TEST(PatchSeams, SharedCurvedEdgesGiveIdenticalVertices) {
  for (bool turned : {false, true}) {
    SCOPED_TRACE(turned);
    PatchSeamFaces ids;
    Level level = LoadedLevel(PatchSeamLevel(turned, &ids));
    const BspFace& fa = level.faces[ids.a];
    const BspFace& fb = level.faces[ids.b];
    std::vector<int> columnsA, rowsA, columnsB, rowsB;
    PatchSubdivisions(&level.vertices[fa.firstVertex], 5, 3, MaxPieceSubdivisions, &columnsA, &rowsA);
    PatchSubdivisions(&level.vertices[fb.firstVertex], fb.patchSize[0], fb.patchSize[1], MaxPieceSubdivisions,
                      &columnsB, &rowsB);
    // B's own counts along the seam, in A's order: each side is much finer on one piece.
    const std::vector<int> seamB = turned ? std::vector<int>{rowsB[1], rowsB[0]} : columnsB;
    ASSERT_GT(columnsA[0], seamB[0] + 4);
    ASSERT_GT(seamB[1], columnsA[1] + 4);
    const int n = 1 + std::max(columnsA[0], seamB[0]) + std::max(columnsA[1], seamB[1]);  // seam vertices
    const FaceGeometry& a = level.faceGeometry[ids.a];
    const FaceGeometry& b = level.faceGeometry[ids.b];
    ASSERT_EQ(a.vertexCount % n, 0);
    ASSERT_EQ(b.vertexCount % n, 0);
    // C, flat, is cut along its edge as finely as A and B are along theirs, through B.
    EXPECT_EQ(level.faceGeometry[ids.c].vertexCount, 2 * n);
    std::vector<std::array<uint32_t, 3>> onA, onB;
    const int across = turned ? b.vertexCount / n : n;
    for (int i = 0; i < n; ++i) {
      onA.push_back(BitsOf(level.vertices[a.firstVertex + a.vertexCount - n + i]));
      onB.push_back(BitsOf(level.vertices[b.firstVertex + (turned ? i * across + across - 1 : i)]));
    }
    std::sort(onA.begin(), onA.end());
    std::sort(onB.begin(), onB.end());
    EXPECT_EQ(onA, onB);
    EXPECT_EQ(std::unique(onA.begin(), onA.end()) - onA.begin(), n);
  }
}

// Looking straight down onto the seam over the middles of the coarse side's own chords,
// where a sliver would be widest (half a unit: several pixels from this close), front faces
// culled as the game culls them: every pixel is drawn.
TEST(PatchSeamsGL, CurvedSeamsLeaveNoPixelOpen) {
  ResetGameState();
  GLTestContext gl(96, 96);
  REQUIRE_GL(gl);
  for (bool turned : {false, true}) {
    Level level = LoadedLevel(PatchSeamLevel(turned));
    SetSquareView(96, 0.5, 1000);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    for (float x : {-44.8f, -32.0f, 24.0f, 40.0f}) {
      SCOPED_TRACE(x + turned * 1000);
      const Vec3 eye(x, 6, PatchSeamZ(x));
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
