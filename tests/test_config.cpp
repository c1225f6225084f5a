// Config.ini: token positions, separators, the brightness default and file handling.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/config.h"

namespace {

GameConfig Parse(const std::string& text) { return ParseConfig(text.data(), text.size()); }

// Tokens are split by spaces, tabs and line ends (Windows ones too); the second is the level
// and the fourth the brightness, read like a stream reads a float (its numeric start, no
// hexadecimal); a missing or unreadable brightness keeps 10, and tokens after it are ignored.
TEST(Config, SecondTokenIsTheLevelAndFourthTheBrightness) {
  const struct {
    std::string text;
    const char* level;
    float brightness;
  } cases[] = {
      {"level maps/arena.bsp brightness 4", "maps/arena.bsp", 4},
      {"level\r\nmaps/arena.bsp\r\n\tbrightness\r\n4\r\n", "maps/arena.bsp", 4},
      {"  a  b.bsp c 2.5 d 99 \n", "b.bsp", 2.5f},
      {"level maps/arena.bsp", "maps/arena.bsp", 10},
      {"a b.bsp c bright", "b.bsp", 10},  {"a b.bsp c nan", "b.bsp", 10},
      {"a b.bsp c inf", "b.bsp", 10},     {"a b.bsp c -", "b.bsp", 10},
      {"a b.bsp c .", "b.bsp", 10},       {"a b.bsp c +x", "b.bsp", 10},
      {"a b.bsp c 1e999", "b.bsp", 10},   {"a b.bsp c e5", "b.bsp", 10},
      {"a b c 4x", "b", 4},               {"a b c -1.5", "b", -1.5f},
      {"a b c .5", "b", 0.5f},            {"a b c 0x10", "b", 0},
      {"a b c 3e1e", "b", 30},            {"", "", 10},
      {" \n\t ", "", 10},                {"onlyone", "", 10},
  };
  for (const auto& c : cases) {
    const GameConfig config = Parse(c.text);
    EXPECT_EQ(config.levelPath, c.level) << c.text;
    EXPECT_FLOAT_EQ(config.lightmapBrightness, c.brightness) << c.text;
  }
  // A token cut by the end of the buffer is read only up to the buffer's end.
  const char text[] = "a level.bsp c 7.5XXXX";
  EXPECT_FLOAT_EQ(ParseConfig(text, std::string(text).find('X')).lightmapBrightness, 7.5f);
  EXPECT_EQ(ParseConfig(nullptr, 0).levelPath, "");
}

TEST(Config, ReadsTheFileAndReportsAMissingOne) {
  std::string path = std::string(KORVALIS_BINARY_DIR) + "/test_config_Config.ini";
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fputs("level maps/korvalis.bsp\nbrightness 3\n", file);
  std::fclose(file);
  GameConfig config;
  ASSERT_TRUE(ReadConfigFile(path.c_str(), &config));
  EXPECT_EQ(config.levelPath, "maps/korvalis.bsp");
  EXPECT_FLOAT_EQ(config.lightmapBrightness, 3.0f);
  std::remove(path.c_str());

  GameConfig untouched;
  untouched.levelPath = "kept";
  EXPECT_FALSE(ReadConfigFile(path.c_str(), &untouched));
  EXPECT_EQ(untouched.levelPath, "kept");
}

}  // namespace
