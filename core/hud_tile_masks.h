// The overlay's screen tiles, kept in the game state (render/hud_tiles.h finds and draws
// them). Where on the 1024 x 768 screen an overlay picture can change the scene, in tiles of
// 16 x 16 pixels, found once per picture from the texture as it was uploaded. A mask layer
// that is white over a tile leaves it as it is, one that is black there blacks it out
// whatever the scene; a colour layer that is black over a tile adds nothing.
#pragma once
#include <cstdint>
#include <utility>
#include <vector>

#include "core/texture_records.h"

constexpr int HudScreenWidth = 1024;
constexpr int HudScreenHeight = 768;
constexpr int HudTileSize = 16;
constexpr int HudTileColumns = HudScreenWidth / HudTileSize;
constexpr int HudTileRows = HudScreenHeight / HudTileSize;

// What every texel a tile can sample is (bilinear footprint, the first two mipmap levels).
enum class HudTile : uint8_t { Mixed, White, Black };

struct HudTiles {
  // false: the overlay is drawn as two whole-screen quads (kept for comparing pictures).
  bool enabled = true;
  // false: the joined layers are filtered anew every frame rather than copied from their
  // screen texture (kept for comparing pictures).
  bool screenTexels = true;
  // Tiles (row by row, top row first) of each texture analysed so far.
  std::vector<std::pair<Texture, std::vector<HudTile>>> byTexture;
  // Colour layers carrying their mask as alpha, made on first use; 0 where the pair cannot
  // be combined.
  struct Combined {
    Texture colour = 0, mask = 0, both = 0;
  };
  std::vector<Combined> combined;
  // Joined layers as the screen shows them, one texel a pixel (ScreenHudTexture); 0 where
  // they could not be made.
  struct Screen {
    Texture combined = 0, screen = 0;
  };
  std::vector<Screen> screens;
};
