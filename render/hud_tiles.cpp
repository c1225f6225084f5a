// Finding, once per overlay picture, the screen tiles where it is plain white or plain
// black: the overlay then draws only the tiles where it changes something.
#include "render/hud_tiles.h"

#include <GL/gl.h>

#include <cmath>

namespace {

constexpr int TileCount = HudTileColumns * HudTileRows;

// Wraps a texel index as GL_REPEAT does (the overlay textures keep the default wrap).
int Wrap(int i, int size) {
  const int m = i % size;
  return m < 0 ? m + size : m;
}

// The texel span bilinear filtering can reach from pixel centres first + 0.5 ... last + 0.5
// of a screen axis `screen` pixels long stretched over `texels` texels, one spare each side.
void TexelSpan(int first, int last, int screen, int texels, int* from, int* to) {
  const double lo = (first + 0.5) / screen * texels - 0.5;
  const double hi = (last + 0.5) / screen * texels - 0.5;
  *from = static_cast<int>(std::floor(lo)) - 1;
  *to = static_cast<int>(std::floor(hi)) + 2;
}

}  // namespace

std::vector<HudTile> ClassifyHudTiles(const uint8_t* rgb, int width, int height) {
  std::vector<HudTile> tiles(TileCount, HudTile::Mixed);
  if (!rgb || width <= 0 || height <= 0) return tiles;
  for (int r = 0; r < HudTileRows; ++r) {
    // Screen rows run down from the top; the picture's rows run up from the bottom, and the
    // top of the screen shows its last row.
    const int top = r * HudTileSize, bottom = top + HudTileSize - 1;
    int rowFrom, rowTo;
    TexelSpan(HudScreenHeight - 1 - bottom, HudScreenHeight - 1 - top, HudScreenHeight, height, &rowFrom, &rowTo);
    for (int c = 0; c < HudTileColumns; ++c) {
      int colFrom, colTo;
      TexelSpan(c * HudTileSize, c * HudTileSize + HudTileSize - 1, HudScreenWidth, width, &colFrom, &colTo);
      bool white = true, black = true;
      for (int j = rowFrom; j <= rowTo && (white || black); ++j) {
        const uint8_t* row = rgb + static_cast<size_t>(Wrap(j, height)) * width * 3;
        for (int i = colFrom; i <= colTo && (white || black); ++i) {
          const uint8_t* p = row + static_cast<size_t>(Wrap(i, width)) * 3;
          white = white && p[0] == 255 && p[1] == 255 && p[2] == 255;
          black = black && p[0] == 0 && p[1] == 0 && p[2] == 0;
        }
      }
      tiles[r * HudTileColumns + c] = white ? HudTile::White : black ? HudTile::Black : HudTile::Mixed;
    }
  }
  return tiles;
}

std::vector<HudTile> HudTilesOf(HudTiles& tiles, Texture texture) {
  for (const auto& entry : tiles.byTexture)
    if (entry.first == texture) return entry.second;

  std::vector<HudTile> result(TileCount, HudTile::Mixed);
  GLint previous = 0, packAlignment = 4;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
  glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
  glBindTexture(GL_TEXTURE_2D, texture);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  GLint width = 0, height = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  // Stretched over the screen, a picture at most twice its size is drawn from its first
  // two levels, whatever the filter.
  if (texture != 0 && width > 0 && height > 0 && width <= 2 * HudScreenWidth && height <= 2 * HudScreenHeight) {
    for (int level = 0; level < 2; ++level) {
      GLint w = 0, h = 0;
      glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
      glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &h);
      if (w <= 0 || h <= 0) break;  // no such level: it is never sampled
      std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
      glGetTexImage(GL_TEXTURE_2D, level, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
      const std::vector<HudTile> levelTiles = ClassifyHudTiles(rgb.data(), w, h);
      for (int k = 0; k < TileCount; ++k)
        if (level == 0 || result[k] != levelTiles[k]) result[k] = level == 0 ? levelTiles[k] : HudTile::Mixed;
    }
  }
  glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
  tiles.byTexture.push_back({texture, result});
  return result;
}
