// Whole frames of the default game drawn the straightforward way (level faces one by one in
// the leaves' order, the overlay as two whole-screen quads) and the fast way (sorted face
// batches, faces beyond the black fog left out, close faces drawn with texture twins that
// have no mip levels, texels in four bytes, overlay tiles, the depth mask under the overlay) give the same
// pictures, from many places of the level with both bots in front and the weapon, night
// vision, lightmaps, fog, wireframe, additive blending and the overlay switched on the way;
// and the tiles of an overlay picture are found where its filtering can reach.
#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/game.h"
#include "bots/bot.h"
#include "bots/waypoint_data.h"
#include "core/game_state.h"
#include "render/hud_tiles.h"
#include "render/texture.h"
#include "support/fake_platform.h"
#include "support/gl_context.h"

namespace {

namespace fs = std::filesystem;

// Procedure lookup is the real one, so the level can be drawn with two texture units.
class GLFakePlatform : public FakePlatform {
 public:
  void* GetProcAddress(const char* name) override { return SDL_GL_GetProcAddress(name); }
};

struct Step {
  Vec3 eye, target;
  int key;  // pressed before the frame; 0 for none
};

// Every waypoint looking along each of its links, with keys pressed on the way.
std::vector<Step> Steps() {
  std::vector<Step> steps;
  for (int k = 0; k < BuiltInLinkCount; ++k)
    for (int dir = 0; dir < 2; ++dir) {
      const float* a = BuiltInWaypoints[BuiltInLinks[k][dir]];
      const float* b = BuiltInWaypoints[BuiltInLinks[k][1 - dir]];
      if (a[0] == b[0] && a[2] == b[2]) continue;
      steps.push_back({Vec3(a[0], a[1] + 20, a[2]), Vec3(b[0], a[1] + 10, b[2]), 0});
    }
  const struct {
    size_t at;
    int key;
  } keys[] = {
      {8, platform::Key2},     {16, platform::KeyN},  {22, platform::KeyN},  {26, platform::Key1},
      {30, platform::KeyF6},   {34, platform::KeyF6}, {38, platform::KeyF},  {42, platform::KeyF},
      {44, platform::KeyN},    {48, platform::KeyN},  {50, platform::KeyReturn}, {52, platform::KeyReturn},
      {54, platform::KeyF3},   {56, platform::KeyF3}, {58, platform::KeyAdd}, {60, platform::KeyF2},
      {62, platform::KeyF2},
  };
  for (const auto& k : keys)
    if (k.at < steps.size()) steps[k.at].key = k.key;
  return steps;
}

// Starts the default game afresh and draws one frame per step; returns the RGB pictures.
std::vector<std::vector<uint8_t>> DrawSteps(const GLTestContext& gl, GLFakePlatform& fake, bool fast,
                                            const std::vector<Step>& steps, int* foggedFaces, int* magnifiedFaces) {
  int& fogged = *foggedFaces;
  int& magnified = *magnifiedFaces;
  fogged = magnified = 0;
  ResetGameStateKeepingGL();
  fake.now = 1000;
  fake.messages.clear();
  gFourByteTexels = fast;
  if (!InitializeGame()) return {};
  gGame.level.batchedDrawing = fast;
  gGame.level.skipFoggedFaces = fast;
  gGame.level.magnifiedTwins = fast;
  gGame.hudTiles.enabled = fast;
  gGame.collisionOn = false;  // the camera stays where each step puts it
  std::vector<std::vector<uint8_t>> pictures;
  for (const Step& s : steps) {
    if (s.key != 0) {
      platform::Event e;
      e.type = platform::Event::KeyDown;
      e.key = s.key;
      HandleEvent(e);
    }
    gGame.camera.position = s.eye;
    gGame.camera.view = s.target;
    gGame.camera.up = Vec3(0, 1, 0);
    gGame.camera.moveStartPosition = s.eye;
    gGame.camera.moveStartView = s.target;
    // Both bots in front, facing the camera (their own moves start from there).
    const Vec3 ahead = NormalizeOrZero(Vec3(s.target.x - s.eye.x, 0, s.target.z - s.eye.z));
    for (int i = 0; i < BotCount; ++i) {
      Bot& bot = gGame.bots[i];
      bot.position = s.eye + ahead * (i == 0 ? 150.0f : 240.0f) + Vec3(-ahead.z, 0, ahead.x) * (i == 0 ? 50.0f : -10.0f);
      bot.previousPosition = bot.position;
      bot.heading = HeadingFromDirection(-ahead.x, -ahead.z);
    }
    fake.now += 12;  // a tick every frame
    RenderFrame();
    fogged += gGame.level.facesFoggedLastFrame;
    magnified += gGame.level.facesMagnifiedLastFrame;
    std::vector<uint8_t> rgba = gl.ReadPixels();
    std::vector<uint8_t> rgb(rgba.size() / 4 * 3);
    for (size_t i = 0, j = 0; i < rgba.size(); i += 4, j += 3) std::copy(&rgba[i], &rgba[i] + 3, &rgb[j]);
    pictures.push_back(std::move(rgb));
  }
  gGame.level.Destroy();
  return pictures;
}

}  // namespace

