// The loaded level: converted (y-up) geometry, the texture table, visibility, the renderer
// and the collision tracer. One Level lives in the game state for the whole run.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/bsp_format.h"
#include "core/shader_entry.h"
#include "core/texture_records.h"
#include "core/vec3.h"

constexpr int MaxLevelTextures = 1000;   // textureNames 0..999: surfaces
constexpr int LightmapTextureBase = 1000;  // textureNames 1000..1999: lightmaps
constexpr int TextureNameSlots = 2000;

// The deepest node a level may have. Real levels are under a hundred deep; the tracer walks
// the tree recursively, one small frame per level.
constexpr int MaxTreeDepth = 1024;

constexpr float TraceEpsilon = 0.03125f;
// How far a move must keep clear of a brush's bounding box (level units) for the tracer to
// skip the brush unseen: far more than TraceEpsilon, so rounding never decides.
constexpr float BoundsMargin = 1.0f;
// How far past the level's box (and its leaf's box) a point may be and still count as in the
// level, in level units: shots, particles and the player that go further have left it.
constexpr float LevelEdgeMargin = 64.0f;
constexpr int32_t SolidContentsMask = 0x02010003;
const Vec3 BodyExtents(17, 45, 17);
const Vec3 PlayerExtents(17, 50, 17);

struct TraceResult {
  float fraction = 1;       // 1 exactly: nothing was hit
  Vec3 start;
  Vec3 end;
  Vec3 extents;             // box half-sizes; (0, 0, 0) is a ray
  Vec3 normal;              // of the face that stopped the move; (0, 0, 0) when nothing did
  bool allSolid = false;    // a solid brush holds both the start and the requested end
  int model = -1;           // what stopped the move: 0 the world, N the brush model N; -1 nothing
};

// Where an entity has put its brush model: a stored point p is drawn and collided at
// offset + R p, R the turn of `degrees` about the game axis `axis` (0 x, 1 y, 2 z; -1 none).
// A model whose entity has an origin is stored around (0, 0, 0) and placed at that origin.
struct ModelPlacement {
  Vec3 offset;
  int axis = -1;
  float degrees = 0;
  bool hidden = false;      // neither drawn nor collided (trigger volumes, models of no entity)
};

// Where a face's triangles are: vertexCount vertices of Level::vertices from firstVertex (for
// a patch, its tessellated grid behind the file's vertices), and indexCount offsets from
// firstVertex in Level::faceIndices from firstIndex, three per triangle. No triangles: the
// face is not drawn (billboards, faces of unknown types, empty lists).
struct FaceGeometry {
  int32_t firstVertex = 0, vertexCount = 0;
  uint32_t firstIndex = 0, indexCount = 0;
};

// A triangle of a solid curved surface, in world coordinates: the tracer stops boxes on it.
struct CollisionTriangle {
  Vec3 corners[3];
};
// The triangles of one solid curved surface and the box around them.
struct CollisionSurface {
  float mins[3], maxs[3];
  uint32_t firstTriangle = 0, triangleCount = 0;
  int32_t face = 0;
};

// Brush models: at most this many, each within this far of the origin on every axis (level
// units); a file past either is refused.
constexpr int MaxModels = 4096;
constexpr float MaxModelSize = 262144.0f;

// The most tessellated patch vertices a level keeps; past it, patches are cut more coarsely.
constexpr int64_t MaxPatchVertices = int64_t{1} << 21;
// The most sides one brush may have: a box has 6, with bevels a few more, a round column a few
// dozen. Cutting a brush's sides into faces takes work that grows with the cube of its sides.
constexpr int32_t MaxBrushSides = 128;
// What a level's faces may cost once built, in bytes: the vertices each face draws from (its
// range, or its patch's grid), its triangle indices and its collision triangles. Faces may
// share one range of a file's vertices, so the file alone bounds nothing: a level whose faces
// cost more than this even with every patch at its coarsest is refused.
constexpr int64_t LevelBuildBaseBytes = int64_t{64} << 20;
constexpr int64_t LevelBuildBytesPerFileByte = 32;
inline int64_t LevelBuildBudget(size_t fileBytes) {
  return LevelBuildBaseBytes + LevelBuildBytesPerFileByte * static_cast<int64_t>(fileBytes);
}

