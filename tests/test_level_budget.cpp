// Levels whose records share ranges: what their faces cost to build is bounded by the file's
// size, and brushes may not share sides. Levels are made by the test builder, then given faces
// or brushes that point into one shared range, as a hostile or broken file would.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "core/level.h"
#include "level/bsp_writer.h"
#include "support/level_builder.h"

namespace {

// A sealed room to put shared faces and brushes into.
BspFileData Room() {
  LevelBuilder builder;
  builder.AddBox(Vec3(-512, -512, -16), Vec3(512, 512, 0));
  builder.AddBox(Vec3(-512, -512, 256), Vec3(512, 512, 272));
  return builder.Build();
}

BspVertex At(float x, float y, float z) {
  BspVertex v{};
  v.position[0] = x, v.position[1] = y, v.position[2] = z;
  v.normal[2] = 1;
  return v;
}

// Appends a side x side control grid (a bumpy sheet), then `faces` patches that all use it.
void SharedPatchGrid(BspFileData* file, int side, int faces) {
  const int32_t first = static_cast<int32_t>(file->vertices.size());
  for (int j = 0; j < side; ++j)
    for (int i = 0; i < side; ++i)
      file->vertices.push_back(At(i * 4.0f - 256, j * 4.0f - 256, 64 + 24 * std::sin(i * 0.7f) * std::cos(j * 0.9f)));
  for (int k = 0; k < faces; ++k) {
    BspFace f{};
    f.type = FaceTypePatch;
    f.firstVertex = first;
    f.vertexCount = side * side;
    f.patchSize[0] = f.patchSize[1] = side;
    f.lightmapIndex = -1;
    file->faces.push_back(f);
  }
}

// Appends one polygon of n vertices, then `faces` polygon faces drawn over all of it (fans).
void SharedPolygonRange(BspFileData* file, int n, int faces) {
  const int32_t first = static_cast<int32_t>(file->vertices.size());
  for (int i = 0; i < n; ++i) {
    const float a = 6.2831853f * i / n;
    file->vertices.push_back(At(200 * std::cos(a), 200 * std::sin(a), 8));
  }
  for (int k = 0; k < faces; ++k) {
    BspFace f{};
    f.type = FaceTypePolygon;
    f.firstVertex = first;
    f.vertexCount = n;
    f.lightmapIndex = -1;
    file->faces.push_back(f);
  }
}

long PeakResidentKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

int64_t BuiltBytes(const Level& level) {
  int64_t bytes = static_cast<int64_t>(level.faceIndices.size() * sizeof(uint32_t) +
                                        level.collisionTriangles.size() * sizeof(CollisionTriangle));
  for (const FaceGeometry& g : level.faceGeometry) bytes += int64_t{g.vertexCount} * int64_t{sizeof(BspVertex)};
  return bytes;
}

}  // namespace

TEST(LevelBudget, FacesSharingOneRangeAreRefusedBeforeAnythingIsBuilt) {
  struct Case {
    const char* what;
    bool patches;
    int size, faces;
  };
  // 4,000 patches over one 129 x 129 grid would be 16.9 million vertices even at their
  // coarsest; 2,000 fans over one 20,000-vertex polygon 480 MB of indices.
  for (const Case& c : {Case{"patches", true, 129, 4000}, Case{"polygons", false, 20000, 2000}}) {
    BspFileData file = Room();
    if (c.patches)
      SharedPatchGrid(&file, c.size, c.faces);
    else
      SharedPolygonRange(&file, c.size, c.faces);
    const std::vector<uint8_t> bytes = WriteBspFile(file);
    EXPECT_LT(bytes.size(), 1300000u) << c.what;
    Level level;
    std::string error;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(level.Parse(bytes.data(), bytes.size(), &error)) << c.what;
    EXPECT_NE(error.find("take more than"), std::string::npos) << c.what << ": " << error;
    EXPECT_TRUE(level.faces.empty() && level.faceIndices.empty() && level.collisionTriangles.empty()) << c.what;
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(), 5.0) << c.what;
  }
  EXPECT_LT(PeakResidentKb(), 200L * 1024) << "peak resident KB";
}

