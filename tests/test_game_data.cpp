// The game data search path, hostile archives, the command line, and where the player starts
// on a level other than our own.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/config.h"
#include "app/data_setup.h"
#include "app/game.h"
#include "core/game_state.h"
#include "core/level.h"
#include "level/bsp_writer.h"
#include "level/entities.h"
#include "platform/archive_links.h"
#include "platform/files.h"
#include "support/fake_platform.h"
#include "support/level_builder.h"
#include "support/scratch_dir.h"
#include "support/zip_writer.h"

namespace fs = std::filesystem;

namespace {

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}
void WriteText(const fs::path& path, const std::string& text) {
  WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}
std::string ReadText(const std::string& name) {
  std::vector<uint8_t> bytes;
  if (!files::ReadFile(name, &bytes)) return "<missing>";
  return std::string(bytes.begin(), bytes.end());
}

class GameDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    files::UnmountAll();
    root = ScratchDir("game_data_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(root);
    fs::create_directories(root);
    saved = fs::current_path();
  }
  void TearDown() override {
    fs::current_path(saved);
    files::UnmountAll();
    gCommandLine = CommandLine();
    fs::remove_all(root);
  }
  fs::path root, saved;
};

TEST_F(GameDataTest, LaterMountsOverrideAndNamesIgnoreCase) {
  const fs::path a = root / "installed", b = root / "extra";
  WriteText(a / "textures/wall.tga", "installed loose");
  WriteText(a / "sound/hit.wav", "installed sound");
  WriteBytes(a / "a0.pk3", WriteZip({TextMember("Textures/Wall.TGA", "archive 0"),
                                     TextMember("Only/InArchive.txt", "only in 0")}));
  WriteBytes(a / "a1.pk3", WriteZip({TextMember("textures/WALL.tga", "archive 1")}));
  WriteText(b / "TEXTURES/wall.tga", "extra loose");

  std::string error;
  ASSERT_TRUE(files::MountDirectory(a.string(), &error)) << error;
  // Inside a folder its archives come after its loose files, in name order.
  EXPECT_EQ(ReadText("textures/wall.tga"), "archive 1");
  EXPECT_EQ(ReadText("ONLY\\inarchive.TXT"), "only in 0");
  EXPECT_EQ(ReadText("./sound//HIT.wav"), "installed sound");
  // A later folder's loose file overrides the earlier folder's archives.
  ASSERT_TRUE(files::MountDirectory(b.string(), &error)) << error;
  EXPECT_EQ(ReadText("Textures\\Wall.tga"), "extra loose");
  EXPECT_EQ(files::Source("textures/wall.tga"), b.string());
  EXPECT_EQ(files::List("TEXTURES", ".TGA"), std::vector<std::string>{"textures/wall.tga"});
  EXPECT_FALSE(files::Exists("textures/none.tga"));
  EXPECT_FALSE(files::MountDirectory((root / "absent").string(), &error));

  // Nothing mounted: names are working-directory paths again, as the tests and tools use them.
  files::UnmountAll();
  fs::current_path(a);
  EXPECT_EQ(ReadText("sound/hit.wav"), "installed sound");
  EXPECT_EQ(ReadText("SOUND/hit.wav"), "<missing>");
}

