// The bots and their graph drawn on the default level (offscreen): the waypoint graph with
// its pyramids and white links, and a bot seen from the player's eye standing on the floor.
// With KORVALIS_SHOTS_DIR set the pictures are also written there as PNG.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "bots/bot.h"
#include "bots/waypoint_data.h"
#include "bots/waypoints.h"
#include "combat/billboard.h"
#include "combat/shots.h"
#include "core/game_state.h"
#include "core/particles.h"
#include "level/light_grid.h"
#include "support/default_level.h"

namespace {

constexpr int Width = 1024;
constexpr int Height = 768;

// Counts pixels by colour class.
struct Census {
  int red = 0, white = 0, cyanOrMagenta = 0;
};
Census Count(const std::vector<uint8_t>& rgba) {
  Census c;
  for (size_t k = 0; k < rgba.size(); k += 4) {
    const int r = rgba[k], g = rgba[k + 1], b = rgba[k + 2];
    if (r > 200 && g < 60 && b < 60) ++c.red;
    if (r == 255 && g == 255 && b == 255) ++c.white;
    if ((r < 60 && g > 150 && b > 150) || (r > 150 && g < 60 && b > 150)) ++c.cyanOrMagenta;
  }
  return c;
}

class BotPictures : public DefaultLevelTest {
 protected:
  BotPictures() : DefaultLevelTest(Width, Height) {}
  void SetUp() override {
    DefaultLevelTest::SetUp();
    if (!gl_->ok() || HasFatalFailure()) return;
    LoadBuiltInWaypoints();
  }
  // The frame's order: view, graph, characters, level.
  std::vector<uint8_t> Draw(Vec3 eye, Vec3 target, bool graph, bool bots) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gGame.camera.PositionCamera(eye.x, eye.y, eye.z, target.x, target.y, target.z, 0, 1, 0);
    gGame.camera.Look();
    if (graph) DrawWaypointGraph();
    if (bots) {
      glColor4f(1, 1, 1, 1);
      DrawBots();
    }
    glColor4f(1, 1, 1, 1);
    gGame.frustum.CalculateFrustum();
    gGame.level.RenderLevel(eye);
    glDisable(GL_CULL_FACE);
    return gl_->ReadPixels();
  }
};

}  // namespace

TEST_F(BotPictures, WaypointGraphShowsPyramidsAndWhiteLinks) {
  REQUIRE_GL(*gl_);
  ASSERT_TRUE(loaded_);
  glDisable(GL_FOG);
  // Over the great hall from its north end, looking south along the links 15 .. 20.
  const Vec3 eye(1500, 640, -900), target(1620, 480, -1700);
  const Census without = Count(Draw(eye, target, false, false));
  const std::vector<uint8_t> picture = Draw(eye, target, true, false);
  const Census with = Count(picture);
  EXPECT_GT(with.red, without.red + 50);                      // the pyramids' red tips
  EXPECT_GT(with.cyanOrMagenta, without.cyanOrMagenta + 200);  // their base corners
  EXPECT_GT(with.white, without.white + 300);                  // the links
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));                     // switched back on
  SaveShot(picture, Width, Height, "bots-waypoint-graph");
}