TEST(FramePictures, FastPathsDrawTheSamePictures) {
  GLTestContext gl(1024, 768);
  REQUIRE_GL(gl);
  GLFakePlatform fake;
  const fs::path game(KORVALIS_GAME_DIR);
  if (!fs::exists(game / "Config.ini")) GTEST_SKIP() << "no generated game data in " << game;
  const fs::path saved = fs::current_path();
  fs::current_path(game);

  const std::vector<Step> steps = Steps();
  ASSERT_GE(steps.size(), 50u);
  int fogged = 0, magnified = 0;
  const std::vector<std::vector<uint8_t>> before = DrawSteps(gl, fake, false, steps, &fogged, &magnified);
  EXPECT_EQ(fogged + magnified, 0);
  for (const std::string& m : fake.messages) ADD_FAILURE() << m;
  const std::vector<std::vector<uint8_t>> after = DrawSteps(gl, fake, true, steps, &fogged, &magnified);
  EXPECT_GT(fogged, 0);  // the views reach past the fog
  EXPECT_GT(magnified, 0);
  std::printf("faces left in the fog %d, drawn with texture twins %d\n", fogged, magnified);
  fs::current_path(saved);
  ASSERT_EQ(before.size(), steps.size());
  ASSERT_EQ(after.size(), steps.size());

  // Every channel within 1. (Faces meeting at a vertex put into one's edge for the other's
  // corner are drawn from fans that keep every edge piece, so no pixel of such a seam is
  // drawn by both: were it, the drawing order would pick its colour.)
  int identical = 0;
  for (size_t v = 0; v < steps.size(); ++v) {
    int largest = 0;
    long differing = 0;
    for (size_t i = 0; i < before[v].size(); ++i) {
      const int d = std::abs(before[v][i] - after[v][i]);
      largest = std::max(largest, d);
      if (d != 0) ++differing;
    }
    if (differing == 0) ++identical;
    EXPECT_LE(largest, 1) << "view " << v << " from (" << steps[v].eye.x << ", " << steps[v].eye.y << ", "
                          << steps[v].eye.z << "): " << differing << " channel values differ";
  }
  std::printf("%d of %zu pictures identical\n", identical, steps.size());
}

// A white picture with one black block: tiles are white or black only where every texel
// bilinear filtering can reach is, the picture's bottom row is the screen's last, and the
// texture wraps at its edges.
TEST(HudTilesTest, ClassifiesByTheFilterFootprint) {
  const int w = 1024, h = 768;
  auto picture = [&](int x0, int y0, int x1, int y1) {  // black [x0, x1) x [y0, y1), rows bottom first
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3, 255);
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) std::fill_n(&rgb[(static_cast<size_t>(y) * w + x) * 3], 3, 0);
    return rgb;
  };
  auto at = [](const std::vector<HudTile>& t, int column, int row) { return t[row * HudTileColumns + column]; };

  // Black over texels 128..255 of rows 32..127 from the bottom: screen tiles 8..15 of rows
  // 39..46 (the screen counts rows from the top), fully black only away from the edges.
  static_assert(HudTileSize == 16, "the places below are 16-pixel tiles");
  std::vector<HudTile> t = ClassifyHudTiles(picture(128, 32, 256, 128).data(), w, h);
  EXPECT_EQ(at(t, 9, 42), HudTile::Black);
  EXPECT_EQ(at(t, 14, 41), HudTile::Black);
  EXPECT_EQ(at(t, 9, 44), HudTile::Black);
  EXPECT_EQ(at(t, 8, 42), HudTile::Mixed);  // its left edge samples white texel 127
  EXPECT_EQ(at(t, 7, 42), HudTile::Mixed);  // its right edge reaches texel 128
  EXPECT_EQ(at(t, 6, 42), HudTile::White);
  EXPECT_EQ(at(t, 15, 42), HudTile::Mixed);
  EXPECT_EQ(at(t, 9, 40), HudTile::Mixed);
  EXPECT_EQ(at(t, 9, 39), HudTile::Mixed);
  EXPECT_EQ(at(t, 9, 38), HudTile::White);
  EXPECT_EQ(at(t, 9, 45), HudTile::Mixed);
  EXPECT_EQ(at(t, 9, 46), HudTile::Mixed);
  EXPECT_EQ(at(t, 9, 47), HudTile::White);
  EXPECT_EQ(at(t, 9, 0), HudTile::White);
  // A black first column reaches the last screen column through the wrap.
  t = ClassifyHudTiles(picture(0, 0, 1, h).data(), w, h);
  EXPECT_EQ(at(t, 0, 10), HudTile::Mixed);
  EXPECT_EQ(at(t, HudTileColumns - 1, 10), HudTile::Mixed);
  EXPECT_EQ(at(t, HudTileColumns / 2, 10), HudTile::White);
  // A stretched picture (half the size) keeps the same screen places.
  std::vector<uint8_t> half(static_cast<size_t>(w / 2) * (h / 2) * 3, 0);
  t = ClassifyHudTiles(half.data(), w / 2, h / 2);
  EXPECT_TRUE(std::all_of(t.begin(), t.end(), [](HudTile k) { return k == HudTile::Black; }));
  // Nothing to read: every tile must be drawn.
  t = ClassifyHudTiles(nullptr, 0, 0);
  EXPECT_TRUE(std::all_of(t.begin(), t.end(), [](HudTile k) { return k == HudTile::Mixed; }));
}
