// Level loading: conversions to y-up, validation of every lump and cross-reference, lightmap
// brightening, and the texture file search. Levels are built here with WriteBspFile.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/game_state.h"
#include "core/level.h"
#include "level/bsp_writer.h"
#include "level/lightmaps.h"
#include "support/jpeg_file.h"
#include "support/fake_platform.h"
#include "support/gl_context.h"
#include "support/md3_writer.h"

namespace {

BspTextureRecord MakeTexture(const char* name, int32_t contents = 1) {
  BspTextureRecord t{};
  std::snprintf(t.name, sizeof(t.name), "%s", name);
  t.contents = contents;
  return t;
}

BspVertex MakeVertex(float x, float y, float z, float s = 0, float t = 0) {
  BspVertex v{};
  v.position[0] = x;
  v.position[1] = y;
  v.position[2] = z;
  v.texCoord[0] = s;
  v.texCoord[1] = t;
  v.lightmapCoord[0] = s;
  v.lightmapCoord[1] = t;
  return v;
}

BspFace MakeFace(int first, int count, int texture, int lightmap, int type = FaceTypePolygon) {
  BspFace f{};
  f.type = type;
  f.firstVertex = first;
  f.vertexCount = count;
  f.textureIndex = texture;
  f.lightmapIndex = lightmap;
  return f;
}

// A small but complete level: one node splitting two leaves, a face, a brush, a lightmap and
// visibility between two clusters. Every lump that is read holds something that is referenced.
BspFileData SmallLevel() {
  BspFileData f;
  f.entities = {'{', '}'};
  f.textures = {MakeTexture("textures/wall"), MakeTexture("textures/floor")};
  f.planes = {{{0, 0, 1}, 64}, {{1, 0, 0}, 0}};
  BspNode node{};
  node.plane = 0;
  node.children[0] = -1;  // leaf 0
  node.children[1] = -2;  // leaf 1
  f.nodes = {node};
  BspLeaf a{};
  a.cluster = 0;
  a.mins[0] = -8; a.mins[1] = -16; a.mins[2] = 0;
  a.maxs[0] = 8; a.maxs[1] = 16; a.maxs[2] = 32;
  a.firstLeafFace = 0; a.leafFaceCount = 1;
  a.firstLeafBrush = 0; a.leafBrushCount = 1;
  BspLeaf b = a;
  b.cluster = 1;
  f.leaves = {a, b};
  f.leafFaces = {0};
  f.leafBrushes = {0};
  f.brushes = {{0, 1, 0}};
  f.brushSides = {{1, 0}};
  f.vertices = {MakeVertex(1, 2, 3, 0.25f, 0.5f), MakeVertex(4, 5, 6), MakeVertex(7, 8, 9)};
  f.meshVertices = {0, 1, 2};
  f.faces = {MakeFace(0, 3, 1, 0)};
  f.lightmaps.assign(LightmapBytes, 100);
  f.clusterCount = 2;
  f.bytesPerCluster = 1;
  f.visibility = {0x3, 0x3};
  return f;
}

bool ParseBytes(Level* level, const std::vector<uint8_t>& bytes, std::string* error = nullptr) {
  std::string reason;
  bool ok = level->Parse(bytes.data(), bytes.size(), &reason);
  if (error) *error = reason;
  return ok;
}

void SetLump(std::vector<uint8_t>* bytes, int lump, int field, uint32_t value) {
  std::memcpy(bytes->data() + 8 + lump * 8 + field * 4, &value, 4);
}

bool IsEmpty(const Level& level) {
  return level.vertices.empty() && level.faces.empty() && level.nodes.empty() && level.leaves.empty() &&
         level.planes.empty() && level.leafFaces.empty() && level.brushes.empty() &&
         level.textures.empty() && level.visibility.empty() && level.NumLightmaps() == 0;
}

}  // namespace

