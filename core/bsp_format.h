// The level file layout: a 144-byte header with 17 lumps, little-endian records.
// The in-memory records equal the file records byte for byte (the vertices are used in
// place as GL client arrays), so these structs must keep their sizes.
#pragma once
#include <cstdint>
#include <vector>

enum BspLump {
  LumpEntities = 0, LumpTextures = 1, LumpPlanes = 2, LumpNodes = 3, LumpLeaves = 4,
  LumpLeafFaces = 5, LumpLeafBrushes = 6, LumpModels = 7, LumpBrushes = 8, LumpBrushSides = 9,
  LumpVertices = 10, LumpMeshVertices = 11, LumpEffects = 12, LumpFaces = 13,
  LumpLightmaps = 14, LumpLightVolumes = 15, LumpVisibility = 16, LumpCount = 17
};

constexpr int BspHeaderSize = 8 + LumpCount * 8;  // 144
constexpr int LightmapSide = 128;
constexpr int LightmapBytes = LightmapSide * LightmapSide * 3;  // 49152
constexpr int FaceTypePolygon = 1;   // triangles from its index list (or its fan without one)
constexpr int FaceTypePatch = 2;     // a grid of Bezier control vertices
constexpr int FaceTypeMesh = 3;      // triangles from its index list
constexpr int FaceTypeBillboard = 4; // a point for glare effects: not geometry
// Texture record flags the level compiler writes for trigger brushes: a volume that is never
// drawn (it has no faces) and blocks nothing; the entity that owns it reacts to bodies in it.
constexpr int32_t ContentsTrigger = 0x40000000;
constexpr int32_t SurfaceNoDraw = 0x80;
constexpr const char* TriggerTextureName = "common/trigger";

struct BspVertex {
  float position[3];
  float texCoord[2];
  float lightmapCoord[2];
  float normal[3];
  uint8_t color[4];
};

struct BspFace {
  int32_t textureIndex;
  int32_t effectIndex;
  int32_t type;             // 1 polygon, 2 patch, 3 mesh (drawn); 4 billboard (kept, not drawn)
  int32_t firstVertex;
  int32_t vertexCount;
  int32_t firstMeshVertex;
  int32_t meshVertexCount;
  int32_t lightmapIndex;    // negative or past the last page: lit by the vertex colours
  int32_t lightmapCorner[2];
  int32_t lightmapSize[2];
  float lightmapOrigin[3];
  float lightmapAxes[2][3];
  float normal[3];
  int32_t patchSize[2];     // patches: control grid width and height, both odd and >= 3
};

struct BspTextureRecord {
  char name[64];            // NUL-terminated, relative path without extension
  int32_t surfaceFlags;
  int32_t contents;         // the tracer tests these against SolidContentsMask
};

struct BspPlane {
  float normal[3];
  float distance;           // normal . p = distance on the plane
};

struct BspNode {
  int32_t plane;
  int32_t children[2];      // front, back; negative c is leaf -(c + 1)
  int32_t mins[3];
  int32_t maxs[3];
};

struct BspLeaf {
  int32_t cluster;          // negative: no cluster
  int32_t area;
  int32_t mins[3];
  int32_t maxs[3];
  int32_t firstLeafFace;
  int32_t leafFaceCount;
  int32_t firstLeafBrush;
  int32_t leafBrushCount;
};

struct BspBrush {
  int32_t firstSide;
  int32_t sideCount;
  int32_t textureIndex;
};

struct BspBrushSide {
  int32_t plane;
  int32_t textureIndex;
};

// A brush model: model 0 is the world (its faces and brushes are the ones leaves list);
// models 1, 2, ... belong to the entities whose "model" key is "*1", "*2", ...: their
// faces and brushes are in no leaf, and the entity draws and collides them where it is.
struct BspModel {
  float mins[3];            // file coordinates, where the entity stands at rest
  float maxs[3];
  int32_t firstFace;
  int32_t faceCount;
  int32_t firstBrush;
  int32_t brushCount;
};

struct BspLightGridCell {   // lump 15: the light around moving figures at one grid point
  uint8_t ambient[3];
  uint8_t directed[3];
  uint8_t direction[2];     // towards the light: longitude, latitude in steps of 360 / 256 degrees
};

struct BspFogRecord {       // lump 12
  char name[64];            // the fog's shader entry, NUL-terminated
  int32_t brush;            // the brush that bounds the fog
  int32_t visibleSide;      // the side seen from outside, -1 for none
};

static_assert(sizeof(BspVertex) == 44, "vertex record");
static_assert(sizeof(BspFogRecord) == 72, "fog record");
static_assert(sizeof(BspLightGridCell) == 8, "light grid record");
static_assert(sizeof(BspFace) == 104, "face record");
static_assert(sizeof(BspTextureRecord) == 72, "texture record");
static_assert(sizeof(BspPlane) == 16, "plane record");
static_assert(sizeof(BspNode) == 36, "node record");
static_assert(sizeof(BspLeaf) == 48, "leaf record");
static_assert(sizeof(BspBrush) == 12, "brush record");
static_assert(sizeof(BspBrushSide) == 8, "brush side record");
static_assert(sizeof(BspModel) == 40, "model record");

// A whole level file in file coordinates (z up), as the level compiler and the tests build it.
struct BspFileData {
  char magic[4] = {'I', 'B', 'S', 'P'};
  int32_t version = 46;
  std::vector<char> entities;                 // text, written with a terminating NUL
  std::vector<BspTextureRecord> textures;
  std::vector<BspPlane> planes;
  std::vector<BspNode> nodes;
  std::vector<BspLeaf> leaves;
  std::vector<int32_t> leafFaces;
  std::vector<int32_t> leafBrushes;
  std::vector<BspModel> models;               // empty: no models lump (a level without entity models)
  std::vector<BspBrush> brushes;
  std::vector<BspBrushSide> brushSides;
  std::vector<BspVertex> vertices;
  std::vector<int32_t> meshVertices;
  std::vector<BspFace> faces;
  std::vector<uint8_t> lightmaps;             // pages of LightmapBytes
  std::vector<BspFogRecord> fogs;            // lump 12
  std::vector<BspLightGridCell> lightGrid;   // lump 15
  int32_t clusterCount = 0;                   // visibility: 0 clusters writes an empty lump
  int32_t bytesPerCluster = 0;
  std::vector<uint8_t> visibility;            // clusterCount * bytesPerCluster
};
