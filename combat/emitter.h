// The game's steam jet: a steady stream of small blue-grey particles from a vent.
#pragma once
#include "core/particles.h"

// Where the jet leaves its vent (world units).
const Vec3 SteamJetPosition(0, 0, -804);

// Sets the system's gravity and adds the jet's emitter, set up as the game always had it.
void SetUpSteamJet(ParticleSystem& system);

// The game's system with its gravity and its one start-up emitter (the steady jet).
std::unique_ptr<ParticleSystem> CreateGameParticleSystem();
