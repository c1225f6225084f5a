// Frame and level-load timings on an offscreen 1024 x 768 context with the default game data:
// the median RenderFrame time of several views against an empty frame (clear and swap) and
// against one full-screen textured quad, each view drawn the old way and the new way, and
// the level load time against reading the file's bytes, and per view the level's fragments
// per screen (rasterised, and shaded: those passing the depth test as drawn). A level-look
// quad (two textures, fog, depth test) is the least a screen of level pixels costs. Then
// views of bigger levels, each level in a run of its own against the same references: a
// generated arena in the style of levels from other tools (with the tests' level builder),
// and maps/movers.bsp when the game data has it. A quad with a second texture
// modulating the first stands for one screen of textured, lightmapped level pixels: the
// level can be no cheaper than that. The game thread's own processor time (the GL calls,
// vertex work and binning; the renderer's threads shade the pixels) is shown per case. The frames of all cases are taken
// in turn, round after round, so a change of the machine's load hits every case alike and
// the ratios hold on a noisy machine. Fragments shaded are also given with a texture pair's
// faces gathered across all distances ("one band"), as they were before the bands.
#include <GL/gl.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "app/config.h"
#include "app/game.h"
#include "bench/bench_gl.h"
#include "bots/bot.h"
#include "bots/waypoint_data.h"
#include "bots/waypoints.h"
#include "combat/effects.h"
#include "core/game_state.h"
#include "core/random.h"
#include "level/entities.h"
#include "level/fog_depth.h"
#include "movers/level_bodies.h"
#include "platform/files.h"
#include "platform/platform.h"
#ifdef KORVALIS_HAVE_LEVEL_BUILDER
#include "support/arena_level.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Median milliseconds of `runs` timed calls after `warmup` untimed ones.
double MedianMs(int warmup, int runs, const std::function<void()>& body) {
  for (int i = 0; i < warmup; ++i) body();
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    auto start = Clock::now();
    body();
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  return Median(times);
}

// One measured frame: `setup` puts the scene in place (untimed), `body` draws the frame.
// Wall-clock and process CPU time (all of the renderer's threads) are both kept; glFinish
// makes the GL work part of the time.
struct Case {
  std::string name;
  std::function<void()> setup;
  std::function<void()> body;
  std::vector<double> wallMs = {}, cpuMs = {}, threadMs = {}, faults = {};
  double Wall() const { return Median(wallMs); }
  double Cpu() const { return Median(cpuMs); }
};

// Processor time of the calling thread: the game's own work, without the renderer's threads.
double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Page faults of the process so far: memory the renderer takes afresh from the system.
double PageFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_minflt + usage.ru_majflt);
}

// Each round times one frame of every case, in turn. In the game a frame follows one much
// like it; here it would follow another case's, which leaves the caches full of other
// textures (the old paths' whole-screen overlay pictures above all) and cost the frame after
// it up to a tenth of a quad. So each timed frame follows an untimed one of its own case.
void RunInTurn(std::vector<Case>& cases, int warmupRounds, int rounds) {
  for (int r = 0; r < warmupRounds + rounds; ++r)
    for (Case& c : cases) {
      c.setup();
      c.body();
      c.setup();
      glFinish();
      const auto start = Clock::now();
      const double cpuStart = ProcessCpuMs(), threadStart = ThreadCpuMs(), faultsStart = PageFaults();
      c.body();
      glFinish();
      const double cpu = ProcessCpuMs() - cpuStart, thread = ThreadCpuMs() - threadStart;
      const double faults = PageFaults() - faultsStart;
      const double wall = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
      if (r < warmupRounds) continue;
      c.wallMs.push_back(wall);
      c.cpuMs.push_back(cpu);
      c.threadMs.push_back(thread);
      c.faults.push_back(faults);
    }
}

void EmptyFrame() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  platform::Current().SwapBuffers();
}

// One textured quad over the whole screen, drawn in screen space.
void QuadFrame(GLuint texture, GLuint second = 0) {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  DrawFullScreenQuad(texture, second);
  platform::Current().SwapBuffers();
}

