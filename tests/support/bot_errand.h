// A bot sent on an errand over the waypoint graph, as the tests that walk bots over their
// links start one.
#pragma once
#include "bots/bot.h"

// `bot` at `position`, searching and running for waypoint `target` on its way to `goal`,
// steering at its waypoint, having reached none yet.
inline void SendBot(Bot& bot, Vec3 position, int target, int goal) {
  bot.position = position;
  bot.state = StateSearch;
  bot.moveMode = MoveRun;
  bot.steerMode = SteerAtWaypoint;
  bot.lastWaypoint = -1;
  bot.targetWaypoint = target;
  bot.goalWaypoint = goal;
}
