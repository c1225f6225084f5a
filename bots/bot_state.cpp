// The bot records: start-up values, headings, the line-of-sight perception and the two
// keys that command both bots.
#include <cmath>

#include "bots/bot.h"
#include "bots/waypoints.h"
#include "combat/shots.h"
#include "core/game_state.h"
#include "core/level.h"
#include "level/trace.h"

BotShotFunction gBotShot = FireShot;

namespace {

const Vec3 SightExtents(10, 10, 10);

struct BotStart {
  Vec3 position;
  int targetWaypoint;
};
const BotStart BotStarts[BotCount] = {
    {Vec3(971.0f, 339.0f, -1464.0f), 12},
    {Vec3(1433.0f, 563.0f, -2801.0f), 25},
};
constexpr int FirstGoal = 15;

}  // namespace

const char* BotStateName(int state) {
  switch (state) {
    case StateSearch: return "ATTACK_SEARCH_HUMAN";
    case StateAttack: return "ATTACK_ATTACK_HUMAN";
    case StateHunt: return "ATTACK_HUNT_HUMAN";
    case StateRetreatCover: return "RETREAT_COVER";
    case StateRetreatCamp: return "RETREAT_CAMP";
    case StateRetreatRetreat: return "RETREAT_RETREAT";
    case StateCollectPower: return "COLLECT_SEARCH_POWER";
    case StateCollectWeapon: return "COLLECT_SEARCH_WEAPON";
    default: return "";
  }
}

void InitBot(int index) {
  Bot& bot = gGame.bots[index];
  bot = Bot();
  bot.position = BotStarts[index].position;
  bot.targetWaypoint = BotStarts[index].targetWaypoint;
  bot.goalWaypoint = FirstGoal;
  bot.moveDirection = NormalizeOrZero(WaypointPosition(bot.targetWaypoint) - bot.position);
  bot.walkSpeed = 1.0f;
  bot.runSpeed = 4.0f;
  bot.moveMode = MoveRun;
  bot.state = StateSearch;
  bot.seesPlayer = false;
  bot.steerMode = SteerAtWaypoint;
  bot.desiredHeading = 0;
}

float HeadingFromDirection(float x, float z) {
  constexpr float Pi = 3.1415927f;
  float e = 0;
  if (x == 0 && z > 0) e = 1.5707964f;
  if (x == 0 && z < 0) e = 4.712389f;
  if (x > 0 && z >= 0) e = std::atan(z / x);
  if (x > 0 && z < 0) e = std::atan(z / x) + 6.2831855f;
  if (x < 0) e = std::atan(z / x) + Pi;
  return 360.0f - e * 180.0f / Pi;
}

void UpdatePerception(int index) {
  Bot& bot = gGame.bots[index];
  bot.seesPlayer = !TraceHits(bot.position, gGame.trackedPlayerPosition, SightExtents);
  if (bot.seesPlayer) {
    bot.lastSeenPlayerPosition = gGame.trackedPlayerPosition;
    bot.lastSeenPlayerWaypoint = gGame.playerWaypoint;
  }
}

void SetBotsRun() {
  gGame.botsRun = !gGame.botsRun;
  for (Bot& bot : gGame.bots) {
    bot.moveMode = gGame.botsRun ? MoveRun : MoveWalk;
    bot.legsAnimationDirty = true;
  }
}

void SendBotsToPlayer() {
  for (int i = 0; i < BotCount; ++i) SetGoal(i, gGame.playerWaypoint);
}
