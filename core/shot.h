// One shot in flight: the record of the ring of 1000 slots the game state holds. Firing,
// moving and drawing shots is combat/shots.h.
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
