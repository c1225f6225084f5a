// The weapon / night-vision overlay blended over the finished 3D picture: a mask layer that
// multiplies the scene (black hides it, white keeps it), then a colour layer added on top.
#include <GL/gl.h>

#include "app/game_state.h"
#include "render/text.h"

namespace {

constexpr int HudWidth = 1024;
constexpr int HudHeight = 768;

// Slots of gGame.hudTextures.
constexpr int RifleColour = 0, RifleMask = 1;
constexpr int LauncherColour = 2, LauncherMask = 3;
constexpr int NightVisionColour = 4, NightVisionMask = 5;

void SelectTextureUnit(unsigned int unit) {
  if (gGame.multitexture.activeTexture) gGame.multitexture.activeTexture(unit);
}

// Binds the layer for the weapon or night vision; an unknown weapon code keeps the texture
// bound last.
void BindLayer(int nightVisionSlot, int rifleSlot, int launcherSlot) {
  if (gGame.nightVision)
    glBindTexture(GL_TEXTURE_2D, gGame.hudTextures[nightVisionSlot]);
  else if (gGame.currentWeapon == WeaponRifle)
    glBindTexture(GL_TEXTURE_2D, gGame.hudTextures[rifleSlot]);
  else if (gGame.currentWeapon == WeaponLauncher)
    glBindTexture(GL_TEXTURE_2D, gGame.hudTextures[launcherSlot]);
}

// The whole screen; the top edge shows the last row of the (bottom-up) bitmap.
void DrawScreenQuad() {
  glBegin(GL_QUADS);
  glTexCoord2f(0, 1);
  glVertex2f(0, 0);
  glTexCoord2f(0, 0);
  glVertex2f(0, HudHeight);
  glTexCoord2f(1, 0);
  glVertex2f(HudWidth, HudHeight);
  glTexCoord2f(1, 1);
  glVertex2f(HudWidth, 0);
  glEnd();
}

}  // namespace

void DrawHudOverlay() {
  OrthoMode(0, 0, HudWidth, HudHeight);
  glDisable(GL_DEPTH_TEST);
  glBlendFunc(GL_DST_COLOR, GL_ZERO);
  // The lightmap unit is still on after the level: left on, it would multiply the mask by
  // some lightmap texel and darken the whole picture.
  SelectTextureUnit(GL_TEXTURE1_ARB);
  glDisable(GL_TEXTURE_2D);
  SelectTextureUnit(GL_TEXTURE0_ARB);
  glEnable(GL_BLEND);

  BindLayer(NightVisionMask, RifleMask, LauncherMask);
  DrawScreenQuad();

  SelectTextureUnit(GL_TEXTURE1_ARB);
  glDisable(GL_TEXTURE_2D);
  SelectTextureUnit(GL_TEXTURE0_ARB);

  glBlendFunc(GL_ONE, GL_ONE);
  BindLayer(NightVisionColour, RifleColour, LauncherColour);
  DrawScreenQuad();

  SelectTextureUnit(GL_TEXTURE1_ARB);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
  glEnable(GL_DEPTH_TEST);
  PerspectiveMode();
}
