// Particle cost on an offscreen 1024 x 768 context with the default level: 5,000 live impact
// sparks drawn and updated (each update traces every spark through the level) per frame,
// against one full-screen textured quad, both over the same cleared frame and measured in the
// same run; also the sparks drawn one billboard at a time, for comparison with the batches.
// Goal: the sparks cost at most half of the quad.
//
// Three populations: a steady stream of bursts (every age, so many sparks have grown to
// their full width: fill-bound), fresh bursts at their starting size, and the steady stream
// in a 1 x 1 viewport (what the sparks cost before any pixel is filled).
#include <GL/gl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include "bench/bench_gl.h"
#include "app/game.h"
#include "app/game_state.h"
#include "combat/billboard.h"
#include "combat/effects.h"
#include "combat/particles.h"
#include "core/random.h"
#include "platform/platform.h"

namespace {

constexpr int SparkCount = 5000;


void ClearAndLook() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  gGame.camera.Look();
}



// Ten grenade bursts in the start hall, in front of the player's first view.
const Vec3 Bursts[10] = {{450, 270, -300}, {400, 300, -250}, {350, 260, -350}, {500, 320, -200},
                         {300, 280, -280}, {420, 250, -450}, {380, 330, -150}, {330, 300, -420},
                         {470, 290, -380}, {280, 310, -220}};

// Keeps SparkCount sparks alive: bursts at the ten points replace the ones that died.
void TopUpSparks() {
  int burst = 0;
  while (gGame.particles->particleCount < SparkCount) {
    const Vec3 r(1 - static_cast<float>(RandomInt() % 200) / 100, 1 - static_cast<float>(RandomInt() % 200) / 100,
                 1 - static_cast<float>(RandomInt() % 200) / 100);
    SpawnImpactSpark(Bursts[burst++ % 10], r, {235, 145, 35, 1}, WeaponLauncher);
  }
}

// Draws the sparks one billboard at a time (the way they were drawn before batching).
void DrawOneByOne() {
  const ParticleSystem& s = *gGame.particles;
  for (int i = s.head(), k = 0; k < s.particleCount; ++k, i = s.particle(i).next) {
    const Particle& p = s.particle(i);
    DrawBillboard(p.position, p.red, p.green, p.blue, p.alpha, p.size, p.kind);
  }
}

}  // namespace

int main() {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  if (chdir(KORVALIS_GAME_DIR) != 0) {
    std::fprintf(stderr, "bench_particles: no game data directory %s\n", KORVALIS_GAME_DIR);
    return 1;
  }
  platform::Backend& p = platform::Current();
  platform::WindowOptions options;
  options.fullScreen = false;
  if (p.CreateGameWindow(options) == platform::WindowResult::NoWindow) {
    std::fprintf(stderr, "bench_particles: no offscreen window\n");
    return 1;
  }
  gGame.fullScreen = false;
  if (!InitializeGame() || gGame.level.leaves.empty()) {
    std::fprintf(stderr, "bench_particles: the game did not start (is the game data built?)\n");
    return 1;
  }
  gGame.particles = std::make_unique<ParticleSystem>();  // sparks only, no steam jet
  ResetRandom();
  TopUpSparks();

  const int warmup = 20, runs = 201;
  const GLuint texture = MakeNoiseTexture();
  const double clear = MedianFinishedMs(warmup, runs, ClearAndLook);
  const double quad = MedianFinishedMs(warmup, runs, [texture] {
    ClearAndLook();
    DrawFullScreenQuad(texture);
  });
  int calls = 0;
  const double sparks = MedianFinishedMs(warmup, runs, [] {
    ClearAndLook();
    TopUpSparks();
    gGame.particles->DrawParticles();
    gGame.particles->Step();
  });
  const double oneByOne = MedianFinishedMs(warmup, runs / 4, [] {
    ClearAndLook();
    TopUpSparks();
    DrawOneByOne();
    gGame.particles->Step();
  });
  glViewport(0, 0, 1, 1);
  const double noFill = MedianFinishedMs(warmup, runs, [] {
    ClearAndLook();
    TopUpSparks();
    gGame.particles->DrawParticles();
    gGame.particles->Step();
  });
  glViewport(0, 0, 1024, 768);
  double area = 0;
  {
    const ParticleSystem& s = *gGame.particles;
    for (int i = s.head(), k = 0; k < s.particleCount; ++k, i = s.particle(i).next)
      area += 4.0 * s.particle(i).size * s.particle(i).size;
    area /= s.particleCount;
  }
  const double fresh = MedianFinishedMs(warmup, runs, [] {
    ClearAndLook();
    gGame.particles->Clear();
    TopUpSparks();
    gGame.particles->DrawParticles();
    gGame.particles->Step();
  });
  const double updateOnly = MedianFinishedMs(warmup, runs, [] {
    TopUpSparks();
    gGame.particles->Step();
  });
  {
    BillboardBatch batch;
    ClearAndLook();
    batch.Begin();
    const ParticleSystem& s = *gGame.particles;
    for (int i = s.head(), k = 0; k < s.particleCount; ++k, i = s.particle(i).next) {
      const Particle& q = s.particle(i);
      batch.Add(q.position, q.red, q.green, q.blue, q.alpha, q.size, q.kind);
    }
    calls = batch.Flush();
  }

  const double quadCost = quad - clear, sparkCost = sparks - clear, oneCost = oneByOne - clear;
  const double freshCost = fresh - clear, noFillCost = noFill - clear;
  std::printf("particles at 1024x768 (median of %d frames, same run):\n", runs);
  std::printf("  clear + view                      %8.3f ms\n", clear);
  std::printf("  one full-screen textured quad     %8.3f ms over that\n", quadCost);
  std::printf("  %d sparks drawn + updated       %8.3f ms over that (%d draw call%s)  = %.2fx the quad\n",
              SparkCount, sparkCost, calls, calls == 1 ? "" : "s", sparkCost / quadCost);
  std::printf("    (mean square %.0f square units: the sparks grow 10%% an update)\n", area);
  std::printf("    of which the update with traces %8.3f ms\n", updateOnly);
  std::printf("  %d fresh sparks (new bursts)     %8.3f ms over that  = %.2fx the quad\n", SparkCount,
              freshCost, freshCost / quadCost);
  std::printf("  steady stream, 1x1 viewport       %8.3f ms over that  = %.2fx the quad\n", noFillCost,
              noFillCost / quadCost);
  std::printf("  the same drawn one by one         %8.3f ms over that  = %.2fx the quad\n", oneCost,
              oneCost / quadCost);
  std::printf("  goal: sparks <= 0.5x the quad: steady %s, fresh %s, before fill %s\n",
              sparkCost <= 0.5 * quadCost ? "met" : "not met", freshCost <= 0.5 * quadCost ? "met" : "not met",
              noFillCost <= 0.5 * quadCost ? "met" : "not met");
  p.DestroyWindow();
  return 0;
}