namespace {

// Where a world point shows in the window under the current matrices (rows from the bottom).
struct WindowPoint {
  double x, y, z;
};
WindowPoint ToWindow(Vec3 p) {
  GLdouble model[16], projection[16];
  GLint viewport[4];
  glGetDoublev(GL_MODELVIEW_MATRIX, model);
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  glGetIntegerv(GL_VIEWPORT, viewport);
  WindowPoint w;
  gluProject(p.x, p.y, p.z, model, projection, viewport, &w.x, &w.y, &w.z);
  return w;
}
Vec3 Screen(Vec3 p) {
  const WindowPoint w = ToWindow(p);
  return Vec3(static_cast<float>(w.x), static_cast<float>(w.y), static_cast<float>(w.z));
}

// The lowest and highest rows where two pictures differ inside the column band [x0, x1]; -1 if none.
void DifferingRows(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int x0, int x1, int* low, int* high) {
  *low = *high = -1;
  for (int y = 0; y < Height; ++y)
    for (int x = std::max(0, x0); x <= std::min(Width - 1, x1); ++x) {
      const size_t k = (static_cast<size_t>(y) * Width + x) * 4;
      if (a[k] == b[k] && a[k + 1] == b[k + 1] && a[k + 2] == b[k + 2]) continue;
      if (*low < 0) *low = y;
      *high = y;
    }
}

// Bot `index`'s figure as `folder`'s character, with the game's weapon when `armed`, its
// torso playing `torso` and its legs idle; false when the character does not load.
bool LoadFigure(int index, const char* folder, bool armed, const char* torso) {
  CharacterModel& model = gGame.characters[index];
  if (!model.LoadCharacter(folder, folder)) return false;
  if (armed && !model.LoadCharacterWeapon("weapons", "grenadel")) return false;
  model.SetTorsoAnimation(torso);
  model.SetLegsAnimation("LEGS_IDLE");
  return true;
}

}  // namespace

TEST_F(BotPictures, BotsSeenFromThePlayerStandOnTheFloor) {
  REQUIRE_GL(*gl_);
  ASSERT_TRUE(loaded_);
  const struct {
    int index;
    const char* folder;
  } characters[] = {{0, "fidget"}, {1, "jack"}};
  for (const auto& c : characters) ASSERT_TRUE(LoadFigure(c.index, c.folder, true, "TORSO_STAND")) << c.folder;
  glDisable(GL_FOG);
  // Bot 0 on the landing at waypoint 14, its soles on the floor; bot 1 at waypoint 18,
  // where the links cross at other heights and the bot glides 42 units above the ramp: its
  // character is drawn on the ramp all the same. The player's eye is 50 above the floor.
  InitBot(0);
  InitBot(1);
  const int at[2] = {14, 18};
  const Vec3 eye(1530, 475.4f, -1230), target(1630, 480, -1600);
  for (int i = 0; i < 2; ++i) {
    Bot& bot = gGame.bots[i];
    bot.position = WaypointPosition(at[i]);
    const Vec3 toPlayer = eye - bot.position;
    bot.heading = HeadingFromDirection(toPlayer.x, toPlayer.z);  // turned toward the player
  }
  const std::vector<uint8_t> empty = Draw(eye, target, false, false);
  const std::vector<uint8_t> picture = Draw(eye, target, false, true);
  SaveShot(picture, Width, Height, "bots-in-the-great-hall");

  for (int i = 0; i < 2; ++i) {
    const Vec3 p = gGame.bots[i].position;
    const TraceResult down = gGame.level.Trace(p, Vec3(p.x, p.y - 200, p.z), Vec3());
    ASSERT_LT(down.fraction, 1.0f);
    const double floorRow = ToWindow(down.end).y;
    const double rowsPerUnit = ToWindow(down.end + Vec3(0, 1, 0)).y - floorRow;
    // Columns around the bot's own place on the screen.
    const double sx = ToWindow(p).x;
    const int halfWidth = static_cast<int>(30 * rowsPerUnit);
    int feet, top;
    DifferingRows(empty, picture, static_cast<int>(sx) - halfWidth, static_cast<int>(sx) + halfWidth, &feet, &top);
    ASSERT_GE(feet, 0) << "bot " << i << " not drawn";
    const double gapUnits = (feet - floorRow) / rowsPerUnit;
    std::printf("bot %d: soles %.1f units from the floor (raw gap %.1f)\n", i, gapUnits,
                p.y - BotFeetBelowCentre - down.end.y);
    EXPECT_LT(std::fabs(gapUnits), 8.0) << "bot " << i;
  }
}