TEST_F(GameDataTest, HostileArchivesAreSkippedOrRefusedWithBoundedMemory) {
  const fs::path data = root / "data";
  const std::vector<uint8_t> good = WriteZip({TextMember("maps/readme.txt", "fine")});
  WriteBytes(data / "0-good.pk3", good);
  WriteText(data / "1-not-a-zip.pk3", "this is plain text, not an archive");
  WriteBytes(data / "2-truncated.pk3", std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2));
  WriteBytes(data / "3-names.pk3", WriteZip({TextMember("../escaped.txt", "parent"),
                                             TextMember("/absolute.txt", "absolute"),
                                             TextMember("c:/drive.txt", "drive"),
                                             TextMember("textures/../../middle.txt", "parent in the middle"),
                                             TextMember("textures/./fine.txt", "fine")}));
  // A zip bomb of 1 MB: ten members of 100 KB each claiming a gigabyte (10 GB in all).
  std::vector<ZipMember> bomb;
  for (int i = 0; i < 10; ++i)
    bomb.push_back(ZipMember{"bomb/" + std::to_string(i) + ".bin", std::vector<uint8_t>(100000, 0), 1u << 30, true});
  WriteBytes(data / "4-bomb.pk3", WriteZip(bomb));

  std::string error;
  ASSERT_TRUE(files::MountDirectory(data.string(), &error)) << error;
  EXPECT_EQ(ReadText("maps/readme.txt"), "fine");  // the good archive still counts
  for (const char* name : {"../escaped.txt", "escaped.txt", "/absolute.txt", "absolute.txt", "c:/drive.txt",
                           "textures/../../middle.txt", "../middle.txt", "middle.txt"})
    EXPECT_EQ(ReadText(name), "<missing>") << name;
  for (const std::string& name : files::List("", "", true)) EXPECT_EQ(name.find(".."), std::string::npos) << name;
  EXPECT_FALSE(fs::exists(root / "escaped.txt"));
  for (int i = 0; i < 10; ++i) EXPECT_EQ(ReadText("bomb/" + std::to_string(i) + ".bin"), "<missing>");
  // A member within the budget but larger than what the caller allows is refused too.
  std::vector<uint8_t> bytes;
  EXPECT_FALSE(files::ReadFile("maps/readme.txt", &bytes, 3));
  // An archive held in memory (as the fuzz target mounts one) reads like one on disk and a
  // damaged one is refused; neither keeps memory once unmounted (the sanitizer build checks).
  files::UnmountAll();
  const std::vector<uint8_t> halved(good.begin(), good.begin() + good.size() / 2);
  EXPECT_FALSE(files::MountArchiveBytes(halved.data(), halved.size(), "halved.pk3", &error));
  EXPECT_NE(error.find("halved.pk3"), std::string::npos) << error;
  ASSERT_TRUE(files::MountArchiveBytes(good.data(), good.size(), "memory.pk3", &error)) << error;
  EXPECT_EQ(ReadText("MAPS/readme.txt"), "fine");
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  EXPECT_LT(usage.ru_maxrss, 400L * 1024) << "peak resident KB";
}

// A symbolic link stored in an archive (which PhysicsFS would follow, first allocating the
// size the link claims) is neither listed nor read; the rest of its archive is. The links are
// found wherever the archive keeps its central directory.
TEST_F(GameDataTest, LinksInArchivesAreSkipped) {
  auto link = [](const std::string& name, const std::string& target, uint32_t claimed) {
    ZipMember member = TextMember(name, target);
    member.claimedSize = claimed;
    member.unixMode = 0120777;
    return member;
  };
  const std::vector<uint8_t> zip = WriteZip({TextMember("textures/wall.tga", "wall"), link("textures/link.tga", "textures/wall.tga", 0),
                                             link("Textures/HUGE.tga", "textures/wall.tga", 0x7FFFFFFF), link("env", "textures", 1u << 30)});
  std::vector<uint8_t> junkFirst(1000 + zip.size(), 'j');  // as a self-extracting archive
  std::copy(zip.begin(), zip.end(), junkFirst.begin() + 1000);
  std::vector<uint8_t> comment = zip;
  comment[comment.size() - 2] = 0x60;
  comment[comment.size() - 1] = 0xEA;  // 60,000 bytes of comment
  comment.resize(comment.size() + 60000, 'c');
  std::vector<uint8_t> zip64 = zip;  // the directory's place is in a Zip64 record: the whole archive is looked at
  std::memset(&zip64[zip64.size() - 10], 0, 4);
  const uint8_t locator[20] = {'P', 'K', 6, 7};
  zip64.insert(zip64.end() - 22, locator, locator + 20);
  std::vector<uint8_t> endTooFar = zip;
  endTooFar.resize(zip.size() + 70000, 'x');
  const std::vector<std::string> links = {"env", "textures/huge.tga", "textures/link.tga"};
  for (const std::vector<uint8_t>* bytes : std::vector<const std::vector<uint8_t>*>{&zip, &junkFirst, &comment, &zip64}) {
    std::vector<std::string> found;
    EXPECT_TRUE(files::FindArchiveLinks(bytes->data(), bytes->size(), &found)) << bytes->size();
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, links) << bytes->size();
  }
  std::vector<std::string> found;
  EXPECT_FALSE(files::FindArchiveLinks(endTooFar.data(), endTooFar.size(), &found));
  for (size_t size = 0; size < zip.size(); ++size) files::FindArchiveLinks(zip.data(), size, &found);  // never past the end

  WriteBytes(root / "data/links.pk3", zip);
  std::string error;
  ASSERT_TRUE(files::MountDirectory((root / "data").string(), &error)) << error;
  for (int inMemory = 0; inMemory < 2; ++inMemory) {
    EXPECT_EQ(ReadText("textures/wall.tga"), "wall") << inMemory;
    for (const char* name : {"textures/link.tga", "textures/huge.tga", "env", "env/wall.tga"})
      EXPECT_EQ(ReadText(name), "<missing>") << name << " " << inMemory;
    EXPECT_EQ(files::List("", ".tga", true), std::vector<std::string>{"textures/wall.tga"}) << inMemory;
    files::UnmountAll();
    ASSERT_TRUE(files::MountArchiveBytes(junkFirst.data(), junkFirst.size(), "memory.pk3", &error)) << error;
  }
}

