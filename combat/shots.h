// The player's and the bots' shots.
#pragma once
#include "app/vec3.h"

// Fires a shot of the given weapon (11 rifle, 13 grenade launcher) from origin along the
// unit direction; owner 9123 is the player, 0 and 1 the bots.
void FireShot(Vec3 origin, Vec3 direction, int weapon, int owner);