TEST_F(BotPictures, GrenadesLeaveTheDrawnMuzzleAndShotsTestTheDrawnFigure) {
  if (!gl_->ok()) GTEST_SKIP() << "no offscreen OpenGL context available";
  ASSERT_TRUE(loaded_);
  const char* folders[2] = {"fidget", "jack"};
  for (int i = 0; i < 2; ++i) ASSERT_TRUE(LoadFigure(i, folders[i], true, "TORSO_ATTACK")) << folders[i];
  glDisable(GL_FOG);
  InitBot(0);
  InitBot(1);
  // Each bot in turn on the landing at waypoint 14, seen from its left side, facing -z.
  for (int i = 0; i < 2; ++i) {
    Bot& bot = gGame.bots[i];
    bot.position = WaypointPosition(14);
    bot.heading = HeadingFromDirection(0, -1);
    bot.facing = FacingFromHeading(bot.heading, 0);
    gGame.bots[1 - i].position = Vec3(0, -10000, 0);  // out of the picture
    const Vec3 eye = bot.position + Vec3(-160, 0, 0), target = bot.position;
    const std::vector<uint8_t> empty = Draw(eye, target, false, false);
    const std::vector<uint8_t> picture = Draw(eye, target, false, true);
    const Vec3 muzzle = BotMuzzle(i);
    // In front of the bot, and drawn: the weapon's pixels reach the muzzle's place.
    EXPECT_GT(Dot(muzzle - bot.position, bot.facing), 10.0f) << i;
    const Vec3 m = Screen(muzzle);
    int low, high;
    DifferingRows(empty, picture, static_cast<int>(m.x) - 3, static_cast<int>(m.x) + 3, &low, &high);
    bool near = false;
    for (int y = static_cast<int>(m.y) - 3; y <= static_cast<int>(m.y) + 3; ++y) near |= y >= low && y <= high;
    EXPECT_TRUE(near) << "bot " << i << ": nothing drawn at the muzzle (" << m.x << ", " << m.y << ")";
    // The hit box spans the figure's rows, soles to the top of its head.
    Vec3 mins, maxs;
    BotHitBox(i, &mins, &maxs);
    const Vec3 centre = Screen(bot.position);
    const float unit = Screen(bot.position + Vec3(0, 1, 0)).y - centre.y;
    DifferingRows(empty, picture, static_cast<int>(centre.x) - 60, static_cast<int>(centre.x) + 60, &low, &high);
    ASSERT_GE(low, 0) << "bot " << i << " not drawn";
    std::printf("bot %d: figure rows %d..%d, hit box %.1f..%.1f; muzzle %.1f ahead, %.1f above the centre\n", i,
                low, high, Screen(mins).y, Screen(Vec3(mins.x, maxs.y, mins.z)).y,
                Dot(muzzle - bot.position, bot.facing), muzzle.y - bot.position.y);
    EXPECT_NEAR((low - centre.y) / unit, mins.y - bot.position.y, 4.0f) << i;
    EXPECT_NEAR((high - centre.y) / unit, maxs.y - bot.position.y, 4.0f) << i;
  }
}

namespace {

// Bot 0 as `folder`'s character on the landing at waypoint 14, facing -z, the other bots
// out of the picture, the fog off; with the game's weapon when `armed`. False when the
// character does not load.
bool PlaceFigure(const char* folder = "fidget", bool armed = false) {
  if (!LoadFigure(0, folder, armed, "TORSO_STAND")) return false;
  glDisable(GL_FOG);
  InitBot(0);
  Bot& bot = gGame.bots[0];
  bot.position = WaypointPosition(14);
  bot.heading = HeadingFromDirection(0, -1);
  for (int i = 1; i < BotCount; ++i) gGame.bots[i].position = Vec3(0, -10000, 0);
  return true;
}

}  // namespace