// A working directory that stands in for the installed data: its own files and game folders
// are read, nothing else of it; a folder linked into a data folder is followed like a file.
TEST_F(GameDataTest, WorkingDirectoryGivesItsGameFoldersAndLinksAreFollowed) {
  const fs::path work = root / "work", pictures = root / "pictures", more = root / "more";
  WriteText(work / "Config.ini", "Level maps/work.bsp Brightness 7");
  WriteText(work / "hud-famas1.bmp", "hud");
  WriteText(work / "fidget/lower.md3", "legs");
  WriteText(work / "Textures/wall.tga", "wall");
  WriteText(work / "photos/holiday.jpg", "not game data");
  WriteText(work / "build/CMakeFiles/x.o", "not game data");
  WriteText(pictures / "linked.tga", "linked picture");
  WriteText(more / "textures/own.tga", "own");
  fs::create_directory_symlink(pictures, work / "Textures/linked");
  fs::create_directory_symlink(pictures, more / "textures/elsewhere");
  fs::current_path(work);
  CommandLine options;
  options.dataDirs = {more.string()};
  std::string error;
  ASSERT_TRUE(SetUpGameData(&options, std::string(), &error)) << error;
  EXPECT_EQ(ReadText("hud-famas1.bmp"), "hud");
  EXPECT_EQ(ReadText("Fidget/lower.md3"), "legs");
  EXPECT_EQ(ReadText("textures/wall.tga"), "wall");
  EXPECT_EQ(ReadText("textures/linked/linked.tga"), "linked picture");
  EXPECT_EQ(ReadText("textures/elsewhere/linked.tga"), "linked picture");
  EXPECT_EQ(ReadText("textures/own.tga"), "own");
  EXPECT_EQ(files::Source("hud-famas1.bmp"), work.string());
  EXPECT_EQ(files::Size("fidget/lower.md3"), 4);
  for (const char* other : {"photos/holiday.jpg", "build/CMakeFiles/x.o"}) EXPECT_FALSE(files::Exists(other)) << other;
  EXPECT_EQ(files::List("", "", true).size(), 7u);  // Config.ini, the picture and five data files
}

TEST(CommandLineTest, OptionsAndMistakes) {
  struct Case {
    std::vector<const char*> args;
    bool ok;
    const char* level;
    size_t dataDirs;
    WindowChoice window;
  } cases[] = {
      {{}, true, "", 0, WindowChoice::Ask},
      {{"--level", "q3dm1", "--windowed"}, true, "q3dm1", 0, WindowChoice::Windowed},
      {{"--level=maps/x.bsp", "--fullscreen", "--data", "a", "--data=b"}, true, "maps/x.bsp", 2, WindowChoice::FullScreen},
      {{"--windowed", "--windowed"}, true, "", 0, WindowChoice::Windowed},
      {{"--level"}, false, "", 0, WindowChoice::Ask},
      {{"--data="}, false, "", 0, WindowChoice::Ask},
      {{"--windowed", "--fullscreen"}, false, "", 0, WindowChoice::Ask},
      {{"--bogus"}, false, "", 0, WindowChoice::Ask},
      {{"level.bsp"}, false, "", 0, WindowChoice::Ask},
      {{"--help=yes"}, false, "", 0, WindowChoice::Ask},
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv = {"korvalis"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    SCOPED_TRACE(argv.size() > 1 ? argv[1] : "(none)");
    CommandLine options;
    std::string error;
    ASSERT_EQ(ParseCommandLine(static_cast<int>(argv.size()), argv.data(), &options, &error), c.ok) << error;
    if (!c.ok) {
      EXPECT_FALSE(error.empty());
      continue;
    }
    EXPECT_EQ(options.level, c.level);
    EXPECT_EQ(options.dataDirs.size(), c.dataDirs);
    EXPECT_EQ(options.window, c.window);
  }
}

// A mistake on the command line ends the game with the usage and status 2 before any window.
TEST_F(GameDataTest, BadCommandLinesExitWithUsageBeforeAnyWindow) {
  FakePlatform fake;
  fake.answer = 1;
  fake.options.title = nullptr;  // CreateGameWindow would set it
  fs::current_path(root);
  const std::string missingFolder = (root / "none").string();
  const std::vector<std::vector<const char*>> mistakes = {
      {"korvalis", "--bogus"}, {"korvalis", "--level"}, {"korvalis", "--data", missingFolder.c_str()},
      {"korvalis", "--level", "no-such-level"}};
  for (const auto& argv : mistakes) {
    SCOPED_TRACE(argv[1]);
    testing::internal::CaptureStderr();
    EXPECT_EQ(GameMain(static_cast<int>(argv.size()), argv.data()), UsageExit);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("korvalis: "), std::string::npos) << err;
    EXPECT_EQ(fake.options.title, nullptr) << "a window was made";
    EXPECT_FALSE(files::Mounted());
  }
  testing::internal::CaptureStderr();
  const std::vector<const char*> bogus = {"korvalis", "--bogus"};
  GameMain(2, bogus.data());
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Usage: korvalis"), std::string::npos);
}

