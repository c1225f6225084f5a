// HUD overlay timings on an offscreen 1024 x 768 context with the game's own overlay
// pictures: per layer (rifle, launcher, night vision) how many 16 x 16 tiles each picture
// leaves plain, and the processor time (all of the renderer's threads) of a frame of the
// overlay alone over a cleared screen, drawn as two whole-screen quads, as tiles filtering
// the pictures every frame and as tiles copying the screen texture pixel for pixel, against
// one full-screen textured quad and an empty frame; also the text line alone. The frames are
// taken in turn, round after round, so the ratios hold on a noisy machine.
#include <GL/gl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/game.h"
#include "bench/bench_gl.h"
#include "core/game_state.h"
#include "platform/platform.h"
#include "render/hud_tiles.h"
#include "render/text.h"

namespace {

struct Case {
  std::string name;
  std::function<void()> body;
  std::vector<double> cpuMs = {};
  double Cpu() const {
    std::vector<double> v = cpuMs;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  }
};

void Clear() { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); }
void Swap() { platform::Current().SwapBuffers(); }

struct Layer {
  const char* name;
  int weapon;
  bool nightVision;
};

void UseLayer(const Layer& layer) {
  gGame.currentWeapon = layer.weapon;
  gGame.nightVision = layer.nightVision;
  if (layer.nightVision)
    glColor4f(0, 1, 0, 1);
  else
    glColor4f(1, 1, 1, 1);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
  if (!OpenBenchWindow("bench_hud", KORVALIS_GAME_DIR)) return 1;
  if (!InitializeGame() || gGame.hudTextures[0] == 0) {
    std::fprintf(stderr, "bench_hud: the game did not start (is the game data built?)\n");
    return 1;
  }
  // The state the frame leaves for the overlay: no fog here, no culling, the lightmap unit off.
  glDisable(GL_FOG);
  glDisable(GL_CULL_FACE);
  gGame.multitexture.activeTexture(GL_TEXTURE1_ARB);
  glDisable(GL_TEXTURE_2D);
  gGame.multitexture.activeTexture(GL_TEXTURE0_ARB);

  const Layer layers[] = {{"rifle", WeaponRifle, false},
                          {"launcher", WeaponLauncher, false},
                          {"night vision", WeaponRifle, true}};
  std::printf("tiles of %d (mask white / black / mixed, colour white / black / mixed):\n",
              HudTileColumns * HudTileRows);
  for (int slot = 0; slot < 6; ++slot) {
    const std::vector<HudTile> tiles = HudTilesOf(gGame.hudTiles, gGame.hudTextures[slot]);
    int count[3] = {0, 0, 0};
    for (HudTile t : tiles) ++count[static_cast<int>(t)];
    std::printf("  picture %d: white %4d, black %4d, mixed %4d\n", slot, count[1], count[2], count[0]);
  }

  const GLuint noise = MakeNoiseTexture();
  std::vector<Case> cases;
  cases.push_back({"empty frame (clear + swap)", [] { Clear(), Swap(); }});
  cases.push_back({"one full-screen quad", [noise] { Clear(), DrawFullScreenQuad(noise), Swap(); }});
  cases.push_back({"text line", [] {
                     Clear();
                     glColor3f(1, 1, 1);
                     PrintText(5, 0, "%d FPS", 85);
                     Swap();
                   }});
  for (const Layer& layer : layers) {
    for (const int way : {0, 1, 2}) {
      const bool tiled = way > 0, screenTexels = way == 2;
      const char* names[3] = {", two quads", ", tiles filtered", ", tiles"};
      cases.push_back({std::string(layer.name) + names[way], [layer, tiled, screenTexels] {
                         gGame.hudTiles.enabled = tiled;
                         gGame.hudTiles.screenTexels = screenTexels;
                         UseLayer(layer);
                         Clear();
                         DrawHudOverlay();
                         Swap();
                       }});
    }
  }
  for (int r = 0; r < rounds + 5; ++r) {
    for (Case& c : cases) {
      glFinish();
      const double start = ProcessCpuMs();
      c.body();
      glFinish();
      if (r >= 5) c.cpuMs.push_back(ProcessCpuMs() - start);
    }
  }
  const double empty = cases[0].Cpu(), quad = cases[1].Cpu();
  std::printf("frame at 1024x768, processor time of all threads, medians of %d rounds:\n", rounds);
  for (const Case& c : cases)
    std::printf("  %-28s %7.3f ms = %5.2fx quad, +%5.2f quad over empty\n", c.name.c_str(), c.Cpu(),
                c.Cpu() / quad, (c.Cpu() - empty) / quad);
  platform::Current().DestroyWindow();
  return 0;
}
