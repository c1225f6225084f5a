// Billboards: everything that glows (a flying shot, a trail, an impact spark, a steam
// particle) is a textured square facing the viewer, added onto the picture without writing
// depth. A small type code picks the effect picture and whether the alpha is used.
//
// BillboardBatch collects many billboards and draws each run of one picture with a single
// call; DrawBillboard is a batch of one, so both put exactly the same pixels on screen.
// This is the batch the particle system keeps; the type codes, the effect pictures and
// DrawBillboard are combat/billboard.h.
#pragma once
#include <cstddef>
#include <vector>

#include "core/vec3.h"

// Which part of a billboard's square is drawn, and how its picture is turned.
struct BillboardShape {
  // The middle part drawn, as a fraction of the half-size (the square shrinks with the part
  // of the picture on it): 1 draws it all; less leaves out a margin the picture keeps dark.
  float extent = 1;
  int turn = 0;  // 0..3 quarter turns of the picture, +4 mirrored
};

class BillboardBatch {
 public:
  // Reads the current model-view and projection matrices, the viewport and the fog: the
  // billboards are placed in eye space, and those that cannot change a pixel are left out.
  void Begin();
  // One billboard: centre, colour on 0..255, alpha, half-size, type code. Returns false when
  // it was left out: wholly outside the view volume, or adding nothing that survives
  // rounding to the colour buffer's bytes (too faint, or lost in black fog).
  bool Add(Vec3 position, float red, float green, float blue, float alpha, float size, int type,
           BillboardShape shape = BillboardShape{});
  // Draws everything added since Begin (the squares at full opacity first, each list in
  // order: additive blending gives the same sums in any order) and leaves blending off, depth
  // writes on, texturing off and the colour white. Returns the number of draw calls it made.
  int Flush();
  // Squares per draw call at most. The GL takes scratch memory in proportion to the vertices
  // of one call: in calls of bounded size it stays the same however many particles live,
  // instead of growing the heap with every new peak of the particle count.
  static constexpr size_t MaxSquaresPerDraw = 1024;
  // Billboards kept for drawing since Begin.
  int size() const { return static_cast<int>(plain_.textures.size() + blended_.textures.size()); }

 private:
  struct Corner {
    float x, y, z;        // eye space
    float u, v;
    float r, g, b, a;
  };
  float modelView_[16] = {};
  float projection_[16] = {};
  // Fog as the GL applies it, and whether it only darkens (black fog).
  bool fogOn_ = false, fogBlack_ = true;
  int fogMode_ = 0;
  float fogDensity_ = 0, fogStart_ = 0, fogEnd_ = 1;
  struct List {
    std::vector<Corner> corners;         // 4 per billboard
    std::vector<unsigned int> textures;  // one per billboard
  };
  List plain_;    // at full opacity: added with the plain additive blend
  List blended_;  // the others: scaled by their alpha
  // Lists of up to this many squares keep their memory from frame to frame.
  static constexpr size_t SquaresKeptAlways = 4096;
  // Draws a list, one call per run of one picture (runs longer than MaxSquaresPerDraw in
  // several), and empties it; a list that held far more squares before gives that memory
  // back. Returns the calls made.
  int DrawList(List& list);
  // The largest fog factor the GL may give a fragment at the given depth in front of the eye.
  float MaxFogFactor(float depth) const;
};
