// The level compiler and the default level: the loader reads back what the compiler
// writes, compiling is deterministic, bots can walk every waypoint link, the player lands
// on the start floor, and bad sources are refused with the line at fault.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "bots/waypoint_data.h"
#include "core/crc32.h"
#include "core/game_state.h"
#include "level/bsp_writer.h"
#include "level/trace.h"
#include "player/physics.h"
#include "render/texture.h"
#include "support/fake_platform.h"
#include "support/text_file.h"
#include "tools/levelc/bsp_tree.h"
#include "tools/levelc/geometry.h"
#include "tools/levelc/level_compiler.h"
#include "tools/levelc/lighting.h"
#include "tools/levelc/visibility.h"

namespace {

const std::string& DefaultSource() {
  static const std::string text = ReadTextFile(KORVALIS_SOURCE_DIR "/content/korvalis.map");
  return text;
}

// The default level compiled once for the whole program (two threads).
const BspFileData& DefaultLevelData() {
  static const BspFileData data = [] {
    BspFileData d;
    std::string error;
    CompileOptions options;
    options.threads = 2;
    EXPECT_TRUE(CompileLevel(DefaultSource(), options, &d, nullptr, &error)) << error;
    return d;
  }();
  return data;
}

const std::vector<uint8_t>& DefaultLevelBytes() {
  static const std::vector<uint8_t> bytes = WriteBspFile(DefaultLevelData());
  return bytes;
}

// The level the build wrote into the game directory.
const std::vector<uint8_t>& ShippedLevelBytes() {
  static const std::vector<uint8_t> bytes = [] {
    std::string text = ReadTextFile(KORVALIS_GAME_DIR "/maps/korvalis.bsp");
    return std::vector<uint8_t>(text.begin(), text.end());
  }();
  return bytes;
}

Vec3 Waypoint(int i) {
  return Vec3(BuiltInWaypoints[i][0], BuiltInWaypoints[i][1] + BuiltInWaypointRaise, BuiltInWaypoints[i][2]);
}

// Compiles a small source; fails the test on error.
BspFileData Compile(const std::string& text, CompileOptions options = CompileOptions()) {
  BspFileData data;
  std::string error;
  EXPECT_TRUE(CompileLevel(text, options, &data, nullptr, &error)) << error;
  return data;
}

// Total area of the faces whose normal (file coordinates) is the given one.
double FaceArea(const BspFileData& data, float nx, float ny, float nz) {
  double area = 0;
  for (const BspFace& f : data.faces) {
    if (f.normal[0] != nx || f.normal[1] != ny || f.normal[2] != nz) continue;
    const BspVertex* v = &data.vertices[f.firstVertex];
    DVec sum;
    for (int i = 2; i < f.vertexCount; ++i) {
      DVec a(v[0].position[0], v[0].position[1], v[0].position[2]);
      DVec b(v[i - 1].position[0], v[i - 1].position[1], v[i - 1].position[2]);
      DVec c(v[i].position[0], v[i].position[1], v[i].position[2]);
      sum = sum + Cross(b - a, c - a);
    }
    area += 0.5 * std::sqrt(Dot(sum, sum));
  }
  return area;
}

// The stored lightmap texel under a world point of a face with the given world normal.
int TexelAt(const BspFileData& data, DVec worldNormal, DVec world) {
  float fileNormal[3];
  WorldToFile(worldNormal.x, worldNormal.y, worldNormal.z, fileNormal);
  for (const BspFace& f : data.faces) {
    if (f.normal[0] != fileNormal[0] || f.normal[1] != fileNormal[1] || f.normal[2] != fileNormal[2]) continue;
    // The block's origin and axes (file coordinates) give the texel of the point.
    float p[3];
    WorldToFile(world.x, world.y, world.z, p);
    const float* v0 = data.vertices[f.firstVertex].position;
    if (std::fabs((p[0] - v0[0]) * f.normal[0] + (p[1] - v0[1]) * f.normal[1] + (p[2] - v0[2]) * f.normal[2]) > 0.01f)
      continue;  // another plane
    DVec rel(p[0] - f.lightmapOrigin[0], p[1] - f.lightmapOrigin[1], p[2] - f.lightmapOrigin[2]);
    DVec u(f.lightmapAxes[0][0], f.lightmapAxes[0][1], f.lightmapAxes[0][2]);
    DVec v(f.lightmapAxes[1][0], f.lightmapAxes[1][1], f.lightmapAxes[1][2]);
    int i = static_cast<int>(std::lround(Dot(rel, u) / Dot(u, u)));
    int j = static_cast<int>(std::lround(Dot(rel, v) / Dot(v, v)));
    if (i < 0 || j < 0 || i >= f.lightmapSize[0] || j >= f.lightmapSize[1]) continue;
    size_t at = static_cast<size_t>(f.lightmapIndex) * LightmapBytes +
                ((f.lightmapCorner[1] + j) * LightmapSide + f.lightmapCorner[0] + i) * 3;
    return data.lightmaps[at];
  }
  return -1;
}

class DefaultLevel : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetGameState();
    const std::vector<uint8_t>& bytes = ShippedLevelBytes();
    ASSERT_FALSE(bytes.empty()) << "build the game data first";
    std::string error;
    ASSERT_TRUE(gGame.level.Parse(bytes.data(), bytes.size(), &error)) << error;
  }
  void TearDown() override { gGame.level = Level(); }
};

}  // namespace

