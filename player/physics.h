// Player movement physics: makes the frame's keyboard move respect the level (walls stop
// and slide, steps up to StepHeight are climbed), runs the jump and lets gravity pull the
// player down at a constant speed. Runs once per frame while collision is on.
#pragma once
#include "core/vec3.h"

constexpr float StepHeight = 25.0f;       // a blocked move is tried this much higher
constexpr float FallSpeed = 256.0f;       // level units per second, no acceleration
// The jump runs in slots of 1/40 s. In each slot the eye moves by the slot's offset
// (spread over the frames that share the slot), and after each slot the offset changes:
// +10 while it is at least the start offset 2, turning over to 0.5 above 60, then -10 per
// slot until it is below -60, which ends the jump. So the eye rises 162.5 units in 7 slots
// and then falls, the same at any frame rate.
constexpr float JumpStartOffset = 2.0f;   // set by the right mouse button
constexpr float JumpSlotSeconds = 1.0f / 40.0f;
constexpr float JumpOffsetStep = 10.0f;
constexpr float JumpTurnOverAbove = 60.0f;
constexpr float JumpTurnOverOffset = 0.5f;
constexpr float JumpEndBelow = -60.0f;

// What the physics keeps between frames, and the diagnostic lines of the last frame.
struct PlayerPhysicsState {
  bool jumpRunning = false;   // a jump is being timed (set when gGame.jumping was seen)
  float jumpSlotTime = 0;     // seconds already spent in the current jump slot
  char moveLine[96] = "";     // "Collision activated , !collision = %f"
  char gravityLine[96] = "";  // "Gravitation activated , ..."; empty when gravity did not run
  char stepLine[96] = "";     // step or wall line; empty when neither branch ran
  // Where the eye last was inside the level once the physics had run: a player who turns
  // collision back on outside the level is put back there rather than falling for ever.
  bool insideKnown = false;
  Vec3 lastInside;
  Vec3 lastInsideView;
};
extern PlayerPhysicsState gPlayerPhysics;

// Collision of the frame's keyboard move, stairs, jump and gravity, on gGame.camera and
// gGame.level, timed by gFrameCounter.frameInterval. Prints its lines while infoTextOn.
void ApplyPlayerPhysics();
void ResetPlayerPhysics();
