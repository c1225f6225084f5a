// Particle cost on an offscreen 1024 x 768 context with the default level: 5,000 live impact
// sparks drawn and updated (each update checks every spark's move against the level) per
// frame, against one full-screen textured quad over the same frame, measured in the same run.
// Goal: the sparks cost at most half of the quad.
//
// The scene is a grenade fight in the great hall, the level's largest room: the player's view
// down the hall (the docs' "level-great-hall" view) and grenade bursts of 500 sparks where
// shots from the eye meet the floor, the pillars and the walls, 190 to 1,000 units away,
// and two behind the player (thrown sparks fly into view or die on the wall). The level is
// drawn first, as in a frame, so fog and the depth buffer act on the sparks as in the game;
// sparks that fly into a wall die at the next update, and new bursts keep 5,000 alive.
//
// Populations: the steady stream (sparks of every age; the old ones have grown to 45 times
// their size, so this is bound by filling pixels), fresh bursts only, and the steady stream
// with the rasterizer discarding everything (the CPU and vertex side alone). All cases are
// taken in turn, round after round, so a change of the machine's load hits them alike.
//
// Then the effects of the frame benchmark's scene, one by one over the level in each of its
// views: the steam jet (a whole life of its particles), a grenade impact's 500 fresh sparks
// (drawn, and drawn and updated) and the frame's text line, each against the quad.
#include <GL/gl.h>
#include <GL/glext.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/game.h"
#include "bench/bench_gl.h"
#include "combat/billboard.h"
#include "combat/effects.h"
#include "combat/emitter.h"
#include "combat/shots.h"
#include "core/game_state.h"
#include "core/particles.h"
#include "core/random.h"
#include "platform/platform.h"
#include "render/text.h"

namespace {

constexpr int SparkCount = 5000;
constexpr int BurstSparks = 500;
const Vec3 Eye(1450, 520, -1000), Target(1650, 500, -1800);

// Where the bursts go: shots from the eye, as (sideways, upward) offsets per unit ahead.
const float Aims[][2] = {{0, -0.1f},   {0.2f, -0.25f}, {-0.25f, -0.2f}, {0.3f, 0.05f}, {-0.3f, 0.1f},
                         {0.1f, 0.2f}, {-0.05f, 0.02f}, {0.35f, -0.3f}};
const Vec3 BehindAims[] = {{-0.3f, -0.2f, 1}, {0.4f, 0.1f, 1}};  // behind the player

std::vector<Vec3> gSites;
Vec3 gStartEye, gStartTarget;  // the view the game starts in
size_t gNextSite = 0;

void FindSites() {
  const Vec3 ahead = Normalize(Target - Eye);
  const Vec3 side = Normalize(Cross(ahead, Vec3(0, 1, 0)));
  const Vec3 up = Cross(side, ahead);
  std::vector<Vec3> aims;
  for (const auto& a : Aims) aims.push_back(ahead + side * a[0] + up * a[1]);
  for (const Vec3& b : BehindAims) aims.push_back(ahead * -b.z + side * b.x + up * b.y);
  for (const Vec3& aim : aims) {
    const TraceResult r = gGame.level.Trace(Eye, Eye + Normalize(aim) * 4000, ShotExtents);
    gSites.push_back(r.end);
  }
}

// Keeps SparkCount sparks alive with bursts at the sites in turn, thrown as an impact throws them.
void TopUpSparks() {
  while (gGame.particles->particleCount < SparkCount) {
    const Vec3 site = gSites[gNextSite++ % gSites.size()];
    const int n = std::min(BurstSparks, SparkCount - gGame.particles->particleCount);
    for (int i = 0; i < n; ++i) {
      const Vec3 r(1 - static_cast<float>(RandomInt() % 200) / 100, 1 - static_cast<float>(RandomInt() % 200) / 100,
                   1 - static_cast<float>(RandomInt() % 200) / 100);
      SpawnImpactSpark(site, r, {235, 145, 35, 1}, WeaponLauncher);
    }
  }
}

void Look() {
  glLoadIdentity();
  gGame.camera.Look();
}

// The frame's particle step: texturing off around them, as the frame has it.
void DrawAndUpdate() {
  glDisable(GL_TEXTURE_2D);
  gGame.particles->DrawParticles();
  gGame.particles->Step();
  glEnable(GL_TEXTURE_2D);
}

void DrawLevel() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  Look();
  gGame.frustum.CalculateFrustum();
  glColor3f(0.6f, 0.6f, 0.6f);
  gGame.level.RenderLevel(gGame.camera.Position());
  glColor3f(1, 1, 1);
}