// A figure standing in a dark cell of the level's light grid is drawn darker than in a bright
// one, every part of it alike: each pixel of both characters, weapon in hand, is the bright
// cell's pixel times the dark cell's light (the default level has no grid: one cell over the
// whole level is set here). The clips stand still, so both pictures show the same pose.
TEST_F(BotPictures, FiguresAreLitByTheLightGridAroundThem) {
  REQUIRE_GL(*gl_);
  ASSERT_TRUE(loaded_);
  const BspLightGridCell cells[2] = {{{8, 8, 8}, {4, 4, 4}, {0, 0}}, {{110, 110, 110}, {40, 40, 40}, {0, 0}}};
  const float darkLight = (8 + 0.5f * 4) * LightGridScale;  // the bright cell's light is 1 (clamped)
  for (const char* folder : {"fidget", "jack"}) {
    SCOPED_TRACE(folder);
    ASSERT_TRUE(PlaceFigure(folder, true));
    const Bot& bot = gGame.bots[0];
    const Vec3 eye = bot.position + Vec3(-160, 0, 0), target = bot.position;
    const std::vector<uint8_t> empty = Draw(eye, target, false, false);
    CharacterModel& model = gGame.characters[0];
    for (Md3Model* part : {&model.lower, &model.upper, &model.head, &model.weapon}) part->lastFrameTime = UINT32_MAX;
    std::vector<uint8_t> pictures[2];
    for (int k = 0; k < 2; ++k) {
      LightGrid grid;
      grid.origin[0] = bot.position.x, grid.origin[1] = -bot.position.z, grid.origin[2] = bot.position.y;
      grid.counts[0] = grid.counts[1] = grid.counts[2] = 1;
      grid.cells = {cells[k]};
      gGame.level.lightGrid = grid;
      pictures[k] = Draw(eye, target, false, true);
    }
    gGame.level.lightGrid = LightGrid();
    // The figure's pixels: where the bright picture differs from the empty one.
    int figure = 0, off = 0;
    long brightness[2] = {0, 0};
    for (size_t p = 0; p < empty.size(); p += 4) {
      if (empty[p] == pictures[1][p] && empty[p + 1] == pictures[1][p + 1] && empty[p + 2] == pictures[1][p + 2]) continue;
      ++figure;
      for (int c = 0; c < 3; ++c) {
        for (int k = 0; k < 2; ++k) brightness[k] += pictures[k][p + c];
        const float want = pictures[1][p + c] * darkLight;
        if (std::fabs(pictures[0][p + c] - want) > 2.5f && off++ < 5)
          ADD_FAILURE() << "pixel " << (p / 4) % Width << ", " << (p / 4) / Width << " channel " << c << ": "
                        << int(pictures[0][p + c]) << " in the dark cell, " << int(pictures[1][p + c]) << " in the bright one";
      }
    }
    SaveShot(pictures[0], Width, Height, std::string("bots-lit-dark-") + folder);
    SaveShot(pictures[1], Width, Height, std::string("bots-lit-bright-") + folder);
    ASSERT_GT(figure, 500) << "the figure is not drawn";
    std::printf("%s: figure of %d pixels, dark cell %.1f, bright cell %.1f per pixel; %d pixels off\n", folder, figure,
                brightness[0] / 3.0 / figure, brightness[1] / 3.0 / figure, off);
    EXPECT_EQ(off, 0);
  }
}