TEST(LevelCompiler, LoaderReadsBackEveryRecord) {
  const BspFileData& data = DefaultLevelData();
  const std::vector<uint8_t>& bytes = DefaultLevelBytes();
  std::string error;
  Level level;
  ASSERT_TRUE(level.Parse(bytes.data(), bytes.size(), &error)) << error;
  ASSERT_EQ(level.faces.size(), data.faces.size());
  ASSERT_EQ(level.fileVertexCount, data.vertices.size());
  ASSERT_EQ(level.meshVertices, data.meshVertices);
  ASSERT_EQ(level.nodes.size(), data.nodes.size());
  ASSERT_EQ(level.leaves.size(), data.leaves.size());
  ASSERT_EQ(level.planes.size(), data.planes.size());
  ASSERT_EQ(level.leafFaces, data.leafFaces);
  ASSERT_EQ(level.leafBrushes, data.leafBrushes);
  ASSERT_EQ(level.brushes.size(), data.brushes.size());
  ASSERT_EQ(level.brushSides.size(), data.brushSides.size());
  ASSERT_EQ(level.textures.size(), data.textures.size());
  EXPECT_EQ(level.NumLightmaps(), static_cast<int>(data.lightmaps.size() / LightmapBytes));
  EXPECT_EQ(level.clusterCount, data.clusterCount);
  EXPECT_EQ(level.visibility, data.visibility);
  EXPECT_GT(data.clusterCount, 1);
  EXPECT_EQ(0, std::memcmp(level.faces.data(), data.faces.data(), data.faces.size() * sizeof(BspFace)));
  for (size_t i = 0; i < data.textures.size(); ++i) {
    EXPECT_STREQ(level.textures[i].name, data.textures[i].name);
    EXPECT_EQ(level.textures[i].contents, data.textures[i].contents);
  }
  // Geometry comes back in world coordinates: file (x, y, z) is world (x, z, -y).
  for (size_t i = 0; i < data.vertices.size(); ++i) {
    const BspVertex &f = data.vertices[i], &w = level.vertices[i];
    ASSERT_EQ(w.position[0], f.position[0]);
    ASSERT_EQ(w.position[1], f.position[2]);
    ASSERT_EQ(w.position[2], -f.position[1]);
    ASSERT_EQ(w.texCoord[1], -f.texCoord[1]);
  }
  // Every face is a plain polygon with a lightmap block inside its page, but for the two
  // curved surfaces, lit by their vertex colours.
  int patches = 0;
  for (const BspFace& f : data.faces) {
    if (f.type == FaceTypePatch && f.lightmapIndex == -1) {
      ++patches;
      continue;
    }
    EXPECT_EQ(f.type, FaceTypePolygon);
    EXPECT_GE(f.vertexCount, 3);
    ASSERT_GE(f.lightmapIndex, 0);
    EXPECT_LE(f.lightmapCorner[0] + f.lightmapSize[0], LightmapSide);
    EXPECT_LE(f.lightmapCorner[1] + f.lightmapSize[1], LightmapSide);
  }
  EXPECT_EQ(patches, 2);
  EXPECT_EQ(level.collisionSurfaces.size(), 2u);
}

TEST(LevelCompiler, OutputIsByteIdenticalWhateverTheThreadCount) {
  std::vector<uint8_t> first;
  for (int threads : {1, 5}) {
    CompileOptions options;
    options.threads = threads;
    BspFileData data;
    std::string error;
    ASSERT_TRUE(CompileLevel(DefaultSource(), options, &data, nullptr, &error)) << error;
    std::vector<uint8_t> bytes = WriteBspFile(data);
    if (first.empty()) first = bytes;
    else EXPECT_TRUE(bytes == first) << threads << " threads";
  }
  // The build's own levelc run (as many threads as cores) wrote the same bytes.
  EXPECT_TRUE(first == ShippedLevelBytes());
}

TEST_F(DefaultLevel, KeepsItsBytesAndHasNoModelsLump) {
  // The default level as it was before entity blocks existed: a level without brush entities
  // writes no models lump.
  const std::vector<uint8_t>& bytes = DefaultLevelBytes();
  EXPECT_EQ(bytes.size(), 1744025u);
  EXPECT_EQ(Crc32(bytes.data(), bytes.size()), DefaultLevelChecksum);  // the built-in waypoints' level
  EXPECT_TRUE(DefaultLevelData().models.empty());
}

TEST(LevelCompiler, EntityBlocksBecomeBrushModelsWithTheirEntityText) {
  const char* source =
      "material m textures/korvalis/concrete 128\n"
      "box m -500 -16 -500  500 0 500\n"
      "entity_begin\n key classname func_door\n key angle -1\n box m 0 0 0  64 128 16\nentity_end\n"
      "entity_begin\n key classname func_rotating\n key origin 100 200 -300\n"
      "  box m 50 190 -310  150 210 -290\nentity_end\n"
      "entity_begin\n key classname trigger_push\n key target top\n box trigger 0 0 100  64 32 164\nentity_end\n"
      "entity_begin\n key classname target_position\n key targetname top\n key origin 10 20 30\nentity_end\n";
  BspFileData data;
  std::string error;
  ASSERT_TRUE(CompileLevel(source, CompileOptions(), &data, nullptr, &error)) << error;
  ASSERT_EQ(data.models.size(), 4u);
  // Model 0 is the world's faces and brushes, the entities' follow, in no leaf.
  EXPECT_EQ(data.models[0].firstFace, 0);
  EXPECT_EQ(data.models[0].brushCount, 1);
  for (int m = 1; m < 4; ++m) {
    EXPECT_EQ(data.models[m].firstFace, data.models[m - 1].firstFace + data.models[m - 1].faceCount);
    EXPECT_EQ(data.models[m].firstBrush, data.models[m - 1].firstBrush + data.models[m - 1].brushCount);
    EXPECT_EQ(data.models[m].brushCount, 1);
  }
  for (int32_t f : data.leafFaces) EXPECT_LT(f, data.models[0].faceCount);
  for (int32_t b : data.leafBrushes) EXPECT_LT(b, data.models[0].brushCount);
  // The door's six sides; the trigger has none, and its brush blocks nothing and is never drawn.
  EXPECT_EQ(data.models[1].faceCount, 6);
  EXPECT_EQ(data.models[3].faceCount, 0);
  const BspTextureRecord& trigger = data.textures[data.brushes[data.models[3].firstBrush].textureIndex];
  EXPECT_STREQ(trigger.name, TriggerTextureName);
  EXPECT_EQ(trigger.contents, ContentsTrigger);
  EXPECT_EQ(trigger.surfaceFlags, SurfaceNoDraw);
  // File coordinates (z up): the door's box as built; the turning model around its origin.
  const float doorMins[3] = {0, -16, 0}, doorMaxs[3] = {64, 0, 128};
  const float fanMins[3] = {-50, -10, -10}, fanMaxs[3] = {50, 10, 10};
  for (int a = 0; a < 3; ++a) {
    EXPECT_FLOAT_EQ(data.models[1].mins[a], doorMins[a]);
    EXPECT_FLOAT_EQ(data.models[1].maxs[a], doorMaxs[a]);
    EXPECT_FLOAT_EQ(data.models[2].mins[a], fanMins[a]);
    EXPECT_FLOAT_EQ(data.models[2].maxs[a], fanMaxs[a]);
  }
  const std::string text(data.entities.begin(), data.entities.end());
  EXPECT_NE(text.find("\"classname\" \"func_door\"\n\"angle\" \"-1\"\n\"model\" \"*1\"\n}"), std::string::npos) << text;
  EXPECT_NE(text.find("\"origin\" \"100 300 200\"\n\"model\" \"*2\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"targetname\" \"top\"\n\"origin\" \"10 -30 20\"\n}"), std::string::npos) << text;
  // The loader reads them back in game coordinates.
  Level level;
  const std::vector<uint8_t> bytes = WriteBspFile(data);
  ASSERT_TRUE(level.Parse(bytes.data(), bytes.size(), &error)) << error;
  ASSERT_EQ(level.models.size(), 4u);
  EXPECT_EQ(level.models[1].maxs[1], 128);
  EXPECT_EQ(level.models[1].mins[2], 0);
  EXPECT_EQ(level.models[1].maxs[2], 16);
  // Bad blocks are refused with their line.
  const struct {
    const char* text;
    const char* reason;
  } bad[] = {
      {"entity_begin\n key angle 3\nentity_end\n", "line 3: an entity needs a classname key"},
      {"entity_begin\n key classname a\n", "line 1: entity_begin without entity_end"},
      {"box trigger 0 0 0  1 1 1\n", "line 1: a trigger brush belongs to an entity"},
      {"entity_begin\n key classname a\n light 0 0 0 1 1 1 100\nentity_end\n", "line 3: 'light' inside an entity"},
      {"key classname a\n", "line 1: key outside an entity"},
      {"entity_begin\n key classname a\n key origin 1 2\nentity_end\n", "line 3: origin needs three numbers"},
  };
  for (const auto& b : bad) {
    EXPECT_FALSE(CompileLevel(b.text, CompileOptions(), &data, nullptr, &error)) << b.text;
    EXPECT_EQ(error, b.reason);
  }
}

