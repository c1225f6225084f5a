// Characters on an offscreen context: loading with the numbered messages, where the parts
// land on screen (head above torso above legs, the weapon at the hand), the pose changing
// along the walk, and vertex and tag blending read back through GL feedback. The generated
// characters of the game are checked the same way when they are present, and drawn as
// arrays and vertex by vertex to the same picture, and out of view sending nothing.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <map>

#include "core/character.h"
#include "core/game_state.h"
#include "platform/files.h"
#include "support/fake_platform.h"
#include "support/gl_context.h"
#include "support/md3_writer.h"
#include "support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;

// Pixels of one colour class on screen, in scene units.
struct Region {
  int count = 0;
  float sumX = 0, sumY = 0;
  float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
  float MeanX() const { return sumX / count; }
  float MeanY() const { return sumY / count; }
};

constexpr int Side = 200;

class CharacterGL : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = ScratchDir("korvalis_character_gl");
    fs::remove_all(dir);
    WriteTestCharacter(dir.string(), "fidget");
    WriteTestWeapon(dir.string(), "grenadel");
  }
  static void TearDownTestSuite() { fs::remove_all(dir); }
  void SetUp() override {
    if (ctx.ok()) ResetGameStateKeepingGL();
    fake.now = 100000;
  }

  bool Load(CharacterModel* character, const fs::path& root, const char* name) {
    return character->LoadCharacter((root / name).c_str(), name) &&
           character->LoadCharacterWeapon((root / "weapons").c_str(), "grenadel");
  }

  // Replaces every part's textures by solid colours: legs blue, upper body red, head
  // yellow, weapon green, so each pixel tells which part it shows.
  void PaintParts(CharacterModel* character) {
    const uint8_t colours[4][3] = {{0, 0, 255}, {255, 0, 0}, {255, 255, 0}, {0, 255, 0}};
    Md3Model* parts[4] = {&character->lower, &character->upper, &character->head, &character->weapon};
    for (int p = 0; p < 4; ++p) {
      const int slot = MaxCharacterTextures - 1 - p;
      glGenTextures(1, &character->textures[slot]);
      glBindTexture(GL_TEXTURE_2D, character->textures[slot]);
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, colours[p]);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
      for (MeshMaterial& m : parts[p]->materials) m.textureId = slot;
      for (Md3Mesh& mesh : parts[p]->meshes) {
        if (!mesh.hasTexture) {  // a mesh without material gets one
          mesh.hasTexture = true;
          mesh.materialId = static_cast<int32_t>(parts[p]->materials.size());
          parts[p]->materials.push_back(MeshMaterial{"", slot});
        }
      }
    }
  }

  // Draws as the game does (fronts culled, depth test, textures modulated by white), the
  // model scaled by `scale` and lowered by `lower`, seen from world +Z over -half..half
  // units, and classifies pixels.
  std::map<char, Region> Draw(CharacterModel* character, float scale = 1, float lower = 0, float half = 40) {
    const float unitsPerPixel = 2 * half / Side;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-half, half, -half, half, -200, 200);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    glColor4f(1, 1, 1, 1);
    glPushMatrix();
    glTranslatef(0, -lower, 0);
    glScalef(scale, scale, scale);
    character->DrawCharacter();
    glPopMatrix();
    const std::vector<uint8_t> pixels = ctx.ReadPixels();
    std::map<char, Region> regions;
    for (int y = 0; y < Side; ++y) {
      for (int x = 0; x < Side; ++x) {
        const uint8_t* p = &pixels[(static_cast<size_t>(y) * Side + x) * 4];
        const bool r = p[0] > 128, g = p[1] > 128, b = p[2] > 128;
        char part = r && g ? 'h' : r ? 'u' : g ? 'w' : b ? 'l' : 0;
        if (!part && (p[0] | p[1] | p[2])) part = '?';
        if (!part) continue;
        for (char key : {part, '*'}) {
          Region& region = regions[key];
          const float sx = -half + (x + 0.5f) * unitsPerPixel, sy = -half + (y + 0.5f) * unitsPerPixel;
          ++region.count;
          region.sumX += sx;
          region.sumY += sy;
          region.minX = std::min(region.minX, sx);
          region.maxX = std::max(region.maxX, sx);
          region.minY = std::min(region.minY, sy);
          region.maxY = std::max(region.maxY, sy);
        }
      }
    }
    return regions;
  }

  // Head above torso above legs, the weapon sticking out of the upper body.
  void ExpectStacked(std::map<char, Region>& r) {
    ASSERT_GT(r['l'].count, 0);
    ASSERT_GT(r['u'].count, 0);
    ASSERT_GT(r['h'].count, 0);
    ASSERT_GT(r['w'].count, 0);
    EXPECT_GT(r['h'].MeanY(), r['u'].MeanY());
    EXPECT_GT(r['u'].MeanY(), r['l'].MeanY());
    EXPECT_GT(r['h'].minY, r['l'].maxY);
    EXPECT_GT(r['w'].MeanY(), r['l'].maxY - 2);
    EXPECT_LT(r['w'].MeanY(), r['h'].MeanY());
  }

  GLTestContext ctx{Side, Side};
  FakePlatform fake;
  static fs::path dir;
};

