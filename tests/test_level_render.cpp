// The level renderer on an offscreen GL context: visibility and frustum culling, each face
// once per frame, the surface texture modulated by the lightmap in the picture, and the depth
// beyond which black fog leaves nothing to draw.
#include <gtest/gtest.h>

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "core/game_state.h"
#include "core/level.h"
#include "level/bsp_writer.h"
#include "level/fog_depth.h"
#include "support/gl_context.h"

namespace {

constexpr int Width = 64;
constexpr int Height = 64;

BspVertex FileVertex(float x, float y, float z) {
  BspVertex v{};
  v.position[0] = x;
  v.position[1] = y;
  v.position[2] = z;
  v.texCoord[0] = v.lightmapCoord[0] = 0.5f;
  v.texCoord[1] = v.lightmapCoord[1] = 0.5f;
  return v;
}

BspLeaf FileLeaf(int cluster, int firstFace, int faceCount, float nearY, float farY) {
  // File coordinates (z up): the camera looks down world -z, which is file +y.
  BspLeaf l{};
  l.cluster = cluster;
  l.mins[0] = -100; l.mins[1] = static_cast<int32_t>(nearY); l.mins[2] = -100;
  l.maxs[0] = 100;  l.maxs[1] = static_cast<int32_t>(farY);  l.maxs[2] = 100;
  l.firstLeafFace = firstFace;
  l.leafFaceCount = faceCount;
  return l;
}

// Four leaves under a chain of three nodes, all splitting on x. The camera at the origin
// falls in leaf 0. Leaves 1..3 each hold their own square face in front of the camera (at
// file y = 50, 60, 70, so world z = -50, -60, -70) and all of them also list face 0, a big
// square at world z = -90. Leaf 3 lies behind the camera (outside the frustum).
BspFileData FourLeaves() {
  BspFileData f;
  f.textures.resize(1);
  f.planes = {{{1, 0, 0}, 0}, {{1, 0, 0}, -10}, {{1, 0, 0}, -20}};
  BspNode n0{}, n1{}, n2{};
  n0.plane = 0; n0.children[0] = -1; n0.children[1] = 1;
  n1.plane = 1; n1.children[0] = -2; n1.children[1] = 2;
  n2.plane = 2; n2.children[0] = -3; n2.children[1] = -4;
  f.nodes = {n0, n1, n2};
  auto square = [&](float y, float half) {
    const int first = static_cast<int>(f.vertices.size());
    f.vertices.push_back(FileVertex(-half, y, -half));
    f.vertices.push_back(FileVertex(half, y, -half));
    f.vertices.push_back(FileVertex(half, y, half));
    f.vertices.push_back(FileVertex(-half, y, half));
    BspFace face{};
    face.type = FaceTypePolygon;
    face.firstVertex = first;
    face.vertexCount = 4;
    face.lightmapIndex = -1;
    f.faces.push_back(face);
  };
  square(90, 500);  // face 0, shared
  square(50, 2);    // face 1
  square(60, 2);    // face 2
  square(-70, 2);   // face 3, behind
  f.leafFaces = {1, 0, 2, 0, 3, 0};
  f.leaves = {FileLeaf(0, 0, 0, -5, 5), FileLeaf(1, 0, 2, 40, 100), FileLeaf(2, 2, 2, 40, 100),
              FileLeaf(3, 4, 2, -100, -40)};
  // Cluster 0 sees itself and cluster 1 only.
  f.clusterCount = 4;
  f.bytesPerCluster = 1;
  f.visibility = {0x3, 0xf, 0xf, 0xf};
  return f;
}

Level ParsedLevel(const BspFileData& file) {
  Level level;
  std::vector<uint8_t> bytes = WriteBspFile(file);
  std::string error;
  EXPECT_TRUE(level.Parse(bytes.data(), bytes.size(), &error)) << error;
  return level;
}

// Camera at the world origin looking down -z, 90 degree field of view.
void LookDownMinusZ() {
  glViewport(0, 0, Width, Height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(90, 1, 1, 1000);
  LookAt(Vec3(0, 0, 0), Vec3(0, 0, -1));
}

std::vector<int> CentrePixel(const GLTestContext& gl) {
  std::vector<uint8_t> pixels = gl.ReadPixels();
  const size_t at = (static_cast<size_t>(gl.height() / 2) * gl.width() + gl.width() / 2) * 4;
  return {pixels[at], pixels[at + 1], pixels[at + 2]};
}

// The drawing tests: a Width x Height context looking down -z, made after the game state is
// reset.
class LevelRender : public ::testing::Test {
 protected:
  void SetUp() override {
    if (gl.ok()) LookDownMinusZ();
  }
  GameStateReset reset_;
  GLTestContext gl{Width, Height};
};

}  // namespace

TEST(FindLeafAndVisibility, WalkTheTreeAndReadRows) {
  Level level = ParsedLevel(FourLeaves());
  EXPECT_EQ(level.FindLeaf(Vec3(0, 0, 0)), 0);  // on the plane: front side
  EXPECT_EQ(level.FindLeaf(Vec3(-5, 0, 0)), 1);
  EXPECT_EQ(level.FindLeaf(Vec3(-15, 0, 0)), 2);
  EXPECT_EQ(level.FindLeaf(Vec3(-25, 0, 0)), 3);

  EXPECT_TRUE(level.IsClusterVisible(0, 1));
  EXPECT_FALSE(level.IsClusterVisible(0, 2));
  EXPECT_TRUE(level.IsClusterVisible(-1, 2));  // no cluster: sees everything
  EXPECT_TRUE(level.IsClusterVisible(0, -7));  // -7 & 7 = 1: byte 0, bit 1
  EXPECT_FALSE(level.IsClusterVisible(0, -6));
  EXPECT_TRUE(level.IsClusterVisible(0, -8));    // -8 & 7 = 0: byte 0, bit 0
  EXPECT_FALSE(level.IsClusterVisible(0, -1000 - 6));  // never reads before the row
  EXPECT_FALSE(level.IsClusterVisible(0, 1000));
  EXPECT_TRUE(level.IsClusterVisible(1000, 2));
  Level empty;
  EXPECT_EQ(empty.FindLeaf(Vec3(0, 0, 0)), -1);
}

TEST_F(LevelRender, CullsByClusterAndFrustumAndDrawsSharedFacesOnce) {
  REQUIRE_GL(gl);

  // Cluster 0 sees leaf 1 only (leaf 2 is hidden, leaf 3 is behind): faces 1 and 0.
  Level level = ParsedLevel(FourLeaves());
  level.RenderLevel(Vec3(0, 0, 0));
  EXPECT_EQ(level.facesDrawnLastFrame, 2);
  EXPECT_EQ(level.facesDrawn[0], 0x3u);

  // A camera leaf without a cluster: every leaf in the frustum, face 0 still once.
  BspFileData noCluster = FourLeaves();
  noCluster.leaves[0].cluster = -1;
  Level unclustered = ParsedLevel(noCluster);
  unclustered.RenderLevel(Vec3(0, 0, 0));
  EXPECT_EQ(unclustered.facesDrawnLastFrame, 3);
  EXPECT_EQ(unclustered.facesDrawn[0], 0x7u);
  unclustered.RenderLevel(Vec3(0, 0, 0));  // the bits start clear every frame
  EXPECT_EQ(unclustered.facesDrawnLastFrame, 3);

  // No visibility data: the same.
  BspFileData noVis = FourLeaves();
  noVis.clusterCount = 0;
  noVis.visibility.clear();
  Level open = ParsedLevel(noVis);
  open.RenderLevel(Vec3(0, 0, 0));
  EXPECT_EQ(open.facesDrawnLastFrame, 3);

  // Billboards and faces of unknown types are kept but never drawn.
  for (int type : {FaceTypeBillboard, 0, 9}) {
    BspFileData others = noVis;
    others.faces[2].type = type;
    Level kept = ParsedLevel(others);
    kept.RenderLevel(Vec3(0, 0, 0));
    EXPECT_EQ(kept.facesDrawnLastFrame, 2);
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Faces of a visible leaf that give no pixel are left out before drawing: one wholly outside
// the view, one whose triangles all face the side the GL culls (unless its material is seen
// from both sides, or the GL culls nothing). The picture is the one the GL gives drawing them.
TEST_F(LevelRender, LeavesOutFacesOutOfViewOrFacingAway) {
  REQUIRE_GL(gl);
  glEnable(GL_DEPTH_TEST);
  BspFileData file = FourLeaves();
  file.clusterCount = 0;
  file.visibility.clear();
  file.textures.resize(2);
  for (BspVertex& v : file.vertices) v.color[0] = v.color[1] = v.color[2] = v.color[3] = 255;
  // Faces 1 and 2 side by side 50 units ahead, 2 wound the other way round; face 3 in view
  // of no frustum but listed by the leaf in view.
  for (int k = 4; k < 16; ++k) file.vertices[k].position[0] *= 4, file.vertices[k].position[2] *= 4;
  for (int k = 0; k < 4; ++k) {
    file.vertices[4 + k].position[0] -= 12;
    file.vertices[8 + k].position[0] += 12;
    file.vertices[8 + k].position[1] = 50;
    file.vertices[12 + k].position[0] += 300;
    file.vertices[12 + k].position[1] = 50;
  }
  std::reverse(file.vertices.begin() + 8, file.vertices.begin() + 12);
  file.faces[2].textureIndex = 1;
  file.leafFaces = {1, 2, 3};
  file.leaves[1].firstLeafFace = 0;
  file.leaves[1].leafFaceCount = 3;
  file.leaves[2].leafFaceCount = file.leaves[3].leafFaceCount = 0;
  file.leaves[2].firstLeafFace = file.leaves[3].firstLeafFace = 0;
  Level level = ParsedLevel(file);
  level.materials.resize(2);
  const struct {
    bool culling, twoSided;
    GLenum side;
    int drawn, culled;
  } cases[] = {{false, false, GL_FRONT, 2, 1}, {true, false, GL_FRONT, 1, 2}, {true, false, GL_BACK, 1, 2},
               {true, true, GL_FRONT, 2, 1}};
  for (const auto& c : cases) {
    if (c.culling) glEnable(GL_CULL_FACE); else glDisable(GL_CULL_FACE);
    glCullFace(c.side);
    level.materials[0].twoSided = level.materials[1].twoSided = c.twoSided;
    std::vector<uint8_t> pictures[2];
    for (bool apart : {false, true}) {
      level.cullFacesApart = apart;
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
      level.RenderLevel(Vec3(0, 0, 0));
      pictures[apart] = gl.ReadPixels();
      EXPECT_EQ(level.facesDrawnLastFrame, apart ? c.drawn : 3) << c.culling << c.side << c.twoSided;
      EXPECT_EQ(level.facesCulledLastFrame, apart ? c.culled : 0) << c.culling << c.side << c.twoSided;
    }
    EXPECT_TRUE(pictures[0] == pictures[1]) << c.culling << c.side << c.twoSided;
    int lit = 0;
    for (size_t i = 0; i < pictures[1].size(); i += 4) lit += pictures[1][i] == 255;
    EXPECT_GT(lit, 80 * c.drawn) << c.culling << c.side << c.twoSided;  // about 100 pixels a face
    EXPECT_LT(lit, 120 * c.drawn) << c.culling << c.side << c.twoSided;
  }
  glDisable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(LevelRender, ModulatesSurfaceByLightmap) {
  REQUIRE_GL(gl);
  glDisable(GL_DEPTH_TEST);
  glColor4f(1, 1, 1, 1);

  BspFileData file = FourLeaves();
  file.faces[0].lightmapIndex = 0;
  file.lightmaps.assign(LightmapBytes, 0);
  // Face 1 has no lightmap page: its vertex colours light it.
  for (int k = 4; k < 8; ++k) {
    const uint8_t colour[4] = {255, 128, 64, 255};
    std::copy(colour, colour + 4, file.vertices[k].color);
  }
  Level level = ParsedLevel(file);
  level.textureNames[0] = SolidTexture(200, 100, 200);
  level.textureNames[LightmapTextureBase] = SolidTexture(120, 200, 60);

  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  level.RenderLevel(Vec3(0, 0, 0));
  // Face 1 (small, nearer) has no lightmap page; face 0 fills the rest of the view.
  std::vector<uint8_t> pixels = gl.ReadPixels();
  const size_t corner = (static_cast<size_t>(4) * Width + 4) * 4;
  EXPECT_NEAR(pixels[corner], 200 * 120 / 255, 3);
  EXPECT_NEAR(pixels[corner + 1], 100 * 200 / 255, 3);
  EXPECT_NEAR(pixels[corner + 2], 200 * 60 / 255, 3);
  // Face 1 is drawn with its vertex colours in place of a lightmap.
  const std::vector<int> lit = CentrePixel(gl);
  EXPECT_NEAR(lit[0], 200, 2);
  EXPECT_NEAR(lit[1], 100 * 128 / 255, 2);
  EXPECT_NEAR(lit[2], 200 * 64 / 255, 2);
  // Under a tint (night vision's green) the colours are tinted as a lightmap would be.
  glColor4f(0, 0.5f, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  level.RenderLevel(Vec3(0, 0, 0));
  EXPECT_NEAR(CentrePixel(gl)[1], 100 * 64 / 255, 2);
  EXPECT_EQ(CentrePixel(gl)[0], 0);
  GLfloat current[4];
  glGetFloatv(GL_CURRENT_COLOR, current);
  EXPECT_EQ(current[1], 0.5f);  // the colour is back once the faces are drawn
  glColor4f(1, 1, 1, 1);

  // Lightmaps off: surface textures only, vertex colours too.
  gGame.lightmapsOn = false;
  gGame.multitexture.activeTexture(GL_TEXTURE1_ARB);
  glDisable(GL_TEXTURE_2D);  // what the key does when it turns lightmaps off
  glClear(GL_COLOR_BUFFER_BIT);
  level.RenderLevel(Vec3(0, 0, 0));
  pixels = gl.ReadPixels();
  EXPECT_EQ((std::vector<int>{pixels[corner], pixels[corner + 1], pixels[corner + 2]}),
            (std::vector<int>{200, 100, 200}));
  EXPECT_EQ(CentrePixel(gl), (std::vector<int>{200, 100, 200}));
  gGame.lightmapsOn = true;
  level.Destroy();
  EXPECT_EQ(level.textureNames[0], 0u);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Faces of one texture are drawn together only when they stand at like distances: a far wall
// hidden behind a nearer one of another texture is drawn after it, so the depth test turns
// all of its pixels away (as many fragments pass as without the far wall at all).
TEST_F(LevelRender, FarFacesOfANearTextureWaitForWhatHidesThem) {
  REQUIRE_GL(gl);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  auto shaded = [&](bool withFarWall) {
    BspFileData file = FourLeaves();
    file.textures.resize(2);
    file.clusterCount = 0;
    file.visibility.clear();
    auto square = [&](float x, float y, float half, int texture) {
      BspFace face = file.faces[1];
      face.firstVertex = static_cast<int>(file.vertices.size());
      face.textureIndex = texture;
      file.vertices.push_back(FileVertex(x - half, y, -half));
      file.vertices.push_back(FileVertex(x + half, y, -half));
      file.vertices.push_back(FileVertex(x + half, y, half));
      file.vertices.push_back(FileVertex(x - half, y, half));
      file.faces.push_back(face);
      file.leafFaces.push_back(static_cast<int>(file.faces.size()) - 1);
    };
    file.leafFaces.clear();
    file.leaves[1].firstLeafFace = 0;
    file.leaves[1].maxs[1] = 1000;
    square(-34, 40, 4, 0);  // near, to the left: texture 0
    square(0, 150, 60, 1);  // in the middle distance, across the middle: texture 1
    if (withFarWall) square(0, 400, 100, 0);  // far behind it: texture 0 again
    file.leaves[1].leafFaceCount = static_cast<int>(file.leafFaces.size());
    file.leaves[2].leafFaceCount = file.leaves[3].leafFaceCount = 0;
    file.leaves[2].firstLeafFace = file.leaves[3].firstLeafFace = 0;
    Level level = ParsedLevel(file);
    level.textureNames[0] = SolidTexture(200, 0, 0);
    level.textureNames[1] = SolidTexture(0, 200, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    GLuint query = 0, passed = 0;
    glGenQueries(1, &query);
    glBeginQuery(GL_SAMPLES_PASSED, query);
    level.RenderLevel(Vec3(-5, 0, 0));
    glEndQuery(GL_SAMPLES_PASSED);
    glGetQueryObjectuiv(query, GL_QUERY_RESULT, &passed);
    glDeleteQueries(1, &query);
    EXPECT_EQ(level.facesDrawnLastFrame, withFarWall ? 3 : 2);
    glDeleteTextures(1, &level.textureNames[0]);
    glDeleteTextures(1, &level.textureNames[1]);
    return passed;
  };
  const GLuint without = shaded(false);
  EXPECT_GT(without, static_cast<GLuint>(Width * Height / 8));
  EXPECT_EQ(shaded(true), without);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Beyond FogHidingDepth a white wall comes out black in every pixel; a little nearer it does
// not (so the depth is not needlessly far). Fog off, or a fog or clear colour that is not
// black, hides nothing.
TEST_F(LevelRender, FogHidingDepthIsWhereBlackFogLeavesNothing) {
  REQUIRE_GL(gl);
  glViewport(0, 0, Width, Height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(90, 1, 1, 1e6);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_TEXTURE_2D);
  glColor4f(1, 1, 1, 1);
  const float black[4] = {0, 0, 0, 1};
  glClearColor(0, 0, 0, 1);
  glFogfv(GL_FOG_COLOR, black);
  glEnable(GL_FOG);
  auto brightestAt = [&](float depth) {
    glClear(GL_COLOR_BUFFER_BIT);
    glBegin(GL_QUADS);
    glVertex3f(-depth, -depth, -depth), glVertex3f(depth, -depth, -depth);
    glVertex3f(depth, depth, -depth), glVertex3f(-depth, depth, -depth);
    glEnd();
    const std::vector<uint8_t> pixels = gl.ReadPixels();
    int brightest = 0;
    for (size_t i = 0; i < pixels.size(); i += 4)
      brightest = std::max({brightest, static_cast<int>(pixels[i]), static_cast<int>(pixels[i + 1]),
                            static_cast<int>(pixels[i + 2])});
    return brightest;
  };
  const struct {
    GLint mode;
    float density, start, end;
  } fogs[] = {{GL_EXP2, 0.002f, 0, 5}, {GL_EXP2, 0.0005f, 0, 5}, {GL_EXP, 0.004f, 0, 5}, {GL_LINEAR, 1, 100, 900}};
  for (const auto& fog : fogs) {
    glFogi(GL_FOG_MODE, fog.mode);
    glFogf(GL_FOG_DENSITY, fog.density);
    glFogf(GL_FOG_START, fog.start);
    glFogf(GL_FOG_END, fog.end);
    const float depth = FogHidingDepth();
    ASSERT_LT(depth, 1e5f) << "mode " << fog.mode;
    EXPECT_EQ(brightestAt(depth), 0) << "mode " << fog.mode << " density " << fog.density;
    EXPECT_GT(brightestAt(depth * 0.8f), 0) << "mode " << fog.mode << " density " << fog.density;
  }
  const float grey[4] = {0.2f, 0.2f, 0.2f, 1};
  glFogfv(GL_FOG_COLOR, grey);
  EXPECT_EQ(FogHidingDepth(), std::numeric_limits<float>::infinity());
  glFogfv(GL_FOG_COLOR, black);
  glClearColor(0, 0, 0.1f, 1);
  EXPECT_EQ(FogHidingDepth(), std::numeric_limits<float>::infinity());
  glClearColor(0, 0, 0, 1);
  glDisable(GL_FOG);
  EXPECT_EQ(FogHidingDepth(), std::numeric_limits<float>::infinity());
}
