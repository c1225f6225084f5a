// A level's surface pictures and materials on an offscreen GL context: names without an
// extension in both formats, pictures named only by a shader script, nodraw, sky and blended
// surfaces, and missing pictures drawn as a checker (one stderr line per name, no box).
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/character.h"
#include "core/game_state.h"
#include "core/level.h"
#include "models/model_files.h"
#include "platform/files.h"
#include "support/jpeg_file.h"
#include "support/fake_platform.h"
#include "support/gl_context.h"
#include "support/level_builder.h"
#include "support/scratch_dir.h"
#include "support/zip_writer.h"

namespace {

constexpr int Size = 64;

void MakeFolderOf(const std::string& path) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (!folder.empty()) std::filesystem::create_directories(folder);
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  MakeFolderOf(path);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// An 8 x 8 Targa of one colour; 32 bits when alpha is below 255. The first `lowRows` rows
// (the bottom of the picture) are made darker: their green is `lowGreen`.
void WriteTga(const std::string& path, uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255, int lowRows = 0,
              uint8_t lowGreen = 0) {
  const bool alpha = a != 255;
  std::vector<uint8_t> bytes(18, 0);
  bytes[2] = 2;
  bytes[12] = 8;
  bytes[14] = 8;
  bytes[16] = alpha ? 32 : 24;
  for (int i = 0; i < 64; ++i) {
    bytes.insert(bytes.end(), {b, i < lowRows * 8 ? lowGreen : g, r});
    if (alpha) bytes.push_back(a);
  }
  WriteBytes(path, bytes);
}

void WriteJpeg(const std::string& path, uint8_t r, uint8_t g, uint8_t b) {
  MakeFolderOf(path);
  std::vector<uint8_t> rgb;
  for (int i = 0; i < 64; ++i) rgb.insert(rgb.end(), {r, g, b});
  ASSERT_TRUE(WriteJpegFile(path, 8, 8, rgb));
}

// Texture records of the test room, in the order the builder adds them after its texture 0.
enum Material { Solid, JpgWall, TgaWall, Scripted, Hidden, Sky, Glow, Veil, Missing, MissingAgain, Count };

const char* const Names[Count] = {
    "textures/test/solid", "textures/m/jpgwall", "textures/m/tgawall", "textures/m/scripted", "textures/m/hidden",
    "textures/m/sky",      "textures/m/glow",    "textures/m/veil",    "textures/m/missing",  "textures/m/missing"};

// The script and pictures of the test room. The scripted surface's picture is written as
// ".jpg" but exists as ".tga"; the glow names its picture without an extension.
void WriteRoomData(bool withSkyBox) {
  WriteJpeg("textures/m/jpgwall.jpg", 255, 0, 0);
  WriteTga("textures/m/tgawall.tga", 0, 255, 0);
  WriteTga("textures/m/pictures/blue.tga", 0, 0, 255);
  WriteTga("textures/m/pictures/glow.tga", 0, 0, 128);
  WriteTga("textures/m/pictures/veil.tga", 255, 255, 255, 128);
  if (withSkyBox) {
    WriteTga("env/box_rt.tga", 255, 0, 0);
    WriteTga("env/box_bk.tga", 0, 255, 0, 255, 4, 96);  // its lower half darker
    WriteTga("env/box_lf.tga", 0, 0, 255);
    WriteJpeg("env/box_ft.jpg", 255, 255, 0);
    WriteTga("env/box_up.tga", 0, 255, 255);
    WriteTga("env/box_dn.tga", 255, 0, 255);
  }
  std::filesystem::create_directories("scripts");
  std::ofstream("scripts/room.shader", std::ios::binary)
      << "// the test room's materials\n"
         "textures/m/scripted\n{\n  qer_editorimage textures/m/pictures/none.tga\n"
         "  { map $lightmap }\n  { map textures/m/pictures/blue.jpg\n blendFunc filter }\n}\n"
         "textures/m/hidden { surfaceparm nodraw }\n"
         "textures/m/sky { surfaceparm sky\n skyParms env/box 512 -\n { map $whiteimage } }\n"
         "textures/m/glow { { map textures/m/pictures/glow\n blendFunc add } }\n"
         "textures/m/veil { { map textures/m/pictures/veil.tga\n blendFunc blend } }\n";
}

// A sealed room, 256 units inside, around the origin: solid walls with a face on each inner
// side. `front` is the texture of the wall the camera looks at (-z), `ceiling` that of +y;
// `walls` of the other four, or green and red walls when it is negative.
LevelBuilder Room(int front, int ceiling, int walls = -1) {
  LevelBuilder builder;
  for (int i = 1; i < Count; ++i) builder.AddTexture(Names[i], SolidContents);
  const int back = walls < 0 ? TgaWall : walls, sides = walls < 0 ? JpgWall : walls;
  const float h = 128, t = 16;
  builder.AddWorldBox(Vec3(-h - t, -h - t, -h - t), Vec3(h + t, h + t, -h), front);
  builder.AddWorldBox(Vec3(-h - t, -h - t, h), Vec3(h + t, h + t, h + t), back);
  builder.AddWorldBox(Vec3(-h - t, -h - t, -h), Vec3(-h, h + t, h), sides);
  builder.AddWorldBox(Vec3(h, -h - t, -h), Vec3(h + t, h + t, h), sides);
  builder.AddWorldBox(Vec3(-h, -h - t, -h), Vec3(h, -h, h), back);
  builder.AddWorldBox(Vec3(-h, h, -h), Vec3(h, h + t, h), ceiling);
  builder.AddWorldFace({Vec3(-h, -h, -h), Vec3(h, -h, -h), Vec3(h, h, -h), Vec3(-h, h, -h)}, front);
  builder.AddWorldFace({Vec3(-h, -h, h), Vec3(-h, h, h), Vec3(h, h, h), Vec3(h, -h, h)}, back);
  builder.AddWorldFace({Vec3(-h, -h, -h), Vec3(-h, h, -h), Vec3(-h, h, h), Vec3(-h, -h, h)}, sides);
  builder.AddWorldFace({Vec3(h, -h, -h), Vec3(h, -h, h), Vec3(h, h, h), Vec3(h, h, -h)}, sides);
  builder.AddWorldFace({Vec3(-h, -h, -h), Vec3(-h, -h, h), Vec3(h, -h, h), Vec3(h, -h, -h)}, back);
  builder.AddWorldFace({Vec3(-h, h, -h), Vec3(h, h, -h), Vec3(h, h, h), Vec3(-h, h, h)}, ceiling);
  return builder;
}

// Writes the room and loads it; what the loading said on stderr goes to `said` when given.
bool LoadRoom(Level* level, const LevelBuilder& builder, std::string* said = nullptr) {
  WriteBytes("room.bsp", builder.BuildFile());
  testing::internal::CaptureStderr();
  const bool loaded = level->LoadBSP("room.bsp");
  const std::string text = testing::internal::GetCapturedStderr();
  if (said) *said = text;
  return loaded;
}

void View(Vec3 target) {
  SetSquareView(Size, 1, 4000);
  LookAt(Vec3(0, 0, 0), target);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

bool Near(const uint8_t* p, int r, int g, int b, int slack = 40) {
  return std::abs(p[0] - r) <= slack && std::abs(p[1] - g) <= slack && std::abs(p[2] - b) <= slack;
}

// A fresh game state, the fake platform and a Size x Size context.
class LevelMaterials : public ::testing::Test {
 protected:
  GameStateReset reset_;
  FakePlatform fake;
  GLTestContext gl{Size, Size};
};

TEST_F(LevelMaterials, PicturesByNameScriptAndCheckerOnAnotherLevel) {
  REQUIRE_GL(gl);
  InScratch scratch("korvalis_level_materials");
  WriteRoomData(true);
  LevelBuilder builder = Room(Missing, Sky);
  builder.AddTexture(Names[MissingAgain], SolidContents);  // the same name twice: one line

  gGame.defaultLevel = false;
  Level level;
  std::string said;
  ASSERT_TRUE(LoadRoom(&level, builder, &said));
  EXPECT_TRUE(fake.messages.empty()) << fake.messages.front();

  EXPECT_EQ(TexelOf(level.textureNames[JpgWall])[0] > 240, true);
  EXPECT_EQ(TexelOf(level.textureNames[TgaWall]), (std::vector<int>{0, 255, 0}));
  EXPECT_EQ(TexelOf(level.textureNames[Scripted]), (std::vector<int>{0, 0, 255}));
  EXPECT_EQ(TexelOf(level.textureNames[Glow]), (std::vector<int>{0, 0, 128}));
  for (Material m : {Solid, Missing, MissingAgain})
    EXPECT_EQ(TexelOf(level.textureNames[m]), (std::vector<int>{255, 0, 255})) << Names[m];  // the checker
  EXPECT_EQ(level.textureNames[Hidden], 0u);
  EXPECT_EQ(level.textureNames[Sky], 0u);
  EXPECT_NE(level.skyCube, 0u);

  ASSERT_EQ(level.materials.size(), static_cast<size_t>(Count + 1));
  EXPECT_TRUE(level.materials[Hidden].nodraw);
  EXPECT_TRUE(level.materials[Sky].sky);
  EXPECT_EQ(level.materials[Glow].blend, SurfaceBlend::Additive);
  EXPECT_EQ(level.materials[Veil].blend, SurfaceBlend::Alpha);
  // A lightmap stage under a multiplying picture is an opaque wall: the first stage decides.
  EXPECT_EQ(level.materials[Scripted].blend, SurfaceBlend::Opaque);

  // One line per missing name: the builder's own texture and textures/m/missing.
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 2) << said;
  EXPECT_NE(said.find("textures/m/missing"), std::string::npos) << said;
  EXPECT_NE(said.find("textures/test/solid"), std::string::npos) << said;

  // The missing picture on the wall ahead is drawn as the checker: magenta and black squares.
  gGame.lightmapsOn = false;
  View(Vec3(0, 0, -1));
  level.RenderLevel(Vec3(0, 0, 0));
  const std::vector<uint8_t> pixels = gl.ReadPixels();
  SaveShot(pixels, Size, Size, "level-missing-picture-checker");
  int magenta = 0, black = 0;
  for (size_t i = 0; i < pixels.size(); i += 4) {
    magenta += Near(&pixels[i], 255, 0, 255);
    black += Near(&pixels[i], 0, 0, 0);
  }
  EXPECT_GT(magenta, Size * Size / 4);
  EXPECT_GT(black, Size * Size / 4);
  level.Destroy();
}

const uint8_t* PixelAt(const std::vector<uint8_t>& pixels, int x, int y) {
  return &pixels[(static_cast<size_t>(y) * Size + x) * 4];
}

// Pixels still at the cleared depth: places where nothing was drawn.
int UncoveredPixels() {
  std::vector<float> depth(static_cast<size_t>(Size) * Size);
  glReadPixels(0, 0, Size, Size, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
  return static_cast<int>(std::count(depth.begin(), depth.end(), 1.0f));
}

TEST_F(LevelMaterials, SkyFacesShowTheBoxBehindWhatStandsInFront) {
  REQUIRE_GL(gl);
  InScratch scratch("korvalis_level_sky");
  WriteRoomData(true);
  LevelBuilder builder = Room(Sky, Sky, Sky);
  // A small green square hangs in front of the sky wall ahead.
  builder.AddWorldFace({Vec3(-16, -16, -64), Vec3(16, -16, -64), Vec3(16, 16, -64), Vec3(-16, 16, -64)}, TgaWall);
  gGame.defaultLevel = false;
  gGame.lightmapsOn = false;
  Level level;
  ASSERT_TRUE(LoadRoom(&level, builder));
  ASSERT_NE(level.skyCube, 0u);

  // Ahead (world -z, the file's +y): the bk picture, its lower half darker; the square in front.
  View(Vec3(0, 0, -1));
  level.RenderLevel(Vec3(0, 0, 0));
  std::vector<uint8_t> pixels = gl.ReadPixels();
  SaveShot(pixels, Size, Size, "level-sky-ahead");
  EXPECT_EQ(UncoveredPixels(), 0);
  EXPECT_TRUE(Near(PixelAt(pixels, Size / 2, Size / 2), 0, 255, 0, 10));  // the square
  EXPECT_TRUE(Near(PixelAt(pixels, 4, Size - 4), 0, 255, 0, 10));         // sky, upper half
  EXPECT_TRUE(Near(PixelAt(pixels, 4, 4), 0, 96, 0, 10));                 // sky, lower half
  EXPECT_TRUE(Near(PixelAt(pixels, Size - 4, 4), 0, 96, 0, 10));

  // Up, left, right, behind: each its own picture.
  const struct {
    Vec3 target;
    int r, g, b;
  } views[] = {{Vec3(0, 1, -0.01f), 0, 255, 255}, {Vec3(0, -1, -0.01f), 255, 0, 255}, {Vec3(-1, 0, 0), 0, 0, 255},
               {Vec3(1, 0, 0), 255, 0, 0}, {Vec3(0, 0, 1), 255, 255, 0}};
  for (const auto& view : views) {
    View(view.target);
    level.RenderLevel(Vec3(0, 0, 0));
    pixels = gl.ReadPixels();
    EXPECT_TRUE(Near(PixelAt(pixels, Size / 2, Size / 2), view.r, view.g, view.b, 10))
        << view.target.x << " " << view.target.y << " " << view.target.z;
  }

  // Black fog that hides everything 26 units away: the square stays, black, before the sky
  // (which the fog does not touch); leaving it out would let the sky show through it.
  const float black[4] = {0, 0, 0, 1};
  glFogfv(GL_FOG_COLOR, black);
  glFogi(GL_FOG_MODE, GL_EXP2);
  glFogf(GL_FOG_DENSITY, 0.1f);
  glEnable(GL_FOG);
  View(Vec3(0, 0, -1));
  level.RenderLevel(Vec3(0, 0, 0));
  glDisable(GL_FOG);
  pixels = gl.ReadPixels();
  EXPECT_TRUE(Near(PixelAt(pixels, Size / 2, Size / 2), 0, 0, 0, 0));
  EXPECT_TRUE(Near(PixelAt(pixels, 4, Size - 4), 0, 255, 0, 10));
  EXPECT_EQ(level.facesFoggedLastFrame, 0);
  level.Destroy();
}

TEST_F(LevelMaterials, BlendedFacesAreDrawnOverTheOpaqueOnes) {
  REQUIRE_GL(gl);
  InScratch scratch("korvalis_level_blend");
  WriteRoomData(true);
  LevelBuilder builder = Room(JpgWall, Hidden);
  // Before the red wall ahead: an added dark blue on the left, a half-transparent white veil
  // on the right, and a nodraw square in the middle.
  builder.AddWorldFace({Vec3(-64, -64, -64), Vec3(-4, -64, -64), Vec3(-4, 64, -64), Vec3(-64, 64, -64)}, Glow);
  builder.AddWorldFace({Vec3(4, -64, -64), Vec3(64, -64, -64), Vec3(64, 64, -64), Vec3(4, 64, -64)}, Veil);
  builder.AddWorldFace({Vec3(-8, -8, -32), Vec3(8, -8, -32), Vec3(8, 8, -32), Vec3(-8, 8, -32)}, Hidden);
  gGame.defaultLevel = false;
  gGame.lightmapsOn = false;
  Level level;
  ASSERT_TRUE(LoadRoom(&level, builder));

  View(Vec3(0, 0, -1));
  level.RenderLevel(Vec3(0, 0, 0));
  const std::vector<uint8_t> pixels = gl.ReadPixels();
  SaveShot(pixels, Size, Size, "level-blended-faces");
  EXPECT_TRUE(Near(PixelAt(pixels, Size / 4, Size / 2), 255, 0, 128, 12));        // red + dark blue
  EXPECT_TRUE(Near(PixelAt(pixels, 3 * Size / 4, Size / 2), 255, 128, 128, 12));  // red under the veil
  EXPECT_TRUE(Near(PixelAt(pixels, Size / 2, Size / 2), 255, 0, 0, 12));          // nodraw: the wall
  EXPECT_TRUE(Near(PixelAt(pixels, Size / 2, 2), 255, 0, 0, 12));
  // The blend state is as it was, and depth writes are back on.
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  GLboolean depthWrites = GL_FALSE;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
  EXPECT_TRUE(depthWrites);
  level.Destroy();
}

TEST_F(LevelMaterials, DefaultLevelKeepsPlainLoadingAndSkyWithoutBoxIsFlat) {
  REQUIRE_GL(gl);
  InScratch scratch("korvalis_level_materials_default");
  WriteRoomData(false);

  Level level;
  std::string said;
  ASSERT_TRUE(LoadRoom(&level, Room(Missing, Sky), &said));
  EXPECT_EQ(said.find("Missing picture"), std::string::npos) << said;
  EXPECT_NE(said.find("env/box"), std::string::npos) << said;  // the sky box lacks its pictures
  EXPECT_EQ(level.textureNames[Missing], 0u);
  EXPECT_EQ(TexelOf(level.textureNames[TgaWall]), (std::vector<int>{0, 255, 0}));
  EXPECT_EQ(level.skyCube, 0u);
  level.Destroy();
}

}  // namespace

namespace {

// Up to a thousand records may name one picture: it is read (inflated from its archive) once,
// and a member larger than any picture (256 MB claimed) is never inflated at all.
TEST_F(LevelMaterials, EachPictureIsReadOnceHoweverManyRecordsNameIt) {
  REQUIRE_GL(gl);
  InScratch scratch("korvalis_level_reads");
  WriteTga("green.tga", 0, 255, 0);
  std::ifstream in("green.tga", std::ios::binary);
  const std::vector<uint8_t> green((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  WriteBytes("data/pictures.pk3", WriteZip({ZipMember{"textures/green.tga", green},
                                            ZipMember{"textures/huge.tga", std::vector<uint8_t>(4096, 7), 256u << 20}}));
  files::UnmountAll();
  std::string error;
  ASSERT_TRUE(files::MountDirectory("data", &error)) << error;
  gGame.defaultLevel = false;
  double seconds[2] = {0, 0};
  for (int withHuge = 0; withHuge < 2; ++withHuge) {
    LevelBuilder builder;
    builder.AddBox(Vec3(-64, -64, -16), Vec3(64, 64, 0));
    for (int k = 1; k < MaxLevelTextures; ++k)
      builder.AddTexture(withHuge && k % 2 == 0 ? "textures/HUGE" : "Textures/green", SolidContents);
    const std::vector<uint8_t> file = builder.BuildFile();
    Level level;
    ASSERT_TRUE(level.Parse(file.data(), file.size(), &error)) << error;
    const uint64_t readsBefore = files::ContentReads();
    testing::internal::CaptureStderr();
    const auto started = std::chrono::steady_clock::now();
    level.LoadSurfaceTextures();
    seconds[withHuge] = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(files::ContentReads() - readsBefore, 1u) << "the green picture, once";
    EXPECT_EQ(TexelOf(level.textureNames[1]), (std::vector<int>{0, 255, 0}));
    EXPECT_EQ(level.textureNames[MaxLevelTextures - 1], level.textureNames[1]);
    if (withHuge) {
      EXPECT_EQ(TexelOf(level.textureNames[2]), (std::vector<int>{255, 0, 255}));  // the checker
      size_t refusals = 0;
      for (size_t at = said.find("claims"); at != std::string::npos; at = said.find("claims", at + 1)) ++refusals;
      EXPECT_EQ(refusals, 1u) << said;
    }
    level.Destroy();
  }
  std::printf("textures of 999 records: %.3f s naming one picture, %.3f s with half naming a 256 MB member\n",
              seconds[0], seconds[1]);
  files::UnmountAll();
}

TEST_F(LevelMaterials, SkinsFindTheirPictureInTheOtherFormat) {
  REQUIRE_GL(gl);
  InScratch scratch("korvalis_skin_pictures");
  WriteTga("chars/a.tga", 255, 0, 0);
  WriteJpeg("chars/b.jpg", 0, 255, 0);
  WriteTga("chars/c.tga", 0, 0, 255);
  Md3Model model;
  for (const char* name : {"a.jpg", "b.tga", "c"}) {
    MeshMaterial material;
    material.fileName = name;
    model.materials.push_back(material);
  }
  model.materialCount = 3;
  auto character = std::make_unique<CharacterModel>();
  BindMaterialTextures(character.get(), &model, "chars");
  EXPECT_TRUE(fake.messages.empty()) << fake.messages.front();
  EXPECT_EQ(TexelOf(character->textures[0]), (std::vector<int>{255, 0, 0}));
  EXPECT_GT(TexelOf(character->textures[1]).at(1), 240);
  EXPECT_EQ(TexelOf(character->textures[2]), (std::vector<int>{0, 0, 255}));
  glDeleteTextures(3, character->textures);
}

}  // namespace
