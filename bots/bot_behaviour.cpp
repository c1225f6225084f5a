// The bots' game tick: the search / attack / hunt decisions with shooting, and the movement
// step with arrival, steering, turning, collision and unsticking. Distances are per tick.
#include <cmath>

#include "bots/bot.h"
#include "bots/graph_builder.h"
#include "bots/level_bots.h"
#include "bots/link_follow.h"
#include "bots/waypoints.h"
#include "combat/shots.h"
#include "core/game_state.h"
#include "core/level.h"
#include "core/random.h"
#include "level/trace.h"
#include "platform/platform.h"

namespace {

constexpr float ArrivalRadius = BotArrivalRadius;
constexpr float TurnStep = BotTurnStep;
constexpr float TurnDeadZone = 3.0f;       // snap to the desired heading within this
constexpr float TurnOnTheSpot = 90.0f;     // degrees off the way from which a bot stops to turn
constexpr float ShotIntervalMs = 1000.0f;  // between shot opportunities
constexpr float AimDrop = 32.0f;           // aim below the player's eye
constexpr int StuckLimit = 30;             // stuck ticks in a row before re-planning
constexpr float StuckJudgedStep = 4.0f;    // a running bot's step, for which progress <= 1 is stuck
constexpr float SlowMotionDivisor = 20.0f;
constexpr int SlowMotionShotSkip = 20;     // opportunities skipped between slow-motion shots
constexpr float DegreesToRadians = 0.017453293f;
constexpr float NoProgressSeconds = 3;     // without coming closer to the target: re-plan
constexpr float ProgressStep = 8;          // coming this much closer counts as progress
constexpr float TicksPerSecond = 85;
constexpr int KeptGoalReplans = 2;         // re-plans that keep the goal before a new one

// The next waypoint from `from` toward `goal`. A pair without a route (only possible in a
// graph that is not connected) keeps the bot on `from` rather than indexing with -2.
int NextHop(int from, int goal) {
  const int count = gGame.waypoints.count;
  if (from < 0 || from >= count || goal < 0 || goal >= count) return from;
  const int next = gGame.routes.nextHop[from][goal];
  return next >= 0 && next < count ? next : from;
}

// A random goal; waypoint 0 while no graph is loaded (nothing to divide by). In a graph of
// several parts (a level with a pit or a ledge no bot gets out of, drops one way) the draw
// moves on to the first waypoint of the largest part the bot's route reaches: it never waits
// for an unreachable goal and never walks into a pit while more of the level is in reach. In
// a connected graph every draw is kept as it is.
int RandomWaypoint(int index) {
  const int count = gGame.waypoints.count;
  if (count <= 0) return 0;
  const int drawn = RandomInt() % count;
  const int from = gGame.bots[index].targetWaypoint;
  if (gGame.waypoints.generated) {
    int part = -1, size = 0;
    for (int w = 0; w < count; ++w)
      if (PartSize(w) > size && HasRoute(from, w)) part = WaypointPart(w), size = PartSize(w);
    for (int k = 0; k < count; ++k) {
      const int goal = (drawn + k) % count;
      if (WaypointPart(goal) == part && HasRoute(from, goal)) return goal;
    }
  }
  for (int k = 0; k < count; ++k) {
    const int goal = (drawn + k) % count;
    if (HasRoute(from, goal)) return goal;
  }
  return drawn;
}

int MovingMode() { return gGame.botsRun ? MoveRun : MoveWalk; }

// Whether the bot stands within the arrival square of waypoint w.
bool AtWaypoint(const Bot& bot, int w) {
  if (w < 0 || w >= gGame.waypoints.count) return false;
  const Vec3 p = WaypointPosition(w);
  return std::fabs(p.x - bot.position.x) <= ArrivalRadius && std::fabs(p.z - bot.position.z) <= ArrivalRadius;
}

// Whether a bot at waypoint `from` may take `goal`: its route reaches it, and it is no dead
// end (a pit with no way back) unless the bot is in that dead end already.
bool GoalInReach(int from, int goal) {
  return HasRoute(from, goal) && (LeadsToLargestPart(goal) || !LeadsToLargestPart(from));
}

// Of the waypoints `from` may take as goals, the one nearest to `goal` (from itself at worst).
int NearestReachableTo(int from, int goal) {
  const Vec3 wanted = WaypointPosition(goal);
  int best = from;
  float bestCost = WaypointCost(WaypointPosition(from), wanted);
  for (int w = 0; w < gGame.waypoints.count; ++w) {
    const float cost = WaypointCost(WaypointPosition(w), wanted);
    if (cost < bestCost && GoalInReach(from, w)) best = w, bestCost = cost;
  }
  return best;
}

// Attacking: face the player's last seen position and fire once a second.
void Attack(int index) {
  Bot& bot = gGame.bots[index];
  bot.steerMode = SteerAtAimPoint;
  bot.aimPoint = bot.lastSeenPlayerPosition;
  bot.aimPoint.y -= AimDrop;

  const float now = static_cast<float>(platform::Ticks());
  if (now - bot.lastShotTime < ShotIntervalMs) return;
  // The grenade leaves the weapon's muzzle as drawn. A muzzle poking through a wall the bot
  // stands against would start the shot beyond it: the shot then starts where the line from
  // the bot's centre meets the wall, heading on into it, and bursts on this side.
  Vec3 origin = BotMuzzle(index);
  Vec3 direction = bot.facing;
  const TraceResult reach = gGame.level.Trace(bot.position, origin, ShotExtents);
  if (reach.fraction < 1.0f) {
    direction = NormalizeOrZero(origin - bot.position);
    origin = reach.end;
  }
  bool fire = true;
  if (gGame.slowMotion) {
    // Both bots share the counter: one shot per 21 opportunities between them.
    if (gGame.slowShotCounter < SlowMotionShotSkip) {
      ++gGame.slowShotCounter;
      fire = false;
    } else {
      gGame.slowShotCounter = 0;
    }
  }
  // The shot goes along `facing` as it is, which lags the aim while the bot still turns.
  if (fire && gBotShot) {
    gBotShot(origin, direction, BotWeapon, index);
    NoteBotGrenade(index);
  }
  bot.lastShotTime = now;
}

// Off its route on a generated graph (stuck, landed where its target is out of reach, or no
// closer to its target for a few seconds): the bot walks to the nearest waypoint it reaches
// and goes on from there to its goal (the player it was sent to) while that is in reach, for
// the first few re-plans on the way; after that, or out of reach, it takes a new goal.
void Replan(int index) {
  Bot& bot = gGame.bots[index];
  // The link to the target the bot could not reach may fail it again from where it arrives:
  // it prefers a waypoint whose route to the goal keeps clear of that target.
  const int failed = bot.targetWaypoint, goal = bot.goalWaypoint;
  bot.targetWaypoint = NearestReachableWaypoint(bot.position, [&](int w) {
    for (int steps = 0; steps < gGame.waypoints.count && w != goal; ++steps) {
      if (w == failed) return false;
      w = NextHop(w, goal);
    }
    return w != failed;
  });
  if (bot.goalReplans < KeptGoalReplans && GoalInReach(bot.targetWaypoint, bot.goalWaypoint)) {
    ++bot.goalReplans;
  } else {
    bot.goalWaypoint = RandomWaypoint(index);
    bot.goalReplans = 0;
  }
  bot.moveDirection = NormalizeOrZero(WaypointPosition(bot.targetWaypoint) - bot.position);
  bot.steerMode = SteerAtWaypoint;
  bot.stuckTicks = 0;
  bot.watchedTarget = -1;
  if (bot.moveMode == MoveStand && bot.state != StateAttack) {
    bot.moveMode = MovingMode();
    bot.legsAnimationDirty = true;
  }
}

// A bot walking its route on a generated graph must come closer to its target: when it has
// not for NoProgressSeconds of game time (slow motion counted slowed), it re-plans.
void WatchProgress(int index) {
  Bot& bot = gGame.bots[index];
  if (bot.steerMode != SteerAtWaypoint || bot.falling) return;
  const Vec3 target = WaypointPosition(bot.targetWaypoint);
  const float distance = std::hypot(target.x - bot.position.x, target.z - bot.position.z);
  if (bot.watchedTarget != bot.targetWaypoint || distance < bot.closestToTarget - ProgressStep) {
    bot.watchedTarget = bot.targetWaypoint;
    bot.closestToTarget = distance;
    bot.noProgressTicks = 0;
    return;
  }
  const int limit = static_cast<int>(NoProgressSeconds * TicksPerSecond) * (gGame.slowMotion ? 20 : 1);
  if (++bot.noProgressTicks >= limit) Replan(index);
}

// A bot that made no progress for too long heads for the nearest waypoint it can see, or
// for a random goal when that is where it was going anyway; on a generated graph it re-plans
// instead. Either way once every StuckLimit ticks while it stays stuck: re-planned on every
// tick, a bot pressed to a wall would turn a step toward one new target and a step back
// toward the next, and stand there until a draw happened to lead away.
// Progress is the travel cost of the move (per axis truncated) with the move scaled to a
// running bot's step: a running bot is stuck at a progress of 1 or less, and a walking bot
// (1 unit a tick) or any bot in slow motion is judged the same way for the distance it was
// asked to move, instead of counting as stuck on every tick.
void Unstick(int index, float asked) {
  Bot& bot = gGame.bots[index];
  const float scale = asked > 0 ? StuckJudgedStep / asked : 1.0f;
  const float progress = WaypointCost((bot.position - bot.previousPosition) * scale, Vec3());
  const bool stuck = progress <= 1.0f;
  if (bot.stuckTicks >= StuckLimit && stuck && gGame.waypoints.generated) {
    Replan(index);
  } else if (bot.stuckTicks >= StuckLimit && stuck) {
    const int w = NearestVisibleWaypoint(index);
    if (w == bot.targetWaypoint) {
      SetGoal(index, RandomWaypoint(index));
    } else {
      bot.targetWaypoint = w;
      bot.moveDirection = NormalizeOrZero(WaypointPosition(w) - bot.position);
      bot.steerMode = SteerAtWaypoint;
    }
    bot.stuckTicks = 0;
  } else if (stuck) {
    ++bot.stuckTicks;
  } else {
    bot.stuckTicks = 0;
  }
}

}  // namespace

