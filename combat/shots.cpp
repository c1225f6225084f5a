// Shots: firing into the ring, the per-tick flight with its hit tests, the impact burst, and
// the drawing with trails.
//
// A hit is tested along the whole step, not only where the shot ends up: a rifle shot moves
// 50 units a tick and would otherwise pass through a 34-unit bot box most of the time. The
// impact is placed where the step first meets the bot box or the level, so sparks burst on
// the near side of a wall rather than inside it or in the next room. A shot that leaves the
// level without meeting anything ends quietly where it left, instead of flying for ever.
#include "combat/shots.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "combat/billboard.h"
#include "combat/bot_hit_box.h"
#include "combat/effects.h"
#include "combat/sound.h"
#include "core/game_state.h"
#include "core/random.h"
#include "movers/movers.h"
#include "platform/platform.h"

namespace {

constexpr float SlowMotionFactor = 20.0f;
constexpr int SlowTrailInterval = 20;
const EffectColour SparkColour{235, 145, 35, 1};

struct WeaponInfo {
  float speed;     // units per tick
  int size;        // billboard half-size
  int sparks;      // at impact
};

const WeaponInfo* Info(int weapon) {
  static const WeaponInfo table[4] = {{450, 2, 0}, {50, 2, 100}, {150, 4, 0}, {10, 10, 500}};
  if (weapon < 10 || weapon > 13) return nullptr;
  return &table[weapon - 10];
}

// Where the segment from a to b enters the box centre +- extents (bounds inclusive), as a
// fraction of the way; false when it misses. A start inside the box enters at 0.
bool SegmentEntersBox(Vec3 a, Vec3 b, Vec3 centre, Vec3 extents, float* fraction) {
  const float start[3] = {a.x, a.y, a.z}, end[3] = {b.x, b.y, b.z};
  const float lo[3] = {centre.x - extents.x, centre.y - extents.y, centre.z - extents.z};
  const float hi[3] = {centre.x + extents.x, centre.y + extents.y, centre.z + extents.z};
  float enter = 0, leave = 1;
  for (int i = 0; i < 3; ++i) {
    const float d = end[i] - start[i];
    if (d == 0) {
      if (start[i] < lo[i] || start[i] > hi[i]) return false;
      continue;
    }
    float t0 = (lo[i] - start[i]) / d, t1 = (hi[i] - start[i]) / d;
    if (t0 > t1) std::swap(t0, t1);
    enter = std::max(enter, t0);
    leave = std::min(leave, t1);
    if (enter > leave) return false;
  }
  *fraction = enter;
  return true;
}

void PlayImpactSound(int weapon) {
  if (weapon == WeaponRifle) {
    OpenEffect("sound/hit.wav");
    PlayEffect(100);
  } else if (weapon == WeaponLauncher) {
    OpenEffect("sound/explos.wav");
    PlayEffect(100);
  }
}

// The shot's first contact along its last step with bot b (unless b fired it) and with the
// level: fraction of the step, or 2 when there is none.
float BotContact(const Shot& shot, int b) {
  if (shot.owner == b || b < 0 || b >= BotCount) return 2;
  float f;
  Vec3 mins, maxs;
  BotHitBox(b, &mins, &maxs);
  if (!SegmentEntersBox(shot.previousPosition, shot.position, (mins + maxs) * 0.5f, (maxs - mins) * 0.5f, &f))
    return 2;
  return f;
}

// *model: what the shot hit (0 the world, N brush model N, -1 nothing).
float LevelContact(const Shot& shot, int* model = nullptr) {
  if (model) *model = -1;
  if (gGame.level.nodes.empty()) return 2;
  const TraceResult r = gGame.level.Trace(shot.previousPosition, shot.position, ShotExtents);
  if (model) *model = r.model;
  return r.fraction == 1.0f ? 2 : r.fraction;
}

Vec3 PointAt(const Shot& shot, float fraction) {
  return shot.previousPosition + (shot.position - shot.previousPosition) * fraction;
}

// Ends the shot at the impact point: sound and a burst of sparks in random directions.
void Explode(Shot& shot, Vec3 impact) {
  shot.active = false;
  shot.position = impact;
  PlayImpactSound(shot.weapon);
  const WeaponInfo* info = Info(shot.weapon);
  const int count = info ? info->sparks : 0;
  for (int i = 0; i < count; ++i) {
    shot.colour[0] = SparkColour.red, shot.colour[1] = SparkColour.green, shot.colour[2] = SparkColour.blue;
    Vec3 r;
    r.x = 1 - static_cast<float>(RandomInt() % 200) / 100;
    r.y = 1 - static_cast<float>(RandomInt() % 200) / 100;
    r.z = 1 - static_cast<float>(RandomInt() % 200) / 100;
    SpawnImpactSpark(shot.position, r, {shot.colour[0], shot.colour[1], shot.colour[2], shot.colour[3]},
                     shot.weapon);
  }
}

}  // namespace

