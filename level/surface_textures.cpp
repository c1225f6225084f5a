// The pictures and materials of a level's texture records. A record's name is looked up as
// an image file (with or without ".jpg"/".tga"), else through the shader scripts, which also
// mark surfaces that are never drawn, sky, blended, alpha-tested or two-sided, and pictures
// that are clamped. Records that use one picture alike share its texture, so each picture file
// is read and decoded once however many records and shader stages name it (and records naming one
// staged entry share its stages); a picture clamped by one entry and
// repeated by another is two textures. The default level keeps the plain
// texture loading with its message boxes; on any other level a missing or unreadable picture
// is one line on stderr per name and a checker texture, however many there are.
#include <cstdio>
#include <cstring>

#include <GL/gl.h>
#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "core/game_state.h"
#include "core/level.h"
#include "level/shader_script.h"
#include "platform/files.h"
#include "level/stage_motion.h"
#include "render/texture.h"
#include "render/texture_lookup.h"

namespace {

constexpr size_t TextureNameField = sizeof(BspTextureRecord::name);  // 64, NUL included
constexpr size_t ExtensionLength = 4;                                 // ".jpg" or ".tga"

// The record's name, or false when the field is not NUL-terminated or leaves no room for
// an extension (the name is then unusable, and skipped with a line on stderr).
bool RecordName(const BspTextureRecord& record, std::string* name) {
  const size_t length = strnlen(record.name, TextureNameField);
  if (length + ExtensionLength >= TextureNameField) {
    std::fprintf(stderr, "Texture name too long, skipped: %.*s\n", static_cast<int>(length), record.name);
    return false;
  }
  name->assign(record.name, length);
  return true;
}

// The image file for a record: its own name, else the picture its script entry names.
std::string PictureFile(const std::string& name, const ShaderEntry* entry) {
  std::string file = FindImageFile(name);
  if (file.empty() && entry && !entry->picture.empty()) file = FindImageFile(entry->picture);
  return file;
}

// The picture is not repeated: coordinates past its edges take the edge texels.
void ClampToEdge(Texture texture) {
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

}  // namespace

// The textures made while a level's pictures load, per picture file (as the search path
// compares names) and clamping: 0 and why, for a picture that could not be made.
struct LoadedPictures {
  struct Made {
    Texture texture = 0;
    std::string reason;
    bool fresh = false;  // made by this look-up (the caller keeps it to delete)
  };
  std::map<std::pair<std::string, bool>, Made> made;

