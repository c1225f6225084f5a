// Frame and level-load timings on an offscreen 1024 x 768 context with the default game data:
// the median RenderFrame time against an empty frame (clear and swap) and against one
// full-screen textured quad, and the level load time against reading the file's bytes, all
// measured in the same run so the ratios hold on a noisy machine.
#include <GL/gl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <vector>

#include "app/config.h"
#include "app/game.h"
#include "app/game_state.h"
#include "platform/platform.h"

namespace {

using Clock = std::chrono::steady_clock;

// Median milliseconds of `runs` timed calls after `warmup` untimed ones. glFinish makes the
// GL work part of the time.
double MedianMs(int warmup, int runs, const std::function<void()>& body) {
  for (int i = 0; i < warmup; ++i) body();
  glFinish();
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    auto start = Clock::now();
    body();
    glFinish();
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

void EmptyFrame() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  platform::Current().SwapBuffers();
}

// One textured quad over the whole screen, drawn in screen space.
void QuadFrame(GLuint texture) {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glPushAttrib(GL_ENABLE_BIT);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_FOG);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, texture);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glBegin(GL_QUADS);
  glTexCoord2f(0, 0), glVertex2f(-1, -1);
  glTexCoord2f(1, 0), glVertex2f(1, -1);
  glTexCoord2f(1, 1), glVertex2f(1, 1);
  glTexCoord2f(0, 1), glVertex2f(-1, 1);
  glEnd();
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopAttrib();
  platform::Current().SwapBuffers();
}

GLuint MakeNoiseTexture() {
  std::vector<unsigned char> texels(256 * 256 * 3);
  unsigned seed = 12345;
  for (unsigned char& t : texels) t = static_cast<unsigned char>((seed = seed * 1103515245u + 12345u) >> 16);
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 256, 256, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  return name;
}

}  // namespace

int main() {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  if (chdir(KORVALIS_GAME_DIR) != 0) {
    std::fprintf(stderr, "bench_frame: no game data directory %s\n", KORVALIS_GAME_DIR);
    return 1;
  }
  platform::Backend& p = platform::Current();
  platform::WindowOptions options;
  options.fullScreen = false;
  if (p.CreateGameWindow(options) == platform::WindowResult::NoWindow) {
    std::fprintf(stderr, "bench_frame: no offscreen window\n");
    return 1;
  }
  gGame.fullScreen = false;
  const bool started = InitializeGame();
  if (!started || gGame.level.leaves.empty()) {
    std::fprintf(stderr, "bench_frame: the game did not start (is the game data built?)\n");
    return 1;
  }

  const int warmup = 20, runs = 200;
  const double empty = MedianMs(warmup, runs, EmptyFrame);
  const GLuint texture = MakeNoiseTexture();
  const double quad = MedianMs(warmup, runs, [texture] { QuadFrame(texture); });
  // A frame with no input: the camera's move of this frame starts where it stands.
  gGame.camera.frameRate = 60;
  const double frame = MedianMs(warmup, runs, [] {
    gGame.camera.moveStartPosition = gGame.camera.position;
    gGame.camera.moveStartView = gGame.camera.view;
    RenderFrame();
  });
  const int faces = gGame.level.facesDrawnLastFrame;

  GameConfig config;
  ReadConfigFile(ConfigFileName, &config);
  const double readBytes = MedianMs(1, 9, [&config] {
    std::ifstream file(config.levelPath, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (bytes.empty()) std::abort();
  });
  const double load = MedianMs(1, 9, [&config] {
    gGame.level.Destroy();
    if (!gGame.level.LoadBSP(config.levelPath.c_str())) std::abort();
  });

  std::printf("frame at 1024x768 (median of %d):\n", runs);
  std::printf("  empty frame (clear + swap)   %8.3f ms\n", empty);
  std::printf("  one full-screen quad         %8.3f ms\n", quad);
  std::printf("  RenderFrame, default level   %8.3f ms  (%d faces)  = %.1fx empty, %.1fx quad\n",
              frame, faces, frame / empty, frame / quad);
  std::printf("level load (median of 9): %s\n", config.levelPath.c_str());
  std::printf("  read the file's bytes        %8.3f ms\n", readBytes);
  std::printf("  Level::LoadBSP               %8.3f ms  = %.1fx reading\n", load, load / readBytes);
  p.DestroyWindow();
  return 0;
}
