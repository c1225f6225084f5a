// Shader scripts read into entries (picture, blend, alpha test, clamp, culling, sky, nodraw), malformed scripts, the
// library over scripts/*.shader, and image files found by picture names in either format.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "level/shader_script.h"
#include "level/stage_motion.h"
#include "platform/files.h"
#include "render/texture_lookup.h"
#include "support/scratch_dir.h"

namespace {

struct ParseCase {
  const char* what;
  const char* script;
  const char* picture;
  SurfaceBlend blend;
  bool nodraw, sky;
  const char* skyBox;
  AlphaTest alphaTest = AlphaTest::None;
  bool clamp = false, twoSided = false;
};

TEST(ShaderScript, ReadsTheEntriesThatMatter) {
  const SurfaceBlend O = SurfaceBlend::Opaque, A = SurfaceBlend::Additive, B = SurfaceBlend::Alpha,
                     F = SurfaceBlend::Filter;
  const AlphaTest None = AlphaTest::None, GT0 = AlphaTest::GT0, LT = AlphaTest::LT128, GE = AlphaTest::GE128;
  const ParseCase cases[] = {
      {"first image stage", "t/a { { map $lightmap } { map t/a.tga blendFunc filter } { map t/b.tga } }", "t/a.tga", O,
       false, false, ""},
      {"$whiteimage is no picture", "t/a\n{\n{\nmap $whiteimage\n}\n{\nclampMap t/c.jpg\n}\n}", "t/c.jpg", O, false,
       false, "", None, true},
      {"animMap first frame", "t/a { qer_editorimage t/e.tga { animMap 8 t/f1.tga t/f2.tga } }", "t/f1.tga", O,
       false, false, ""},
      {"editor image last", "t/a { qer_editorimage t/e.tga { map $lightmap } }", "t/e.tga", O, false, false, ""},
      {"map wins over an earlier animMap", "t/a { { animMap 2 t/f.tga } { map t/m.tga } }", "t/m.tga", O, false,
       false, ""},
      {"blendFunc add", "t/a { { map t/g.tga\n blendFunc add } }", "t/g.tga", A, false, false, ""},
      {"GL_ONE GL_ONE", "t/a { { map t/g.tga\n BLENDFUNC gl_one GL_ONE } }", "t/g.tga", A, false, false, ""},
      {"blendFunc blend", "t/a { { map t/g.tga\n blendfunc BLEND } }", "t/g.tga", B, false, false, ""},
      {"alpha by GL names", "t/a { { map t/g.tga\n blendFunc GL_SRC_ALPHA GL_ONE_MINUS_SRC_ALPHA } }", "t/g.tga", B,
       false, false, ""},
      {"filter by GL names", "t/a { { map t/g.tga\n blendFunc GL_DST_COLOR GL_ZERO } }", "t/g.tga", F, false, false,
       ""},
      {"filter by the other GL names", "t/a { { map t/g.tga\n blendFunc gl_zero GL_SRC_COLOR } }", "t/g.tga", F, false,
       false, ""},
      {"an unknown blend pair is opaque", "t/a { { map t/g.tga\n blendFunc GL_DST_COLOR GL_ONE } }", "t/g.tga", O,
       false, false, ""},
      {"alphaFunc GT0", "t/a { { map t/g.tga\n alphaFunc gt0 } }", "t/g.tga", O, false, false, "", GT0},
      {"alphaFunc LT128", "t/a { { map t/g.tga\n alphaFunc LT128 } }", "t/g.tga", O, false, false, "", LT},
      {"alphaFunc GE128 with blend", "t/a { { map t/g.tga\n blendFunc blend\n alphaFunc GE128 } }", "t/g.tga", B,
       false, false, "", GE},
      {"alphaFunc of an unknown value or none", "t/a { { map t/g.tga\n alphaFunc GT128\n } { alphaFunc\n } }",
       "t/g.tga", O, false, false, "", None},
      {"an unknown alphaFunc keeps the known one", "t/a { { map t/g.tga\n alphaFunc LT128\n alphaFunc x } }",
       "t/g.tga", O, false, false, "", LT},
      {"alphaFunc of a later stage is not the picture's", "t/a { { map t/g.tga } { map $lightmap\n alphaFunc GT0 } }",
       "t/g.tga", O, false, false, "", None},
      {"animMap frame keeps its stage's test, never clamps", "t/a { { animMap 4 t/f.tga\n alphaFunc GE128 } }",
       "t/f.tga", O, false, false, "", GE},
      {"clampMap of $lightmap gives no clamp", "t/a { { clampMap $lightmap } { map t/m.tga } }", "t/m.tga", O, false,
       false, ""},
      {"cull none", "t/a { cull none\n { map t/g.tga } }", "t/g.tga", O, false, false, "", None, false, true},
      {"cull twosided", "t/a { CULL TwoSided }", "", O, false, false, "", None, false, true},
      {"cull disable", "t/a { cull disable }", "", O, false, false, "", None, false, true},
      {"cull none then back: one side", "t/a { cull none\n cull back }", "", O, false, false, ""},
      {"cull none then front: one side", "t/a { cull none\n cull FRONT }", "", O, false, false, ""},
      {"an unknown or bare cull changes nothing", "t/a { cull none\n cull sideways\n cull\n }", "", O, false, false, "",
       None, false, true},
      {"cull in a stage is no entry keyword", "t/a { { map t/g.tga\n cull none } }", "t/g.tga", O, false, false, ""},
      {"nodraw, keywords in capitals", "t/a { SurfaceParm NoDraw }", "", O, true, false, ""},
      {"sky with a box", "t/a { surfaceparm sky\n skyParms env/s 512 - }", "", O, false, true, "env/s"},
      {"sky without a box", "t/a { surfaceparm sky\n skyparms - 512 - }", "", O, false, true, ""},
      {"comments and unknown keywords", "// head\nt/a // name\n{ q3map_sun 1 1 1 /* { */ 100\n tcMod scroll 1 0\n"
       "{ map t/x.tga // { not a block\n rgbGen identity\n deformVertexes wave 1 2 } }",
       "t/x.tga", O, false, false, ""},
      {"a keyword short of its argument keeps the next line", "t/a { { map\n map t/y.tga } }", "t/y.tga", O, false,
       false, ""},
      {"deeper blocks skipped", "t/a { { { map t/no.tga } map t/yes.tga } }", "t/yes.tga", O, false, false, ""},
      {"quoted words", "\"t/a\" { { map \"t/q.tga\" } }", "t/q.tga", O, false, false, ""},
      {"braces against words", "t/a{{map t/b.tga}}", "t/b.tga", O, false, false, ""},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<ShaderEntry> entries;
    std::string error;
    ASSERT_TRUE(ParseShaderScript(c.script, &entries, &error)) << error;
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "t/a");
    EXPECT_EQ(entries[0].picture, c.picture);
    EXPECT_EQ(entries[0].blend, c.blend);
    EXPECT_EQ(entries[0].nodraw, c.nodraw);
    EXPECT_EQ(entries[0].sky, c.sky);
    EXPECT_EQ(entries[0].skyBox, c.skyBox);
    EXPECT_EQ(entries[0].alphaTest, c.alphaTest);
    EXPECT_EQ(entries[0].clamp, c.clamp);
    EXPECT_EQ(entries[0].twoSided, c.twoSided);
  }
}