// The refusal names its budget in a unit that keeps the figure between 1 and 1023, however
// far a divisor (the fuzz target's) lowers it.
TEST(LevelBudget, TheRefusalNamesItsBudgetInAFittingUnit) {
  BspFileData file = Room();
  SharedPolygonRange(&file, 20000, 2000);
  const std::vector<uint8_t> bytes = WriteBspFile(file);
  struct Case {
    int64_t divisor;
    const char* unit;
  };
  for (const Case& c : {Case{1, "MB"}, Case{4096, "KB"}, Case{int64_t{1} << 20, "bytes"}}) {
    Level level;
    level.buildBudgetDivisor = c.divisor;
    std::string error;
    EXPECT_FALSE(level.Parse(bytes.data(), bytes.size(), &error)) << c.divisor;
    const std::string lead = "take more than ";
    const size_t at = error.find(lead);
    ASSERT_NE(at, std::string::npos) << error;
    long figure = 0;
    char unit[16] = "";
    ASSERT_EQ(std::sscanf(error.c_str() + at + lead.size(), "%ld %15s", &figure, unit), 2) << error;
    EXPECT_GE(figure, 1) << error;
    EXPECT_LT(figure, 1024) << error;
    EXPECT_STREQ(unit, c.unit) << error;
  }
}

TEST(LevelBudget, PatchesAreCutCoarserUntilTheLevelFitsItsBudget) {
  // 60 patches over one bumpy 129 x 129 grid fit at one segment a piece (under 35 MB) but
  // not at two (over 130 MB): the halving goes down to one segment, and what is built fits.
  BspFileData file = Room();
  SharedPatchGrid(&file, 129, 60);
  const std::vector<uint8_t> bytes = WriteBspFile(file);
  Level level;
  std::string error;
  ASSERT_TRUE(level.Parse(bytes.data(), bytes.size(), &error)) << error;
  const int64_t built = BuiltBytes(level);
  EXPECT_LE(built, LevelBuildBudget(bytes.size()));
  const FaceGeometry& patch = level.faceGeometry.back();
  EXPECT_EQ(patch.vertexCount, 65 * 65);  // one segment per piece
  EXPECT_EQ(patch.indexCount, 64u * 64u * 6u);
  EXPECT_EQ(level.collisionTriangles.size(), 60u * 64u * 64u * 2u);
}

TEST(LevelBudget, BrushesMayNotShareSidesOrHaveTooMany) {
  struct Case {
    const char* what;
    int brushes, sides, step;  // brush k takes sides [k * step, k * step + sides)
    const char* refusal;       // nullptr: loads
  };
  const Case cases[] = {
      {"40 brushes on one range of 500 sides", 40, 500, 0, "too many sides"},
      {"40 brushes on one range of 100 sides", 40, 100, 0, "shares sides"},
      {"ranges overlapping by one side", 3, 6, 5, "shares sides"},
      {"one brush of MaxBrushSides + 1", 1, MaxBrushSides + 1, 0, "too many sides"},
      {"ranges side by side", 3, 6, 6, nullptr},
      {"one brush of MaxBrushSides", 1, MaxBrushSides, 0, nullptr},
  };
  for (const Case& c : cases) {
    BspFileData file = Room();
    const int32_t firstSide = static_cast<int32_t>(file.brushSides.size());
    const int32_t plane = file.brushSides[0].plane;
    file.brushSides.resize(file.brushSides.size() + (c.brushes - 1) * c.step + c.sides, BspBrushSide{plane, 0});
    for (int k = 0; k < c.brushes; ++k) file.brushes.push_back(BspBrush{firstSide + k * c.step, c.sides, 0});
    const std::vector<uint8_t> bytes = WriteBspFile(file);
    Level level;
    std::string error;
    const auto started = std::chrono::steady_clock::now();
    const bool loaded = level.Parse(bytes.data(), bytes.size(), &error);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(), 1.0) << c.what;
    if (c.refusal) {
      EXPECT_FALSE(loaded) << c.what;
      EXPECT_NE(error.find(c.refusal), std::string::npos) << c.what << ": " << error;
    } else {
      EXPECT_TRUE(loaded) << c.what << ": " << error;
    }
  }
}