fs::path CharacterGL::dir;

TEST_F(CharacterGL, TestCharacterStandsAssembledAndWalks) {
  REQUIRE_GL(ctx);
  CharacterModel character;
  ASSERT_TRUE(Load(&character, dir, "fidget"));
  EXPECT_TRUE(fake.messages.empty()) << fake.messages[0];
  // Three files (legs, torso, head) and the weapon's, each loaded once.
  EXPECT_EQ(character.textureFiles, (std::vector<std::string>{"legs.tga", "torso.tga", "head.tga", "grenadel.tga"}));
  EXPECT_EQ(character.lower.materials[0].textureId, character.lower.materials[1].textureId);
  character.SetTorsoAnimation("TORSO_STAND");
  character.SetLegsAnimation("LEGS_WALK");
  EXPECT_EQ(character.lower.currentFrame, 3);  // 7 less the 4 torso frames

  std::map<char, Region> r = Draw(&character);  // steps at once to frame 4
  ASSERT_EQ(character.lower.currentFrame, 4);
  ExpectStacked(r);
  EXPECT_EQ(r['?'].count, 0);
  // Boxes as built: feet at -27, head top at 28 plus the hip lift of frame 4 (1 unit).
  EXPECT_NEAR(r['l'].minY, -27, 1);
  EXPECT_NEAR(r['h'].maxY, 29, 1);
  EXPECT_NEAR(r['l'].minX, -6, 1);  // legs apart by 4 units each way
  EXPECT_NEAR(r['l'].maxX, 6, 1);
  // The weapon from the hand (x 2, z 12) along +X for 14 units.
  EXPECT_NEAR(r['w'].maxX, 16, 1);
  EXPECT_NEAR(r['w'].MeanY(), 13, 1.5);

  fake.now += 50;  // one walk frame later
  std::map<char, Region> next = Draw(&character);
  EXPECT_EQ(character.lower.currentFrame, 5);
  EXPECT_NEAR(next['l'].maxX, 7, 1);
  EXPECT_NE(next['l'].count + 1000 * next['l'].maxX, r['l'].count + 1000 * r['l'].maxX);
}

