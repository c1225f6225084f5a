// The MD3 reader: conversion of a valid file, and refusal of damaged ones (every prefix,
// out-of-range counts, offsets and indices) with message 10 naming the file and the reason.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "core/md3_format.h"
#include "models/md3_loader.h"
#include "support/fake_platform.h"
#include "support/md3_writer.h"
#include "support/scratch_dir.h"

namespace {

// Two frames, two tags, one box surface with two shader records.
TestMd3 SampleModel() {
  TestMd3 m;
  m.frames = 2;
  AddTag(&m, "tag_torso", Vec3(1, 2, 3), Vec3(0, 0, 1));
  AddTag(&m, "tag_weapon", Vec3(4, 5, 6));
  AddBox(&m, "u_torso", Vec3(-1, -1, -1), Vec3(1, 1, 1), Vec3(0, 0, 2));
  m.surfaces[0].shaderCount = 2;
  return m;
}

void Patch32(std::vector<uint8_t>* bytes, size_t at, int32_t value) {
  std::memcpy(bytes->data() + at, &value, 4);
}

TEST(Md3Loader, ConvertsTagsSurfacesAndCoordinates) {
  TestMd3 m = SampleModel();
  m.surfaces[0].vertices[0] = -64;      // -1.0
  m.surfaces[0].vertices[1] = 32767;    // 511.984375
  m.surfaces[0].texCoords[0] = 0.25f;
  m.surfaces[0].texCoords[1] = 0.75f;
  std::vector<uint8_t> bytes = WriteMd3(m);
  // The header's block offsets are not followed: the blocks are read in file order.
  for (size_t at : {92, 96, 100, 104}) Patch32(&bytes, at, 999999);

  Md3Model model;
  std::string error;
  ASSERT_TRUE(ParseMd3(bytes.data(), bytes.size(), &model, &error)) << error;
  EXPECT_EQ(model.frameCount, 2);
  EXPECT_EQ(model.tagCount, 2);
  ASSERT_EQ(model.tags.size(), 4u);
  EXPECT_STREQ(model.tags[1].name, "tag_weapon");
  EXPECT_EQ(model.tags[2].origin, Vec3(1, 2, 4));  // frame 1, tag 0
  EXPECT_EQ(model.links, std::vector<Md3Model*>(2, nullptr));
  ASSERT_EQ(model.meshCount, 1);
  const Md3Mesh& mesh = model.meshes[0];
  EXPECT_EQ(mesh.name, "u_torso");
  EXPECT_EQ(mesh.vertexCount, 8);
  EXPECT_EQ(mesh.texCoordCount, 8);
  EXPECT_EQ(mesh.faceCount, 24);
  EXPECT_FALSE(mesh.hasTexture);
  EXPECT_EQ(mesh.vertices[0], Vec3(-1.0f, 511.984375f, -1.0f));
  EXPECT_EQ(mesh.vertices[8 + 7], Vec3(1, 1, 3));  // frame 1 is moved by the step
  EXPECT_FLOAT_EQ(mesh.texCoords[0], 0.25f);
  EXPECT_FLOAT_EQ(mesh.texCoords[1], -0.75f);
  EXPECT_EQ(mesh.faces[0].vertexIndex[2], 3);
  EXPECT_EQ(mesh.faces[0].texCoordIndex[2], 3);

  // No surfaces, or no tags, load too.
  TestMd3 bare;
  AddTag(&bare, "tag_head", Vec3());
  bytes = WriteMd3(bare);
  ASSERT_TRUE(ParseMd3(bytes.data(), bytes.size(), &model, &error)) << error;
  EXPECT_EQ(model.meshCount, 0);
  EXPECT_EQ(model.tags.size(), 1u);
  TestMd3 untagged;
  AddBox(&untagged, "h_head", Vec3(), Vec3(1, 1, 1));
  bytes = WriteMd3(untagged);
  ASSERT_TRUE(ParseMd3(bytes.data(), bytes.size(), &model, &error)) << error;
  EXPECT_TRUE(model.links.empty());
  EXPECT_EQ(model.meshCount, 1);
}

TEST(Md3Loader, SurfacesWithoutVerticesAreSteppedOver) {
  TestMd3 m = SampleModel();
  TestMd3Surface empty;
  empty.name = "u_nothing";
  m.surfaces.insert(m.surfaces.begin(), empty);
  empty.triangles = {0, 0, 0};  // triangles that could use no vertex are no fault either
  m.surfaces.push_back(empty);
  AddBox(&m, "u_last", Vec3(0, 0, 0), Vec3(1, 1, 1));
  std::vector<uint8_t> bytes = WriteMd3(m);
  Patch32(&bytes, Md3SurfaceOffset(m, 0) + 72, 0);  // an empty part's frame count is not checked
  Md3Model model;
  std::string error;
  ASSERT_TRUE(ParseMd3(bytes.data(), bytes.size(), &model, &error)) << error;
  ASSERT_EQ(model.meshCount, 2);
  ASSERT_EQ(model.meshes.size(), 2u);
  EXPECT_EQ(model.meshes[0].name, "u_torso");
  EXPECT_EQ(model.meshes[1].name, "u_last");
}

TEST(Md3Loader, RefusesEveryPrefixAndEveryBrokenField) {
  const TestMd3 m = SampleModel();
  const std::vector<uint8_t> good = WriteMd3(m);
  Md3Model model;
  model.tagCount = 77;  // a refusal leaves the model as it was
  std::string error;
  for (size_t size = 0; size < good.size(); ++size) {
    // A copy of exactly the prefix, so ASan sees any read past it.
    std::vector<uint8_t> prefix(good.begin(), good.begin() + static_cast<long>(size));
    EXPECT_FALSE(ParseMd3(prefix.data(), prefix.size(), &model, &error)) << size;
    EXPECT_FALSE(error.empty());
  }
  EXPECT_EQ(model.tagCount, 77);

  const size_t s = Md3SurfaceOffset(m, 0);
  const struct {
    size_t at;
    int32_t value;
    const char* reason;
  } cases[] = {
      {4, 16, "Version not 15"},
      {0, 0x33504449 + 1, "Version not 15"},
      {76, 0, "frame count 0"},
      {76, -1, "frame count -1"},
      {76, INT_MAX, "frames do not fit"},
      {80, -1, "tag count -1"},
      {80, INT_MAX, "tags per frame do not fit"},
      {84, -1, "surface count -1"},
      {84, INT_MAX, "surfaces do not fit"},
      {84, 2, "surface 1 lies outside"},
      {s + 72, 1, "surface 0 has 1 frames, the file 2"},
      {s + 80, -1, "vertex count -1"},
      {s + 80, INT_MAX, "texture coordinates lie outside"},
      {s + 84, -1, "triangle count -1"},
      {s + 84, INT_MAX, "triangles lie outside"},
      {s + 88, -1, "triangles lie outside"},
      {s + 88, static_cast<int32_t>(good.size()), "triangles lie outside"},
      {s + 96, INT_MAX, "texture coordinates lie outside"},
      {s + 100, static_cast<int32_t>(good.size() - s - 8), "vertices lie outside"},
      {s + 100, INT_MIN, "vertices lie outside"},
      {s + 104, 0, "end offset 0"},
      {s + 104, 107, "end offset 107"},
      {s + 104, static_cast<int32_t>(good.size() - s + 1), "out of range"},
      {s + 108 + 2 * 68, 8, "triangle 0 uses vertex 8 of 8"},
      {s + 108 + 2 * 68 + 4, -1, "uses vertex -1"},
      {108 + 2 * 56 + 64, 0x7fc00000, "tag 0 holds a number that is not finite"},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> bytes = good;
    Patch32(&bytes, c.at, c.value);
    error.clear();
    EXPECT_FALSE(ParseMd3(bytes.data(), bytes.size(), &model, &error)) << c.reason;
    EXPECT_NE(error.find(c.reason), std::string::npos) << "got \"" << error << "\", want " << c.reason;
  }
  EXPECT_EQ(model.tagCount, 77);

  // The shader records are never read: a shader count past the file is no fault.
  std::vector<uint8_t> bytes = good;
  Patch32(&bytes, s + 76, INT_MAX);
  EXPECT_TRUE(ParseMd3(bytes.data(), bytes.size(), &model, &error)) << error;
}

TEST(Md3Loader, ImportShowsMessageNineOrTen) {
  FakePlatform fake;
  const std::filesystem::path dir = ScratchDir("korvalis_md3_import");
  std::filesystem::create_directories(dir);
  const std::string missing = (dir / "none.md3").string();
  Md3Model model;
  EXPECT_FALSE(ImportMd3(&model, missing.c_str()));
  TestMd3 m = SampleModel();
  std::vector<uint8_t> bytes = WriteMd3(m);
  bytes[4] = 16;
  const std::string bad = (dir / "bad.md3").string();
  WriteFile(bad, bytes);
  EXPECT_FALSE(ImportMd3(&model, bad.c_str()));
  bytes[4] = 15;
  const std::string good = (dir / "good.md3").string();
  WriteFile(good, bytes);
  EXPECT_TRUE(ImportMd3(&model, good.c_str()));
  ASSERT_EQ(fake.messages.size(), 2u);
  EXPECT_EQ(fake.messages[0], "Error: 9 Unable to find the file: " + missing + "!");
  EXPECT_EQ(fake.messages[1], "Error: 10 Invalid file format (Version not 15): " + bad + "!");
  EXPECT_EQ(model.meshCount, 1);
  std::filesystem::remove_all(dir);
}

// Surfaces that share one block of vertices: each is checked on its own, the sum is what is
// bounded. A file under 1 MB claiming tens of gigabytes is refused before anything is
// allocated; the same sharing within the budget still loads.
TEST(Md3Loader, BoundsTheDecodedSizeOfTheWholeModel) {
  FakePlatform fake;
  const std::filesystem::path dir = ScratchDir("korvalis_md3_budget");
  std::filesystem::create_directories(dir);
  const std::vector<uint8_t> hostile = WriteSharedBlockMd3(4000, 20, 2600);
  ASSERT_LE(hostile.size(), size_t{1} << 20);
  const std::string path = (dir / "shared.md3").string();
  WriteFile(path, hostile);
  Md3Model model;
  EXPECT_FALSE(ImportMd3(&model, path.c_str()));
  ASSERT_EQ(fake.messages.size(), 1u);
  EXPECT_EQ(fake.messages[0].rfind("Error: 10 Invalid file format (decodes to ", 0), 0u) << fake.messages[0];
  EXPECT_NE(fake.messages[0].find("over its budget of"), std::string::npos);
  EXPECT_EQ(model.meshCount, 0);
  rusage usage = {};
  getrusage(RUSAGE_SELF, &usage);
  EXPECT_LT(usage.ru_maxrss, 200 * 1024) << "peak resident size in KB";

  // Budgets: the file's own (three times its size and 64 KB), the model's cap, a caller's.
  std::vector<uint8_t> fits = WriteSharedBlockMd3(4, 2, 100);
  std::string error;
  ASSERT_TRUE(ParseMd3(fits.data(), fits.size(), &model, &error)) << error;
  EXPECT_EQ(model.meshCount, 4);
  EXPECT_LE(Md3DecodedBytes(model), Md3FileBudget(fits.size()));
  EXPECT_FALSE(ParseMd3(fits.data(), fits.size(), &model, &error, Md3DecodedBytes(model) - 1));
  EXPECT_EQ(Md3FileBudget(1000), 3000 + 65536);
  EXPECT_EQ(Md3FileBudget(size_t{100} << 20), Md3ModelBudgetBytes);
  std::filesystem::remove_all(dir);
}

}  // namespace
