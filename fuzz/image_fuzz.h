// The check shared by the image fuzz targets: any bytes are decoded or refused, never read
// out of bounds; a decoded picture always has width * height * channels bytes, and (where the
// decoder always explains itself) every refusal names its reason.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "render/texture.h"

// Small pictures keep each run fast; larger ones take the same code paths.
constexpr int64_t MaxFuzzPixels = 65536;

inline int FuzzImageDecoder(ImageDecoder decode, const uint8_t* data, size_t size,
                            bool refusalNamesReason = true) {
  ImageData image;
  std::string error;
  ImageLimits limits;
  limits.maxPixels = MaxFuzzPixels;
  if (decode(data, size, &image, &error, limits)) {
    if (image.width < 1 || image.height < 1 || image.width * int64_t(image.height) > MaxFuzzPixels ||
        image.pixels.size() != size_t(image.width) * size_t(image.height) * size_t(image.channels))
      __builtin_trap();
  } else if (refusalNamesReason && error.empty()) {
    __builtin_trap();
  }
  return 0;
}