float ShotSpeed(int weapon) {
  const WeaponInfo* info = Info(weapon);
  return info ? info->speed : 0;
}

int ShotSize(int weapon) {
  const WeaponInfo* info = Info(weapon);
  return info ? info->size : 0;
}

void FireShot(Vec3 origin, Vec3 direction, int weapon, int owner) {
  Shot& shot = gGame.shots[gGame.nextShotSlot];
  shot = Shot();
  shot.position = origin;
  shot.previousPosition = origin;
  shot.direction = direction;
  shot.weapon = weapon;
  shot.owner = owner;
  shot.active = true;
  for (int i = 0; i < 3; ++i) shot.colour[i] = static_cast<float>(RandomInt() % 255);
  shot.colour[3] = 1.0f;
  if (weapon == WeaponLauncher) {
    shot.colour[0] = 235, shot.colour[1] = 192, shot.colour[2] = 0;
    OpenEffect("sound/shoot1.wav");
    PlayEffect(255);
  } else if (weapon == WeaponRifle) {
    shot.colour[0] = shot.colour[1] = shot.colour[2] = 80;
    OpenEffect("sound/shot4.wav");
    PlayEffect(155);
  }
  gGame.nextShotSlot = gGame.nextShotSlot + 1 > ShotSlots - 1 ? 0 : gGame.nextShotSlot + 1;
}

bool ShotHitsSomething(int slot, int bot, Vec3* impact) {
  if (slot < 0 || slot >= ShotSlots) return false;
  const Shot& shot = gGame.shots[slot];
  const float f = std::min(BotContact(shot, bot), LevelContact(shot));
  if (f > 1) return false;
  if (impact) *impact = PointAt(shot, f);
  return true;
}

void UpdateShots() {
  // Every slot: a shot above the ring's next slot keeps flying after the ring wraps.
  for (int i = 0; i < ShotSlots; ++i) {
    Shot& shot = gGame.shots[i];
    if (!shot.active) continue;
    float speed = ShotSpeed(shot.weapon);
    if (gGame.slowMotion) speed /= SlowMotionFactor;
    shot.previousPosition = shot.position;
    shot.position = shot.position + shot.direction * speed;
    // The earliest contact along the step wins: a bot behind a wall is safe.
    int model = -1;
    const float level = LevelContact(shot, &model);
    const float f = std::min({BotContact(shot, 0), BotContact(shot, 1), level});
    if (f <= 1 && f == level && model > 0) ShootModel(gGame.movers, model);  // a door with health opens
    if (f <= 1)
      Explode(shot, PointAt(shot, f));
    else if (!gGame.level.Encloses(shot.position))
      shot.active = false;  // out of the level (through a gap, or fired from outside): no burst
  }
}

void DrawShots() {
  // Trails are laid at the particles' update rate (50 a second), not once per frame.
  const int trailSteps = gGame.particles ? gGame.particles->StepsDue(platform::Ticks()) : 0;
  BillboardBatch batch;
  batch.Begin();
  for (int i = 0; i < ShotSlots; ++i) {
    const Shot& shot = gGame.shots[i];
    if (!shot.active) continue;
    // Seen in or through a fog volume, the glow fades by the fog's opacity.
    float rgba[4] = {shot.colour[0], shot.colour[1], shot.colour[2], shot.colour[3]};
    FadeBillboardInFog(shot.position, shot.weapon, &rgba[0], &rgba[1], &rgba[2], &rgba[3]);
    batch.Add(shot.position, rgba[0], rgba[1], rgba[2], rgba[3], static_cast<float>(ShotSize(shot.weapon)), shot.weapon);
    EffectColour trail{shot.colour[0], shot.colour[1], shot.colour[2], shot.colour[3]};
    if (shot.weapon == WeaponLauncher) trail.red = 180, trail.green = 180, trail.blue = 235;
    for (int step = 0; step < trailSteps; ++step) {
      if (!gGame.slowMotion) {
        SpawnTrailParticle(shot.position, shot.direction, trail, shot.weapon);
      } else if (gGame.slowTrailCounter < SlowTrailInterval) {
        ++gGame.slowTrailCounter;
      } else {
        SpawnTrailParticle(shot.position, shot.direction, trail, shot.weapon);
        SpawnTrailParticle(shot.position, shot.direction, trail, shot.weapon);
        gGame.slowTrailCounter = 0;
      }
    }
  }
  batch.Flush();
  glEnable(GL_TEXTURE_2D);
}
