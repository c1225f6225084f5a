// The level compiler and the default level: the loader reads back what the compiler
// writes, compiling is deterministic, bots can walk every waypoint link, the player lands
// on the start floor, and bad sources are refused with the line at fault.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "app/game_state.h"
#include "bots/waypoint_data.h"
#include "player/physics.h"
#include "support/fake_platform.h"
#include "tools/levelc/level_compiler.h"

namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

const std::string& DefaultSource() {
  static const std::string text = ReadText(KORVALIS_SOURCE_DIR "/content/korvalis.map");
  return text;
}

// The default level compiled once for the whole program.
const std::vector<uint8_t>& DefaultLevelBytes() {
  static const std::vector<uint8_t> bytes = [] {
    BspFileData data;
    std::string error;
    CompileOptions options;
    options.threads = 2;
    EXPECT_TRUE(CompileLevel(DefaultSource(), options, &data, nullptr, &error)) << error;
    return WriteBspFile(data);
  }();
  return bytes;
}

Vec3 Waypoint(int i) {
  return Vec3(BuiltInWaypoints[i][0], BuiltInWaypoints[i][1] + BuiltInWaypointRaise, BuiltInWaypoints[i][2]);
}

class DefaultLevel : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetGameState();
    const std::vector<uint8_t>& bytes = DefaultLevelBytes();
    std::string error;
    ASSERT_TRUE(gGame.level.Parse(bytes.data(), bytes.size(), &error)) << error;
  }
  void TearDown() override { gGame.level = Level(); }
};

}  // namespace

TEST(LevelCompiler, LoaderReadsBackEveryRecord) {
  BspFileData data;
  std::string error;
  ASSERT_TRUE(CompileLevel(DefaultSource(), CompileOptions(), &data, nullptr, &error)) << error;
  std::vector<uint8_t> bytes = WriteBspFile(data);
  Level level;
  ASSERT_TRUE(level.Parse(bytes.data(), bytes.size(), &error)) << error;
  ASSERT_EQ(level.faces.size(), data.faces.size());
  ASSERT_EQ(level.vertices.size(), data.vertices.size());
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
  // Every face is a plain polygon with a lightmap block inside its page, and every leaf
  // face and leaf brush index is in range.
  for (const BspFace& f : data.faces) {
    EXPECT_EQ(f.type, FaceTypePolygon);
    EXPECT_GE(f.vertexCount, 3);
    ASSERT_GE(f.lightmapIndex, 0);
    EXPECT_LE(f.lightmapCorner[0] + f.lightmapSize[0], LightmapSide);
    EXPECT_LE(f.lightmapCorner[1] + f.lightmapSize[1], LightmapSide);
  }
}

TEST(LevelCompiler, OutputIsByteIdenticalWhateverTheThreadCount) {
  std::vector<uint8_t> first;
  for (int threads : {1, 2, 5}) {
    CompileOptions options;
    options.threads = threads;
    BspFileData data;
    std::string error;
    ASSERT_TRUE(CompileLevel(DefaultSource(), options, &data, nullptr, &error)) << error;
    std::vector<uint8_t> bytes = WriteBspFile(data);
    if (first.empty()) first = bytes;
    else EXPECT_TRUE(bytes == first) << threads << " threads";
  }
  EXPECT_TRUE(first == DefaultLevelBytes());
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
      {"ambient 0.1 0.1 0.1\n", "the level has no brushes"},
  };
  for (const Case& c : cases) {
    BspFileData data;
    std::string error;
    EXPECT_FALSE(CompileLevel(c.text, CompileOptions(), &data, nullptr, &error)) << c.text;
    EXPECT_EQ(error, c.reason) << c.text;
  }
}

TEST_F(DefaultLevel, BotsWalkEveryLinkBothWays) {
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
      EXPECT_TRUE(arrived()) << from << " -> " << to << " stuck at (" << p.x << ", " << p.y << ", " << p.z
                             << ") after " << ticks << " ticks";
    }
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
