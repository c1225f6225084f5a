// Placeholder until the particle system lands.
#include "combat/particles.h"

void ParticleSystem::DrawParticles() {}
void ParticleSystem::UpdateParticles() {}
std::unique_ptr<ParticleSystem> CreateGameParticleSystem() {
  return std::make_unique<ParticleSystem>();
}
