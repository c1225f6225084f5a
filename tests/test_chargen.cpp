// The character generator's output in the game folder: the same bytes on every run; models,
// skins and animation files that the game's strict readers accept, with every clip inside
// its model's frames and the tags on every frame; soles on the floor when standing, walk
// and run cycles without a seam, outer faces wound to survive the game's culling. With
// KORVALIS_SHOTS_DIR set, also draws docs/characters.png through DrawCharacter.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <tuple>

#include "core/character.h"
#include "core/game_state.h"
#include "models/md3_loader.h"
#include "models/model_files.h"
#include "support/fake_platform.h"
#include "support/gl_context.h"
#include "support/scratch_dir.h"
#include "tools/chargen/bake.h"
#include "tools/chargen/clips.h"
#include "tools/chargen/skeleton.h"

namespace {

namespace fs = std::filesystem;
const fs::path Game(KORVALIS_GAME_DIR);

std::vector<uint8_t> Bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}
int32_t I32(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<int32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24);
}

int FramesOf(ClipKind a, ClipKind b) {
  int n = 0;
  for (const ClipInfo& c : Clips) n += c.kind == a || c.kind == b ? c.frames : 0;
  return n;
}

// Reads a model through the game's reader and checks what it does not: the header's block
// offsets in file order, the end offset at the end of the file.
Md3Model LoadChecked(const fs::path& path) {
  std::vector<uint8_t> b = Bytes(path);
  Md3Model model;
  std::string error;
  EXPECT_TRUE(ParseMd3(b.data(), b.size(), &model, &error)) << path << ": " << error;
  if (b.size() < 108) return model;
  const int32_t frames = I32(b, 76), tags = I32(b, 80);
  EXPECT_EQ(I32(b, 92), 108);
  EXPECT_EQ(I32(b, 96), 108 + frames * 56);
  EXPECT_EQ(I32(b, 100), 108 + frames * 56 + frames * tags * 112);
  EXPECT_EQ(I32(b, 104), static_cast<int32_t>(b.size()));
  return model;
}

Vec3 Vertex(const Md3Mesh& m, int frame, int v) { return m.vertices[static_cast<size_t>(frame) * m.vertexCount + v]; }

// Largest distance any vertex moves from frame a to frame b.
float Step(const Md3Model& model, int a, int b) {
  float most = 0;
  for (const Md3Mesh& m : model.meshes)
    for (int v = 0; v < m.vertexCount; ++v) most = std::max(most, Magnitude(Vertex(m, a, v) - Vertex(m, b, v)));
  return most;
}

float Lowest(const Md3Model& model, int frame) {
  float z = 1e9f;
  for (const Md3Mesh& m : model.meshes)
    for (int v = 0; v < m.vertexCount; ++v) z = std::min(z, Vertex(m, frame, v).z);
  return z;
}

// First frame of a clip in the model that holds it: the BOTH_ frames, then the torso or
// the legs frames.
int ModelStart(int clip) {
  int start = 0;
  for (int k = 0; k < clip; ++k)
    if (Clips[k].kind == ClipKind::Both || Clips[k].kind == Clips[clip].kind) start += Clips[k].frames;
  return start;
}

TEST(Chargen, OutputIsByteIdenticalOverTwoRuns) {
  const fs::path tool = fs::path(KORVALIS_BINARY_DIR) / "tools/korvalis_chargen";
  const fs::path a = ScratchDir("korvalis_chargen_a");
  const fs::path b = ScratchDir("korvalis_chargen_b");
  for (const fs::path& dir : {a, b}) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    ASSERT_EQ(std::system((tool.string() + " " + dir.string()).c_str()), 0);
  }
  int files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(a)) {
    if (!entry.is_regular_file()) continue;
    const fs::path relative = fs::relative(entry.path(), a);
    EXPECT_EQ(Bytes(entry.path()), Bytes(b / relative)) << relative;
    EXPECT_EQ(Bytes(entry.path()), Bytes(Game / relative)) << relative << " differs from the build's";
    ++files;
  }
  EXPECT_EQ(files, 23);
  fs::remove_all(a);
  fs::remove_all(b);
}

