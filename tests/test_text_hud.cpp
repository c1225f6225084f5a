// Text placement and the bitmap font, and the weapon / night-vision overlay, drawn on an
// offscreen context and read back; the overlay drawn by tiles (one pass where a grey mask
// joins its colour layer) against two whole-screen quads.
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "core/game_state.h"
#include "render/hud_tiles.h"
#include "render/text.h"
#include "render/texture.h"
#include "support/gl_context.h"

namespace {

struct Box {
  int minX = 1 << 30, minY = 1 << 30, maxX = -1, maxY = -1;
  int count = 0;
};

// The extent of the pixels that are not black (rows counted from the bottom).
Box LitPixels(const GLTestContext& ctx) {
  std::vector<uint8_t> pixels = ctx.ReadPixels();
  Box box;
  for (int y = 0; y < ctx.height(); ++y)
    for (int x = 0; x < ctx.width(); ++x) {
      const uint8_t* p = &pixels[(static_cast<size_t>(y) * ctx.width() + x) * 4];
      if (p[0] | p[1] | p[2]) {
        box.minX = std::min(box.minX, x);
        box.maxX = std::max(box.maxX, x);
        box.minY = std::min(box.minY, y);
        box.maxY = std::max(box.maxY, y);
        ++box.count;
      }
    }
  return box;
}

std::array<int, 3> PixelAt(const GLTestContext& ctx, int x, int y) {
  uint8_t p[4];
  glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
  (void)ctx;
  return {p[0], p[1], p[2]};
}

// The frame's projection (near plane 10, far 4000) and an identity model-view.
void FrameProjection() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45, 1024.0 / 768.0, 10, 4000);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

// Both matrices, to see that drawing left them as they were.
std::array<float, 32> Matrices() {
  std::array<float, 32> m;
  glGetFloatv(GL_PROJECTION_MATRIX, m.data());
  glGetFloatv(GL_MODELVIEW_MATRIX, m.data() + 16);
  return m;
}

class TextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ctx.ok()) return;
    ResetGameStateKeepingGL();
    gGame.fontListBase = CreateBitmapFont("Arial", 25);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1, 1, 1);
  }
  GLTestContext ctx;
};

TEST_F(TextTest, OriginLandsOnTheWindowPixelAndStateIsKept) {
  REQUIRE_GL(ctx);
  ASSERT_NE(gGame.fontListBase, 0u);
  FrameProjection();
  glTranslatef(1, 2, 3);
  const std::array<float, 32> before = Matrices();

  PositionText(5, 0);
  float raster[4];
  glGetFloatv(GL_CURRENT_RASTER_POSITION, raster);
  EXPECT_FLOAT_EQ(raster[0], 4.0f);
  EXPECT_FLOAT_EQ(raster[1], 742.0f);

  // "H" sits on the baseline and starts just right of the origin.
  PrintText(5, 0, "%s", "H");
  Box box = LitPixels(ctx);
  ASSERT_GT(box.count, 0);
  EXPECT_EQ(box.minY, 742);
  EXPECT_GE(box.minX, 4);
  EXPECT_LE(box.minX, 8);
  EXPECT_GE(box.maxY - box.minY + 1, 15);  // a cap height that fits a 25-pixel cell
  EXPECT_LE(box.maxY - box.minY + 1, 22);

  EXPECT_EQ(Matrices(), before);
  GLint viewport[4], mode = 0;
  glGetIntegerv(GL_VIEWPORT, viewport);
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(viewport[2], 1024);
  EXPECT_EQ(viewport[3], 768);
  EXPECT_EQ(mode, GL_MODELVIEW);
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));  // PrintText turns texturing back on
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  // Building the font leaves the unpack state the later texture uploads rely on.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glDeleteLists(gGame.fontListBase, 256);
  gGame.fontListBase = CreateBitmapFont("Arial", 25);
  GLint alignment = 0, rowLength = -1;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  glGetIntegerv(GL_UNPACK_ROW_LENGTH, &rowLength);
  EXPECT_EQ(alignment, 1);
  EXPECT_EQ(rowLength, 0);

  // The FPS line of a frame: the same origin, digits drawn.
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_TEXTURE_2D);
  PrintText(5, 0, "%d FPS", 60);
  Box fps = LitPixels(ctx);
  EXPECT_GT(fps.maxX - fps.minX, 40);
  EXPECT_GE(fps.minX, 4);
}

