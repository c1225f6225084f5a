// Config.ini: token positions, separators, the brightness default and file handling.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/config.h"

namespace {

GameConfig Parse(const std::string& text) { return ParseConfig(text.data(), text.size()); }

TEST(Config, SecondTokenIsTheLevelAndFourthTheBrightness) {
  GameConfig oneLine = Parse("level maps/arena.bsp brightness 4");
  EXPECT_EQ(oneLine.levelPath, "maps/arena.bsp");
  EXPECT_FLOAT_EQ(oneLine.lightmapBrightness, 4.0f);

  // Lines, tabs and Windows line ends separate tokens just as spaces do.
  GameConfig fourLines = Parse("level\r\nmaps/arena.bsp\r\n\tbrightness\r\n4\r\n");
  EXPECT_EQ(fourLines.levelPath, oneLine.levelPath);
  EXPECT_FLOAT_EQ(fourLines.lightmapBrightness, oneLine.lightmapBrightness);

  // Anything after the fourth token is ignored.
  GameConfig extra = Parse("  a  b.bsp c 2.5 d 99 \n");
  EXPECT_EQ(extra.levelPath, "b.bsp");
  EXPECT_FLOAT_EQ(extra.lightmapBrightness, 2.5f);
}

TEST(Config, MissingOrBadBrightnessKeepsTheDefault) {
  GameConfig twoTokens = Parse("level maps/arena.bsp");
  EXPECT_EQ(twoTokens.levelPath, "maps/arena.bsp");
  EXPECT_FLOAT_EQ(twoTokens.lightmapBrightness, 10.0f);

  for (const char* bad : {"bright", "nan", "inf", "-", ".", "+x", "1e999", "e5"}) {
    GameConfig config = Parse(std::string("a b.bsp c ") + bad);
    EXPECT_FLOAT_EQ(config.lightmapBrightness, 10.0f) << bad;
    EXPECT_EQ(config.levelPath, "b.bsp");
  }
  // A number followed by other characters reads its numeric start, as a stream does.
  EXPECT_FLOAT_EQ(Parse("a b c 4x").lightmapBrightness, 4.0f);
  EXPECT_FLOAT_EQ(Parse("a b c -1.5").lightmapBrightness, -1.5f);
  EXPECT_FLOAT_EQ(Parse("a b c .5").lightmapBrightness, 0.5f);
  EXPECT_FLOAT_EQ(Parse("a b c 0x10").lightmapBrightness, 0.0f);  // no hexadecimal
  EXPECT_FLOAT_EQ(Parse("a b c 3e1e").lightmapBrightness, 30.0f);
}

TEST(Config, FewTokensAndEmptyInput) {
  EXPECT_EQ(Parse("").levelPath, "");
  EXPECT_EQ(Parse(" \n\t ").levelPath, "");
  EXPECT_EQ(Parse("onlyone").levelPath, "");
  EXPECT_FLOAT_EQ(Parse("onlyone").lightmapBrightness, 10.0f);
  // A token cut by the end of the buffer is read only up to the buffer's end.
  const char text[] = "a level.bsp c 7.5XXXX";
  GameConfig cut = ParseConfig(text, std::string(text).find('X'));
  EXPECT_FLOAT_EQ(cut.lightmapBrightness, 7.5f);
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
