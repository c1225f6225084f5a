// Builds small level files for tests: solid boxes and convex brushes in file coordinates
// (z up), a real BSP tree split on the brushes' planes with every brush listed in every leaf
// it reaches, and optional plain polygon faces. The result goes through WriteBspFile and
// Level::Parse like a compiled level, so tests see exactly what the game sees.
//
// Coordinates: the loader turns file (x, y, z) into world (x, z, -y). The World* calls take
// world (y-up) coordinates and convert them, so a test can think in the frame the tracer sees.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/bsp_format.h"
#include "core/vec3.h"
#include "level/bsp_writer.h"

class Level;

// Contents flags of the textures the builder makes.
constexpr int32_t SolidContents = 1;      // one of the bits that stop a trace
constexpr int32_t WaterContents = 32;     // shares no bit with the solid mask
// How far the level's box (its leaves) reaches past the brushes on every side, in units.
constexpr double TestLevelAir = 1024;

Vec3 WorldToFile(Vec3 world);  // (x, y, z) -> (x, -z, y)
Vec3 FileToWorld(Vec3 file);   // (x, y, z) -> (x, z, -y)

class LevelBuilder {
 public:
  LevelBuilder();  // texture 0 is solid ("textures/test/solid", contents 1)

  int AddTexture(const char* name, int32_t contents, int32_t surfaceFlags = 0);

  // Axis-aligned solid box from min to max; returns the brush index.
  int AddBox(Vec3 fileMin, Vec3 fileMax, int texture = 0);
  int AddWorldBox(Vec3 worldMin, Vec3 worldMax, int texture = 0);
  // A convex brush given by its outward face planes (normal . p = distance on the face).
  // Axis-aligned bevel planes are added so boxes sweep correctly along sloped faces.
  int AddBrush(const std::vector<BspPlane>& filePlanes, int texture = 0);

  // A plain polygon face (convex, vertices in order), listed in every leaf it touches.
  int AddFace(const std::vector<Vec3>& filePolygon, int texture = 0, int lightmap = -1);
  int AddWorldFace(const std::vector<Vec3>& worldPolygon, int texture = 0, int lightmap = -1);
  // A face of any type with its own vertices (file coordinates, every attribute as given):
  // polygons and meshes with their index list (offsets from the first vertex), patches with
  // their control grid row by row. Listed in every leaf its vertices reach.
  int AddRawFace(int type, const std::vector<BspVertex>& vertices, const std::vector<int32_t>& indices, int texture = 0,
                 int lightmap = -1, int patchWidth = 0, int patchHeight = 0);
  // One white 128 x 128 lightmap page; returns its index.
  int AddLightmap(uint8_t r = 255, uint8_t g = 255, uint8_t b = 255);

  int BrushCount() const { return static_cast<int>(brushes_.size()); }
  // A fog volume (lump 12) of the shader entry `shader`, bounded by the brush.
  void AddFog(const char* shader, int brush);

  BspFileData Build() const;
  std::vector<uint8_t> BuildFile() const { return WriteBspFile(Build()); }
  // Builds, writes and parses into the level; false with the reason on failure.
  bool LoadInto(Level* level, std::string* error = nullptr) const;

 private:
  struct Brush {
    std::vector<BspPlane> planes;
    std::vector<Vec3> corners;  // vertices of the solid, for sorting it into the tree
    int texture;
  };
  struct Face {
    std::vector<Vec3> polygon;
    int texture;
    int lightmap;
    // Raw faces: the record's type and vertices, index list and patch size.
    int type = FaceTypePolygon;
    std::vector<BspVertex> vertices;
    std::vector<int32_t> indices;
    int patchSize[2] = {0, 0};
  };
  std::vector<BspTextureRecord> textures_;
  std::vector<Brush> brushes_;
  std::vector<Face> faces_;
  std::vector<uint8_t> lightmaps_;
  std::vector<BspFogRecord> fogs_;
};

// The same level with one leaf that lists every brush, so each trace tests them all:
// the reference that the tree walk is checked and measured against.
Level AllBrushesInOneLeaf(const Level& level);

// The builder's level, parsed; a test failure with the reason when it does not load.
Level LoadedLevel(const LevelBuilder& builder);