// A bot and a shot inside a fog volume (a box of fog around them, half hiding what lies at
// their depth in it: 60 units of fog of a 120-unit hiding distance) are drawn half in the
// fog's colour: the figure's pixels halfway to it, the shot's glow at half its strength.
TEST_F(BotPictures, FiguresAndShotsInAFogVolumeFade) {
  REQUIRE_GL(*gl_);
  ASSERT_TRUE(loaded_);
  ASSERT_TRUE(PlaceFigure());
  const Bot& bot = gGame.bots[0];
  const Vec3 eye = bot.position + Vec3(-160, 0, 0), target = bot.position;
  const float fogColour[3] = {1, 0, 1};
  // A box of fog 60 units each way around the bot (planes facing out, y up).
  Level& level = gGame.level;
  const size_t planes = level.planes.size(), sides = level.brushSides.size(), brushes = level.brushes.size();
  const float p[3] = {bot.position.x, bot.position.y, bot.position.z};
  for (int a = 0; a < 3; ++a)
    for (float sign : {1.0f, -1.0f}) {
      BspPlane plane = {{0, 0, 0}, 0};
      plane.normal[a] = sign;
      plane.distance = sign * p[a] + 60;
      level.brushSides.push_back({static_cast<int32_t>(level.planes.size()), 0});
      level.planes.push_back(plane);
    }
  level.brushes.push_back({static_cast<int32_t>(sides), 6, 0});
  FogVolume fog;
  fog.brush = static_cast<int32_t>(brushes);
  std::copy(fogColour, fogColour + 3, fog.colour);
  // What is drawn: the level with or without the figure, or on black a shot's glow or the
  // trail particles a rifle and a launcher leave (alpha-blended pictures).
  enum What { LevelOnly, Figure, ShotGlow, Trails };
  auto frame = [&](bool fogged, What what) {
    fog.distance = 120;
    if (fogged) level.fogs = {fog};
    gGame.shots[0] = Shot();
    gGame.shots[0].active = what == ShotGlow;
    gGame.shots[0].position = bot.position;
    gGame.shots[0].weapon = WeaponRifle;
    const float glow[4] = {255, 160, 60, 255};
    std::copy(glow, glow + 4, gGame.shots[0].colour);
    std::vector<uint8_t> picture;
    if (what == ShotGlow || what == Trails) {
      glClearColor(0, 0, 0, 1);
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
      glLoadIdentity();
      gGame.camera.PositionCamera(eye.x, eye.y, eye.z, target.x, target.y, target.z, 0, 1, 0);
      gGame.camera.Look();
      if (what == ShotGlow) {
        DrawShots();
      } else {
        ParticleSystem trails;
        for (int kind : {RifleTrailKind, GrenadeTrailKind}) {
          Particle p;
          p.position = p.previousPosition = bot.position + Vec3(0, kind == RifleTrailKind ? 8.0f : -8.0f, 0);
          p.red = 180, p.green = 180, p.blue = 235, p.alpha = 1;
          p.kind = kind;
          p.life = 100;
          p.size = 6;
          trails.AddParticle(p);
        }
        glDisable(GL_TEXTURE_2D);
        trails.DrawParticles();
        glEnable(GL_TEXTURE_2D);
      }
      picture = gl_->ReadPixels();
    } else {
      picture = Draw(eye, target, false, what == Figure);
    }
    level.fogs.clear();
    gGame.shots[0].active = false;
    return picture;
  };
  const std::vector<uint8_t> empty = frame(false, LevelOnly), clear = frame(false, Figure);
  const std::vector<uint8_t> fogged = frame(true, Figure);
  const std::vector<uint8_t> shot = frame(false, ShotGlow), shotFogged = frame(true, ShotGlow);
  const std::vector<uint8_t> trails = frame(false, Trails), trailsFogged = frame(true, Trails);
  level.planes.resize(planes);
  level.brushSides.resize(sides);
  level.brushes.resize(brushes);
  SaveShot(fogged, Width, Height, "bots-in-a-fog-volume");
  // The figure's pixels (where it differs from the empty picture): halfway to the fog's colour.
  double got[3] = {0, 0, 0}, want[3] = {0, 0, 0};
  int figure = 0;
  for (size_t k = 0; k < empty.size(); k += 4) {
    if (empty[k] == clear[k] && empty[k + 1] == clear[k + 1] && empty[k + 2] == clear[k + 2]) continue;
    ++figure;
    for (int c = 0; c < 3; ++c) {
      got[c] += fogged[k + c];
      want[c] += 0.5 * clear[k + c] + 0.5 * 255 * fogColour[c];
    }
  }
  ASSERT_GT(figure, 500) << "the figure is not drawn";
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(got[c] / figure, want[c] / figure, 6) << "channel " << c;
  // The shot's glow, without and with the fog.
  double glow[2] = {0, 0};
  for (size_t k = 0; k < shot.size(); k += 4)
    for (int c = 0; c < 3; ++c) glow[0] += shot[k + c], glow[1] += shotFogged[k + c];
  ASSERT_GT(glow[0], 1000) << "the shot is not drawn";
  EXPECT_NEAR(glow[1] / glow[0], 0.5, 0.08);
  // The trails fade alike: the light they add, halved.
  double light[2] = {0, 0};
  for (size_t k = 0; k < trails.size(); k += 4)
    for (int c = 0; c < 3; ++c) light[0] += trails[k + c], light[1] += trailsFogged[k + c];
  ASSERT_GT(light[0], 1000) << "the trails are not drawn";
  EXPECT_NEAR(light[1] / light[0], 0.5, 0.08);
}

