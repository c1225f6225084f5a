// The bots' game tick: the search / attack / hunt decisions with shooting, and the movement
// step with arrival, steering, turning, collision and unsticking. Distances are per tick.
#include <cmath>

#include "app/game_state.h"
#include "bots/bot.h"
#include "bots/waypoints.h"
#include "core/random.h"
#include "level/level.h"
#include "platform/platform.h"

namespace {

constexpr float ArrivalRadius = 30.0f;     // on x and on z, inclusive; height ignored
constexpr float TurnStep = 5.0f;           // degrees per tick
constexpr float TurnDeadZone = 3.0f;       // snap to the desired heading within this
constexpr float ShotIntervalMs = 1000.0f;  // between shot opportunities
constexpr float MuzzleForward = 50.0f;
constexpr float MuzzleUp = 20.0f;
constexpr float AimDrop = 32.0f;           // aim below the player's eye
constexpr int StuckLimit = 30;             // ticks with progress <= 1 before re-planning
constexpr float SlowMotionDivisor = 20.0f;
constexpr int SlowMotionShotSkip = 20;     // opportunities skipped between slow-motion shots
constexpr float DegreesToRadians = 0.017453293f;

// The next waypoint from `from` toward `goal`. A pair without a route (only possible in a
// graph that is not connected) keeps the bot on `from` rather than indexing with -2.
int NextHop(int from, int goal) {
  const int count = gGame.waypoints.count;
  if (from < 0 || from >= count || goal < 0 || goal >= count) return from;
  const int next = gGame.routes.nextHop[from][goal];
  return next >= 0 && next < count ? next : from;
}

// A random goal; waypoint 0 while no graph is loaded (nothing to divide by).
int RandomWaypoint() {
  const int count = gGame.waypoints.count;
  return count > 0 ? RandomInt() % count : 0;
}

int MovingMode() { return gGame.botsRun ? MoveRun : MoveWalk; }

// Attacking: face the player's last seen position and fire once a second.
void Attack(int index) {
  Bot& bot = gGame.bots[index];
  bot.steerMode = SteerAtAimPoint;
  bot.aimPoint = bot.lastSeenPlayerPosition;
  bot.aimPoint.y -= AimDrop;

  const float now = static_cast<float>(platform::Ticks());
  if (now - bot.lastShotTime < ShotIntervalMs) return;
  const Vec3 origin(bot.position.x + bot.facing.x * MuzzleForward, bot.position.y + MuzzleUp,
                    bot.position.z + bot.facing.z * MuzzleForward);
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
  if (fire && gBotShot) gBotShot(origin, bot.facing, BotWeapon, index);
  bot.lastShotTime = now;
}

// Turns `heading` one step toward `desired` the short way round, snapping when close.
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

// A bot that made no progress for too long heads for the nearest waypoint it can see, or
// for a random goal when that is where it was going anyway. Retried every stuck tick.
void Unstick(int index) {
  Bot& bot = gGame.bots[index];
  const float progress = WaypointCost(bot.previousPosition, bot.position);
  if (bot.stuckTicks >= StuckLimit && progress <= 1.0f) {
    const int w = NearestVisibleWaypoint(index);
    if (w == bot.targetWaypoint) {
      SetGoal(index, RandomWaypoint());
    } else {
      bot.targetWaypoint = w;
      bot.moveDirection = NormalizeOrZero(WaypointPosition(w) - bot.position);
      bot.steerMode = SteerAtWaypoint;
    }
  } else if (progress <= 1.0f) {
    ++bot.stuckTicks;
  } else {
    bot.stuckTicks = 0;
  }
}

}  // namespace

void SetGoal(int index, int goal) {
  Bot& bot = gGame.bots[index];
  bot.goalWaypoint = goal;
  // The next hop is taken from the waypoint the bot was walking to, not from where it is.
  bot.targetWaypoint = NextHop(bot.targetWaypoint, goal);
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
      SetGoal(index, RandomWaypoint());
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
  if (bot.steerMode == SteerAtWaypoint) CheckArrival(index);
  if (bot.lastWaypoint == bot.goalWaypoint && bot.moveMode != MoveStand) {
    bot.moveMode = MoveStand;  // the bot stops at its goal
    bot.legsAnimationDirty = true;
  }

  if (bot.steerMode == SteerAtWaypoint)
    bot.moveDirection = NormalizeOrZero(WaypointPosition(bot.targetWaypoint) - bot.position);
  else if (bot.steerMode == SteerAtAimPoint)
    bot.moveDirection = NormalizeOrZero(bot.aimPoint - bot.position);
  bot.desiredHeading = HeadingFromDirection(bot.moveDirection.x, bot.moveDirection.z);

  const float step = gGame.slowMotion ? TurnStep / SlowMotionDivisor : TurnStep;
  bot.heading = TurnToward(bot.heading, bot.desiredHeading, step);
  const float a = (360.0f - bot.heading) * DegreesToRadians;
  bot.facing = Vec3(std::cos(a), bot.moveDirection.y, std::sin(a));

  if (bot.moveMode == MoveWalk || bot.moveMode == MoveRun) {
    float speed = bot.moveMode == MoveWalk ? bot.walkSpeed : bot.runSpeed;
    if (gGame.slowMotion) speed /= SlowMotionDivisor;
    bot.previousPosition = bot.position;
    bot.position = MoveWithSlide(bot.previousPosition, bot.position + bot.facing * speed);
  }
  if (bot.moveMode != MoveStand) Unstick(index);
}
