// Loading a character: its three body parts, their skins, textures and clips, the weapon,
// and the tags that join them; choosing the clips the bodies play.
#include "core/character.h"

#include <strings.h>

#include <algorithm>
#include <string>

#include "models/md3_loader.h"
#include "models/model_files.h"
#include "models/model_tags.h"
#include "platform/platform.h"

namespace {

std::string PartPath(const char* folder, const char* name, const char* suffix) {
  return std::string(folder) + "/" + name + suffix;
}

// The first clip named name (case ignored), or -1.
int FindClip(const Md3Model& model, const char* name) {
  if (!name) return -1;
  for (size_t i = 0; i < model.animations.size(); ++i) {
    if (strcasecmp(model.animations[i].name.c_str(), name) == 0) return static_cast<int>(i);
  }
  return -1;
}

void StartClip(Md3Model* model, const char* name) {
  const int index = FindClip(*model, name);
  if (index < 0) return;
  model->currentAnimation = index;
  int32_t start = 0, end = 0;
  ClipFrameRange(*model, &start, &end);
  model->currentFrame = start;
}

}  // namespace

CharacterModel& CharacterModel::operator=(const CharacterModel& other) {
  if (this == &other) return *this;
  for (int k = 0; k < MaxCharacterTextures; ++k) textures[k] = other.textures[k];
  textureFiles = other.textureFiles;
  head = other.head;
  upper = other.upper;
  lower = other.lower;
  weapon = other.weapon;
  slowMotion_ = other.slowMotion_;
  arrayDrawing = other.arrayDrawing;
  reach_ = other.reach_;
  viewCulling = other.viewCulling;
  const Md3Model* from[4] = {&other.head, &other.upper, &other.lower, &other.weapon};
  Md3Model* to[4] = {&head, &upper, &lower, &weapon};
  for (Md3Model* model : to) {
    for (Md3Model*& link : model->links) {
      for (int k = 0; k < 4; ++k) {
        if (link == from[k]) {
          link = to[k];
          break;
        }
      }
    }
  }
  return *this;
}

void AttachAtTag(Md3Model* parent, Md3Model* child, const char* tagName) {
  if (!tagName) return;
  // The tags of frame 0 name them all.
  const size_t count = std::min(static_cast<size_t>(parent->tagCount), parent->tags.size());
  for (size_t i = 0; i < count && i < parent->links.size(); ++i) {
    if (strcasecmp(parent->tags[i].name, tagName) == 0) {
      parent->links[i] = child;
      return;
    }
  }
}

void ClipFrameRange(const Md3Model& model, int32_t* start, int32_t* end) {
  int32_t first = 0, last = 1;
  const int index = model.currentAnimation;
  if (index >= 0 && static_cast<size_t>(index) < model.animations.size()) {
    first = model.animations[static_cast<size_t>(index)].startFrame;
    last = model.animations[static_cast<size_t>(index)].endFrame;
  }
  const int32_t frames = std::max(model.frameCount, 1);
  first = std::clamp(first, 0, frames - 1);
  last = std::clamp(last, first + 1, frames);
  *start = first;
  *end = last;
}

bool CharacterModel::LoadCharacter(const char* folder, const char* name) {
  if (!folder || !name) return false;
  // The models, then their skins; the first file that fails shows its message and stops.
  // The three bodies share the character's budget of decoded bytes with the weapon.
  struct ModelFile {
    Md3Model* model;
    const char* suffix;
    const char* failure;
  };
  const ModelFile models[3] = {{&head, "_head.md3", "0 Unable to load the HEAD model!"},
                               {&upper, "_upper.md3", "1 Unable to load the UPPER model!"},
                               {&lower, "_lower.md3", "2 Unable to load the LOWER model!"}};
  int64_t budget = CharacterBudgetBytes - Md3DecodedBytes(weapon);
  for (const ModelFile& file : models) {
    if (!ImportMd3(file.model, PartPath(folder, name, file.suffix).c_str(), budget)) {
      platform::ShowError(file.failure);
      return false;
    }
    budget -= Md3DecodedBytes(*file.model);
  }
  const ModelFile skins[3] = {{&lower, "_lower.skin", "3 Unable to load the LOWER skin!"},
                              {&upper, "_upper.skin", "4 Unable to load the UPPER skin!"},
                              {&head, "_head.skin", "5 Unable to load the HEAD skin!"}};
  for (const ModelFile& file : skins) {
    if (!ApplySkinFile(file.model, PartPath(folder, name, file.suffix).c_str())) {
      platform::ShowError(file.failure);
      return false;
    }
  }
  BindMaterialTextures(this, &lower, folder);
  BindMaterialTextures(this, &upper, folder);
  BindMaterialTextures(this, &head, folder);

  const std::string configPath = PartPath(folder, name, "_animation.cfg");
  std::string reason;
  if (!ReadAnimationConfig(this, configPath.c_str(), &reason)) {
    std::string text = "6 Unable to load the Animation Config File!";
    if (!reason.empty()) text += " (" + configPath + ", " + reason + ")";
    platform::ShowError(text.c_str());
    return false;
  }
  AttachAtTag(&lower, &upper, "tag_torso");
  AttachAtTag(&upper, &head, "tag_head");
  reach_ = ModelReach(lower);
  return true;
}

