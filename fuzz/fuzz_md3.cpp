// Fuzz target for the MD3 reader. After a file is accepted it reads every vertex, texture
// coordinate and tag that drawing can reach, so a gap in the checks shows up as an
// out-of-bounds read; a refusal must name its reason. The reader applies the game's own
// decoded-size budget, so inputs up to 1 MB (scripts/fuzz) stay within libFuzzer's memory limit.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/md3_format.h"
#include "models/md3_loader.h"

namespace {

volatile float gSink;

void Touch(const Md3Model& model) {
  const size_t frames = static_cast<size_t>(model.frameCount);
  if (frames < 1 || model.tags.size() != frames * static_cast<size_t>(model.tagCount) ||
      model.links.size() != static_cast<size_t>(model.tagCount) ||
      model.meshes.size() != static_cast<size_t>(model.meshCount))
    __builtin_trap();
  float sum = 0;
  for (const Md3Tag& tag : model.tags) sum += tag.origin.x + tag.axes[8];
  for (const Md3Mesh& mesh : model.meshes) {
    const size_t v = static_cast<size_t>(mesh.vertexCount);
    if (mesh.vertices.size() != frames * v || mesh.texCoords.size() != 2 * v) __builtin_trap();
    for (const Md3Face& face : mesh.faces) {
      for (int corner = 0; corner < 3; ++corner) {
        const size_t i = static_cast<size_t>(face.vertexIndex[corner]);
        sum += mesh.texCoords[2 * i + 1] + mesh.vertices[(frames - 1) * v + i].z + mesh.vertices[i].x;
      }
    }
  }
  gSink = sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Md3Model model;
  std::string error;
  if (ParseMd3(data, size, &model, &error))
    Touch(model);
  else if (error.empty())
    __builtin_trap();
  return 0;
}