void SavePicture(const char* path) {
  std::vector<unsigned char> px(1024 * 768 * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, 1024, 768, GL_RGB, GL_UNSIGNED_BYTE, px.data());
  if (FILE* f = std::fopen(path, "wb")) {
    std::fprintf(f, "P6 1024 768 255\n");
    for (int y = 767; y >= 0; --y) std::fwrite(&px[static_cast<size_t>(y) * 1024 * 3], 1, 1024 * 3, f);
    std::fclose(f);
  }
}

struct Case {
  const char* name;
  std::function<void()> body;
  std::vector<double> times = {};  // wall clock, ms
  std::vector<double> cpu = {};    // CPU time of all the process's threads (the GL's too), ms
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}


// The frame benchmark's views, and where its scene puts the grenade's impact in each.
struct FrameView {
  const char* name;
  Vec3 eye, target;
};

Vec3 ImpactAhead() {
  const Vec3 eye = gGame.camera.position;
  const Vec3 ahead = NormalizeOrZero(Vec3(gGame.camera.view.x - eye.x, 0, gGame.camera.view.z - eye.z));
  return eye + ahead * 90 + Vec3(-ahead.z, 0, ahead.x) * -25 - Vec3(0, 5, 0);
}

void ThrowGrenadeSparks() {
  const Vec3 impact = ImpactAhead();
  for (int k = 0; k < BurstSparks; ++k) {
    const Vec3 r(1 - static_cast<float>(RandomInt() % 200) / 100, 1 - static_cast<float>(RandomInt() % 200) / 100,
                 1 - static_cast<float>(RandomInt() % 200) / 100);
    SpawnImpactSpark(impact, r, {235, 145, 35, 1}, WeaponLauncher);
  }
}