// One screen with the level's own per-pixel state: two textures, the fog and the depth test
// (a plane 300 units ahead of the eye, in the frame's projection): the least one screen of
// level pixels can cost.
void LevelLookQuadFrame(GLuint texture) {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  const bool fog = glIsEnabled(GL_FOG);
  glEnable(GL_FOG);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glFrustum(-1, 1, -0.75, 0.75, 1, 4000);  // one unit ahead spans the screen
  glMatrixMode(GL_MODELVIEW);
  glScalef(300, 300, 300);
  glTranslatef(0, 0, -1);
  DrawFullScreenQuad(texture, texture, /*keepDepthAndFog=*/true);
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  if (!fog) glDisable(GL_FOG);
  platform::Current().SwapBuffers();
}

// Fragments of one draw, counted by an occlusion query; -1 without queries.
long CountFragments(const std::function<void()>& draw) {
  using GenQueries = void (*)(GLsizei, GLuint*);
  using QueryOp = void (*)(GLenum, GLuint);
  using EndQuery = void (*)(GLenum);
  using GetQueryObject = void (*)(GLuint, GLenum, GLuint*);
  platform::Backend& p = platform::Current();
  static auto genQueries = reinterpret_cast<GenQueries>(p.GetProcAddress("glGenQueriesARB"));
  static auto beginQuery = reinterpret_cast<QueryOp>(p.GetProcAddress("glBeginQueryARB"));
  static auto endQuery = reinterpret_cast<EndQuery>(p.GetProcAddress("glEndQueryARB"));
  static auto getResult = reinterpret_cast<GetQueryObject>(p.GetProcAddress("glGetQueryObjectuivARB"));
  if (!genQueries || !beginQuery || !endQuery || !getResult) return -1;
  static GLuint query = 0;
  if (!query) genQueries(1, &query);
  const GLenum SamplesPassed = 0x8914, QueryResult = 0x8866;
  beginQuery(SamplesPassed, query);
  draw();
  endQuery(SamplesPassed);
  GLuint count = 0;
  getResult(query, QueryResult, &count);
  return count;
}

struct BenchView {
  const char* name;
  Vec3 eye, target;  // the start view takes the camera as start-up placed it
};

// Places the camera and holds it there: no physics, so nothing but the picture changes.
void PlaceCamera(const BenchView& v) {
  gGame.camera.position = v.eye;
  gGame.camera.view = v.target;
  gGame.camera.up = Vec3(0, 1, 0);
}

// Where the scene's things stand: `along` units ahead of the camera (level with the eye),
// `aside` units to its right (the weapon covers the lower right).
Vec3 Ahead(float along, float aside) {
  const Vec3 eye = gGame.camera.position;
  const Vec3 ahead = NormalizeOrZero(Vec3(gGame.camera.view.x - eye.x, 0, gGame.camera.view.z - eye.z));
  return eye + ahead * along + Vec3(-ahead.z, 0, ahead.x) * aside;
}

// The whole scene of a view, set afresh before each measured frame: the camera, both bots
// in front of it facing it, the steam jet running, a grenade's sparks just thrown, and a
// game tick due in the frame.
void SetScene(const BenchView& v) {
  PlaceCamera(v);
  for (int i = 0; i < BotCount; ++i) {
    InitBot(i);
    Bot& bot = gGame.bots[i];
    bot.position = Ahead(i == 0 ? 170.0f : 260.0f, i == 0 ? -70.0f : 5.0f) - Vec3(0, 5, 0);
    bot.previousPosition = bot.position;
    const Vec3 toEye = gGame.camera.position - bot.position;
    bot.heading = bot.desiredHeading = HeadingFromDirection(toEye.x, toEye.z);
    bot.facing = NormalizeOrZero(Vec3(toEye.x, 0, toEye.z));
  }
  // No shot in flight; the jet's particles of a whole life (they live 50 updates) and the
  // 500 sparks of a grenade's impact, thrown as the impact throws them.
  for (Shot& shot : gGame.shots) shot.active = false;
  gGame.particles->Clear();
  for (int k = 0; k < 60; ++k) gGame.particles->Step();
  const Vec3 impact = Ahead(90, -25) - Vec3(0, 5, 0);
  for (int k = 0; k < 500; ++k) {
    const Vec3 r(1 - static_cast<float>(RandomInt() % 200) / 100, 1 - static_cast<float>(RandomInt() % 200) / 100,
                 1 - static_cast<float>(RandomInt() % 200) / 100);
    SpawnImpactSpark(impact, r, EffectColour{235, 145, 35, 1}, WeaponLauncher);
  }
  gGame.lastTickTime = platform::Ticks() - 12;  // the frame runs one tick, as most do
}