// What the shader scripts say about the faces of one texture record.
struct SurfaceMaterial {
  bool nodraw = false;  // never drawn
  bool sky = false;     // drawn as a view into the sky box (or the flat sky colour)
  SurfaceBlend blend = SurfaceBlend::Opaque;  // non-opaque faces are drawn after the rest
  AlphaTest alphaTest = AlphaTest::None;      // texels failing it are not drawn
  bool twoSided = false;                      // drawn without face culling
  bool backSided = false;                     // seen from its back only (`cull back`)
  bool fog = false;                           // the visible side of a fog volume: never drawn
  int32_t staged = -1;  // index into Level::stagedMaterials: drawn stage by stage; -1: plainly
};

// A material drawn stage by stage (stage_faces.cpp): its stages with a texture per picture
// (animMap: one per frame), and its vertex deforms.
struct StagedMaterial {
  std::string name;
  std::vector<ShaderStage> stages;
  std::vector<std::vector<Texture>> textures;  // per stage: its frames' textures
  // Per stage and frame, the texture's twin without mip levels (0: none) and its size in
  // texels (Level::MakeMagnifiedTwins).
  std::vector<std::vector<Texture>> twins;
  std::vector<std::vector<std::pair<int, int>>> twinSizes;
  std::vector<VertexDeform> deforms;
  bool blendedBase = false;  // the first stage blends: drawn with the blended faces, far to near
};

// A fog volume (lump 12 and its entry's fogparms): the brush that bounds it, its colour and
// the depth of fog that hides everything.
struct FogVolume {
  std::string name;    // its shader entry
  int32_t brush = -1;
  float colour[3] = {0, 0, 0};
  float distance = 0;  // 0: its entry was not found, and it is not drawn
};

// The light grid (lump 15): cells of `size` units (file axes, z up) from `origin` over the
// world model's box, x fastest, then y, then z. Empty: the level has none.
struct LightGrid {
  float origin[3] = {0, 0, 0}, size[3] = {64, 64, 128};
  int32_t counts[3] = {0, 0, 0};
  std::vector<BspLightGridCell> cells;
};

// A cloud sky: the stages of the sky's entry drawn on a dome around the eye.
struct CloudSky {
  int32_t staged = -1;   // index into Level::stagedMaterials; -1: no clouds
  float height = 512;    // the dome's height above the eye
};

// The sky box's sides, in file (z-up) directions: +x, +y, -x, -y, +z, -z.
enum SkySide { SkyRight, SkyBack, SkyLeft, SkyFront, SkyUp, SkyDown, SkySideCount };

// A corner of a level face: clip coordinates and the surface and lightmap texture coordinates.
struct FaceCorner {
  float q[4];
  float uv[2][2];
};

struct LoadedPictures;  // surface_textures.cpp

class Level {
 public:
  // Reads the file, validates and converts it, creates textures and lightmaps (GL context
  // current). A missing file shows "13 Could not find BSP file!", a bad one
  // "13 Invalid BSP file: <reason>"; either returns false and leaves the level empty.
  // When ownLevelChecksum is not 0, gGame.defaultLevel becomes whether the file's CRC-32 is
  // that one, before the pictures are loaded: our own level is known by its content.
  bool LoadBSP(const char* fileName, uint32_t ownLevelChecksum = 0);
  // The GL-free part of loading: validate and convert the bytes of a level file.
  // On failure *error holds the reason and the level is left empty.
  bool Parse(const uint8_t* data, size_t size, std::string* error);
  void Destroy();
  // Makes the texture twins without mip levels for every texture slot filled with a
  // GL_LINEAR_MIPMAP_NEAREST texture (LoadBSP calls it once the textures are made).
  void MakeMagnifiedTwins();
  // Gives each texture record its picture and material (surface_textures.cpp): the image
  // named by the record (with or without extension), else the picture its shader script
  // names; nodraw and sky records need none. On a level other than the default, a missing
  // or broken picture is one line on stderr per name and a checker texture.
  void LoadSurfaceTextures();
  // Makes the sky's cube texture from the pictures BOX_rt ... BOX_dn (sky.cpp); when one is
  // missing or broken, a line on stderr and none (the sky is then drawn in its flat colour).
  void LoadSkyBox(const std::string& box);
  void DestroySkyBox();