TEST_F(TextTest, TextStaysInFrontOfAWallDrawnAfterIt) {
  REQUIRE_GL(ctx);
  // A wall 12 units in front of the eye (as when the player stands against it) is drawn
  // after the text, as the level is.
  FrameProjection();
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  glColor3f(1, 1, 1);
  PrintText(5, 0, "%s", "HHHH");
  const Box text = LitPixels(ctx);
  ASSERT_GT(text.count, 0);
  EXPECT_EQ(text.minY, 742);  // same place on screen as before

  glDisable(GL_TEXTURE_2D);
  glColor3f(0, 0, 1);
  glBegin(GL_QUADS);
  glVertex3f(-100, -100, -12);
  glVertex3f(100, -100, -12);
  glVertex3f(100, 100, -12);
  glVertex3f(-100, 100, -12);
  glEnd();

  // Every text pixel is still white; the wall shows everywhere else.
  std::vector<uint8_t> pixels = ctx.ReadPixels();
  int white = 0, blue = 0;
  for (int y = text.minY; y <= text.maxY; ++y)
    for (int x = text.minX; x <= text.maxX; ++x) {
      const uint8_t* p = &pixels[(static_cast<size_t>(y) * ctx.width() + x) * 4];
      if (p[0] == 255 && p[1] == 255 && p[2] == 255) ++white;
      if (p[0] == 0 && p[1] == 0 && p[2] == 255) ++blue;
    }
  EXPECT_EQ(white, text.count);
  EXPECT_GT(blue, 0);
  EXPECT_EQ(PixelAt(ctx, 512, 384), (std::array<int, 3>{0, 0, 255}));
  glDisable(GL_DEPTH_TEST);
}

TEST_F(TextTest, CharacterCodesThatDrawNothingAndLongTextIsCut) {
  REQUIRE_GL(ctx);
  glDisable(GL_TEXTURE_2D);
  // Code 255: its list is empty, so it neither draws nor moves the raster position.
  PrintText(100, 100, "%s", "\xff\xff");
  EXPECT_EQ(LitPixels(ctx).count, 0);
  float raster[4];
  glGetFloatv(GL_CURRENT_RASTER_POSITION, raster);
  EXPECT_FLOAT_EQ(raster[0], 99.0f);

  PrintText(100, 100, "%s", "AB");
  std::vector<uint8_t> plain = ctx.ReadPixels();
  glClear(GL_COLOR_BUFFER_BIT);
  PrintText(100, 100, "%s", "A\xff" "B");
  EXPECT_EQ(ctx.ReadPixels(), plain);

  // Control codes and the unused Windows-1252 slot 129 draw nothing; the euro sign (128)
  // and a Latin-1 letter (0xC4) do.
  glClear(GL_COLOR_BUFFER_BIT);
  PrintText(100, 100, "%s", "\x01\t\x81");
  EXPECT_EQ(LitPixels(ctx).count, 0);
  PrintText(100, 100, "%s", "\x80");
  EXPECT_GT(LitPixels(ctx).count, 20);
  glClear(GL_COLOR_BUFFER_BIT);
  PrintText(100, 100, "%s", "\xc4");
  EXPECT_GT(LitPixels(ctx).count, 20);

  // No format: nothing drawn and texturing stays off.
  glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_TEXTURE_2D);
  PrintText(100, 100, nullptr);
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_EQ(LitPixels(ctx).count, 0);

  // Text past 255 characters is cut there, without overrunning anything.
  const std::string longLine(1000, 'i');
  PrintText(0, 400, "%s|%s", longLine.c_str(), longLine.c_str());
  float cut[4];
  glGetFloatv(GL_CURRENT_RASTER_POSITION, cut);
  PrintText(0, 400, "%s", std::string(255, 'i').c_str());
  glGetFloatv(GL_CURRENT_RASTER_POSITION, raster);
  EXPECT_FLOAT_EQ(cut[0], raster[0]);
}