// Both bots 300 units behind the camera: out of view, so the frame draws no figure (the
// figures' share of a whole scene is the difference).
void MoveBotsBehind() {
  for (int i = 0; i < BotCount; ++i) {
    Bot& bot = gGame.bots[i];
    bot.position = Ahead(-300.0f, i == 0 ? -40.0f : 40.0f);
    bot.previousPosition = bot.position;
  }
}

// A view from a waypoint (at eye height) toward another that the level hides from it (the
// eye's cluster sees none of the leaves the figures there reach), the bots standing there;
// false where the level has no such pair.
bool FindViewBehindWalls(BenchView* view, Vec3* bots) {
  const float r = gGame.characters[0].Reach() * 1.5f + 25;  // the figure's reach, both bots
  for (int a = 0; a < BuiltInWaypointCount; ++a)
    for (int b = 0; b < BuiltInWaypointCount; ++b) {
      const Vec3 eye = WaypointPosition(a) + Vec3(0, 20, 0), at = WaypointPosition(b);
      const float mins[3] = {at.x - r, at.y - r, at.z - r}, maxs[3] = {at.x + r, at.y + r, at.z + r};
      if (Magnitude(at - eye) > 900 || gGame.level.BoxSeenFrom(eye, mins, maxs)) continue;
      *view = {"behind walls", eye, at};
      *bots = at;
      return true;
    }
  return false;
}

void TimedRenderFrame() {
  gGame.camera.moveStartPosition = gGame.camera.position;
  gGame.camera.moveStartView = gGame.camera.view;
  RenderFrame();
}

// What the frame sets up before the level: back faces culled, buffers cleared, the camera's
// view and its frustum.
void StartLevelView() {
  glEnable(GL_CULL_FACE);
  glCullFace(GL_FRONT);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  gGame.camera.Look();
  gGame.frustum.CalculateFrustum();
}

// The level alone, as the frame draws it (culling, view, frustum, level), then the swap.
void LevelOnlyFrame() {
  StartLevelView();
  gGame.level.RenderLevel(gGame.camera.Position());
  glDisable(GL_CULL_FACE);
  platform::Current().SwapBuffers();
}

// The drawing paths before this benchmark's optimisations (false) or after (true); both
// give the same picture.
void UseFastPaths(bool fast) {
  gGame.level.batchedDrawing = fast;
  gGame.level.skipFoggedFaces = fast;
  gGame.level.modelsFirst = fast;
  gGame.level.magnifiedTwins = fast;
  gGame.level.cullFacesApart = fast;
  gGame.hudTiles.enabled = fast;
  for (CharacterModel& c : gGame.characters) c.arrayDrawing = fast;
}

// Both characters in front of the camera, as the bots are drawn (back faces culled), without
// the level.
void CharactersOnlyFrame() {
  glEnable(GL_CULL_FACE);  // as the frame draws them
  glCullFace(GL_FRONT);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  gGame.camera.Look();
  const Vec3 eye = gGame.camera.position;
  const Vec3 ahead = NormalizeOrZero(Vec3(gGame.camera.view.x - eye.x, 0, gGame.camera.view.z - eye.z));
  for (int i = 0; i < 2; ++i) {
    const Vec3 at = eye + ahead * (140.0f + 60.0f * i) + Vec3(ahead.z, 0, -ahead.x) * (i == 0 ? 30.0f : -30.0f);
    glPushMatrix();
    glTranslatef(at.x, at.y - 13, at.z);
    glScalef(1.5f, 1.5f, 1.5f);
    glRotatef(180, 0, 1, 0);
    gGame.characters[i].DrawCharacter();
    glPopMatrix();
  }
  glDisable(GL_CULL_FACE);
  platform::Current().SwapBuffers();
}