TEST(BspParse, ConvertsGeometryToYUp) {
  Level level;
  std::string error;
  ASSERT_TRUE(ParseBytes(&level, WriteBspFile(SmallLevel()), &error)) << error;
  const BspVertex& v = level.vertices[0];
  EXPECT_EQ(v.position[0], 1.0f);
  EXPECT_EQ(v.position[1], 3.0f);
  EXPECT_EQ(v.position[2], -2.0f);
  EXPECT_EQ(v.texCoord[0], 0.25f);
  EXPECT_EQ(v.texCoord[1], -0.5f);
  EXPECT_EQ(v.lightmapCoord[1], 0.5f);  // lightmap coordinates stay as stored

  EXPECT_EQ(level.planes[0].normal[0], 0.0f);
  EXPECT_EQ(level.planes[0].normal[1], 1.0f);
  EXPECT_EQ(level.planes[0].normal[2], 0.0f);
  EXPECT_EQ(level.planes[0].distance, 64.0f);

  const BspLeaf& leaf = level.leaves[0];
  EXPECT_EQ(leaf.mins[0], -8);
  EXPECT_EQ(leaf.mins[1], 0);
  EXPECT_EQ(leaf.mins[2], 16);
  EXPECT_EQ(leaf.maxs[0], 8);
  EXPECT_EQ(leaf.maxs[1], 32);
  EXPECT_EQ(leaf.maxs[2], -16);  // not re-sorted

  EXPECT_EQ(level.clusterCount, 2);
  EXPECT_EQ(level.bytesPerCluster, 1);
  EXPECT_EQ(level.NumLightmaps(), 1);
  EXPECT_EQ(level.textures.size(), 2u);
  EXPECT_EQ(level.meshVertices.size(), 3u);
  EXPECT_EQ(level.facesDrawn.size(), 1u);  // face count / 32 + 1 words
}

TEST(BspParse, AcceptsUnusualButHarmlessData) {
  Level level;
  std::string error;

  BspFileData noVis = SmallLevel();
  noVis.clusterCount = 0;
  noVis.visibility.clear();
  noVis.leaves[0].cluster = 7;  // no visibility data: any cluster is fine
  ASSERT_TRUE(ParseBytes(&level, WriteBspFile(noVis), &error)) << error;
  EXPECT_TRUE(level.visibility.empty());
  EXPECT_TRUE(level.IsClusterVisible(0, 1));

  BspFileData noLightmap = SmallLevel();
  noLightmap.faces[0].lightmapIndex = -3;  // what real compilers write for "no page"
  noLightmap.lightmaps.clear();
  EXPECT_TRUE(ParseBytes(&level, WriteBspFile(noLightmap), &error)) << error;

  // Faces that are never drawn (billboards, unknown types) keep whatever their fields say.
  BspFileData otherTypes = SmallLevel();
  otherTypes.faces.push_back(MakeFace(500, 9, 77, 900, 5));
  otherTypes.faces.push_back(MakeFace(-1, -1, -1, -1, 4));
  EXPECT_TRUE(ParseBytes(&level, WriteBspFile(otherTypes), &error)) << error;
  EXPECT_EQ(level.faces.size(), 3u);

  // A negative cluster and a leaf with no faces or brushes.
  BspFileData solidLeaf = SmallLevel();
  solidLeaf.leaves[1].cluster = -1;
  solidLeaf.leaves[1].leafFaceCount = 0;
  solidLeaf.leaves[1].leafBrushCount = 0;
  EXPECT_TRUE(ParseBytes(&level, WriteBspFile(solidLeaf), &error)) << error;
}