TEST(LevelCompiler, BadSourcesAreRefusedWithTheirLine) {
  struct Case {
    const char* text;
    const char* reason;
  } cases[] = {
      {"material a t 64\nbox a 0 0 0 10 10\n", "line 2: 'box' needs 6 numbers"},
      {"box stone 0 0 0 10 10 10\n", "line 1: unknown material 'stone'"},
      {"material a t 64\nbox a 0 0 0 0 10 10\n", "line 2: box minimum must be below its maximum on every axis"},
      {"material a t 64\nbrush a\n  plane 0 1 0 10\n", "line 2: brush without 'end'"},
      {"material a t 64\nbrush a\n  plane 0 1 0 10\n  plane 0 -1 0 0\n  plane 1 0 0 5\n  plane -1 0 0 5\nend\n",
       "line 2: brush is not closed"},
      {"material a t 64\nbrush a\n  bounds 0 0 0 10 10 10\n  plane 0 1 0 -5\nend\n", "line 2: brush has no volume"},
      {"material a t 64\nlight 0 0 0 1 1 1 0\n", "line 2: light intensity must be positive"},
      {"material a t 64\nfog 1\n", "line 2: unknown keyword 'fog'"},
      {"material a t 64\nbox a 0 0 0 1 1 1 glass\n", "line 2: unknown flag 'glass'"},
      {"material a t x\n", "line 1: bad texture world size"},
      {"material a t 64\nzone z 0 0 0 1e9 1 1\n", "line 2: number out of range: '1e9'"},
      {"material a t 64\nbox a 0 0 0 1 1 nan\n", "line 2: not a number: 'nan'"},
      {"ambient 0.1 0.1 0.1\n", "the level has no brushes"},
      {"material a t 64\npatch a 4 3\n", "line 2: patch width and height must be odd whole numbers from 3 to 65"},
      {"material a t 64\npatch a 3 3\n 0 0 0\nend\n", "line 4: a 3 x 3 patch needs 9 points, not 1"},
      {"material a t 64\npatch a 3 3\n 0 0\n", "line 3: patch points need three numbers each"},
      {"material a t 64\npatch a 3 3\n 0 0 0\n", "line 2: patch without 'end'"},
      {"material a t 64\npatch a 3 3 glass\n", "line 2: unknown flag 'glass'"},
  };
  for (const Case& c : cases) {
    BspFileData data;
    std::string error;
    EXPECT_FALSE(CompileLevel(c.text, CompileOptions(), &data, nullptr, &error)) << c.text;
    EXPECT_EQ(error, c.reason) << c.text;
  }
}

TEST_F(DefaultLevel, BotsWalkEveryLinkBothWays) {
  int totalTicks = 0;
  for (int k = 0; k < BuiltInLinkCount; ++k)
    for (int dir = 0; dir < 2; ++dir) {
      int from = BuiltInLinks[k][dir], to = BuiltInLinks[k][1 - dir];
      Vec3 a = Waypoint(from), b = Waypoint(to);
      EXPECT_FALSE(TraceHits(a, b, Vec3(10, 10, 10))) << from << " -> " << to << ": line of sight blocked";
      float straight = Magnitude(b - a);
      int allowed = std::max(1, static_cast<int>(std::ceil(straight / 4.0f)) * 3);
      Vec3 p = a;
      int ticks = 0;
      auto arrived = [&] { return std::fabs(p.x - b.x) <= 30 && std::fabs(p.z - b.z) <= 30; };
      while (!arrived() && ticks < allowed) {
        p = MoveWithSlide(p, p + NormalizeOrZero(b - p) * 4.0f);
        ++ticks;
      }
      totalTicks += ticks;
      EXPECT_TRUE(arrived()) << from << " -> " << to << " stuck at (" << p.x << ", " << p.y << ", " << p.z
                             << ") after " << ticks << " ticks";
    }
  // Both ways the links add up to about 29000 units, some 7300 ticks of 4 units, less the
  // last few ticks of each walk that the 30-unit arrival spares: no walk was cut short.
  EXPECT_GT(totalTicks, 6500);
  EXPECT_LT(totalTicks, 7400);
}

