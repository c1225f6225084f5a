// The level compiler's curved surfaces: each source patch becomes one patch face of control
// vertices (file coordinates), textured along its rows and columns and lit at its control
// points through vertex colours (it has no lightmap page), listed in every leaf it reaches.
#pragma once
#include <functional>
#include <vector>

#include "core/bsp_format.h"
#include "tools/levelc/bsp_tree.h"

// Appends the patches' faces, vertices and leaf entries. textureIndex(material, solid) gives
// the texture record; brightness is the Config.ini factor colours are stored for.
void WritePatchFaces(const MapSource& map, const std::vector<CompiledBrush>& brushes, BspTree* tree,
                     int firstFaceIndex, double brightness, const std::function<int(int, bool)>& textureIndex,
                     BspFileData* out);
