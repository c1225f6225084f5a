// Billboards on an offscreen GL context: square and screen-aligned at any camera angle,
// additive without depth writes, the picture per type code, night vision, alpha clamping,
// and batched drawing that puts the same pixels on screen as drawing one by one.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstdio>
#include <cstdint>
#include <vector>

#include "combat/billboard.h"
#include "core/game_state.h"
#include "core/random.h"
#include "support/gl_context.h"

namespace {

constexpr int Size = 128;

// Distinct solid colours for the six effect slots.
const uint8_t SlotColours[6][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255},
                                   {255, 255, 0}, {0, 255, 255}, {255, 0, 255}};

class BillboardGLTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetGameStateKeepingGL();
    if (!ctx_.ok()) return;
    glGenTextures(6, textures_);
    for (int slot = 0; slot < 6; ++slot) MakeSolid(slot, SlotColours[slot]);
    glViewport(0, 0, Size, Size);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45, 1, 10, 4000);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  }
  void TearDown() override {
    if (ctx_.ok()) glDeleteTextures(6, textures_);
    ResetGameStateKeepingGL();
  }

  void MakeSolid(int slot, const uint8_t rgb[3]) {
    std::vector<uint8_t> texels;
    for (int i = 0; i < 16; ++i) texels.insert(texels.end(), {rgb[0], rgb[1], rgb[2]});
    glBindTexture(GL_TEXTURE_2D, textures_[slot]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 4, 4, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    gGame.effectTextures[slot] = textures_[slot];
  }

  const uint8_t* Pixel(const std::vector<uint8_t>& image, int x, int y) {
    return &image[(static_cast<size_t>(y) * Size + x) * 4];
  }
  const uint8_t* Centre(const std::vector<uint8_t>& image) { return Pixel(image, Size / 2, Size / 2); }

  // A white square of half-size 20 straight ahead at 100 units, with the slot 2 picture.
  void DrawBillboardShaped(int turn, float extent) {
    BillboardBatch batch;
    batch.Begin();
    batch.Add(Vec3(0, 0, -100), 255, 255, 255, 1, 20, 11, BillboardShape{extent, turn});
    batch.Flush();
  }

  GLTestContext ctx_{Size, Size};
  GLuint textures_[6] = {};
};

}  // namespace

TEST_F(BillboardGLTest, SquareAndScreenAlignedAtAnyPitchAndYaw) {
  REQUIRE_GL(ctx_);
  const struct { float yaw, pitch; } views[] = {{0, 0}, {45, 0}, {0, 60}, {130, -70}, {270, 30}, {200, -15}};
  int firstWidth = -1;
  for (const auto& v : views) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const float a = v.yaw * 3.14159265f / 180, b = v.pitch * 3.14159265f / 180;
    const Vec3 dir(std::cos(b) * std::cos(a), std::sin(b), std::cos(b) * std::sin(a));
    glLoadIdentity();
    gluLookAt(5, 7, 9, 5 + dir.x, 7 + dir.y, 9 + dir.z, 0, 1, 0);
    DrawBillboard(Vec3(5, 7, 9) + dir * 100, 255, 255, 255, 1, 10, 42);
    const std::vector<uint8_t> image = ctx_.ReadPixels();
    int minX = Size, maxX = -1, minY = Size, maxY = -1, lit = 0;
    for (int y = 0; y < Size; ++y)
      for (int x = 0; x < Size; ++x)
        if (Pixel(image, x, y)[2] > 128) {
          ++lit;
          minX = std::min(minX, x), maxX = std::max(maxX, x);
          minY = std::min(minY, y), maxY = std::max(maxY, y);
        }
    const int w = maxX - minX + 1, h = maxY - minY + 1;
    EXPECT_NEAR(w, h, 1) << v.yaw << " " << v.pitch;
    EXPECT_EQ(lit, w * h) << "an upright rectangle, fully covered: " << v.yaw << " " << v.pitch;
    EXPECT_NEAR((minX + maxX) / 2.0, Size / 2.0, 1.0);  // straight ahead
    if (firstWidth < 0) firstWidth = w;
    EXPECT_NEAR(w, firstWidth, 1) << "same size at the same distance";
  }
  EXPECT_NEAR(firstWidth, 10 / (100 * std::tan(22.5 * 3.14159265 / 180)) * Size, 2);
}