TEST_F(DefaultLevel, PlayerDroppedAtTheStartRestsFiftyAboveTheFloor) {
  FakePlatform fake;
  ResetPlayerPhysics();
  gGame.camera.PositionCamera(587, 347, -404, 0, 480, 0, 0, 1, 0);
  gGame.camera.moveStartPosition = gGame.camera.position;
  gGame.camera.moveStartView = gGame.camera.view;
  for (int frame = 0; frame < 200; ++frame) {
    fake.now += 10;
    gGame.camera.UpdateCamera();
    ApplyPlayerPhysics();
  }
  EXPECT_NEAR(gGame.camera.position.y, 218.125f + 50.0f, 0.1f);
  EXPECT_NEAR(gGame.camera.position.x, 587, 0.01f);
  EXPECT_NEAR(gGame.camera.position.z, -404, 0.01f);
  // The bots start in free space and can set off toward their first waypoints, 12 and 25.
  const Vec3 starts[2] = {Vec3(971, 339, -1464), Vec3(1433, 563, -2801)};
  const int targets[2] = {12, 25};
  for (int i = 0; i < 2; ++i) {
    EXPECT_FALSE(gGame.level.Trace(starts[i], starts[i], BodyExtents).allSolid) << "bot " << i;
    Vec3 p = starts[i];
    for (int tick = 0; tick < 200; ++tick) p = MoveWithSlide(p, p + NormalizeOrZero(Waypoint(targets[i]) - p) * 4.0f);
    EXPECT_LT(std::fabs(p.x - Waypoint(targets[i]).x), 30) << "bot " << i;
    EXPECT_LT(std::fabs(p.z - Waypoint(targets[i]).z), 30) << "bot " << i;
  }
}

// A patch is written as its control grid with vertex colours from the lights, listed in the
// leaves it reaches, and drawn and collided with by the game; polygons carry the fan over
// their points as their index list.
TEST(LevelCompiler, PatchesAreWrittenAsLitControlGrids) {
  const std::string text =
      "material a t 64\nambient 0.1 0.1 0.1\nlight 0 100 0 1 1 1 400\nbox a -200 -16 -200 200 0 200\n"
      "patch a 3 3\n  -100 0 100  0 0 100  100 0 100\n  -100 80 0  0 80 0  100 80 0\n"
      "  -100 0 -100  0 0 -100  100 0 -100\nend\n";
  const BspFileData data = Compile(text);
  ASSERT_EQ(data.faces.back().type, FaceTypePatch);
  const BspFace& patch = data.faces.back();
  EXPECT_EQ(patch.vertexCount, 9);
  EXPECT_EQ(patch.patchSize[0], 3);
  EXPECT_EQ(patch.patchSize[1], 3);
  EXPECT_EQ(patch.lightmapIndex, -1);
  const BspVertex& middle = data.vertices[patch.firstVertex + 4];
  EXPECT_GT(middle.color[0], 30);   // lit by the light above
  EXPECT_GT(middle.normal[2], 0.9f);  // (along a row) x (down the columns): world up, file +z
  int listed = 0;
  for (int32_t f : data.leafFaces) listed += f == static_cast<int32_t>(data.faces.size() - 1);
  EXPECT_GT(listed, 0);
  for (size_t f = 0; f + 1 < data.faces.size(); ++f) {
    const BspFace& face = data.faces[f];
    ASSERT_EQ(face.meshVertexCount, (face.vertexCount - 2) * 3);
    for (int k = 0; k + 2 < face.vertexCount; ++k) {
      EXPECT_EQ(data.meshVertices[face.firstMeshVertex + 3 * k], 0);
      EXPECT_EQ(data.meshVertices[face.firstMeshVertex + 3 * k + 2], k + 2);
    }
  }
  Level level;
  std::string error;
  const std::vector<uint8_t> bytes = WriteBspFile(data);
  ASSERT_TRUE(level.Parse(bytes.data(), bytes.size(), &error)) << error;
  EXPECT_GT(level.faceGeometry.back().indexCount, 3u * 8);
  ASSERT_EQ(level.collisionSurfaces.size(), 1u);
  // A box dropped on the hump stands on it, 40 above the floor (the middle of a 0-80-0 arc).
  const TraceResult r = level.Trace(Vec3(0, 200, 0), Vec3(0, 0, 0), Vec3(10, 10, 10));
  EXPECT_NEAR(r.end.y - 10, 40, 1.0f);
}

TEST(LevelCompiler, RemovesHiddenFacesAndKeepsOneOfCoincidingFaces) {
  // Two stacked slabs: the faces between them go, the rest stays.
  BspFileData stacked = Compile("material a t 64\nbox a 0 0 0 100 10 100\nbox a 0 10 0 100 20 100\n");
  EXPECT_DOUBLE_EQ(FaceArea(stacked, 0, 0, 1), 100 * 100);   // the top, world +y
  EXPECT_DOUBLE_EQ(FaceArea(stacked, 0, 0, -1), 100 * 100);  // the bottom
  EXPECT_DOUBLE_EQ(FaceArea(stacked, 1, 0, 0), 100 * 20);    // one side, both slabs
  // A box wholly inside another adds nothing; a non-solid one inside stays drawn.
  BspFileData inner = Compile("material a t 64\nbox a 0 0 0 100 100 100\nbox a 10 10 10 20 20 20\n");
  EXPECT_EQ(inner.faces.size(), 6u);
  BspFileData glass = Compile("material a t 64\nbox a 0 0 0 100 100 100\nbox a 10 10 10 20 20 20 nonsolid\n");
  EXPECT_EQ(glass.faces.size(), 6u);  // hidden inside the solid box: removed as well
  BspFileData lamp = Compile("material a t 64\nbox a 0 0 0 100 10 100\nbox a 10 20 10 20 30 20 nonsolid\n");
  EXPECT_DOUBLE_EQ(FaceArea(lamp, 0, 0, 1), 100 * 100 + 10 * 10);
  EXPECT_EQ(lamp.textures.size(), 2u);  // solid and non-solid records of one material
  // Overlapping slabs: their coinciding tops are drawn once, as the union.
  BspFileData overlap = Compile("material a t 64\nbox a 0 0 0 100 10 100\nbox a 50 0 0 150 10 100\n");
  EXPECT_NEAR(FaceArea(overlap, 0, 0, 1), 150 * 100, 1e-6);
  // A wall on a floor cuts its footprint out of the floor's top.
  BspFileData wall = Compile("material a t 64\nbox a 0 0 0 100 10 100\nbox a 40 10 0 60 50 100\n");
  EXPECT_NEAR(FaceArea(wall, 0, 0, 1), 100 * 100 - 20 * 100 + 20 * 100, 1e-6);
  // A ramp (a box cut by a plane through three points) has a sloped top of the right size.
  BspFileData ramp = Compile(
      "material a t 64\nbrush a\n  bounds 0 0 0 100 50 100\n  cut 0 0 0  0 0 100  100 50 0\nend\n");
  double slopeArea = 0;
  for (const BspFace& f : ramp.faces)
    if (f.normal[2] > 0.5f && f.normal[2] < 0.99f) slopeArea += 1;
  EXPECT_EQ(slopeArea, 1);
  EXPECT_NEAR(FaceArea(ramp, 0, 0, -1), 100 * 100, 1e-6);
}

