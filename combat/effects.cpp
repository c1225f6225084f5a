// Trail particles and impact sparks: their random life, size, scatter and speed.
#include "combat/effects.h"

#include "combat/billboard.h"
#include "core/game_state.h"
#include "core/random.h"

namespace {

// The random scatter of a new particle around its start point.
void Scatter(Vec3& p) {
  const float u = RandomUnit() - 0.5f;
  const float v = RandomUnit() - 0.5f;
  p.x += 2 * u + 2 * v;
  p.y += 2 * u;
  p.z += 2 * u + 2 * v;
}

float Percent(int modulus) { return static_cast<float>(RandomInt() % modulus) / 100.0f; }

}  // namespace

void SpawnTrailParticle(Vec3 position, Vec3 direction, EffectColour colour, int weapon) {
  if (!gGame.particles) return;
  Particle p;
  p.life = Percent(500) + 25;
  p.fixedSize = false;
  p.growth = 0.1f;
  p.weight = 1 - RandomUnit() * 0.5f;
  p.damping = 1.0f;
  p.red = colour.red, p.green = colour.green, p.blue = colour.blue, p.alpha = colour.alpha;
  p.kind = weapon == WeaponRifle ? RifleTrailKind : weapon == WeaponLauncher ? GrenadeTrailKind : 0;
  p.position = position;
  if (weapon == WeaponRifle) {
    p.size = Percent(50);
    p.growth = 0.105f;
    Scatter(p.position);
  } else if (weapon == WeaponLauncher) {
    p.size = Percent(500);
    p.growth = 0.105f;
  }
  p.previousPosition = p.position;
  const Vec3 n = NormalizeOrZero(direction);
  const float k = (2 - 0.15f * Percent(100)) * 0.5f;
  p.velocity = n * k;
  p.slowVelocity = n * k / 20;
  gGame.particles->AddParticle(p);
}

void SpawnImpactSpark(Vec3 position, Vec3 direction, EffectColour colour, int weapon) {
  if (!gGame.particles) return;
  Particle p;
  p.life = Percent(1000) + (weapon == WeaponLauncher ? 30 : 10);
  p.fixedSize = false;
  p.growth = 0.1f;
  p.weight = 1 - RandomUnit() * 0.5f;
  p.damping = 1.0f;
  p.size = Percent(100);
  p.red = colour.red, p.green = colour.green, p.blue = colour.blue;
  p.alpha = static_cast<float>(50 + RandomInt() % 50);
  p.kind = SparkKind;
  p.position = position;
  Scatter(p.position);
  p.previousPosition = p.position;
  const Vec3 n = NormalizeOrZero(direction);
  const float s = Percent(150) * 0.3f;
  const float k = (2 - 0.15f * Percent(100)) * s;
  p.velocity = n * k;
  p.slowVelocity = n * k / 20;
  gGame.particles->AddParticle(p);
}