// Stages as read, and which entries are drawn stage by stage: a picture with or without a
// lightmap is one pass; anything more, or anything that moves, is staged; a keyword the
// drawing does not know leaves the entry to its first picture.
TEST(ShaderScript, StagesAndWhoDrawsThem) {
  const struct {
    const char* script;
    size_t stages;
    bool staged;
    const char* unsupported;
  } cases[] = {
      {"t/a { { map $lightmap } { map t/p.tga\n blendFunc filter } }", 2, false, ""},
      {"t/a { { map t/p.tga } { map $lightmap\n blendFunc GL_DST_COLOR GL_ZERO } }", 2, false, ""},
      {"t/a { { map t/p.tga\n blendFunc add } }", 1, false, ""},
      {"t/a { { map $lightmap } { map t/p.tga\n blendFunc filter } { map t/g.tga\n blendFunc add } }", 3, true, ""},
      {"t/a { { map t/p.tga\n tcMod scroll 0.5 0\n tcMod scale 2 2 } }", 1, true, ""},
      {"t/a { { map t/p.tga\n rgbGen wave sin 0.5 0.5 0 1 } }", 1, true, ""},
      {"t/a { { animMap 4 t/a.tga t/b.tga } }", 1, true, ""},
      {"t/a { { map $whiteimage\n rgbGen const ( 1 0 0 ) } }", 1, true, ""},
      {"t/a { deformVertexes wave 64 sin 0 4 0 1\n { map t/p.tga } }", 1, true, ""},
      {"t/a { deformVertexes autosprite\n { map t/p.tga } }", 1, true, ""},
      {"t/a { { map t/p.tga\n tcGen environment } }", 1, false, "tcGen environment"},
      {"t/a { deformVertexes bulge 1 2 3\n { map t/p.tga } }", 1, false, "deformVertexes bulge"},
      {"t/a { { map t/p.tga\n rgbGen lightingDiffuse } }", 1, false, "rgbGen lightingDiffuse"},
      {"t/a { surfaceparm sky\n skyParms - 256 -\n { map t/c.tga\n tcMod scroll 0.1 0 } }", 1, false, ""},
      {"t/a { surfaceparm fog\n fogparms ( 0.5 0.5 1 ) 300 }", 0, false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script);
    std::vector<ShaderEntry> entries;
    std::string error;
    ASSERT_TRUE(ParseShaderScript(c.script, &entries, &error)) << error;
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].stages.size(), c.stages);
    EXPECT_EQ(NeedsStages(entries[0]), c.staged);
    EXPECT_EQ(entries[0].unsupported, c.unsupported);
  }
  // The values themselves.
  std::vector<ShaderEntry> entries;
  std::string error;
  ASSERT_TRUE(ParseShaderScript("t/a { surfaceparm fog\n fogparms (0.5 0.25 1) 300\n skyParms - 256 -\n"
                                "{ animMap 4 t/a.tga t/b.tga\n blendFunc GL_ONE GL_ONE_MINUS_SRC_ALPHA\n depthWrite\n"
                                " rgbGen wave triangle 0.2 0.8 0.1 2\n alphaGen const 0.5\n tcMod rotate 90\n"
                                " tcMod turb 0 0.1 0 1 } }",
                                &entries, &error));
  const ShaderEntry& e = entries.at(0);
  EXPECT_TRUE(e.fog);
  EXPECT_FLOAT_EQ(e.fogColour[1], 0.25f);
  EXPECT_FLOAT_EQ(e.fogDistance, 300);
  EXPECT_FLOAT_EQ(e.cloudHeight, 256);
  const ShaderStage& s = e.stages.at(0);
  EXPECT_EQ(s.frames, (std::vector<std::string>{"t/a.tga", "t/b.tga"}));
  EXPECT_FLOAT_EQ(s.frameRate, 4);
  EXPECT_TRUE(s.blends && s.depthWrite);
  EXPECT_EQ(s.blendDestination, 0x0303u);  // GL_ONE_MINUS_SRC_ALPHA
  EXPECT_EQ(s.colour, ColourSource::Wave);
  EXPECT_EQ(s.colourWave.function, WaveFunction::Triangle);
  EXPECT_FLOAT_EQ(s.colourWave.frequency, 2);
  EXPECT_FLOAT_EQ(s.constant[3], 0.5f);
  ASSERT_EQ(s.texMods.size(), 2u);
  EXPECT_EQ(s.texMods[0].kind, TexModKind::Rotate);
  EXPECT_EQ(s.texMods[1].kind, TexModKind::Turb);
  EXPECT_FLOAT_EQ(s.texMods[1].wave.amplitude, 0.1f);
}