  int FindLeaf(Vec3 position) const;
  // Whether the point lies in the level: within margin of the box around all leaves and
  // drawn geometry, and of the box of the leaf that holds it. Always true for no level.
  bool Encloses(Vec3 position, float margin = LevelEdgeMargin) const;
  // Sets the box around the level (Parse calls it once the records are converted).
  void ComputeBounds();
  // The length of the box's diagonal: no two points of the level lie further apart.
  float BoundsDiagonal() const;
  bool IsClusterVisible(int fromCluster, int testCluster) const;
  // Whether anything in the box (y up) may be seen from `eye`: false only where the level's
  // visibility data says no leaf the box reaches is visible from the eye's cluster.
  bool BoxSeenFrom(Vec3 eye, const float mins[3], const float maxs[3]) const;
  void RenderLevel(Vec3 cameraPosition);
  void RenderFace(int faceIndex);
  int facesDrawnLastFrame = 0;  // faces drawn by the last RenderLevel (statistics)
  int facesFoggedLastFrame = 0;  // faces it left undrawn, wholly beyond the fog (statistics)
  int facesCulledLastFrame = 0;  // faces it left undrawn, out of view or facing away (statistics)
  int facesMagnifiedLastFrame = 0;  // faces it drew with a texture twin (statistics)
  int stagePassesLastFrame = 0;  // draw passes of faces drawn stage by stage (statistics)
  // true: stages that multiply or add over an opaque stage are drawn in its pass on texture
  // units of their own; false: one pass per stage. Both give the same picture (within a step
  // of rounding); false is kept for comparing the two.
  bool foldedStages = true;
  // true: the visible faces are drawn near to far, a few large draw calls per texture and
  // lightmap pair; false: one call per face in the order the leaves list them. Both give
  // the same picture and leave the same GL state; false is kept for comparing the two.
  bool batchedDrawing = true;
  // true: a texture pair's faces are gathered only within bands of distance that double
  // outwards; false: wherever they stand, drawn where the nearest of them stands. Both give the
  // same picture; false is kept for comparing the two.
  bool distanceBands = true;
  // true: faces wholly beyond the depth where black fog blackens everything (FogHidingDepth)
  // are left undrawn; false draws them. Both give the same picture.
  bool skipFoggedFaces = true;
  // true: faces of the visible leaves wholly outside the view frustum, or whose every triangle
  // faces the side the GL culls, are left out before drawing; false leaves that to the GL.
  // Both give the same picture.
  bool cullFacesApart = true;
  // true: the brush models' faces that are not drawn stage by stage go before the world's
  // opaque faces, so the depth test turns away the world's pixels they hide before shading;
  // false: after them. Both give the same picture; false is kept for comparing the two.
  bool modelsFirst = true;
  // true: faces seen close enough that their textures show only their full-size images are
  // drawn with twins of the textures that have no smaller images (magnified_textures.cpp);
  // false keeps the mipmapped ones. Both give the same picture.
  bool magnifiedTwins = true;
  // Whether the tracer skips brushes whose bounding box the move keeps clear of; the same
  // results either way, false is kept for comparing the two.
  bool skipDistantBrushes = true;
  // Whether the tracer finds solid curved surfaces through the tree (false: tries every one
  // of the level per trace); the same results either way, false is kept for comparing.
  bool surfacesThroughTree = true;
  // What Parse lets the faces cost once built is LevelBuildBudget(file size) divided by this.
  // The fuzz target raises it so that every input builds and traces little geometry; the
  // refusal and the coarser cuts are the same code, reached sooner.
  int64_t buildBudgetDivisor = 1;
  // How many solid curved surfaces the last trace looked at: those listed in the leaves it
  // passed (and the few too wide to list), not every one of the level.
  size_t surfacesLookedAtLastTrace = 0;

