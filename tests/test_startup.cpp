// Start-up: the order of the steps and the numbered messages, in a scratch working directory
// with generated HUD pictures, on an offscreen context.
#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/data_setup.h"
#include "app/game.h"
#include "core/game_state.h"
#include "platform/files.h"
#include "support/fake_platform.h"
#include "support/gl_context.h"
#include "support/level_builder.h"

namespace {

namespace fs = std::filesystem;

// A fake platform whose procedure lookup is the real one, so the level can be drawn.
class GLFakePlatform : public FakePlatform {
 public:
  void* GetProcAddress(const char* name) override { return SDL_GL_GetProcAddress(name); }
};

// A 4 x 4 grey 24-bit bitmap with its file header.
void WriteBitmap(const fs::path& path) {
  std::vector<uint8_t> bytes(54 + 4 * 4 * 3, 0x80);
  auto put32 = [&bytes](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  auto put16 = [&bytes](size_t at, uint16_t v) {
    bytes[at] = static_cast<uint8_t>(v);
    bytes[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  bytes[0] = 'B';
  bytes[1] = 'M';
  put32(2, static_cast<uint32_t>(bytes.size()));
  put32(6, 0);
  put32(10, 54);
  put32(14, 40);
  put32(18, 4);
  put32(22, 4);
  put16(26, 1);
  put16(28, 24);
  for (size_t at = 30; at < 54; ++at) bytes[at] = 0;
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

void WriteText(const fs::path& path, const std::string& text) {
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fputs(text.c_str(), file);
  std::fclose(file);
}

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ctx.ok()) return;
    ResetGameState();
    saved = fs::current_path();
    // One folder per test, so a death test's child process finds its own.
    dir = fs::path(KORVALIS_BINARY_DIR) /
          ("startup_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const char* name : {"hud-famas1.bmp", "hud-famas2.bmp", "hud-launcher1.bmp",
                             "hud-launcher2.bmp", "hud-nightvision2.bmp", "hud-nightvision1.bmp"})
      WriteBitmap(dir / name);
    fs::current_path(dir);
    fake.now = 1234;
  }
  void TearDown() override {
    if (!ctx.ok()) return;
    fs::current_path(saved);
    fs::remove_all(dir);
  }
  GLTestContext ctx;
  GLFakePlatform fake;
  fs::path saved, dir;
};

TEST_F(StartupTest, UnreadableConfigStopsAfterTheHudPictures) {
  REQUIRE_GL(ctx);
  // Missing, or a folder of that name (it opens but cannot be read): never an empty config.
  for (bool folder : {false, true}) {
    SCOPED_TRACE(folder ? "folder" : "missing");
    ResetGameState();
    fake.messages.clear();
    fake.quitRequests = 0;
    if (folder) fs::create_directory(dir / "Config.ini");
    EXPECT_FALSE(InitializeGame());
    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_EQ(fake.messages[0], "Error: 18 Could not find Config.ini file!");
    EXPECT_EQ(fake.quitRequests, 1);
    EXPECT_NE(fake.quitCode, 0);  // a failed start never reports success
    for (int slot = 0; slot < 6; ++slot) EXPECT_NE(gGame.hudTextures[slot], 0u) << slot;
    EXPECT_EQ(gGame.lastTickTime, 1234u);
    EXPECT_FALSE(fake.cursorShown);
    // Nothing after the failing step ran.
    EXPECT_EQ(gGame.camera.position, Vec3(0, 0, 0));
    EXPECT_EQ(gGame.fontListBase, 0u);
  }
}

// A failure before the loop ends the game through the normal shut-down with a failure
// status, without a frame, and nothing that needs what failed runs after it.
TEST_F(StartupTest, FailuresEndThroughTheShutDownWithAFailureStatus) {
  REQUIRE_GL(ctx);
  WriteText(dir / "Config.ini", "level maps/none.bsp\nbrightness 4\n");
  struct Case {
    const char* name;
    bool glContext;
    const char* message;
  } cases[] = {
      {"no GL context", false, "Error: 16 ChoosePixelFormat failed"},
      {"undecodable HUD picture", true, "Error: Unknown DIB file format."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetGameState();
    fake.messages.clear();
    fake.destroyed = false;
    fake.glContextOk = c.glContext;
    if (c.glContext) WriteText(dir / "hud-launcher2.bmp", "not a bitmap");
    EXPECT_EQ(GameMain(), StartupFailureExit);
    EXPECT_EQ(fake.messages, std::vector<std::string>{c.message});  // Config.ini never read
    EXPECT_TRUE(fake.destroyed);
    EXPECT_EQ(fake.swaps, 0);
    EXPECT_EQ(gGame.hudTextures[3], 0u);
    EXPECT_EQ(gGame.hudTextures[4], 0u);
  }
}

TEST_F(StartupTest, MissingLevelAndMultitextureShowTheirMessagesInOrder) {
  REQUIRE_GL(ctx);
  WriteText(dir / "Config.ini", "level maps/none.bsp\nbrightness 4\n");
  fake.extensionsSupported = false;
  EXPECT_FALSE(InitializeGame());
  ASSERT_EQ(fake.messages.size(), 2u);
  EXPECT_EQ(fake.messages[0], "Error: 19 Your video card doesn't support multitexturing");
  EXPECT_EQ(fake.messages[1].rfind("Error: 13 ", 0), 0u) << fake.messages[1];
  EXPECT_NE(fake.quitCode, 0);
  EXPECT_FLOAT_EQ(gGame.lightmapBrightness, 4.0f);
  EXPECT_EQ(gGame.camera.position, Vec3(0, 0, 0));  // the camera is never placed
}

TEST_F(StartupTest, DefaultGameDataStartsCompletely) {
  REQUIRE_GL(ctx);
  const fs::path game(KORVALIS_GAME_DIR);
  if (!fs::exists(game / "Config.ini")) GTEST_SKIP() << "no generated game data in " << game;
  fs::current_path(game);
  const bool started = InitializeGame();
  for (const std::string& m : fake.messages) ADD_FAILURE() << m;
  EXPECT_TRUE(started);
  EXPECT_EQ(fake.quitRequests, 0);
  EXPECT_FALSE(gGame.level.leaves.empty());
  EXPECT_EQ(gGame.camera.position, Vec3(587, 347, -404));
  EXPECT_NE(gGame.fontListBase, 0u);
  EXPECT_NE(gGame.multitexture.activeTexture, nullptr);
  EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
  GLint cull = 0;
  glGetIntegerv(GL_CULL_FACE_MODE, &cull);
  EXPECT_EQ(cull, GL_FRONT);
  EXPECT_TRUE(glIsEnabled(GL_FOG));
  EXPECT_TRUE(gGame.defaultLevel);
  EXPECT_FALSE(gGame.waypoints.generated);  // the built-in graph
  gGame.level.Destroy();
}

// Config.ini naming, by its absolute path, a level of its own that happens to be called
// korvalis.bsp: it is played (not refused), and being another level than ours, it gets the
// camera at its start and a graph built for it, not our fixed camera and built-in waypoints.
TEST_F(StartupTest, ConfigNamesALevelByPathAndOnlyOurOwnLevelIsTreatedAsOurs) {
  REQUIRE_GL(ctx);
  const fs::path game(KORVALIS_GAME_DIR);
  if (!fs::exists(game / "Config.ini")) GTEST_SKIP() << "no generated game data in " << game;
  LevelBuilder room;
  room.AddBox(Vec3(-512, -512, -16), Vec3(512, 512, 0));
  room.AddBox(Vec3(-512, -512, 256), Vec3(512, 512, 272));
  const std::string start = "{ \"classname\" \"info_player_start\" \"origin\" \"100 -40 24\" }";
  BspFileData data = room.Build();
  data.entities.assign(start.begin(), start.end());
  fs::create_directories(dir / "elsewhere/maps");
  const std::vector<uint8_t> bytes = WriteBspFile(data);
  FILE* file = std::fopen((dir / "elsewhere/maps/korvalis.bsp").c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
  WriteText(dir / "Config.ini", "level " + (dir / "elsewhere/maps/korvalis.bsp").string() + " brightness 4\n");

  gCommandLine = CommandLine();
  gCommandLine.dataDirs = {game.string()};  // the characters and the rest of our data
  std::string error;
  ASSERT_TRUE(SetUpGameData(&gCommandLine, std::string(), &error)) << error;
  const bool started = InitializeGame();
  for (const std::string& m : fake.messages) ADD_FAILURE() << m;
  EXPECT_TRUE(started);
  EXPECT_FALSE(gGame.defaultLevel);
  EXPECT_EQ(gGame.level.entityText, start);
  EXPECT_NEAR(gGame.camera.position.x, 100, 0.01);
  EXPECT_NEAR(gGame.camera.position.y, 50, 0.1);
  EXPECT_TRUE(gGame.waypoints.generated);
  gGame.level.Destroy();
  files::UnmountAll();
  gCommandLine = CommandLine();
}

}  // namespace
