// Brush models drawn where their placements put them: a door panel and a plank (stored around
// its origin) in front of the camera, seen at rest, moved up, hidden and turned a quarter.
#include <gtest/gtest.h>

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

#include <string>
#include <vector>

#include "core/game_state.h"
#include "core/level.h"
#include "support/compiled_level.h"
#include "support/gl_context.h"

namespace {

constexpr int Size = 64;

// The camera at the origin looks along -z; the panel covers the middle 200 units away, the
// plank (200 wide, 8 deep, turning about the vertical through (0 -40 -200)) a row below it.
const char* Source =
    "material floor textures/floor 128\n"
    "material red textures/red 128\n"
    "box floor -400 -320 -400  400 -300 400\n"
    "entity_begin\n key classname func_door\n box red -40 -20 -208  40 20 -200\nentity_end\n"
    "entity_begin\n key classname func_rotating\n key origin 0 -40 -200\n"
    " box red -100 -44 -204  100 -36 -196\nentity_end\n";

// Compiles and loads `source`, its "textures/red" faces solid red and all others blue.
void LoadRedAndBlue(const std::string& source, Level* level) {
  std::string error;
  ASSERT_TRUE(CompileAndLoad(source, CompileOptions(), level, &error)) << error;
  for (size_t i = 0; i < level->textures.size(); ++i)
    level->textureNames[i] = std::string(level->textures[i].name) == "textures/red" ? SolidTexture(255, 0, 0)
                                                                                     : SolidTexture(0, 0, 255);
}

}  // namespace

TEST(MoversGL, BrushModelsAreDrawnWhereTheirPlacementsPutThem) {
  ResetGameState();  // before the context: it fills in the multitexture entry points
  GLTestContext gl(Size, Size);
  REQUIRE_GL(gl);
  Level level;
  ASSERT_NO_FATAL_FAILURE(LoadRedAndBlue(Source, &level));
  ASSERT_EQ(level.models.size(), 3u);
  gGame.lightmapsOn = false;
  gGame.fogOn = false;

  // Where the panel (the middle pixel) and the plank's right end (60 right, 40 down, 200 away:
  // x 0.3, y -0.2 of the half view) show.
  const int panel = (Size / 2) * Size + Size / 2;
  const int plank = static_cast<int>(Size / 2 * (1 - 0.2f)) * Size + static_cast<int>(Size / 2 * (1 + 0.3f));
  struct Case {
    const char* what;
    ModelPlacement door, fan;
    bool panelRed, plankRed;
  } cases[] = {
      {"at rest", {}, {Vec3(0, -40, -200)}, true, true},
      {"the door raised", {Vec3(0, 300, 0)}, {Vec3(0, -40, -200)}, false, true},
      {"the door hidden", {Vec3(), -1, 0, true}, {Vec3(0, -40, -200)}, false, true},
      {"the plank turned a quarter", {}, {Vec3(0, -40, -200), 1, 90}, true, false},
      {"the plank turned half round", {}, {Vec3(0, -40, -200), 1, 180}, true, true},
  };
  for (const Case& c : cases) {
    level.modelPlacements[1] = c.door;
    level.modelPlacements[2] = c.fan;
    glClearColor(0, 0, 0, 1);
    SetSquareView(Size, 1, 4000);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    LookAt(Vec3(0, 0, 0), Vec3(0, 0, -1));
    glColor4f(1, 1, 1, 1);
    level.RenderLevel(Vec3(0, 0, 0));
    const std::vector<uint8_t> pixels = gl.ReadPixels();
    auto red = [&](int at) { return pixels[at * 4] > 200 && pixels[at * 4 + 2] < 50; };
    EXPECT_EQ(red(panel), c.panelRed) << c.what;
    EXPECT_EQ(red(plank), c.plankRed) << c.what;
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Brush models drawn before the world's faces give the same picture while the depth test
// decides what shows (and then the wall behind the door is not shaded where the door hides
// it), and also without the depth test, where they keep their place after the world.
TEST(MoversGL, ModelsFirstGiveTheSamePicture) {
  ResetGameState();
  GLTestContext gl(Size, Size);
  REQUIRE_GL(gl);
  const char* source =
      "material floor textures/floor 128\n"
      "material red textures/red 128\n"
      "box floor -400 -400 -420  400 400 -400\n"
      "entity_begin\n key classname func_door\n box red -40 -20 -208  40 20 -200\nentity_end\n";
  Level level;
  ASSERT_NO_FATAL_FAILURE(LoadRedAndBlue(source, &level));
  gGame.lightmapsOn = false;
  gGame.fogOn = false;
  glClearColor(0, 0, 0, 1);
  SetSquareView(Size, 1, 4000);
  for (const bool depthTest : {true, false}) {
    depthTest ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    std::vector<uint8_t> pictures[2];
    GLuint passed[2] = {0, 0};
    for (const bool first : {false, true}) {
      level.modelsFirst = first;
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
      LookAt(Vec3(0, 0, 0), Vec3(0, 0, -1));
      glColor4f(1, 1, 1, 1);
      GLuint query = 0;
      glGenQueries(1, &query);
      glBeginQuery(GL_SAMPLES_PASSED, query);
      level.RenderLevel(Vec3(0, 0, 0));
      glEndQuery(GL_SAMPLES_PASSED);
      glGetQueryObjectuiv(query, GL_QUERY_RESULT, &passed[first]);
      glDeleteQueries(1, &query);
      pictures[first] = gl.ReadPixels();
    }
    EXPECT_TRUE(pictures[0] == pictures[1]) << "depth test " << depthTest;
    if (depthTest) {
      EXPECT_LT(passed[1], passed[0]);
    }
    const int panel = (Size / 2) * Size + Size / 2;
    EXPECT_GT(pictures[1][panel * 4], 200) << "depth test " << depthTest;  // the door shows
  }
  glEnable(GL_DEPTH_TEST);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
