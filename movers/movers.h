// The level's moving entities and trigger volumes: set up from the entity text, advanced by
// game time, and what they do to bodies (the player and the bots alike: a body is a box).
//
// For the bots' routes: `gGame.movers.triggers` lists every jump pad (Push: its volume, the
// throw it gives and the point its path peaks at), teleporter (Teleport: volume, destination
// and facing) and fire volume; `gGame.movers.movers` every door and lift with its rest and
// far offsets, speed and phase. MoverReady says when a lift is down to be boarded or a door
// open to pass; PlaceAfter where a mover will be after some seconds if nothing blocks it.
// (The records and this interface are on main since commit 731a6b0.)
#pragma once
#include "core/level.h"
#include "core/mover_records.h"

// The pull on a thrown body, units per second squared. The point where the throw peaks
// does not depend on it, only how fast the body gets there.
constexpr float ThrowGravity = 800.0f;
// How near (level units, around the door's box) a body opens a door that opens when touched.
constexpr float DoorReach = 64.0f;
// Sounds of the moving parts, played through the effect slot.
constexpr const char* MoverStartSound = "sound/mover_start.wav";
constexpr const char* MoverStopSound = "sound/mover_stop.wav";
constexpr const char* JumpPadSound = "sound/jumppad.wav";
constexpr const char* TeleportSound = "sound/teleport.wav";

// A box that movers carry, push and stop at: centre and half-sizes.
struct Body {
  Vec3 position;
  Vec3 extents;
};

// Builds the movers and triggers of the level's entities and places their models at rest.
// An entity with bad keys (a speed of 0 or below, a target that names nothing or itself, a
// corner chain without length, a model out of range or too large) stays still with one line
// on stderr; the rest of the level plays.
void SetUpMovers(Level& level, LevelMovers* movers);

// Moves every mover on by `seconds` of game time. Bodies standing on a mover ride it; a
// door or lift that would close on a body goes back, other parts wait; no body is ever left
// inside a mover. Bodies are moved in place.
void AdvanceMovers(LevelMovers& movers, Level& level, float seconds, Body* bodies, int bodyCount);

// What the triggers do to a body that is inside them now.
struct TriggerOutcome {
  bool thrown = false;      // a jump pad: start a flight with `velocity`
  bool teleported = false;  // moved to `position` (the box centre), facing `yawDegrees`
  Vec3 velocity;
  Vec3 position;
  float yawDegrees = 0;
};
TriggerOutcome TouchTriggers(LevelMovers& movers, Level& level, const Body& body);

// One step of a thrown body: up and along under ThrowGravity until the top of its path, then
// straight down at the fall speed until it lands. False once it has landed (or hit a wall).
bool StepFlight(Level& level, BodyFlight* flight, Body* body, float seconds, float fallSpeed);

// A shot hit brush model `model`: a door or button with health opens.
void ShootModel(LevelMovers& movers, int model);
// Fires every mover and trigger named `name` (doors open, buttons press).
void FireTargets(LevelMovers& movers, const std::string& name);

// A lift at rest at the bottom (ready to board) or a door open (ready to pass); other movers
// always.
bool MoverReady(const Mover& mover);
// The offset a two-place mover reaches after `seconds` on its way, if nothing stops it.
Vec3 PlaceAfter(const Mover& mover, float seconds);
// The mover that moves brush model `model`, or nullptr.
Mover* MoverOfModel(LevelMovers& movers, int model);
