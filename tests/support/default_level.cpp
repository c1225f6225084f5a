// The default-level GL fixture: the game's own level loaded from the game folder.
#include "support/default_level.h"

#include <GL/gl.h>
#include <unistd.h>

#include <fstream>

#include "app/game.h"
#include "core/game_state.h"

void DefaultLevelTest::SetUp() {
  ResetGameState();
  gl_.reset(new GLTestContext(width_, height_));
  if (!gl_->ok()) return;
  InitializeGL(width_, height_);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
  std::ifstream config(KORVALIS_GAME_DIR "/Config.ini");
  std::string word, path;
  config >> word >> path >> word >> gGame.lightmapBrightness;
  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  previousDir_ = here;
  ASSERT_EQ(chdir(KORVALIS_GAME_DIR), 0);
  loaded_ = gGame.level.LoadBSP(path.c_str());
}

void DefaultLevelTest::TearDown() {
  if (!previousDir_.empty()) {
    EXPECT_EQ(chdir(previousDir_.c_str()), 0);
  }
  gGame.level.Destroy();
  ResetGameState();
  gl_.reset();
}
