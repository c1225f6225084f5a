// How shader script stages are drawn on an offscreen GL context: two-sided surfaces seen
// from behind, alpha-tested grates, multiplying (filter) pictures and clamped pictures, each
// over a wall of known colour, with pixels read back. Scripts and pictures are written here.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/game_state.h"
#include "core/level.h"
#include "level/light_grid.h"
#include "level/stage_passes.h"
#include "platform/files.h"
#include "render/texture_lookup.h"
#include "render/texture.h"
#include "support/jpeg_file.h"
#include "support/fake_platform.h"
#include "support/gl_context.h"
#include "support/level_builder.h"
#include "support/scratch_dir.h"

namespace {

constexpr int Size = 128;

struct Texel {
  uint8_t r, g, b, a;
};

// An 8 x 8 Targa whose column c is `columns[c]` (32 bits: alpha kept).
void WriteTga(const std::string& path, const std::vector<Texel>& columns) {
  std::vector<uint8_t> bytes(18, 0);
  bytes[2] = 2;
  bytes[12] = 8;
  bytes[14] = 8;
  bytes[16] = 32;
  for (int i = 0; i < 64; ++i) {
    const Texel& t = columns[i % 8];
    bytes.insert(bytes.end(), {t.b, t.g, t.r, t.a});
  }
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void WriteTga(const std::string& path, Texel colour) { WriteTga(path, std::vector<Texel>(8, colour)); }

enum Material {
  Wall, Plain, Banner, GrateGT0, GrateLT128, GrateGE128, Window, Clamped, Repeated, Lost,
  LitWall, Unscripted, Scroll, Pulse, Anim, Glow, Clouds, Fog, Oriented, BoxSky,
  LitScroll, Three, LitThree, WhiteGlow, WhiteConst, Wobble, Glass, GlassDepth, Flicker, Count
};
const char* const Names[Count] = {"textures/s/wall",    "textures/s/plain",   "textures/s/banner", "textures/s/gt0",
                                  "textures/s/lt128",   "textures/s/ge128",   "textures/s/window", "textures/s/clamped",
                                  "textures/s/repeated", "textures/s/lost",   "textures/s/litwall", "textures/s/unscripted",
                                  "textures/s/scroll",  "textures/s/pulse",   "textures/s/anim",   "textures/s/glow",
                                  "textures/s/clouds",  "textures/s/fog",     "textures/s/oriented", "textures/s/boxsky",
                                  "textures/s/litscroll", "textures/s/three", "textures/s/lit3",   "textures/s/whiteglow",
                                  "textures/s/whiteconst", "textures/s/wobble", "textures/s/glass", "textures/s/glassdepth",
                                  "textures/s/flicker"};

const Texel WallColour = {200, 160, 80, 255}, PlainColour = {255, 0, 0, 255}, BannerColour = {0, 0, 255, 255};
const Texel GrateColour = {255, 255, 0, 255}, WindowColour = {128, 255, 64, 255};
// The grate's columns: 0-3 alpha 0, 4-5 alpha 64, 6-7 alpha 255.
const uint8_t GrateAlpha[8] = {0, 0, 0, 0, 64, 64, 255, 255};

void WriteStageData() {
  WriteTga("textures/test/solid.tga", WallColour);  // the builder's own texture 0
  WriteTga("textures/s/wall.tga", WallColour);
  WriteTga("textures/s/plain.tga", PlainColour);
  WriteTga("textures/s/pictures/banner.tga", BannerColour);
  std::vector<Texel> grate(8, GrateColour), halves(8, Texel{255, 0, 0, 255});
  for (int c = 0; c < 8; ++c) grate[c].a = GrateAlpha[c];
  for (int c = 4; c < 8; ++c) halves[c] = Texel{0, 0, 255, 255};
  WriteTga("textures/s/pictures/grate.tga", grate);
  WriteTga("textures/s/pictures/window.tga", WindowColour);
  WriteTga("textures/s/pictures/halves.tga", halves);
  std::filesystem::create_directories("scripts");
  std::ofstream("scripts/stages.shader", std::ios::binary)
      << "textures/s/banner { cull none\n { map textures/s/pictures/banner.tga } }\n"
         "textures/s/gt0 { { map textures/s/pictures/grate.tga\n alphaFunc GT0 } }\n"
         "textures/s/lt128 { { map textures/s/pictures/grate.tga\n alphaFunc LT128 } }\n"
         "textures/s/ge128 { cull twosided\n { map textures/s/pictures/grate.tga\n alphaFunc GE128 } }\n"
         "textures/s/window { { map textures/s/pictures/window.tga\n blendFunc filter } }\n"
         "textures/s/clamped { { clampMap textures/s/pictures/halves.tga } }\n"
         "textures/s/repeated { { map textures/s/pictures/halves.tga } }\n"
         "textures/s/lost { { map textures/s/pictures/none.tga\n alphaFunc LT128 } }\n"
         "textures/s/litwall { { map $lightmap } { map textures/s/pictures/window.tga\n blendFunc filter } }\n"
         "textures/s/scroll { { map textures/s/pictures/halves.tga\n tcMod scroll 0.25 0 } }\n"
         "textures/s/pulse { { map textures/s/pictures/white.tga\n rgbGen wave sin 0.5 0.5 0 1 } }\n"
         "textures/s/anim { { animMap 2 textures/s/pictures/red.tga textures/s/pictures/green.tga "
         "textures/s/pictures/blue.tga } }\n"
         "textures/s/glow { { map textures/s/pictures/dim.tga } { map textures/s/pictures/glow.tga\n blendFunc add } }\n"
         "textures/s/clouds { surfaceparm sky\n skyParms - 512 -\n { map textures/s/pictures/halves.tga\n"
         " tcMod scroll 0.1 0.1 } }\n"
         "textures/s/fog { surfaceparm fog\n surfaceparm trans\n fogparms ( 0 0 1 ) 40 }\n"
         "textures/s/boxsky { surfaceparm sky\n skyParms env/o 512 - }\n"
         "textures/s/litscroll { { map $lightmap } { map textures/s/pictures/halves.tga\n blendFunc filter\n"
         " tcMod scroll 0.25 0 } }\n"
         "textures/s/three { { map textures/s/pictures/halves.tga\n tcMod scroll 0.25 0 } { map textures/s/pictures/glow.tga\n"
         " blendFunc add\n rgbGen wave sin 0.5 0.5 0 1 } { map $lightmap\n blendFunc GL_ZERO GL_SRC_COLOR } }\n"
         "textures/s/lit3 { { map $lightmap } { map textures/s/pictures/halves.tga\n blendFunc filter\n tcMod scroll 0.25 0 }\n"
         " { map textures/s/pictures/glow.tga\n blendFunc add } }\n"
         "textures/s/whiteglow { { map textures/s/pictures/dim.tga } { map $whiteimage\n blendFunc add\n"
         " rgbGen const ( 0.25 0.5 0.75 ) } }\n"
         "textures/s/whiteconst { { map $whiteimage\n rgbGen const ( 0.2 0.4 0.6 ) } }\n"
         "textures/s/wobble { deformVertexes wave 0 sin 0 16 0 1\n { map textures/s/pictures/red.tga } }\n"
         "textures/s/glass { { map textures/s/pictures/window.tga\n blendFunc blend\n alphaGen const 0.5 } }\n"
         "textures/s/glassdepth { { map textures/s/pictures/window.tga\n blendFunc blend\n alphaGen const 0.5\n"
         " depthWrite } }\n"
         "textures/s/flicker { { map $lightmap } { map textures/s/pictures/halves.tga\n blendFunc filter\n tcMod scroll 0.25 0 }\n"
         " { map textures/s/pictures/glow.tga\n blendFunc add\n rgbGen wave square 0 1 0.25 1 } }\n";
  WriteTga("textures/s/unscripted.tga", WindowColour);
  WriteTga("textures/s/pictures/white.tga", Texel{255, 255, 255, 255});
  WriteTga("textures/s/pictures/red.tga", Texel{255, 0, 0, 255});
  WriteTga("textures/s/pictures/green.tga", Texel{0, 255, 0, 255});
  WriteTga("textures/s/pictures/blue.tga", Texel{0, 0, 255, 255});
  WriteTga("textures/s/pictures/dim.tga", Texel{100, 50, 20, 255});
  WriteTga("textures/s/pictures/glow.tga", Texel{100, 100, 100, 255});
}

// A sealed box around the origin whose inner faces all show the wall, 128 units from the eye
// (the far end `depth` away, along -z).
LevelBuilder Room(Material ceiling = Wall, float depth = 128) {
  LevelBuilder builder;
  for (int i = 0; i < Count; ++i) builder.AddTexture(Names[i], SolidContents);
  const float h = 128, t = 16, l = depth;
  const int w = Wall + 1;  // the builder's texture 0 comes first
  builder.AddWorldBox(Vec3(-h - t, -h - t, -l - t), Vec3(h + t, h + t, -l), w);
  builder.AddWorldBox(Vec3(-h - t, -h - t, h), Vec3(h + t, h + t, h + t), w);
  builder.AddWorldBox(Vec3(-h - t, -h - t, -l), Vec3(-h, h + t, h), w);
  builder.AddWorldBox(Vec3(h, -h - t, -l), Vec3(h + t, h + t, h), w);
  builder.AddWorldBox(Vec3(-h, -h - t, -l), Vec3(h, -h, h), w);
  builder.AddWorldBox(Vec3(-h, h, -l), Vec3(h, h + t, h), w);
  // Wound clockwise seen from inside, as the game's faces are (it culls counter-clockwise ones).
  builder.AddWorldFace({Vec3(-h, h, -l), Vec3(h, h, -l), Vec3(h, -h, -l), Vec3(-h, -h, -l)}, w);
  builder.AddWorldFace({Vec3(h, -h, h), Vec3(h, h, h), Vec3(-h, h, h), Vec3(-h, -h, h)}, w);
  builder.AddWorldFace({Vec3(-h, -h, h), Vec3(-h, h, h), Vec3(-h, h, -l), Vec3(-h, -h, -l)}, w);
  builder.AddWorldFace({Vec3(h, h, -l), Vec3(h, h, h), Vec3(h, -h, h), Vec3(h, -h, -l)}, w);
  builder.AddWorldFace({Vec3(h, -h, -l), Vec3(h, -h, h), Vec3(-h, -h, h), Vec3(-h, -h, -l)}, w);
  builder.AddWorldFace({Vec3(-h, h, h), Vec3(h, h, h), Vec3(h, h, -l), Vec3(-h, h, -l)}, ceiling + 1);
  return builder;
}

// A rectangle 64 units ahead (world z = -64) from x0 to x1 and y0 to y1, its picture's u
// running from 0 to `repeats` left to right. Wound as the room's walls, it faces the eye;
// `fromBehind` winds it the other way.
void AddPanel(LevelBuilder* builder, Material m, float x0, float x1, float y0, float y1, float repeats = 1,
              bool fromBehind = false, int lightmap = -1) {
  const Vec3 corners[4] = {Vec3(x0, y0, -64), Vec3(x1, y0, -64), Vec3(x1, y1, -64), Vec3(x0, y1, -64)};
  const float u[4] = {0, repeats, repeats, 0}, v[4] = {1, 1, 0, 0};
  std::vector<BspVertex> vertices;
  for (int k = 0; k < 4; ++k) {
    BspVertex vertex = {};
    const Vec3 p = WorldToFile(corners[k]);
    vertex.position[0] = p.x;
    vertex.position[1] = p.y;
    vertex.position[2] = p.z;
    vertex.texCoord[0] = u[k];
    vertex.texCoord[1] = v[k];
    vertex.lightmapCoord[0] = vertex.lightmapCoord[1] = 0.5f;
    vertex.normal[1] = fromBehind ? -1.0f : 1.0f;
    for (uint8_t& c : vertex.color) c = 255;
    vertices.push_back(vertex);
  }
  const std::vector<int32_t> facing = {0, 2, 1, 0, 3, 2}, away = {0, 1, 2, 0, 2, 3};
  builder->AddRawFace(FaceTypePolygon, vertices, fromBehind ? away : facing, m + 1, lightmap);
}

// The room with a panel of `m` over the whole view.
LevelBuilder PanelRoom(Material m) {
  LevelBuilder builder = Room();
  AddPanel(&builder, m, -64, 64, -64, 64);
  return builder;
}

// The eye at the origin looking down -z, as the game draws: depth test, front faces culled.
void View() {
  SetSquareView(Size, 1, 4000);
  LookAt(Vec3(0, 0, 0), Vec3(0, 0, -1));
  glEnable(GL_CULL_FACE);
  glCullFace(GL_FRONT);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// Pixel (x, y), y from the bottom; world x -64..64 at the panels' depth spans 0..Size.
Texel PixelAt(const std::vector<uint8_t>& pixels, int x, int y) {
  const uint8_t* p = &pixels[(static_cast<size_t>(y) * Size + x) * 4];
  return {p[0], p[1], p[2], p[3]};
}

::testing::AssertionResult Near(Texel got, Texel want, int slack = 6) {
  if (std::abs(got.r - want.r) <= slack && std::abs(got.g - want.g) <= slack && std::abs(got.b - want.b) <= slack)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got " << int(got.r) << "," << int(got.g) << "," << int(got.b) << " want "
                                       << int(want.r) << "," << int(want.g) << "," << int(want.b);
}

// The level built and loaded from the scratch folder (not the default level).
class StageLevel {
 public:
  explicit StageLevel(const LevelBuilder& builder) {
    gGame.defaultLevel = false;
    const std::vector<uint8_t> bytes = builder.BuildFile();
    std::ofstream("stages.bsp", std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    testing::internal::CaptureStderr();
    ok = level.LoadBSP("stages.bsp");
    said = testing::internal::GetCapturedStderr();
  }
  ~StageLevel() { level.Destroy(); }
  std::vector<uint8_t> Draw(GLTestContext& gl, bool batched) {
    View();
    level.batchedDrawing = batched;
    level.RenderLevel(Vec3(0, 0, 0));
    return gl.ReadPixels();
  }
  Level level;
  bool ok = false;
  std::string said;
};

void ExpectStateRestored(bool fogOn = false) {
  EXPECT_EQ(glIsEnabled(GL_FOG), fogOn);
  EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
  EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

// Each test: a fresh game state, an offscreen context and the stage pictures and script
// written to a scratch folder.
class LevelStages : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_GL(gl);
    WriteStageData();
  }
  struct Reset {
    Reset() { ResetGameState(); }
  } reset;
  FakePlatform fake;
  GLTestContext gl{Size, Size};
  InScratch scratch{"korvalis_level_stages"};
};

// The test room of the saved shot: a two-sided banner and a one-sided plain panel both
// seen from behind, a GE128 grate and a filter window, over the wall.
TEST_F(LevelStages, TwoSidedFacesShowFromBehindOneSidedOnesDoNot) {
  LevelBuilder builder = Room();
  AddPanel(&builder, GrateGE128, -64, 0, 0, 64, 2);
  AddPanel(&builder, Banner, 0, 64, 0, 64, 1, true);
  AddPanel(&builder, Plain, -64, 0, -64, 0, 1, true);
  AddPanel(&builder, Window, 0, 64, -64, 0);
  gGame.lightmapsOn = false;
  StageLevel stage(builder);
  ASSERT_TRUE(stage.ok) << stage.said;
  for (bool batched : {true, false}) {
    SCOPED_TRACE(batched ? "batched" : "face by face");
    const std::vector<uint8_t> pixels = stage.Draw(gl, batched);
    if (batched) SaveShot(pixels, Size, Size, "level-stages-grate-banner-filter", "-filter point -resize 400%");
    EXPECT_TRUE(Near(PixelAt(pixels, 96, 96), BannerColour));  // the banner from behind
    EXPECT_TRUE(Near(PixelAt(pixels, 32, 32), WallColour));    // the plain panel is culled
    EXPECT_TRUE(Near(PixelAt(pixels, 2, 126), WallColour));    // the wall beside them
    ExpectStateRestored();
  }
}

TEST_F(LevelStages, AlphaTestedGratesShowTheWallThroughTheirHoles) {
  LevelBuilder builder = Room();
  // Three strips across the view, one per test; u runs 0..1, 16 pixels a texel column.
  const struct {
    Material grate;
    float y0;
    int row;               // a pixel row inside the strip
    bool drawn[3];         // columns of alpha 0, 64 and 255
  } cases[] = {
      {GrateGT0, 32, 112, {false, true, true}},
      {GrateLT128, -16, 64, {true, true, false}},
      {GrateGE128, -64, 16, {false, false, true}},
  };
  // The GE128 strip has a white lightmap page, the others white vertex colours.
  const int page = builder.AddLightmap();
  for (const auto& c : cases)
    AddPanel(&builder, c.grate, -64, 64, c.y0, c.y0 + 32, 1, false, c.grate == GrateGE128 ? page : -1);
  gGame.lightmapsOn = true;
  for (int run = 0; run < 4; ++run) {
    const bool batched = run % 2 == 0;
    gFourByteTexels = run < 2;  // three-channel texels are kept in three bytes, four in four
    StageLevel stage(builder);
    ASSERT_TRUE(stage.ok) << stage.said;
    // A grate whose picture is missing shows the checker whole: no test hides it.
    EXPECT_EQ(stage.said.find("Missing picture textures/s/lost"), 0u) << stage.said;
    EXPECT_EQ(stage.level.materials[Lost + 1].alphaTest, AlphaTest::None);
    EXPECT_EQ(stage.level.materials[GrateLT128 + 1].alphaTest, AlphaTest::LT128);
    const std::vector<uint8_t> pixels = stage.Draw(gl, batched);
    for (const auto& c : cases) {
      for (int kind = 0; kind < 3; ++kind) {
        const int column = kind == 0 ? 1 : kind == 1 ? 4 : 7;  // away from the columns' edges
        SCOPED_TRACE(std::string(Names[c.grate]) + (batched ? " batched" : " face by face") +
                     (gFourByteTexels ? "" : " packed texels") + " column " + std::to_string(column));
        EXPECT_TRUE(Near(PixelAt(pixels, column * 16 + 8, c.row), c.drawn[kind] ? GrateColour : WallColour));
      }
    }
    // The grates write depth: the nearest surface there is 64 units away, not the wall's 128.
    float depth = 0;
    glReadPixels(7 * 16 + 8, 16, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    float wallDepth = 0;
    glReadPixels(1 * 16 + 8, 16, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &wallDepth);
    EXPECT_LT(depth, wallDepth);
    ExpectStateRestored();
  }
  gFourByteTexels = true;
}

TEST_F(LevelStages, FilterWindowsMultiplyWhatIsBehindThem) {
  LevelBuilder builder = Room();
  AddPanel(&builder, Window, -64, 0, -64, 64);  // the left half of the view
  gGame.lightmapsOn = false;
  StageLevel stage(builder);
  ASSERT_TRUE(stage.ok) << stage.said;
  EXPECT_EQ(stage.level.materials[Window + 1].blend, SurfaceBlend::Filter);
  // The wall on the right is what the window has behind it: the window scales it by its
  // picture, whatever fog and tint the wall already carries.
  const struct {
    const char* what;
    float density;
    float tint[3];
  } cases[] = {{"plain", 0, {1, 1, 1}}, {"black fog", 0.006f, {1, 1, 1}}, {"night vision tint", 0, {0, 0.6f, 0}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.density > 0) {
      const float black[4] = {0, 0, 0, 1};
      glFogi(GL_FOG_MODE, GL_EXP2);
      glFogfv(GL_FOG_COLOR, black);
      glFogf(GL_FOG_DENSITY, c.density);
      glEnable(GL_FOG);
    }
    glColor4f(c.tint[0], c.tint[1], c.tint[2], 1);
    const std::vector<uint8_t> pixels = stage.Draw(gl, true);
    ExpectStateRestored(c.density > 0);
    glDisable(GL_FOG);
    const Texel behind = PixelAt(pixels, 96, 64), seen = PixelAt(pixels, 32, 64);
    EXPECT_GT(behind.g, 60);
    const Texel want = {static_cast<uint8_t>(behind.r * WindowColour.r / 255),
                        static_cast<uint8_t>(behind.g * WindowColour.g / 255),
                        static_cast<uint8_t>(behind.b * WindowColour.b / 255), 255};
    EXPECT_TRUE(Near(seen, want, 3));
    float colour[4] = {0, 0, 0, 0};
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[1], c.tint[1]);  // the tint is put back
  }
}

TEST_F(LevelStages, ClampedPicturesDoNotRepeatPastTheirEdge) {
  LevelBuilder builder = Room();
  // The same picture, red then blue halves, twice across each strip: clamped above, repeated below.
  AddPanel(&builder, Clamped, -64, 64, 0, 64, 2);
  AddPanel(&builder, Repeated, -64, 64, -64, 0, 2);
  gGame.lightmapsOn = false;
  StageLevel stage(builder);
  ASSERT_TRUE(stage.ok) << stage.said;
  const Texel red = {255, 0, 0, 255}, blue = {0, 0, 255, 255};
  const struct {
    int x;
    Texel clamped, repeated;
  } cases[] = {{16, red, red}, {48, blue, blue}, {80, blue, red}, {112, blue, blue}};
  const std::vector<uint8_t> pixels = stage.Draw(gl, true);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.x);
    EXPECT_TRUE(Near(PixelAt(pixels, c.x, 96), c.clamped));
    EXPECT_TRUE(Near(PixelAt(pixels, c.x, 32), c.repeated));
  }
}

// The most common entry of other tools' levels, a lightmap stage under a multiplying picture,
// is an opaque wall that writes depth, pixel for pixel the wall of the same picture without a
// script; and it is drawn in the one-pass batches.
TEST_F(LevelStages, LightmapThenFilterIsTheUnscriptedWall) {
  gGame.lightmapsOn = true;
  std::vector<uint8_t> pictures[2];
  float depths[2] = {0, 0};
  for (int k = 0; k < 2; ++k) {
    LevelBuilder builder = Room();
    const int page = builder.AddLightmap(120, 200, 255);
    AddPanel(&builder, k == 0 ? LitWall : Unscripted, -64, 64, -64, 64, 1, false, page);
    StageLevel stage(builder);
    ASSERT_TRUE(stage.ok) << stage.said;
    EXPECT_EQ(stage.level.materials[LitWall + 1].blend, SurfaceBlend::Opaque);
    EXPECT_EQ(stage.level.materials[LitWall + 1].staged, -1);
    pictures[k] = stage.Draw(gl, true);
    glReadPixels(64, 64, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depths[k]);
    ExpectStateRestored();
  }
  EXPECT_TRUE(pictures[0] == pictures[1]);
  EXPECT_FALSE(Near(PixelAt(pictures[0], 64, 64), WallColour, 20));  // the panel, not the wall behind
  EXPECT_EQ(depths[0], depths[1]);
  EXPECT_LT(depths[0], 1.0f);
}

// Stages that move with the surfaces' clock: a scrolling picture, a pulsing colour, an
// animation and an additive glow over a base, each a panel filling the view, at set times.
TEST_F(LevelStages, StagesFollowTheSurfacesClock) {
  const Texel red = {255, 0, 0, 255}, green = {0, 255, 0, 255}, blue = {0, 0, 255, 255};
  const struct {
    Material material;
    double seconds;
    Texel want;  // at the centre
  } cases[] = {
      {Pulse, 0.0, {128, 128, 128, 255}}, {Pulse, 0.25, {255, 255, 255, 255}}, {Pulse, 0.75, {0, 0, 0, 255}},
      {Anim, 0.2, red},  {Anim, 0.7, green}, {Anim, 1.2, blue}, {Anim, 1.7, red},
      {Glow, 0.0, {200, 150, 120, 255}},
  };
  gGame.lightmapsOn = true;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(Names[c.material]) + " at " + std::to_string(c.seconds));
    StageLevel stage(PanelRoom(c.material));
    ASSERT_TRUE(stage.ok) << stage.said;
    EXPECT_GE(stage.level.materials[c.material + 1].staged, 0);
    gGame.surfaceSeconds = c.seconds;
    const std::vector<uint8_t> pixels = stage.Draw(gl, true);
    EXPECT_TRUE(Near(PixelAt(pixels, 64, 64), c.want, 4));
    ExpectStateRestored();
  }
  // The red | blue halves scroll a quarter repeat (two texels, 32 pixels) a second: the first
  // blue column of a row moves from the middle to a quarter of the way across.
  StageLevel stage(PanelRoom(Scroll));
  ASSERT_TRUE(stage.ok) << stage.said;
  const struct {
    double seconds;
    int firstBlue;
  } scrolls[] = {{0, 64}, {1, 32}, {2, 0}};
  for (const auto& c : scrolls) {
    gGame.surfaceSeconds = c.seconds;
    const std::vector<uint8_t> pixels = stage.Draw(gl, true);
    int firstBlue = -1;
    for (int x = 0; x < Size && firstBlue < 0; ++x)
      if (PixelAt(pixels, x, 64).b > PixelAt(pixels, x, 64).r) firstBlue = x;
    EXPECT_NEAR(firstBlue, c.firstBlue, 1) << "at " << c.seconds << " s";
  }
}

