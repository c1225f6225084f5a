// Bots taking the jump pad, teleporter and lift links of a generated waypoint graph. The link
// is the one from the bot's last waypoint to its target; once it has carried the bot (it
// came out near the link's exit, or the lift reached its top) the bot walks on to the target.
#include "bots/link_follow.h"

#include <cmath>

#include "bots/mover_links.h"
#include "core/game_state.h"
#include "core/level.h"
#include "movers/movers.h"

namespace {

constexpr float ExitNear = 48;        // across: the bot came out of the link here
constexpr float ExitNearHeight = 64;
constexpr float TicksPerSecond = 85;
constexpr float SlowMotionDivisor = 20;

float Across(Vec3 a, Vec3 b) { return std::hypot(a.x - b.x, a.z - b.z); }

// Whether the body at p stands on brush model `model`.
bool StandsOnModel(Vec3 p, int model) {
  const TraceResult down = gGame.level.Trace(p, p - Vec3(0, 4, 0), BodyExtents);
  return down.fraction < 1.0f && down.model == model;
}

// Whether p lies over the lift's floor (its model's box across, where it is now).
bool OverLift(Vec3 p, const Mover& lift) {
  float mins[3], maxs[3];
  gGame.level.PlacedModelBox(lift.model, mins, maxs);
  return p.x >= mins[0] && p.x <= maxs[0] && p.z >= mins[2] && p.z <= maxs[2];
}

}  // namespace

LinkStep FollowSpecialLink(int index) {
  LinkStep step;
  Bot& bot = gGame.bots[index];
  if (!gGame.waypoints.generated || bot.steerMode != SteerAtWaypoint) return step;
  const SpecialLink* link = SpecialLinkOf(gGame.waypoints, bot.lastWaypoint, bot.targetWaypoint);
  if (!link) return step;
  if (bot.linkFrom != link->from || bot.linkTo != link->to) {
    bot.linkFrom = link->from;
    bot.linkTo = link->to;
    bot.linkTaken = false;
    bot.linkTicks = 0;
  }
  if (bot.linkTaken) return step;
  const int patience =
      static_cast<int>(LinkPatienceSeconds * TicksPerSecond * (gGame.slowMotion ? SlowMotionDivisor : 1.0f));
  if (++bot.linkTicks > patience) {
    step.giveUp = true;
    return step;
  }
  step.onLink = true;
  step.steerAt = link->entry;
  const Mover* lift = link->mover >= 0 && link->mover < static_cast<int>(gGame.movers.movers.size())
                          ? &gGame.movers.movers[link->mover]
                          : nullptr;
  switch (link->kind) {
    case LinkKind::JumpPad:
    case LinkKind::Teleporter:
      if (Across(bot.position, link->exit) < ExitNear && std::fabs(bot.position.y - link->exit.y) < ExitNearHeight)
        bot.linkTaken = true;
      break;
    case LinkKind::LiftUp:
      if (!lift) {
        step.giveUp = true;
      } else if (StandsOnModel(bot.position, lift->model)) {
        // Riding: still until the top, then off.
        if (lift->phase == MoverPhase::AtFar)
          bot.linkTaken = true;
        else
          step.stand = true;
      } else if (!MoverReady(*lift) && !OverLift(bot.position, *lift)) {
        step.stand = true;  // waits at the foot until the lift is down
      }
      break;
    case LinkKind::LiftDown:
      if (!lift || OverLift(bot.position, *lift)) bot.linkTaken = true;
      break;
  }
  if (bot.linkTaken) step = LinkStep();
  return step;
}
