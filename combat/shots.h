// The player's and the bots' shots: a ring of 1000 slots in gGame.
#pragma once
#include "core/vec3.h"

constexpr int ShotSlots = 1000;

struct Shot {
  Vec3 position;
  Vec3 previousPosition;     // before the last step: the start of the hit test
  Vec3 direction;            // the step per tick is the weapon's speed times this
  int owner = 0;             // 9123 the player, 0 or 1 that bot
  int weapon = 0;            // 10..13
  bool active = false;
  float colour[4] = {0, 0, 0, 0};  // red, green, blue on 0..255, alpha
};

// Fires a shot of the given weapon (11 rifle, 13 grenade launcher) from origin along the
// unit direction; owner 9123 is the player, 0 and 1 the bots.
void FireShot(Vec3 origin, Vec3 direction, int weapon, int owner);
// Moves every flying shot one game tick and ends those that hit a bot or the level.
void UpdateShots();
// Draws the flying shots as billboards with their trails (every frame).
void DrawShots();
