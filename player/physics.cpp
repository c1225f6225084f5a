// Player movement physics, run by the frame after the keyboard has moved the camera: the
// move check, the raised trial that climbs steps, the wall slide, the jump and gravity.
// Every test is a sweep of the player's box through the level.
//
// The jump is timed in 1/40 s slots of measured time rather than per frame, so it rises and
// falls the same at every frame rate; its vertical move is a trace of its own, so ceilings
// and floors stop it instead of the box being placed inside them.
#include "player/physics.h"

#include <GL/gl.h>

#include <cstdio>

#include "core/game_state.h"
#include "render/text.h"

PlayerPhysicsState gPlayerPhysics;

namespace {

TraceResult PlayerTrace(Vec3 start, Vec3 end) { return gGame.level.Trace(start, end, gGame.playerBoxExtents); }

Vec3 Lifted(Vec3 v, float dy) { return Vec3(v.x, v.y + dy, v.z); }

void MoveCameraTo(Vec3 p) { gGame.camera.MoveTo(p.x, p.y, p.z); }

// One slot of the jump is over: the offset changes as at 40 frames per second.
void AdvanceJumpPhase() {
  float& offset = gGame.jumpOffset;
  if (gGame.jumping && offset >= JumpStartOffset) offset += JumpOffsetStep;
  if (gGame.jumping && offset < JumpStartOffset) offset -= JumpOffsetStep;
  if (offset > JumpTurnOverAbove) offset = JumpTurnOverOffset;
  if (offset < JumpEndBelow) {
    offset = 0;
    gGame.jumping = false;
  }
}

// Runs the jump for `seconds` and returns how far it moves the eye. *afterJump gets the part
// of the time that is left after the jump ended (0 while it still runs).
float RunJump(float seconds, float* afterJump) {
  PlayerPhysicsState& s = gPlayerPhysics;
  float height = 0;
  float remaining = seconds;
  while (gGame.jumping && remaining > 0) {
    const float slotLeft = JumpSlotSeconds - s.jumpSlotTime;
    if (remaining < slotLeft) {
      height += gGame.jumpOffset * (remaining / JumpSlotSeconds);
      s.jumpSlotTime += remaining;
      remaining = 0;
      break;
    }
    height += gGame.jumpOffset * (slotLeft / JumpSlotSeconds);
    remaining -= slotLeft;
    s.jumpSlotTime = 0;
    AdvanceJumpPhase();
  }
  if (!gGame.jumping) s.jumpRunning = false;
  *afterJump = gGame.jumping ? 0.0f : remaining;
  return height;
}

void PrintLine(int y, const char* line) {
  if (gGame.infoTextOn && line[0] != '\0') PrintText(0, y, "%s", line);
}

}  // namespace

void ResetPlayerPhysics() { gPlayerPhysics = PlayerPhysicsState(); }

void ApplyPlayerPhysics() {
  Camera& camera = gGame.camera;
  PlayerPhysicsState& s = gPlayerPhysics;
  float seconds = gFrameCounter.frameInterval;
  if (!(seconds > 0)) seconds = 0;  // also catches NaN

  glColor3f(1, 1, 1);
  s.gravityLine[0] = '\0';
  s.stepLine[0] = '\0';

  // Collision back on outside the level (it was off, and the player flew out): back to the
  // last place inside, looking the same way, with no move to check from outside.
  if (s.insideKnown && !gGame.level.Encloses(camera.position)) {
    camera.position = s.lastInside;
    camera.view = s.lastInsideView;
    camera.moveStartPosition = camera.position;
    camera.moveStartView = camera.view;
  }

  // Move check: the path of this frame's keyboard move.
  TraceResult r = PlayerTrace(camera.moveStartPosition, camera.position);
  std::snprintf(s.moveLine, sizeof s.moveLine, "Collision activated , !collision = %f", r.fraction);
  PrintLine(125, s.moveLine);

  // A jump started by the mouse since the last frame begins with a fresh slot.
  if (gGame.jumping && !s.jumpRunning) {
    s.jumpRunning = true;
    s.jumpSlotTime = 0;
  } else if (!gGame.jumping) {
    s.jumpRunning = false;
  }
  const bool jumping = gGame.jumping;
  float gravitySeconds = seconds;
  const float jumpHeight = jumping ? RunJump(seconds, &gravitySeconds) : 0.0f;

  if (r.fraction != 1.0f || jumping) {
    Vec3 start = camera.moveStartPosition;
    Vec3 end = camera.position;
    if (jumpHeight != 0) {
      // The jump's own vertical move, stopped by ceilings and floors.
      const TraceResult vertical = PlayerTrace(start, Lifted(start, jumpHeight));
      const float dy = vertical.end.y - start.y;
      start = vertical.end;
      end = Lifted(end, dy);
    }
    // The raised trial: lift the box by a step (as far as the room above allows) and try the
    // move there.
    const TraceResult lift = PlayerTrace(start, Lifted(start, StepHeight));
    const float raise = lift.end.y - start.y;
    const TraceResult raised = PlayerTrace(lift.end, Lifted(end, raise));
    if (raised.fraction == 0.0f) {
      // Blocked even when raised: a wall. Slide along it at the original height.
      r = gGame.level.TraceSlide(start, end, gGame.playerBoxExtents);
      MoveCameraTo(r.end);
      std::snprintf(s.stepLine, sizeof s.stepLine, "Kollision mit Mauer %f", r.fraction);
    } else {
      // A step (or a jump): lower the box back onto whatever is below.
      const Vec3 top = raised.end;
      r = PlayerTrace(top, Lifted(top, -raise));
      MoveCameraTo(r.end);
      std::snprintf(s.stepLine, sizeof s.stepLine, "Treppensteigen erkannt %f", r.fraction);
    }
    PrintLine(175, s.stepLine);
  }

  // A body thrown by a jump pad follows its own path (movers/) until it lands.
  if (gGame.gravityOn && !gGame.jumping && !gGame.playerFlight.active) {
    if (gravitySeconds == gFrameCounter.frameInterval) {
      camera.ApplyGravity();
    } else {
      // The jump ended during this frame: fall only for the rest of it.
      camera.moveStartPosition = camera.position;
      camera.moveStartView = camera.view;
      camera.LiftCamera(-FallSpeed * gravitySeconds);
    }
    const Vec3 fallStart = camera.moveStartPosition;
    const Vec3 fall = camera.position - fallStart;
    r = PlayerTrace(fallStart, camera.position);
    if (r.fraction != 1.0f) {
      // Slide along what was hit, from the point of contact: sliding from the start instead
      // would drop the part of the fall made before the contact and leave the player
      // hovering up to a whole frame's fall above the ground.
      const Vec3 remain = fall * (1.0f - r.fraction);
      const Vec3 slide = remain - r.normal * Dot(r.normal, remain);
      r = PlayerTrace(r.end, r.end + slide);
    }
    MoveCameraTo(r.end);
    std::snprintf(s.gravityLine, sizeof s.gravityLine, "Gravitation activated , !collision = %f", r.fraction);
    PrintLine(150, s.gravityLine);
  }

  if (gGame.level.Encloses(camera.position)) {
    s.insideKnown = true;
    s.lastInside = camera.position;
    s.lastInsideView = camera.view;
  }
}
