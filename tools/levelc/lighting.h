// Lightmaps: every face gets a block of texels (one per luxelSize level units; coarser
// for a face too wide for a page at that size) on a 128 x 128 page, lit by the point lights with shadows traced against the solid brushes,
// plus the ambient light. Faces are lit in parallel; the result does not depend on the
// number of threads.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "tools/levelc/bsp_tree.h"

struct FaceLightmap {
  int page = -1;
  int corner[2] = {0, 0};   // texel position of the block on its page
  int size[2] = {0, 0};     // texels
  int uAxis = 0, vAxis = 1; // world axes the face is projected on
  double uMin = 0, vMin = 0;// world coordinates of texel (0, 0)
  double luxel = 8;         // level units per texel: luxelSize, or more where the face is wider than a page
};

struct LightmapResult {
  std::vector<FaceLightmap> faces;  // one per face
  std::vector<uint8_t> pages;       // LightmapBytes each
};

// brightness: the loader's factor; a stored texel v shows as v * brightness / 255.
LightmapResult BuildLightmaps(const MapSource& map, const std::vector<CompiledBrush>& brushes,
                              const std::vector<FacePolygon>& faces, const BspTree& tree, double luxelSize,
                              double brightness, int threads);

// The light reaching a point of a surface facing along the unit normal n (per channel, 1 =
// the texture at full brightness), with shadows: what a lightmap texel there would hold.
DVec LightPoint(const MapSource& map, const std::vector<CompiledBrush>& brushes, const BspTree& tree, DVec p, DVec n);

// The lightmap coordinate (0..1 on the page) of a point of the face.
void LightmapCoord(const FaceLightmap& lm, DVec p, float out[2]);

// Runs work(i) for i in [0, count) on up to `threads` workers.
void ParallelFor(int count, int threads, const std::function<void(int)>& work);