TEST_F(TextTest, TextIgnoresTexturesLeftOnByTheLevel) {
  REQUIRE_GL(ctx);
  // Both units textured with black, unit 1 active, as the level drawing leaves them.
  const uint8_t black[4] = {0, 0, 0, 0};
  GLuint names[2];
  glGenTextures(2, names);
  for (int unit = 0; unit < 2; ++unit) {
    gGame.multitexture.activeTexture(GL_TEXTURE0_ARB + unit);
    glBindTexture(GL_TEXTURE_2D, names[unit]);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, black);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glEnable(GL_TEXTURE_2D);
  }
  glColor3f(1, 1, 1);
  glDisable(GL_TEXTURE_2D);
  PrintText(5, 0, "%d FPS", 88);

  std::vector<uint8_t> pixels = ctx.ReadPixels();
  int white = 0;
  for (size_t i = 0; i < pixels.size(); i += 4) white += pixels[i] == 255 && pixels[i + 2] == 255;
  EXPECT_GT(white, 50);
  // The enables are as PrintText leaves them: the active unit on, the other untouched.
  GLint unit = 0;
  glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &unit);
  EXPECT_EQ(unit, GL_TEXTURE1_ARB);
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  gGame.multitexture.activeTexture(GL_TEXTURE0_ARB);
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  glDeleteTextures(2, names);
}

// --- HUD overlay -------------------------------------------------------------------------

// A 1 x 2 texture: the bottom row (first in memory) and the top row.
Texture MakeTexture(std::array<uint8_t, 3> bottom, std::array<uint8_t, 3> top) {
  uint8_t texels[8] = {bottom[0], bottom[1], bottom[2], 0, top[0], top[1], top[2], 0};
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  return name;
}

class HudTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ctx.ok()) return;
    ResetGameStateKeepingGL();
    // Masks pick one channel of the grey scene; colour layers add a mix: the result names
    // both layers. The top row of each picture is dimmed to see the orientation.
    const std::array<uint8_t, 3> masks[3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    const std::array<uint8_t, 3> colours[3] = {{25, 51, 76}, {76, 25, 51}, {51, 76, 25}};
    const int maskSlots[3] = {1, 3, 5}, colourSlots[3] = {0, 2, 4};
    for (int i = 0; i < 3; ++i) {
      gGame.hudTextures[maskSlots[i]] = MakeTexture(masks[i], {0, 0, 0});
      gGame.hudTextures[colourSlots[i]] = MakeTexture(colours[i], {0, 0, 0});
    }
    FrameProjection();
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glColor3f(1, 1, 1);
  }

  // Clears to mid grey, draws the overlay, and returns the bottom-left pixel.
  std::array<int, 3> DrawOver() {
    glClearColor(0.5f, 0.5f, 0.5f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawHudOverlay();
    return PixelAt(ctx, 10, 10);
  }
  GLTestContext ctx;
};

void ExpectNear(std::array<int, 3> got, std::array<int, 3> want) {
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(got[c], want[c], 3) << "channel " << c;
}

TEST_F(HudTest, LayersFollowTheWeaponAndNightVision) {
  REQUIRE_GL(ctx);
  // The lightmap unit as the level leaves it: on, with a dark lightmap bound. It must not
  // tint either layer.
  gGame.multitexture.activeTexture(GL_TEXTURE1_ARB);
  Texture lightmap = MakeTexture({30, 30, 30}, {30, 30, 30});
  glEnable(GL_TEXTURE_2D);
  gGame.multitexture.activeTexture(GL_TEXTURE0_ARB);
  gGame.currentWeapon = WeaponRifle;
  ExpectNear(DrawOver(), {128 + 25, 51, 76});
  // The top of the screen shows the picture's last row (black mask, no colour).
  ExpectNear(PixelAt(ctx, 10, 760), {0, 0, 0});

  gGame.currentWeapon = WeaponLauncher;
  ExpectNear(DrawOver(), {76, 128 + 25, 51});

  // Night vision wins over either weapon.
  gGame.nightVision = true;
  ExpectNear(DrawOver(), {51, 76, 128 + 25});
  gGame.currentWeapon = WeaponRifle;
  ExpectNear(DrawOver(), {51, 76, 128 + 25});

  // An unknown weapon code keeps whatever texture was bound last (here the rifle colour).
  gGame.nightVision = false;
  gGame.currentWeapon = 12;
  gGame.multitexture.activeTexture(GL_TEXTURE0_ARB);
  glBindTexture(GL_TEXTURE_2D, gGame.hudTextures[0]);
  ExpectNear(DrawOver(), {25 * 128 / 255 + 25, 51 * 128 / 255 + 51, 76 * 128 / 255 + 76});
  glDeleteTextures(1, &lightmap);
}

