// The animation file of a character: its clip lines split between the upper body (torso
// clips) and the lower body (legs clips), both bodies getting the clips of the whole figure.
//
// A clip line is: start frame, frame count, looping frames, frames per second, a separator
// word, the clip name; everything behind the name on that line is discarded (tools write
// comments and frame ranges there). Lines whose first word does not begin with a digit are
// keyword or comment lines and are skipped. Frames are numbered across the whole figure;
// the lower model holds only the "BOTH" frames followed by the legs frames, so legs clips
// are shifted down by the torso frames: table entry 13 (the first legs clip) minus entry 6
// (the first torso clip).
#include <cctype>
#include <string>
#include <vector>

#include "core/character.h"
#include "models/model_files.h"
#include "platform/files.h"

namespace {

// Frame numbers and rates beyond this are refused, so no sum or difference can overflow.
constexpr int64_t MaxClipNumber = 10000000;

std::vector<std::string_view> SplitWords(std::string_view line) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    const size_t start = i;
    while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

// A whole word of decimal digits with an optional sign, within +-MaxClipNumber.
bool ParseNumber(std::string_view word, int32_t* value) {
  size_t i = 0;
  bool negative = false;
  if (i < word.size() && (word[i] == '-' || word[i] == '+')) negative = word[i++] == '-';
  if (i == word.size()) return false;
  int64_t v = 0;
  for (; i < word.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(word[i]))) return false;
    v = v * 10 + (word[i] - '0');
    if (v > MaxClipNumber) return false;
  }
  *value = static_cast<int32_t>(negative ? -v : v);
  return true;
}

bool Contains(std::string_view a, std::string_view b) {
  return !a.empty() && !b.empty() && a.find(b) != std::string_view::npos;
}

}  // namespace

bool ParseAnimationConfig(std::string_view text, Md3Model* upper, Md3Model* lower, std::string* error) {
  AnimationClip table[MaxClipLines];
  int n = 0;
  int32_t legsOffset = 0;
  std::vector<AnimationClip> upperClips, lowerClips;
  std::string reason;

  ForEachLine(text, [&](std::string_view line, int number) {
    if (!reason.empty()) return;
    const std::vector<std::string_view> words = SplitWords(line);
    if (words.empty() || !std::isdigit(static_cast<unsigned char>(words[0][0]))) return;
    const std::string where = "line " + std::to_string(number) + ": ";
    if (words.size() < 6) {
      reason = where + "the clip line ends before its name";
      return;
    }
    int32_t values[4];
    for (int k = 0; k < 4; ++k) {
      if (!ParseNumber(words[k], &values[k])) {
        reason = where + "\"" + std::string(words[k].substr(0, 32)) + "\" is not a frame number";
        return;
      }
    }
    if (n >= MaxClipLines) return;  // the table is full: later clip lines are ignored

    AnimationClip clip;
    clip.name = std::string(words[5].substr(0, MaxClipNameLength));
    clip.startFrame = values[0];
    clip.endFrame = values[0] + values[1];
    clip.loopingFrames = values[2];
    clip.framesPerSecond = values[3];
    table[n] = clip;

    if (Contains(clip.name, "BOTH")) {
      upperClips.push_back(clip);
      lowerClips.push_back(clip);
    } else if (Contains(clip.name, "TORSO")) {
      upperClips.push_back(clip);
    } else if (Contains(clip.name, "LEGS")) {
      // Entries not read yet are zero, as in a fresh table.
      if (legsOffset == 0) legsOffset = table[13].startFrame - table[6].startFrame;
      clip.startFrame -= legsOffset;
      clip.endFrame -= legsOffset;
      lowerClips.push_back(clip);
    }
    ++n;
  });

  if (!reason.empty()) {
    if (error) *error = reason;
    return false;
  }
  for (AnimationClip& clip : upperClips) upper->animations.push_back(std::move(clip));
  for (AnimationClip& clip : lowerClips) lower->animations.push_back(std::move(clip));
  upper->animationCount = static_cast<int32_t>(upper->animations.size());
  lower->animationCount = static_cast<int32_t>(lower->animations.size());
  return true;
}

bool ReadAnimationConfig(CharacterModel* character, const char* path, std::string* error) {
  if (error) error->clear();
  std::vector<uint8_t> bytes;
  if (!path || !ReadWholeFile(path, &bytes)) return false;
  const std::string text(bytes.begin(), bytes.end());
  if (!ParseAnimationConfig(text, &character->upper, &character->lower, error)) return false;
  character->head.animationCount = 0;
  character->weapon.animationCount = 0;
  return true;
}
