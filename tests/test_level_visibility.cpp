// The default level on an offscreen GL context: drawn with and without its visibility
// data it gives the same picture from many places, and the visibility data cuts the faces
// drawn. With KORVALIS_SHOTS_DIR set it also writes the README screenshots there.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bots/waypoint_data.h"
#include "core/game_state.h"
#include "support/default_level.h"
#include "tools/levelc/map_source.h"

namespace {

constexpr int Width = 640;
constexpr int Height = 480;

struct View {
  Vec3 eye, target;
};

// Eye heights of the waypoints as stored, each looking two ways along its links, plus
// every zone's middle looking four ways.
std::vector<View> Views() {
  std::vector<View> views;
  for (int k = 0; k < BuiltInLinkCount; ++k)
    for (int dir = 0; dir < 2; ++dir) {
      const float* a = BuiltInWaypoints[BuiltInLinks[k][dir]];
      const float* b = BuiltInWaypoints[BuiltInLinks[k][1 - dir]];
      if (a[0] == b[0] && a[2] == b[2]) continue;
      views.push_back({Vec3(a[0], a[1], a[2]), Vec3(b[0], a[1], b[2])});
    }
  std::ifstream in(KORVALIS_SOURCE_DIR "/content/korvalis.map");
  std::stringstream text;
  text << in.rdbuf();
  MapSource map;
  std::string error;
  EXPECT_TRUE(ParseMapSource(text.str(), &map, &error)) << error;
  // Ten more places in every zone (in open space), looking every which way.
  uint32_t seed = 7;
  auto unit = [&seed] { return ((seed = seed * 1103515245u + 12345u) >> 8 & 0xffff) / 65535.0f; };
  for (const MapZone& z : map.zones)
    for (int k = 0; k < 10; ++k) {
      Vec3 p(static_cast<float>(z.mins.x + (z.maxs.x - z.mins.x) * unit()),
             static_cast<float>(z.mins.y + (z.maxs.y - z.mins.y) * unit()),
             static_cast<float>(z.mins.z + (z.maxs.z - z.mins.z) * unit()));
      Vec3 d(unit() - 0.5f, 0.6f * (unit() - 0.5f), unit() - 0.5f);
      views.push_back({p, p + d * 100.0f});
    }
  for (const MapZone& z : map.zones) {
    Vec3 c(static_cast<float>(0.5 * (z.mins.x + z.maxs.x)), static_cast<float>(z.maxs.y - 120),
           static_cast<float>(0.5 * (z.mins.z + z.maxs.z)));
    for (Vec3 d : {Vec3(1, -0.1f, 0), Vec3(-1, 0, 0), Vec3(0, 0.2f, 1), Vec3(0, -0.3f, -1)})
      views.push_back({c, c + d * 100.0f});
  }
  return views;
}

void Look(const View& v) {
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  LookAt(v.eye, v.target);
}

class LevelPictures : public DefaultLevelTest {
 protected:
  LevelPictures() : DefaultLevelTest(Width, Height) {}
  void SetUp() override {
    DefaultLevelTest::SetUp();
    if (!gl_->ok() || HasFatalFailure()) return;
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
  }
};

}  // namespace

TEST_F(LevelPictures, VisibilityNeverHidesWhatCanBeSeen) {
  REQUIRE_GL(*gl_);
  ASSERT_TRUE(loaded_);
  ASSERT_GT(gGame.level.clusterCount, 1);
  glDisable(GL_FOG);
  std::vector<View> views = Views();
  ASSERT_GE(views.size(), 50u);
  std::vector<uint8_t> rows = gGame.level.visibility;
  long drawnWith = 0, drawnWithout = 0;
  int differing = 0;
  int tested = 0;
  for (size_t i = 0; i < views.size(); ++i) {
    if (gGame.level.Trace(views[i].eye, views[i].eye, Vec3(1, 1, 1)).allSolid) continue;  // inside a wall
    ++tested;
    gGame.level.visibility = rows;
    Look(views[i]);
    gGame.level.RenderLevel(views[i].eye);
    drawnWith += gGame.level.facesDrawnLastFrame;
    std::vector<uint8_t> culled = gl_->ReadPixels();
    gGame.level.visibility.clear();
    Look(views[i]);
    gGame.level.RenderLevel(views[i].eye);
    drawnWithout += gGame.level.facesDrawnLastFrame;
    std::vector<uint8_t> full = gl_->ReadPixels();
    if (culled != full) {
      ++differing;
      int count = 0;
      for (size_t k = 0; k < full.size(); k += 4)
        if (std::memcmp(&culled[k], &full[k], 3) != 0) {
          ++count;
        }
      ADD_FAILURE() << count << " pixels of view " << i << " from (" << views[i].eye.x << ", " << views[i].eye.y << ", "
                    << views[i].eye.z << ") differs";
    }
  }
  gGame.level.visibility = rows;
  EXPECT_EQ(differing, 0);
  EXPECT_GE(tested, 200);
  EXPECT_LT(drawnWith, drawnWithout);  // the visibility data does cull
  std::printf("visibility: %d views, %ld faces drawn with the data, %ld without: %.0f%% cut\n", tested,
              drawnWith, drawnWithout, 100.0 * (drawnWithout - drawnWith) / drawnWithout);
}

// Writes docs/level-*.png when KORVALIS_SHOTS_DIR names a directory (convert from ImageMagick
// turns the PPM into PNG).
TEST_F(LevelPictures, Screenshots) {
  if (!std::getenv("KORVALIS_SHOTS_DIR")) GTEST_SKIP() << "set KORVALIS_SHOTS_DIR to write screenshots";
  REQUIRE_GL(*gl_);
  ASSERT_TRUE(loaded_);
  const struct {
    const char* name;
    View view;
  } shots[] = {
      {"level-start", {Vec3(587, 268, -404), Vec3(0, 401, 0)}},  // the game's first view
      {"level-stairs", {Vec3(587, 268, -404), Vec3(900, 250, -520)}},
      {"level-great-hall", {Vec3(1450, 520, -1000), Vec3(1650, 500, -1800)}},
      {"level-south-hall", {Vec3(1200, 600, -3100), Vec3(1700, 560, -2500)}},
      {"level-pump-room-pipe", {Vec3(100, 40, -770), Vec3(-130, 240, -900)}},
      {"level-bridge-arch", {Vec3(1640, 520, -1440), Vec3(1330, 580, -1470)}},
  };
  for (const auto& shot : shots) {
    Look(shot.view);
    gGame.level.RenderLevel(shot.view.eye);
    SaveShot(gl_->ReadPixels(), Width, Height, shot.name);
  }
}
