// The depth beyond which the fog leaves nothing of a level face: with black fog over a black
// clear colour, a fragment that far from the eye comes out black whatever its texture, the
// same as the cleared pixel or any other face behind it. Faces wholly beyond it can be left
// undrawn without changing a byte of the picture.
#include <GL/gl.h>

#include <cmath>
#include <limits>

#include "core/level.h"
#include "level/fog_depth.h"

namespace {

// A fragment whose fog factor is below this rounds to 0 in every 8-bit channel: texture,
// lightmap and colour are each at most 1, and a byte rounds to the nearest step. Half a step,
// less a margin for the GL's own arithmetic.
constexpr float FaintestFogFactor = 0.4f / 255.0f;

constexpr GLenum FogCoordinateSource = 0x8450;  // GL 1.4 names, not in every gl.h
constexpr GLenum FragmentDepth = 0x8452;

}  // namespace

float FogHidingDepth() {
  const float never = std::numeric_limits<float>::infinity();
  if (!glIsEnabled(GL_FOG)) return never;
  float fogColour[4] = {1, 1, 1, 1}, clearColour[4] = {1, 1, 1, 1};
  glGetFloatv(GL_FOG_COLOR, fogColour);
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColour);
  for (int c = 0; c < 3; ++c)
    if (fogColour[c] != 0 || clearColour[c] != 0) return never;
  // The fog must be measured from the eye (not read from per-vertex fog coordinates).
  GLint source = FragmentDepth;
  glGetIntegerv(FogCoordinateSource, &source);
  if (source != FragmentDepth) return never;
  GLint mode = 0;
  float density = 0, start = 0, end = 0;
  glGetIntegerv(GL_FOG_MODE, &mode);
  glGetFloatv(GL_FOG_DENSITY, &density);
  glGetFloatv(GL_FOG_START, &start);
  glGetFloatv(GL_FOG_END, &end);
  // Every fog distance the GL may use (the eye plane's depth or the radial distance) is at
  // least the depth, and the factor falls as the distance grows.
  const float reach = std::log(1.0f / FaintestFogFactor);
  switch (mode) {
    case GL_EXP: return density > 0 ? reach / density : never;
    case GL_EXP2: return density > 0 ? std::sqrt(reach) / density : never;
    case GL_LINEAR: return end > start ? end + 1e-3f * (end - start) : never;
    default: return never;
  }
}