// Waves at set times, tcMods in the order written, and animation frames.
TEST(StageMotion, WavesTexModsAndFrames) {
  const struct {
    WaveFunction function;
    double seconds;
    float value;
  } waves[] = {{WaveFunction::Sin, 0.25, 1.5f},     {WaveFunction::Sin, 0.75, 0.5f},
               {WaveFunction::Triangle, 0.125, 1.25f}, {WaveFunction::Square, 0.6, 0.5f},
               {WaveFunction::Sawtooth, 0.3, 1.15f}, {WaveFunction::InverseSawtooth, 0.3, 1.35f}};
  for (const auto& w : waves)
    EXPECT_NEAR(WaveValue(Wave{w.function, 1, 0.5f, 0, 1}, w.seconds), w.value, 1e-5) << int(w.function);
  EXPECT_NEAR(WaveValue(Wave{WaveFunction::Sin, 0, 1, 0.25f, 2}, 0), 0, 1e-5);  // phase 0.25 at twice a second

  // (s, t) as stored: t turned over. Scroll then scale differs from scale then scroll.
  const float at[3] = {0, 0, 0};
  TexMod scroll, scale, rotate;
  scroll.kind = TexModKind::Scroll, scroll.values[0] = 0.25f, scroll.values[1] = 0.5f;
  scale.kind = TexModKind::Scale, scale.values[0] = 2, scale.values[1] = 2;
  rotate.kind = TexModKind::Rotate, rotate.values[0] = 90;
  const struct {
    std::vector<TexMod> mods;
    double seconds;
    float s, t, wantS, wantT;
  } moves[] = {
      {{scroll}, 1, 0.1f, -0.2f, 0.35f, -0.7f},
      {{scroll, scale}, 1, 0, 0, 0.5f, -1},
      {{scale, scroll}, 1, 0, 0, 0.25f, -0.5f},
      {{scroll}, 1000.5, 0, 0, 0.125f, -0.25f},  // only fractions of whole repeats
      {{rotate}, 1, 0.5f, -0.5f, 0.5f, -0.5f},   // the centre stays
      {{rotate}, 1, 1, -0.5f, 0.5f, 0},          // a quarter turn
  };
  for (const auto& m : moves) {
    float st[2] = {m.s, m.t};
    MoveTexCoord(m.mods, m.seconds, at, st);
    EXPECT_NEAR(st[0], m.wantS, 1e-4);
    EXPECT_NEAR(st[1], m.wantT, 1e-4);
  }
  ShaderStage anim;
  anim.frames = {"a", "b", "c"};
  anim.frameRate = 2;
  EXPECT_EQ(AnimationFrame(anim, 0.2), 0u);
  EXPECT_EQ(AnimationFrame(anim, 1.2), 2u);
  EXPECT_EQ(AnimationFrame(anim, 1.6), 0u);
  anim.frameRate = 0;
  EXPECT_EQ(AnimationFrame(anim, 5), 0u);
}

