// Particle emitters: the set-up of a jet and its emission, and the game's steam jet.
#include "combat/emitter.h"

#include <cmath>

#include "core/random.h"

namespace {

constexpr float Pi = 3.1415925f;  // as the jet's angles have always been turned to radians
float Radians(float degrees) { return degrees * Pi / 180.0f; }

// The bits of n mirrored behind the binary point: 0, 1/2, 1/4, 3/4, 1/8, ... Any run of
// consecutive particles has its ranks spread evenly over 0..1.
float RadicalInverse(uint32_t n) {
  n = (n << 16) | (n >> 16);
  n = ((n & 0x00FF00FFu) << 8) | ((n & 0xFF00FF00u) >> 8);
  n = ((n & 0x0F0F0F0Fu) << 4) | ((n & 0xF0F0F0F0u) >> 4);
  n = ((n & 0x33333333u) << 2) | ((n & 0xCCCCCCCCu) >> 2);
  n = ((n & 0x55555555u) << 1) | ((n & 0xAAAAAAAAu) >> 1);
  return static_cast<float>(n >> 8) / 16777216.0f;
}

}  // namespace

void ParticleEmitter::SetDirection(float yawDegrees, float pitchDegrees, float speedPerSecond) {
  const float a = Radians(yawDegrees), b = Radians(pitchDegrees);
  const float a90 = Radians(yawDegrees - 90.0f), b90 = Radians(pitchDegrees + 90.0f);
  direction = Vec3(std::cos(b) * std::cos(a), std::sin(b), std::cos(b) * std::sin(a));
  right = Vec3(std::cos(a90), 0, std::sin(a90));
  up = Vec3(std::cos(b90) * std::cos(a), std::sin(b90), std::cos(b90) * std::sin(a));
  speed = speedPerSecond / ParticleUpdatesPerSecond;
}

void ParticleEmitter::SetGrowth(float perSecond) {
  growth = std::exp(std::log(perSecond) / ParticleUpdatesPerSecond);
}

void ParticleEmitter::SetColour(float r, float g, float b, float a, int particleKind) {
  red = std::round(r * 255.0f), green = std::round(g * 255.0f), blue = std::round(b * 255.0f);
  alpha = a;
  kind = particleKind;
}

void ParticleEmitter::Emit() {
  if (!system) return;
  for (int i = 0; i < particlesPerUpdate; ++i) {
    Particle p;
    p.life = static_cast<float>(particleLife);
    p.fixedSize = fixedSize;
    p.growth = growth;
    p.weight = 1 - RandomUnit() * weightVariation;
    p.damping = (0.5f - RandomUnit()) * 2 * dampingVariation * dampingVariationScale + (1 - dampingVariation);
    p.size = particleSize;
    p.position = position;
    const float d = RandomUnit() - 0.5f;
    const float e = RandomUnit() - 0.5f;
    p.position.x += up.x * spreadUp * d + right.x * spreadRight * e;
    p.position.y += up.y * spreadUp * d;
    p.position.z += up.z * spreadUp * d + right.z * spreadRight * e;
    p.previousPosition = p.position;
    p.origin = p.position;
    const float k = ((1 - 2 * RandomUnit()) * speedVariation + 1) * speed;
    p.velocity.x = k * direction.x + RandomUnit() * (p.position.x - position.x) / 50;
    p.velocity.y = k * direction.y + RandomUnit() * (p.position.y - position.y) / 50;
    p.velocity.z = k * direction.z + RandomUnit() * (p.position.z - position.z) / 50;
    p.slowVelocity = p.velocity / 20;
    p.red = red, p.green = green, p.blue = blue, p.alpha = alpha;
    p.kind = kind;
    p.serial = emitted;
    p.rank = RadicalInverse(emitted++);
    system->AddParticle(p);
  }
}

void SetUpSteamJet(ParticleSystem& system) {
  system.SetGravity(-9.81f);
  auto jet = std::make_unique<ParticleEmitter>();
  jet->SetPosition(SteamJetPosition);
  jet->SetDirection(0, -10, 2.0f);
  jet->SetSpread(1.2f, 0.1f);
  jet->SetDampingVariation(0);
  jet->SetDampingVariationScale(0.5f);
  jet->SetWeightVariation(0.5f);
  jet->SetSpeedVariation(0.2f);
  jet->SetParticleSize(0.06f);
  jet->SetParticleLife(50);
  jet->SetFixedSize(true);
  jet->SetGrowth(0.1f);
  jet->SetRate(100);
  jet->SetColour(0.45f, 0.52f, 0.6f, 0.75f, SteamKind);
  system.AddEmitter(std::move(jet));
}

std::unique_ptr<ParticleSystem> CreateGameParticleSystem() {
  auto system = std::make_unique<ParticleSystem>();
  SetUpSteamJet(*system);
  return system;
}
