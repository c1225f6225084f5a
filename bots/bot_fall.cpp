// A bot's body: its slide along what stops it (on every level), and on a level with a
// generated graph whether a floor is under it and one tick of its step, which falls where no
// floor holds it up. The game's movement step and the graph builder's trial walks share it,
// so a link walked in a trial is walked alike in the game.
// The game's bots also keep their footing: they never step off an edge that drops them
// below where they are going.
#include "bots/bot.h"
#include "core/level.h"
#include "player/physics.h"

namespace {

// Under a walking bot's soles there is floor this close; further down it falls. Stairs and
// ramps are walked within this reach by the steering's vertical part.
constexpr float FloorReach = 48;
// How far below a body a fall is followed to the floor it lands on; nothing there is a void.
constexpr float DeepestFall = 8192;

// A floor face under a body: steeper ones are walls.
constexpr float FloorNormal = 0.7f;
// Faces a slide meets in one tick: a wall, then a second one in a corner or the floor.
constexpr int SlidePasses = 3;
// A slide keeps this far off the face it runs along: moving exactly along it, the tracer would
// count a box touching it within its epsilon as stopped again at once.
constexpr float SlideClearance = 2 * TraceEpsilon;

// The move, stopped and slid along what it meets; walking (`climb`), a step up to the player's
// StepHeight (a stair, the edge of a lift or a pad) is climbed as the player climbs it: the
// move tried that much higher and the body set down on the step.
Vec3 SlideMove(Level& level, Vec3 start, Vec3 end, bool climb) {
  TraceResult r = level.Trace(start, end, BodyExtents);
  if (r.fraction == 1.0f) return r.end;
  if (climb) {
    const TraceResult lift = level.Trace(start, start + Vec3(0, StepHeight, 0), BodyExtents);
    const float raise = lift.end.y - start.y;
    const TraceResult raised = level.Trace(lift.end, end + Vec3(0, raise, 0), BodyExtents);
    if (raise > 0 && raised.fraction > r.fraction && !raised.allSolid) {
      const TraceResult down = level.Trace(raised.end, raised.end - Vec3(0, raise, 0), BodyExtents);
      if (down.fraction < 1.0f && !down.allSolid && down.normal.y > FloorNormal && down.end.y > start.y + 0.5f)
        return down.end;
    }
  }
  return BodySlide(level, start, end);
}

}  // namespace

Vec3 BodySlide(Level& level, Vec3 start, Vec3 end) {
  Vec3 from = start, to = end;
  Vec3 met[SlidePasses];
  for (int pass = 0; pass < SlidePasses; ++pass) {
    const TraceResult r = level.Trace(from, to, BodyExtents);
    if (r.fraction == 1.0f) return r.end;
    // Up to the contact, then on with what is left of the move along the face met, and
    // along every face met before it this tick (into a corner's crease, never back in).
    met[pass] = r.normal;
    Vec3 rest = (to - from) * (1.0f - r.fraction);
    for (int k = pass; k >= 0; --k) {
      const float into = Dot(met[k], rest);
      if (into < 0) rest = rest - met[k] * (into - SlideClearance);
    }
    for (int k = 0; k < pass; ++k)
      if (Dot(met[k], rest) < -1e-4f) return r.end;  // wedged between faces
    from = r.end;
    to = from + rest;
  }
  return from;
}

bool BodyOnFloor(Level& level, Vec3 centre) {
  const TraceResult down = level.Trace(centre, centre - Vec3(0, FloorReach, 0), BodyExtents);
  return down.fraction < 1.0f || down.allSolid;
}

Vec3 BodyStep(Level& level, Vec3 position, Vec3 facing, float speed, bool falling, float fallStep) {
  if (!falling) return speed > 0 ? SlideMove(level, position, position + facing * speed, true) : position;
  // In the air the steering still turns and carries the bot across, and may take it down
  // faster, never up; the fall takes it down by the fall step and ends on what it meets.
  Vec3 across = facing;
  if (across.y > 0) across.y = 0;
  const Vec3 moved = speed > 0 ? SlideMove(level, position, position + across * speed, false) : position;
  return level.Trace(moved, moved - Vec3(0, fallStep, 0), BodyExtents).end;
}

bool FootingHolds(Level& level, Vec3 centre, float lowest) {
  if (BodyOnFloor(level, centre)) return true;
  const TraceResult fall = level.Trace(centre, centre - Vec3(0, DeepestFall, 0), BodyExtents);
  return fall.fraction < 1.0f && fall.end.y >= lowest;
}

Vec3 BodyStepKeepingFooting(Level& level, Vec3 position, Vec3 facing, Vec3 straight, float speed, float lowest) {
  if (speed <= 0) return position;
  // Turning bots cut corners: the facing may lead over an edge the way to the target keeps
  // clear of; along an edge, one axis of that way may still be open.
  const Vec3 across = NormalizeOrZero(Vec3(straight.x, 0, straight.z));
  const Vec3 ways[] = {facing, Vec3(across.x, straight.y, across.z),
                       Vec3(across.x < 0 ? -1.0f : 1.0f, 0, 0), Vec3(0, 0, across.z < 0 ? -1.0f : 1.0f)};
  for (const Vec3& way : ways) {
    const Vec3 next = BodyStep(level, position, way, speed, false, 0);
    if (FootingHolds(level, next, lowest)) return next;
  }
  return position;
}
