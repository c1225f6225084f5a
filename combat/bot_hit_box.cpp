// Where a bot's figure stands and the box shots test against it. The bots are drawn set
// down on the floor below them; shots hit the figure as drawn, so both ask the same trace.
#include "combat/bot_hit_box.h"

#include "core/game_state.h"

namespace {

// The floor trace starts just inside the bot's box (whose bottom is 45 below `position`)
// and looks this far below the soles; a floor further down leaves the drawing alone.
constexpr float FloorTraceStart = 44.0f;
constexpr float FloorTraceReach = 64.0f;
// The soles' footprint: the highest floor under it carries the character, so a bot at the
// edge of a bridge is drawn on the bridge, not on the floor far below its centre.
const Vec3 FootExtents(10, 0, 10);
// The figures drawn, soles to the top of the head (level units): "fidget" and "jack" with
// his helmet (docs/characters.md).
constexpr float FigureHeight[BotCount] = {58, 62};
constexpr float FigureHalfWidth = 17;

}  // namespace

float BotDrawnFloorOffset(int index) {
  const Vec3 p = gGame.bots[index].position;
  const float feet = p.y - BotFeetBelowCentre;
  const TraceResult down = gGame.level.Trace(Vec3(p.x, p.y - FloorTraceStart, p.z),
                                             Vec3(p.x, feet - FloorTraceReach, p.z), FootExtents);
  if (down.allSolid) return 0.0f;
  if (down.fraction == 1.0f) return 0.0f;
  return down.end.y - feet;
}

void BotHitBox(int index, Vec3* mins, Vec3* maxs) {
  const Vec3 p = gGame.bots[index].position;
  const float soles = p.y - BotFeetBelowCentre + BotDrawnFloorOffset(index);
  *mins = Vec3(p.x - FigureHalfWidth, soles, p.z - FigureHalfWidth);
  *maxs = Vec3(p.x + FigureHalfWidth, soles + FigureHeight[index], p.z + FigureHalfWidth);
}