TEST_F(GameDataTest, LevelByNameByFileAndByArchive) {
  const fs::path installed = root / "share", elsewhere = root / "elsewhere", work = root / "work";
  WriteText(installed / "Config.ini", "Level maps/korvalis.bsp Brightness 2");
  WriteText(installed / "maps/korvalis.bsp", "default level");
  WriteText(installed / "maps/Arena.BSP", "arena");
  WriteText(elsewhere / "maps/loose.bsp", "loose level");
  WriteText(elsewhere / "textures/floor.tga", "floor picture");
  WriteBytes(elsewhere / "pack.pk3", WriteZip({TextMember("maps/packed.bsp", "packed level"),
                                               TextMember("textures/packed.jpg", "packed picture")}));
  WriteText(work / "Config.ini", "Level maps/work.bsp Brightness 7");
  struct Case {
    std::string level;
    std::string levelName;
    std::string contents;
  } cases[] = {
      {"arena", "maps/arena.bsp", "arena"},
      {"maps/ARENA.bsp", "maps/arena.bsp", "arena"},
      {(elsewhere / "maps/loose.bsp").string(), "maps/loose.bsp", "loose level"},
      {(elsewhere / "pack.pk3").string(), "maps/packed.bsp", "packed level"},
  };
  fs::current_path(root);  // no Config.ini here
  for (const Case& c : cases) {
    SCOPED_TRACE(c.level);
    files::UnmountAll();
    CommandLine options;
    options.level = c.level;
    std::string error;
    ASSERT_TRUE(SetUpGameData(&options, installed.string(), &error)) << error;
    EXPECT_EQ(options.levelName, c.levelName);
    EXPECT_EQ(ReadText(options.levelName), c.contents);
    EXPECT_EQ(ReadText("maps/korvalis.bsp"), "default level");
  }
  // The archive's pictures came with it.
  EXPECT_EQ(ReadText("textures/packed.jpg"), "packed picture");

  // A loose level's data tree: its level folders (any case) and top archives, nothing else.
  WriteText(elsewhere / "Scripts/walls.shader", "a script");
  WriteText(elsewhere / "photos/holiday.jpg", "not game data");
  WriteText(elsewhere / "notes.txt", "not game data");
  files::UnmountAll();
  CommandLine loose;
  loose.level = (elsewhere / "maps/loose.bsp").string();
  std::string error;
  ASSERT_TRUE(SetUpGameData(&loose, installed.string(), &error)) << error;
  EXPECT_EQ(ReadText("TEXTURES/floor.tga"), "floor picture");
  EXPECT_EQ(ReadText("scripts/walls.shader"), "a script");
  EXPECT_EQ(ReadText("textures/packed.jpg"), "packed picture");
  EXPECT_FALSE(files::Exists("photos/holiday.jpg"));
  EXPECT_FALSE(files::Exists("notes.txt"));

  // Config.ini: the working directory's when it has one, else the installed data's.
  for (bool inWork : {false, true}) {
    files::UnmountAll();
    fs::current_path(inWork ? work : root);
    CommandLine options;
    std::string error;
    ASSERT_TRUE(SetUpGameData(&options, installed.string(), &error)) << error;
    GameConfig config;
    ASSERT_TRUE(ReadConfigFile(ConfigFileName, &config));
    EXPECT_EQ(config.levelPath, inWork ? "maps/work.bsp" : "maps/korvalis.bsp");
    EXPECT_FLOAT_EQ(config.lightmapBrightness, inWork ? 7.0f : 2.0f);
    // A working directory with Config.ini stands in for the installed data.
    EXPECT_EQ(files::Exists("maps/korvalis.bsp"), !inWork);
  }
  // Config.ini may name its level by a path, as --level does; a name nothing finds is left for
  // the loader to refuse.
  EXPECT_EQ(ConfigLevelName("maps/none.bsp"), "maps/none.bsp");
  EXPECT_EQ(ConfigLevelName((elsewhere / "maps/loose.bsp").string()), "maps/loose.bsp");
  EXPECT_EQ(ReadText("maps/loose.bsp"), "loose level");
}

