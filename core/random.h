// The game-wide pseudo-random generator. Bots, shots and effects all draw from this one
// sequence, which is never seeded from the clock, so every run makes the same choices.
#pragma once
#include <cstdint>

constexpr int RandomMax = 32767;

// The next integer in 0 .. RandomMax.
int RandomInt();
// RandomInt() / RandomMax: a float in 0 .. 1, both ends included.
float RandomUnit();
// Restarts the sequence from its fixed start (tests and benchmarks that replay a run).
void ResetRandom();
