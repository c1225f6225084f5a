// The particle list: adding, removing, the fixed-step update and the interpolated drawing.
#include "core/particles.h"

#include <algorithm>
#include <cmath>

#include "combat/billboard.h"
#include "combat/particle_look.h"
#include "core/game_state.h"
#include "core/level.h"
#include "platform/platform.h"

namespace {

constexpr float SlowMotionFactor = 20.0f;
const Vec3 ParticleExtents(1, 1, 1);

// Steam leaves its pipe as a thin hiss and billows out into a wide, fading plume. The jet's
// particles crawl (2 units a second for one second: a puff at the nozzle if drawn where they
// are), so a steam particle is drawn SteamReach times as far from where it was made as it
// has moved, which keeps the jet's shape (its slight fall and the fan of its spread) at a
// size the player sees, and its square widens with its age from the emitter's 0.06 to
// about 9 units at the end of its 50-update life, fading all the while.
constexpr float SteamReach = 40;
constexpr float SteamLife = 50;
constexpr float SteamWideningPerUpdate = 3.0f;

// Drawn so, the puffs pile up: two are made an update, about 1.6 units apart along the
// plume once spread out, and each square is wider by 2 x 0.06 x the widening for every
// update of its age, so a point of the plume lies under SteamOverlapPerUpdate x age puffs
// and would be filled tens of times over. As the plume widens it thins out to about
// SteamLayers puffs deep: the puffs whose rank is below the density are kept, brighter by
// as much as the others are missing (their alpha up to 1, then their colour up to white),
// and a puff whose rank the falling density passes fades out (over SteamFadeRanks of the
// density above it), not at once.
constexpr float SteamOverlapPerUpdate = 2 * (2 * 0.06f * SteamWideningPerUpdate) / 1.6f;
constexpr float SteamLayers = 2.75f;
constexpr float SteamFadeRanks = 0.15f;
// The smoke puff's picture is faint outside this middle part of its square: it is not drawn.
constexpr float SteamPuffExtent = 0.9f;

}  // namespace

bool DrawnParticle(const Particle& p, Vec3 at, ParticleLook* d) {
  *d = ParticleLook{at, p.red, p.green, p.blue, p.alpha, p.size, BillboardShape{}};
  if (p.kind != SteamKind) return true;
  const float age = std::max(0.0f, SteamLife - p.life);
  d->position = p.origin + (at - p.origin) * SteamReach;
  d->size = p.size * (1 + SteamWideningPerUpdate * age);
  d->shape.extent = SteamPuffExtent;
  d->shape.turn = static_cast<int>(p.serial & 7);  // not the same wisps on every puff
  const float density = std::min(1.0f, SteamLayers / std::max(1.0f, SteamOverlapPerUpdate * age));
  const float fadeRanks = SteamFadeRanks * density;
  // Fully kept below the density, fading out over the ranks just above it; those kept make
  // up for the light of all, of which they are on average density + fadeRanks / 2.
  const float kept = std::min(1.0f, (density + fadeRanks - p.rank) / fadeRanks);
  if (kept <= 0) return false;
  float gain = kept / std::min(1.0f, density + fadeRanks / 2);
  d->alpha = p.alpha * gain;
  if (d->alpha > 1) {
    gain = d->alpha;
    d->alpha = 1;
    const float brightest = std::max({p.red, p.green, p.blue, 1.0f});
    gain = std::min(gain, 255.0f / brightest);
    d->red *= gain, d->green *= gain, d->blue *= gain;
  }
  return true;
}

int ParticleSystem::AddParticle(const Particle& particle) {
  int index;
  if (!freeSlots_.empty()) {
    index = freeSlots_.back();
    freeSlots_.pop_back();
    pool_[static_cast<size_t>(index)] = particle;
  } else {
    index = static_cast<int>(pool_.size());
    pool_.push_back(particle);
  }
  Particle& p = pool_[static_cast<size_t>(index)];
  if (head_ == NoParticle) {
    p.next = p.previous = index;
  } else {
    // Before the old head, that is after the oldest: the newest comes first from the head.
    Particle& oldHead = pool_[static_cast<size_t>(head_)];
    p.next = head_;
    p.previous = oldHead.previous;
    pool_[static_cast<size_t>(oldHead.previous)].next = index;
    oldHead.previous = index;
  }
  head_ = index;
  ++particleCount;
  return index;
}

ParticleEmitter* ParticleSystem::AddEmitter(std::unique_ptr<ParticleEmitter> emitter) {
  ParticleEmitter* e = emitter.get();
  e->system = this;
  e->nextEmitter = emitters_;
  emitters_ = e;
  ++emitterCount;
  ownedEmitters_.push_back(std::move(emitter));
  return e;
}

void ParticleSystem::Remove(int index) {
  Particle& p = pool_[static_cast<size_t>(index)];
  if (p.next == index) {
    head_ = NoParticle;  // it was the last one
  } else {
    pool_[static_cast<size_t>(p.previous)].next = p.next;
    pool_[static_cast<size_t>(p.next)].previous = p.previous;
    if (head_ == index) head_ = p.next;
  }
  p.next = p.previous = NoParticle;
  freeSlots_.push_back(index);
  --particleCount;
}

void ParticleSystem::Clear() {
  pool_.clear();
  freeSlots_.clear();
  head_ = NoParticle;
  particleCount = 0;
}