TEST(Chargen, ModelsHoldTheirFramesTagsAndClips) {
  for (const char* name : {"fidget", "jack"}) {
    SCOPED_TRACE(name);
    const fs::path dir = Game / name;
    Md3Model lower = LoadChecked(dir / (std::string(name) + "_lower.md3"));
    Md3Model upper = LoadChecked(dir / (std::string(name) + "_upper.md3"));
    Md3Model head = LoadChecked(dir / (std::string(name) + "_head.md3"));
    EXPECT_EQ(lower.frameCount, FramesOf(ClipKind::Both, ClipKind::Legs));
    EXPECT_EQ(upper.frameCount, FramesOf(ClipKind::Both, ClipKind::Torso));
    EXPECT_EQ(head.frameCount, 1);
    // Tags on every frame, with proper rotations for axes.
    const struct {
      const Md3Model* model;
      std::vector<std::string> names;
    } tagged[] = {{&lower, {"tag_torso"}}, {&upper, {"tag_head", "tag_weapon"}}};
    for (const auto& t : tagged) {
      ASSERT_EQ(t.model->tagCount, static_cast<int>(t.names.size()));
      for (int f = 0; f < t.model->frameCount; ++f) {
        for (int k = 0; k < t.model->tagCount; ++k) {
          const Md3Tag& tag = t.model->tags[f * t.model->tagCount + k];
          ASSERT_EQ(tag.name, t.names[k]) << "frame " << f;
          Vec3 x(tag.axes[0], tag.axes[1], tag.axes[2]), y(tag.axes[3], tag.axes[4], tag.axes[5]);
          Vec3 z(tag.axes[6], tag.axes[7], tag.axes[8]);
          EXPECT_NEAR(Magnitude(Cross(x, y) - z), 0, 1e-4) << tag.name << " frame " << f;
          EXPECT_NEAR(Dot(x, x) + Dot(y, y), 2, 1e-4);
        }
      }
    }
    // Outside faces clockwise seen from outside: each closed surface encloses a negative volume.
    for (const Md3Model* model : {&lower, &upper, &head}) {
      for (const Md3Mesh& m : model->meshes) {
        double volume = 0;
        for (const Md3Face& face : m.faces) {
          Vec3 a = Vertex(m, 0, face.vertexIndex[0]), b = Vertex(m, 0, face.vertexIndex[1]);
          Vec3 c = Vertex(m, 0, face.vertexIndex[2]);
          volume += Dot(a, Cross(b, c)) / 6.0;
        }
        EXPECT_LT(volume, -50) << m.name;
      }
    }
    // The skins name each mesh and an existing picture; the clips fit their models.
    for (auto [model, part] : {std::pair{&lower, "lower"}, {&upper, "upper"}, {&head, "head"}}) {
      ApplySkinFile(model, (dir / (std::string(name) + "_" + part + ".skin")).c_str());
      ASSERT_EQ(model->meshes.size(), 1u);
      ASSERT_TRUE(model->meshes[0].hasTexture);
      const std::vector<uint8_t> tga = Bytes(dir / model->materials[model->meshes[0].materialId].fileName);
      ASSERT_EQ(tga.size(), 18u + 256 * 256 * 3) << part;
      EXPECT_EQ(tga[2], 2);
      EXPECT_EQ(tga[16], 24);
    }
    std::string error;
    std::vector<uint8_t> cfg = Bytes(dir / (std::string(name) + "_animation.cfg"));
    ASSERT_TRUE(ParseAnimationConfig(std::string_view(reinterpret_cast<const char*>(cfg.data()), cfg.size()),
                                     &upper, &lower, &error)) << error;
    EXPECT_EQ(lower.animationCount, 18);
    EXPECT_EQ(upper.animationCount, 13);
    int both = 0, torso = 0, legs = 0;
    for (const ClipInfo& c : Clips) {
      const bool isLegs = c.kind == ClipKind::Legs, isTorso = c.kind == ClipKind::Torso;
      const Md3Model& model = isLegs ? lower : upper;
      const AnimationClip& clip = model.animations[isLegs ? 6 + legs : isTorso ? 6 + torso : both];
      EXPECT_EQ(clip.name, c.name);
      EXPECT_EQ(clip.startFrame, ModelStart(static_cast<int>(&c - Clips))) << c.name;
      EXPECT_EQ(clip.endFrame - clip.startFrame, c.frames) << c.name;
      EXPECT_LE(clip.endFrame, model.frameCount) << c.name;
      EXPECT_GT(clip.framesPerSecond, 0);
      (isLegs ? legs : isTorso ? torso : both)++;
    }
  }
  // The weapon: one frame, a muzzle tag, its shader line naming its picture.
  Md3Model weapon = LoadChecked(Game / "weapons/grenadel.md3");
  EXPECT_EQ(weapon.frameCount, 1);
  ASSERT_EQ(weapon.tagCount, 1);
  EXPECT_STREQ(weapon.tags[0].name, "tag_flash");
  ASSERT_TRUE(ApplyShaderFile(&weapon, (Game / "weapons/grenadel.shader").c_str()));
  ASSERT_EQ(weapon.meshes.size(), 1u);
  ASSERT_TRUE(weapon.meshes[0].hasTexture);
  EXPECT_EQ(Bytes(Game / "weapons" / weapon.materials[weapon.meshes[0].materialId].fileName).size(), 18u + 256 * 256 * 3);
}