TEST_F(CharacterGL, BlendsVerticesAndTagsBetweenFrames) {
  REQUIRE_GL(ctx);
  CharacterModel character;
  ASSERT_TRUE(Load(&character, dir, "fidget"));
  // Frame 4 to 5 at 0.4: legs 4.4 units apart, hips 1.1 up; read the drawn vertices back.
  character.lower.currentFrame = 4;
  character.lower.nextFrame = 5;
  character.lower.blend = 0.4f;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-100, 100, -100, 100, -100, 100);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glViewport(0, 0, Side, Side);
  glDisable(GL_CULL_FACE);
  std::vector<float> buffer(1 << 16);
  glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_2D, buffer.data());
  glRenderMode(GL_FEEDBACK);
  glRotatef(-90, 1, 0, 0);
  character.DrawLinked(character.lower);
  const GLint used = glRenderMode(GL_RENDER);
  ASSERT_GT(used, 0);
  float minX = 1e9f, maxY = -1e9f;
  for (GLint i = 0; i < used;) {
    ASSERT_EQ(buffer[i], GL_POLYGON_TOKEN);
    const int n = static_cast<int>(buffer[i + 1]);
    for (int v = 0; v < n; ++v) {
      minX = std::min(minX, buffer[i + 2 + 2 * v] - 100);
      maxY = std::max(maxY, buffer[i + 3 + 2 * v] - 100);
    }
    i += 2 + 2 * n;
  }
  EXPECT_NEAR(minX, -2 - 4.4f, 1e-3f);
  EXPECT_NEAR(maxY, 28 + 1.1f, 1e-3f);
}

TEST_F(CharacterGL, EachMissingFileGivesItsMessages) {
  REQUIRE_GL(ctx);
  const struct {
    const char* file;
    std::vector<std::string> messages;  // the last ones shown
  } cases[] = {
      {"fidget/fidget_head.md3", {"9 Unable to find the file: @/fidget/fidget_head.md3!", "0 Unable to load the HEAD model!"}},
      {"fidget/fidget_upper.md3", {"9 Unable to find the file: @/fidget/fidget_upper.md3!", "1 Unable to load the UPPER model!"}},
      {"fidget/fidget_lower.md3", {"9 Unable to find the file: @/fidget/fidget_lower.md3!", "2 Unable to load the LOWER model!"}},
      {"fidget/fidget_lower.skin", {"11 Unable to load skin!", "3 Unable to load the LOWER skin!"}},
      {"fidget/fidget_upper.skin", {"11 Unable to load skin!", "4 Unable to load the UPPER skin!"}},
      {"fidget/fidget_head.skin", {"11 Unable to load skin!", "5 Unable to load the HEAD skin!"}},
      {"fidget/fidget_animation.cfg", {"6 Unable to load the Animation Config File!"}},
      {"weapons/grenadel.md3", {"9 Unable to find the file: @/weapons/grenadel.md3!", "7 Unable to load the WEAPON model!"}},
      {"weapons/grenadel.shader", {"12 Unable to load shader!", "8 Unable to load the SHADER file!"}},
  };
  for (const auto& c : cases) {
    const fs::path scratch = dir.string() + "_missing";
    fs::remove_all(scratch);
    fs::copy(dir, scratch, fs::copy_options::recursive);
    fs::remove(scratch / c.file);
    fake.messages.clear();
    CharacterModel character;
    EXPECT_FALSE(Load(&character, scratch, "fidget")) << c.file;
    ASSERT_EQ(fake.messages.size(), c.messages.size()) << c.file;
    for (size_t i = 0; i < c.messages.size(); ++i) {
      std::string want = "Error: " + c.messages[i];
      const size_t at = want.find('@');
      if (at != std::string::npos) want.replace(at, 1, scratch.string());
      EXPECT_EQ(fake.messages[i], want);
    }
    fs::remove_all(scratch);
  }

  // A broken animation file says where; an upper body without tag_weapon loads the weapon
  // but never draws it.
  const fs::path scratch = dir.string() + "_broken";
  fs::remove_all(scratch);
  fs::copy(dir, scratch, fs::copy_options::recursive);
  WriteFile((scratch / "fidget/fidget_animation.cfg").string(), std::string("0 1 0 20 //\n"));
  fake.messages.clear();
  CharacterModel broken;
  EXPECT_FALSE(Load(&broken, scratch, "fidget"));
  ASSERT_EQ(fake.messages.size(), 1u);
  EXPECT_NE(fake.messages[0].find("6 Unable to load the Animation Config File! ("), std::string::npos);
  EXPECT_NE(fake.messages[0].find("line 1: the clip line ends before its name"), std::string::npos);
  fs::remove_all(scratch);

  CharacterModel unarmed;
  ASSERT_TRUE(Load(&unarmed, dir, "fidget"));
  std::snprintf(unarmed.upper.tags[1].name, sizeof unarmed.upper.tags[1].name, "tag_other");
  unarmed.upper.links[1] = nullptr;
  ASSERT_TRUE(unarmed.LoadCharacterWeapon((dir / "weapons").c_str(), "grenadel"));
  std::map<char, Region> r = Draw(&unarmed);
  EXPECT_GT(r['u'].count, 0);
  EXPECT_EQ(r['w'].count, 0);
}

