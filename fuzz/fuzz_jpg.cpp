// Fuzz target for the JPEG decoder.
#include "fuzz/image_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return FuzzImageDecoder(DecodeJpg, data, size);
}