// Each effect of the frame's scene over the level, per view, against the quad.
void MeasureFrameEffects(GLuint texture, int rounds) {
  const FrameView views[] = {
      {"start", gStartEye, gStartTarget},
      {"great hall", Vec3(1450, 520, -1000), Vec3(1650, 500, -1800)},
      {"long corridor", Vec3(1220, 570, -2145), Vec3(300, 700, -2145)},
      {"steam vent", Vec3(110, 20, -850), Vec3(0, 0, -804)},
  };
  std::unique_ptr<ParticleSystem> jet = CreateGameParticleSystem();
  gGame.particles = std::move(jet);
  for (int k = 0; k < 60; ++k) gGame.particles->Step();
  jet = std::move(gGame.particles);
  std::unique_ptr<ParticleSystem> sparks = std::make_unique<ParticleSystem>();
  struct Piece {
    const char* name;
    std::function<void()> setup, body;
  };
  auto drawOnly = [] {
    glDisable(GL_TEXTURE_2D);
    gGame.particles->DrawParticles();
    glEnable(GL_TEXTURE_2D);
  };
  auto freshSparks = [&] {
    gGame.particles = std::move(sparks);
    gGame.particles->Clear();
    ThrowGrenadeSparks();
  };
  const Piece pieces[] = {
      {"nothing", [] {}, [] {}},
      {"full-screen quad", [] {}, [texture] { DrawFullScreenQuad(texture); }},
      {"steam jet", [&] { gGame.particles = std::move(jet); }, drawOnly},
      {"500 fresh sparks", freshSparks, drawOnly},
      {"  drawn and updated", freshSparks, DrawAndUpdate},
      {"  without filling", freshSparks, [] {
         glEnable(GL_RASTERIZER_DISCARD);
         glDisable(GL_TEXTURE_2D);
         gGame.particles->DrawParticles();
         glEnable(GL_TEXTURE_2D);
         glDisable(GL_RASTERIZER_DISCARD);
       }},
      {"the text line", [] {}, [] {
         glColor3f(1, 1, 1);
         glDisable(GL_TEXTURE_2D);
         PrintText(5, 0, "%d FPS", 60);
         glEnable(GL_TEXTURE_2D);
       }},
  };
  const size_t n = std::size(pieces);
  std::vector<std::vector<double>> cpu(std::size(views) * n);
  for (int round = 0; round < rounds + 3; ++round) {
    for (size_t v = 0; v < std::size(views); ++v) {
      for (size_t i = 0; i < n; ++i) {
        gGame.camera.PositionCamera(views[v].eye.x, views[v].eye.y, views[v].eye.z, views[v].target.x,
                                    views[v].target.y, views[v].target.z, 0, 1, 0);
        DrawLevel();
        if (gGame.fogOn) glEnable(GL_FOG);
        pieces[i].setup();
        glFinish();
        const double start = ProcessCpuMs();
        pieces[i].body();
        glFinish();
        if (round >= 3) cpu[v * n + i].push_back(ProcessCpuMs() - start);
        if (gGame.particles) {
          if (i == 2) jet = std::move(gGame.particles);
          else sparks = std::move(gGame.particles);
        }
      }
    }
  }
  std::printf("the frame's effects over the level, CPU time of all threads, median of %d rounds, "
              "times the quad:\n  %-16s", rounds, "");
  for (size_t i = 2; i < n; ++i) std::printf(" %20s", pieces[i].name);
  std::printf("\n");
  for (size_t v = 0; v < std::size(views); ++v) {
    const double base = Median(cpu[v * n]), quad = Median(cpu[v * n + 1]) - base;
    std::printf("  %-16s", views[v].name);
    for (size_t i = 2; i < n; ++i) std::printf(" %20.3f", (Median(cpu[v * n + i]) - base) / quad);
    std::printf("   (quad %.2f ms)\n", quad);
  }
}

}  // namespace