  // The texture of `file`, made on the first look-up: with message boxes on the default level
  // when `boxes`, else quietly with a reason.
  Made Find(const std::string& file, bool clamp, bool boxes) {
    const std::pair<std::string, bool> key(files::NormalName(file), clamp);
    auto found = made.find(key);
    if (found != made.end()) {
      Made again = found->second;
      again.fresh = false;
      return again;
    }
    Made texture;
    if (boxes ? CreateTexture(texture.texture, file.c_str()) : CreateTextureQuietly(texture.texture, file, &texture.reason)) {
      if (clamp) ClampToEdge(texture.texture);
    }
    made.emplace(key, texture);
    texture.fresh = texture.texture != 0;
    return texture;
  }
};

void Level::LoadSurfaceTextures() {
  const ShaderLibrary library = LoadShaderLibrary();
  materials.assign(textures.size(), SurfaceMaterial());
  std::set<std::string> reported;  // names already said to be missing
  Texture checker = 0;             // one checker for every missing picture
  std::set<std::string> unsupported;  // entries already said to ask for what is not drawn
  auto missing = [&](const std::string& name, const std::string& why, size_t record) {
    if (gGame.defaultLevel) return;  // the default level's data keeps the plain behaviour
    if (reported.insert(name).second) std::fprintf(stderr, "Missing picture %s (%s): drawn as a checker\n", name.c_str(), why.c_str());
    if (checker == 0) CreateCheckerTexture(checker);
    textureNames[record] = checker;
    materials[record].alphaTest = AlphaTest::None;  // the checker is opaque: no test may hide it
  };
  LoadedPictures pictures;
  std::map<const ShaderEntry*, int32_t> stagedOf;  // entries whose stages are loaded already
  auto staged = [&](const ShaderEntry& entry) {
    auto found = stagedOf.find(&entry);
    if (found != stagedOf.end()) return found->second;
    const int32_t index = static_cast<int32_t>(stagedMaterials.size());
    LoadStagedMaterial(entry, &pictures);
    stagedOf.emplace(&entry, index);
    return index;
  };

  std::string skyBoxName;
  for (size_t i = 0; i < textures.size(); ++i) {
    std::string name;
    if (!RecordName(textures[i], &name)) {
      missing(std::string(textures[i].name, strnlen(textures[i].name, TextureNameField)), "name too long", i);
      continue;
    }
    // Our compiler's trigger volumes have no faces and no picture.
    if ((textures[i].surfaceFlags & SurfaceNoDraw) != 0 && (textures[i].contents & SolidContentsMask) == 0) {
      materials[i].nodraw = true;
      continue;
    }
    const ShaderEntry* entry = library.Find(name);
    if (entry) {
      materials[i].nodraw = entry->nodraw;
      materials[i].sky = entry->sky;
      materials[i].fog = entry->fog;
      materials[i].blend = entry->blend;
      materials[i].alphaTest = entry->alphaTest;
      materials[i].twoSided = entry->twoSided;
      materials[i].backSided = entry->backSided;
      if (!entry->unsupported.empty() && !entry->nodraw && !entry->fog && unsupported.insert(entry->name).second)
        std::fprintf(stderr, "Shader %s: \"%s\" is not drawn; the surface shows its first picture alone\n",
                     entry->name.c_str(), entry->unsupported.c_str());
      if (entry->sky && skyBoxName.empty()) {
        skyBoxName = entry->skyBox;
        // The cloud layers: the stages with pictures (a white or lightmap stage in a sky means nothing).
        ShaderEntry layers = *entry;
        layers.stages.clear();
        for (const ShaderStage& stage : entry->stages)
          if (stage.image == StageImage::Picture && !stage.frames.empty()) layers.stages.push_back(stage);
        if (clouds.staged < 0 && entry->unsupported.empty() && !layers.stages.empty()) {
          clouds.staged = static_cast<int32_t>(stagedMaterials.size());
          clouds.height = entry->cloudHeight;
          LoadStagedMaterial(layers, &pictures);
        }
      }
      if (entry->nodraw || entry->sky || entry->fog) continue;  // no picture of their own is drawn
      if (NeedsStages(*entry)) {
        materials[i].staged = staged(*entry);
      }
    }
    const std::string file = PictureFile(name, entry);
    if (file.empty()) {
      missing(name, "no image file", i);
      continue;
    }
    const bool clamp = entry && entry->clamp;
    const LoadedPictures::Made found = pictures.Find(file, clamp, gGame.defaultLevel);
    if (found.texture != 0)
      textureNames[i] = found.texture;
    else if (!gGame.defaultLevel)
      missing(name, file + ": " + found.reason, i);
  }
  if (!skyBoxName.empty()) LoadSkyBox(skyBoxName);
  for (FogVolume& fog : fogs) {
    const ShaderEntry* entry = library.Find(fog.name);
    if (entry && entry->fog && entry->fogDistance > 0) {
      std::copy(entry->fogColour, entry->fogColour + 3, fog.colour);
      fog.distance = entry->fogDistance;
    } else if (!gGame.defaultLevel) {
      std::fprintf(stderr, "Fog %s has no fogparms in the scripts: not drawn\n", fog.name.c_str());
    }
  }
}

void Level::LoadStagedMaterial(const ShaderEntry& entry, LoadedPictures* pictures) {
  StagedMaterial staged;
  staged.name = entry.name;
  staged.stages = entry.stages;
  staged.deforms = entry.deforms;
  staged.blendedBase = !entry.stages.empty() && entry.stages[0].blends;
  for (const ShaderStage& stage : entry.stages) {
    std::vector<Texture> frames;
    for (const std::string& frame : stage.frames) {
      const std::string file = FindImageFile(frame);
      LoadedPictures::Made made;
      made.reason = "no image file";
      if (!file.empty()) made = pictures->Find(file, stage.clamp, false);
      if (made.texture == 0) {
        std::fprintf(stderr, "Missing picture %s in shader %s (%s): drawn as a checker\n", frame.c_str(),
                     entry.name.c_str(), made.reason.c_str());
        CreateCheckerTexture(made.texture);
        made.fresh = true;
      }
      // A texture is kept to delete where it was first made (a record's are in textureNames).
      if (made.fresh) stageTextures.push_back(made.texture);
      frames.push_back(made.texture);
    }
    staged.textures.push_back(std::move(frames));
  }
  stagedMaterials.push_back(std::move(staged));
}
