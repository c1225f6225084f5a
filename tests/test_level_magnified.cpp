// Faces drawn with the texture twins that have no mip levels: from near and far, straight on
// and at grazing angles, a floor of tiles textured with one-texel checks (whose smaller mip
// levels are flat grey, so any pixel sampled from the wrong level shows) gives the same
// picture with the twins as without, and the twins are taken for the near tiles only; the
// same for a floor drawn stage by stage, whose stages stretch, turn, scroll and ripple their
// checks.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <string>
#include <vector>

#include "core/game_state.h"
#include "core/level.h"
#include "level/bsp_writer.h"
#include "level/shader_script.h"
#include "support/gl_context.h"

namespace {

constexpr int Width = 256;
constexpr int Height = 192;
constexpr int Tiles = 24;        // per side
constexpr float TileSize = 96;   // level units

// A floor of Tiles x Tiles square faces at file z = 0 around the origin, one leaf, one
// cluster. The surface repeats 32 texels every 64 units; the lightmap has a texel per 16.
BspFileData TiledFloor() {
  BspFileData f;
  f.textures.resize(1);
  f.planes = {{{1, 0, 0}, -100000}};
  BspNode node{};
  node.plane = 0;
  node.children[0] = -1;
  node.children[1] = -2;
  f.nodes = {node};
  const float half = Tiles * TileSize / 2;
  for (int i = 0; i < Tiles; ++i)
    for (int j = 0; j < Tiles; ++j) {
      BspFace face{};
      face.type = FaceTypePolygon;
      face.firstVertex = static_cast<int32_t>(f.vertices.size());
      face.vertexCount = 4;
      face.lightmapIndex = 0;
      const float x0 = -half + i * TileSize, y0 = -half + j * TileSize;
      // Clockwise seen from above (the game culls front faces).
      const float corners[4][2] = {{x0, y0}, {x0, y0 + TileSize}, {x0 + TileSize, y0 + TileSize}, {x0 + TileSize, y0}};
      for (const auto& c : corners) {
        BspVertex v{};
        v.position[0] = c[0];
        v.position[1] = c[1];
        v.texCoord[0] = c[0] / 64;
        v.texCoord[1] = c[1] / 64;
        v.lightmapCoord[0] = c[0] / (16 * 128) + 0.5f;
        v.lightmapCoord[1] = c[1] / (16 * 128) + 0.5f;
        f.vertices.push_back(v);
      }
      f.leafFaces.push_back(static_cast<int32_t>(f.faces.size()));
      f.faces.push_back(face);
    }
  BspLeaf all{};
  all.mins[0] = all.mins[1] = all.mins[2] = -100000;
  all.maxs[0] = all.maxs[1] = all.maxs[2] = 100000;
  all.leafFaceCount = static_cast<int32_t>(f.faces.size());
  f.leaves = {all, BspLeaf{}};
  f.lightmaps.assign(LightmapBytes, 0);
  return f;
}

// Mipmapped one-texel checks of two colours, filtered as the game's textures are.
Texture Checks(int side, uint8_t a, uint8_t b) {
  std::vector<uint8_t> texels(static_cast<size_t>(side) * side * 3);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x)
      for (int c = 0; c < 3; ++c) texels[(static_cast<size_t>(y) * side + x) * 3 + c] = ((x + y) & 1) ? a : b;
  Texture t = 0;
  glGenTextures(1, &t);
  glBindTexture(GL_TEXTURE_2D, t);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  gluBuild2DMipmaps(GL_TEXTURE_2D, 3, side, side, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  return t;
}

// Draws the level from eye heights near and far, looking down at the floor at several
// angles, with and without the twins: the pictures must be equal. Gives the faces drawn
// with twins and all faces drawn.
void ExpectTheSamePictures(GLTestContext& gl, Level& level, int* magnified, int* drawn) {
  glViewport(0, 0, Width, Height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(60, static_cast<double>(Width) / Height, 4, 5000);
  glMatrixMode(GL_MODELVIEW);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_FRONT);
  glColor4f(1, 1, 1, 1);
  glClearColor(0, 0, 0, 1);

  // Eye heights over the floor (world y up) and how far ahead it looks down to the floor.
  const struct {
    float height, ahead;
  } views[] = {{6, 40}, {20, 2000}, {40, 60}, {60, 400}, {120, 10}, {200, 300}, {500, 1}, {900, 3000}, {1500, 1}};
  *magnified = *drawn = 0;
  for (const auto& v : views) {
    std::vector<uint8_t> pictures[2];
    for (const bool twins : {false, true}) {
      level.magnifiedTwins = twins;
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
      gGame.camera.position = Vec3(10, v.height, 30);
      LookAt(Vec3(10, v.height, 30), Vec3(10 + v.ahead * 0.3f, 0, 30 - v.ahead));
      gGame.frustum.CalculateFrustum();
      level.RenderLevel(Vec3(10, v.height, 30));
      pictures[twins] = gl.ReadPixels();
      if (twins) *magnified += level.facesMagnifiedLastFrame, *drawn += level.facesDrawnLastFrame;
    }
    int largest = 0;
    for (size_t i = 0; i < pictures[0].size(); ++i)
      largest = std::max(largest, std::abs(pictures[0][i] - pictures[1][i]));
    EXPECT_EQ(largest, 0) << "eye " << v.height << " over the floor, looking " << v.ahead << " ahead";
  }
  std::printf("%d of %d faces drawn with twins\n", *magnified, *drawn);
  EXPECT_GT(*magnified, *drawn / 10);
  EXPECT_LT(*magnified, *drawn * 9 / 10);
}

}  // namespace