bool CharacterModel::LoadCharacterWeapon(const char* folder, const char* name) {
  if (!folder || !name) return false;
  const int64_t budget =
      CharacterBudgetBytes - Md3DecodedBytes(head) - Md3DecodedBytes(upper) - Md3DecodedBytes(lower);
  if (!ImportMd3(&weapon, PartPath(folder, name, ".md3").c_str(), budget)) {
    platform::ShowError("7 Unable to load the WEAPON model!");
    return false;
  }
  if (!ApplyShaderFile(&weapon, PartPath(folder, name, ".shader").c_str())) {
    platform::ShowError("8 Unable to load the SHADER file!");
    return false;
  }
  BindMaterialTextures(this, &weapon, folder);
  AttachAtTag(&upper, &weapon, "tag_weapon");
  reach_ = ModelReach(lower);
  return true;
}

bool CharacterModel::ShareWeapon(const CharacterModel& other) {
  const int64_t budget =
      CharacterBudgetBytes - Md3DecodedBytes(head) - Md3DecodedBytes(upper) - Md3DecodedBytes(lower);
  if (this == &other || other.weapon.meshes.empty() || Md3DecodedBytes(other.weapon) > budget) return false;
  weapon = other.weapon;
  // The materials name slots of `other`'s table: each picture gets (or already has) a slot here.
  for (MeshMaterial& material : weapon.materials) {
    const int32_t from = material.textureId;
    if (from < 0 || static_cast<size_t>(from) >= other.textureFiles.size()) continue;
    const std::string& file = other.textureFiles[static_cast<size_t>(from)];
    size_t k = 0;
    while (k < textureFiles.size() && textureFiles[k] != file) ++k;
    if (k == textureFiles.size()) {
      if (k >= static_cast<size_t>(MaxCharacterTextures)) {
        material.textureId = -1;  // table full: drawn untextured, as a fresh load would be
        continue;
      }
      textures[k] = other.textures[from];
      textureFiles.push_back(file);
    }
    material.textureId = static_cast<int32_t>(k);
  }
  AttachAtTag(&upper, &weapon, "tag_weapon");
  reach_ = ModelReach(lower);
  return true;
}

namespace {

float Reach(const Md3Model& model, int depth) {
  float reach = 0;
  for (const Md3Mesh& mesh : model.meshes)
    for (const Vec3& v : mesh.vertices) reach = std::max(reach, Magnitude(v));
  if (depth > 8) return reach;  // the parts hang in a short chain; this bounds a cycle
  const size_t tags = static_cast<size_t>(std::max(model.tagCount, 0));
  for (size_t i = 0; i < tags && i < model.links.size(); ++i) {
    const Md3Model* child = model.links[i];
    if (!child) continue;
    float tagReach = 0;
    for (size_t k = i; k < model.tags.size(); k += tags) tagReach = std::max(tagReach, Magnitude(model.tags[k].origin));
    reach = std::max(reach, tagReach + Reach(*child, depth + 1));
  }
  return reach;
}

}  // namespace

float ModelReach(const Md3Model& model) { return Reach(model, 0); }

void CharacterModel::SetTorsoAnimation(const char* name) { StartClip(&upper, name); }
void CharacterModel::SetLegsAnimation(const char* name) { StartClip(&lower, name); }
