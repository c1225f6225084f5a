// The weapon / night-vision overlay blended over the finished 3D picture: a mask layer that
// multiplies the scene (black hides it, white keeps it), then a colour layer added on top.
// On the game's 1024 x 768 screen only the tiles where the layers change something are
// drawn (render/hud_tiles.h): most of the screen is white mask and black colour. Where both
// layers change a tile, a grey mask rides as alpha on its colour layer and one blended pass
// does the work of two. The picture is the one two whole-screen quads give.
#include <GL/gl.h>

#include <vector>

#include "core/game_state.h"
#include "render/hud_tiles.h"
#include "render/text.h"

namespace {

// Slots of gGame.hudTextures.
constexpr int RifleColour = 0, RifleMask = 1;
constexpr int LauncherColour = 2, LauncherMask = 3;
constexpr int NightVisionColour = 4, NightVisionMask = 5;

void SelectTextureUnit(unsigned int unit) {
  if (gGame.multitexture.activeTexture) gGame.multitexture.activeTexture(unit);
}

// The layer for the weapon or night vision; 0 for an unknown weapon code, which keeps the
// texture bound last.
Texture Layer(int nightVisionSlot, int rifleSlot, int launcherSlot) {
  if (gGame.nightVision) return gGame.hudTextures[nightVisionSlot];
  if (gGame.currentWeapon == WeaponRifle) return gGame.hudTextures[rifleSlot];
  if (gGame.currentWeapon == WeaponLauncher) return gGame.hudTextures[launcherSlot];
  return 0;
}

void BindLayer(int nightVisionSlot, int rifleSlot, int launcherSlot) {
  const bool known = gGame.nightVision || gGame.currentWeapon == WeaponRifle || gGame.currentWeapon == WeaponLauncher;
  if (known) glBindTexture(GL_TEXTURE_2D, Layer(nightVisionSlot, rifleSlot, launcherSlot));
}

// Whether the tiles drawn next take their texture coordinates for the screen texture (one
// texel a pixel) rather than for a picture stretched over the screen.
bool gScreenTexels = false;

// One screen rectangle of the overlay; the top edge shows the last row of the (bottom-up)
// bitmap, so texture t runs from 1 at the top to 0 at the bottom.
void ScreenRectangle(int left, int top, int right, int bottom) {
  float s0 = static_cast<float>(left) / HudScreenWidth, s1 = static_cast<float>(right) / HudScreenWidth;
  float t0 = 1.0f - static_cast<float>(top) / HudScreenHeight;
  float t1 = 1.0f - static_cast<float>(bottom) / HudScreenHeight;
  if (gScreenTexels) {
    s0 = ScreenHudTextureS(left), s1 = ScreenHudTextureS(right);
    t0 = ScreenHudTextureT(top), t1 = ScreenHudTextureT(bottom);
  }
  glTexCoord2f(s0, t0);
  glVertex2f(static_cast<float>(left), static_cast<float>(top));
  glTexCoord2f(s0, t1);
  glVertex2f(static_cast<float>(left), static_cast<float>(bottom));
  glTexCoord2f(s1, t1);
  glVertex2f(static_cast<float>(right), static_cast<float>(bottom));
  glTexCoord2f(s1, t0);
  glVertex2f(static_cast<float>(right), static_cast<float>(top));
}

// Draws the tiles `wanted` picks, each row's neighbouring tiles as one rectangle.
template <typename Wanted>
void DrawTiles(Wanted wanted) {
  glBegin(GL_QUADS);
  for (int r = 0; r < HudTileRows; ++r) {
    int c = 0;
    while (c < HudTileColumns) {
      if (!wanted(r * HudTileColumns + c)) {
        ++c;
        continue;
      }
      const int first = c;
      while (c < HudTileColumns && wanted(r * HudTileColumns + c)) ++c;
      ScreenRectangle(first * HudTileSize, r * HudTileSize, c * HudTileSize, (r + 1) * HudTileSize);
    }
  }
  glEnd();
}

// Tiles can stand for the whole quad only when the overlay's layers are known textures, the
// screen is the overlay's own size (else other filtering than the tiles assume) and
// polygons are filled (outlined, the tiles would show their edges).
bool TilesUsable(Texture mask, Texture colour) {
  if (!gGame.hudTiles.enabled || mask == 0 || colour == 0) return false;
  GLint viewport[4] = {0, 0, 0, 0}, polygonMode[2] = {0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  glGetIntegerv(GL_POLYGON_MODE, polygonMode);
  return viewport[0] == 0 && viewport[1] == 0 && viewport[2] == HudScreenWidth && viewport[3] == HudScreenHeight &&
         polygonMode[0] == GL_FILL && polygonMode[1] == GL_FILL;
}

bool CurrentColourIsWhite() {
  float colour[4] = {0, 0, 0, 0};
  glGetFloatv(GL_CURRENT_COLOR, colour);
  return colour[0] == 1 && colour[1] == 1 && colour[2] == 1 && colour[3] == 1;
}

// Whether every channel of the current colour is 0 or 1 (night vision's green): then the
// blend colour multiplies exactly as a white texel modulated by it does.
bool CurrentColourHasWholeChannels(float colour[4]) {
  glGetFloatv(GL_CURRENT_COLOR, colour);
  for (int c = 0; c < 4; ++c)
    if (colour[c] != 0 && colour[c] != 1) return false;
  return true;
}

}  // namespace

void DrawHudOverlay() {
  const Texture maskTexture = Layer(NightVisionMask, RifleMask, LauncherMask);
  const Texture colourTexture = Layer(NightVisionColour, RifleColour, LauncherColour);
  const bool tiled = TilesUsable(maskTexture, colourTexture);
  std::vector<HudTile> mask, colour;
  if (tiled) {
    mask = HudTilesOf(gGame.hudTiles, maskTexture);
    colour = HudTilesOf(gGame.hudTiles, colourTexture);
  }
  // A white mask changes nothing only under a white colour (night vision tints it green).
  const bool whiteMaskKeeps = tiled && CurrentColourIsWhite();

  OrthoMode(0, 0, HudScreenWidth, HudScreenHeight);
  // The overlay lies on the near plane at distance 0, where fog leaves every colour as it
  // is; turned off, the renderer spares working that out for every pixel.
  const bool fogOn = glIsEnabled(GL_FOG);
  glDisable(GL_FOG);
  glDisable(GL_DEPTH_TEST);
  glBlendFunc(GL_DST_COLOR, GL_ZERO);
  // The lightmap unit is still on after the level: left on, it would multiply the mask by
  // some lightmap texel and darken the whole picture.
  SelectTextureUnit(GL_TEXTURE1_ARB);
  glDisable(GL_TEXTURE_2D);
  SelectTextureUnit(GL_TEXTURE0_ARB);
  glEnable(GL_BLEND);

  // A tint of whole channels (night vision's green) scales both layers by 0 or 1 in each
  // channel: the channels it drops end black all over the screen, the others as under white.
  float tint[4] = {1, 1, 1, 1};
  const bool channelTint = tiled && !whiteMaskKeeps && CurrentColourHasWholeChannels(tint);
  // Under a white colour the two layers go in one pass where both change something: the
  // colour layer carrying the mask as alpha, added to the scene scaled by the mask. Under a
  // whole-channel tint the dropped channels go black first and the rest is drawn as under
  // white.
  Texture combined =
      whiteMaskKeeps || channelTint ? CombinedHudTexture(gGame.hudTiles, colourTexture, maskTexture) : 0;
  if (channelTint && combined) {
    glColorMask(tint[0] == 0, tint[1] == 0, tint[2] == 0, tint[3] == 0);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glColor4f(0, 0, 0, 0);
    DrawHudScreenQuad();
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glColorMask(tint[0] == 1, tint[1] == 1, tint[2] == 1, tint[3] == 1);
    glColor4f(1, 1, 1, 1);
  }
  // Better still, the joined layers as the screen shows them, copied pixel for pixel.
  const Texture screen = combined && gGame.hudTiles.screenTexels ? ScreenHudTexture(gGame.hudTiles, combined, gGame.multitexture.activeTexture) : 0;
  if (screen) combined = screen;
  gScreenTexels = screen != 0;
  if (combined) {
    glBindTexture(GL_TEXTURE_2D, combined);
    glBlendFunc(GL_ONE, GL_SRC_ALPHA);
    DrawTiles([&](int k) {
      return mask[k] == HudTile::Mixed || (mask[k] == HudTile::White && colour[k] != HudTile::Black);
    });
  } else {
    // Under a tint (night vision) a white mask tile still scales the scene by the tint: with
    // whole channels that goes in one pass with the colour layer, the tint as blend colour.
    const bool tintPass = channelTint;
    BindLayer(NightVisionMask, RifleMask, LauncherMask);
    if (!tiled)
      DrawHudScreenQuad();
    else  // black mask tiles are left to the colour layer below
      DrawTiles([&](int k) {
        return mask[k] == HudTile::Mixed || (mask[k] == HudTile::White && !whiteMaskKeeps && !tintPass);
      });

    SelectTextureUnit(GL_TEXTURE1_ARB);
    glDisable(GL_TEXTURE_2D);
    SelectTextureUnit(GL_TEXTURE0_ARB);

    glBlendFunc(GL_ONE, GL_ONE);
    BindLayer(NightVisionColour, RifleColour, LauncherColour);
    if (!tiled)
      DrawHudScreenQuad();
    else
      DrawTiles([&](int k) {
        return mask[k] != HudTile::Black && colour[k] != HudTile::Black && !(tintPass && mask[k] == HudTile::White);
      });
    if (tintPass) {
      glBlendColor(tint[0], tint[1], tint[2], tint[3]);
      glBlendFunc(GL_ONE, GL_CONSTANT_COLOR);
      DrawTiles([&](int k) { return mask[k] == HudTile::White; });
      glBlendColor(0, 0, 0, 0);
    }
  }
  if (tiled) {
    // Where the mask is black the scene is gone: the colour layer alone is the picture (the
    // combined texture holds it too, and may be the cheaper to sample).
    if (combined)
      glBindTexture(GL_TEXTURE_2D, combined);
    else
      BindLayer(NightVisionColour, RifleColour, LauncherColour);
    glBlendFunc(GL_ONE, GL_ONE);
    glDisable(GL_BLEND);
    DrawTiles([&](int k) { return mask[k] == HudTile::Black; });
  }
  gScreenTexels = false;
  if (channelTint && combined) {
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glColor4fv(tint);
  }

  SelectTextureUnit(GL_TEXTURE1_ARB);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
  glEnable(GL_DEPTH_TEST);
  if (fogOn) glEnable(GL_FOG);
  PerspectiveMode();
}

void MaskScreenUnderHud() {
  const Texture maskTexture = Layer(NightVisionMask, RifleMask, LauncherMask);
  const Texture colourTexture = Layer(NightVisionColour, RifleColour, LauncherColour);
  if (!TilesUsable(maskTexture, colourTexture)) return;
  const std::vector<HudTile> mask = HudTilesOf(gGame.hudTiles, maskTexture);
  GLint activeUnit = GL_TEXTURE0_ARB;
  glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &activeUnit);
  glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  OrthoMode(0, 0, HudScreenWidth, HudScreenHeight);
  SelectTextureUnit(GL_TEXTURE1_ARB);
  glDisable(GL_TEXTURE_2D);
  SelectTextureUnit(GL_TEXTURE0_ARB);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_FOG);
  glDisable(GL_BLEND);
  glDisable(GL_CULL_FACE);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_ALWAYS);
  glDepthMask(GL_TRUE);
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
  DrawTiles([&](int k) { return mask[k] == HudTile::Black; });  // at depth 0, the nearest
  PerspectiveMode();
  glPopAttrib();
  SelectTextureUnit(static_cast<unsigned int>(activeUnit));
}
