// Saving and restoring the GL state of the level's extra passes (draw_state.h).
#include "level/draw_state.h"

#include "core/game_state.h"

void SavedDrawState::Save() {
  blend = glIsEnabled(GL_BLEND);
  fog = glIsEnabled(GL_FOG);
  culling = glIsEnabled(GL_CULL_FACE);
  glGetIntegerv(GL_BLEND_SRC, &source);
  glGetIntegerv(GL_BLEND_DST, &destination);
  glGetIntegerv(GL_DEPTH_FUNC, &depthFunction);
  glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
  colour = ReadCurrentColour();
}

void SavedDrawState::Restore() const {
  glBlendFunc(static_cast<GLenum>(source), static_cast<GLenum>(destination));
  if (blend) glEnable(GL_BLEND); else glDisable(GL_BLEND);
  if (fog) glEnable(GL_FOG); else glDisable(GL_FOG);
  if (culling) glEnable(GL_CULL_FACE); else glDisable(GL_CULL_FACE);
  glDepthFunc(static_cast<GLenum>(depthFunction));
  glDepthMask(depthWrites);
  EndVertexColours(colour);
}

void ActiveTextureUnit(unsigned int unit) {
  if (gGame.multitexture.activeTexture) gGame.multitexture.activeTexture(unit);
}

void LevelTextureUnits() {
  ActiveTextureUnit(GL_TEXTURE0_ARB);
  if (gGame.texturesOn) glEnable(GL_TEXTURE_2D); else glDisable(GL_TEXTURE_2D);
  if (gGame.lightmapsOn) {
    ActiveTextureUnit(GL_TEXTURE1_ARB);
    glEnable(GL_TEXTURE_2D);
  }
}

void ClientTextureUnit(size_t unit) {
  if (gGame.multitexture.clientActiveTexture)
    gGame.multitexture.clientActiveTexture(static_cast<unsigned int>(GL_TEXTURE0_ARB + unit));
}

bool PolygonsFilled() {
  GLint polygonMode[2] = {0, 0};
  glGetIntegerv(GL_POLYGON_MODE, polygonMode);
  return polygonMode[0] == GL_FILL && polygonMode[1] == GL_FILL;
}