int main() {
  if (!StartBenchGame("bench_particles")) return 1;
  gStartEye = gGame.camera.position, gStartTarget = gGame.camera.view;
  gGame.camera.PositionCamera(Eye.x, Eye.y, Eye.z, Target.x, Target.y, Target.z, 0, 1, 0);
  FindSites();
  std::printf("burst sites, distance from the eye:");
  for (const Vec3& s : gSites) std::printf(" %.0f", Magnitude(s - Eye));
  std::printf(" (the last %zu behind the player)\n", std::size(BehindAims));

  // The steady stream and a system for fresh bursts, swapped in by the cases that use them.
  ResetRandom();
  std::unique_ptr<ParticleSystem> steady = std::make_unique<ParticleSystem>();  // no steam jet
  std::unique_ptr<ParticleSystem> fresh = std::make_unique<ParticleSystem>();
  gGame.particles = std::move(steady);
  for (int i = 0; i < 60; ++i) {  // a few ages of sparks: the stream is steady
    TopUpSparks();
    gGame.particles->Step();
  }
  steady = std::move(gGame.particles);

  if (const char* path = std::getenv("KORVALIS_PARTICLES_PICTURE")) {
    gGame.particles = std::move(steady);
    DrawLevel();
    TopUpSparks();
    glDisable(GL_TEXTURE_2D);
    gGame.particles->DrawParticles();
    glEnable(GL_TEXTURE_2D);
    SavePicture(path);
    steady = std::move(gGame.particles);
  }

  // The level's picture and depth stay in the buffers: the cases draw over them without
  // clearing (the cost of blending does not depend on what is under it).
  DrawLevel();
  const GLuint texture = MakeNoiseTexture();
  auto withSteady = [&](const std::function<void()>& body) {
    return [&, body] {
      gGame.particles = std::move(steady);
      body();
      steady = std::move(gGame.particles);
    };
  };
  std::vector<Case> cases = {
      {"view only", [] { Look(); }},
      {"full-screen quad", [texture] { Look(); DrawFullScreenQuad(texture); }},
      {"steady", withSteady([] { Look(); TopUpSparks(); DrawAndUpdate(); })},
      {"steady, update only", withSteady([] { TopUpSparks(); gGame.particles->Step(); })},
      {"steady, no fill", withSteady([] {
         Look();
         TopUpSparks();
         glEnable(GL_RASTERIZER_DISCARD);
         DrawAndUpdate();
         glDisable(GL_RASTERIZER_DISCARD);
       })},
      {"fresh", [&] {
         gGame.particles = std::move(fresh);
         gGame.particles->Clear();
         Look();
         TopUpSparks();
         DrawAndUpdate();
         fresh = std::move(gGame.particles);
       }},
  };
  const int warmup = 10, rounds = std::getenv("KORVALIS_BENCH_QUICK") ? 21 : 101;
  using Clock = std::chrono::steady_clock;
  for (int round = 0; round < warmup + rounds; ++round) {
    for (Case& c : cases) {
      glFinish();
      const auto start = Clock::now();
      const double cpuStart = ProcessCpuMs();
      c.body();
      glFinish();
      if (round >= warmup) {
        c.times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        c.cpu.push_back(ProcessCpuMs() - cpuStart);
      }
    }
  }

  // What the steady stream looks like: its mean square and how many sparks are drawn.
  gGame.particles = std::move(steady);
  double area = 0;
  const ParticleSystem& s = *gGame.particles;
  for (int i = s.head(), k = 0; k < s.particleCount; ++k, i = s.particle(i).next)
    area += 4.0 * s.particle(i).size * s.particle(i).size;
  area /= s.particleCount;
  BillboardBatch batch;
  Look();
  batch.Begin();
  int kept = 0;
  for (int i = s.head(), k = 0; k < s.particleCount; ++k, i = s.particle(i).next) {
    const Particle& q = s.particle(i);
    kept += batch.Add(q.position, q.red, q.green, q.blue, q.alpha, q.size, q.kind);
  }
  const int calls = batch.Flush();

  // Both clocks: the wall clock is what a frame waits; the CPU time of all threads is the
  // work done, which the load of a shared machine disturbs much less.
  for (const bool cpu : {false, true}) {
    auto median = [&](int i) { return Median(cpu ? cases[static_cast<size_t>(i)].cpu : cases[static_cast<size_t>(i)].times); };
    const double base = median(0);
    auto cost = [&](int i) { return median(i) - base; };
    const double quad = cost(1);
    std::printf("particles at 1024x768, %s, the median of %d rounds, all cases in turn:\n",
                cpu ? "CPU time of all threads" : "wall clock", rounds);
    std::printf("  the view alone                        %8.3f ms\n", base);
    std::printf("  one full-screen textured quad         %8.3f ms over that\n", quad);
    std::printf("  %d sparks drawn + updated, steady   %8.3f ms over that = %.2fx the quad\n", SparkCount,
                cost(2), cost(2) / quad);
    std::printf("    the update with its level checks   %8.3f ms            = %.2fx the quad\n", median(3),
                median(3) / quad);
    std::printf("    without filling pixels             %8.3f ms over that = %.2fx the quad\n", cost(4),
                cost(4) / quad);
    std::printf("  %d fresh sparks (new bursts)        %8.3f ms over that = %.2fx the quad\n", SparkCount,
                cost(5), cost(5) / quad);
    std::printf("  goal: sparks <= 0.5x the quad: steady %s, fresh %s, without filling pixels %s\n",
                cost(2) <= 0.5 * quad ? "met" : "not met", cost(5) <= 0.5 * quad ? "met" : "not met",
                cost(4) <= 0.5 * quad ? "met" : "not met");
  }
  std::printf("steady stream: %d of %d sparks drawn in %d calls (the rest outside the view or too faint); "
              "mean square %.0f square units\n", kept, SparkCount, calls, area);
  MeasureFrameEffects(texture, rounds / 2);
  platform::Current().DestroyWindow();
  return 0;
}
