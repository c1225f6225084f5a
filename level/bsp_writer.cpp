// Writes BspFileData as a level file: header, then every lump in index order, each
// 4-byte aligned. Used by the level compiler and by tests that build small levels.
#include <cstring>

#include "core/bsp_format.h"
#include "level/bsp_writer.h"

namespace {

template <typename T>
void AppendLump(std::vector<uint8_t>* out, int32_t lumps[][2], int index, const T* data, size_t bytes) {
  while (out->size() % 4 != 0) out->push_back(0);
  lumps[index][0] = static_cast<int32_t>(out->size());
  lumps[index][1] = static_cast<int32_t>(bytes);
  const uint8_t* p = reinterpret_cast<const uint8_t*>(data);
  out->insert(out->end(), p, p + bytes);
}

template <typename T>
void AppendVector(std::vector<uint8_t>* out, int32_t lumps[][2], int index, const std::vector<T>& v) {
  AppendLump(out, lumps, index, v.data(), v.size() * sizeof(T));
}

}  // namespace

std::vector<uint8_t> WriteBspFile(const BspFileData& file) {
  std::vector<uint8_t> out(BspHeaderSize, 0);
  int32_t lumps[LumpCount][2] = {};
  std::vector<char> entities = file.entities;
  if (entities.empty() || entities.back() != '\0') entities.push_back('\0');
  AppendVector(&out, lumps, LumpEntities, entities);
  AppendVector(&out, lumps, LumpTextures, file.textures);
  AppendVector(&out, lumps, LumpPlanes, file.planes);
  AppendVector(&out, lumps, LumpNodes, file.nodes);
  AppendVector(&out, lumps, LumpLeaves, file.leaves);
  AppendVector(&out, lumps, LumpLeafFaces, file.leafFaces);
  AppendVector(&out, lumps, LumpLeafBrushes, file.leafBrushes);
  AppendVector(&out, lumps, LumpModels, file.models);
  AppendVector(&out, lumps, LumpBrushes, file.brushes);
  AppendVector(&out, lumps, LumpBrushSides, file.brushSides);
  AppendVector(&out, lumps, LumpVertices, file.vertices);
  AppendVector(&out, lumps, LumpMeshVertices, file.meshVertices);
  AppendVector(&out, lumps, LumpEffects, file.fogs);
  AppendVector(&out, lumps, LumpFaces, file.faces);
  AppendVector(&out, lumps, LumpLightmaps, file.lightmaps);
  AppendVector(&out, lumps, LumpLightVolumes, file.lightGrid);
  if (file.clusterCount > 0) {
    std::vector<uint8_t> vis(8 + file.visibility.size());
    std::memcpy(vis.data(), &file.clusterCount, 4);
    std::memcpy(vis.data() + 4, &file.bytesPerCluster, 4);
    if (!file.visibility.empty()) std::memcpy(vis.data() + 8, file.visibility.data(), file.visibility.size());
    AppendVector(&out, lumps, LumpVisibility, vis);
  } else {
    AppendLump(&out, lumps, LumpVisibility, static_cast<const uint8_t*>(nullptr), 0);
  }
  std::memcpy(out.data(), file.magic, 4);
  std::memcpy(out.data() + 4, &file.version, 4);
  std::memcpy(out.data() + 8, lumps, sizeof(lumps));
  return out;
}