float TurnToward(float heading, float desired, float step) {
  if (desired - TurnDeadZone > heading) {
    if (heading + 360.0f - desired < 180.0f)
      heading -= step;
    else
      heading += step;
  } else if (desired + TurnDeadZone < heading) {
    if (desired + 360.0f - heading < 180.0f)
      heading += step;
    else
      heading -= step;
  } else {
    heading = desired;
  }
  if (heading < 0) heading += 360.0f;
  if (heading > 360.0f) heading -= 360.0f;
  return heading;
}

float TurningSpeedShare(float heading, float desired) {
  float off = std::fabs(heading - desired);
  if (off > 180.0f) off = 360.0f - off;
  return off >= TurnOnTheSpot ? 0.0f : std::cos(off * DegreesToRadians);
}

Vec3 FacingFromHeading(float heading, float verticalPart) {
  const float a = (360.0f - heading) * DegreesToRadians;
  return Vec3(std::cos(a), verticalPart, std::sin(a));
}

void SetGoal(int index, int goal) {
  Bot& bot = gGame.bots[index];
  // On a generated graph of several parts, a goal the bot's route cannot reach (the player
  // on a ledge it cannot climb) or that it would never get out of (the player down a pit)
  // becomes the waypoint nearest to it that the bot may take.
  const int count = gGame.waypoints.count;
  if (gGame.waypoints.generated && bot.targetWaypoint >= 0 && bot.targetWaypoint < count &&
      !GoalInReach(bot.targetWaypoint, goal))
    goal = NearestReachableTo(bot.targetWaypoint, goal);
  bot.goalWaypoint = goal;
  bot.goalReplans = 0;
  // A bot standing at the goal it reached (not to shoot) walks on to the new one: sent on by
  // Delete, or by a hunt to its next goal, it would otherwise stand there for good.
  if (bot.moveMode == MoveStand && bot.state != StateAttack) {
    bot.moveMode = MovingMode();
    bot.legsAnimationDirty = true;
  }
  // A bot at the waypoint it was walking to, or still at the one it left, goes on from there.
  // Anywhere else (along a link, or off the graph where it stood to shoot) it first walks to
  // the waypoint it was making for: the next hop past it may lie behind a wall or a corner.
  if (AtWaypoint(bot, bot.targetWaypoint))
    bot.targetWaypoint = NextHop(bot.targetWaypoint, goal);
  else if (AtWaypoint(bot, bot.lastWaypoint))
    bot.targetWaypoint = NextHop(bot.lastWaypoint, goal);
  bot.moveDirection = NormalizeOrZero(WaypointPosition(bot.targetWaypoint) - bot.position);
  bot.steerMode = SteerAtWaypoint;
}