// Which stages share a pass: only stages that add or multiply with one colour over a stage
// that covers what lies under it, as many as the units allow.
// However many records name staged entries and however many stages name one picture, each
// picture file is read once (per clamping) and each entry's stages are loaded once.
TEST_F(LevelStages, StagePicturesAreReadOnceHoweverManyRecordsAndStagesNameThem) {
  auto load = [&](int extraRecords, size_t* stagedCount) {
    LevelBuilder builder = Room();
    const Material named[] = {Three, LitThree, Glow, Anim, Scroll, LitScroll, Clamped, Repeated};
    for (int k = 0; k < extraRecords; ++k) builder.AddTexture(Names[named[k % 8]], SolidContents);
    const uint64_t before = files::ContentReads();
    StageLevel stage(builder);
    EXPECT_TRUE(stage.ok) << stage.said;
    *stagedCount = stage.level.stagedMaterials.size();
    return files::ContentReads() - before;
  };
  size_t stagedAlone = 0, stagedMany = 0;
  const uint64_t readsAlone = load(0, &stagedAlone), readsMany = load(800, &stagedMany);
  EXPECT_EQ(readsMany, readsAlone);
  EXPECT_EQ(stagedMany, stagedAlone);
  // The level file, the script and the 15 pictures: 14 files, halves.tga clamped and not.
  EXPECT_EQ(readsAlone, 2u + 15u);
}