TEST(LevelCompiler, JoinsTouchingFacesOfOnePlaneAndMaterialWhereTheUnionIsConvex) {
  // World +y tops (file +z): how many faces the tops of the boxes become, and their area.
  const struct {
    const char* boxes;
    size_t tops;
    double area;
  } cases[] = {
      {"box a 0 0 0 100 10 100\nbox a 100 0 0 200 10 100\n", 1, 200 * 100},  // side by side
      {"box a 0 0 0 100 10 100\nbox b 100 0 0 200 10 100\n", 2, 200 * 100},  // two materials
      {"box a 0 0 0 100 10 100\nbox a 100 0 0 200 20 100\n", 2, 200 * 100},  // two heights
      {"box a 0 0 0 100 10 100\nbox a 100 0 0 200 10 50\n", 2, 150 * 100},   // an L: not convex
      // A post through a floor: the ring around it needs four pieces, the post's top one.
      {"box a 0 0 0 300 10 300\nbox b 100 0 100 200 50 200\n", 5, 300 * 300},
  };
  for (const auto& c : cases) {
    BspFileData data = Compile(std::string("material a t 64\nmaterial b u 64\n") + c.boxes);
    size_t tops = 0;
    for (const BspFace& f : data.faces) tops += f.normal[2] == 1;
    EXPECT_EQ(tops, c.tops) << c.boxes;
    EXPECT_NEAR(FaceArea(data, 0, 0, 1), c.area, 1e-6) << c.boxes;
  }
}

// A vertex put into a face's edge for a neighbour's corner: each fan triangle of the face
// has area, so the edge is drawn in the same pieces as the neighbour's and no pixel of the
// seam is drawn twice or not at all.
TEST_F(DefaultLevel, FansHaveNoFlatTriangles) {
  const BspFileData& data = DefaultLevelData();
  int withPieces = 0, flat = 0;
  for (const BspFace& f : data.faces) {
    if (f.type != FaceTypePolygon) continue;
    const BspVertex* v = &data.vertices[f.firstVertex];
    auto at = [&](int i) { return DVec(v[i].position[0], v[i].position[1], v[i].position[2]); };
    withPieces += f.vertexCount > 4;
    for (int k = 1; k + 1 < f.vertexCount; ++k) {
      const DVec c = Cross(at(k) - at(0), at(k + 1) - at(0));
      auto span = [&](int i, int j) { return Dot(at(i) - at(j), at(i) - at(j)); };
      // Flat: a point within 0.001 of the line through the other two (of a point twice, the
      // triangle only repeats an edge).
      const double longest = std::max({span(0, k), span(k, k + 1), span(0, k + 1)});
      if (Dot(c, c) <= 1e-6 * longest && span(0, k) > 1e-4 && span(k, k + 1) > 1e-4 && span(0, k + 1) > 1e-4)
        ++flat;
    }
  }
  EXPECT_GT(withPieces, 100);
  EXPECT_EQ(flat, 0);
}

TEST(LevelCompiler, FacesAreWoundForFrontFaceCullingWithPlanarTextureCoordinates) {
  BspFileData data = Compile("material a t 64\nbox a 0 0 0 128 64 256\n");
  for (const BspFace& f : data.faces) {
    const BspVertex* v = &data.vertices[f.firstVertex];
    DVec a(v[0].position[0], v[0].position[1], v[0].position[2]);
    DVec b(v[1].position[0], v[1].position[1], v[1].position[2]);
    DVec c(v[2].position[0], v[2].position[1], v[2].position[2]);
    DVec n = Cross(b - a, c - a);
    // Clockwise seen from the front: the winding's normal points away from the face normal.
    EXPECT_LT(Dot(n, DVec(f.normal[0], f.normal[1], f.normal[2])), 0);
    for (int i = 0; i < f.vertexCount; ++i) {
      EXPECT_EQ(v[i].color[0], 255);
      EXPECT_FLOAT_EQ(v[i].normal[0], f.normal[0]);
    }
  }
  // The top (file +z) spans 128 x 256 world units: 2 x 4 repeats of a 64-unit texture.
  for (const BspFace& f : data.faces) {
    if (f.normal[2] != 1) continue;
    float smin = 1e9f, smax = -1e9f, tmin = 1e9f, tmax = -1e9f;
    for (int i = 0; i < f.vertexCount; ++i) {
      const BspVertex& v = data.vertices[f.firstVertex + i];
      smin = std::min(smin, v.texCoord[0]);
      smax = std::max(smax, v.texCoord[0]);
      tmin = std::min(tmin, v.texCoord[1]);
      tmax = std::max(tmax, v.texCoord[1]);
    }
    EXPECT_FLOAT_EQ(smax - smin, 2);
    EXPECT_FLOAT_EQ(tmax - tmin, 4);
  }
}

