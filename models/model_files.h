// The three small text files that complete an MD3 model: skin files (a texture per mesh of a
// body part), shader files (a texture per mesh of the weapon) and the animation file (the
// clips of a character, split between its upper and lower body). Each reader has a memory
// form, used by the tests and the fuzzer, and a file form that the character loader calls.
//
// Lines end at "\n", "\r\n" or a lone "\r"; the line end is never part of the line.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "core/md3_format.h"

class CharacterModel;

// The clip table of an animation file has room for this many clip lines; later clip lines
// are ignored. Entry 6 must be the first torso clip and entry 13 the first legs clip.
constexpr int MaxClipLines = 25;
constexpr size_t MaxClipNameLength = 255;

// Calls fn(line, lineNumber) for each line of text, numbered from 1.
template <typename Fn>
void ForEachLine(std::string_view text, Fn fn) {
  size_t start = 0;
  int number = 1;
  while (start < text.size()) {
    size_t end = start;
    while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
    fn(text.substr(start, end - start), number++);
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
    start = end + 1;
  }
}

// Skin: every line that contains a mesh's name gives that mesh a new material named by the
// line's last path component (the text after its last "/" at index 1 or later, or the whole
// line when it has none).
void ApplySkinText(Md3Model* model, std::string_view text);
// Shows "11 Unable to load skin!" and returns false when the file cannot be read.
bool ApplySkinFile(Md3Model* model, const char* path);

// Shader: line k names the texture of mesh k; lines past the last mesh are ignored.
void ApplyShaderText(Md3Model* model, std::string_view text);
// Shows "12 Unable to load shader!" and returns false when the file cannot be read.
bool ApplyShaderFile(Md3Model* model, const char* path);

// Animation file: appends its clips to the upper and lower models and sets their
// animationCount. On a malformed clip line returns false with the reason in *error and
// changes nothing.
bool ParseAnimationConfig(std::string_view text, Md3Model* upper, Md3Model* lower, std::string* error);
// Reads the file into the character's upper and lower models; head and weapon get no clips.
// False without a message (the caller shows its own); *error is empty for a missing file and
// holds the reason for a malformed one.
bool ReadAnimationConfig(CharacterModel* character, const char* path, std::string* error = nullptr);

// Loads the textures of the model's materials into the character's texture table, each
// distinct file once per character, from "<folder>/<fileName>". A texture that fails to
// load keeps its slot (and shows the decoder's own message).
void BindMaterialTextures(CharacterModel* character, Md3Model* model, const char* folder);
