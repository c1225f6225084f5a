// The default level seen from each built-in waypoint along each of its links (the 70 views),
// both bots in front, on a fixed clock: prints one CRC-32 of the RGB picture per view, so two
// builds can be compared for a pixel-identical default level (`diff` the outputs).
// Usage: bench_waypoint_views [out.txt]. With KORVALIS_VIEWS_DIR naming a folder, each view's
// RGB picture is also written there (view_N.rgb, 1024 x 768, bottom row first) for comparing
// two builds pixel by pixel where their CRCs differ.
#include <GL/gl.h>
#include <SDL.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/game.h"
#include "bots/bot.h"
#include "bots/waypoint_data.h"
#include "core/crc32.h"
#include "core/game_state.h"
#include "support/fake_platform.h"
#include "support/gl_context.h"

namespace {

class GLFakePlatform : public FakePlatform {
 public:
  void* GetProcAddress(const char* name) override { return SDL_GL_GetProcAddress(name); }
};

}  // namespace

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  GLTestContext gl(1024, 768);
  if (!gl.ok()) return std::fprintf(stderr, "no offscreen context\n"), 1;
  GLFakePlatform fake;
  if (chdir(KORVALIS_GAME_DIR) != 0) return std::fprintf(stderr, "no game data\n"), 1;
  ResetGameStateKeepingGL();
  fake.now = 1000;
  if (!InitializeGame()) return std::fprintf(stderr, "the game did not start\n"), 1;
  gGame.collisionOn = false;
  // KORVALIS_VIEWS_ONE_BAND=1: a texture pair's faces gathered across all distances, for
  // comparing the pictures of both orders in one build.
  if (const char* oneBand = std::getenv("KORVALIS_VIEWS_ONE_BAND")) gGame.level.distanceBands = std::atoi(oneBand) == 0;
  // KORVALIS_VIEWS_FACE_CULLING=0: faces out of view or facing away left to the GL, for
  // comparing the pictures with and without leaving them out in one build.
  if (const char* culling = std::getenv("KORVALIS_VIEWS_FACE_CULLING"))
    gGame.level.cullFacesApart = std::atoi(culling) != 0;
  FILE* out = argc > 1 ? std::fopen(argv[1], "w") : stdout;
  if (!out) return 1;
  int views = 0;
  for (int k = 0; k < BuiltInLinkCount; ++k)
    for (int dir = 0; dir < 2; ++dir) {
      const float* a = BuiltInWaypoints[BuiltInLinks[k][dir]];
      const float* b = BuiltInWaypoints[BuiltInLinks[k][1 - dir]];
      if (a[0] == b[0] && a[2] == b[2]) continue;
      const Vec3 eye(a[0], a[1] + 20, a[2]), target(b[0], a[1] + 10, b[2]);
      gGame.camera.position = gGame.camera.moveStartPosition = eye;
      gGame.camera.view = gGame.camera.moveStartView = target;
      gGame.camera.up = Vec3(0, 1, 0);
      const Vec3 ahead = NormalizeOrZero(Vec3(target.x - eye.x, 0, target.z - eye.z));
      for (int i = 0; i < BotCount; ++i) {
        Bot& bot = gGame.bots[i];
        bot.position = eye + ahead * (i == 0 ? 150.0f : 240.0f) + Vec3(-ahead.z, 0, ahead.x) * (i == 0 ? 50.0f : -10.0f);
        bot.previousPosition = bot.position;
        bot.heading = HeadingFromDirection(-ahead.x, -ahead.z);
      }
      fake.now += 12;
      RenderFrame();
      const std::vector<uint8_t> rgba = gl.ReadPixels();
      std::vector<uint8_t> rgb(rgba.size() / 4 * 3);
      for (size_t i = 0, j = 0; i < rgba.size(); i += 4, j += 3) std::copy(&rgba[i], &rgba[i] + 3, &rgb[j]);
      if (const char* dir = std::getenv("KORVALIS_VIEWS_DIR")) {
        const std::string path = std::string(dir) + "/view_" + std::to_string(views) + ".rgb";
        if (FILE* f = std::fopen(path.c_str(), "wb")) {
          std::fwrite(rgb.data(), 1, rgb.size(), f);
          std::fclose(f);
        }
      }
      std::fprintf(out, "view %d %08x\n", views++, Crc32(rgb.data(), rgb.size()));
    }
  std::fprintf(stderr, "%d views\n", views);
  if (out != stdout) std::fclose(out);
  gGame.level.Destroy();
  return 0;
}