TEST_F(BillboardGLTest, AdditiveWithoutDepthWritesAndWithoutTouchingTheJump) {
  REQUIRE_GL(ctx_);
  glClearColor(0.2f, 0.2f, 0.2f, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  gGame.jumping = true;
  gGame.jumpOffset = 2.0f;
  DrawBillboard(Vec3(0, 0, -100), 60, 60, 60, 1, 10, 11);   // slot 2: blue texture
  DrawBillboard(Vec3(0, 0, -100), 60, 60, 60, 1, 10, 11);
  const std::vector<uint8_t> image = ctx_.ReadPixels();
  EXPECT_EQ(Centre(image)[0], 51);
  EXPECT_NEAR(Centre(image)[2], 51 + 2 * 60, 1);
  float depth = 0;
  glReadPixels(Size / 2, Size / 2, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
  EXPECT_EQ(depth, 1.0f);
  EXPECT_TRUE(gGame.jumping);
  EXPECT_EQ(gGame.jumpOffset, 2.0f);
  // Left as promised: blending off, depth writes on, texturing off, white.
  GLboolean depthMask = GL_FALSE;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
  EXPECT_TRUE(depthMask);
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  float colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  EXPECT_EQ(colour[0], 1.0f);
  EXPECT_EQ(colour[3], 1.0f);
  // A billboard behind a nearer surface is hidden by it (the depth test stays on).
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
  glBegin(GL_QUADS);
  glVertex3f(-50, -50, -50); glVertex3f(50, -50, -50); glVertex3f(50, 50, -50); glVertex3f(-50, 50, -50);
  glEnd();
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  DrawBillboard(Vec3(0, 0, -100), 255, 255, 255, 1, 10, 11);
  EXPECT_EQ(Centre(ctx_.ReadPixels())[2], 0);
}

TEST_F(BillboardGLTest, PicturesColoursNightVisionAndAlpha) {
  REQUIRE_GL(ctx_);
  const struct { int type; int slot; } pictures[] = {
      {13, 0}, {12, 1}, {10, 2}, {11, 2}, {42, 2}, {77, 4}, {88, 4}, {66, 5}, {SteamKind, 5}};
  for (const auto& p : pictures) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawBillboard(Vec3(0, 0, -100), 255, 255, 255, 1, 10, p.type);
    const std::vector<uint8_t> image = ctx_.ReadPixels();
    const uint8_t* c = Centre(image);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(c[i], SlotColours[p.slot][i]) << "type " << p.type;
  }

  const uint8_t white[3] = {255, 255, 255};
  MakeSolid(4, white);
  MakeSolid(2, white);
  // colour, alpha, type, night vision -> expected centre colour
  const struct { float r, g, b, alpha; int type; bool night; int er, eg, eb; } colours[] = {
      {200, 50, 50, 1, 77, true, 0, 255, 0},       // night vision: pure green
      {200, 50, 50, 1, 11, true, 0, 255, 0},
      {255, 255, 255, 99, 77, false, 255, 255, 255},  // alpha above 1 draws as 1
      {255, 255, 255, 1, 77, false, 255, 255, 255},
      {255, 255, 255, 0.5f, 77, false, 128, 128, 128},
      {235, 145, 35, 99, 77, false, 235, 145, 35},
      {100.9f, 40.2f, 0, 0.1f, 11, false, 100, 40, 0},  // opaque types: bytes, alpha ignored
  };
  for (const auto& c : colours) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    gGame.nightVision = c.night;
    DrawBillboard(Vec3(0, 0, -100), c.r, c.g, c.b, c.alpha, 10, c.type);
    const std::vector<uint8_t> image = ctx_.ReadPixels();
    const uint8_t* p = Centre(image);
    EXPECT_NEAR(p[0], c.er, 1) << c.r << " " << c.alpha << " " << c.type;
    EXPECT_NEAR(p[1], c.eg, 1) << c.r << " " << c.alpha << " " << c.type;
    EXPECT_NEAR(p[2], c.eb, 1) << c.r << " " << c.alpha << " " << c.type;
  }
}