// Soles on the floor in the standing clips, looping clips without a jump at the seam, and
// the dead lying down.
TEST(Chargen, FeetOnTheFloorAndSeamlessCycles) {
  for (const char* name : {"fidget", "jack"}) {
    SCOPED_TRACE(name);
    const fs::path dir = Game / name;
    Md3Model lower = LoadChecked(dir / (std::string(name) + "_lower.md3"));
    Md3Model upper = LoadChecked(dir / (std::string(name) + "_upper.md3"));
    std::vector<uint8_t> cfg = Bytes(dir / (std::string(name) + "_animation.cfg"));
    std::string error;
    ASSERT_TRUE(ParseAnimationConfig(std::string_view(reinterpret_cast<const char*>(cfg.data()), cfg.size()),
                                     &upper, &lower, &error));
    auto find = [](const Md3Model& m, const char* clip) {
      for (const AnimationClip& c : m.animations)
        if (c.name == clip) return c;
      return AnimationClip{};
    };
    for (const char* clip : {"LEGS_IDLE", "LEGS_WALK", "LEGS_TURN"}) {
      const AnimationClip c = find(lower, clip);
      for (int f = c.startFrame; f < c.endFrame; ++f) EXPECT_NEAR(Lowest(lower, f), SoleZ, 0.05) << clip << " " << f;
    }
    std::printf("%s: lowest point standing %.3f (floor at %.3f)\n", name, Lowest(lower, find(lower, "LEGS_IDLE").startFrame), SoleZ);
    for (auto [model, clip] : {std::pair{&lower, "LEGS_WALK"}, {&lower, "LEGS_RUN"}, {&lower, "LEGS_IDLE"},
                               {&upper, "TORSO_STAND"}, {&upper, "TORSO_ATTACK"}}) {
      const AnimationClip c = find(*model, clip);
      float largest = 0;
      for (int f = c.startFrame; f + 1 < c.endFrame; ++f) largest = std::max(largest, Step(*model, f, f + 1));
      const float seam = Step(*model, c.endFrame - 1, c.startFrame);
      EXPECT_GT(largest, 0.03f) << clip << " does not move";
      EXPECT_LE(seam, largest * 1.2f) << clip;
      std::printf("%s %s: largest step %.2f, seam %.2f units\n", name, clip, largest, seam);
    }
    for (const char* clip : {"BOTH_DEAD1", "BOTH_DEAD2", "BOTH_DEAD3"}) {
      const Md3Tag& torso = lower.tags[find(lower, clip).startFrame];
      EXPECT_LT(torso.origin.z, SoleZ + 13) << clip << ": the body does not lie down";
      EXPECT_LT(std::fabs(torso.axes[8]), 0.5f) << clip << ": the torso is not lying";
    }
  }
}

// Every piece of both figures and of the weapon is a closed surface wound one way: each
// edge is met once in each direction.
TEST(Chargen, PiecesAreClosedAndConsistentlyWound) {
  Figure fidget = MakeFidget(), jack = MakeJack();
  const Part launcher = MakeLauncher();
  const std::initializer_list<const Part*> parts = {&fidget.lower, &fidget.upper, &fidget.head, &jack.lower,
                                                    &jack.upper,  &jack.head,    &launcher};
  for (const Part* part : parts) {
    for (const PieceRef& ref : part->pieces) {
      const Region& region = part->regions[ref.region];
      Piece piece = BuildLoft(region.loft, ref.place, ref.bone, region.rect, part->atlasSize, part->atlasSize);
      auto key = [&](int i) {
        Vec3 p = piece.positions[i] * 1024.0f;
        return std::make_tuple(std::lround(p.x), std::lround(p.y), std::lround(p.z));
      };
      std::map<std::pair<std::tuple<long, long, long>, std::tuple<long, long, long>>, int> edges;
      for (size_t t = 0; t < piece.triangles.size(); t += 3)
        for (int k = 0; k < 3; ++k) ++edges[{key(piece.triangles[t + k]), key(piece.triangles[t + (k + 1) % 3])}];
      int open = 0;
      for (const auto& [edge, count] : edges) {
        auto back = edges.find({edge.second, edge.first});
        open += count != 1 || back == edges.end() || back->second != 1;
      }
      EXPECT_EQ(open, 0) << part->surface << " region " << ref.region;
    }
  }
}

