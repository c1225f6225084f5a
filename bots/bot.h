// What the two computer-controlled opponents do: perception, drawing and behaviour (their
// record is core/bot_record.h).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "combat/bot_hit_box.h"
#include "core/bot_record.h"
#include "core/vec3.h"

class Level;

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

// The legs of the movement step, shared with the graph builder's trial walks: `heading`
// turned one step toward `desired` the short way round (snapping within 3 degrees), and the
// facing of a heading with the vertical part of the steering direction.
float TurnToward(float heading, float desired, float step);
Vec3 FacingFromHeading(float heading, float verticalPart);
// The share of its speed a bot moves at while its heading is off the desired one: the cosine
// of the angle between them, none from 90 degrees on. A bot that must turn round turns on the
// spot instead of running a wide arc off its link into whatever stands beside it, and slows
// into sharp corners.
float TurningSpeedShare(float heading, float desired);
constexpr float BotTurnStep = 5.0f;          // degrees per tick
constexpr float BotArrivalRadius = 30.0f;    // on x and on z, inclusive; height ignored

// The body on a level with a generated graph (the default level's bots glide along their
// links and never fall). A bot with no floor close under its soles falls at the player's fall
// speed (256 units a second, 85 game ticks a second), the steering still carrying it across.
constexpr float BotFallStep = 256.0f / 85.0f;  // units per tick
// The body moved from `start` toward `end` up to what stops it, and what is left of the move
// slid on from there along the faces it met (two in a corner). Unlike the tracer's slide,
// which starts again from `start` and drops the part of the move made before the contact, a
// body that meets a wall late in its step keeps most of its way along it.
Vec3 BodySlide(Level& level, Vec3 start, Vec3 end);
// Whether a floor is close enough under the body at `centre` to hold it up.
bool BodyOnFloor(Level& level, Vec3 centre);
// One tick: `speed` along `facing` with the slide; falling, only across and down, then down
// by `fallStep` onto whatever it meets.
Vec3 BodyStep(Level& level, Vec3 position, Vec3 facing, float speed, bool falling, float fallStep);
// Whether a body at `centre` stands on a floor, or falls from there onto one whose resting
// centre is no lower than `lowest`.
bool FootingHolds(Level& level, Vec3 centre, float lowest);
// How far below the target waypoint a step off an edge may land (body centres): a floor's
// reach, as close as the steering holds a bot to its floor. The game's bots and the graph
// builder's trial walks keep their footing by this same allowance.
constexpr float BotDropAllowance = 48;
// A walking bot's tick (not falling) that never ends with a fall below `lowest`: the step
// along `facing`, else along `straight` (the way to its target), else along the x or the z
// part of that way; where every one would drop it too far, it stays and turns in place.
Vec3 BodyStepKeepingFooting(Level& level, Vec3 position, Vec3 facing, Vec3 straight, float speed, float lowest);

// Where bot `index`'s grenades start: the muzzle of the weapon its character holds as last
// drawn, in world coordinates; without a loaded character, 50 ahead along `facing` and 20
// above the centre.
Vec3 BotMuzzle(int index);

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
