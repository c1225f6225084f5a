// How a particle is drawn: its billboard, taken between its last two positions.
#pragma once
#include "core/billboard_batch.h"
#include "core/particles.h"

// How a particle is drawn: the billboard's centre, colour (0..255), alpha, half-size and shape.
struct ParticleLook {
  Vec3 position;
  float red, green, blue, alpha, size;
  BillboardShape shape;
};
// The look of a particle at `at` (its place between its last two positions). False when it
// is left out: steam thins out as it widens (see particles.cpp).
bool DrawnParticle(const Particle& p, Vec3 at, ParticleLook* look);
