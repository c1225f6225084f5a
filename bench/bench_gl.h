// Pieces the GL benchmarks share: the start of the game in an offscreen window, the
// reference full-screen quad with its noise texture, and a median timer that waits for the
// GL to finish each run.
#pragma once
#include <GL/gl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "app/game.h"
#include "core/game_state.h"
#include "platform/platform.h"

// Processor time of the whole process (all of the renderer's threads), milliseconds: on a
// shared machine the wall clock says little.
inline double ProcessCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Opens the benchmark's offscreen window, the game's windowed size, with `folder` as the
// working folder; false, said on the error stream, when either fails.
inline bool OpenBenchWindow(const char* bench, const char* folder) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  if (chdir(folder) != 0) {
    std::fprintf(stderr, "%s: no game data directory %s\n", bench, folder);
    return false;
  }
  platform::WindowOptions options;
  options.fullScreen = false;
  if (platform::Current().CreateGameWindow(options) == platform::WindowResult::NoWindow) {
    std::fprintf(stderr, "%s: no offscreen window\n", bench);
    return false;
  }
  gGame.fullScreen = false;
  return true;
}

// Opens the window in the build's game data and starts the game there, level and all.
inline bool StartBenchGame(const char* bench) {
  if (!OpenBenchWindow(bench, KORVALIS_GAME_DIR)) return false;
  if (!InitializeGame() || gGame.level.leaves.empty()) {
    std::fprintf(stderr, "%s: the game did not start (is the game data built?)\n", bench);
    return false;
  }
  return true;
}

// Median milliseconds of `runs` timed calls after `warmup` untimed ones; each timed call
// includes glFinish, so the GL's queued work is counted where it was issued.
inline double MedianFinishedMs(int warmup, int runs, const std::function<void()>& body) {
  using Clock = std::chrono::steady_clock;
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

// A 256 x 256 RGB texture of fixed noise, linearly filtered.
inline GLuint MakeNoiseTexture() {
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

// One textured quad over the whole screen, in screen space, the GL state left as found.
// The quad samples `texture` on unit 0 alone: the frame before it may leave another unit
// active and a level texture on unit 0 (the level, the overlay), which would make it a
// two-texture quad costing about twice as much. With `second`, unit 1 modulates by that
// texture too, at a different scale: one screen of pixels textured and lightmapped, as
// the level's are.
// With `keepDepthAndFog`, the quad is drawn at the current matrices with the depth test and
// the fog as they are set.
inline void DrawFullScreenQuad(GLuint texture, GLuint second = 0, bool keepDepthAndFog = false) {
  using ActiveTextureProc = void (*)(GLenum);
  using MultiTexCoordProc = void (*)(GLenum, GLfloat, GLfloat);
  static const auto activeTexture =
      reinterpret_cast<ActiveTextureProc>(platform::Current().GetProcAddress("glActiveTextureARB"));
  static const auto multiTexCoord =
      reinterpret_cast<MultiTexCoordProc>(platform::Current().GetProcAddress("glMultiTexCoord2fARB"));
  const GLenum Unit0 = 0x84C0, Unit1 = 0x84C1, ActiveUnit = 0x84E0;
  GLint activeUnit = Unit0;
  glGetIntegerv(ActiveUnit, &activeUnit);
  glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT | GL_CURRENT_BIT);  // every unit's enables and bindings
  activeTexture(Unit1);
  if (second) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, second);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  } else {
    glDisable(GL_TEXTURE_2D);
  }
  activeTexture(Unit0);
  if (!keepDepthAndFog) {
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_FOG);
  }
  glDisable(GL_CULL_FACE);
  glDisable(GL_BLEND);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  if (!keepDepthAndFog) glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  if (!keepDepthAndFog) glLoadIdentity();
  glColor4f(1, 1, 1, 1);
  const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
  glBegin(GL_QUADS);
  for (const auto& c : corners) {
    const float s = c[0] > 0 ? 1.0f : 0.0f, t = c[1] > 0 ? 1.0f : 0.0f;
    glTexCoord2f(s, t);
    if (second) multiTexCoord(Unit1, s * 3.7f, t * 2.9f);
    glVertex2f(c[0], c[1]);
  }
  glEnd();
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopAttrib();
  activeTexture(static_cast<GLenum>(activeUnit));
}
