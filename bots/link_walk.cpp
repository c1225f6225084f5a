// The graph builder's trial walks: where a bot's body rests on a floor, and whether the bots'
// own movement step (steer, turn, slide) gets a bot from one waypoint to the next; and the
// copy of a level's tracing data a worker thread walks on.
#include <cmath>

#include "bots/bot.h"
#include "bots/graph_builder.h"
#include "core/level.h"

namespace {

constexpr float RestSearchUp = 24;      // how far above the guessed floor the body is lowered from
constexpr float RestSearchDown = 40;    // and how far below it a floor is looked for
constexpr float FloorCheckEvery = 16;   // level units walked between two floor checks
constexpr float LevelWalk = 0.5f;       // a walk this level (height difference) can go straight
constexpr float ArrivalHeight = 40;     // arrival also needs the height this close
// ... or, above the target, within the reach of the floor that holds a bot up: one that
// dropped lands there over the next ticks, as it does in the game.
constexpr float ArrivalAbove = 50;
// Stuck ticks in a row that end a walk. The game re-plans after 30, and in slow motion a bot
// takes 20 ticks for each tick of this walk: a link must never hold a bot for two.
constexpr int StuckLimit = 2;
// A trial tick counts as stuck below this share of the distance asked for: a little more than
// the game's, so no link needs a slide so shallow that a slower bot would count as stuck.
constexpr float WalkStuckShare = 0.35f;

}  // namespace

Level TracingCopy(const Level& level) {
  Level copy;
  copy.nodes = level.nodes;
  copy.leaves = level.leaves;
  copy.leafBrushes = level.leafBrushes;
  copy.planes = level.planes;
  copy.brushes = level.brushes;
  copy.brushSides = level.brushSides;
  copy.textures = level.textures;
  copy.collisionTriangles = level.collisionTriangles;
  copy.collisionSurfaces = level.collisionSurfaces;
  copy.models = level.models;                      // brush models where they are now
  copy.modelPlacements = level.modelPlacements;
  copy.skipDistantBrushes = level.skipDistantBrushes;
  copy.surfacesThroughTree = level.surfacesThroughTree;
  return copy;
}

bool RestingBodyCentre(Level& level, Vec3 nearFloor, Vec3* centre) {
  const float bodyHalf = BodyExtents.y;
  const Vec3 top(nearFloor.x, nearFloor.y + bodyHalf + RestSearchUp, nearFloor.z);
  const Vec3 bottom(nearFloor.x, nearFloor.y + bodyHalf - RestSearchDown, nearFloor.z);
  const TraceResult down = level.Trace(top, bottom, BodyExtents);
  if (down.fraction == 1.0f || down.allSolid) return false;
  // The body must stand there free of every brush.
  const TraceResult here = level.Trace(down.end, down.end, BodyExtents);
  if (here.allSolid) return false;
  *centre = down.end;
  return true;
}

namespace {

// A level walk with nothing in the way goes in a straight line, whatever the speed: the
// body's sweep and a floor every FloorCheckEvery units along it decide it in a few traces.
bool StraightWalkReaches(Level& level, Vec3 from, Vec3 to) {
  if (level.Trace(from, to, BodyExtents).fraction < 1.0f) return false;
  const float length = Magnitude(to - from);
  const int checks = static_cast<int>(length / FloorCheckEvery) + 1;
  for (int k = 0; k <= checks; ++k)
    if (!BodyOnFloor(level, from + (to - from) * (static_cast<float>(k) / checks))) return false;
  return true;
}

}  // namespace

bool WalkReaches(Level& level, Vec3 from, Vec3 to, float speed, long* ticks) {
  if (speed <= 0) return false;
  if (std::fabs(to.y - from.y) <= LevelWalk && StraightWalkReaches(level, from, to)) return true;
  const int tickLimit = static_cast<int>(3.0f * Magnitude(to - from) / speed) + 120;
  Vec3 position = from;
  const Vec3 start = NormalizeOrZero(to - from);
  float heading = HeadingFromDirection(start.x, start.z);
  int stuckTicks = 0;
  float sinceFloorCheck = 0;
  bool falling = false;
  bool reached = false;
  int tick = 0;
  for (; tick < tickLimit; ++tick) {
    // A falling bot arrives once it has landed, as in the game.
    if (!falling && std::fabs(position.x - to.x) <= BotArrivalRadius &&
        std::fabs(position.z - to.z) <= BotArrivalRadius) {
      const float above = position.y - to.y;
      reached = above >= -ArrivalHeight && above <= std::fmax(ArrivalHeight, ArrivalAbove);
      break;
    }
    const Vec3 direction = NormalizeOrZero(to - position);
    const float desired = HeadingFromDirection(direction.x, direction.z);
    heading = TurnToward(heading, desired, BotTurnStep);
    const Vec3 facing = FacingFromHeading(heading, direction.y);
    const float pace = speed * TurningSpeedShare(heading, desired);
    const Vec3 previous = position;
    // On its feet the walk keeps its footing as the game's bots do: it never steps off an
    // edge that drops it further below the target than a floor's reach.
    position = falling ? BodyStep(level, previous, facing, pace, true, BotFallStep)
                       : BodyStepKeepingFooting(level, previous, facing, direction, pace, to.y - BotDropAllowance);
    const float moved = Magnitude(position - previous);
    // Turning on the spot is not being stuck.
    if (pace > 0 || falling) stuckTicks = moved <= Magnitude(facing * pace) * WalkStuckShare ? stuckTicks + 1 : 0;
    if (stuckTicks >= StuckLimit) break;
    // The floor is looked for every tick in the air, every FloorCheckEvery units on it.
    sinceFloorCheck += moved;
    if (falling || sinceFloorCheck >= FloorCheckEvery) {
      sinceFloorCheck = 0;
      falling = !BodyOnFloor(level, position);
    }
  }
  if (ticks) *ticks += tick;
  return reached;
}
