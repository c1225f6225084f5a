#include <gtest/gtest.h>

#include "app/game_state.h"
#include "level/bsp_format.h"
#include "support/fake_platform.h"

TEST(GameStateDefaults, SwitchesStartAsDocumented) {
  ResetGameState();
  EXPECT_TRUE(gGame.fullScreen);
  EXPECT_TRUE(gGame.gravityOn);
  EXPECT_TRUE(gGame.collisionOn);
  EXPECT_TRUE(gGame.hudOn);
  EXPECT_EQ(gGame.currentWeapon, 11);
  EXPECT_TRUE(gGame.botsRun);
  EXPECT_TRUE(gGame.fogOn);
  EXPECT_FLOAT_EQ(gGame.fogDensity, 0.002f);
  EXPECT_TRUE(gGame.filledPolygons);
  EXPECT_TRUE(gGame.lightmapsOn);
  EXPECT_TRUE(gGame.texturesOn);
  EXPECT_FLOAT_EQ(gGame.lightmapBrightness, 10.0f);
  EXPECT_FALSE(gGame.slowMotion || gGame.infoTextOn || gGame.waypointGraphOn ||
               gGame.additiveBlendOn || gGame.invertMouse || gGame.nightVision ||
               gGame.fogBeforeNightVision || gGame.lightmapsBeforeNightVision || gGame.jumping);
  EXPECT_EQ(gGame.jumpOffset, 0.0f);
  EXPECT_EQ(gGame.playerBoxExtents, Vec3(17, 50, 17));
}

TEST(BspWriter, HeaderPointsAtEachLumpInOrder) {
  BspFileData file;
  file.planes.push_back({{0, 0, 1}, 64});
  std::vector<uint8_t> bytes = WriteBspFile(file);
  ASSERT_GE(bytes.size(), static_cast<size_t>(BspHeaderSize + 16));
  int32_t offset, length;
  memcpy(&offset, bytes.data() + 8 + LumpPlanes * 8, 4);
  memcpy(&length, bytes.data() + 8 + LumpPlanes * 8 + 4, 4);
  EXPECT_EQ(length, 16);
  float distance;
  memcpy(&distance, bytes.data() + offset + 12, 4);
  EXPECT_EQ(distance, 64.0f);
}