TEST(LevelCompiler, LightsCastShadowsAndAmbientIsStoredForTheBrightnessFactor) {
  const std::string room =
      "material a t 64\n"
      "ambient 0.5 0.5 0.5\n"
      "box a -400 -16 -400 400 0 400\n"        // floor, top at y = 0
      "box a -100 100 -100 100 110 100\n"      // a roof over the middle
      "light 0 300 0  1 1 1  1000\n";
  BspFileData data = Compile(room);
  int shaded = TexelAt(data, DVec(0, 1, 0), DVec(0, 0, 0));
  int lit = TexelAt(data, DVec(0, 1, 0), DVec(300, 0, 0));
  ASSERT_GE(shaded, 0);
  ASSERT_GE(lit, 0);
  EXPECT_EQ(shaded, 64);  // ambient only: 0.5 stored for factor 2 is 0.5 * 255 / 2
  EXPECT_GT(lit, shaded + 15);
  // The roof's top is lit, its underside only by the ambient light.
  EXPECT_GT(TexelAt(data, DVec(0, 1, 0), DVec(0, 110, 0)), lit);
  EXPECT_EQ(TexelAt(data, DVec(0, -1, 0), DVec(0, 100, 0)), 64);
  // Fine texels: faces are cut so that every block still fits its page.
  CompileOptions fine;
  fine.luxelSize = 2;
  BspFileData fineData = Compile(room, fine);
  EXPECT_GT(fineData.lightmaps.size() / LightmapBytes, 10u);
  for (const BspFace& f : fineData.faces) {
    EXPECT_LE(f.lightmapCorner[0] + f.lightmapSize[0], LightmapSide);
    EXPECT_LE(f.lightmapCorner[1] + f.lightmapSize[1], LightmapSide);
  }
  // Brightness 4 stores half as much.
  CompileOptions four;
  four.brightness = 4;
  EXPECT_EQ(TexelAt(Compile(room, four), DVec(0, 1, 0), DVec(0, 0, 0)), 32);
}

// The compiler cuts faces small enough for a page; a face left whole still gets a block
// that spans it: coarser texels, coordinates inside the block, its light where it falls.
TEST(LevelCompiler, AFaceWiderThanAPageGetsCoarserTexelsOverItsWholeBlock) {
  MapSource map;
  std::string error;
  ASSERT_TRUE(ParseMapSource("material a t 64\n"
                             "ambient 0.25 0.25 0.25\n"
                             "box a 100 -16 100 4100 0 3100\n"  // 4000 x 3000 floor, top at y = 0, off the grid lines
                             "light 3900 60 2900  1 1 1  200\n",  // near one corner only
                             &map, &error))
      << error;
  std::vector<CompiledBrush> brushes;
  ASSERT_TRUE(BuildBrushes(map, &brushes, &error)) << error;
  const std::vector<FacePolygon> faces = BuildVisibleFaces(brushes, 1e6);  // not cut
  const BspTree tree = BuildTree(brushes, faces, map.zones);
  const LightmapResult light = BuildLightmaps(map, brushes, faces, tree, 8, 2, 2);
  int top = -1;
  for (size_t f = 0; f < faces.size(); ++f) {
    const FaceLightmap& lm = light.faces[f];
    EXPECT_LE(std::max(lm.size[0], lm.size[1]), LightmapSide - 2) << "face " << f;
    for (const DVec& p : faces[f].points) {
      float st[2];
      LightmapCoord(lm, p, st);
      for (int k = 0; k < 2; ++k) {
        EXPECT_GE(st[k] * LightmapSide, lm.corner[k]) << "face " << f;
        EXPECT_LE(st[k] * LightmapSide, lm.corner[k] + lm.size[k]) << "face " << f;
      }
    }
    if (faces[f].plane.normal.y > 0.5) top = static_cast<int>(f);
  }
  ASSERT_GE(top, 0);
  const FaceLightmap& lm = light.faces[top];
  EXPECT_NEAR(lm.luxel, 4000.0 / 124, 0.5);  // the long side over the block, not 8
  auto texel = [&](double x, double z) {
    float st[2];
    LightmapCoord(lm, DVec(x, 0, z), st);
    int i = static_cast<int>(st[0] * LightmapSide), j = static_cast<int>(st[1] * LightmapSide);
    return light.pages[static_cast<size_t>(lm.page) * LightmapBytes + (j * LightmapSide + i) * 3];
  };
  EXPECT_EQ(texel(200, 200), 32);  // ambient: 0.25 stored for factor 2
  EXPECT_GT(texel(3900, 2900), 32 + 40);
}