TEST(BspParse, RefusesBadCrossReferences) {
  struct Case {
    const char* what;
    void (*spoil)(BspFileData*);
  };
  const Case cases[] = {
      {"vertex range past end", [](BspFileData* f) { f->faces[0].vertexCount = 4; }},
      {"negative first vertex", [](BspFileData* f) { f->faces[0].firstVertex = -1; }},
      {"vertex range overflow", [](BspFileData* f) { f->faces[0].firstVertex = 0x7fffffff; }},
      {"texture index", [](BspFileData* f) { f->faces[0].textureIndex = 2; }},
      {"leaf face range", [](BspFileData* f) { f->leaves[1].leafFaceCount = 2; }},
      {"leaf brush range", [](BspFileData* f) { f->leaves[0].firstLeafBrush = -5; }},
      {"leaf face index", [](BspFileData* f) { f->leafFaces[0] = 1; }},
      {"leaf brush index", [](BspFileData* f) { f->leafBrushes[0] = -1; }},
      {"node plane", [](BspFileData* f) { f->nodes[0].plane = 2; }},
      {"child leaf", [](BspFileData* f) { f->nodes[0].children[1] = -3; }},
      {"smallest child", [](BspFileData* f) { f->nodes[0].children[1] = INT32_MIN; }},
      {"child node past end", [](BspFileData* f) { f->nodes[0].children[0] = 1; }},
      {"node cycle to itself", [](BspFileData* f) { f->nodes[0].children[0] = 0; }},
      {"node cycle back to parent",
       [](BspFileData* f) {
         BspNode second = f->nodes[0];
         second.children[0] = 0;
         f->nodes.push_back(second);
         f->nodes[0].children[0] = 1;
       }},
      {"brush side range", [](BspFileData* f) { f->brushes[0].sideCount = 2; }},
      {"brush texture", [](BspFileData* f) { f->brushes[0].textureIndex = -1; }},
      {"brush side plane", [](BspFileData* f) { f->brushSides[0].plane = 9; }},
      {"cluster past visibility", [](BspFileData* f) { f->leaves[1].cluster = 2; }},
      {"visibility rows too short",
       [](BspFileData* f) {
         f->clusterCount = 9;
         f->bytesPerCluster = 1;
         f->visibility.assign(9, 0xff);
       }},
      {"visibility bits missing", [](BspFileData* f) { f->visibility.pop_back(); }},
      {"negative bytes per cluster", [](BspFileData* f) { f->bytesPerCluster = -1; }},
      {"visibility size overflows",
       [](BspFileData* f) {
         f->clusterCount = INT32_MAX;
         f->bytesPerCluster = INT32_MAX;
       }},
      {"too many textures", [](BspFileData* f) { f->textures.resize(1001); }},
      {"too many lightmaps", [](BspFileData* f) { f->lightmaps.resize(size_t(1001) * LightmapBytes); }},
      {"no nodes", [](BspFileData* f) { f->nodes.clear(); }},
      {"no leaves",
       [](BspFileData* f) {
         f->leaves.clear();
         f->nodes[0].children[0] = f->nodes[0].children[1] = -1;
       }},
      {"bad magic", [](BspFileData* f) { f->magic[0] = 'X'; }},
  };
  for (const Case& c : cases) {
    BspFileData file = SmallLevel();
    c.spoil(&file);
    Level level;
    ASSERT_TRUE(ParseBytes(&level, WriteBspFile(SmallLevel())));
    std::string error;
    EXPECT_FALSE(ParseBytes(&level, WriteBspFile(file), &error)) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
    EXPECT_TRUE(IsEmpty(level)) << c.what << ": a refused file must leave the level empty";
  }
}

// A chain of `depth` + 1 nodes, node i splitting on x = i with leaf i behind it and node
// i + 1 (the last: one more leaf) in front.
BspFileData NodeChain(int depth) {
  BspFileData f = SmallLevel();
  f.nodes.clear();
  f.leaves.resize(size_t(depth) + 2, f.leaves[0]);
  for (int i = 0; i <= depth; ++i) {
    f.planes.push_back({{1, 0, 0}, float(i)});
    BspNode node{};
    node.plane = int32_t(f.planes.size()) - 1;
    node.children[0] = i < depth ? i + 1 : -(depth + 2);
    node.children[1] = -(i + 1);
    f.nodes.push_back(node);
  }
  return f;
}