  TraceResult Trace(Vec3 start, Vec3 end, Vec3 extents);
  TraceResult TraceSlide(Vec3 start, Vec3 end, Vec3 extents);
  // Whether a box at the position overlaps a solid brush of brush model `model` where its
  // placement puts it (model_trace.cpp).
  bool ModelHoldsBox(int model, Vec3 position, Vec3 extents);
  // The box around brush model `model` where its placement puts it (a turning model: the
  // box around every turn of it).
  void PlacedModelBox(int model, float mins[3], float maxs[3]) const;
  // Draws the brush models 1, 2, ... at their placements: those whose box is in view and
  // touches a leaf that can be seen (model_render.cpp; RenderLevel calls it): their faces
  // drawn one by one (`plainFaces`), those drawn stage by stage (`stagedFaces`), or both.
  void RenderModels(Vec3 cameraPosition, bool plainFaces = true, bool stagedFaces = true);

  // Converted records, read directly by the renderer and the tracer. Every index in them
  // was checked by Parse, so drawing and tracing can trust them.
  std::vector<BspVertex> vertices;            // the file's, then the patches' tessellated grids
  size_t fileVertexCount = 0;                 // how many of vertices come from the file
  std::vector<BspFace> faces;
  std::vector<int32_t> meshVertices;
  std::vector<FaceGeometry> faceGeometry;     // one per face
  std::vector<uint32_t> faceIndices;          // the faces' triangles (see FaceGeometry)
  // Solid curved surfaces cut into the triangles that are drawn: the tracer's geometry
  // besides the brushes.
  std::vector<CollisionTriangle> collisionTriangles;
  std::vector<CollisionSurface> collisionSurfaces;
  std::vector<BspNode> nodes;
  std::vector<BspLeaf> leaves;
  std::vector<BspPlane> planes;
  std::vector<int32_t> leafFaces;
  std::vector<int32_t> leafBrushes;
  std::vector<BspBrush> brushes;
  std::vector<BspBrushSide> brushSides;
  // The models lump, boxes converted to game coordinates (minimum below maximum). Empty
  // for a level without one; model 0 is the world. Parse checked the face and brush ranges.
  std::vector<BspModel> models;
  std::vector<ModelPlacement> modelPlacements;  // one per model; Parse sets them at rest
  std::vector<BspTextureRecord> textures;     // kept for the contents flags
  std::string entityText;                     // lump 0 as text: "{ "key" "value" ... }" blocks
  std::vector<uint8_t> lightmapTexels;        // pages as read; LoadBSP brightens, uploads, frees
  int32_t clusterCount = 0;
  int32_t bytesPerCluster = 0;
  std::vector<uint8_t> visibility;            // empty: no visibility data
  Texture textureNames[TextureNameSlots] = {};
  // Per texture record, from the shader scripts (all opaque and drawn when none speak of it).
  std::vector<SurfaceMaterial> materials;
  Texture skyCube = 0;                        // the sky box as a cube texture; 0: a flat sky
  std::vector<StagedMaterial> stagedMaterials;
  std::vector<Texture> stageTextures;         // every texture the stages made (deleted with the level)
  CloudSky clouds;
  std::vector<FogVolume> fogs;                // lump 12, in file order
  LightGrid lightGrid;
  // Sizes the light grid's cells (read by Parse) for the world box (file axes) and the
  // worldspawn's "gridsize"; a grid whose cells do not fill that box exactly is dropped
  // (light_grid.cpp).
  void SetUpLightGrid(const float worldMins[3], const float worldMaxs[3], bool haveBox);
  // Draws the faces stage by stage under the current model-view matrix (eye in its
  // coordinates): faces whose material has stages (stage_faces.cpp). `blended` picks the
  // faces whose first stage blends (drawn far to near) or the others.
  void DrawStagedFaces(const std::vector<int32_t>& faceList, Vec3 eye, bool blended);
  std::vector<uint32_t> facesDrawn;           // one bit per face

  int NumLightmaps() const { return lightmapCount_; }  // also after the pages were freed
  // Whether the face has a lightmap page; without one (index negative or past the last
  // page) it is lit by its vertex colours.
  bool HasLightmap(const BspFace& face) const {
    return face.lightmapIndex >= 0 && face.lightmapIndex < lightmapCount_;
  }

