// A long run of the whole game, headless: the real start-up and the real frame (tick, bots,
// shots, particles, physics, drawing) on an offscreen context, driven by a fake clock and
// scripted random input through the window procedure: walking, mouse look, jumps, both
// weapons fired often, the toggles, slow motion on and off. It reports the memory in use
// (RSS) at intervals, the peaks of live particles and flying shots, and every frame that
// left a value that is not finite in the player, a bot, a shot or a particle.
//   bench_longrun [frames [game data directory]]   (default 1,000,000 frames, the build's data)
// SIGINT or SIGTERM stops the run early with the figures so far.
// Exit status 1 when a frame had a value that is not finite, or, in runs of at least
// 100,000 frames, when memory grows after the warm-up by 1 % or more. The warm-up (a tenth
// of the run, at least 10,000 frames or half a short run) covers what is built once and
// kept: the shader variants GL makes for each combination of the toggles (the run begins by
// visiting all of them), the decoded sounds, the music decoder.
// Memory is sampled every 1,000 frames: the RSS, and the heap in use as the C library counts
// it (what is allocated and not freed, whatever the library keeps or hands back). The RSS
// follows the live load (Mesa's per-frame buffers grow with the particles on screen) and
// swings by several per cent from one sample to the next, so single samples or peaks say
// little. Growth is judged on each 10,000 frames' median sample, which a busy moment does not
// move but a leak does: the least-squares trend of those medians after the warm-up, carried
// over the frames after the warm-up, against their mean. The trend of the single samples and
// the heap's are reported beside it; the heap follows the live load more closely than the
// RSS, so it tells a leak in our allocations from pages the library keeps.
#include <GL/gl.h>
#include <SDL.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/game.h"
#include "bots/bot.h"
#include "combat/shots.h"
#include "combat/sound.h"
#include "core/game_state.h"
#include "support/fake_platform.h"
#include "support/gl_context.h"

namespace {

constexpr int SurfaceWidth = 16, SurfaceHeight = 12;

// The test's context stands in for the game window's; the procedure lookup is the real one.
class HeadlessPlatform : public FakePlatform {
 public:
  void* GetProcAddress(const char* name) override { return SDL_GL_GetProcAddress(name); }
  void SetTitle(const char*) override {}  // one a second, for hours of game time
};

// The script's own generator: the game's random sequence stays the game's.
class Script {
 public:
  uint32_t Next() {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return uint32_t(state_ >> 33);
  }
  bool OneIn(uint32_t n) { return Next() % n == 0; }
  int Between(int low, int high) { return low + int(Next() % uint32_t(high - low + 1)); }

