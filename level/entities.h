// The level's entity text (lump 0): blocks of quoted key and value pairs, and the player
// starts that other tools' levels hold in it.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "core/vec3.h"

class Level;

using Entity = std::vector<std::pair<std::string, std::string>>;  // keys in stored order

// Every `{ "key" "value" ... }` block of the text. Reading stops quietly at the first thing
// that is not a well-formed block (an unclosed quote or brace), keeping the blocks before it.
std::vector<Entity> ParseEntities(const std::string& text);
// The value of a key (first of that name), or nullptr.
const std::string* EntityValue(const Entity& entity, const char* key);

struct PlayerStart {
  Vec3 origin;            // game coordinates (y up), as stored: usually a little above the floor
  float yawDegrees = 0;   // about the vertical, counter-clockwise from +x in the file's frame
};

// The `info_player_start` and `info_player_deathmatch` entities with a readable origin, in
// the order of the text.
std::vector<PlayerStart> FindPlayerStarts(const std::string& entityText);

// Where a box (the player's, centred on the eye) comes to rest when dropped from a start's
// origin onto the floor below it. False, leaving *rest alone, when the origin lies in a wall
// or over no floor within 4096 units.
bool DropToFloor(Level& level, Vec3 origin, Vec3 extents, Vec3* rest);
// The direction a yaw faces, in game coordinates.
Vec3 YawDirection(float yawDegrees);

struct LevelStart {
  Vec3 eye, view;                // for Camera::PositionCamera, up is +y
  bool fromPlayerStart = false;  // false: the centre of a leaf
  int leaf = -1;                 // that leaf
};
// Where a player (a box of these extents centred on the eye) starts on a level: at its first
// player start that has floor under it, facing its angle; without one, at the centre of the
// first leaf of the level's inside with floor under it, facing +x. False when neither exists.
bool FindLevelStart(Level& level, Vec3 extents, LevelStart* start);
