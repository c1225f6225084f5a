// Fuzz target for the bitmap decoder.
#include "fuzz/image_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return FuzzImageDecoder(DecodeBmp, data, size);
}
