// The GL state of stage passes (stage_draw.h): texture units combined as a pass's stages
// join, and blend, depth and fog changed only where a pass differs from the one before.
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstring>

#include "core/game_state.h"
#include "level/stage_draw.h"

namespace {

bool HasExtension(const char* name) {
  const char* all = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  if (all == nullptr) return false;
  const size_t n = std::strlen(name);
  for (const char* p = std::strstr(all, name); p != nullptr; p = std::strstr(p + n, name))
    if ((p == all || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0')) return true;
  return false;
}

// The texture environment of a unit after the first: what it does with the units before it.
// Alpha stays the first unit's (its alpha test decides).
void SetJoin(UnitJoin join) {
  if (join == UnitJoin::None) {
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    return;
  }
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
  glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, GL_REPLACE);
  glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA, GL_PREVIOUS);
  glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_ALPHA, GL_SRC_ALPHA);
  for (GLenum operand : {GL_OPERAND0_RGB, GL_OPERAND1_RGB, GL_OPERAND2_RGB}) glTexEnvi(GL_TEXTURE_ENV, operand, GL_SRC_COLOR);
  if (join == UnitJoin::AddTinted) {  // texture * constant + previous
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_MODULATE_ADD_ATI);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB, GL_PREVIOUS);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE2_RGB, GL_CONSTANT);
    return;
  }
  glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, join == UnitJoin::Multiply ? GL_MODULATE : GL_ADD);
  glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, GL_PREVIOUS);
  glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB, GL_TEXTURE);
}

}  // namespace

StagePasses::StagePasses() {
  saved_.Save();
  GLint units = 1;
  glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &units);
  if (gGame.multitexture.activeTexture && gGame.multitexture.clientActiveTexture &&
      HasExtension("GL_ARB_texture_env_combine"))
    units_ = std::clamp(static_cast<int>(units), 1, MaxStageUnits);
  modulateAdd_ = units_ > 1 && HasExtension("GL_ATI_texture_env_combine3");
  for (int u = 1; u < units_; ++u) {
    ClientTextureUnit(static_cast<size_t>(u));
    coordArrays_[u] = !glIsEnabled(GL_TEXTURE_COORD_ARRAY);  // to turn on when used, and off at the end
  }
  ClientTextureUnit(0);
  // One unit on as the passes begin.
  ActiveTextureUnit(GL_TEXTURE1_ARB);
  glDisable(GL_TEXTURE_2D);
  ActiveTextureUnit(GL_TEXTURE0_ARB);
  glEnable(GL_TEXTURE_2D);
}

PassLimits StagePasses::Limits(const float tint[4], bool vertexLight) const {
  PassLimits limits;
  limits.units = units_;
  limits.modulateAdd = modulateAdd_;
  limits.tinted = tint[0] != 1 || tint[1] != 1 || tint[2] != 1;
  limits.vertexLight = vertexLight;
  return limits;
}

void StagePasses::Blend(bool on, GLenum source, GLenum destination) {
  if (blend_ != static_cast<int>(on)) {
    if (on) glEnable(GL_BLEND); else glDisable(GL_BLEND);
    blend_ = on;
  }
  if (on && (source != source_ || destination != destination_)) {
    glBlendFunc(source, destination);
    source_ = source, destination_ = destination;
  }
}

void StagePasses::Depth(GLenum function, bool writes) {
  if (function != depthFunction_) glDepthFunc(function);
  depthFunction_ = function;
  if (depthWrites_ != static_cast<int>(writes)) glDepthMask(writes ? GL_TRUE : GL_FALSE);
  depthWrites_ = writes;
}

void StagePasses::Fog(bool on) {
  if (fog_ != static_cast<int>(on)) {
    if (on) glEnable(GL_FOG); else glDisable(GL_FOG);
  }
  fog_ = on;
}

void StagePasses::Units(size_t count, const UnitJoin* joins, const float (*colours)[4]) {
  const size_t reach = std::max(count, enabled_);
  for (size_t u = 1; u < reach; ++u) {
    ActiveTextureUnit(static_cast<unsigned int>(GL_TEXTURE0_ARB + u));
    if (u >= count) {
      glDisable(GL_TEXTURE_2D);
      // A unit past 1 reads its own coordinate array, pointed into this pass's storage.
      if (u >= 2 && coordArrays_[u]) {
        ClientTextureUnit(u);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
      }
      continue;
    }
    if (u >= enabled_) {
      glEnable(GL_TEXTURE_2D);
      if (coordArrays_[u]) {
        ClientTextureUnit(u);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
      }
    }
    if (joins_[u] != joins[u]) SetJoin(joins[u]);
    joins_[u] = joins[u];
    if (joins[u] == UnitJoin::AddTinted) glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, colours[u]);
  }
  enabled_ = count;
  ClientTextureUnit(0);
  ActiveTextureUnit(GL_TEXTURE0_ARB);
}

void StagePasses::Bind(size_t unit, Texture texture) {
  if (boundKnown_[unit] && bound_[unit] == texture) return;
  if (unit > 0) ActiveTextureUnit(static_cast<unsigned int>(GL_TEXTURE0_ARB + unit));
  glBindTexture(GL_TEXTURE_2D, texture);
  if (unit > 0) ActiveTextureUnit(GL_TEXTURE0_ARB);
  bound_[unit] = texture;
  boundKnown_[unit] = true;
}

void StagePasses::Finish() {
  for (int u = 1; u < units_; ++u) {
    ActiveTextureUnit(static_cast<unsigned int>(GL_TEXTURE0_ARB + u));
    glDisable(GL_TEXTURE_2D);
    if (joins_[u] != UnitJoin::None) SetJoin(UnitJoin::None);
    joins_[u] = UnitJoin::None;
    if (coordArrays_[u]) {
      ClientTextureUnit(static_cast<size_t>(u));
      glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
  }
  enabled_ = 1;
  ClientTextureUnit(0);
  looks_.Restore();
  saved_.Restore();
  LevelTextureUnits();
}