// Where the level's pixels go in a view: the faces drawn, how many of them show a pixel, the
// fragments rasterised (back faces culled, no depth test) against those that show, and the
// fragments of faces that lie wholly beyond the depth where black fog leaves no colour.
void ReportOverdraw(const char* name) {
  using GenQueries = void (*)(GLsizei, GLuint*);
  using QueryOp = void (*)(GLenum, GLuint);
  using EndQuery = void (*)(GLenum);
  using GetQueryObject = void (*)(GLuint, GLenum, GLuint*);
  platform::Backend& p = platform::Current();
  auto genQueries = reinterpret_cast<GenQueries>(p.GetProcAddress("glGenQueriesARB"));
  auto beginQuery = reinterpret_cast<QueryOp>(p.GetProcAddress("glBeginQueryARB"));
  auto endQuery = reinterpret_cast<EndQuery>(p.GetProcAddress("glEndQueryARB"));
  auto getResult = reinterpret_cast<GetQueryObject>(p.GetProcAddress("glGetQueryObjectuivARB"));
  if (!genQueries || !beginQuery || !endQuery || !getResult) return;
  const GLenum SamplesPassed = 0x8914, QueryResult = 0x8866;
  Level& level = gGame.level;
  level.batchedDrawing = false;
  level.skipFoggedFaces = false;
  LevelOnlyFrame();  // fills the depth buffer and the list of faces drawn
  glEnable(GL_CULL_FACE);
  glCullFace(GL_FRONT);
  std::vector<int> drawn;
  for (size_t f = 0; f < level.faces.size(); ++f)
    if (level.facesDrawn[f >> 5] & (1u << (f & 31))) drawn.push_back(static_cast<int>(f));
  // The frame again, then each face measured against its finished depth buffer.
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  level.RenderLevel(gGame.camera.Position());
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
  glDepthMask(GL_FALSE);
  GLfloat modelView[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
  long rasterised = 0, shown = 0, beyondFog = 0, ofHiddenFaces = 0;
  int facesShown = 0;
  GLuint query = 0;
  genQueries(1, &query);
  for (int f : drawn) {
    GLuint counts[2] = {0, 0};
    for (int pass = 0; pass < 2; ++pass) {
      glDepthFunc(pass == 0 ? GL_ALWAYS : GL_EQUAL);
      beginQuery(SamplesPassed, query);
      level.RenderFace(f);
      endQuery(SamplesPassed);
      getResult(query, QueryResult, &counts[pass]);
    }
    rasterised += counts[0];
    shown += counts[1];
    if (counts[1] > 0) ++facesShown;
    const BspFace& face = level.faces[f];
    float nearest = 1e30f;
    for (int k = 0; k < face.vertexCount; ++k) {
      const float* v = level.vertices[face.firstVertex + k].position;
      const float depth = -(modelView[2] * v[0] + modelView[6] * v[1] + modelView[10] * v[2] + modelView[14]);
      nearest = std::min(nearest, depth);
    }
    if (nearest >= FogHidingDepth())
      beyondFog += counts[0];
    else if (counts[1] == 0)
      ofHiddenFaces += counts[0];
  }
  glDepthFunc(GL_LESS);
  glDepthMask(GL_TRUE);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDisable(GL_CULL_FACE);
  level.batchedDrawing = true;
  level.skipFoggedFaces = true;
  LevelOnlyFrame();
  std::printf("  %-14s faces drawn %d (%d with texture twins), %d left in the fog, %d out of view or facing away\n",
              name, level.facesDrawnLastFrame, level.facesMagnifiedLastFrame, level.facesFoggedLastFrame,
              level.facesCulledLastFrame);
  std::printf("  %-14s faces drawn %4zu, showing %4d; fragments %8ld = %.2f screens, showing %.2f, of faces showing none (nearer) %.2f, beyond the fog %.2f\n",
              "", drawn.size(), facesShown, rasterised, rasterised / (1024.0 * 768), shown / (1024.0 * 768),
              ofHiddenFaces / (1024.0 * 768), beyondFog / (1024.0 * 768));
}

// The level's fragments in the current view, in screens: those rasterised (back faces culled,
// every one counted) and those that pass the depth test as the level draws them, which are
// the ones shaded.
void LevelFragments(double* rasterised, double* shaded) {
  const double screen = 1024.0 * 768;
  StartLevelView();
  const Vec3 eye = gGame.camera.Position();
  *shaded = CountFragments([eye] { gGame.level.RenderLevel(eye); }) / screen;
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glDepthFunc(GL_ALWAYS);
  *rasterised = CountFragments([eye] { gGame.level.RenderLevel(eye); }) / screen;
  glDepthFunc(GL_LESS);
  glDisable(GL_CULL_FACE);
}

// One line a view: its level fragments in both depth bands and in one (the fast paths on
// first when `fastPaths`).
void PrintLevelFragments(const std::vector<BenchView>& views, bool fastPaths) {
  for (const BenchView& v : views) {
    PlaceCamera(v);
    if (fastPaths) UseFastPaths(true);
    double rasterised = 0, shaded = 0, shadedOneBand = 0;
    LevelFragments(&rasterised, &shaded);
    gGame.level.distanceBands = false;
    LevelFragments(&rasterised, &shadedOneBand);
    gGame.level.distanceBands = true;
    std::printf("  %-28s level fragments per screen: %.2f rasterised, %.2f shaded (%.2f in one band)\n", v.name,
                rasterised, shaded, shadedOneBand);
  }
}

void PrintCases(const std::vector<Case>& cases, int quadIndex) {
  const double empty = cases[0].Wall(), quad = cases[quadIndex].Wall(), quadCpu = cases[quadIndex].Cpu();
  for (const Case& c : cases) {
    std::printf("  %-28s %8.3f ms = %5.2fx quad, %6.1fx empty   cpu %8.3f ms = %5.2fx quad   game thread %6.3f ms   %5.0f faults\n",
                c.name.c_str(), c.Wall(), c.Wall() / quad, c.Wall() / empty, c.Cpu(), c.Cpu() / quadCpu,
                Median(c.threadMs), Median(c.faults));
  }
}

// Views of another level, in a run of their own against the same references: the whole
// scene as the game draws it, the same without the fog, and the level alone. Without views
// given, the level's start facing four ways.
void RunOtherLevel(const char* label, const std::string& levelName, std::vector<BenchView> views, GLuint texture,
                   int rounds) {
  gGame.level.Destroy();
  if (!gGame.level.LoadBSP(levelName.c_str())) {
    std::printf("%s: %s did not load\n", label, levelName.c_str());
    return;
  }
  SetUpLevelMovers();
  if (views.empty()) {
    LevelStart start;
    if (!FindLevelStart(gGame.level, PlayerExtents, &start)) return;
    static const char* const names[4] = {"start", "start, right", "start, back", "start, left"};
    Vec3 ahead = start.view - start.eye;
    for (int k = 0; k < 4; ++k) {
      views.push_back({names[k], start.eye, start.eye + ahead});
      ahead = Vec3(-ahead.z, ahead.y, ahead.x);
    }
  }
  std::vector<Case> cases;
  auto nothing = [] {};
  cases.push_back({"empty frame (clear + swap)", nothing, EmptyFrame});
  cases.push_back({"one full-screen quad", nothing, [texture] { QuadFrame(texture); }});
  cases.push_back({"level-look quad", nothing, [texture] { LevelLookQuadFrame(texture); }});
  for (const BenchView& v : views) {
    cases.push_back({std::string(label) + ", " + v.name, [v] { SetScene(v), UseFastPaths(true), gGame.hudOn = true; },
                     TimedRenderFrame});
    cases.push_back({"  without the fog",
                     [v] { SetScene(v), UseFastPaths(true), gGame.hudOn = true, gGame.fogOn = false, glDisable(GL_FOG); },
                     [] { TimedRenderFrame(), gGame.fogOn = true, glEnable(GL_FOG); }});
    cases.push_back({"  the level alone", [v] { PlaceCamera(v), UseFastPaths(true); }, LevelOnlyFrame});
    cases.push_back({"  the level alone, one band",
                     [v] { PlaceCamera(v), UseFastPaths(true), gGame.level.distanceBands = false; },
                     [] { LevelOnlyFrame(), gGame.level.distanceBands = true; }});
  }
  RunInTurn(cases, 2, rounds);
  std::printf("%s (%s): %zu faces, %zu curved surfaces, %zu leaves; medians of %d rounds\n", label, levelName.c_str(),
              gGame.level.faces.size(), gGame.level.collisionSurfaces.size(), gGame.level.leaves.size(), rounds);
  PrintCases(cases, 1);
  PrintLevelFragments(views, false);
  if (std::getenv("KORVALIS_BENCH_OVERDRAW")) {
    std::printf("  the level alone, where its fragments go\n");
    for (const BenchView& v : views) PlaceCamera(v), UseFastPaths(true), ReportOverdraw(v.name);
  }
  // The level alone with the brush models drawn before the world's faces and after them: the
  // same picture?
  int same = 0;
  for (const BenchView& v : views) {
    std::vector<unsigned char> pictures[2];
    for (const bool first : {false, true}) {
      PlaceCamera(v), UseFastPaths(true), gGame.level.modelsFirst = first;
      LevelOnlyFrame();
      pictures[first].resize(1024 * 768 * 3);
      glPixelStorei(GL_PACK_ALIGNMENT, 1);
      glReadBuffer(GL_FRONT);
      glReadPixels(0, 0, 1024, 768, GL_RGB, GL_UNSIGNED_BYTE, pictures[first].data());
    }
    if (pictures[0] == pictures[1]) ++same;
  }
  std::printf("  the level alone, brush models drawn first or last: %d of %zu pictures identical\n", same, views.size());
}

}  // namespace