// A second character holding the first one's weapon reads none of its files and draws it
// with the first one's texture; with no weapon to share, nothing changes.
TEST_F(CharacterGL, ASharedWeaponIsReadOnceAndDrawnTheSame) {
  REQUIRE_GL(ctx);
  CharacterModel first, second;
  ASSERT_TRUE(Load(&first, dir, "fidget"));
  ASSERT_TRUE(second.LoadCharacter((dir / "fidget").c_str(), "fidget"));
  EXPECT_FALSE(second.ShareWeapon(CharacterModel()));
  EXPECT_TRUE(second.weapon.meshes.empty());
  // A red picture of its own takes the slot the weapon's texture has in the first table.
  const uint8_t red[3] = {255, 0, 0};
  const size_t slot = second.textureFiles.size();
  glGenTextures(1, &second.textures[slot]);
  glBindTexture(GL_TEXTURE_2D, second.textures[slot]);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, red);
  second.textureFiles.push_back("red.tga");
  const uint64_t reads = files::ContentReads();
  ASSERT_TRUE(second.ShareWeapon(first));
  EXPECT_EQ(files::ContentReads(), reads);
  EXPECT_EQ(second.textureFiles.size(), first.textureFiles.size() + 1);
  std::map<char, Region> mine = Draw(&second), theirs = Draw(&first);
  ExpectStacked(mine);
  EXPECT_EQ(mine['w'].count, theirs['w'].count);
  EXPECT_EQ(mine['*'].count, theirs['*'].count);
}

// The game's own characters, generated into the game folder, drawn as the game draws a bot
// (lowered by 13, scaled by 1.5): standing on the floor 54 units below, assembled, walking.
TEST_F(CharacterGL, GameCharactersStandOnTheFloorAndWalk) {
  REQUIRE_GL(ctx);
  const fs::path game(KORVALIS_GAME_DIR);
  if (!fs::exists(game / "fidget/fidget_head.md3")) GTEST_SKIP() << "no generated characters in " << game;
  for (const char* name : {"fidget", "jack"}) {
    SCOPED_TRACE(name);
    CharacterModel character;
    ASSERT_TRUE(Load(&character, game, name));
    for (const std::string& m : fake.messages) ADD_FAILURE() << m;
    EXPECT_GT(character.textureFiles.size(), 1u);
    // Every clip fits the frames of its model: nothing is held back by the loader's clamp.
    EXPECT_EQ(character.upper.animationCount, 13);
    EXPECT_EQ(character.lower.animationCount, 18);
    for (const Md3Model* m : {&character.upper, &character.lower}) {
      for (const AnimationClip& clip : m->animations) {
        EXPECT_GE(clip.startFrame, 0) << clip.name;
        EXPECT_GT(clip.endFrame, clip.startFrame) << clip.name;
        EXPECT_LE(clip.endFrame, m->frameCount) << clip.name;
      }
    }
    for (size_t k = 0; k < character.textureFiles.size(); ++k) EXPECT_NE(character.textures[k], 0u) << k;
    PaintParts(&character);
    character.SetTorsoAnimation("TORSO_STAND");
    character.SetLegsAnimation("LEGS_WALK");
    std::map<char, Region> r = Draw(&character, 1.5f, 13, 80);
    ExpectStacked(r);
    EXPECT_NEAR(r['*'].minY, -54, 4);  // feet on the floor
    EXPECT_GT(r['h'].maxY, 0);         // the head near eye height (50 above the floor)
    EXPECT_LT(r['h'].maxY, 20);
    // Facing +X: the weapon points forward, ahead of the body's middle.
    EXPECT_GT(r['w'].maxX, r['u'].MeanX() + 5);
    const int legPixels = r['l'].count;
    const float legMeanX = r['l'].MeanX();
    bool changed = false;
    for (int step = 0; step < 4 && !changed; ++step) {
      fake.now += 1000;
      std::map<char, Region> next = Draw(&character, 1.5f, 13, 80);
      changed = next['l'].count != legPixels || std::abs(next['l'].MeanX() - legMeanX) > 0.2f;
    }
    EXPECT_TRUE(changed) << "the legs look the same in every walk frame";
  }
}

