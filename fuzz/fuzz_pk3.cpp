// Fuzz target for archives of game data: the bytes are mounted as a .pk3 the way the game
// mounts one, indexed, and every member is read with a small budget. Nothing may read
// outside the input or allocate beyond the budget, whatever the headers claim.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  if (files::MountArchiveBytes(data, size, "fuzz.pk3", &error)) {
    std::vector<uint8_t> bytes;
    for (const std::string& name : files::List("", "", true)) {
      if (files::ReadFile(name, &bytes, 1 << 20) && bytes.size() > (1u << 20)) __builtin_trap();
    }
  }
  files::UnmountAll();
  return 0;
}
