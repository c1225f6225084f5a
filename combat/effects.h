// The particles that shots make: one trail particle behind a flying shot, and the sparks of
// an impact. Both hand their particle to the game's particle system (nothing happens when
// there is none).
#pragma once
#include "core/vec3.h"

struct EffectColour {
  float red = 0, green = 0, blue = 0, alpha = 1;  // 0..255 and alpha
};

void SpawnTrailParticle(Vec3 position, Vec3 direction, EffectColour colour, int weapon);
void SpawnImpactSpark(Vec3 position, Vec3 direction, EffectColour colour, int weapon);
