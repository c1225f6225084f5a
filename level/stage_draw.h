// Drawing the stages of one surface (stage_faces.cpp), shared by the level's faces and the
// cloud sky: what a surface brings to its stages, and the GL state its passes set.
#pragma once
#include <GL/gl.h>

#include <cstdint>
#include <vector>

#include "core/level.h"
#include "level/draw_state.h"
#include "level/face_looks.h"
#include "level/stage_passes.h"

struct StageInputs {
  const BspVertex* originals = nullptr;  // the surface's vertices as stored (coordinates, colours)
  const uint32_t* indices = nullptr;     // triangles, offsets into the vertices
  uint32_t indexCount = 0;
  Texture lightmap = 0, white = 0;       // what $lightmap and $whiteimage stages show
  // Per stage, whether it shows the twin of its picture (of the lightmap: lightmapTwin)
  // without mip levels (Level::MagnifiedStages); null: none does.
  const uint8_t* twins = nullptr;
  Texture lightmapTwin = 0;
  bool vertexLight = false;              // $lightmap shows the vertex colours (no page)
  double seconds = 0;                    // the surfaces' clock
  const float* tint = nullptr;           // the current colour, times every stage that does not multiply
  bool fog = false;                      // fog for the stages that do not multiply
  GLenum firstDepth = GL_LESS, laterDepth = GL_EQUAL;
  bool writeDepth = true;                // false: no stage writes depth
  uint8_t look = 0;                      // culling (face_looks.h); alpha tests come per stage
};

// The GL state of stage passes from one surface to the next: saved when made, changed only
// where a pass asks for something other than the pass before, and put back by Finish (blend,
// fog, depth, colour, looks, and texture units 1 and up back to their usual modulate, off).
class StagePasses {
 public:
  StagePasses();
  // How many units a pass may take and how they combine, for surfaces tinted by `tint`.
  PassLimits Limits(const float tint[4], bool vertexLight) const;
  void Finish();

  void Blend(bool on, GLenum source, GLenum destination);
  void Depth(GLenum function, bool writes);
  void Fog(bool on);
  // Units 0 .. count - 1 on, each unit after the first joining as `joins` says, the rest off.
  void Units(size_t count, const UnitJoin* joins, const float (*colours)[4]);
  void Bind(size_t unit, Texture texture);
  void Look(uint8_t look) { looks_.Apply(look); }

  const SavedDrawState& saved() const { return saved_; }

 private:
  SavedDrawState saved_;
  FaceLooks looks_;
  int units_ = 1;
  bool modulateAdd_ = false;
  // What is set; -1: not known yet.
  int blend_ = -1, fog_ = -1, depthWrites_ = -1;
  GLenum source_ = 0, destination_ = 0, depthFunction_ = 0;
  size_t enabled_ = 1;                              // units with texturing on
  UnitJoin joins_[MaxStageUnits] = {};              // the combine set on each unit (None: modulate)
  Texture bound_[MaxStageUnits] = {};
  bool boundKnown_[MaxStageUnits] = {};
  bool coordArrays_[MaxStageUnits] = {};            // client texture coordinate arrays this class turned on
};

// Draws every stage of `staged` over the vertices in *scratch, whose positions the caller
// set (moved by deforms); their texture coordinates and colours are rewritten per pass, and
// `coords` holds the coordinates of units 2 and up. Stages are gathered into passes as
// `limits` allow (stage_passes.h); stages adding a colour that is black now are left out.
// Gives the number of passes drawn.
int DrawStages(const StagedMaterial& staged, const StageInputs& in, const PassLimits& limits,
               std::vector<BspVertex>* scratch, std::vector<float>* coords, StagePasses* gl);
