// Fuzz target for the Config.ini reader: any bytes must parse without reading past them.
#include <cstddef>
#include <cstdint>

#include "app/config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  GameConfig config = ParseConfig(reinterpret_cast<const char*>(data), size);
  // The level path is a piece of the input.
  if (config.levelPath.size() > size) __builtin_trap();
  return 0;
}
