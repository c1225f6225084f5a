// A diagnostic for scripts that watch the bots: with KORVALIS_BOT_POSITIONS set in the
// environment, the game prints both bots' positions once a second to stdout, with how many
// different waypoints each has reached so far, how many grenades each has fired, the game
// ticks run (game time: 85 a second), and on how many floors (heights of the waypoints
// reached, more than a floor's reach apart) each has been.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bots/bot.h"
#include "core/game_state.h"

namespace {

constexpr float FloorApart = 48;   // waypoint heights further apart than this are two floors

std::vector<bool> gReached[BotCount];
std::vector<float> gFloors[BotCount];  // per bot, a height of each floor it has reached  // per bot, per waypoint: reached since start
int gReachedCount[BotCount] = {};
int gGrenades[BotCount] = {};

}  // namespace

void NoteBotGrenade(int index) {
  if (index >= 0 && index < BotCount) ++gGrenades[index];
}

void PrintBotPositions(uint32_t nowMs) {
  static const bool wanted = std::getenv("KORVALIS_BOT_POSITIONS") != nullptr;
  static uint32_t lastPrint = 0;
  if (!wanted) return;
  // Every frame: the frames outrun the ticks, so no arrival is missed.
  for (int i = 0; i < BotCount; ++i) {
    std::vector<bool>& reached = gReached[i];
    if (reached.size() != static_cast<size_t>(gGame.waypoints.count)) reached.assign(gGame.waypoints.count, false);
    const int w = gGame.bots[i].lastWaypoint;
    if (w >= 0 && w < gGame.waypoints.count && !reached[w]) {
      reached[w] = true;
      ++gReachedCount[i];
      const float y = gGame.waypoints.y[w];
      bool known = false;
      for (float floor : gFloors[i]) known = known || std::fabs(floor - y) <= FloorApart;
      if (!known) gFloors[i].push_back(y);
    }
  }
  if (nowMs - lastPrint < 1000) return;
  lastPrint = nowMs;
  const Bot* b = gGame.bots;
  std::printf("bots %u ms: 0 at %.1f %.1f %.1f state %d, 1 at %.1f %.1f %.1f state %d, waypoints %d %d, "
              "grenades %d %d, ticks %u, floors %zu %zu\n",
              nowMs, b[0].position.x, b[0].position.y, b[0].position.z, b[0].state, b[1].position.x,
              b[1].position.y, b[1].position.z, b[1].state, gReachedCount[0], gReachedCount[1], gGrenades[0],
              gGrenades[1], gGame.gameTicks, gFloors[0].size(), gFloors[1].size());
  std::fflush(stdout);
}
