// The player's and the bots' shots: a ring of 1000 slots in gGame. A shot flies straight at
// its weapon's speed, glows as a billboard with a trail, and ends with sparks and a sound
// where it first meets a bot that did not fire it or the level.
#pragma once
#include "core/shot.h"
#include "core/vec3.h"

// Per weapon code 10..13: speed in units per tick, billboard half-size, sparks at impact.
float ShotSpeed(int weapon);
int ShotSize(int weapon);

// Half-sizes of the box a shot sweeps through the level. A bot's hit box is the figure as
// drawn (BotHitBox).
const Vec3 ShotExtents(5, 5, 5);

// Fires a shot of the given weapon (11 rifle, 13 grenade launcher) from origin along the
// unit direction; owner 9123 is the player, 0 and 1 the bots.
void FireShot(Vec3 origin, Vec3 direction, int weapon, int owner);
// Moves every flying shot one game tick and ends those that hit a bot or the level.
void UpdateShots();
// Whether the shot's last step (previousPosition to position) met bot b's box (unless b
// fired it) or the level. *impact, when given, gets the first point where it did.
bool ShotHitsSomething(int slot, int bot, Vec3* impact = nullptr);
// Draws the flying shots as billboards and lays their trails (every frame).
void DrawShots();
