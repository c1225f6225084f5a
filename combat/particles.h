// The particle system: every live particle of the game and the emitters that feed it.
#pragma once
#include <memory>

class ParticleSystem {
 public:
  // Draws every particle as a billboard.
  void DrawParticles();
  // One update: move, grow, fade, age, collide, remove, then emit.
  void UpdateParticles();
};

// The game's system with its gravity and its one start-up emitter (the steady jet).
std::unique_ptr<ParticleSystem> CreateGameParticleSystem();