TEST(LevelCompiler, VisibilitySeesAroundNoCorner) {
  const std::string common = "material a t 64\n";
  // Rooms a and c side by side behind a solid block, each with a door into the corridor b
  // below them: a and c both see b, never each other. Zones reach 16 into the walls, more
  // than the sampling's reach, and the block runs through floor, roof and walls: where
  // brushes merely touch, their shrunk copies leave a seam that hides nothing.
  const std::string bent = common +
      "box a -64 -32 -64 1064 0 664\nbox a -64 256 -64 1064 288 664\n"   // floor, roof
      "box a -64 -32 -64 1064 288 0\nbox a -64 -32 600 1064 288 664\n"      // north, south
      "box a -64 -32 0 0 288 600\nbox a 1000 -32 0 1064 288 600\n"          // west, east
      "box a 400 -64 -64 600 320 440\n"                                      // the block
      "box a 0 -32 400 100 288 432\nbox a 200 -32 400 400 288 432\n"        // door a-b
      "box a 600 -32 400 800 288 432\nbox a 900 -32 400 1000 288 432\n"     // door c-b
      "zone a -16 -16 -16 416 272 416\nzone c 584 -16 -16 1016 272 416\nzone b -16 -16 416 1016 272 616\n";
  // The same three rooms in a row with the doors in line: a sees c.
  const std::string straight = common +
      "box a -64 -32 -64 1600 0 464\nbox a -64 256 -64 1600 288 464\n"
      "box a -64 0 -64 1600 256 0\nbox a -64 0 400 1600 256 464\n"
      "box a -64 0 0 0 256 400\nbox a 1536 0 0 1600 256 400\n"
      "box a 500 0 0 532 256 150\nbox a 500 0 250 532 256 400\n"
      "box a 1000 0 0 1032 256 150\nbox a 1000 0 250 1032 256 400\n"
      "zone a -16 -16 -16 516 272 416\nzone c 1016 -16 -16 1552 272 416\nzone b 484 -16 -16 1048 272 416\n";
  auto sees = [](const BspFileData& d, int a, int b) {
    return ((d.visibility[a * d.bytesPerCluster + b / 8] >> (b % 8)) & 1) != 0;
  };
  BspFileData u = Compile(bent);
  ASSERT_EQ(u.clusterCount, 4);  // three zones and the space outside them
  EXPECT_TRUE(sees(u, 0, 2) && sees(u, 2, 0));  // a and b
  EXPECT_TRUE(sees(u, 1, 2) && sees(u, 2, 1));  // c and b
  EXPECT_FALSE(sees(u, 0, 1));
  EXPECT_FALSE(sees(u, 1, 0));
  for (int c = 0; c < 4; ++c) EXPECT_TRUE(sees(u, c, 3) && sees(u, 3, c) && sees(u, c, c));
  BspFileData line = Compile(straight);
  EXPECT_TRUE(sees(line, 0, 1) && sees(line, 1, 0));
  // Two rooms apart from each other by a thick wall: a pinhole of 2 x 2 units, far finer
  // than the sampling and off its grid, is enough for them to see each other.
  auto pinhole = [&common](bool hole) {
    std::string text = common +
        "box a -64 -32 -64 1064 0 464\nbox a -64 256 -64 1064 288 464\n"
        "box a -64 -32 -64 1064 288 0\nbox a -64 -32 400 1064 288 464\n"
        "box a -64 -32 0 0 288 400\nbox a 1000 -32 0 1064 288 400\n"
        "zone a -16 -16 -16 440 272 416\nzone b 600 -16 -16 1016 272 416\n";
    if (!hole) return text + "box a 460 -32 -64 580 288 464\n";
    return text +
           "box a 460 -32 -64 580 288 201.3\nbox a 460 -32 203.3 580 288 464\n"  // beside the hole
           "box a 460 -32 201.3 580 101.7 203.3\nbox a 460 103.7 201.3 580 288 203.3\n";  // below, above
  };
  BspFileData open = Compile(pinhole(true)), closed = Compile(pinhole(false));
  EXPECT_TRUE(sees(open, 0, 1) && sees(open, 1, 0));
  EXPECT_FALSE(sees(closed, 0, 1));
  // Every leaf lies in the cluster of the zone around it.
  for (const BspLeaf& leaf : u.leaves) {
    double midX = 0.5 * (leaf.mins[0] + leaf.maxs[0]), midZ = -0.5 * (leaf.mins[1] + leaf.maxs[1]);
    if (midX > 0 && midX < 400 && midZ > 0 && midZ < 400 && leaf.mins[2] >= 0 && leaf.maxs[2] <= 256) {
      EXPECT_EQ(leaf.cluster, 0);
    }
  }
}

TEST_F(DefaultLevel, EveryFaceAndBrushIsListedInTheLeavesAroundIt) {
  const Level& level = gGame.level;
  for (size_t f = 0; f < level.faces.size(); ++f) {
    const BspFace& face = level.faces[f];
    Vec3 centre;
    for (int i = 0; i < face.vertexCount; ++i) {
      const float* p = level.vertices[face.firstVertex + i].position;
      centre = centre + Vec3(p[0], p[1], p[2]);
    }
    centre = centre / static_cast<float>(face.vertexCount);
    Vec3 normal(face.normal[0], face.normal[2], -face.normal[1]);  // file to world
    const BspLeaf& leaf = level.leaves[level.FindLeaf(centre + normal * 0.5f)];
    bool listed = false;
    for (int i = 0; i < leaf.leafFaceCount; ++i) listed |= level.leafFaces[leaf.firstLeafFace + i] == static_cast<int>(f);
    EXPECT_TRUE(listed) << "face " << f;
  }
  // A point just inside each brush corner lies in a leaf that lists the brush.
  for (size_t b = 0; b < level.brushes.size(); ++b) {
    const BspBrush& brush = level.brushes[b];
    std::vector<MapPlane> sides;
    for (int i = 0; i < brush.sideCount; ++i) {
      const BspPlane& p = level.planes[level.brushSides[brush.firstSide + i].plane];
      sides.push_back({DVec(p.normal[0], p.normal[1], p.normal[2]), p.distance});
    }
    for (size_t i = 0; i < sides.size(); ++i) {
      Winding w = BaseWinding(sides[i]);
      for (size_t j = 0; j < sides.size(); ++j)
        if (j != i) w = ClipBehind(w, sides[j]);
      for (const DVec& corner : w) {
        DVec inward = corner - sides[i].normal * 0.25;
        const BspLeaf& leaf = level.leaves[level.FindLeaf(Vec3(inward.x, inward.y, inward.z))];
        bool listed = false;
        for (int k = 0; k < leaf.leafBrushCount; ++k) listed |= level.leafBrushes[leaf.firstLeafBrush + k] == static_cast<int>(b);
        EXPECT_TRUE(listed) << "brush " << b;
      }
    }
  }
}

TEST(LevelCompiler, MangledSourcesCompileOrAreRefusedCleanly) {
  const std::string base =
      "material a t 64\nmaterial b u 128\nambient 0.2 0.2 0.2\n"
      "box a -256 -16 -256 256 0 256\nbox b -256 200 -256 256 216 256\n"
      "brush a\n  bounds 0 0 0 100 50 100 b\n  cut 0 0 0  0 0 100  100 50 0\nend\n"
      "box b 10 20 10 20 30 20 nonsolid\nlight 0 150 0  1 0.8 0.6  400\n"
      "zone room -264 -8 -264 264 208 264\nentity hello\n";
  const char alphabet[] = "0123456789.-e \n#abzxyn";
  uint32_t seed = 12345;
  auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
  int compiled = 0, refused = 0;
  for (int round = 0; round < 600; ++round) {
    std::string text = base;
    for (int edits = 1 + next() % 2; edits > 0; --edits) {
      size_t at = next() % text.size();
      switch (next() % 4) {
        case 0: text[at] = alphabet[next() % (sizeof alphabet - 1)]; break;
        case 1:  // another digit keeps the line readable and moves geometry around
          if (text[at] >= '0' && text[at] <= '9') text[at] = static_cast<char>('0' + next() % 10);
          break;
        case 2: text.erase(at, 1 + next() % 8); break;
        default: text.insert(at, 1, alphabet[next() % (sizeof alphabet - 1)]); break;
      }
    }
    BspFileData data;
    std::string error;
    if (CompileLevel(text, CompileOptions(), &data, nullptr, &error)) {
      ++compiled;
      std::vector<uint8_t> bytes = WriteBspFile(data);
      Level level;
      EXPECT_TRUE(level.Parse(bytes.data(), bytes.size(), &error)) << error << "\n" << text;
    } else {
      ++refused;
      EXPECT_FALSE(error.empty()) << text;
    }
  }
  EXPECT_GT(compiled, 100);
  EXPECT_GT(refused, 100);
  std::printf("mangled sources: %d compiled, %d refused\n", compiled, refused);
}