// A level of another tool: a floor, a wall, and player starts in its entity text.
TEST(LevelStartTest, PlayerStartsFromTheEntityText) {
  LevelBuilder builder;
  builder.AddBox(Vec3(-512, -512, -64), Vec3(512, 512, 0));   // the floor, top at z 0
  builder.AddBox(Vec3(200, -512, 0), Vec3(264, 512, 256));    // a wall across x 200..264
  BspFileData data = builder.Build();
  struct Case {
    const char* entities;
    bool fromStart;
    Vec3 eye;      // world coordinates
    Vec3 facing;   // view - eye
  } cases[] = {
      // Stored 24 above the floor, facing 90 degrees (file +y, world -z).
      {"{ \"classname\" \"worldspawn\" }\n{ \"classname\" \"info_player_deathmatch\" \"origin\" \"-100 50 24\" "
       "\"angle\" \"90\" }",
       true, Vec3(-100, 50, -50), Vec3(0, 0, -1)},
      // A start inside the wall is passed over for the next one.
      {"{ \"classname\" \"info_player_start\" \"origin\" \"232 0 100\" }"
       "{ \"origin\" \"0 0 300\" \"classname\" \"info_player_deathmatch\" }",
       true, Vec3(0, 50, 0), Vec3(1, 0, 0)},
      // No starts, or a text that breaks off: the centre of the first leaf with a floor.
      {"{ \"classname\" \"worldspawn\" }", false, Vec3(), Vec3(1, 0, 0)},
      {"{ \"classname\" \"info_player_start\" \"origin\" \"1 2", false, Vec3(), Vec3(1, 0, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entities);
    data.entities.assign(c.entities, c.entities + std::strlen(c.entities));
    const std::vector<uint8_t> file = WriteBspFile(data);
    Level level;
    std::string error;
    ASSERT_TRUE(level.Parse(file.data(), file.size(), &error)) << error;
    LevelStart start;
    ASSERT_TRUE(FindLevelStart(level, PlayerExtents, &start));
    EXPECT_EQ(start.fromPlayerStart, c.fromStart);
    if (c.fromStart) {
      EXPECT_NEAR(start.eye.x, c.eye.x, 0.01);
      EXPECT_NEAR(start.eye.y, c.eye.y, 0.1);  // resting on the floor, the eye 50 above it
      EXPECT_NEAR(start.eye.z, c.eye.z, 0.01);
    } else {
      EXPECT_NEAR(start.eye.y, 50, 0.1);
      EXPECT_FALSE(level.Trace(start.eye, start.eye, PlayerExtents).allSolid);
    }
    const Vec3 facing = start.view - start.eye;
    EXPECT_NEAR(facing.x, c.facing.x, 1e-4);
    EXPECT_NEAR(facing.z, c.facing.z, 1e-4);
  }

  // A room 120 high, the start stored 24 above its floor: the player (100 high) and a bot (90)
  // stand on the floor, though a box with its bottom at the start, or centred on it, fits nowhere.
  LevelBuilder low;
  low.AddBox(Vec3(-512, -512, -64), Vec3(512, 512, 0));
  low.AddBox(Vec3(-512, -512, 120), Vec3(512, 512, 184));
  BspFileData lowData = low.Build();
  const char* lowStart = "{ \"classname\" \"info_player_start\" \"origin\" \"-300 20 24\" }";
  lowData.entities.assign(lowStart, lowStart + std::strlen(lowStart));
  const std::vector<uint8_t> lowFile = WriteBspFile(lowData);
  Level lowLevel;
  std::string error;
  ASSERT_TRUE(lowLevel.Parse(lowFile.data(), lowFile.size(), &error)) << error;
  LevelStart start;
  ASSERT_TRUE(FindLevelStart(lowLevel, PlayerExtents, &start));
  EXPECT_TRUE(start.fromPlayerStart);
  EXPECT_NEAR(start.eye.x, -300, 0.01);
  EXPECT_NEAR(start.eye.y, 50, 0.1);
  EXPECT_NEAR(start.eye.z, -20, 0.01);
  Vec3 bot;
  ASSERT_TRUE(DropToFloor(lowLevel, Vec3(-300, 24, -20), BodyExtents, &bot));
  EXPECT_NEAR(bot.y, 45, 0.1);
  EXPECT_FALSE(lowLevel.Trace(bot, bot, BodyExtents).allSolid);
}

}  // namespace
