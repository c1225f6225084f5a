// Fuzz target for the shader script reader: any bytes must parse without reading past them,
// and every entry's words are pieces of the input, cut to the longest word kept.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "level/shader_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<ShaderEntry> entries;
  std::string error;
  const bool ok = ParseShaderScript(std::string_view(reinterpret_cast<const char*>(data), size), &entries, &error);
  if (!ok && error.empty()) __builtin_trap();
  for (const ShaderEntry& entry : entries) {
    if (entry.name.size() > MaxShaderTokenLength || entry.picture.size() > MaxShaderTokenLength ||
        entry.skyBox.size() > MaxShaderTokenLength)
      __builtin_trap();
    if (entry.blend > SurfaceBlend::Filter || entry.alphaTest > AlphaTest::GE128) __builtin_trap();
    if (entry.clamp && entry.picture.empty()) __builtin_trap();
  }
  // Every entry needs at least its name and two braces.
  if (entries.size() > size / 3 + 1) __builtin_trap();
  return 0;
}
