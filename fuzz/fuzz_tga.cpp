// Fuzz target for the Targa decoder (a depth the game does not use is refused silently).
#include "fuzz/image_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return FuzzImageDecoder(DecodeTga, data, size, /*refusalNamesReason=*/false);
}
