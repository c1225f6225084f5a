// A large open arena in the style of levels made by other tools: a floor of 6144 x 6144
// units under a sky, walls with curved coves at their feet, and a grid of props (pillars,
// crate stacks, low steps, mounds and arches of curved patches), so that it has many small
// faces, a few hundred solid patches and sight lines across the whole floor. The curved
// faces have a second, added picture stage; the ceiling is sky. For the frame benchmark and
// for the tracer's tests on a level heavy with patches.
//
// World coordinates (y up): the floor is y = 0 from -ArenaHalf to ArenaHalf on x and z.
#pragma once
#include <string>

#include "support/level_builder.h"

constexpr float ArenaHalf = 3072;
constexpr float ArenaHeight = 1024;  // floor to sky

// The arena's level.
LevelBuilder ArenaLevel();

// Writes the arena as a level tree into `folder`: maps/arena.bsp, its pictures under
// textures/arena/ and its shader script scripts/arena.shader. False when a file cannot be
// written.
bool WriteArenaData(const std::string& folder);
