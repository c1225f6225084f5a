// An offscreen OpenGL compatibility context for GL tests (Mesa llvmpipe through SDL's
// offscreen driver: no X server needed). Read pixels back with ReadPixels before any swap.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/vec3.h"

class GLTestContext {
 public:
  // Creates a hidden width x height window with a 24-bit depth buffer and makes its
  // context current; also looks up the multitexture entry points into gGame.
  explicit GLTestContext(int width = 1024, int height = 768);
  ~GLTestContext();
  bool ok() const { return ok_; }
  // RGBA rows, bottom row first (as glReadPixels gives them).
  std::vector<uint8_t> ReadPixels() const;
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  bool ok_ = false;
  int width_, height_;
  void* window_ = nullptr;
  void* context_ = nullptr;
};

// Resets the game state when made: a fixture's member placed before its GLTestContext, so
// that the context's multitexture entry points are filled in after the reset.
struct GameStateReset {
  GameStateReset();
};

// Resets the game state to its defaults but keeps the multitexture entry points that the
// context looked up, so GL tests start each case from a clean state.
void ResetGameStateKeepingGL();

// A square viewport of `size` pixels seen through a 90-degree perspective from nearPlane to
// farPlane, depth-tested (GL_LESS), as the level is drawn; culling is left to the caller.
void SetSquareView(int size, double nearPlane, double farPlane);

// Eye at `eye` looking at `target`, y up, on a fresh modelview matrix; the frustum follows.
void LookAt(Vec3 eye, Vec3 target);

// A new 4 x 4 texture of one colour, nearest filtered; the active unit modulates by it.
uint32_t SolidTexture(uint8_t r, uint8_t g, uint8_t b);

// The first texel (red, green, blue) of a texture's top level; empty for texture 0.
std::vector<int> TexelOf(uint32_t texture);

// With KORVALIS_SHOTS_DIR set, writes RGBA rows (bottom row first) there as NAME.png, through
// a PPM and ImageMagick's convert, which gets `convertOptions` before the output name.
void SaveShot(const std::vector<uint8_t>& rgba, int width, int height, const std::string& name,
              const std::string& convertOptions = "");

// Whether GL tests may skip for want of a context: only when the run says there is no
// OpenGL (KORVALIS_NO_GL=1, set by scripts/test --no-gl). Otherwise a missing context is a
// failure, so a broken GL set-up cannot pass the suite as a row of skips.
bool GLMayBeMissing();

// Ends the current test when no context could be made: skipped where the run has no OpenGL,
// failed everywhere else.
#define REQUIRE_GL(ctx)                                                             \
  if (!(ctx).ok()) {                                                                \
    if (GLMayBeMissing()) GTEST_SKIP() << "no OpenGL in this run (KORVALIS_NO_GL)"; \
    FAIL() << "no offscreen OpenGL context (set KORVALIS_NO_GL=1 where there is none)"; \
  }                                                                                 \
  static_assert(true, "")