// The classic way, one at a time: translate, replace the rotation with the identity, and draw
// the quad in immediate mode with the source-alpha blend and the GL's own fog.
void DrawClassic(Vec3 p, float r, float g, float b, float a, float s, int type) {
  glDepthMask(GL_FALSE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, gGame.effectTextures[BillboardTextureSlot(type)]);
  if (BillboardUsesAlpha(type))
    glColor4f(r / 255, g / 255, b / 255, a);
  else
    glColor3ub(static_cast<GLubyte>(r), static_cast<GLubyte>(g), static_cast<GLubyte>(b));
  glPushMatrix();
  glTranslatef(p.x, p.y, p.z);
  float m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  m[0] = m[5] = m[10] = 1;
  m[1] = m[2] = m[4] = m[6] = m[8] = m[9] = 0;
  glLoadMatrixf(m);
  glBegin(GL_QUADS);
  glTexCoord2f(0, 0); glVertex3f(-s, s, 0);
  glTexCoord2f(1, 0); glVertex3f(s, s, 0);
  glTexCoord2f(1, 1); glVertex3f(s, -s, 0);
  glTexCoord2f(0, 1); glVertex3f(-s, -s, 0);
  glEnd();
  glPopMatrix();
  glDisable(GL_BLEND);
  glDepthMask(GL_TRUE);
  glDisable(GL_TEXTURE_2D);
}