bool ParticleSystem::MoveStopped(Particle& p, bool slow, float lifeBefore, TraceResult* hit) {
  if (p.position == p.previousPosition || gGame.level.nodes.empty()) return false;
  // The level does not move and neither does the particle's line: one trace along every move
  // it has left shows how many of them are free, and only the moves close to the first wall
  // are traced one by one, exactly as every move used to be.
  const uint8_t motion = slow ? 2 : 1;
  if (p.clearMotion != motion) {
    p.clearMotion = motion;
    const float ageing = slow ? 0.05f : 1.0f;
    const float moves = std::ceil((lifeBefore - 1) / ageing) + 1;
    const Vec3 step = p.position - p.previousPosition;
    // The same box as each move's own trace, so that a box starting inside a brush is let
    // out of it alike; the move before the one the wall stops is traced again as well.
    const TraceResult path = gGame.level.Trace(p.previousPosition, p.previousPosition + step * moves, ParticleExtents);
    p.clearMoves = path.fraction >= 1.0f ? moves : std::floor(path.fraction * moves) - 1;
  }
  if (p.clearMoves >= 1) {
    p.clearMoves -= 1;
    return false;
  }
  *hit = gGame.level.Trace(p.previousPosition, p.position, ParticleExtents);
  return hit->fraction != 1.0f;
}

void ParticleSystem::Step() {
  const bool slow = gGame.slowMotion;
  // Visit each particle that is in the list now exactly once; `next` is read before a
  // removal so removing neighbours skips nothing.
  int index = head_;
  for (int remaining = particleCount; remaining > 0; --remaining) {
    const int next = pool_[static_cast<size_t>(index)].next;
    Particle& p = pool_[static_cast<size_t>(index)];
    if (p.life <= 1 || p.size < 0) {
      Remove(index);
      index = next;
      continue;
    }
    const float lifeBefore = p.life;
    p.previousPosition = p.position;
    if (!slow) {
      p.position = p.position + p.velocity;
    } else {
      p.position = p.position + p.slowVelocity;
      const float damping = p.damping / SlowMotionFactor;
      p.velocity.x = p.velocity.x * damping;
      p.velocity.y = (gravity / SlowMotionFactor * p.weight / SlowMotionFactor + p.velocity.y) * damping;
      p.velocity.z = p.velocity.z * damping;
    }
    if (!p.fixedSize) p.size *= slow ? 1 + p.growth / SlowMotionFactor : 1 + p.growth;
    p.alpha -= slow ? p.alpha / p.life / SlowMotionFactor : p.alpha / p.life;
    p.life -= slow ? 0.05f : 1.0f;
    TraceResult hit;
    if (MoveStopped(p, slow, lifeBefore, &hit)) {
      p.life = 1;               // removed at the next update
      p.position = hit.end;     // and shown where it met the wall, not inside it
    } else if (!gGame.level.Encloses(p.position)) {
      p.life = 1;               // it has left the level: removed at the next update
    }
    index = next;
  }
  for (ParticleEmitter* e = emitters_; e; e = e->nextEmitter) e->Emit();
}

int ParticleSystem::StepsDue(uint32_t nowMs) const {
  if (!clockStarted_) return 1;
  const uint32_t pending = pendingMs_ + (nowMs - lastClockMs_);
  return static_cast<int>(std::min<uint32_t>(pending / ParticleUpdateMs, MaxUpdatesPerFrame));
}

void ParticleSystem::UpdateParticles() {
  const uint32_t now = platform::Ticks();
  const int steps = StepsDue(now);
  if (!clockStarted_) {
    clockStarted_ = true;
    pendingMs_ = 0;
  } else {
    pendingMs_ += now - lastClockMs_;
    pendingMs_ -= static_cast<uint32_t>(steps) * ParticleUpdateMs;
    // After a stall longer than the cap allows, the whole steps left over are dropped.
    pendingMs_ %= ParticleUpdateMs;
  }
  lastClockMs_ = now;
  for (int i = 0; i < steps; ++i) Step();
  ReleaseSpareSlots();
}

void ParticleSystem::ReleaseSpareSlots() {
  const size_t live = static_cast<size_t>(particleCount);
  if (pool_.size() <= SlotsKeptAlways || 4 * live >= pool_.size()) return;
  std::vector<Particle> packed;
  packed.reserve(2 * live);
  for (int i = head_; packed.size() < live; i = pool_[static_cast<size_t>(i)].next)
    packed.push_back(pool_[static_cast<size_t>(i)]);
  for (size_t k = 0; k < live; ++k) {
    packed[k].next = static_cast<int>((k + 1) % live);
    packed[k].previous = static_cast<int>((k + live - 1) % live);
  }
  pool_.swap(packed);
  std::vector<int>().swap(freeSlots_);
  head_ = live > 0 ? 0 : NoParticle;
}

float ParticleSystem::DrawFraction(uint32_t nowMs) const {
  if (!clockStarted_) return 1.0f;
  const uint32_t pending = pendingMs_ + (nowMs - lastClockMs_);
  return std::min(1.0f, static_cast<float>(pending) / static_cast<float>(ParticleUpdateMs));
}

void ParticleSystem::DrawParticles() {
  if (head_ == NoParticle) return;
  const float f = DrawFraction(platform::Ticks());
  BillboardBatch& batch = batch_;
  batch.Begin();
  int index = head_;
  for (int n = 0; n < particleCount; ++n) {
    const Particle& p = pool_[static_cast<size_t>(index)];
    const Vec3 at = f >= 1.0f ? p.position : p.previousPosition + (p.position - p.previousPosition) * f;
    ParticleLook d;
    if (!DrawnParticle(p, at, &d)) {
      index = p.next;
      continue;
    }
    // Seen in or through a fog volume, a particle fades as a shot does.
    FadeBillboardInFog(d.position, p.kind, &d.red, &d.green, &d.blue, &d.alpha);
    batch.Add(d.position, d.red, d.green, d.blue, d.alpha, d.size, p.kind, d.shape);
    index = p.next;
  }
  batch.Flush();
}
