// A test level for the bots' navigation, in world (y-up) coordinates: rooms at three heights
// joined by stairs and a ramp, a narrow door, a pillar and a pit with no way out, all under
// one ceiling. The same brushes can be loaded through LevelBuilder or written as a map source
// for levelc (the end-to-end test plays it in the real game).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/vec3.h"

class Level;

struct NavLevelBrush {
  Vec3 min, max;          // the box
  bool cut = false;       // a ramp: the box cut by the plane below
  Vec3 cutNormal;         // pointing out of the brush
  float cutDistance = 0;  // cutNormal . p on the plane
};

// The places of the level: floor heights, the door, the pit.
struct NavLevelLayout {
  static constexpr float RoomA = 0;      // floor of the start room (x 0..600, z 0..600)
  static constexpr float RoomB = 96;     // upper room up the stairs (z 800..1200)
  static constexpr float RoomC = -64;    // lower rooms down the ramp (x 800..1400)
  static constexpr float PitFloor = -192;
  static constexpr float DoorWidth = 48;  // between the two lower rooms
};

// The level's brushes; `copies` > 1 lays that many copies side by side along x (each one
// sealed on its own) for a larger level.
std::vector<NavLevelBrush> NavLevelBrushes(int copies = 1);
// The level file LevelBuilder writes for the brushes.
std::vector<uint8_t> NavLevelFile(int copies = 1);
// Loads the brushes into the level through LevelBuilder; false with the reason on failure.
bool LoadNavLevel(Level* level, int copies = 1, std::string* error = nullptr);
// The map source of the same level for levelc, with a sealed booth behind room A's west wall
// holding the player's start (x -232..-32, z 0..200, floor 0, facing east) and two more
// starts for the bots (in rooms B and D); `texture` names the material's picture.
std::string NavLevelMapSource(const std::string& texture);
// Whether a world point lies above the pit's floor area (x 1200..1328, z 100..228).
bool InNavLevelPit(Vec3 p);
