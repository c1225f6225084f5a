// Texture names and decoded pictures: the records the texture loaders fill and the game
// state holds. The decoders and the GL uploads are in render/texture.h.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

using Texture = uint32_t;  // an OpenGL texture name; 0 means none

struct ImageData {
  int32_t channels = 0;         // bytes per pixel: 3 (R, G, B) or 4 (R, G, B, A)
  int32_t width = 0;            // pixels per row
  int32_t height = 0;           // rows
  std::vector<uint8_t> pixels;  // width * height * channels, rows packed tight
};

// The largest picture a decoder accepts, checked from the header before anything is
// allocated. Real textures are at most 2048 x 2048; the budget leaves room above that and
// keeps a lying header from costing more than 64 MB. The texture layer lowers maxSide to the
// GL implementation's largest texture; fuzzers lower maxPixels to keep runs fast.
constexpr int32_t MaxImageSide = 16384;
constexpr int64_t MaxImagePixels = int64_t{4096} * 4096;
// The largest picture file the decoders are given: a run-length Targa of one-pixel packets
// takes five bytes a pixel of the largest picture, and headers, palettes and comments fit in
// a megabyte more. A larger file (or archive member) is refused before it is read.
constexpr size_t MaxImageFileBytes = static_cast<size_t>(MaxImagePixels) * 5 + (size_t{1} << 20);
struct ImageLimits {
  int32_t maxSide = MaxImageSide;       // pixels per side
  int64_t maxPixels = MaxImagePixels;   // width * height
  bool Allow(int64_t width, int64_t height) const {
    return width <= maxSide && height <= maxSide && width * height <= maxPixels;
  }
};