// Drawn as arrays, the characters look exactly as drawn vertex by vertex: both characters
// (the game's own when generated, else the test character), near and far, through several
// clips and animation times, with fog on and the arrays the level and billboards leave on.
TEST_F(CharacterGL, ArraysDrawTheSamePictureAsVertexByVertex) {
  REQUIRE_GL(ctx);
  const fs::path game(KORVALIS_GAME_DIR);
  const bool generated = fs::exists(game / "fidget/fidget_head.md3");
  const fs::path root = generated ? game : dir;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glFrustum(-0.5, 0.5, -0.5, 0.5, 1, 1000);
  glMatrixMode(GL_MODELVIEW);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_FOG);
  glFogi(GL_FOG_MODE, GL_LINEAR);
  glFogf(GL_FOG_START, 50);
  glFogf(GL_FOG_END, 400);
  // Arrays a later draw must not read: colours of garbage and a second coordinate set.
  std::vector<uint8_t> garbage(1 << 20, 7);
  glEnableClientState(GL_COLOR_ARRAY);
  glColorPointer(4, GL_UNSIGNED_BYTE, 0, garbage.data());
  gGame.multitexture.clientActiveTexture(GL_TEXTURE1_ARB);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glTexCoordPointer(2, GL_FLOAT, 0, garbage.data());

  auto draw = [&](CharacterModel* c, float distance, float turn) {
    glClearColor(0.2f, 0.3f, 0.4f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    glColor4f(1, 1, 1, 1);
    glLoadIdentity();
    glTranslatef(0, -10, -distance);
    glScalef(1.5f, 1.5f, 1.5f);
    glRotatef(turn, 0, 1, 0);
    c->DrawCharacter();
    return ctx.ReadPixels();
  };
  const char* clips[][2] = {{"TORSO_STAND", "LEGS_WALK"}, {"TORSO_ATTACK", "LEGS_RUN"}, {"TORSO_GESTURE", "LEGS_IDLE"}};
  const uint32_t steps[] = {0, 7, 23, 41, 90, 400};
  for (const char* name : {"fidget", "jack"}) {
    SCOPED_TRACE(name);
    CharacterModel character;
    ASSERT_TRUE(Load(&character, root, generated ? name : "fidget"));
    for (const auto& clip : clips) {
      character.SetTorsoAnimation(clip[0]);
      character.SetLegsAnimation(clip[1]);
      for (const uint32_t step : steps) {
        fake.now += step;
        // A copy stands in the same pose at the same time and draws the old way.
        CharacterModel old = character;
        old.arrayDrawing = false;
        for (const float distance : {45.0f, 200.0f}) {
          SCOPED_TRACE(std::string(clip[1]) + " +" + std::to_string(step) + " ms at " + std::to_string(distance));
          CharacterModel before = old, after = character;
          const std::vector<uint8_t> expected = draw(&before, distance, 30.0f + step);
          const std::vector<uint8_t> actual = draw(&after, distance, 30.0f + step);
          ASSERT_EQ(expected.size(), actual.size());
          size_t drawn = 0, worst = 0, off = 0;
          for (size_t k = 0; k < actual.size(); k += 4) {
            drawn += expected[k] != 51 || expected[k + 1] != 76 || expected[k + 2] != 102;
            for (size_t ch = k; ch < k + 3; ++ch) {
              const size_t d = static_cast<size_t>(std::abs(int(expected[ch]) - int(actual[ch])));
              worst = std::max(worst, d);
              off += d > 1;
            }
          }
          EXPECT_GT(drawn, 50u);
          EXPECT_LE(worst, 1u) << off << " channels differ by more than 1";
        }
        character.DrawCharacter();  // the animation moves on
      }
    }
  }
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  gGame.multitexture.clientActiveTexture(GL_TEXTURE0_ARB);
  glDisableClientState(GL_COLOR_ARRAY);
  glDisable(GL_FOG);
}