TEST(StagePassPlan, OnlyFoldableStagesShareAPass) {
  auto stage = [](uint32_t source, uint32_t destination, ColourSource colour = ColourSource::Identity) {
    ShaderStage s;
    s.blends = !(source == GL_ONE && destination == GL_ZERO);
    s.blendSource = source, s.blendDestination = destination, s.colour = colour;
    return s;
  };
  const ShaderStage base = stage(GL_ONE, GL_ZERO), filter = stage(GL_DST_COLOR, GL_ZERO), add = stage(GL_ONE, GL_ONE);
  ShaderStage tested = filter, lightmap = filter, blend = stage(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  tested.alphaTest = AlphaTest::GE128;
  lightmap.image = StageImage::Lightmap;
  const ShaderStage waveAdd = stage(GL_ONE, GL_ONE, ColourSource::Wave), vertexAdd = stage(GL_ONE, GL_ONE, ColourSource::Vertex);
  const ShaderStage dimFilter = stage(GL_DST_COLOR, GL_ZERO, ColourSource::Wave);
  const struct {
    std::vector<ShaderStage> stages;
    int units;
    bool modulateAdd, tinted, vertexLight;
    std::vector<size_t> counts;  // stages per pass
  } cases[] = {
      {{base, filter, add}, 4, true, false, false, {3}},
      {{base, filter, add}, 2, true, false, false, {2, 1}},
      {{base, filter, add}, 1, true, false, false, {1, 1, 1}},
      {{base, waveAdd, lightmap}, 4, true, false, false, {3}},
      {{base, waveAdd, lightmap}, 4, false, false, false, {1, 1, 1}},  // no unit adds a colour times a picture
      {{base, add}, 4, false, true, false, {1, 1}},                 // a tinted glow needs one too
      {{base, lightmap}, 4, true, false, true, {1, 1}},             // vertex colours vary
      {{base, vertexAdd}, 4, true, false, false, {1, 1}},
      {{base, dimFilter}, 4, true, false, false, {1, 1}},
      {{base, tested}, 4, true, false, false, {1, 1}},              // its alpha test would not hold
      {{blend, filter}, 4, true, false, false, {1, 1}},             // a blended base
      {{base, add, blend, filter}, 4, true, false, false, {2, 1, 1}},
      {{base, add, base, filter}, 4, true, false, false, {2, 2}},  // an opaque later stage begins a pass
  };
  for (size_t k = 0; k < sizeof cases / sizeof cases[0]; ++k) {
    const auto& c = cases[k];
    PassLimits limits;
    limits.units = c.units, limits.modulateAdd = c.modulateAdd, limits.tinted = c.tinted, limits.vertexLight = c.vertexLight;
    std::vector<StagePass> passes;
    PlanStagePasses(c.stages, limits, &passes);
    std::vector<size_t> counts;
    size_t next = 0;
    for (const StagePass& p : passes) {
      EXPECT_EQ(p.first, next) << "case " << k;
      next += p.count;
      counts.push_back(p.count);
    }
    EXPECT_EQ(counts, c.counts) << "case " << k;
  }
}

// Texture units 1 and up as the level leaves them after folded stages: modulating, and
// those past the lightmap's unit off.
void ExpectUnitsRestored() {
  if (!gGame.multitexture.activeTexture) return;
  for (unsigned int u = 1; u < 4; ++u) {
    gGame.multitexture.activeTexture(GL_TEXTURE0_ARB + u);
    GLint mode = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
    EXPECT_EQ(mode, GL_MODULATE) << "unit " << u;
    if (u >= 2) {
      EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << "unit " << u;
    }
  }
  gGame.multitexture.activeTexture(GL_TEXTURE1_ARB);
}

// Stages folded onto texture units draw what the same stages draw one pass each: a lightmap
// under a moving multiplying picture; a moving base, a pulsing glow and a lightmap over
// them; a lightmap, a moving picture and a glow; a base under a $whiteimage glow of one
// colour; the lit moving picture with a glow flickering off at 0.3 seconds and on at 1.1.
// Untinted and tinted (as night vision tints), at two times. Folded, each is one pass; a
// glow that is off takes no pass and draws the picture without it, to the pixel.
TEST_F(LevelStages, FoldedStagesDrawWhatStageByStageDraws) {
  const struct {
    Material material;
    int stages[2];  // passes drawn one per stage, at each time
  } cases[] = {{LitScroll, {2, 2}}, {Three, {3, 3}}, {LitThree, {3, 3}}, {WhiteGlow, {2, 2}}, {Flicker, {2, 3}}};
  const float tints[2][4] = {{1, 1, 1, 1}, {0.5f, 1, 0.5f, 1}};
  const double times[2] = {0.3, 1.1};
  std::vector<uint8_t> litScroll[2][2];  // [tint][time]
  gGame.lightmapsOn = true;
  for (const auto& c : cases) {
    LevelBuilder builder = Room();
    const int page = builder.AddLightmap(120, 200, 255);
    AddPanel(&builder, c.material, -64, 64, -64, 64, 2, false, page);
    StageLevel stage(builder);
    ASSERT_TRUE(stage.ok) << stage.said;
    for (int t = 0; t < 2; ++t)
      for (int time = 0; time < 2; ++time) {
        const float* tint = tints[t];
        SCOPED_TRACE(std::string(Names[c.material]) + " tint " + std::to_string(tint[0]) + " at " + std::to_string(times[time]));
        gGame.surfaceSeconds = times[time];
        std::vector<uint8_t> pictures[2];
        int passes[2] = {0, 0};
        for (int folded = 0; folded < 2; ++folded) {
          stage.level.foldedStages = folded == 1;
          glColor4fv(tint);
          pictures[folded] = stage.Draw(gl, true);
          passes[folded] = stage.level.stagePassesLastFrame;
          ExpectStateRestored();
          ExpectUnitsRestored();
        }
        EXPECT_EQ(passes[0], c.stages[time]);
        EXPECT_EQ(passes[1], 1);
        int worst = 0;
        for (size_t k = 0; k < pictures[0].size(); ++k)
          worst = std::max(worst, std::abs(int(pictures[0][k]) - int(pictures[1][k])));
        EXPECT_LE(worst, 3);
        EXPECT_FALSE(Near(PixelAt(pictures[1], 64, 64), WallColour, 20));  // the panel is drawn
        if (c.material == LitScroll) litScroll[t][time] = pictures[1];
        if (c.material == Flicker) {
          EXPECT_EQ(pictures[1] == litScroll[t][time], time == 0);  // off, then on
        }
      }
  }
  glColor4f(1, 1, 1, 1);
}

// $whiteimage stages show their colour alone or added over a base; deformVertexes wave moves
// a surface along its normals by the wave (here away from the eye: the panel shrinks, then
// grows); a blended surface leaves the depth behind it unless its stage writes depth.
TEST_F(LevelStages, WhiteImagesDeformsAndDepthWrites) {
  gGame.lightmapsOn = true;
  const struct {
    Material material;
    Texel want;
  } whites[] = {{WhiteConst, {51, 102, 153, 255}}, {WhiteGlow, {164, 178, 211, 255}}};
  for (const auto& c : whites) {
    StageLevel stage(PanelRoom(c.material));
    ASSERT_TRUE(stage.ok) << stage.said;
    EXPECT_TRUE(Near(PixelAt(stage.Draw(gl, true), 64, 64), c.want, 3)) << Names[c.material];
  }
  {
    // A red panel 64 units wide at 64 units (a pixel a unit there), moved 16 sin(2 pi t) away.
    LevelBuilder builder = Room();
    AddPanel(&builder, Wobble, -32, 32, -32, 32);
    StageLevel stage(builder);
    ASSERT_TRUE(stage.ok) << stage.said;
    const struct {
      double seconds;
      double width;  // pixels: 64 * 64 / depth
    } times[] = {{0, 64}, {0.25, 64.0 * 64 / 80}, {0.75, 64.0 * 64 / 48}};
    for (const auto& t : times) {
      gGame.surfaceSeconds = t.seconds;
      const std::vector<uint8_t> pixels = stage.Draw(gl, true);
      int red = 0;
      for (int x = 0; x < Size; ++x) red += PixelAt(pixels, x, 64).r > 200 && PixelAt(pixels, x, 64).g < 60;
      EXPECT_NEAR(red, t.width, 2) << "at " << t.seconds << " s";
    }
  }
  // Depth at the centre: an opaque panel's, a blended one's without depthWrite (the wall's),
  // with depthWrite (the panel's); the blended two look alike.
  const Material panels[3] = {Unscripted, Glass, GlassDepth};
  float depths[3] = {0, 0, 0};
  std::vector<uint8_t> pictures[3];
  for (int k = 0; k < 3; ++k) {
    StageLevel stage(PanelRoom(panels[k]));
    ASSERT_TRUE(stage.ok) << stage.said;
    pictures[k] = stage.Draw(gl, true);
    glReadPixels(64, 64, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depths[k]);
    ExpectStateRestored();
  }
  EXPECT_GT(depths[1], depths[0] + 1e-4f);
  EXPECT_FLOAT_EQ(depths[2], depths[0]);
  EXPECT_TRUE(pictures[1] == pictures[2]);
  EXPECT_FALSE(Near(PixelAt(pictures[1], 64, 64), WallColour, 20));
}

// A cloud sky (no box): the ceiling is sky, the clouds move between two times, and every
// pixel has a depth: the sky faces keep theirs.
TEST_F(LevelStages, CloudSkyMovesAndKeepsItsDepth) {
  LevelBuilder builder = Room(Clouds);
  StageLevel stage(builder);
  ASSERT_TRUE(stage.ok) << stage.said;
  ASSERT_GE(stage.level.clouds.staged, 0);
  std::vector<uint8_t> pictures[2];
  for (int k = 0; k < 2; ++k) {
    gGame.surfaceSeconds = k * 2.5;
    SetSquareView(Size, 1, 4000);
    LookAt(Vec3(0, 0, 0), Vec3(0, 1, -0.3f));
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    stage.level.RenderLevel(Vec3(0, 0, 0));
    pictures[k] = gl.ReadPixels();
    std::vector<float> depth(Size * Size);
    glReadPixels(0, 0, Size, Size, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    EXPECT_EQ(std::count(depth.begin(), depth.end(), 1.0f), 0);
    ExpectStateRestored();
    if (k == 0) SaveShot(pictures[k], Size, Size, "level-stages-clouds", "-filter point -resize 400%");
  }
  long differing = 0;
  for (size_t i = 0; i < pictures[0].size(); ++i) differing += pictures[0][i] != pictures[1][i];
  EXPECT_GT(differing, Size * Size / 4);
  EXPECT_TRUE(Near(PixelAt(pictures[0], 64, 2), WallColour));  // the wall below the sky stays
}

// A fog volume (blue, hiding everything at 40 units) between the eye and the wall 128 units
// ahead: the wall takes the fog colour in proportion to the fog it is seen through, also from
// inside; the fog's own side is no picture.
TEST_F(LevelStages, FogVolumesFadeWhatLiesBehindThem) {
  const struct {
    float nearZ, farZ;  // world z of the fog box's faces across the view
    float share;        // of the fog colour at the centre
  } cases[] = {{-30, -40, 0.25f}, {-30, -50, 0.5f}, {-20, -60, 1.0f}, {-10, -90, 1.0f}, {10, -20, 0.5f}, {200, 150, 0}};
  gGame.lightmapsOn = false;
  for (const auto& c : cases) {
    SCOPED_TRACE("fog from z " + std::to_string(c.nearZ) + " to " + std::to_string(c.farZ));
    LevelBuilder builder = Room();
    const int brush = builder.AddWorldBox(Vec3(-127, -127, c.farZ), Vec3(127, 127, c.nearZ), Fog + 1);
    builder.AddFog(Names[Fog], brush);
    AddPanel(&builder, Fog, -64, 64, -64, 64);  // a side of the fog: never drawn
    StageLevel stage(builder);
    ASSERT_TRUE(stage.ok) << stage.said;
    ASSERT_EQ(stage.level.fogs.size(), 1u);
    const std::vector<uint8_t> pixels = stage.Draw(gl, true);
    const Texel want = {static_cast<uint8_t>(WallColour.r * (1 - c.share) + 0.5f),
                        static_cast<uint8_t>(WallColour.g * (1 - c.share) + 0.5f),
                        static_cast<uint8_t>(WallColour.b * (1 - c.share) + 255 * c.share + 0.5f), 255};
    EXPECT_TRUE(Near(PixelAt(pixels, 64, 64), want, 4));
    ExpectStateRestored();
  }
}

// An 8 x 8 picture, red over blue, as the kind of file the name ends in: a Targa stored from
// its lower left corner (or, with `topFirst`, its upper left) or a JPEG.
void WriteRedOverBlue(const std::string& path, bool topFirst = false) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  auto top = [&](int row) { return topFirst ? row < 4 : row >= 4; };  // rows in file order
  if (path.size() > 4 && path.substr(path.size() - 4) == ".tga") {
    std::vector<uint8_t> bytes(18, 0);
    bytes[2] = 2, bytes[12] = 8, bytes[14] = 8, bytes[16] = 24, bytes[17] = topFirst ? 0x20 : 0;
    for (int row = 0; row < 8; ++row)
      for (int x = 0; x < 8; ++x) bytes.insert(bytes.end(), {uint8_t(top(row) ? 0 : 255), 0, uint8_t(top(row) ? 255 : 0)});
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return;
  }
  std::vector<uint8_t> rgb;
  for (int row = 0; row < 8; ++row)  // top row first
    for (int x = 0; x < 8; ++x) rgb.insert(rgb.end(), {uint8_t(row < 4 ? 255 : 0), 0, uint8_t(row < 4 ? 0 : 255)});
  ASSERT_TRUE(WriteJpegFile(path, 8, 8, rgb, true));
}

// A picture, and a sky box, look the same from a bottom-up Targa, a top-down Targa and a
// JPEG: red over blue, read back from the drawn panel and sky.
TEST_F(LevelStages, PicturesAndSkiesLookAlikeFromEveryFileKind) {
  const char* const SkySides[] = {"_rt", "_bk", "_lf", "_ft", "_up", "_dn"};
  std::vector<uint8_t> drawn[3];
  for (int kind = 0; kind < 3; ++kind) {
    SCOPED_TRACE(kind);
    const std::string ending = kind == 2 ? ".jpg" : ".tga";
    for (const char* stale : {"textures/s/oriented.tga", "textures/s/oriented.jpg"}) std::filesystem::remove(stale);
    WriteRedOverBlue("textures/s/oriented" + ending, kind == 1);
    for (const char* side : SkySides) {
      std::filesystem::remove(std::string("env/o") + side + ".tga");
      std::filesystem::remove(std::string("env/o") + side + ".jpg");
      WriteRedOverBlue(std::string("env/o") + side + ending, kind == 1);
    }
    ImageData image;
    std::string error;
    ASSERT_TRUE(DecodeImageFile("textures/s/oriented" + ending, &image, &error)) << error;
    EXPECT_GT(image.pixels[2], 200);                      // first row: the bottom, blue
    EXPECT_GT(image.pixels[image.pixels.size() - 3], 200);  // last row: the top, red
    LevelBuilder builder = Room(BoxSky);
    AddPanel(&builder, Oriented, -64, 64, -64, 0);  // the lower half of the view
    gGame.lightmapsOn = false;
    StageLevel stage(builder);
    ASSERT_TRUE(stage.ok) << stage.said;
    ASSERT_NE(stage.level.skyCube, 0u);
    SetSquareView(Size, 1, 4000);
    LookAt(Vec3(0, 0, 0), Vec3(0, 0.4f, -1));
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    stage.level.RenderLevel(Vec3(0, 0, 0));
    drawn[kind] = gl.ReadPixels();
  }
  for (int kind = 1; kind < 3; ++kind) {
    int largest = 0;
    for (size_t i = 0; i < drawn[0].size(); ++i) largest = std::max(largest, std::abs(drawn[0][i] - drawn[kind][i]));
    EXPECT_LE(largest, 24) << "kind " << kind;  // JPEG's own error at red/blue edges
  }
  // The panel's upper part (the view looks up over it) shows the picture's upper half: red.
  EXPECT_TRUE(Near(PixelAt(drawn[0], 64, 4), {255, 0, 0, 255}, 30));
}

// A corridor 8,000 units long seen from one end: with the far plane from the level's size
// every pixel is drawn; with our own level's 4,000 the far end is lost.
TEST_F(LevelStages, FarPlaneFromTheLevelSizeReachesTheFarEnd) {
  const float length = 8000;
  StageLevel stage(Room(Wall, length));
  ASSERT_TRUE(stage.ok) << stage.said;
  EXPECT_GT(stage.level.BoundsDiagonal(), length);
  for (const double far : {4000.0, stage.level.BoundsDiagonal() + 512.0}) {
    SetSquareView(Size, 10, far);
    LookAt(Vec3(0, 0, 0), Vec3(0, 0, -1));
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    stage.level.RenderLevel(Vec3(0, 0, 0));
    std::vector<float> depth(Size * Size);
    glReadPixels(0, 0, Size, Size, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    const long cleared = std::count(depth.begin(), depth.end(), 1.0f);
    if (far == 4000.0)
      EXPECT_GT(cleared, 0);
    else
      EXPECT_EQ(cleared, 0);
  }
}

// The light grid of a level: a dark cell and a bright one, figures between them blended,
// cells in solid skipped, and a grid that does not fit the level's box dropped.
TEST(LightGrid, FiguresAreLitByTheCellsAroundThem) {
  Level level;
  level.entityText = "{ \"classname\" \"worldspawn\" \"gridsize\" \"100 100 100\" }";
  const float mins[3] = {-50, -50, -50}, maxs[3] = {150, 50, 50};  // cells at x 0 and 100
  BspLightGridCell dark = {{2, 2, 2}, {6, 6, 6}, {0, 0}}, bright = {{100, 80, 60}, {100, 100, 100}, {0, 0}};
  level.lightGrid.cells = {dark, bright};
  level.SetUpLightGrid(mins, maxs, true);
  ASSERT_EQ(level.lightGrid.counts[0], 2);
  float rgb[3];
  const struct {
    float x;      // file x (y and z 0)
    float red;    // expected
  } cases[] = {{0, (2 + 3) * LightGridScale}, {100, 1.0f}, {50, (5 + 150) * 0.5f * LightGridScale}, {-40, 5 * LightGridScale}};
  for (const auto& c : cases) {
    EXPECT_TRUE(FigureLight(level, Vec3(c.x, 0, 0), rgb));
    EXPECT_NEAR(rgb[0], std::min(c.red, 1.0f), 1e-4) << c.x;
  }
  FigureLight(level, Vec3(100, 0, 0), rgb);
  const float brightGreen = rgb[1];
  FigureLight(level, Vec3(0, 0, 0), rgb);
  EXPECT_LT(rgb[1], brightGreen / 10);  // a figure in the dark cell is far darker
  // A cell in solid (all zeros) gives nothing: the other one lights the figure alone.
  level.lightGrid.cells[1] = BspLightGridCell{};
  EXPECT_TRUE(FigureLight(level, Vec3(60, 0, 0), rgb));
  EXPECT_NEAR(rgb[0], 5 * LightGridScale, 1e-4);
  // Three cells for a box of two: no grid, figures white.
  testing::internal::CaptureStderr();
  level.lightGrid.cells = {dark, bright, dark};
  level.SetUpLightGrid(mins, maxs, true);
  EXPECT_FALSE(testing::internal::GetCapturedStderr().empty());
  EXPECT_FALSE(FigureLight(level, Vec3(0, 0, 0), rgb));
  EXPECT_FLOAT_EQ(rgb[0], 1);
}

// A 64 x 64 Targa made by `texel(x, y)` (y from the bottom).
template <typename F>
void WritePattern(const std::string& path, F texel) {
  std::vector<uint8_t> bytes(18, 0);
  bytes[2] = 2, bytes[12] = 64, bytes[14] = 64, bytes[16] = 32;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      const Texel t = texel(x, y);
      bytes.insert(bytes.end(), {t.b, t.g, t.r, t.a});
    }
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// The room of the README's pictures: moving water on the floor, a pulsing light on the wall
// ahead, clouds for a ceiling and a fog volume at the right; two moments a second apart,
// saved with KORVALIS_SHOTS_DIR. The two moments differ.
TEST(LevelShowcase, RoomOfMovingSurfaces) {
  ResetGameState();
  FakePlatform fake;
  constexpr int Width = 640, Height = 400;
  GLTestContext gl(Width, Height);
  REQUIRE_GL(gl);
  InScratch scratch("korvalis_level_showcase");
  WriteStageData();
  std::filesystem::remove("textures/s/wall.tga");  // the walls take the script's stone
  constexpr double TwoPi = 6.283185307179586;
  WritePattern("textures/show/water.tga", [&](int x, int y) {
    const double w = 0.5 + 0.25 * std::sin(x * TwoPi / 32) + 0.25 * std::sin((x + 2 * y) * TwoPi / 64);
    return Texel{static_cast<uint8_t>(20 + 40 * w), static_cast<uint8_t>(70 + 60 * w), static_cast<uint8_t>(140 + 100 * w), 255};
  });
  WritePattern("textures/show/clouds.tga", [&](int x, int y) {
    const double c = std::max(0.0, std::sin(x * TwoPi / 64) * std::sin(y * TwoPi / 32) + 0.3 * std::sin((x - y) * TwoPi / 16));
    const uint8_t v = static_cast<uint8_t>(std::min(255.0, 90 + 165 * c));
    return Texel{v, v, static_cast<uint8_t>(std::min(255, v + 60)), 255};
  });
  WritePattern("textures/show/lamp.tga", [&](int x, int y) {
    const double r = std::hypot(x - 31.5, y - 31.5) / 32;
    const uint8_t v = static_cast<uint8_t>(std::max(0.0, 1 - r) * 255);
    return Texel{v, static_cast<uint8_t>(v * 0.85), static_cast<uint8_t>(v * 0.5), 255};
  });
  WritePattern("textures/show/stone.tga", [&](int x, int y) {
    const bool joint = x % 32 == 0 || y % 16 == 0;
    const uint8_t v = joint ? 70 : static_cast<uint8_t>(150 + ((x * 7 + y * 13) % 23));
    return Texel{v, static_cast<uint8_t>(v * 0.9), static_cast<uint8_t>(v * 0.8), 255};
  });
  std::ofstream("scripts/show.shader", std::ios::binary)
      << "textures/s/wall { { map textures/show/stone.tga } }\n"
         "textures/s/pulse { { map textures/show/stone.tga } { map textures/show/lamp.tga\n blendFunc add\n"
         " rgbGen wave sin 0.6 0.4 0 0.5 } }\n"
         "textures/s/scroll { deformVertexes wave 64 sin 0 3 0 0.5\n { map textures/show/water.tga\n"
         " tcMod turb 0 0.05 0 0.2\n tcMod scroll 0.05 0.02 }\n { map textures/show/water.tga\n blendFunc filter\n"
         " tcMod scale 0.5 0.5\n tcMod scroll -0.02 0.03 } }\n"
         "textures/s/clouds { surfaceparm sky\n skyParms - 256 -\n { map textures/show/clouds.tga\n tcMod scroll 0.02 0.01 } }\n"
         "textures/s/fog { surfaceparm fog\n fogparms ( 0.55 0.6 0.7 ) 160 }\n";
  LevelBuilder builder = Room(Clouds);
  // The floor, a little above the room's own: water in 16 strips (so the wave bends it).
  for (int i = 0; i < 16; ++i) {
    const float z0 = 128 - 16.0f * i, z1 = z0 - 16;
    std::vector<BspVertex> vertices;
    const Vec3 corners[4] = {Vec3(-128, -100, z0), Vec3(128, -100, z0), Vec3(128, -100, z1), Vec3(-128, -100, z1)};
    for (int k = 0; k < 4; ++k) {
      BspVertex v = {};
      const Vec3 p = WorldToFile(corners[k]);
      v.position[0] = p.x, v.position[1] = p.y, v.position[2] = p.z;
      v.texCoord[0] = corners[k].x / 128, v.texCoord[1] = corners[k].z / 128;
      v.normal[2] = 1;
      for (uint8_t& c : v.color) c = 255;
      vertices.push_back(v);
    }
    builder.AddRawFace(FaceTypePolygon, vertices, {0, 2, 1, 0, 3, 2}, Scroll + 1);  // seen from above
  }
  AddPanel(&builder, Pulse, -40, 0, -20, 20);
  const int fog = builder.AddWorldBox(Vec3(40, -127, -127), Vec3(127, 60, -30), Fog + 1);
  builder.AddFog(Names[Fog], fog);
  gGame.lightmapsOn = false;
  StageLevel stage(builder);
  ASSERT_TRUE(stage.ok) << stage.said;
  std::vector<uint8_t> shots[2];
  for (int k = 0; k < 2; ++k) {
    gGame.surfaceSeconds = 1.5 + k;  // the light at its dimmest, then at its brightest
    glViewport(0, 0, Width, Height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(75, double(Width) / Height, 1, 4000);
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    LookAt(Vec3(-60, 20, 110), Vec3(10, -30, -128));
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    stage.level.RenderLevel(Vec3(-60, 20, 110));
    shots[k] = gl.ReadPixels();
    SaveShot(shots[k], Width, Height, "level-other-tools-" + std::to_string(k + 1));
    ExpectStateRestored();
  }
  EXPECT_NE(shots[0], shots[1]);
}

}  // namespace