 private:
  uint64_t state_ = 0x4B4F5256414C4953ull;
};

// SIGINT or SIGTERM ends the run early: the figures so far are still reported.
volatile std::sig_atomic_t gStopRequested = 0;
void RequestStop(int) { gStopRequested = 1; }

// Processor time of the whole process (all of Mesa's threads), seconds: on a shared machine
// the wall clock says little.
double ProcessorSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long ResidentKb() {
  long pages = 0, resident = 0;
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
  std::fclose(f);
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Bytes allocated and not yet freed, from the C library's own count.
long HeapInUseKb() {
  const struct mallinfo2 info = mallinfo2();
  return long((info.uordblks + info.hblkhd) / 1024);
}

// The least-squares trend of samples (x, y): the growth it predicts from the first x to the
// last, in per cent of the samples' mean.
struct Trend {
  double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0, firstX = 0, lastX = 0;
  void Add(double x, double y) {
    if (n == 0) firstX = x;
    lastX = x;
    n += 1;
    sx += x;
    sy += y;
    sxx += x * x;
    sxy += x * y;
  }
  double GrowthPercent() const {
    const double d = n * sxx - sx * sx;
    if (n < 3 || d <= 0 || sy <= 0) return 0;
    const double slope = (n * sxy - sx * sy) / d;
    return 100.0 * slope * (lastX - firstX) / (sy / n);
  }
};

bool Finite(Vec3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// Where the first value that is not finite was found, or null.
const char* NonFiniteState() {
  const Camera& c = gGame.camera;
  if (!Finite(c.position) || !Finite(c.view) || !Finite(c.up) || !Finite(c.strafe)) return "player";
  if (!std::isfinite(gGame.jumpOffset) || !Finite(gGame.aimDirection) || !Finite(gGame.shotOrigin))
    return "player";
  for (const Bot& b : gGame.bots) {
    if (!Finite(b.position) || !Finite(b.previousPosition) || !Finite(b.facing) ||
        !Finite(b.moveDirection) || !Finite(b.aimPoint) || !Finite(b.lastSeenPlayerPosition) ||
        !std::isfinite(b.heading) || !std::isfinite(b.desiredHeading))
      return "bot";
  }
  for (const Shot& s : gGame.shots) {
    if (s.active && (!Finite(s.position) || !Finite(s.previousPosition) || !Finite(s.direction)))
      return "shot";
  }
  // The particle list is circular: walk it once from the head.
  if (const ParticleSystem* system = gGame.particles.get()) {
    const int head = system->head();
    for (int i = head; i != NoParticle;) {
      const Particle& q = system->particle(i);
      if (!Finite(q.position) || !Finite(q.previousPosition) || !Finite(q.velocity) ||
          !Finite(q.slowVelocity) || !std::isfinite(q.size) || !std::isfinite(q.alpha) ||
          !std::isfinite(q.life))
        return "particle";
      i = q.next;
      if (i == head) break;
    }
  }
  return nullptr;
}

int LiveParticles() { return gGame.particles ? gGame.particles->particleCount : 0; }

// Grenades the bots fired while they saw the player, per bot: bots that never fire at a
// player in sight fail the run.
int gSightedGrenades[BotCount] = {};
void CountBotShot(Vec3 origin, Vec3 direction, int weapon, int owner) {
  if (owner >= 0 && owner < BotCount && weapon == WeaponLauncher && gGame.bots[owner].seesPlayer)
    ++gSightedGrenades[owner];
  FireShot(origin, direction, weapon, owner);
}

int ActiveShots() {
  int n = 0;
  for (const Shot& s : gGame.shots) n += s.active ? 1 : 0;
  return n;
}

void Send(platform::Event::Type type, int key = 0,
          platform::MouseButton button = platform::MouseButton::Left) {
  platform::Event e;
  e.type = type;
  e.key = key;
  e.button = button;
  HandleEvent(e);
}

// The toggles a player presses now and then (never Escape).
constexpr int Toggles[] = {platform::KeyF,   platform::KeyN,   platform::KeyF2,  platform::KeyF3,
                           platform::KeyF4,  platform::KeyF5,  platform::KeyF6,  platform::KeyF7,
                           platform::KeyF12, platform::KeyReturn, platform::KeyInsert,
                           platform::KeyDelete, platform::KeyAdd, platform::KeySubtract};
constexpr int MovementKeys[] = {platform::KeyW,  platform::KeyS,    platform::KeyA,
                                platform::KeyD,  platform::KeyUp,   platform::KeyDown,
                                platform::KeyLeft, platform::KeyRight};

// The keys whose toggles change what GL is asked to draw (fog, night vision, the overlay,
// outlines, additive blending, the info text, the waypoint graph, lightmaps) and the weapon
// (its overlay picture). Each combination asks GL for shader variants of its own, built once
// and kept; the run starts by visiting every combination, so that what is built once is
// built in the warm-up.
constexpr int DrawingToggles[] = {platform::KeyF,  platform::KeyN,  platform::KeyReturn,
                                  platform::KeyF2, platform::KeyF3, platform::KeyF4,
                                  platform::KeyF5, platform::KeyF6};
constexpr int DrawingCombinations = 1 << (sizeof DrawingToggles / sizeof DrawingToggles[0] + 1);
constexpr int FramesPerCombination = 4;

// Step `step` (1 .. DrawingCombinations - 1) of a Gray-code walk over the combinations: one
// key changes one toggle (the last "toggle" is the weapon).
void VisitCombination(int step) {
  int bit = 0;
  while (!(step >> bit & 1)) ++bit;
  constexpr int toggles = sizeof DrawingToggles / sizeof DrawingToggles[0];
  if (bit < toggles) {
    Send(platform::Event::KeyDown, DrawingToggles[bit]);
  } else {
    const bool second = (step ^ (step >> 1)) >> bit & 1;
    Send(platform::Event::KeyDown, second ? platform::Key2 : platform::Key1);
  }
}

// One frame of input: the clock moves 5 to 30 ms, the mouse and the held keys change now
// and then, and the window procedure gets clicks and keys.
// Where the player was when collision went off, and when.
struct Flight {
  long since = 0;
  Vec3 position, view;
  float verticalAngle = 0;
};

void ScriptFrame(Script& s, HeadlessPlatform& p, long frame, Flight* flight) {
  p.now += uint32_t(s.Between(5, 30));
  const int cx = p.clientWidth / 2, cy = p.clientHeight / 2;
  p.mouseX = cx;
  p.mouseY = cy;
  if (s.OneIn(3)) {
    p.mouseX = cx + s.Between(-40, 40);
    p.mouseY = cy + s.Between(-12, 12);
  }
  if (s.OneIn(30)) {
    p.held.clear();
    for (int key : MovementKeys)
      if (s.OneIn(4)) p.held.insert(key);
  }
  using platform::Event;
  if (s.OneIn(6)) Send(Event::MouseDown, 0, platform::MouseButton::Left);  // fire
  if (s.OneIn(40)) Send(Event::KeyDown, s.OneIn(2) ? platform::Key1 : platform::Key2);
  if (s.OneIn(50)) Send(Event::MouseDown, 0, platform::MouseButton::Right);  // jump
  if (s.OneIn(60)) Send(Event::KeyDown, Toggles[s.Next() % (sizeof Toggles / sizeof Toggles[0])]);
  if (s.OneIn(400)) Send(Event::KeyDown, platform::KeyF11);  // slow motion on or off
  // Collision off lets the player fly through walls; it comes back on after a while, and the
  // player is put back where the flight began (as a player would walk back in): left outside
  // the level, he would fall for the rest of the run and every shot would fly into the void.
  if (gGame.collisionOn && s.OneIn(3000)) {
    Send(Event::MouseDown, 0, platform::MouseButton::Middle);
    flight->since = frame;
    flight->position = gGame.camera.position;
    flight->view = gGame.camera.view;
    flight->verticalAngle = mouseLook.verticalAngle;
  } else if (!gGame.collisionOn && frame - flight->since > 200) {
    Send(Event::MouseDown, 0, platform::MouseButton::Middle);
    gGame.camera.position = flight->position;
    gGame.camera.view = flight->view;
    mouseLook.verticalAngle = flight->verticalAngle;
  }
}

}  // namespace

int main(int argc, char** argv) {
  const long frames = argc > 1 ? std::atol(argv[1]) : 1000000;
  if (frames < 10) {
    std::fprintf(stderr, "usage: bench_longrun [frames >= 10]\n");
    return 2;
  }
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  const char* dataDirectory = argc > 2 ? argv[2] : KORVALIS_GAME_DIR;
  if (chdir(dataDirectory) != 0) {
    std::fprintf(stderr, "bench_longrun: no game data directory %s\n", dataDirectory);
    return 1;
  }
  // A tiny surface: the run measures the game's own work and memory, not fill rate. Every GL
  // call of the frame is still made and Mesa still transforms every vertex; only the pixels
  // are few.
  GLTestContext gl(SurfaceWidth, SurfaceHeight);
  if (!gl.ok()) {
    std::fprintf(stderr, "bench_longrun: no offscreen OpenGL context\n");
    return 1;
  }
  HeadlessPlatform platform;
  platform.clientWidth = SurfaceWidth;
  platform.clientHeight = SurfaceHeight;
  platform.now = 1000;
  gGame.fullScreen = false;
  if (!InitializeGame() || platform.quitRequests != 0) {
    for (const std::string& m : platform.messages) std::fprintf(stderr, "%s\n", m.c_str());
    std::fprintf(stderr, "bench_longrun: the game did not start (is the game data built?)\n");
    return 1;
  }
  gBotShot = CountBotShot;
  SoundInit();
  OpenMusic("sound/background.mp3");
  PlayMusic(MusicVolume);

  Script script;
  long warmup = frames / 10;
  if (warmup < 10000) warmup = frames / 2 < 10000 ? frames / 2 : 10000;
  const long reportEvery = frames >= 200000 ? 10000 : (frames >= 20 ? frames / 20 : 1);
  constexpr long SampleEvery = 1000;
  long badFrames = 0, lowRss = 0, highRss = 0;
  Trend rssTrend, heapTrend, medianTrend;
  constexpr size_t SamplesPerWindow = 10;
  std::vector<long> window;
  long firstMedian = 0, lastMedian = 0;
  Flight flight;
  int peakShots = 0, peakParticles = 0;
  const char* firstBad = nullptr;
  long firstBadFrame = -1;
  std::signal(SIGINT, RequestStop);  // after SDL, which installs handlers of its own
  std::signal(SIGTERM, RequestStop);
  const auto started = std::chrono::steady_clock::now();
  std::printf("%10s %10s %10s %8s %10s %10s %12s %10s %10s %10s\n", "frame", "RSS KB", "heap KB",
              "shots", "particles", "peak shots", "peak partic.", "not finite", "seconds", "CPU s");
  long framesRun = 0;
  for (long frame = 1; frame <= frames && !gStopRequested; ++frame) {
    framesRun = frame;
    if (frame % FramesPerCombination == 0 && frame / FramesPerCombination < DrawingCombinations)
      VisitCombination(int(frame / FramesPerCombination));
    ScriptFrame(script, platform, frame, &flight);
    gGame.camera.UpdateCamera();
    RenderFrame();
    // Nothing reads the pixels back: a flush per frame keeps Mesa from queueing them all.
    glFlush();

    if (const char* where = NonFiniteState()) {
      if (!firstBad) {
        firstBad = where;
        firstBadFrame = frame;
      }
      ++badFrames;
    }
    const int shots = ActiveShots();
    if (shots > peakShots) peakShots = shots;
    const int particles = LiveParticles();
    if (particles > peakParticles) peakParticles = particles;
    const bool report = frame % reportEvery == 0 || frame == frames || gStopRequested;
    if (frame % SampleEvery != 0 && !report) continue;
    const long rss = ResidentKb(), heap = HeapInUseKb();
    if (frame > warmup) {
      rssTrend.Add(double(frame), double(rss));
      heapTrend.Add(double(frame), double(heap));
      if (lowRss == 0 || rss < lowRss) lowRss = rss;
      if (rss > highRss) highRss = rss;
      window.push_back(rss);
      if (window.size() == SamplesPerWindow) {
        std::nth_element(window.begin(), window.begin() + SamplesPerWindow / 2, window.end());
        lastMedian = window[SamplesPerWindow / 2];
        if (medianTrend.n == 0) firstMedian = lastMedian;
        medianTrend.Add(double(frame), double(lastMedian));
        window.clear();
      }
    }
    if (report) {
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
      std::printf("%10ld %10ld %10ld %8d %10d %10d %12d %10ld %10.1f %10.1f\n", frame, rss, heap,
                  shots, particles, peakShots, peakParticles, badFrames, seconds, ProcessorSeconds());
      std::fflush(stdout);
    }
  }
  const double growth = medianTrend.GrowthPercent();
  const double rssGrowth = rssTrend.GrowthPercent(), heapGrowth = heapTrend.GrowthPercent();
  std::printf("frames %ld", framesRun);
  if (framesRun < frames) std::printf(" (stopped early, of %ld)", frames);
  std::printf(", game time %.1f min\n", (platform.now - 1000) / 60000.0);
  const bool judged = medianTrend.n >= 3;
  if (rssTrend.n >= 3)
    std::printf("after the warm-up (%ld frames), %.0f samples: RSS %ld to %ld KB, trend %+.2f %%;"
                " heap in use trend %+.2f %%\n",
                warmup, rssTrend.n, lowRss, highRss, rssGrowth, heapGrowth);
  if (judged) {
    std::printf("medians of %.0f windows of %zu samples: first %ld KB, last %ld KB, growth %+.2f %%\n",
                medianTrend.n, SamplesPerWindow, firstMedian, lastMedian, growth);
  } else {
    std::printf("too few samples after the warm-up (%ld frames) to judge memory growth\n", warmup);
  }
  std::printf("peak active shots %d, peak live particles %d\n", peakShots, peakParticles);
  std::printf("frames with a value that is not finite: %ld", badFrames);
  if (firstBad) std::printf(" (first at frame %ld, in a %s)", firstBadFrame, firstBad);
  std::printf("\n");
  std::printf("grenades fired by the bots while they saw the player: %d (bot 0), %d (bot 1)\n",
              gSightedGrenades[0], gSightedGrenades[1]);
  for (const std::string& m : platform.messages) std::printf("message: %s\n", m.c_str());
  gGame.level.Destroy();
  const bool flat = framesRun < 100000 || !judged || growth < 1.0;
  const bool botsFired = gSightedGrenades[0] + gSightedGrenades[1] > 0;
  if (!botsFired) std::printf("FAIL: the bots never fired a grenade at the player in sight\n");
  return (badFrames == 0 && flat && botsFired) ? 0 : 1;
}
