// A GL test fixture with the generated game's default level loaded the way the game loads
// it (the level named in Config.ini, at its brightness, read from the game folder), on an
// offscreen context set up like the game's.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/gl_context.h"

class DefaultLevelTest : public ::testing::Test {
 protected:
  DefaultLevelTest(int width, int height) : width_(width), height_(height) {}
  // Resets the game state, makes the context (nothing more when it cannot be made), sets up
  // GL like the game with depth testing and textures on, and loads the level with the game
  // folder as working folder until TearDown.
  void SetUp() override;
  // Back to the previous folder; the level is destroyed and the game state reset.
  void TearDown() override;

  std::unique_ptr<GLTestContext> gl_;
  bool loaded_ = false;

 private:
  int width_, height_;
  std::string previousDir_;
};
