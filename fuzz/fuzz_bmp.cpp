// Fuzz target for the bitmap decoder: any bytes are decoded or refused, never read out of bounds,
// and a decoded picture always has width * height * channels bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "render/texture.h"

namespace {
// Small pictures keep each run fast; larger ones take the same code paths.
constexpr int64_t MaxFuzzPixels = 65536;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ImageData image;
  std::string error;
  if (DecodeBmp(data, size, &image, &error, MaxFuzzPixels)) {
    if (image.width < 1 || image.height < 1 || image.width * int64_t(image.height) > MaxFuzzPixels ||
        image.pixels.size() != size_t(image.width) * size_t(image.height) * size_t(image.channels))
      __builtin_trap();
  } else if (error.empty()) {
    __builtin_trap();  // every refusal names its reason
  }
  return 0;
}
