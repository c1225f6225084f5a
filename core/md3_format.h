// The MD3 model file and its in-memory form. An MD3 file holds triangle meshes with a full set
// of vertex positions per animation frame, plus named attachment points (tags) per frame.
// All integers are signed 32-bit little-endian; floats are IEEE single precision.
//
// File order: a 108-byte header; F frame records of 56 bytes (not used); F x T tag records
// of 112 bytes, frame by frame; then S surfaces, each a 108-byte surface header followed by
// blocks at offsets relative to the surface start. The header's own block offsets are not
// used: the blocks are read in file order behind the header.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/vec3.h"

constexpr int Md3HeaderSize = 108;
constexpr int Md3FrameRecordSize = 56;
constexpr int Md3TagRecordSize = 112;
constexpr int Md3SurfaceHeaderSize = 108;
constexpr int Md3TriangleSize = 12;       // three int32 vertex indices
constexpr int Md3TexCoordSize = 8;        // two floats s, t
constexpr int Md3VertexSize = 8;          // x, y, z int16, then a packed normal (not used)
constexpr int Md3Version = 15;
constexpr float Md3VertexScale = 1.0f / 64.0f;
// Larger files are refused before they are read; our characters are well below 1 MB.
constexpr int64_t Md3MaxFileBytes = int64_t{64} << 20;
// Memory that decoded models may take. Surfaces may share their blocks, so a small file can
// claim far more than it holds; every model is held to the smaller of this and a budget
// from its file size (Md3FileBudget), and a whole character (head, upper and lower body,
// weapon) to CharacterBudgetBytes. Our largest body part decodes to about 1.7 MB.
constexpr int64_t Md3ModelBudgetBytes = int64_t{32} << 20;
constexpr int64_t CharacterBudgetBytes = int64_t{48} << 20;

struct Md3Tag {
  char name[65] = {};       // up to 64 characters from the file, NUL-terminated
  Vec3 origin;
  float axes[9] = {};       // three axis vectors, in file order
};

struct Md3Face {
  int32_t vertexIndex[3] = {};    // each below the mesh's vertexCount (checked at load)
  int32_t texCoordIndex[3] = {};  // the same indices; drawing looks texture coordinates up by vertex
};

struct Md3Mesh {
  int32_t vertexCount = 0;        // V
  int32_t faceCount = 0;          // N
  int32_t texCoordCount = 0;      // V: one texture coordinate per vertex
  int32_t materialId = 0;         // index into the model's materials; 0 until a skin assigns one
  bool hasTexture = false;        // false until a skin or shader file assigns a material
  std::string name;               // surface name, at most 64 characters
  std::vector<Vec3> vertices;     // frameCount x V, frame-major: vertex v of frame f at f * V + v
  std::vector<Vec3> normals;      // always empty: the game draws without lighting
  std::vector<float> texCoords;   // V pairs (u, v), v with the file's sign flipped
  std::vector<Md3Face> faces;     // N triangles
};

struct MeshMaterial {
  std::string fileName;           // texture image file name, without folder
  int32_t textureId = -1;         // slot in the character's texture table; -1: no texture
};

struct AnimationClip {
  std::string name;               // as written in the file, at most 255 characters
  int32_t startFrame = 0;         // first frame, in the numbering of the model holding the clip
  int32_t endFrame = 0;           // one past the last frame
  int32_t loopingFrames = 0;      // as written; not used by the animation
  int32_t framesPerSecond = 0;    // playback rate; 0 or less holds the clip still
};

// One loaded MD3 file with its materials, clips and animation state.
struct Md3Model {
  int32_t meshCount = 0;
  int32_t materialCount = 0;
  std::vector<MeshMaterial> materials;
  std::vector<Md3Mesh> meshes;
  int32_t animationCount = 0;
  int32_t currentAnimation = 0;   // index into animations
  int32_t currentFrame = 0;       // frame being left; always below frameCount
  int32_t nextFrame = 0;          // frame being approached; always below frameCount
  float blend = 0;                // 0 at currentFrame, 1 at nextFrame (may exceed 1, see AdvanceAnimation)
  // Milliseconds (platform clock) of the last frame change. Kept as an integer: a float
  // stops counting single milliseconds after about four and a half hours.
  uint32_t lastFrameTime = 0;
  std::vector<AnimationClip> animations;
  int32_t tagCount = 0;           // T
  std::vector<Md3Model*> links;   // T entries: the child hung at each tag, or null; not owned
  std::vector<Md3Tag> tags;       // frameCount x T, frame-major
  // F from the header. Every vertex and tag array holds exactly this many frames, so any
  // frame below it can be drawn; 0 only for an empty model.
  int32_t frameCount = 0;
};