TEST(LevelMagnified, TwinsDrawTheSamePictureAndOnlyForNearFaces) {
  GLTestContext gl(Width, Height);
  REQUIRE_GL(gl);
  ResetGameStateKeepingGL();
  Level level;
  const std::vector<uint8_t> bytes = WriteBspFile(TiledFloor());
  std::string error;
  ASSERT_TRUE(level.Parse(bytes.data(), bytes.size(), &error)) << error;
  level.textureNames[0] = Checks(32, 255, 40);
  level.textureNames[LightmapTextureBase] = Checks(128, 250, 90);
  level.MakeMagnifiedTwins();
  int magnified = 0, drawn = 0;
  ExpectTheSamePictures(gl, level, &magnified, &drawn);

  // The floor drawn stage by stage: the lightmap, checks stretched and turned, scrolled
  // checks added, and checks added with a ripple (never twinned: their steps vary over a face).
  std::vector<ShaderEntry> entries;
  ASSERT_TRUE(ParseShaderScript("textures/floor { { map $lightmap } { map a.tga\n blendFunc filter\n"
                                " tcMod scale 3 1.5\n tcMod rotate 20 } { map b.tga\n blendFunc add\n"
                                " tcMod scroll 0.1 0.2 } { map c.tga\n blendFunc add\n tcMod turb 0 0.05 0 0.5 } }",
                                &entries, &error)) << error;
  ASSERT_EQ(entries.size(), 1u);
  StagedMaterial staged;
  staged.stages = entries[0].stages;
  staged.textures = {{}, {Checks(32, 255, 60)}, {Checks(16, 50, 0)}, {Checks(32, 40, 10)}};
  level.stagedMaterials = {staged};
  level.stageTextures = {staged.textures[1][0], staged.textures[2][0], staged.textures[3][0]};
  level.materials.assign(level.textures.size(), SurfaceMaterial());
  level.materials[0].staged = 0;
  level.MakeMagnifiedTwins();
  gGame.surfaceSeconds = 1.3;
  ExpectTheSamePictures(gl, level, &magnified, &drawn);
  EXPECT_GT(level.stagePassesLastFrame, 0);
  level.Destroy();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
