// The particle system: every live particle of the game in one circular list (newest at the
// head), and the emitters that add particles on their own. Shots, trails and impacts hand
// their particles to it; the frame draws them all as billboards and then updates them.
//
// Particles live in a pool and are linked by index, so thousands of them cost no allocation
// per particle; the list order and the removal rules are those of a linked list.
//
// Rates are per update, and updates run on a fixed step of 50 a second whatever the frame
// rate (zero or more per frame, at most MaxUpdatesPerFrame). Drawing places each particle
// between its last two positions by the time elapsed since the last update, so motion
// stays smooth at any frame rate; at exactly 50 frames a second every frame runs one update
// and draws each particle at its position.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "core/billboard_batch.h"
#include "core/vec3.h"

struct TraceResult;

constexpr int ParticleUpdatesPerSecond = 50;
constexpr uint32_t ParticleUpdateMs = 1000 / ParticleUpdatesPerSecond;  // 20 ms
constexpr int MaxUpdatesPerFrame = 5;   // a longer stall drops time instead of spinning
constexpr float DefaultGravity = -10.0f / 50 / 50;  // per update squared
constexpr int NoParticle = -1;
constexpr uint8_t NoMotionKnown = 0;

struct Particle {
  int next = NoParticle;        // neighbours in the circular list (pool indices)
  int previous = NoParticle;
  Vec3 position;
  Vec3 previousPosition;        // before the last move
  Vec3 velocity;                // movement per update
  Vec3 slowVelocity;            // movement per update in slow motion
  float red = 0, green = 0, blue = 0;  // 0..255
  float alpha = 0;              // handed to the billboard; above 1 draws as 1
  int kind = 0;                 // billboard type code: texture and blending
  float life = 0;               // remaining updates
  float weight = 1;             // scales gravity (slow motion only)
  float damping = 1;            // scales velocity (slow motion only)
  float size = 0;               // half the side of the billboard
  bool fixedSize = false;       // when false, size grows every update
  float growth = 0;             // relative growth per update
  Vec3 origin;                  // where an emitter made it (steam is drawn spreading from there)
  // 0..1, evenly spread over an emitter's particles in the order they are made (0 for the
  // others): steam thinning out as it widens keeps the puffs whose rank is below its density.
  float rank = 0;
  uint32_t serial = 0;          // an emitter's count of the particles it made before this one
  // How many more moves are known not to reach the level, and for which motion (a particle
  // moves in a straight line by the same step each update until slow motion is switched).
  float clearMoves = 0;
  uint8_t clearMotion = NoMotionKnown;  // or 1 + slow motion on
};

class ParticleSystem;

struct ParticleEmitter {
  Vec3 right{0, 0, 1};          // sideways axis of the jet
  Vec3 up{0, 1, 0};             // upward axis of the jet
  Vec3 direction{1, 0, 0};      // axis of the jet
  ParticleSystem* system = nullptr;       // the system it feeds
  ParticleEmitter* nextEmitter = nullptr; // next in the system's list
  Vec3 position;                // where particles start
  float spreadRight = 1.0f, spreadUp = 1.0f;  // start area along right and up
  int particlesPerUpdate = 10;
  float speed = 1.0f;           // start speed per update along direction
  float particleSize = 1.0f;
  int particleLife = 16;        // updates
  bool fixedSize = false;
  float growth = 0;
  float dampingVariation = 0;
  float dampingVariationScale = 0;
  float weightVariation = 0;
  float speedVariation = 0;
  // What the emitted particles look like (0..255 colour, alpha, billboard type code).
  float red = 255, green = 255, blue = 255, alpha = 1;
  int kind = 0;
  uint32_t emitted = 0;         // particles made so far

  // Set-up; rates per second are turned into rates per update.
  void SetPosition(Vec3 p) { position = p; }
  void SetDirection(float yawDegrees, float pitchDegrees, float speedPerSecond);
  void SetSpread(float alongRight, float alongUp) { spreadRight = alongRight; spreadUp = alongUp; }
  void SetDampingVariation(float v) { dampingVariation = v / ParticleUpdatesPerSecond; }
  void SetDampingVariationScale(float v) { dampingVariationScale = v; }
  void SetWeightVariation(float v) { weightVariation = v; }
  void SetSpeedVariation(float v) { speedVariation = v; }
  void SetParticleSize(float s) { particleSize = s; }
  void SetParticleLife(int updates) { particleLife = updates; }
  void SetFixedSize(bool fixed) { fixedSize = fixed; }
  void SetGrowth(float perSecond);
  void SetRate(int perSecond) { particlesPerUpdate = perSecond / ParticleUpdatesPerSecond; }
  // colour 0..1 as given at set-up, stored on the 0..255 scale the billboard takes.
  void SetColour(float r, float g, float b, float a, int particleKind);

  // Adds particlesPerUpdate new particles to the system.
  void Emit();
};

class ParticleSystem {
 public:
  int particleCount = 0;
  int emitterCount = 0;
  float gravity = DefaultGravity;   // vertical acceleration per update squared

  void SetGravity(float g) { gravity = g / ParticleUpdatesPerSecond / ParticleUpdatesPerSecond; }
  // The particle becomes the head, placed before the old head (a walk from the head meets
  // the newest particle first). Returns its index.
  int AddParticle(const Particle& particle);
  // The system takes the emitter and puts it in front of its list.
  ParticleEmitter* AddEmitter(std::unique_ptr<ParticleEmitter> emitter);

  // Draws every particle as a billboard, from the head along next, at its place between
  // its last two positions.
  void DrawParticles();
  // The frame's update: as many fixed steps as the clock says are due (see above).
  void UpdateParticles();
  // How many fixed steps UpdateParticles would run at the given clock time.
  int StepsDue(uint32_t nowMs) const;
  // One fixed update: move, grow, fade, age, collide, remove, then emit.
  void Step();
  // Where particles are drawn at the given clock time: the fraction of the way from
  // previousPosition to position (1 draws them at position).
  float DrawFraction(uint32_t nowMs) const;
  // Drops every particle (the emitters stay).
  void Clear();
  // After a burst the pool keeps the size of its largest moment with most slots free: once
  // fewer than a quarter of a large pool are in use, the live particles move to the front in
  // list order and the rest of its memory goes back. UpdateParticles calls it; particle
  // indices taken before it change.
  void ReleaseSpareSlots();
  // Slots the pool holds, live or free.
  int poolSlots() const { return static_cast<int>(pool_.size()); }

  // The list, for callers that walk it: the head (NoParticle when empty) and a particle.
  int head() const { return head_; }
  const Particle& particle(int index) const { return pool_[static_cast<size_t>(index)]; }
  ParticleEmitter* emitters() const { return emitters_; }

 private:
  void Remove(int index);
  // True when the level stops the particle's last move (previousPosition to position).
  bool MoveStopped(Particle& p, bool slow, float lifeBefore, TraceResult* hit);

  // Pools of up to this many slots are never packed: small enough to keep.
  static constexpr size_t SlotsKeptAlways = 4096;
  std::vector<Particle> pool_;
  std::vector<int> freeSlots_;
  int head_ = NoParticle;
  ParticleEmitter* emitters_ = nullptr;
  std::vector<std::unique_ptr<ParticleEmitter>> ownedEmitters_;
  bool clockStarted_ = false;
  uint32_t lastClockMs_ = 0;
  uint32_t pendingMs_ = 0;      // time not yet turned into steps
  BillboardBatch batch_;        // reused every frame
};

// The emitter particles' look: a cold blue-grey steam drawn with the smoke-puff picture.
constexpr int SteamKind = 55;