void CheckArrival(int index) {
  Bot& bot = gGame.bots[index];
  const Vec3 w = WaypointPosition(bot.targetWaypoint);
  if (w.x - ArrivalRadius <= bot.position.x && bot.position.x <= w.x + ArrivalRadius &&
      w.z - ArrivalRadius <= bot.position.z && bot.position.z <= w.z + ArrivalRadius) {
    bot.lastWaypoint = bot.targetWaypoint;
    bot.targetWaypoint = NextHop(bot.targetWaypoint, bot.goalWaypoint);
    bot.moveDirection = NormalizeOrZero(WaypointPosition(bot.targetWaypoint) - bot.position);
  }
}

void EnterState(int index, int code) {
  Bot& bot = gGame.bots[index];
  switch (code) {
    case StateSearch:
      bot.steerMode = SteerAtWaypoint;
      bot.state = StateSearch;
      SetGoal(index, RandomWaypoint(index));
      bot.torsoAnimationDirty = true;
      bot.moveMode = MovingMode();
      bot.legsAnimationDirty = true;
      break;
    case StateAttack:
      bot.state = StateAttack;
      bot.torsoAnimationDirty = true;
      bot.moveMode = MoveStand;
      bot.legsAnimationDirty = true;
      break;
    case StateHunt:
      bot.state = StateHunt;
      bot.steerMode = SteerAtWaypoint;
      bot.targetWaypoint = NearestVisibleWaypoint(index);
      // The waypoint in sight may lie down a pit the bot stands beside.
      if (gGame.waypoints.generated && !LeadsToLargestPart(bot.targetWaypoint))
        bot.targetWaypoint = NearestReachableWaypoint(bot.position);
      SetGoal(index, bot.lastSeenPlayerWaypoint);
      bot.torsoAnimationDirty = true;
      bot.moveMode = MovingMode();
      bot.legsAnimationDirty = true;
      break;
    case StateRetreatCover:
    case StateRetreatCamp:
    case StateRetreatRetreat:
    case StateCollectPower:
    case StateCollectWeapon:
      bot.state = code;
      break;
    default:
      break;
  }
}

