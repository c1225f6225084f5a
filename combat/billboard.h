// Billboards: everything that glows (a flying shot, a trail, an impact spark, a steam
// particle) is a textured square facing the viewer, added onto the picture without writing
// depth. A small type code picks the effect picture and whether the alpha is used.
//
// BillboardBatch collects many billboards and draws each run of one picture with a single
// call; DrawBillboard is a batch of one, so both put exactly the same pixels on screen.
#pragma once
#include <vector>

#include "core/vec3.h"

// Type codes of the effects that carry them.
constexpr int GrenadeType = 13;        // grenade in flight: "P1.bmp"
constexpr int PlasmaType = 12;         // "P2.bmp"
constexpr int RifleTrailKind = 66;     // "P7.bmp", with alpha
constexpr int SparkKind = 77;          // impact spark: "P5.bmp", with alpha
constexpr int GrenadeTrailKind = 88;   // "P5.bmp", with alpha

// The effectTextures slot a type code draws with (unknown codes: slot 2, "P3.bmp").
int BillboardTextureSlot(int type);
// True for the type codes whose alpha is used (the others draw fully opaque colour).
bool BillboardUsesAlpha(int type);

class BillboardBatch {
 public:
  // Reads the current model-view matrix: the billboards are placed in its eye space.
  void Begin();
  // One billboard: centre, colour on 0..255, alpha, half-size, type code.
  void Add(Vec3 position, float red, float green, float blue, float alpha, float size, int type);
  // Draws everything added since Begin, in order, and leaves blending off, depth writes on,
  // texturing off and the colour white. Returns the number of draw calls it made.
  int Flush();
  int size() const { return static_cast<int>(textures_.size()); }

 private:
  float modelView_[16] = {};
  std::vector<float> vertices_;   // eye space, 3 per corner
  std::vector<float> texCoords_;  // 2 per corner
  std::vector<float> colours_;    // 4 per corner
  std::vector<unsigned int> textures_;  // one per billboard
};

// Draws one billboard at once (see BillboardBatch::Add).
void DrawBillboard(Vec3 position, float red, float green, float blue, float alpha, float size, int type);
