// The level compiler: turns a level source text into a level file (file coordinates, z up).
// Steps: parse, brush polygons, hidden-face removal, BSP tree, lightmaps, visibility.
// The result is the same byte for byte whatever the number of threads.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/bsp_format.h"
#include "tools/levelc/map_source.h"

struct CompileOptions {
  int threads = 0;             // lighting and visibility workers; 0: the machine's cores
  double luxelSize = 8;        // level units per lightmap texel
  double faceGrid = 512;       // faces are cut on this world grid
  float brightness = 2;        // the Config.ini factor the lightmaps are stored for
  bool visibility = true;      // false: no visibility lump (everything visible)
};

struct CompileStats {
  double parseSeconds = 0, geometrySeconds = 0, treeSeconds = 0;
  double lightSeconds = 0, visSeconds = 0, totalSeconds = 0;
  int brushes = 0, faces = 0, leaves = 0, clusters = 0, lightmapPages = 0;
  double visibleClusterShare = 1;  // average share of clusters each cluster sees
};

// Compiles the source text. False with a reason ("line N: ...") on bad input.
bool CompileLevel(const std::string& sourceText, const CompileOptions& options, BspFileData* out,
                  CompileStats* stats, std::string* error);
bool CompileLevelFile(const std::string& sourcePath, const std::string& outPath, const CompileOptions& options,
                      CompileStats* stats, std::string* error);

// World (y up) to file (z up) coordinates, the inverse of the loader's conversion.
inline void WorldToFile(double x, double y, double z, float out[3]) {
  out[0] = static_cast<float>(x);
  out[1] = static_cast<float>(-z);
  out[2] = static_cast<float>(y);
}