void UpdateBot(int index) {
  UpdatePerception(index);
  Bot& bot = gGame.bots[index];
  switch (bot.state) {
    case StateSearch:
      if (bot.seesPlayer)
        EnterState(index, StateAttack);
      else if (bot.lastWaypoint == bot.goalWaypoint)
        EnterState(index, StateSearch);
      break;
    case StateAttack:
      if (!bot.seesPlayer)
        EnterState(index, StateHunt);
      else
        Attack(index);
      break;
    case StateHunt:
      if (bot.seesPlayer) {
        EnterState(index, StateAttack);
      } else if (bot.lastWaypoint == bot.goalWaypoint) {
        if (gGame.waypoints.links[bot.goalWaypoint][bot.lastSeenPlayerWaypoint] == 1)
          SetGoal(index, bot.lastSeenPlayerWaypoint);
        else
          EnterState(index, StateSearch);
      }
      break;
    default:
      break;
  }
}

void MoveBot(int index) {
  Bot& bot = gGame.bots[index];
  const bool generated = gGame.waypoints.generated;
  if (gGame.botFlights[index].active) return;  // thrown by a jump pad: the flight moves it
  if (generated) {
    // Bodies fall on generated levels; one that lands where its target is out of its reach
    // finds its way again.
    const bool wasFalling = bot.falling;
    bot.falling = !BodyOnFloor(gGame.level, bot.position);
    if (wasFalling && !bot.falling && bot.steerMode == SteerAtWaypoint &&
        !WalkReaches(gGame.level, bot.position, WaypointPosition(bot.targetWaypoint), StuckJudgedStep))
      Replan(index);
  }
  // A falling bot arrives once it has landed.
  if (bot.steerMode == SteerAtWaypoint && !bot.falling) CheckArrival(index);
  // A jump pad, teleporter or lift on the way: where to walk, or to stand and wait.
  const LinkStep link = generated && !bot.falling ? FollowSpecialLink(index) : LinkStep();
  if (link.giveUp) Replan(index);
  if (bot.lastWaypoint == bot.goalWaypoint && bot.moveMode != MoveStand) {
    bot.moveMode = MoveStand;  // the bot stops at its goal
    bot.legsAnimationDirty = true;
  }

  if (bot.steerMode == SteerAtWaypoint)
    bot.moveDirection = NormalizeOrZero((link.onLink ? link.steerAt : WaypointPosition(bot.targetWaypoint)) - bot.position);
  else if (bot.steerMode == SteerAtAimPoint)
    bot.moveDirection = NormalizeOrZero(bot.aimPoint - bot.position);
  bot.desiredHeading = HeadingFromDirection(bot.moveDirection.x, bot.moveDirection.z);

  const float step = gGame.slowMotion ? TurnStep / SlowMotionDivisor : TurnStep;
  bot.heading = TurnToward(bot.heading, bot.desiredHeading, step);
  bot.facing = FacingFromHeading(bot.heading, bot.moveDirection.y);

  float asked = 0;  // the step the bot was asked to take this tick (its speed)
  const bool moving = (bot.moveMode == MoveWalk || bot.moveMode == MoveRun) && !link.stand;
  if (moving || bot.falling) {
    float speed = !moving ? 0 : bot.moveMode == MoveWalk ? bot.walkSpeed : bot.runSpeed;
    speed *= TurningSpeedShare(bot.heading, bot.desiredHeading);
    if (gGame.slowMotion) speed /= SlowMotionDivisor;
    asked = speed;
    bot.previousPosition = bot.position;
    if (generated && !bot.falling) {
      // A walking bot drops only where its way leads down: never below its target's floor
      // (into a pit beside its way), or below its own while it steers at anything else.
      const float floorHeight =
          bot.steerMode == SteerAtWaypoint ? WaypointPosition(bot.targetWaypoint).y : bot.position.y;
      bot.position = BodyStepKeepingFooting(gGame.level, bot.previousPosition, bot.facing, bot.moveDirection, speed,
                                            floorHeight - BotDropAllowance);
    } else if (generated) {
      bot.position = BodyStep(gGame.level, bot.previousPosition, bot.facing, speed, bot.falling,
                              BotFallStep / (gGame.slowMotion ? SlowMotionDivisor : 1.0f));
    } else {
      bot.position = BodySlide(gGame.level, bot.previousPosition, bot.position + bot.facing * speed);
    }
  }
  // A bot turning on the spot has not been asked to move: it is not stuck.
  if (bot.moveMode != MoveStand && !link.stand && (asked > 0 || bot.falling)) {
    Unstick(index, asked);
    if (generated && !link.onLink) WatchProgress(index);
  }
}
