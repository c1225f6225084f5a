// Drawing the stages of one surface (stage_faces.cpp), shared by the level's faces and the
// cloud sky: what a surface brings to its stages.
#pragma once
#include <GL/gl.h>

#include <cstdint>
#include <vector>

#include "core/level.h"
#include "level/face_looks.h"

struct StageInputs {
  const BspVertex* originals = nullptr;  // the surface's vertices as stored (coordinates, colours)
  const uint32_t* indices = nullptr;     // triangles, offsets into the vertices
  uint32_t indexCount = 0;
  Texture lightmap = 0, white = 0;       // what $lightmap and $whiteimage stages show
  bool vertexLight = false;              // $lightmap shows the vertex colours (no page)
  double seconds = 0;                    // the surfaces' clock
  const float* tint = nullptr;           // the current colour, times every stage that does not multiply
  bool fog = false;                      // fog for the stages that do not multiply
  GLenum firstDepth = GL_LESS, laterDepth = GL_EQUAL;
  bool writeDepth = true;                // false: no stage writes depth
  uint8_t look = 0;                      // culling (face_looks.h); alpha tests come per stage
};

// Draws every stage of `staged` over the vertices in *scratch, whose positions the caller
// set (moved by deforms); their texture coordinates and colours are rewritten per stage.
// Leaves blend, depth and fog state changed: the caller saves and restores it.
void DrawStages(const StagedMaterial& staged, const StageInputs& in, std::vector<BspVertex>* scratch, FaceLooks* looks);