TEST_F(BillboardGLTest, BatchDrawsTheSamePixelsAsOneByOne) {
  REQUIRE_GL(ctx_);
  // Soft round pictures, so that the texture's falloff is part of the comparison.
  for (int slot = 0; slot < 6; ++slot) {
    std::vector<uint8_t> texels;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) {
        const float u = (x + 0.5f) / 16 - 1, v = (y + 0.5f) / 16 - 1;
        const float w = std::max(0.0f, 1 - std::sqrt(u * u + v * v));
        for (int c = 0; c < 3; ++c) texels.push_back(static_cast<uint8_t>(w * SlotColours[slot][c] * 0.9f + w * 25));
      }
    glBindTexture(GL_TEXTURE_2D, textures_[slot]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 32, 32, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
  }
  glLoadIdentity();
  gluLookAt(10, 20, 30, -40, 0, -300, 0, 1, 0);
  struct B { Vec3 p; float r, g, b, a, s; int type; };
  std::vector<B> all;
  ResetRandom();
  const int types[] = {11, 13, 66, 77, 77, 77, 88, SteamKind};
  for (int i = 0; i < 600; ++i) {
    B b;
    // In view, off to the sides, behind the eye, past the far plane, and far into the fog.
    b.p = Vec3(RandomUnit() * 400 - 200, RandomUnit() * 400 - 200, 200 - RandomUnit() * 700);
    if (i % 50 == 0) b.p.z = -4500;
    if (i % 50 == 1) b.p.z = -2500;
    b.r = RandomUnit() * 255, b.g = RandomUnit() * 255, b.b = RandomUnit() * 255;
    b.a = RandomUnit() * 2 - 0.1f, b.s = RandomUnit() * (i % 7 == 0 ? 80 : 12);
    b.type = types[RandomInt() % 8];
    all.push_back(b);
  }
  const GLfloat black[4] = {0, 0, 0, 1};
  glFogfv(GL_FOG_COLOR, black);
  glFogi(GL_FOG_MODE, GL_EXP2);
  glFogf(GL_FOG_DENSITY, 0.002f);
  int kept = 0;
  for (bool fog : {false, true}) {
    if (fog) glEnable(GL_FOG); else glDisable(GL_FOG);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (const B& b : all) DrawClassic(b.p, b.r, b.g, b.b, b.a, b.s, b.type);
    const std::vector<uint8_t> classic = ctx_.ReadPixels();

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    BillboardBatch batch;
    batch.Begin();
    kept = 0;
    // One call per run of a picture among the squares at full opacity, and among the others.
    int runs = 0, lastSlot[2] = {-1, -1};
    for (const B& b : all) {
      if (!batch.Add(b.p, b.r, b.g, b.b, b.a, b.s, b.type)) continue;
      ++kept;
      const int list = BillboardUsesAlpha(b.type) && b.a < 1;
      if (BillboardTextureSlot(b.type) != lastSlot[list]) ++runs, lastSlot[list] = BillboardTextureSlot(b.type);
    }
    EXPECT_EQ(batch.Flush(), runs);
    EXPECT_EQ(glIsEnabled(GL_FOG), fog);
    const std::vector<uint8_t> batched = ctx_.ReadPixels();
    int lit = 0, off = 0, farOff = 0;
    for (size_t i = 0; i < batched.size(); i += 4) {
      lit += batched[i] + batched[i + 1] + batched[i + 2] > 0;
      for (int c = 0; c < 3; ++c) {
        off += batched[i + c] != classic[i + c];
        farOff += std::abs(batched[i + c] - classic[i + c]) > 1;
      }
    }
    EXPECT_GT(lit, Size * Size / 4);
    EXPECT_EQ(farOff, 0) << "fog " << fog;
    EXPECT_EQ(off, 0) << "fog " << fog;
    // DrawBillboard is a batch of one.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (const B& b : all) DrawBillboard(b.p, b.r, b.g, b.b, b.a, b.s, b.type);
    EXPECT_TRUE(ctx_.ReadPixels() == batched);
  }
  glDisable(GL_FOG);
  EXPECT_LT(kept, 560);  // those behind, beyond and lost in the fog are left out

  // Runs of one picture longer than a call takes are drawn in several calls, to the same
  // picture.
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  for (int i = 0; i < 7000; ++i) {
    const B& b = all[i % all.size()];
    DrawClassic(b.p, b.r, b.g, b.b, b.a, b.s, 77);
  }
  const std::vector<uint8_t> classic = ctx_.ReadPixels();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  BillboardBatch batch;
  batch.Begin();
  size_t inList[2] = {0, 0};
  for (int i = 0; i < 7000; ++i) {
    const B& b = all[i % all.size()];
    if (batch.Add(b.p, b.r, b.g, b.b, b.a, b.s, 77)) ++inList[BillboardUsesAlpha(77) && b.a < 1];
  }
  const size_t most = BillboardBatch::MaxSquaresPerDraw;
  ASSERT_GT(inList[0] + inList[1], 2 * most);
  EXPECT_EQ(size_t(batch.Flush()), (inList[0] + most - 1) / most + (inList[1] + most - 1) / most);
  EXPECT_TRUE(ctx_.ReadPixels() == classic);
}

TEST_F(BillboardGLTest, ShapeTrimsTheSquareAndTurnsThePicture) {
  REQUIRE_GL(ctx_);
  // A picture of four coloured quarters: red top left, green top right, blue bottom right,
  // white bottom left (rows run down the picture from its top).
  const uint8_t quarters[2][2][3] = {{{255, 0, 0}, {0, 255, 0}}, {{255, 255, 255}, {0, 0, 255}}};
  std::vector<uint8_t> texels;
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) texels.insert(texels.end(), quarters[y][x], quarters[y][x] + 3);
  glBindTexture(GL_TEXTURE_2D, textures_[2]);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 2, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
  glLoadIdentity();
  // Which quarter shows at the screen's top left, top right, bottom right and bottom left
  // (as the picture's corners 0..3, clockwise from its top left) for each turn.
  const int expected[8][4] = {{0, 1, 2, 3}, {1, 2, 3, 0}, {2, 3, 0, 1}, {3, 0, 1, 2},
                              {0, 3, 2, 1}, {1, 0, 3, 2}, {2, 1, 0, 3}, {3, 2, 1, 0}};
  const uint8_t* corner[4] = {quarters[0][0], quarters[0][1], quarters[1][1], quarters[1][0]};
  for (int turn = 0; turn < 8; ++turn) {
    for (const float extent : {1.0f, 0.5f}) {
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
      // 40 units across at 100 units: about 62 pixels of the 128, or half that trimmed.
      DrawBillboardShaped(turn, extent);
      const std::vector<uint8_t> image = ctx_.ReadPixels();
      int lit = 0;
      for (size_t i = 0; i < image.size(); i += 4) lit += image[i] + image[i + 1] + image[i + 2] > 0;
      const double side = std::sqrt(static_cast<double>(lit));
      EXPECT_NEAR(side, 62 * extent, 2) << "turn " << turn << ", extent " << extent;
      const int d = static_cast<int>(12 * extent);  // well inside each quarter
      const int at[4][2] = {{Size / 2 - d, Size / 2 + d}, {Size / 2 + d, Size / 2 + d},
                            {Size / 2 + d, Size / 2 - d}, {Size / 2 - d, Size / 2 - d}};  // rows from the bottom
      for (int k = 0; k < 4; ++k) {
        const uint8_t* px = Pixel(image, at[k][0], at[k][1]);
        const uint8_t* want = corner[expected[turn][k]];
        EXPECT_TRUE(px[0] == want[0] && px[1] == want[1] && px[2] == want[2])
            << "turn " << turn << ", extent " << extent << ", screen corner " << k;
      }
    }
  }
}

