// An MD3 model as the generator builds it (surfaces with their per-frame vertex positions,
// named tags per frame) and its little-endian encoding.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/chargen/xform.h"

struct Md3OutSurface {
  std::string name;    // mesh name the skin lines refer to
  std::string shader;  // texture path recorded in the surface's one shader record
  std::vector<float> texCoords;         // s, t per vertex; t runs down from the picture's top
  std::vector<int32_t> triangles;       // three vertex indices each, outside counter-clockwise
  std::vector<std::vector<Vec3>> frames;  // per frame, one position per vertex
};

struct Md3OutTag {
  std::string name;
  Xform place;  // origin and orthonormal axes in the model's space
};

struct Md3Out {
  std::string name;
  int frameCount = 0;
  std::vector<std::vector<Md3OutTag>> tags;  // per frame, the same tag names in the same order
  std::vector<Md3OutSurface> surfaces;
};

// Vertex positions are stored as 1/64 units in 16 bits: keep models inside +-511 units.
constexpr float Md3Scale = 64.0f;

// Encodes the model. The game culls the faces that are counter-clockwise on screen, so
// triangles are written in the opposite order to the builder's outside-CCW winding.
std::vector<uint8_t> EncodeMd3(const Md3Out& model);
