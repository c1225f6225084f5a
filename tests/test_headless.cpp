// The headless run's window size from KORVALIS_WINDOW: well-formed sizes are taken, anything
// else leaves the game's own size.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/headless.h"

namespace {

TEST(Headless, WindowSizeFromTheEnvironment) {
  struct Case {
    const char* text;  // null: unset
    int width, height;
  } cases[] = {
      {nullptr, 1024, 768}, {"32x24", 32, 24},    {"1x1", 1, 1},         {"8192x8192", 8192, 8192},
      {"", 1024, 768},      {"32", 1024, 768},    {"32x", 1024, 768},    {"x24", 1024, 768},
      {"0x24", 1024, 768},  {"32x0", 1024, 768},  {"-32x24", 1024, 768}, {"8193x24", 1024, 768},
      {"32x24x", 1024, 768}, {"32 x 24", 1024, 768}, {"99999999999999999999x1", 1024, 768},
  };
  for (const Case& c : cases) {
    if (c.text) {
      setenv("KORVALIS_WINDOW", c.text, 1);
    } else {
      unsetenv("KORVALIS_WINDOW");
    }
    int width = 1024, height = 768;
    HeadlessWindowSize(&width, &height);
    EXPECT_EQ(width, c.width) << (c.text ? c.text : "unset");
    EXPECT_EQ(height, c.height) << (c.text ? c.text : "unset");
  }
  unsetenv("KORVALIS_WINDOW");
}

}  // namespace
