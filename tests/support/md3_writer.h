// Writes small MD3 files and character folders for the model tests, the fuzz seeds and the
// benchmarks: parts made of boxes, tags per frame, and the text files that go with them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/vec3.h"

struct TestMd3Surface {
  std::string name;
  int vertexCount = 0;
  std::vector<int32_t> triangles;  // three vertex indices each
  std::vector<float> texCoords;    // s, t per vertex, as stored in the file
  std::vector<int16_t> vertices;   // x, y, z per vertex, frame-major, in 1/64 units
  int shaderCount = 0;             // shader records written behind the surface header
};

struct TestMd3Tag {
  std::string name;
  Vec3 origin;
  float axes[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
};

struct TestMd3 {
  int frames = 1;
  int tagsPerFrame = 0;
  std::vector<TestMd3Tag> tags;    // frames x tagsPerFrame, frame-major
  std::vector<TestMd3Surface> surfaces;
};

// The file bytes: header, frame records, tags, then each surface as header, shader records,
// triangles, texture coordinates, vertices.
std::vector<uint8_t> WriteMd3(const TestMd3& model);
// Where surface s starts in the bytes WriteMd3 gives (fields for damage tests).
size_t Md3SurfaceOffset(const TestMd3& model, int s);

// A hostile file: the given number of surface headers, every one pointing at the same block of
// texture coordinates and vertices (all zero). Small on disk, it claims surfaces x frames x
// vertices decoded vertices.
std::vector<uint8_t> WriteSharedBlockMd3(int surfaces, int frames, int vertices);

// Adds a box surface (double-sided, so culling never hides it); frame f is the box moved
// by f * step. Sizes in model units.
void AddBox(TestMd3* model, const std::string& name, Vec3 min, Vec3 max, Vec3 step = Vec3());
// Adds the same tag to every frame, frame f moved by f * step.
void AddTag(TestMd3* model, const std::string& name, Vec3 origin, Vec3 step = Vec3());

// A complete test character "<dir>/<name>/..." (three parts, skins naming one .tga texture
// written there too, an animation file of the usual 25 clips) and a weapon
// "<dir>/weapons/<weapon>.md3" with its shader. Feet at z = -27, the head above z = 20,
// the hand at +Y of the upper body. Lower-body frame f moves the left leg f units along +X, the
// right leg f units along -X and tag_torso f / 4 units up.
void WriteTestCharacter(const std::string& dir, const std::string& name);
void WriteTestWeapon(const std::string& dir, const std::string& name);
void WriteFile(const std::string& path, const std::string& bytes);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
// The animation file of the test characters (frames: BOTH 0..5, TORSO 6..9, LEGS 10..13
// in the whole figure's numbering).
std::string TestAnimationConfig();
