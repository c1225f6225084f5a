// A diagnostic for scripts that watch the bots: with KORVALIS_BOT_POSITIONS set in the
// environment, the game prints both bots' positions to stdout once a second.
#include <cstdio>
#include <cstdlib>

#include "app/game_state.h"
#include "bots/bot.h"

void PrintBotPositions(uint32_t nowMs) {
  static const bool wanted = std::getenv("KORVALIS_BOT_POSITIONS") != nullptr;
  static uint32_t lastPrint = 0;
  if (!wanted || nowMs - lastPrint < 1000) return;
  lastPrint = nowMs;
  const Bot* b = gGame.bots;
  std::printf("bots %u ms: 0 at %.1f %.1f %.1f state %d, 1 at %.1f %.1f %.1f state %d\n", nowMs,
              b[0].position.x, b[0].position.y, b[0].position.z, b[0].state, b[1].position.x,
              b[1].position.y, b[1].position.z, b[1].state);
  std::fflush(stdout);
}