 private:
  // One run of visible faces that share a surface texture and a lightmap.
  struct FaceBatch {
    Texture texture = 0, lightmap = 0;
    uint32_t firstIndex = 0, indexCount = 0;
    bool alone = false;    // one face reaching outside the view, drawn on its own
    bool colours = false;  // faces lit by their vertex colours
    uint8_t look = 0;      // FaceLook of its faces' material
  };
  void DrawFaceBatches(Vec3 cameraPosition);
  // Faces the scripts set apart from the opaque batches: nodraw faces are dropped, sky and
  // blended faces kept for their own passes after the opaque faces (sky.cpp,
  // blended_faces.cpp). True when the face is set apart.
  bool SetAside(int32_t face);
  void AppendFaceTriangles(int32_t face, std::vector<uint32_t>* indices) const;  // into vertices
  void DrawSky(Vec3 eye);
  void DrawBlendedFaces(Vec3 eye);
  std::vector<int32_t> skyFaces_, blendedFaces_, stagedFaces_;  // this frame's, in the leaves' order
  void DrawCloudDome(Vec3 eye);       // the cloud sky behind everything drawn so far (cloud_sky.cpp)
  // The sky box (texture unit 0, the caller turned 2D texturing off), or the flat sky colour,
  // on the triangles `indices` of the current arrays; leaves the current colour changed.
  void DrawSkyBackdrop(Vec3 eye, const std::vector<uint32_t>& indices) const;
  void DrawFogVolumes(Vec3 eye);      // fog over the faces seen in or through a fog (fog_volumes.cpp)
  // The stages' pictures come from `pictures`, the textures made so far while loading (each
  // picture file is read once however many records and stages name it).
  void LoadStagedMaterial(const ShaderEntry& entry, LoadedPictures* pictures);  // surface_textures.cpp

  std::vector<BspVertex> stageVertices_;  // a face's vertices as a stage draws them
  std::vector<float> stageCoords_;         // their texture coordinates on units past the second
  std::vector<uint8_t> stageTwins_;        // per stage of a face: drawn with its twin
  // A face drawn stage by stage this frame: what decides its place and the run it joins.
  struct StagedFaceEntry {
    float distance = 0;   // blended faces: minus the squared distance of its centre
    int32_t staged = -1, lightmap = -1, face = -1;
    uint32_t twins = 0;   // bit k: stage k drawn with its twin
  };
  std::vector<StagedFaceEntry> stagedOrder_;
  std::vector<BspVertex> stageOriginals_;  // a run's vertices as stored
  std::vector<uint32_t> stageIndices_;
  std::vector<uint32_t> skyIndices_, blendedIndices_;
  void BindTexturesOf(const BspFace& face);  // surface texture on unit 0, lightmap on 1
  bool WhollyBeyond(const FaceGeometry& face, const float modelView[16], float depth) const;
  // Leaves out of visibleFaces_ the faces out of view or facing away (with cullFacesApart)
  // and those wholly beyond `fogDepth` (face_culling.cpp).
  void CullVisibleFaces(float fogDepth);
  bool AnyFogVolume() const;  // whether fog volumes are laid over the faces (DrawFogVolumes)
  int32_t lastListedFace_ = -1;              // the leaves' last face this frame, drawn or not
  // Per texture slot, the twin without mip levels (0: none) and its size in texels.
  Texture magnifiedNames_[TextureNameSlots] = {};
  std::vector<Texture> twinTextures_;        // every twin made, once each (slots and stages share them)
  int textureSizes_[TextureNameSlots][2] = {};
  float viewClip_[16] = {};                  // projection x model-view of this frame
  float viewportHalf_[2] = {0, 0};           // half the viewport's width and height
  std::vector<FaceCorner> clipCorners_[2];   // a face cut to the view, and scratch
  void DestroyMagnifiedTwins();
  void BeginMagnifiedTest();
  // Replaces the face's surface texture and lightmap by their twins where every pixel of the
  // face shows fewer than about 1.15 texels of them.
  void MagnifiedTextures(const BspFace& face, Texture* texture, Texture* lightmap);
  // The most the face's texture (0) and lightmap (1) coordinates change from one pixel to the
  // next over the part of it in view: |ds/dx|, |dt/dx|, |ds/dy|, |dt/dy| each, in coordinate
  // units. False where twins are not to be chosen (too small on screen, seen edge on).
  bool FaceCoordinateSteps(const BspFace& face, float steps[2][4]);
  // Per stage of the staged face, whether its picture (or the face's lightmap, for a lightmap
  // stage) may be drawn with its twin at `seconds`: every pixel shows fewer than about 1.15
  // of its texels, its coordinates moved by the stage's tcMods. Flat faces without deforms only.
  void MagnifiedStages(const BspFace& face, const StagedMaterial& staged, double seconds, std::vector<uint8_t>* twins);
  std::vector<int32_t> visibleFaces_;        // this frame's faces in the leaves' order
  std::vector<BspVertex> batchVertices_;     // their vertices, copied in drawing order
  std::vector<uint32_t> batchIndices_;       // triangles into batchVertices_
  std::vector<FaceBatch> batches_;
  std::vector<std::pair<float, int32_t>> faceOrder_;  // (sort key, place in visibleFaces_) scratch
  std::vector<std::pair<Texture, Texture>> facePairs_;  // per visible face, the textures drawn
  std::unordered_map<uint64_t, int> pairRank_;        // texture pair -> its batch's place

