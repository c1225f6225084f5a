// The two computer-controlled opponents: their record, perception, drawing and behaviour.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

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

// The name the information panel prints for a state ("" for an unknown code).
const char* BotStateName(int state);

void InitBot(int index);
// Degrees in (0, 360] of the horizontal direction (x, z); (1, 0) and (0, 0) give 360.
float HeadingFromDirection(float x, float z);
// The line-of-sight step: sees the player along any open line, whatever the facing.
void UpdatePerception(int index);

// The game tick: decide, then move (UpdateBot 0, 1, then MoveBot 0, 1).
void UpdateBot(int index);
void MoveBot(int index);
void EnterState(int index, int code);
void SetGoal(int index, int goal);
void CheckArrival(int index);

// Every frame: switch the characters' clips, draw both bots, show bot 0's panel.
void ApplyBotAnimations();
// The clip changes ApplyBotAnimations makes for a bot, in order (torso before legs); at
// most three. Returns how many.
struct BotAnimationCall {
  bool torso;        // true: SetTorsoAnimation, false: SetLegsAnimation
  const char* clip;
};
int BotAnimationCalls(const Bot& bot, BotAnimationCall calls[3]);
// The panel's lines about bot 0 and the player, with their pixel positions.
struct PanelLine {
  int x, y;
  std::string text;
};
std::vector<PanelLine> BotInfoPanelLines();
void DrawBots();
void DrawBotInfoPanel();
// How far the drawn character is moved up (positive) or down so that its soles rest on the
// floor found by a short trace below the bot; 0 when no floor is near.
float BotDrawnFloorOffset(int index);

// The legs of the movement step, shared with the graph builder's trial walks: `heading`
// turned one step toward `desired` the short way round (snapping within 3 degrees), and the
// facing of a heading with the vertical part of the steering direction.
float TurnToward(float heading, float desired, float step);
Vec3 FacingFromHeading(float heading, float verticalPart);
constexpr float BotTurnStep = 5.0f;          // degrees per tick
constexpr float BotArrivalRadius = 30.0f;    // on x and on z, inclusive; height ignored

// Where bot `index`'s grenades start: the muzzle of the weapon its character holds as last
// drawn, in world coordinates; without a loaded character, 50 ahead along `facing` and 20
// above the centre.
Vec3 BotMuzzle(int index);
// The box shots test against bot `index`: the figure as drawn, from its soles (set down on
// the floor as DrawBots does) to the top of its head, 17 to either side on x and z.
void BotHitBox(int index, Vec3* mins, Vec3* maxs);

// Keys: Insert flips running and walking; Delete sends both bots to the player.
void SetBotsRun();
void SendBotsToPlayer();

// With KORVALIS_BOT_POSITIONS set, prints both bots' positions once a second (scripts),
// with the number of different waypoints each has reached and of grenades each has fired.
void PrintBotPositions(uint32_t nowMs);
void NoteBotGrenade(int index);

// Where the bots' shots go: FireShot unless a test records them instead.
typedef void (*BotShotFunction)(Vec3 origin, Vec3 direction, int weapon, int owner);
extern BotShotFunction gBotShot;