TEST_F(HudTest, RestoresDepthBlendingMatricesAndLeavesUnitOneOff) {
  REQUIRE_GL(ctx);
  const std::array<float, 32> before = Matrices();
  GLint depthBefore = 0, stackBefore = 0;
  glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depthBefore);
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &stackBefore);

  // A lightmap unit left on by the level drawing.
  gGame.multitexture.activeTexture(GL_TEXTURE1_ARB);
  glEnable(GL_TEXTURE_2D);
  gGame.multitexture.activeTexture(GL_TEXTURE0_ARB);
  DrawOver();

  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_EQ(Matrices(), before);
  GLint depthAfter = 0, stackAfter = 0, mode = 0, unit = 0;
  glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depthAfter);
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &stackAfter);
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &unit);
  EXPECT_EQ(depthAfter, depthBefore);
  EXPECT_EQ(stackAfter, stackBefore);
  EXPECT_EQ(mode, GL_MODELVIEW);
  EXPECT_EQ(unit, GL_TEXTURE1_ARB);  // unit 1 stays active, with texturing off
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// A picture with mipmaps built as the game builds its overlay pictures', texels from
// texel(x, y, rgb) with rows bottom first.
template <typename Texel>
Texture MakeMipmapped(int width, int height, Texel texel) {
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) texel(x, y, &rgb[(static_cast<size_t>(y) * width + x) * 3]);
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  gluBuild2DMipmaps(GL_TEXTURE_2D, 3, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  return name;
}