  float boundsMins_[3] = {}, boundsMaxs_[3] = {};  // around leaves and vertices (ComputeBounds)
  bool CheckTree(std::string* reason) const;
  bool CheckFace(size_t index, std::string* reason) const;  // any lightmap index is fine
  bool CheckBrushSidesApart(std::string* reason) const;
  // After conversion: index lists, patch grids, collision triangles, all within
  // LevelBuildBudget(fileBytes); false with the reason (nothing built) when even the coarsest
  // patches cost more.
  bool BuildFaceGeometry(size_t fileBytes, std::string* reason);
  Texture LightmapOf(const BspFace& face) const;  // the page, or white for vertex colours
  Texture whiteTexture_ = 0;                 // 1 x 1 white: the lightmap of faces without one
  std::vector<BspVertex> colouredVertices_;  // RenderFace's scratch: colours times the current colour
  // The solid curved surfaces gathered on the way whose box the move reaches, triangle by
  // triangle.
  void CheckCollisionSurfaces();
  void CheckTriangle(const CollisionTriangle& triangle);
  void CheckNode(int node, float startFraction, float endFraction, Vec3 p0, Vec3 p1);
  void CheckLeaf(int leaf);
  void CheckBrush(const BspBrush& brush);
  void CheckModels();   // brush models 1, 2, ... at their placements (model_trace.cpp)
  bool BoxReachesVisibleLeaf(int node, const float mins[3], const float maxs[3], int cameraCluster) const;
  TraceResult trace_;       // working state of the trace in progress
  // Brushes already tested by the trace in progress (a brush is listed in every leaf it
  // reaches, and testing it again would give the same answer).
  std::vector<uint32_t> brushTestedBy_;
  uint32_t traceNumber_ = 0;
  // Per brush, the box its axis-aligned sides enclose (unbounded where it has none): a
  // move that keeps clear of it cannot touch the brush. Built with brushTestedBy_.
  struct BrushBounds {
    float mins[3], maxs[3];
  };
  std::vector<BrushBounds> brushBounds_;
  float sweptMins_[3] = {}, sweptMaxs_[3] = {};  // the trace in progress, widened
  void BuildBrushBounds();
  bool SweptBoxMisses(int brush) const;
  // The solid curved surfaces listed per leaf, as brushes are (surface_leaves.cpp): each in
  // every leaf its box reaches; those reaching too many leaves are tested by every trace.
  // The trace gathers the surfaces of the leaves it passes and tests them in index order
  // after the brushes. Built with brushTestedBy_.
  std::vector<uint32_t> surfaceTestedBy_;
  std::vector<int32_t> leafSurfaceStart_;    // per leaf, and one past the last
  std::vector<int32_t> leafSurfaces_;
  std::vector<int32_t> everywhereSurfaces_;
  std::vector<int32_t> surfaceCandidates_;   // the trace in progress's
  void BuildSurfaceLeaves();
  void GatherLeafSurfaces(int leaf);
  int lightmapCount_ = 0;
};
