// Trigger volumes and thrown bodies: a jump pad throws a body so that its path peaks at the
// pad's target, a teleporter puts it at its destination (dropped onto the floor there)
// facing the destination's angle, a fire volume fires its targets. A thrown body rises and
// moves along under ThrowGravity until the top of its path, then falls straight down.
#include <cmath>

#include "level/entities.h"
#include "movers/movers.h"

namespace {

bool Inside(const Trigger& t, const Body& b) {
  return b.position.x + b.extents.x >= t.mins.x && b.position.x - b.extents.x <= t.maxs.x &&
         b.position.y + b.extents.y >= t.mins.y && b.position.y - b.extents.y <= t.maxs.y &&
         b.position.z + b.extents.z >= t.mins.z && b.position.z - b.extents.z <= t.maxs.z;
}

// Seconds between two plays of one trigger's sound.
constexpr float TriggerSoundGap = 0.5f;

}  // namespace

TriggerOutcome TouchTriggers(LevelMovers& movers, Level& level, const Body& body) {
  TriggerOutcome outcome;
  for (Trigger& t : movers.triggers) {
    if (t.still || !Inside(t, body)) continue;
    const bool fresh = movers.clock >= t.readyAt;
    switch (t.kind) {
      case TriggerKind::Push: {
        // From where the body is, so that its own path peaks at the target.
        const float h = std::fmax(t.destination.y - body.position.y, 16.0f);
        const float time = std::sqrt(2 * h / ThrowGravity);
        outcome.thrown = true;
        outcome.velocity = Vec3((t.destination.x - body.position.x) / time, ThrowGravity * time,
                                (t.destination.z - body.position.z) / time);
        if (fresh) movers.sounds.push_back(JumpPadSound);
        t.readyAt = movers.clock + TriggerSoundGap;
        break;
      }
      case TriggerKind::Teleport: {
        Vec3 rest;
        outcome.teleported = true;
        outcome.position = DropToFloor(level, t.destination, body.extents, &rest) ? rest : t.destination;
        outcome.yawDegrees = t.destinationYaw;
        movers.sounds.push_back(TeleportSound);
        return outcome;  // it is elsewhere now
      }
      case TriggerKind::Multiple:
        if (!fresh) break;
        FireTargets(movers, t.target);
        t.readyAt = movers.clock + t.wait;
        break;
    }
  }
  return outcome;
}

bool StepFlight(Level& level, BodyFlight* flight, Body* body, float seconds, float fallSpeed) {
  if (!flight->active || !(seconds > 0)) return flight->active;
  Vec3& v = flight->velocity;
  if (v.y > 0) {
    // Rising: to the top of the path at most, so that it is never passed.
    const float t = std::fmin(seconds, v.y / ThrowGravity);
    const Vec3 move(v.x * t, v.y * t - 0.5f * ThrowGravity * t * t, v.z * t);
    const Vec3 target = body->position + move;
    TraceResult r = level.Trace(body->position, target, body->extents);
    if (r.fraction < 1.0f) {
      if (r.normal.y < -0.7f) v = Vec3();  // a ceiling ends the rise
      r = level.TraceSlide(body->position, target, body->extents);
    }
    body->position = r.end;
    v.y -= ThrowGravity * t;
    if (v.y <= 0) v = Vec3();  // the top: from here straight down
    return true;
  }
  const TraceResult r = level.Trace(body->position, body->position - Vec3(0, fallSpeed * seconds, 0), body->extents);
  body->position = r.end;
  if (r.fraction < 1.0f) flight->active = false;
  return flight->active;
}