// Drawn by tiles, the overlay looks as two whole-screen quads draw it, over a scene where
// every pixel differs: the rifle, launcher and night-vision layers, made up ones (grey masks
// with soft edges, white, black and mixed parts) and the game's own when generated.
TEST_F(HudTest, TilesDrawTheSamePictureAsTwoQuads) {
  REQUIRE_GL(ctx);
  // The coloured masks of the fixture cannot carry their colour layer as alpha.
  EXPECT_EQ(CombinedHudTexture(gGame.hudTiles, gGame.hudTextures[0], gGame.hudTextures[1]), 0u);

  const Texture scene = MakeMipmapped(1024, 768, [](int x, int y, uint8_t* p) {
    p[0] = static_cast<uint8_t>(x * 7 + y * 13), p[1] = static_cast<uint8_t>(x ^ y), p[2] = static_cast<uint8_t>(x * y);
  });
  glBindTexture(GL_TEXTURE_2D, scene);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  std::vector<std::array<Texture, 6>> sets;
  // Masks: black in the lower right, a soft grey ring, white elsewhere; colours: black but
  // over the black corner and in a band across the ring.
  for (int layer = 0; layer < 3; ++layer) {
    const int w = 512 >> (layer == 2), h = 256 + 128 * layer;
    const float cx = 0.5f * w, cy = 0.5f * h, ring = 0.3f * h;
    auto inCorner = [=](int x, int y) { return x > w * 3 / 4 && y < h / 3 + 10 * layer; };
    sets.resize(1);
    sets[0][2 * layer + 1] = MakeMipmapped(w, h, [&](int x, int y, uint8_t* p) {
      const float d = std::abs(std::hypot(x - cx, y - cy) - ring);
      const uint8_t grey = d > 20 ? 255 : static_cast<uint8_t>(d * 12);
      std::fill_n(p, 3, inCorner(x, y) ? 0 : grey);
    });
    sets[0][2 * layer] = MakeMipmapped(w, h, [&](int x, int y, uint8_t* p) {
      const bool band = std::abs(y - cy) < 12 && std::abs(x - cx) < ring + 30;
      p[0] = inCorner(x, y) || band ? static_cast<uint8_t>(60 + x % 190) : 0;
      p[1] = inCorner(x, y) || band ? static_cast<uint8_t>(40 + y % 200) : 0;
      p[2] = band ? 200 : 0;
    });
  }
  const std::string game = KORVALIS_GAME_DIR;
  const char* files[6] = {"hud-famas1.bmp",       "hud-famas2.bmp",       "hud-launcher1.bmp",
                          "hud-launcher2.bmp", "hud-nightvision2.bmp", "hud-nightvision1.bmp"};
  std::array<Texture, 6> own = {};
  bool haveOwn = true;
  for (int slot = 0; slot < 6 && haveOwn; ++slot)
    haveOwn = CreateHudTexture(own.data(), (game + "/" + files[slot]).c_str(), slot);
  if (haveOwn) sets.push_back(own);

  auto draw = [&](bool tiled, bool screenTexels = true) {
    gGame.hudTiles.enabled = tiled;
    gGame.hudTiles.screenTexels = screenTexels;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    OrthoMode(0, 0, 1024, 768);
    glColor4f(1, 1, 1, 1);
    gGame.multitexture.activeTexture(GL_TEXTURE0_ARB);  // the overlay leaves unit 1 active
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, scene);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 1), glVertex2f(0, 0);
    glTexCoord2f(0, 0), glVertex2f(0, 768);
    glTexCoord2f(1, 0), glVertex2f(1024, 768);
    glTexCoord2f(1, 1), glVertex2f(1024, 0);
    glEnd();
    PerspectiveMode();
    if (gGame.nightVision)  // as the frame colours it
      glColor4f(0, 1, 0, 1);
    DrawHudOverlay();
    return ctx.ReadPixels();
  };
  for (size_t set = 0; set < sets.size(); ++set) {
    for (int slot = 0; slot < 6; ++slot) gGame.hudTextures[slot] = sets[set][slot];
    // Grey masks join their colour layer.
    const Texture combined = CombinedHudTexture(gGame.hudTiles, gGame.hudTextures[0], gGame.hudTextures[1]);
    EXPECT_NE(combined, 0u) << set;
    // The joined layers as the screen shows them: made without disturbing the frame.
    EXPECT_NE(ScreenHudTexture(gGame.hudTiles, combined, gGame.multitexture.activeTexture), 0u) << set;
    for (int layer = 0; layer < 3; ++layer) {
      SCOPED_TRACE("set " + std::to_string(set) + ", layer " + std::to_string(layer));
      gGame.currentWeapon = layer == 1 ? WeaponLauncher : WeaponRifle;
      gGame.nightVision = layer == 2;
      const std::vector<uint8_t> quads = draw(false), filtered = draw(true, false), tiles = draw(true);
      GLint framebuffer = -1, viewport[4] = {};
      glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &framebuffer);
      glGetIntegerv(GL_VIEWPORT, viewport);
      EXPECT_EQ(framebuffer, 0);
      EXPECT_EQ(viewport[2] * 10000 + viewport[3], 1024 * 10000 + 768);
      EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
      int worst = 0, worstFiltered = 0, changed = 0;
      for (size_t i = 0; i < quads.size(); i += 4) {
        for (size_t c = i; c < i + 3; ++c) {
          worst = std::max(worst, std::abs(quads[c] - tiles[c]));
          worstFiltered = std::max(worstFiltered, std::abs(quads[c] - filtered[c]));
        }
        changed += quads[i] != 0 || quads[i + 1] != 0 || quads[i + 2] != 0;
      }
      EXPECT_LE(worst, 1);
      EXPECT_LE(worstFiltered, 1);
      EXPECT_GT(changed, 1000);
    }
  }
  gGame.hudTiles.screenTexels = true;
  gGame.nightVision = false;
  glDeleteTextures(1, &scene);
}

}  // namespace
