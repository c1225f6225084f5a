// Skin and shader files, and the upload of the textures they name into a character's
// texture table.
#include <string>
#include <vector>

#include "core/character.h"
#include "models/model_files.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "render/texture.h"
#include "render/texture_lookup.h"

namespace {

// A contains b: both non-empty and b a case-sensitive substring of a.
bool Contains(std::string_view a, std::string_view b) {
  return !a.empty() && !b.empty() && a.find(b) != std::string_view::npos;
}

void AddMaterial(Md3Model* model, Md3Mesh* mesh, std::string_view fileName) {
  MeshMaterial material;
  material.fileName = std::string(fileName);
  model->materials.push_back(std::move(material));
  mesh->materialId = model->materialCount;
  mesh->hasTexture = true;
  ++model->materialCount;
}

bool ReadText(const char* path, std::string* text) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, &bytes)) return false;
  text->assign(bytes.begin(), bytes.end());
  return true;
}

// Reads the text file at `path` and hands it to `apply`; a missing or unreadable file shows
// the numbered `failure` and changes nothing.
bool ApplyTextFile(Md3Model* model, const char* path, const char* failure,
                   void (*apply)(Md3Model*, std::string_view)) {
  std::string text;
  if (!path || !ReadText(path, &text)) {
    platform::ShowError(failure);
    return false;
  }
  apply(model, text);
  return true;
}

}  // namespace

void ApplySkinText(Md3Model* model, std::string_view text) {
  ForEachLine(text, [model](std::string_view line, int) {
    for (Md3Mesh& mesh : model->meshes) {
      if (!Contains(line, mesh.name)) continue;
      // The last "/" at index 1 or later; a "/" at index 0 alone is not a folder. A line
      // without one is taken whole.
      size_t cut = 0;
      for (size_t i = line.size(); i-- > 1;) {
        if (line[i] == '/') {
          cut = i + 1;
          break;
        }
      }
      AddMaterial(model, &mesh, line.substr(cut));
    }
  });
}

bool ApplySkinFile(Md3Model* model, const char* path) {
  return ApplyTextFile(model, path, "11 Unable to load skin!", ApplySkinText);
}

void ApplyShaderText(Md3Model* model, std::string_view text) {
  ForEachLine(text, [model](std::string_view line, int number) {
    const size_t k = static_cast<size_t>(number - 1);
    if (k < model->meshes.size()) AddMaterial(model, &model->meshes[k], line);
  });
}

bool ApplyShaderFile(Md3Model* model, const char* path) {
  return ApplyTextFile(model, path, "12 Unable to load shader!", ApplyShaderText);
}

void BindMaterialTextures(CharacterModel* character, Md3Model* model, const char* folder) {
  std::vector<std::string>& files = character->textureFiles;
  for (MeshMaterial& material : model->materials) {
    if (material.fileName.empty()) continue;  // keeps textureId -1: drawn untextured
    size_t k = 0;
    while (k < files.size() && files[k] != material.fileName) ++k;
    if (k == files.size()) {
      if (files.size() >= static_cast<size_t>(MaxCharacterTextures)) continue;  // table full
      const std::string path = std::string(folder ? folder : "") + "/" + material.fileName;
      // Skins written by other tools name "X.jpg" where only "X.tga" exists (or the other
      // way round), or leave the extension out: the picture that exists is taken. A file
      // that cannot be loaded leaves the slot at 0 and still takes the name, so other
      // materials naming it do not try again.
      const std::string found = FindImageFile(path);
      if (!CreateTexture(character->textures[k], (found.empty() ? path : found).c_str()) && !found.empty()) {
        std::string reason;  // an extension in capitals, which CreateTexture does not read
        CreateTextureQuietly(character->textures[k], found, &reason, RowOrder::AsStored);
      }
      files.push_back(material.fileName);
    }
    material.textureId = static_cast<int32_t>(k);
  }
}
