// Switching texturing off on every texture unit, through the multitexture entry points.
#include "render/texture_units.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include "core/game_state.h"

void DisableTexturingOnEveryUnit() {
  glDisable(GL_TEXTURE_2D);
  const ActiveTextureProc activeTexture = gGame.multitexture.activeTexture;
  if (!activeTexture) return;
  GLint active = GL_TEXTURE0_ARB, units = 1;
  glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &active);
  glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &units);
  for (GLint unit = 0; unit < units && unit < 8; ++unit) {
    activeTexture(GL_TEXTURE0_ARB + unit);
    glDisable(GL_TEXTURE_2D);
  }
  activeTexture(active);
}
