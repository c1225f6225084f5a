// The cost of surfaces drawn stage by stage: a 1024 x 768 view filled with 192 wall panels
// of one surface, fogged as the default level is and lit by lightmaps laid as our compiler
// lays them (8 units a texel). The one-stage view is the usual lit wall (its picture times
// its lightmap, drawn in the batches of plain faces); against it the same wall with two
// extra stages (a scrolling picture and a pulsing glow added), with its stages folded onto
// texture units and one pass per stage, and with mipmapped pictures only (no twins seen
// close); and, as measured before, a moving picture with a glow and a lightmap over it, a
// lit moving picture with a glow, and a moving picture alone. Reported against a true
// one-texture full-screen quad measured in the same run, the frames of all cases taken in turn.
#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_gl.h"
#include "core/game_state.h"
#include "core/level.h"
#include "support/fake_platform.h"
#include "support/gl_context.h"
#include "support/level_builder.h"

namespace {

class GLFakePlatform : public FakePlatform {
 public:
  void* GetProcAddress(const char* name) override { return SDL_GL_GetProcAddress(name); }
};

void WriteTga(const std::string& path, uint8_t r, uint8_t g, uint8_t b) {
  std::vector<uint8_t> bytes(18, 0);
  bytes[2] = 2, bytes[12] = 64, bytes[14] = 64, bytes[16] = 24;
  for (int i = 0; i < 64 * 64; ++i) bytes.insert(bytes.end(), {uint8_t(b ^ (i & 15)), g, uint8_t(r ^ (i & 7))});
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

}  // namespace

int main() {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  const int width = 1024, height = 768;
  GLTestContext gl(width, height);
  if (!gl.ok()) return std::fprintf(stderr, "no offscreen context\n"), 1;
  GLFakePlatform fake;
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "korvalis_bench_stages";
  std::filesystem::create_directories(dir / "scripts");
  std::filesystem::current_path(dir);
  WriteTga("textures/b/p.tga", 180, 140, 90);
  WriteTga("textures/b/g.tga", 40, 40, 80);
  WriteTga("textures/b/o.tga", 30, 20, 10);
  const struct {
    const char* name;
    const char* what;
    bool folded, twins;
  } surfaces[] = {{"textures/b/plain", "lit wall", true, true},
                  {"textures/b/lit4", "+2 stages", true, true},
                  {"textures/b/lit4", "+2 unfolded", false, true},
                  {"textures/b/lit4", "+2 mipmapped", true, false},
                  {"textures/b/three", "pic,glow,lm", true, true},
                  {"textures/b/lit3", "lm,pic,glow", true, true},
                  {"textures/b/one", "moving pic", true, true}};
  constexpr int Surfaces = sizeof surfaces / sizeof surfaces[0];
  std::ofstream("scripts/b.shader")
      << "textures/b/plain { { map $lightmap } { map textures/b/p.tga\n blendFunc filter } }\n"
         "textures/b/lit4 { { map $lightmap } { map textures/b/p.tga\n blendFunc filter }\n"
         " { map textures/b/o.tga\n blendFunc add\n tcMod scroll 0.1 0.05 }\n"
         " { map textures/b/g.tga\n blendFunc add\n rgbGen wave sin 0.5 0.5 0 1 } }\n"
         "textures/b/one { { map textures/b/p.tga\n tcMod scroll 0.1 0 } }\n"
         "textures/b/three { { map textures/b/p.tga\n tcMod scroll 0.1 0 } { map textures/b/g.tga\n blendFunc add\n"
         " rgbGen wave sin 0.5 0.5 0 1 } { map $lightmap\n blendFunc filter } }\n"
         "textures/b/lit3 { { map $lightmap } { map textures/b/p.tga\n blendFunc filter\n tcMod scroll 0.1 0 }\n"
         " { map textures/b/g.tga\n blendFunc add\n rgbGen wave sin 0.5 0.5 0 1 } }\n";
  const GLuint noise = MakeNoiseTexture();
  std::vector<std::unique_ptr<Level>> levels;
  for (int k = 0; k < Surfaces; ++k) {
    LevelBuilder builder;
    const int texture = builder.AddTexture(surfaces[k].name, SolidContents);
    const int page = builder.AddLightmap(200, 220, 255);
    // 16 x 12 panels filling the view at 100 units (the view spans about +-102 by +-77 there).
    for (int i = 0; i < 16; ++i)
      for (int j = 0; j < 12; ++j) {
        const float x0 = -112 + 14 * i, y0 = -84 + 14 * j;
        builder.AddWorldFace({Vec3(x0, y0 + 14, -100), Vec3(x0 + 14, y0 + 14, -100), Vec3(x0 + 14, y0, -100), Vec3(x0, y0, -100)},
                             texture, page);
      }
    builder.AddWorldBox(Vec3(-200, -200, -120), Vec3(200, 200, -110));
    gGame.defaultLevel = false;
    const std::vector<uint8_t> bytes = builder.BuildFile();
    const std::string file = "b" + std::to_string(k) + ".bsp";
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    levels.push_back(std::make_unique<Level>());
    if (!levels.back()->LoadBSP(file.c_str())) return std::fprintf(stderr, "level not loaded\n"), 1;
    Level& level = *levels.back();
    level.foldedStages = surfaces[k].folded;
    level.magnifiedTwins = surfaces[k].twins;
    // The builder gives each face a whole page; our compiler lays a texel per 8 units.
    for (BspVertex& v : level.vertices)
      v.lightmapCoord[0] = 0.25f + v.position[0] / 1024, v.lightmapCoord[1] = 0.25f + v.position[1] / 1024;
  }
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(75, double(width) / height, 10, 4000);
  LookAt(Vec3(0, 0, 0), Vec3(0, 0, -1));
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_FRONT);
  // The default level's fog (the quad is drawn without it).
  const float black[4] = {0, 0, 0, 1};
  glFogi(GL_FOG_MODE, GL_EXP2);
  glFogfv(GL_FOG_COLOR, black);
  glFogf(GL_FOG_DENSITY, 0.002f);
  glEnable(GL_FOG);
  // Round after round, one frame of each case in turn: a change of the machine's load hits
  // every case alike. The quad is case -1.
  constexpr int Warmup = 5, Rounds = 31;
  std::vector<double> samples[Surfaces + 1];
  for (int round = 0; round < Warmup + Rounds; ++round)
    for (int k = -1; k < Surfaces; ++k) {
      glFinish();
      const auto start = std::chrono::steady_clock::now();
      if (k < 0) {
        DrawFullScreenQuad(noise);
      } else {
        glMatrixMode(GL_MODELVIEW);
        LookAt(Vec3(0, 0, 0), Vec3(0, 0, -1));
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        gGame.surfaceSeconds += 0.01;
        levels[k]->RenderLevel(Vec3(0, 0, 0));
      }
      glFinish();
      if (round >= Warmup) samples[k + 1].push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
  double times[Surfaces + 1];
  for (int k = 0; k <= Surfaces; ++k) {
    std::sort(samples[k].begin(), samples[k].end());
    times[k] = samples[k][samples[k].size() / 2];
  }
  const double quad = times[0];
  std::printf("medians of %d rounds; one-texture full-screen quad: %.3f ms\n", Rounds, quad);
  for (int k = 0; k < Surfaces; ++k)
    std::printf("%-17s %-13s %3d faces, %3d with twins, %d passes: %.3f ms, %.2f quads\n", surfaces[k].name,
                surfaces[k].what, levels[k]->facesDrawnLastFrame, levels[k]->facesMagnifiedLastFrame,
                levels[k]->stagePassesLastFrame, times[k + 1], times[k + 1] / quad);
  const double* t = times + 1;
  std::printf("two extra stages / lit wall: %.2f (goal 1.6 at most); unfolded %.2f, mipmapped %.2f\n", t[1] / t[0],
              t[2] / t[0], t[3] / t[0]);
  std::printf("picture, glow, lightmap / lit wall: %.2f; lightmap, picture, glow / lit wall: %.2f;"
              " moving picture alone / lit wall: %.2f\n", t[4] / t[0], t[5] / t[0], t[6] / t[0]);
  for (auto& level : levels) level->Destroy();
  std::filesystem::current_path("/");
  std::filesystem::remove_all(dir);
  return 0;
}