// The nodes must form one tree of bounded depth: a shared child would be walked along both
// halves of every split above it, and a deep chain would exhaust the tracer's stack.
BspNode Node(int front, int back) {
  BspNode n{};
  n.children[0] = front;
  n.children[1] = back;
  return n;
}

TEST(BspParse, RefusesGraphsThatAreNotTreesOrTooDeep) {
  struct Case {
    const char* reason;
    void (*spoil)(BspFileData*);
  };
  const Case cases[] = {
      {"leaf 0 has more than one parent", [](BspFileData* f) { f->nodes[0].children[1] = -1; }},
      {"node 1 has more than one parent",
       [](BspFileData* f) { f->nodes = {Node(1, 1), Node(-1, -2)}; }},
      {"node 3 has more than one parent",
       [](BspFileData* f) {
         f->leaves.resize(4, f->leaves[0]);
         f->nodes = {Node(1, 2), Node(3, -1), Node(3, -2), Node(-3, -4)};
       }},
      {"node 1 is unreachable from the root",
       [](BspFileData* f) {
         f->leaves.resize(4, f->leaves[0]);
         f->nodes = {Node(-1, -2), Node(-3, -4)};
       }},
      {"tree deeper than 1024 nodes", [](BspFileData* f) { *f = NodeChain(MaxTreeDepth + 1); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reason);
    BspFileData file = SmallLevel();
    c.spoil(&file);
    Level level;
    std::string error;
    EXPECT_FALSE(ParseBytes(&level, WriteBspFile(file), &error));
    EXPECT_EQ(error, c.reason);
    EXPECT_TRUE(IsEmpty(level));
  }

  // At the limit the level loads, and the leaf search and the tracer walk all of it.
  Level deep;
  std::string error;
  ASSERT_TRUE(ParseBytes(&deep, WriteBspFile(NodeChain(MaxTreeDepth)), &error)) << error;
  EXPECT_EQ(deep.FindLeaf(Vec3(5000, 0, 0)), MaxTreeDepth + 1);
  EXPECT_EQ(deep.FindLeaf(Vec3(-0.5f, 0, 0)), 0);
  EXPECT_EQ(deep.FindLeaf(Vec3(700.5f, 0, 0)), 701);
  const TraceResult r = deep.Trace(Vec3(-10, 0, 0), Vec3(5000, 0, 0), Vec3(1, 1, 1));
  EXPECT_EQ(r.fraction, 1.0f);
}

TEST(BspParse, RefusesEveryTruncationAndBadLumpDirectory) {
  const std::vector<uint8_t> good = WriteBspFile(SmallLevel());
  Level level;
  for (size_t size = 0; size < good.size(); ++size) {
    std::vector<uint8_t> cut(good.begin(), good.begin() + size);  // exact size: ASan sees overreads
    EXPECT_FALSE(level.Parse(cut.data(), cut.size(), nullptr)) << "truncated to " << size;
  }
  // Lumps that are read and whose records something refers to: emptying them must refuse.
  const int referenced[] = {LumpTextures, LumpPlanes,  LumpNodes,    LumpLeaves,     LumpLeafFaces,
                            LumpLeafBrushes, LumpBrushes, LumpBrushSides, LumpVertices, LumpFaces};
  for (int lump : referenced) {
    std::vector<uint8_t> bytes = good;
    SetLump(&bytes, lump, 1, 0);
    EXPECT_FALSE(ParseBytes(&level, bytes)) << "lump " << lump << " emptied";
  }
  // Without lightmap pages the faces that named one are lit by their vertex colours.
  std::vector<uint8_t> noPages = good;
  SetLump(&noPages, LumpLightmaps, 1, 0);
  EXPECT_TRUE(ParseBytes(&level, noPages));
  EXPECT_FALSE(level.HasLightmap(level.faces[0]));
  // The visibility lump's own sizes.
  for (int field = 0; field < 2; ++field) {
    for (uint32_t value : {0x7fffffffu, 0xffffffffu, 0x80000000u}) {
      std::vector<uint8_t> bytes = good;
      uint32_t visOffset;
      std::memcpy(&visOffset, bytes.data() + 8 + LumpVisibility * 8, 4);
      std::memcpy(bytes.data() + visOffset + field * 4, &value, 4);
      EXPECT_FALSE(ParseBytes(&level, bytes)) << "visibility field " << field << " = " << value;
    }
  }
  const uint32_t hostile[] = {0x7fffffffu, 0xffffffffu, 0x80000000u, static_cast<uint32_t>(good.size() + 1)};
  for (int lump = 0; lump < LumpCount; ++lump) {
    for (int field = 0; field < 2; ++field) {
      for (uint32_t value : hostile) {
        std::vector<uint8_t> bytes = good;
        SetLump(&bytes, lump, field, value);
        std::string error;
        bool ok = ParseBytes(&level, bytes, &error);
        // Lumps the game never reads may point anywhere; the rest must be refused.
        bool unread = lump == LumpEntities || lump == LumpModels || lump == LumpEffects || lump == LumpLightVolumes;
        if (!unread) {
          EXPECT_FALSE(ok) << "lump " << lump << " field " << field << " = " << value;
        }
        if (!ok) {
          EXPECT_FALSE(error.empty());
        }
      }
    }
  }
}

TEST(BspParse, BrightensLightmapsKeepingRatios) {
  auto brighten = [](uint8_t r, uint8_t g, uint8_t b, float factor) {
    uint8_t t[3] = {r, g, b};
    BrightenLightmap(t, 1, factor);
    return std::vector<int>{t[0], t[1], t[2]};
  };
  EXPECT_EQ(brighten(200, 100, 50, 2), (std::vector<int>{255, 127, 63}));
  EXPECT_EQ(brighten(200, 100, 50, 1), (std::vector<int>{200, 100, 50}));
  EXPECT_EQ(brighten(20, 10, 5, 10), (std::vector<int>{200, 100, 50}));
  EXPECT_EQ(brighten(0, 0, 0, 10), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(brighten(10, 255, 20, 10), (std::vector<int>{10, 255, 20}));
  // A factor from a broken config file never leaves the byte range.
  EXPECT_EQ(brighten(200, 100, 50, -3), (std::vector<int>{0, 0, 0}));
}

namespace {

void WriteJpeg(const std::string& path, uint8_t r, uint8_t g, uint8_t b) {
  std::vector<uint8_t> rgb;
  for (int i = 0; i < 64; ++i) rgb.insert(rgb.end(), {r, g, b});
  ASSERT_TRUE(WriteJpegFile(path, 8, 8, rgb)) << path;
}

// Uncompressed 24-bit Targa, pixels stored B, G, R.
void WriteTga(const std::string& path, uint8_t r, uint8_t g, uint8_t b) {
  std::vector<uint8_t> bytes(18, 0);
  bytes[2] = 2;
  bytes[12] = 8;
  bytes[14] = 8;
  bytes[16] = 24;
  for (int i = 0; i < 64; ++i) {
    bytes.push_back(b);
    bytes.push_back(g);
    bytes.push_back(r);
  }
  WriteFile(path, bytes);
}

// Runs a test body in a fresh temporary directory as the working directory.
class InTempDir {
 public:
  InTempDir() {
    char pattern[] = "/tmp/korvalis_bsp_XXXXXX";
    dir_ = mkdtemp(pattern);
    old_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
  }
  ~InTempDir() {
    std::filesystem::current_path(old_);
    std::filesystem::remove_all(dir_);
  }

 private:
  std::string dir_;
  std::filesystem::path old_;
};

bool LevelIsUnloaded(const Level& level) {
  for (Texture t : level.textureNames) {
    if (t != 0) return false;
  }
  return IsEmpty(level);
}

}  // namespace

TEST(BspLoad, FindsTextureFilesAndUploadsBrightenedLightmaps) {
  ResetGameState();  // before the context: it fills in the multitexture entry points
  FakePlatform fake;
  GLTestContext gl(64, 64);
  REQUIRE_GL(gl);
  InTempDir temp;
  std::filesystem::create_directories("textures");
  WriteJpeg("textures/both.jpg", 255, 0, 0);
  WriteTga("textures/both.tga", 0, 0, 255);
  WriteTga("textures/tgaonly.tga", 0, 255, 0);
  const std::string longName = "textures/" + std::string(51, 'x');  // 60 characters: no room for ".jpg"
  WriteTga(longName + ".tga", 0, 255, 0);
  const std::string fitting = "textures/" + std::string(50, 'y');   // 59: just fits
  WriteTga(fitting + ".tga", 0, 255, 0);

  BspFileData file = SmallLevel();
  file.textures = {MakeTexture("textures/both"), MakeTexture("textures/tgaonly"), MakeTexture("textures/missing"),
                   MakeTexture(longName.c_str()), MakeTexture(""), MakeTexture(fitting.c_str())};
  std::memset(file.textures[4].name, 'z', sizeof(file.textures[4].name));  // no terminating NUL
  file.faces.push_back(MakeFace(0, 3, 0, -3));  // "no lightmap page" as real levels mark it
  for (size_t i = 0; i < file.lightmaps.size(); i += 3) {
    file.lightmaps[i] = 20;
    file.lightmaps[i + 1] = 10;
    file.lightmaps[i + 2] = 5;
  }
  WriteFile("level.bsp", WriteBspFile(file));

  Level level;
  gGame.lightmapBrightness = 10;
  ASSERT_TRUE(level.LoadBSP("level.bsp"));
  EXPECT_TRUE(fake.messages.empty()) << fake.messages.front();

  std::vector<int> jpeg = TexelOf(level.textureNames[0]);  // the JPEG wins over the Targa
  ASSERT_EQ(jpeg.size(), 3u);
  EXPECT_GT(jpeg[0], 240);
  EXPECT_LT(jpeg[2], 15);
  EXPECT_EQ(TexelOf(level.textureNames[1]), (std::vector<int>{0, 255, 0}));
  EXPECT_EQ(level.textureNames[2], 0u);  // missing: stays 0
  EXPECT_EQ(level.textureNames[3], 0u);  // too long for an extension
  EXPECT_EQ(level.textureNames[4], 0u);  // not terminated
  EXPECT_NE(level.textureNames[5], 0u);
  EXPECT_EQ(TexelOf(level.textureNames[LightmapTextureBase]), (std::vector<int>{200, 100, 50}));
  EXPECT_EQ(level.NumLightmaps(), 1);
  EXPECT_TRUE(level.lightmapTexels.empty());

  void* pointer = nullptr;
  glGetPointerv(GL_VERTEX_ARRAY_POINTER, &pointer);
  EXPECT_EQ(pointer, static_cast<void*>(level.vertices[0].position));
  EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));

  // A bad file after a good one: refused, and nothing of the first level stays behind.
  std::vector<uint8_t> bad = WriteBspFile(file);
  bad.resize(bad.size() - 1);
  WriteFile("bad.bsp", bad);
  const Texture lightmap = level.textureNames[LightmapTextureBase];
  EXPECT_FALSE(level.LoadBSP("bad.bsp"));
  ASSERT_EQ(fake.messages.size(), 1u);
  EXPECT_EQ(fake.messages[0].rfind("Error: 13 Invalid BSP file: bad.bsp: ", 0), 0u) << fake.messages[0];
  EXPECT_TRUE(LevelIsUnloaded(level));
  EXPECT_FALSE(glIsTexture(lightmap));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(BspLoad, MissingFileShowsItsMessage) {
  ResetGameState();
  FakePlatform fake;
  InTempDir temp;
  Level level;
  EXPECT_FALSE(level.LoadBSP("nowhere.bsp"));
  EXPECT_EQ(fake.messages, (std::vector<std::string>{"Error: 13 Could not find BSP file!"}));
  EXPECT_TRUE(LevelIsUnloaded(level));
  level.Destroy();  // harmless on an empty level, no GL needed
}
