// The game-wide generator: a 32-bit linear congruential generator with the classic
// constants, giving 15-bit results. Its own state (not std::rand) so that nothing outside
// the game can disturb the sequence.
#include "core/random.h"

namespace {
uint32_t gRandomState = 1;
}

int RandomInt() {
  gRandomState = gRandomState * 1103515245u + 12345u;
  return static_cast<int>((gRandomState / 65536u) % 32768u);
}

float RandomUnit() { return static_cast<float>(RandomInt()) / static_cast<float>(RandomMax); }

void ResetRandom() { gRandomState = 1; }