// The hands hold the weapon in every frame where the pose puts them on it (the arms reach).
TEST(Chargen, HandsStayOnTheWeapon) {
  for (const Figure& f : {MakeFidget(), MakeJack()}) {
    for (int c = 0; c < ClipCount; ++c) {
      for (int k = 0; k < Clips[c].frames; ++k) {
        const Pose pose = ClipPose(c, k, f.gait);
        const BodyFrames body = PoseBody(f.body, pose);
        const Vec3 right = body.bone[BoneHandR].Point(Vec3(0, 0, -0.5f * f.body.hand));
        EXPECT_LT(Magnitude(right - body.bone[BoneWeapon].origin), 0.05f) << f.name << " " << Clips[c].name << " " << k;
        if (pose.leftRelease > 0) continue;
        const Vec3 left = body.bone[BoneHandL].Point(Vec3(0, 0, -0.5f * f.body.hand));
        EXPECT_LT(Magnitude(left - body.bone[BoneWeapon].Point(f.body.foregrip)), 0.05f)
            << f.name << " " << Clips[c].name << " " << k;
      }
    }
  }
}

// Both characters drawn as the game draws a bot: lowered by 13, scaled by 1.5, turned by
// the heading, the floor 54 units below the bot's position.
class ChargenGL : public ::testing::Test {
 protected:
  static constexpr int CellWidth = 260, CellHeight = 340, Columns = 6;
  struct Shot {
    const char* label;
    const char* torso;
    int torsoFrame;
    const char* legs;
    int legsFrame;
    float lookX, lookY;  // where the camera looks (the bodies lying down are off centre)
    float eyeX, eyeZ;    // where it stands, from the point it looks at
  };
  static constexpr Shot Shots[Columns] = {
      {"stand", "TORSO_STAND", 0, "LEGS_IDLE", 0, 0, 27, 95, 80},
      {"walk", "TORSO_STAND", 4, "LEGS_WALK", 3, 0, 27, 95, 80},
      {"run", "TORSO_STAND", 2, "LEGS_RUN", 2, 0, 27, 95, 80},
      {"attack", "TORSO_ATTACK", 1, "LEGS_IDLE", 5, 0, 27, 95, 80},
      {"death", "BOTH_DEATH1", 7, "BOTH_DEATH1", 7, -6, 24, 95, 80},
      {"dead", "BOTH_DEAD1", 0, "BOTH_DEAD1", 0, -30, 8, 20, 150}};

