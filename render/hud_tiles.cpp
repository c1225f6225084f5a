// Finding, once per overlay picture, the screen tiles where it is plain white or plain
// black: the overlay then draws only the tiles where it changes something. Also joining a
// colour layer and its mask into one texture, so both are drawn in one pass.
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

// The levels of the bound texture as RGB rows, level 0 first, down to the last level the
// GL holds; empty when level 0 has no texels.
struct Level {
  GLint width = 0, height = 0;
  std::vector<uint8_t> rgb;
};
std::vector<Level> ReadLevels() {
  std::vector<Level> levels;
  for (int level = 0; level < 32; ++level) {
    Level l;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &l.width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &l.height);
    if (l.width <= 0 || l.height <= 0) break;
    l.rgb.resize(static_cast<size_t>(l.width) * l.height * 3);
    glGetTexImage(GL_TEXTURE_2D, level, GL_RGB, GL_UNSIGNED_BYTE, l.rgb.data());
    levels.push_back(std::move(l));
  }
  return levels;
}

// The sampling state of the bound texture the combined texture must share.
struct Sampling {
  GLint minFilter = 0, magFilter = 0, wrapS = 0, wrapT = 0, baseLevel = 0, maxLevel = 0;
  bool operator==(const Sampling& o) const {
    return minFilter == o.minFilter && magFilter == o.magFilter && wrapS == o.wrapS && wrapT == o.wrapT &&
           baseLevel == o.baseLevel && maxLevel == o.maxLevel;
  }
};
Sampling ReadSampling() {
  Sampling s;
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &s.minFilter);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &s.magFilter);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &s.wrapS);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &s.wrapT);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, &s.baseLevel);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, &s.maxLevel);
  return s;
}

// Texels per screen pixel up to which a picture stretched over the screen is sampled from
// its full-size image alone by a filter that takes the nearest mipmap level: the level of
// detail stays below one half (log2 1.375 = 0.46, with room for the renderer's rounding).
constexpr double FullSizeOnlyLimit = 1.375;

// The filter that gives, from the full-size image alone, what `sampling` gives where the
// level of detail stays below one half; 0 where the mipmap levels may be sampled.
GLint FullSizeFilter(const Sampling& sampling, int width, int height) {
  if (sampling.baseLevel != 0) return 0;
  if (static_cast<double>(width) / HudScreenWidth > FullSizeOnlyLimit ||
      static_cast<double>(height) / HudScreenHeight > FullSizeOnlyLimit)
    return 0;
  const GLint mag = sampling.magFilter, min = sampling.minFilter;
  // Magnified or minified, both filters then read the full-size image the same way.
  if ((min == GL_LINEAR_MIPMAP_NEAREST || min == GL_LINEAR) && mag == GL_LINEAR) return GL_LINEAR;
  if ((min == GL_NEAREST_MIPMAP_NEAREST || min == GL_NEAREST) && mag == GL_NEAREST) return GL_NEAREST;
  return 0;
}

// Joins the levels into RGBA texels (colour, mask as alpha) and uploads them into a new
// texture; 0 when the layers cannot be joined. Where the overlay samples only the full-size
// image, only that is kept, filtered without mipmaps: a software renderer fills it far more
// cheaply, with the same texels.
Texture JoinLayers(Texture colour, Texture mask) {
  if (colour == 0 || mask == 0) return 0;
  glBindTexture(GL_TEXTURE_2D, colour);
  const std::vector<Level> colourLevels = ReadLevels();
  const Sampling sampling = ReadSampling();
  glBindTexture(GL_TEXTURE_2D, mask);
  const std::vector<Level> maskLevels = ReadLevels();
  if (colourLevels.empty() || colourLevels.size() != maskLevels.size() || !(ReadSampling() == sampling)) return 0;
  std::vector<std::vector<uint8_t>> joined(colourLevels.size());
  for (size_t level = 0; level < colourLevels.size(); ++level) {
    const Level& c = colourLevels[level];
    const Level& m = maskLevels[level];
    if (c.width != m.width || c.height != m.height) return 0;
    const size_t texels = static_cast<size_t>(c.width) * c.height;
    joined[level].resize(texels * 4);
    for (size_t t = 0; t < texels; ++t) {
      const uint8_t* mt = &m.rgb[3 * t];
      if (mt[0] != mt[1] || mt[0] != mt[2]) return 0;
      uint8_t* out = &joined[level][4 * t];
      out[0] = c.rgb[3 * t], out[1] = c.rgb[3 * t + 1], out[2] = c.rgb[3 * t + 2], out[3] = mt[0];
    }
  }
  GLuint both = 0;
  glGenTextures(1, &both);
  glBindTexture(GL_TEXTURE_2D, both);
  GLint unpackAlignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpackAlignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  const GLint fullSizeFilter = FullSizeFilter(sampling, colourLevels[0].width, colourLevels[0].height);
  const size_t levelsKept = fullSizeFilter ? 1 : joined.size();
  for (size_t level = 0; level < levelsKept; ++level)
    glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), GL_RGBA8, colourLevels[level].width,
                 colourLevels[level].height, 0, GL_RGBA, GL_UNSIGNED_BYTE, joined[level].data());
  glPixelStorei(GL_UNPACK_ALIGNMENT, unpackAlignment);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, fullSizeFilter ? fullSizeFilter : sampling.minFilter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, sampling.magFilter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, sampling.wrapS);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, sampling.wrapT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, sampling.baseLevel);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, fullSizeFilter ? 0 : sampling.maxLevel);
  return both;
}

}  // namespace

Texture CombinedHudTexture(HudTiles& tiles, Texture colour, Texture mask) {
  for (const HudTiles::Combined& c : tiles.combined)
    if (c.colour == colour && c.mask == mask) return c.both;
  GLint previous = 0, packAlignment = 4;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
  glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  const Texture both = JoinLayers(colour, mask);
  glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
  tiles.combined.push_back({colour, mask, both});
  return both;
}

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