int main() {
  if (!StartBenchGame("bench_frame")) return 1;

  const BenchView views[] = {
      {"start", gGame.camera.position, gGame.camera.view},
      {"great hall", Vec3(1450, 520, -1000), Vec3(1650, 500, -1800)},
      {"long corridor", Vec3(1220, 570, -2145), Vec3(300, 700, -2145)},
      {"steam vent", Vec3(110, 20, -850), Vec3(0, 0, -804)},
  };
  gGame.collisionOn = false;
  gGame.camera.frameRate = 60;

  std::vector<Case> cases;
  const GLuint texture = MakeNoiseTexture();
  auto nothing = [] {};
  cases.push_back({"empty frame (clear + swap)", nothing, EmptyFrame});
  cases.push_back({"one full-screen quad", nothing, [texture] { QuadFrame(texture); }});
  cases.push_back({"quad, two textures", nothing, [texture] { QuadFrame(texture, texture); }});
  cases.push_back({"level-look quad", nothing, [texture] { LevelLookQuadFrame(texture); }});
  for (const BenchView& v : views) {
    for (const bool fast : {false, true}) {
      cases.push_back({std::string(v.name) + (fast ? ", new" : ", old"),
                       [v, fast] { SetScene(v), UseFastPaths(fast), gGame.hudOn = true; }, TimedRenderFrame});
    }
    cases.push_back({"  new, without the HUD", [v] { SetScene(v), UseFastPaths(true), gGame.hudOn = false; },
                     TimedRenderFrame});
    cases.push_back({"  new, the bots behind the eye", [v] { SetScene(v), UseFastPaths(true), gGame.hudOn = true, MoveBotsBehind(); },
                     TimedRenderFrame});
    cases.push_back({"  new, the level alone", [v] { PlaceCamera(v), UseFastPaths(true), gGame.hudOn = true; },
                     LevelOnlyFrame});
    cases.push_back({"  two characters alone", [v] { PlaceCamera(v), UseFastPaths(true), gGame.hudOn = true; },
                     CharactersOnlyFrame});
  }
  // Both bots where the level hides them from the eye, though in the view: the figures
  // should cost nothing.
  BenchView hiddenView;
  Vec3 hiddenAt;
  if (FindViewBehindWalls(&hiddenView, &hiddenAt)) {
    auto place = [hiddenView, hiddenAt] {
      SetScene(hiddenView), UseFastPaths(true), gGame.hudOn = true;
      for (int i = 0; i < BotCount; ++i)
        gGame.bots[i].position = gGame.bots[i].previousPosition = hiddenAt + Vec3(i == 0 ? -20.0f : 20.0f, 0, 0);
    };
    cases.push_back({"behind walls, the bots there", place, TimedRenderFrame});
    cases.push_back({"  the bots behind the eye", [hiddenView] {
                       SetScene(hiddenView), UseFastPaths(true), gGame.hudOn = true, MoveBotsBehind(); }, TimedRenderFrame});
  }
  // For profiling: KORVALIS_BENCH_ONLY keeps the cases whose view or name holds the text.
  if (const char* only = std::getenv("KORVALIS_BENCH_ONLY")) {
    std::vector<Case> kept(cases.begin(), cases.begin() + 4);
    std::string view;
    for (size_t i = 4; i < cases.size(); ++i) {
      if (cases[i].name[0] != ' ') view = cases[i].name;
      if ((view + cases[i].name).find(only) != std::string::npos) kept.push_back(cases[i]);
    }
    cases.swap(kept);
  }
  const char* roundsText = std::getenv("KORVALIS_BENCH_ROUNDS");
  const int rounds = roundsText ? std::max(1, std::atoi(roundsText)) : 40;
  RunInTurn(cases, 3, rounds);
  gGame.hudOn = true;

  std::printf("frame at 1024x768, medians of %d rounds; wall clock, process CPU time of all threads, page faults\n",
              rounds);
  PrintCases(cases, 1);
  PrintLevelFragments(std::vector<BenchView>(std::begin(views), std::end(views)), true);

  // With KORVALIS_BENCH_PICTURES naming a folder, one picture per view to look at.
  if (const char* dir = std::getenv("KORVALIS_BENCH_PICTURES")) {
    for (const BenchView& v : views) {
      SetScene(v), UseFastPaths(true);
      TimedRenderFrame();
      std::vector<unsigned char> rgb(1024 * 768 * 3);
      glPixelStorei(GL_PACK_ALIGNMENT, 1);
      glReadBuffer(GL_FRONT);
      glReadPixels(0, 0, 1024, 768, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
      const std::string path = std::string(dir) + "/" + v.name + ".ppm";
      if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fprintf(f, "P6\n1024 768\n255\n");
        for (int y = 767; y >= 0; --y) std::fwrite(&rgb[static_cast<size_t>(y) * 1024 * 3], 1, 1024 * 3, f);
        std::fclose(f);
      }
    }
  }

  if (std::getenv("KORVALIS_BENCH_OVERDRAW")) {
    std::printf("the level alone, where its fragments go\n");
    for (const BenchView& v : views) {
      PlaceCamera(v);
      ReportOverdraw(v.name);
    }
  }

  GameConfig config;
  ReadConfigFile(ConfigFileName, &config);
  const double readBytes = MedianMs(1, 9, [&config] {
    std::ifstream file(config.levelPath, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (bytes.empty()) std::abort();
  });
  const double load = MedianMs(1, 9, [&config] {
    gGame.level.Destroy();
    if (!gGame.level.LoadBSP(config.levelPath.c_str())) std::abort();
  });
  std::printf("level load (median of 9): %s\n", config.levelPath.c_str());
  std::printf("  read the file's bytes        %8.3f ms\n", readBytes);
  std::printf("  Level::LoadBSP               %8.3f ms  = %.1fx reading\n", load, load / readBytes);

  // The movers level seen from the south-east corner under the roof, every moving part in
  // view, against the same view with the brush models taken out (the cost of drawing them).
  gGame.level.Destroy();
  if (!gGame.level.LoadBSP("maps/movers.bsp")) std::abort();
  SetUpLevelMovers();
  // Of a few views from the hall's corners under the roof, the one with the most movers in it.
  const BenchView corners[] = {{"movers", Vec3(1000, 420, 1000), Vec3(420, 140, 380)},
                               {"movers", Vec3(30, 430, 30), Vec3(900, 60, 800)},
                               {"movers", Vec3(30, 430, 1000), Vec3(1000, 40, 300)},
                               {"movers", Vec3(-400, 900, -400), Vec3(700, 0, 700)}};
  UseFastPaths(true);
  auto showModels = [](bool shown) {
    for (size_t m = 1; m < gGame.level.modelPlacements.size(); ++m) gGame.level.modelPlacements[m].hidden = !shown;
    for (const Trigger& t : gGame.movers.triggers) gGame.level.modelPlacements[t.model].hidden = true;
  };
  showModels(true);
  BenchView moversView = corners[0];
  int inView = -1;
  for (const BenchView& v : corners) {
    PlaceCamera(v);
    glLoadIdentity();
    gGame.camera.Look();
    gGame.frustum.CalculateFrustum();
    int seen = 0;
    for (const Mover& m : gGame.movers.movers) {
      float mins[3], maxs[3];
      gGame.level.PlacedModelBox(m.model, mins, maxs);
      if (gGame.frustum.BoxInFrustum(mins[0], mins[1], mins[2], maxs[0], maxs[1], maxs[2])) ++seen;
    }
    if (seen > inView) inView = seen, moversView = v;
  }
  std::vector<Case> movers;
  movers.push_back({"one full-screen quad", nothing, [texture] { QuadFrame(texture); }});
  movers.push_back({"movers level, every mover", [&] { PlaceCamera(moversView), showModels(true); }, LevelOnlyFrame});
  movers.push_back({"  the same without them", [&] { PlaceCamera(moversView), showModels(false); }, LevelOnlyFrame});
  RunInTurn(movers, 3, rounds);
  std::printf("movers level, the level alone, %d of %zu movers in view from (%.0f %.0f %.0f) (medians of %d rounds)\n",
              inView, gGame.movers.movers.size(), moversView.eye.x, moversView.eye.y, moversView.eye.z, rounds);
  for (const Case& c : movers)
    std::printf("  %-28s %8.3f ms = %5.2fx quad   game thread %6.3f ms\n", c.name.c_str(), c.Wall(),
                c.Wall() / movers[0].Wall(), Median(c.threadMs));
  std::printf("  movers cost                  %+7.1f %% of the frame without them\n",
              100.0 * (movers[1].Wall() / movers[2].Wall() - 1));
  showModels(true);

  // Bigger levels, each in a run of its own: KORVALIS_BENCH_LEVELS=0 leaves them out.
  const char* levelsText = std::getenv("KORVALIS_BENCH_LEVELS");
  if (!levelsText || std::atoi(levelsText) != 0) {
    const int levelRounds = std::max(3, rounds / 2);
    // The movers level first: the arena's folder is mounted on top of the game data after it.
    if (files::Exists("maps/movers.bsp"))
      RunOtherLevel("movers", "maps/movers.bsp", {}, texture, levelRounds);
    else
      std::printf("movers: no maps/movers.bsp in the game data\n");
#ifdef KORVALIS_HAVE_LEVEL_BUILDER
    const std::string arenaFolder = "/tmp/korvalis_bench_arena_" + std::to_string(getpid());
    std::string error;
    if (WriteArenaData(arenaFolder) && files::MountDirectory(arenaFolder, &error)) {
      const Vec3 middle(146, 60, 146);
      RunOtherLevel("arena", "maps/arena.bsp",
                    {{"middle, along a row", middle, Vec3(1000, 60, 146)},
                     {"middle, across", middle, Vec3(-2000, 40, 2500)},
                     {"corner, diagonal", Vec3(-2900, 120, -2900), Vec3(0, 0, 0)},
                     {"high, over the props", Vec3(0, 700, -2800), Vec3(0, 0, 500)}},
                    texture, levelRounds);
    } else {
      std::printf("arena: could not write or mount %s %s\n", arenaFolder.c_str(), error.c_str());
    }
    std::error_code ignored;
    std::filesystem::remove_all(arenaFolder, ignored);
#endif
  }
  platform::Current().DestroyWindow();
  return 0;
}