// A black fog drawn as arrays goes into the vertex colours: the picture of the GL's own fog
// within 1/255, and the fog and the current colour left as they were. A coloured fog stays
// the GL's (folded in, the figure would darken instead of taking the fog's colour).
TEST_F(CharacterGL, ABlackFogInTheColoursGivesTheGLFogsPicture) {
  REQUIRE_GL(ctx);
  const fs::path game(KORVALIS_GAME_DIR);
  const bool generated = fs::exists(game / "fidget/fidget_head.md3");
  CharacterModel character;
  ASSERT_TRUE(Load(&character, generated ? game : dir, "fidget"));
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glFrustum(-0.5, 0.5, -0.5, 0.5, 1, 1000);
  glMatrixMode(GL_MODELVIEW);
  glEnable(GL_TEXTURE_2D);
  struct FogCase { GLint mode; float density, red; } cases[] = {{GL_EXP2, 0.004f, 0}, {GL_EXP, 0.003f, 0}, {GL_EXP2, 0.004f, 0.8f}};
  for (const FogCase& fog : cases) {
    glFogi(GL_FOG_MODE, fog.mode);
    glFogf(GL_FOG_DENSITY, fog.density);
    const float fogColour[4] = {fog.red, 0, 0, 1};
    glFogfv(GL_FOG_COLOR, fogColour);
    for (const float distance : {60.0f, 200.0f}) {
      SCOPED_TRACE(std::to_string(fog.mode) + " red " + std::to_string(fog.red) + " at " + std::to_string(distance));
      std::vector<uint8_t> pictures[2];
      for (const bool arrays : {false, true}) {
        CharacterModel copy = character;
        copy.arrayDrawing = arrays;
        glClearColor(0.2f, 0.3f, 0.4f, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_DEPTH_TEST), glEnable(GL_CULL_FACE), glCullFace(GL_FRONT), glEnable(GL_FOG);
        glColor4f(0.9f, 0.7f, 1, 1);
        glLoadIdentity();
        glTranslatef(0, -10, -distance);
        glScalef(1.5f, 1.5f, 1.5f);
        copy.DrawCharacter();
        pictures[arrays] = ctx.ReadPixels();
        float colour[4];
        glGetFloatv(GL_CURRENT_COLOR, colour);
        EXPECT_TRUE(glIsEnabled(GL_FOG));
        EXPECT_EQ(colour[0], 0.9f);
        EXPECT_EQ(colour[1], 0.7f);
      }
      size_t drawn = 0, worst = 0;
      for (size_t k = 0; k < pictures[0].size(); k += 4) {
        drawn += pictures[0][k] != 51 || pictures[0][k + 1] != 76 || pictures[0][k + 2] != 102;
        for (size_t ch = k; ch < k + 3; ++ch)
          worst = std::max(worst, static_cast<size_t>(std::abs(int(pictures[0][ch]) - int(pictures[1][ch]))));
      }
      EXPECT_GT(drawn, 50u);
      EXPECT_LE(worst, 1u);
    }
  }
  glFogfv(GL_FOG_COLOR, std::array<float, 4>{0, 0, 0, 0}.data());
  glDisable(GL_FOG);
}

