// Finding the overlay's screen tiles (core/hud_tile_masks.h) from each picture as it was
// uploaded, and the combined and screen-sized textures that draw the overlay cheaply.
#pragma once
#include <cstdint>
#include <vector>

#include "core/hud_tile_masks.h"
#include "render/texture.h"

// The tiles of the texture, analysed on first use (needs the GL context; leaves the
// binding of the active unit as it was). A texture that cannot be read back, or is too
// large for its first two levels to cover the screen, has only Mixed tiles.
std::vector<HudTile> HudTilesOf(HudTiles& tiles, Texture texture);

// The colour layer with the mask as its alpha, every mipmap level copied texel for texel,
// filtered and wrapped as the colour layer is: drawn with blending (ONE, SRC_ALPHA) it gives
// what the mask pass and the colour pass give under a white current colour. When the
// layers stretched over the screen are sampled only from their full-size images (at most
// about 1.4 texels a pixel and a filter that takes the nearest mipmap level), only that
// image is kept, without mipmaps; the texels sampled are the same. Made on first
// use (needs the GL context; leaves the binding of the active unit as it was). 0 when the
// layers differ in their levels' sizes or their filtering, or the mask is not grey (each
// channel alike), or either cannot be read back.
Texture CombinedHudTexture(HudTiles& tiles, Texture colour, Texture mask);

// The joined layers `combined` as drawn stretched over the screen (white, unblended), one
// texel a screen pixel, filtered GL_NEAREST: texel (x, y) of the 1024 x 1024 texture is what
// filtering gives at window pixel (x, y), row 0 the screen's bottom row. Drawn with it (see
// ScreenHudTextureS/T for a screen rectangle's corners) the overlay gives the same bytes and
// samples far more cheaply. Made on first use through a framebuffer object (leaves the
// binding of the active unit, the framebuffer and every other state as it was); 0 when the
// GL has no framebuffer objects or the texture does not hold 8 bits a channel.
Texture ScreenHudTexture(HudTiles& tiles, Texture combined, void (*activeTexture)(unsigned int));
// One quad over the whole 1024 x 768 overlay screen (in its orthographic units) carrying the
// whole picture; the top edge shows the picture's last row (bitmaps run bottom-up).
void DrawHudScreenQuad();
// The texture coordinates of the screen texture at a screen column's left edge and a screen
// row's top edge (rows counted down from the top).
float ScreenHudTextureS(int screenColumn);
float ScreenHudTextureT(int screenRow);

// Classifies the tiles from one level of a picture (RGB rows, bottom row first, as the GL
// keeps them) stretched over the screen as the overlay draws it: a tile is White or Black
// only when every texel that bilinear filtering can reach from its pixels is.
std::vector<HudTile> ClassifyHudTiles(const uint8_t* rgb, int width, int height);