TEST(LevelTextures, EveryMaterialOfTheDefaultLevelIsDrawnAsJpegAndTarga) {
  MapSource map;
  std::string error;
  ASSERT_TRUE(ParseMapSource(DefaultSource(), &map, &error)) << error;
  std::vector<std::string> seen;
  std::vector<double> means;
  for (const MapMaterial& m : map.materials) {
    if (std::find(seen.begin(), seen.end(), m.texture) != seen.end()) continue;
    seen.push_back(m.texture);
    std::string base = std::string(KORVALIS_GAME_DIR) + "/" + m.texture;
    std::string jpgText = ReadTextFile(base + ".jpg"), tgaText = ReadTextFile(base + ".tga");
    std::vector<uint8_t> jpg(jpgText.begin(), jpgText.end()), tga(tgaText.begin(), tgaText.end());
    ImageData fromJpg, fromTga;
    ASSERT_TRUE(DecodeJpg(jpg.data(), jpg.size(), &fromJpg, &error)) << base << ": " << error;
    ASSERT_TRUE(DecodeTga(tga.data(), tga.size(), &fromTga, &error)) << base << ": " << error;
    EXPECT_EQ(fromJpg.width, 256);
    EXPECT_EQ(fromJpg.height, 256);
    EXPECT_EQ(fromTga.width, 256);
    EXPECT_EQ(fromTga.channels, 3);
    ASSERT_EQ(fromJpg.pixels.size(), fromTga.pixels.size());
    // The two files hold the same picture, up to the JPEG's loss.
    double diff = 0, sum = 0;
    for (size_t i = 0; i < fromTga.pixels.size(); ++i) {
      diff += std::abs(fromJpg.pixels[i] - fromTga.pixels[i]);
      sum += fromTga.pixels[i];
    }
    EXPECT_LT(diff / fromTga.pixels.size(), 6.0) << base;
    means.push_back(sum / fromTga.pixels.size());
  }
  EXPECT_GE(seen.size(), 6u);  // at least six distinct materials
  std::sort(means.begin(), means.end());
  EXPECT_GT(means.back() - means.front(), 40);
}

TEST_F(DefaultLevel, IsSealedFromEveryOpenPlace) {
  // Rays from open places all over the level, in 26 directions, all end on a wall: none
  // escapes through a gap into the void around the level.
  MapSource map;
  std::string error;
  ASSERT_TRUE(ParseMapSource(DefaultSource(), &map, &error)) << error;
  uint32_t seed = 99;
  auto unit = [&seed] { return ((seed = seed * 1103515245u + 12345u) >> 8 & 0xffff) / 65535.0f; };
  int places = 0;
  for (const MapZone& z : map.zones)
    for (int k = 0; k < 40; ++k) {
      Vec3 p(static_cast<float>(z.mins.x + (z.maxs.x - z.mins.x) * unit()),
             static_cast<float>(z.mins.y + (z.maxs.y - z.mins.y) * unit()),
             static_cast<float>(z.mins.z + (z.maxs.z - z.mins.z) * unit()));
      if (gGame.level.Trace(p, p, Vec3(1, 1, 1)).allSolid) continue;
      ++places;
      for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy)
          for (int dz = -1; dz <= 1; ++dz) {
            if (dx == 0 && dy == 0 && dz == 0) continue;
            Vec3 end = p + Normalize(Vec3(dx, dy, dz)) * 10000.0f;
            EXPECT_LT(gGame.level.Trace(p, end, Vec3()).fraction, 1.0f)
                << "a ray from (" << p.x << ", " << p.y << ", " << p.z << ") escapes";
          }
    }
  EXPECT_GT(places, 200);
}

// A box swept against a sloped brush is tested against its sides pushed out by the box;
// without the brush's bounding planes as extra sides, the pushed slope reaches past the
// ramp's thin edge and a player standing clear of the ramp counts as inside it.
TEST(LevelCompiler, SlopedBrushesCarryBevelSidesForBoxTraces) {
  BspFileData ramp = Compile(
      "material a t 64\nbrush a\n  bounds 0 0 0 100 50 100\n  cut 0 0 0  0 0 100  100 50 0\nend\n");
  std::vector<uint8_t> bytes = WriteBspFile(ramp);
  Level level;
  std::string error;
  ASSERT_TRUE(level.Parse(bytes.data(), bytes.size(), &error)) << error;
  // Two units beyond the thin edge at x = 0, low down: the box spans x -36 .. -2.
  const Vec3 clear(-19, 10, 50);
  EXPECT_FALSE(level.Trace(clear, clear, PlayerExtents).allSolid);
  EXPECT_EQ(level.Trace(clear, clear + Vec3(-40, 0, 0), PlayerExtents).fraction, 1.0f);
  // Walking into the ramp's edge is still stopped at the box's half-width.
  TraceResult walk = level.Trace(Vec3(-60, 10, 50), Vec3(20, 10, 50), PlayerExtents);
  EXPECT_LT(walk.fraction, 1.0f);
  EXPECT_NEAR(walk.end.x, -17.0f, 0.1f);
  // Rays are not affected: a ray along the floor just in front of the edge passes.
  EXPECT_EQ(level.Trace(Vec3(-5, 1, 50), Vec3(-5, 1, -50), Vec3()).fraction, 1.0f);
}
