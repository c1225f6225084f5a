// The record of a computer-controlled opponent, with the codes of its states and modes:
// the two bots live in the game state; bots/bot.h holds what they do.
#pragma once
#include "core/vec3.h"

struct Bot {
  Vec3 position;                 // centre of the hit box and of the traces
  Vec3 previousPosition;         // before the last movement step
  Vec3 facing;                   // direction of motion and fire
  Vec3 moveDirection;            // unit vector toward the steering point
  Vec3 aimPoint;                 // steering point while attacking
  Vec3 lastSeenPlayerPosition;
  int lastSeenPlayerWaypoint = 0;
  int lastWaypoint = 0;
  int targetWaypoint = 0;
  int goalWaypoint = 0;
  float walkSpeed = 0;           // units per tick
  float runSpeed = 0;
  float heading = 0;             // degrees in [0, 360]; the drawn rotation
  float desiredHeading = 0;
  bool seesPlayer = false;
  bool torsoAnimationDirty = false;
  bool legsAnimationDirty = false;
  int state = 0;                 // 10 search, 11 attack, 12 hunt
  int moveMode = 0;              // 0 stand, 1 walk, 2 run
  int steerMode = 0;             // 666 target waypoint, 333 aimPoint
  int stuckTicks = 0;
  float lastShotTime = 0;        // ms of the last shot opportunity
  // On a level with a generated graph: the body falls where no floor is under it, and a bot
  // that comes no closer to its target waypoint for a few seconds picks a new one.
  bool falling = false;
  int watchedTarget = -1;        // the target waypoint the two fields below are about
  int noProgressTicks = 0;       // ticks since the bot last came closer to it
  float closestToTarget = 0;     // the nearest it came (horizontal distance)
  int goalReplans = 0;           // re-plans on the way to the present goal
  // Taking a jump pad, teleporter or lift (bots/link_follow.h): the link (its waypoints),
  // whether it has carried the bot yet, and the ticks spent on it.
  int linkFrom = -1, linkTo = -1;
  bool linkTaken = false;
  int linkTicks = 0;
  // Bots are bodies to each other: the ticks in a row the other bot's body stopped this one's
  // step, and the ticks left of stepping out of the other's way (bots/bot_contact.cpp).
  int blockedByBot = 0;
  int givingWay = 0;
  Vec3 giveWay;                  // the way it steps, chosen as it starts
};

constexpr int BotCount = 2;

// Behaviour states. The retreat and collect codes are only stored, never acted on.
constexpr int StateSearch = 10;
constexpr int StateAttack = 11;
constexpr int StateHunt = 12;
constexpr int StateRetreatCover = 20;
constexpr int StateRetreatCamp = 21;
constexpr int StateRetreatRetreat = 22;
constexpr int StateCollectPower = 30;
constexpr int StateCollectWeapon = 31;

constexpr int MoveStand = 0, MoveWalk = 1, MoveRun = 2;
constexpr int SteerAtWaypoint = 666, SteerAtAimPoint = 333;

constexpr int BotWeapon = 13;              // the grenade launcher
constexpr float BotFeetBelowCentre = 54;   // the drawn soles lie this far below `position`
