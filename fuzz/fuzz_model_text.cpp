// Fuzz target for the skin, shader and animation-file readers: the same bytes go through all
// three. Every material a mesh names must exist, and every clip the animation file gives
// must play only frames the model has.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/character.h"
#include "models/model_files.h"
#include "models/model_tags.h"

namespace {

Md3Model ModelWithMeshes(int frames) {
  Md3Model model;
  model.frameCount = frames;
  for (const char* name : {"h_head", "u_torso", "u_arm", "l_legs", "l", "w_barrel"}) {
    Md3Mesh mesh;
    mesh.name = name;
    model.meshes.push_back(mesh);
  }
  model.meshCount = static_cast<int32_t>(model.meshes.size());
  return model;
}

void CheckMaterials(const Md3Model& model) {
  if (model.materials.size() != static_cast<size_t>(model.materialCount)) __builtin_trap();
  for (const Md3Mesh& mesh : model.meshes) {
    if (mesh.hasTexture && (mesh.materialId < 0 || mesh.materialId >= model.materialCount)) __builtin_trap();
  }
}

void CheckClips(Md3Model* model) {
  if (model->animations.size() != static_cast<size_t>(model->animationCount)) __builtin_trap();
  for (int32_t i = 0; i < model->animationCount; ++i) {
    model->currentAnimation = i;
    int32_t start = 0, end = 0;
    ClipFrameRange(*model, &start, &end);
    if (start < 0 || start >= end || end > model->frameCount) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Md3Model skinned = ModelWithMeshes(1);
  ApplySkinText(&skinned, text);
  CheckMaterials(skinned);
  Md3Model weapon = ModelWithMeshes(1);
  ApplyShaderText(&weapon, text);
  CheckMaterials(weapon);

  Md3Model upper = ModelWithMeshes(20), lower = ModelWithMeshes(30);
  std::string error;
  if (ParseAnimationConfig(text, &upper, &lower, &error)) {
    if (upper.animationCount > MaxClipLines || lower.animationCount > MaxClipLines) __builtin_trap();
    CheckClips(&upper);
    CheckClips(&lower);
  } else if (error.empty() || !upper.animations.empty() || !lower.animations.empty()) {
    __builtin_trap();
  }
  return 0;
}
