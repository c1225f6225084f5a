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