// A bot where the eye's cluster sees nothing (behind walls, yet in the view) sends no
// triangles and the picture is the level's alone; seen from its own waypoint it is drawn.
TEST_F(BotPictures, ABotTheLevelHidesSendsNoTriangles) {
  REQUIRE_GL(*gl_);
  ASSERT_TRUE(loaded_);
  ASSERT_TRUE(LoadFigure(0, "fidget", true, "TORSO_STAND"));
  InitBot(0);
  InitBot(1);
  gGame.bots[1].position = Vec3(0, -10000, 0);  // out of the picture
  const float reach = gGame.characters[0].Reach() * 1.5f + 20;
  auto hidden = [reach](Vec3 eye, Vec3 at) {
    const float mins[3] = {at.x - reach, at.y - reach, at.z - reach}, maxs[3] = {at.x + reach, at.y + reach, at.z + reach};
    return !gGame.level.BoxSeenFrom(eye, mins, maxs);
  };
  int pairs = 0;
  GLuint query = 0;
  glGenQueries(1, &query);
  for (int a = 0; a < BuiltInWaypointCount && pairs < 3; ++a)
    for (int b = 0; b < BuiltInWaypointCount && pairs < 3; ++b) {
      const Vec3 eye = WaypointPosition(a) + Vec3(0, 20, 0), at = WaypointPosition(b);
      if (!hidden(eye, at)) continue;
      ++pairs;
      gGame.bots[0].position = at;
      for (const bool own : {true, false}) {
        const Vec3 from = own ? eye : at + Vec3(150, 20, 0);
        const std::vector<uint8_t> empty = Draw(from, at, false, false);
        glBeginQuery(GL_PRIMITIVES_GENERATED, query);
        const std::vector<uint8_t> picture = Draw(from, at, false, true);
        glEndQuery(GL_PRIMITIVES_GENERATED);
        GLuint primitives = 0;
        glGetQueryObjectuiv(query, GL_QUERY_RESULT, &primitives);
        const GLuint levelAlone = [&] {
          glBeginQuery(GL_PRIMITIVES_GENERATED, query);
          Draw(from, at, false, false);
          glEndQuery(GL_PRIMITIVES_GENERATED);
          GLuint n = 0;
          glGetQueryObjectuiv(query, GL_QUERY_RESULT, &n);
          return n;
        }();
        if (own) {
          EXPECT_EQ(primitives, levelAlone) << a << " -> " << b;
          EXPECT_TRUE(picture == empty) << a << " -> " << b;
        } else if (!hidden(from, at)) {
          EXPECT_GT(primitives, levelAlone + 100) << "beside " << b;
        }
      }
    }
  EXPECT_GT(pairs, 0);
  glDeleteQueries(1, &query);
}