TEST_F(BillboardGLTest, MeasuredPicturesDrawOnlyTheirLitPartWithTheSamePixels) {
  REQUIRE_GL(ctx_);
  // A soft spot lit out to 0.6 of the half-size, black around it, twice: one texture to be
  // measured and one the same but never measured (drawn whole).
  std::vector<uint8_t> texels;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      const float u = (x + 0.5f) / 32 - 1, v = (y + 0.5f) / 32 - 1;
      const float w = std::max(0.0f, 1 - std::sqrt(u * u + v * v) / 0.6f);
      texels.insert(texels.end(), {static_cast<uint8_t>(255 * w), static_cast<uint8_t>(200 * w), static_cast<uint8_t>(90 * w)});
    }
  GLuint same[2];
  glGenTextures(2, same);
  for (GLuint t : same) {
    glBindTexture(GL_TEXTURE_2D, t);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 64, 64, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
  }
  gGame.effectTextures[4] = same[0];
  MeasureEffectPictures();
  EXPECT_NEAR(BillboardLitExtent(SparkKind), 0.6f + 1.0f / 32, 0.03f);
  EXPECT_EQ(BillboardLitExtent(12), 1.0f) << "a solid picture is lit to its edges";

  glLoadIdentity();
  gluLookAt(10, 20, 30, -40, 0, -300, 0, 1, 0);
  auto draw = [&] {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    ResetRandom();
    BillboardBatch batch;
    batch.Begin();
    for (int i = 0; i < 300; ++i) {
      const Vec3 p(RandomUnit() * 200 - 100, RandomUnit() * 200 - 100, -100 - RandomUnit() * 300);
      batch.Add(p, 235, 145, 35, i % 2 ? 60.0f : RandomUnit(), RandomUnit() * 30, SparkKind);
    }
    batch.Flush();
    return ctx_.ReadPixels();
  };
  const std::vector<uint8_t> trimmed = draw();
  gGame.effectTextures[4] = same[1];
  EXPECT_EQ(BillboardLitExtent(SparkKind), 1.0f) << "another texture in the slot is drawn whole";
  const std::vector<uint8_t> whole = draw();
  int lit = 0, off = 0, farOff = 0;
  for (size_t i = 0; i < whole.size(); i += 4) {
    lit += whole[i] > 0;
    for (int c = 0; c < 3; ++c) {
      off += trimmed[i + c] != whole[i + c];
      farOff += std::abs(trimmed[i + c] - whole[i + c]) > 1;
    }
  }
  EXPECT_GT(lit, Size * Size / 3);
  EXPECT_EQ(farOff, 0);
  EXPECT_LT(off, static_cast<int>(whole.size()) / 1000) << "at most a rounding step here and there";
  std::printf("trimmed squares: %d of %d channels a step off\n", off, Size * Size * 3);
  glDeleteTextures(2, same);
  gGame.effectTextures[4] = 0;
  MeasureEffectPictures();  // forgets them: their names may come back with other pictures
}
