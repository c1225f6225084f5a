#include "support/gl_context.h"

#include <SDL.h>
#include <SDL_opengl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/game_state.h"

GLTestContext::GLTestContext(int width, int height) : width_(width), height_(height) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return;
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_Window* window = SDL_CreateWindow("test", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (!window) return;
  SDL_GLContext context = SDL_GL_CreateContext(window);
  if (!context) {
    SDL_DestroyWindow(window);
    return;
  }
  SDL_GL_MakeCurrent(window, context);
  window_ = window;
  context_ = context;
  gGame.multitexture.activeTexture =
      reinterpret_cast<ActiveTextureProc>(SDL_GL_GetProcAddress("glActiveTextureARB"));
  gGame.multitexture.clientActiveTexture =
      reinterpret_cast<ActiveTextureProc>(SDL_GL_GetProcAddress("glClientActiveTextureARB"));
  gGame.multitexture.multiTexCoord2f =
      reinterpret_cast<MultiTexCoord2fProc>(SDL_GL_GetProcAddress("glMultiTexCoord2fARB"));
  glViewport(0, 0, width, height);
  ok_ = true;
}

GLTestContext::~GLTestContext() {
  if (context_) SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
  if (window_) SDL_DestroyWindow(static_cast<SDL_Window*>(window_));
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  gGame.multitexture = MultitextureProcs();
}

std::vector<uint8_t> GLTestContext::ReadPixels() const {
  std::vector<uint8_t> pixels(static_cast<size_t>(width_) * height_ * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

void ResetGameStateKeepingGL() {
  const MultitextureProcs procs = gGame.multitexture;
  ResetGameState();
  gGame.multitexture = procs;
}

void SetSquareView(int size, double nearPlane, double farPlane) {
  glViewport(0, 0, size, size);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(90, 1, nearPlane, farPlane);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
}

void LookAt(Vec3 eye, Vec3 target) {
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  gluLookAt(eye.x, eye.y, eye.z, target.x, target.y, target.z, 0, 1, 0);
  gGame.frustum.CalculateFrustum();
}

GameStateReset::GameStateReset() { ResetGameState(); }

uint32_t SolidTexture(uint8_t r, uint8_t g, uint8_t b) {
  std::vector<uint8_t> texels(4 * 4 * 3);
  for (size_t i = 0; i < texels.size(); i += 3) {
    texels[i] = r;
    texels[i + 1] = g;
    texels[i + 2] = b;
  }
  GLuint t = 0;
  glGenTextures(1, &t);
  glBindTexture(GL_TEXTURE_2D, t);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 4, 4, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  return t;
}

std::vector<int> TexelOf(uint32_t texture) {
  if (texture == 0) return {};
  glBindTexture(GL_TEXTURE_2D, texture);
  GLint w = 0, h = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
  std::vector<uint8_t> texels(static_cast<size_t>(w) * h * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
  return {texels[0], texels[1], texels[2]};
}

void SaveShot(const std::vector<uint8_t>& rgba, int width, int height, const std::string& name,
              const std::string& convertOptions) {
  const char* dir = std::getenv("KORVALIS_SHOTS_DIR");
  if (!dir) return;
  const std::string base = std::string(dir) + "/" + name;
  const std::string ppm = base + ".ppm";
  FILE* f = std::fopen(ppm.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fprintf(f, "P6\n%d %d\n255\n", width, height);
  for (int y = height - 1; y >= 0; --y)
    for (int x = 0; x < width; ++x) std::fwrite(&rgba[(static_cast<size_t>(y) * width + x) * 4], 1, 3, f);
  std::fclose(f);
  std::string command = "convert " + ppm;
  if (!convertOptions.empty()) command += " " + convertOptions;
  command += " " + base + ".png && rm " + ppm;
  EXPECT_EQ(std::system(command.c_str()), 0);
}

bool GLMayBeMissing() {
  const char* noGL = std::getenv("KORVALIS_NO_GL");
  return noGL && std::strcmp(noGL, "1") == 0;
}
