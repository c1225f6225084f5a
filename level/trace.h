// Collision against the game's one level: the tests and moves the player, bots and shots use.
#pragma once
#include "core/vec3.h"

// The game's one level: TraceHits and MoveWithSlide work on it.
bool TraceHits(Vec3 start, Vec3 end, Vec3 extents);
Vec3 MoveWithSlide(Vec3 start, Vec3 end);
// v turned by `degrees` about the game axis 0, 1 or 2 (right-handed); unchanged for axis -1.
Vec3 TurnedAbout(Vec3 v, int axis, float degrees);
