// The two computer-controlled opponents: their record, perception, drawing and behaviour.
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
};

constexpr int BotCount = 2;

void InitBot(int index);
// The game tick: decide, then move (UpdateBot 0, 1, then MoveBot 0, 1).
void UpdateBot(int index);
void MoveBot(int index);
// Every frame: switch the characters' clips, draw both bots, show bot 0's panel.
void ApplyBotAnimations();
void DrawBots();
void DrawBotInfoPanel();
// Keys: Insert flips running and walking; Delete sends both bots to the player.
void SetBotsRun();
void SendBotsToPlayer();
