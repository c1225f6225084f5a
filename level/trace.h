// Collision against the game's one level: the tests and moves the player, bots and shots use.
#pragma once
#include "core/vec3.h"

// The game's one level: TraceHits and MoveWithSlide work on it.
bool TraceHits(Vec3 start, Vec3 end, Vec3 extents);
Vec3 MoveWithSlide(Vec3 start, Vec3 end);