TEST(ShaderScript, MalformedScriptsKeepTheEntriesBeforeTheFault) {
  struct Bad {
    std::string script;
    size_t kept;
  };
  const std::string deep = "t/a { } t/b " + std::string(40, '{') + std::string(40, '}');
  const Bad cases[] = {
      {"t/a { { map t/a.tga } } t/b { { map t/b.tga }", 1},  // not closed
      {"t/a { } { }", 1},                                     // a block without a name
      {"t/a { } t/b t/c { }", 1},                             // a name without a block
      {deep, 1},                                              // too deep
      {"t/a { } t/b", 1},                                     // a name at the very end
  };
  for (const Bad& c : cases) {
    SCOPED_TRACE(c.script.substr(0, 60));
    std::vector<ShaderEntry> entries;
    std::string error;
    EXPECT_FALSE(ParseShaderScript(c.script, &entries, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(entries.size(), c.kept);
  }
  // Empty, comment-only and stray closing braces are no fault.
  for (const char* fine : {"", "   // nothing\n", "/* open comment", "} t/a { }"}) {
    std::vector<ShaderEntry> entries;
    std::string error;
    EXPECT_TRUE(ParseShaderScript(fine, &entries, &error)) << fine << ": " << error;
  }
  // A huge word is cut, not copied whole.
  std::vector<ShaderEntry> entries;
  std::string error;
  ASSERT_TRUE(ParseShaderScript(std::string(100000, 'x') + " { }", &entries, &error));
  EXPECT_EQ(entries.at(0).name.size(), MaxShaderTokenLength);
}

void Write(const std::string& path, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

TEST(ShaderScript, LibraryReadsEveryScriptFirstEntryWins) {
  InScratch scratch("korvalis_shader_library");
  Write("scripts/a.shader", "textures/One { { map one.tga } }\ntextures/two { { map first.tga } }");
  Write("scripts/b.SHADER", "textures/two { { map second.tga } } textures/three { surfaceparm nodraw }");
  Write("scripts/c.shader", "textures/four { surfaceparm sky } textures/broken {");
  Write("scripts/notes.txt", "textures/five { }");
  testing::internal::CaptureStderr();
  const ShaderLibrary library = LoadShaderLibrary();
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("c.shader"), std::string::npos) << said;  // one line for the malformed script
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  ASSERT_NE(library.Find("TEXTURES\\one"), nullptr);
  EXPECT_EQ(library.Find("textures/two")->picture, "first.tga");
  EXPECT_TRUE(library.Find("textures/three")->nodraw);
  EXPECT_TRUE(library.Find("textures/four")->sky);
  EXPECT_EQ(library.Find("textures/broken"), nullptr);
  EXPECT_EQ(library.Find("textures/five"), nullptr);
}

TEST(TextureLookup, FindsEitherFormatWithOrWithoutExtension) {
  InScratch scratch("korvalis_texture_lookup");
  Write("t/jpgonly.jpg", "x");
  Write("t/tgaonly.tga", "x");
  Write("t/both.jpg", "x");
  Write("t/both.tga", "x");
  const struct {
    const char* name;
    const char* file;
  } cases[] = {
      {"t/jpgonly", "t/jpgonly.jpg"},   {"t/tgaonly", "t/tgaonly.tga"},     {"t/both", "t/both.jpg"},
      {"t/jpgonly.tga", "t/jpgonly.jpg"}, {"t/tgaonly.jpg", "t/tgaonly.tga"}, {"t/both.tga", "t/both.tga"},
      {"t/both.jpg", "t/both.jpg"},     {"t/missing", ""},                  {"t/missing.tga", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FindImageFile(c.name), c.file) << c.name;

  // Once the folder is mounted, names are found whatever their case and separators.
  std::string error;
  ASSERT_TRUE(files::MountDirectory(".", &error)) << error;
  EXPECT_EQ(FindImageFile("T\\JpgOnly"), "T\\JpgOnly.jpg");
  EXPECT_EQ(FindImageFile("t/TGAONLY.JPG"), "t/TGAONLY.tga");
  EXPECT_TRUE(files::Exists(FindImageFile("T/BOTH")));
  files::UnmountAll();
}

}  // namespace