  void SetUp() override {
    if (ctx.ok()) ResetGameStateKeepingGL();
    fake.now = 100000;
  }
  bool Load(CharacterModel* c, const char* name) {
    return c->LoadCharacter((Game / name).c_str(), name) &&
           c->LoadCharacterWeapon((Game / "weapons").c_str(), "grenadel");
  }
  // Holds each body on frame k of its clip (no blending: the clock does not move).
  void Pose(CharacterModel* c, const Shot& shot) {
    c->SetTorsoAnimation(shot.torso);
    c->SetLegsAnimation(shot.legs);
    c->upper.currentFrame += shot.torsoFrame;
    c->lower.currentFrame += shot.legsFrame;
    c->upper.lastFrameTime = c->lower.lastFrameTime = fake.now;
  }
  // One cell: a floor at height 0 and the character at bot height 54, seen from the front
  // and its right, culled and depth-tested as in the game.
  void DrawCell(CharacterModel* c, int x, int y, Vec3 eye, float lookX = 0, float lookY = 27) {
    glViewport(x, y, CellWidth, CellHeight);
    glScissor(x, y, CellWidth, CellHeight);
    glEnable(GL_SCISSOR_TEST);
    glClearColor(0.16f, 0.18f, 0.21f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(33, static_cast<double>(CellWidth) / CellHeight, 5, 1000);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(eye.x + lookX, eye.y, eye.z, lookX, lookY, 0, 0, 1, 0);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    if (gGame.multitexture.activeTexture) {
      for (unsigned unit : {0x84C1u, 0x84C0u}) {  // GL_TEXTURE1_ARB, then GL_TEXTURE0_ARB
        gGame.multitexture.activeTexture(unit);
        glDisable(GL_TEXTURE_2D);
      }
    }
    glBegin(GL_QUADS);
    for (int i = -10; i < 10; ++i) {
      for (int k = -10; k < 10; ++k) {
        float shade = (i + k) & 1 ? 0.42f : 0.36f;
        glColor3f(shade, shade, shade * 1.05f);
        glVertex3f(i * 12.0f, 0, k * 12.0f);
        glVertex3f(i * 12.0f, 0, k * 12.0f + 12);
        glVertex3f(i * 12.0f + 12, 0, k * 12.0f + 12);
        glVertex3f(i * 12.0f + 12, 0, k * 12.0f);
      }
    }
    glEnd();
    glColor3f(1, 1, 1);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    glPushMatrix();
    glTranslatef(0, 54 - 13, 0);
    glScalef(1.5f, 1.5f, 1.5f);
    glRotatef(360, 0, 1, 0);
    c->DrawCharacter();
    glPopMatrix();
    glDisable(GL_SCISSOR_TEST);
  }

  GLTestContext ctx{CellWidth * Columns, CellHeight * 2};
  FakePlatform fake;
};
constexpr ChargenGL::Shot ChargenGL::Shots[];

// Both characters load from the game folder without a message, and the outside of every part
// is what survives the game's front-face culling: drawing with it gives the same nearest
// depths as drawing everything.
TEST_F(ChargenGL, BothLoadAndTheirOutsideSurvivesTheGameCulling) {
  REQUIRE_GL(ctx);
  for (const char* name : {"fidget", "jack"}) {
    SCOPED_TRACE(name);
    CharacterModel c;
    ASSERT_TRUE(Load(&c, name));
    for (const std::string& m : fake.messages) ADD_FAILURE() << m;
    EXPECT_EQ(c.textureFiles.size(), 4u);  // three skins and the weapon's
    Pose(&c, Shots[0]);
    auto depths = [&](bool cull) {
      DrawCell(&c, 0, 0, Vec3(90, 45, 85));
      if (!cull) {  // again without culling, over the same floor
        glClear(GL_DEPTH_BUFFER_BIT);
        glDisable(GL_CULL_FACE);
        glPushMatrix();
        glTranslatef(0, 41, 0);
        glScalef(1.5f, 1.5f, 1.5f);
        c.DrawCharacter();
        glPopMatrix();
      }
      std::vector<float> d(CellWidth * CellHeight);
      glReadPixels(0, 0, CellWidth, CellHeight, GL_DEPTH_COMPONENT, GL_FLOAT, d.data());
      return d;
    };
    std::vector<float> culled = depths(true), all = depths(false);
    int covered = 0, deeper = 0;
    for (size_t i = 0; i < all.size(); ++i) {
      if (all[i] >= 1.0f) continue;
      ++covered;
      deeper += culled[i] > all[i] + 1e-5f;
    }
    EXPECT_GT(covered, 3000);
    EXPECT_LT(deeper, covered / 100) << "inside faces show through";
  }
}

// Writes docs/characters.png when KORVALIS_SHOTS_DIR names a directory.
TEST_F(ChargenGL, Pictures) {
  if (!std::getenv("KORVALIS_SHOTS_DIR")) GTEST_SKIP() << "set KORVALIS_SHOTS_DIR to write docs/characters.png";
  REQUIRE_GL(ctx);
  const char* names[2] = {"fidget", "jack"};
  for (int row = 0; row < 2; ++row) {
    CharacterModel c;
    ASSERT_TRUE(Load(&c, names[row]));
    for (int col = 0; col < Columns; ++col) {
      Pose(&c, Shots[col]);
      DrawCell(&c, col * CellWidth, (1 - row) * CellHeight, Vec3(Shots[col].eyeX, 48, Shots[col].eyeZ),
               Shots[col].lookX, Shots[col].lookY);
    }
  }
  std::string labels = "-font /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf -fill white -pointsize 18";
  for (int row = 0; row < 2; ++row)
    for (int col = 0; col < Columns; ++col)
      labels += " -annotate +" + std::to_string(col * CellWidth + 10) + "+" +
                std::to_string(row * CellHeight + 24) + " '" + names[row] + ": " + Shots[col].label + "'";
  SaveShot(ctx.ReadPixels(), CellWidth * Columns, CellHeight * 2, "characters", labels);
}

}  // namespace