// Out of view a character sends no triangle yet leaves the GL state as drawn: swept across
// the left edge of the view and behind the eye, the picture is what drawing every triangle
// gives, and the state left (textures, units, current coordinates) is the same.
TEST_F(CharacterGL, OutOfViewSendsNothingAndLeavesTheSameState) {
  REQUIRE_GL(ctx);
  const fs::path game(KORVALIS_GAME_DIR);
  const bool generated = fs::exists(game / "fidget/fidget_head.md3");
  CharacterModel character;
  ASSERT_TRUE(Load(&character, generated ? game : dir, "fidget"));
  character.SetLegsAnimation("LEGS_WALK");
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glFrustum(-0.5, 0.5, -0.5, 0.5, 1, 1000);
  glMatrixMode(GL_MODELVIEW);
  glEnable(GL_TEXTURE_2D);
  GLuint query = 0;
  glGenQueries(1, &query);
  struct State {
    GLint unit = 0, texture0 = 0;
    GLboolean on0 = 0, on1 = 0;
    float texCoord[4] = {};
    bool operator==(const State& o) const {
      return unit == o.unit && texture0 == o.texture0 && on0 == o.on0 && on1 == o.on1 &&
             std::equal(texCoord, texCoord + 4, o.texCoord);
    }
  };
  auto draw = [&](CharacterModel* c, Vec3 at, GLuint* primitives, State* state) {
    gGame.multitexture.activeTexture(GL_TEXTURE0_ARB);
    glBindTexture(GL_TEXTURE_2D, 0);
    glTexCoord2f(-1, -1);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    glColor4f(1, 1, 1, 1);
    glLoadIdentity();
    glTranslatef(at.x, at.y, at.z);
    glScalef(1.5f, 1.5f, 1.5f);
    glRotatef(70, 0, 1, 0);
    glBeginQuery(GL_PRIMITIVES_GENERATED, query);
    c->DrawCharacter();
    glEndQuery(GL_PRIMITIVES_GENERATED);
    glGetQueryObjectuiv(query, GL_QUERY_RESULT, primitives);
    glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &state->unit);
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, state->texCoord);
    gGame.multitexture.activeTexture(GL_TEXTURE1_ARB);
    state->on1 = glIsEnabled(GL_TEXTURE_2D);
    gGame.multitexture.activeTexture(GL_TEXTURE0_ARB);
    state->on0 = glIsEnabled(GL_TEXTURE_2D);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &state->texture0);
    return ctx.ReadPixels();
  };
  int culled = 0, partly = 0;
  // Out through the left edge, out through the top edge (the feet last), and behind.
  const Vec3 starts[3] = {Vec3(-20, -10, -150), Vec3(0, 20, -150), Vec3(0, -10, 20)};
  const Vec3 steps[3] = {Vec3(-6, 0, 0), Vec3(0, 4, 0), Vec3(0, 0, 6)};
  for (int sweep = 0; sweep < 3; ++sweep) {
    for (int k = 0; k < 36; ++k) {
      const Vec3 at = starts[sweep] + steps[sweep] * static_cast<float>(k);
      SCOPED_TRACE("at " + std::to_string(at.x) + ", " + std::to_string(at.y) + ", " + std::to_string(at.z));
      fake.now += 13;
      CharacterModel all = character, some = character;
      all.viewCulling = false;
      GLuint sentAll = 0, sentSome = 0;
      State stateAll, stateSome;
      const std::vector<uint8_t> expected = draw(&all, at, &sentAll, &stateAll);
      const std::vector<uint8_t> actual = draw(&some, at, &sentSome, &stateSome);
      ASSERT_GT(sentAll, 0u);
      EXPECT_TRUE(expected == actual);
      EXPECT_TRUE(stateAll == stateSome);
      const bool anyPixel = std::any_of(expected.begin(), expected.end(), [](uint8_t v) { return v != 0 && v != 255; });  // alpha is 255
      culled += sentSome == 0;
      partly += sentSome > 0 && !anyPixel;  // near an edge the sphere is kept to be safe
      character.DrawCharacter();
    }
  }
  EXPECT_GT(culled, 30);  // behind the eye, far to the left and below
  EXPECT_GT(partly, 0);
  glDeleteQueries(1, &query);
}

}  // namespace
