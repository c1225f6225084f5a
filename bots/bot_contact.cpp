// The two bots as bodies to each other: a step never ends inside the other bot's box, and of
// two bots that block each other (head on in a doorway) one steps out of the other's way.
#include <cmath>

#include "bots/bot.h"
#include "core/game_state.h"
#include "core/level.h"

namespace {

// Two bodies overlap when their boxes (BodyExtents) do.
bool Overlap(Vec3 a, Vec3 b) {
  return std::fabs(a.x - b.x) < 2 * BodyExtents.x && std::fabs(a.z - b.z) < 2 * BodyExtents.z &&
         std::fabs(a.y - b.y) < 2 * BodyExtents.y;
}

// Whether bot `index` may stand at p: clear of every other bot, or (bodies that overlap
// already, put there or carried by a mover) no closer to it than from `from`.
bool ClearOfBots(int index, Vec3 from, Vec3 p) {
  for (int other = 0; other < BotCount; ++other) {
    if (other == index) continue;
    const Vec3 o = gGame.bots[other].position;
    if (!Overlap(p, o)) continue;
    if (!Overlap(from, o)) return false;
    if (std::hypot(p.x - o.x, p.z - o.z) < std::hypot(from.x - o.x, from.z - o.z)) return false;
  }
  return true;
}

constexpr float SideStep = 2 * 17.0f + 4;  // room beside the other bot to step aside into

}  // namespace

Vec3 KeepClearOfBots(int index, Vec3 from, Vec3 to, bool* blocked) {
  *blocked = false;
  if (ClearOfBots(index, from, to)) return to;
  *blocked = true;
  // Along the other body's side: the step's x or z alone, where the level lets it go.
  const Vec3 parts[] = {Vec3(to.x, to.y, from.z), Vec3(from.x, to.y, to.z)};
  for (const Vec3& p : parts) {
    if ((p.x == from.x && p.z == from.z) || !ClearOfBots(index, from, p)) continue;
    const TraceResult r = gGame.level.Trace(from, p, BodyExtents);
    if (r.fraction == 1.0f && !r.allSolid) return p;
  }
  return from;
}

Vec3 GiveWayDirection(int index) {
  const Bot& bot = gGame.bots[index];
  const Bot& other = gGame.bots[(index + 1) % BotCount];
  // Off the other's way: across its facing, to the side the bot already leans to (the side
  // is kept as it steps, whatever the line between them does), where there is room for the
  // body; else along the other's way, ahead of it (back out of a doorway).
  Vec3 along = NormalizeOrZero(Vec3(other.facing.x, 0, other.facing.z));
  if (along == Vec3()) along = NormalizeOrZero(Vec3(bot.position.x - other.position.x, 0, bot.position.z - other.position.z));
  if (along == Vec3()) along = Vec3(1, 0, 0);
  Vec3 side(-along.z, 0, along.x);
  if (Dot(side, bot.position - other.position) < 0) side = side * -1.0f;
  for (const Vec3& way : {side, side * -1.0f}) {
    const TraceResult r = gGame.level.Trace(bot.position, bot.position + way * SideStep, BodyExtents);
    if (r.fraction == 1.0f && !r.allSolid) return way;
  }
  return along;
}
