// Bakes a figure's clips into its three MD3 models and writes every file of a figure and
// of the weapon: models, skins, the animation file, the shader file and the atlases.
#pragma once
#include <string>
#include <vector>

#include "tools/chargen/figure.h"
#include "tools/chargen/md3_file.h"

struct BakedFigure {
  Md3Out lower, upper, head;
  // First frame of each clip in the animation file's numbering (across the character).
  int clipStart[ClipCount] = {};
};

// Poses every frame of every clip: the lower model holds the BOTH_ frames then the LEGS_
// frames, the upper model the BOTH_ frames then the TORSO_ frames; the head has one frame.
BakedFigure BakeFigure(const Figure& figure);

// The weapon model: one frame, a "tag_flash" at the muzzle.
Md3Out BakeWeapon(const Part& launcher);

std::string AnimationConfigText(const BakedFigure& baked);
std::string SkinText(const Part& part, const std::string& folder,
                     const std::vector<std::string>& tags);

// Writes "<dir>/<name>/..." for the figure; false (and a message) on a write failure.
bool WriteFigure(const std::string& dir, const Figure& figure);
// Writes "<dir>/weapons/grenadel.md3", ".shader" and the atlas.
bool WriteWeapon(const std::string& dir);

// A 24-bit uncompressed Targa, bottom row first (origin at the lower left).
std::vector<uint8_t> EncodeTga24(const Picture& picture);
