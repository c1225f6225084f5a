// The Config.ini reader (see config.h).
#include "app/config.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/files.h"

namespace {

bool IsSeparator(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The brightness token: the decimal number at the start of the token, as a stream reads it
// ("4", "2.5", "-1", "3e1"; "4x" gives 4). A token that does not start with a number, or a
// value that is not finite, keeps the default; "nan", "inf" and hexadecimal are not numbers.
float ParseBrightness(const std::string& token) {
  size_t i = 0;
  if (i < token.size() && (token[i] == '-' || token[i] == '+')) ++i;
  size_t digits = 0;
  while (i < token.size() && std::isdigit(static_cast<unsigned char>(token[i]))) ++i, ++digits;
  if (i < token.size() && token[i] == '.') {
    ++i;
    while (i < token.size() && std::isdigit(static_cast<unsigned char>(token[i]))) ++i, ++digits;
  }
  if (digits == 0) return DefaultLightmapBrightness;
  if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
    size_t j = i + 1;
    if (j < token.size() && (token[j] == '-' || token[j] == '+')) ++j;
    if (j < token.size() && std::isdigit(static_cast<unsigned char>(token[j]))) {
      while (j < token.size() && std::isdigit(static_cast<unsigned char>(token[j]))) ++j;
      i = j;
    }
  }
  const std::string number = token.substr(0, i);
  float value = std::strtof(number.c_str(), nullptr);
  return std::isfinite(value) ? value : DefaultLightmapBrightness;
}

}  // namespace

GameConfig ParseConfig(const char* data, size_t size) {
  GameConfig config;
  std::string tokens[4];
  size_t count = 0;
  size_t i = 0;
  while (count < 4 && i < size) {
    while (i < size && IsSeparator(data[i])) ++i;
    size_t start = i;
    while (i < size && !IsSeparator(data[i])) ++i;
    if (i > start) tokens[count++].assign(data + start, i - start);
  }
  if (count >= 2) config.levelPath = tokens[1];
  if (count >= 4) config.lightmapBrightness = ParseBrightness(tokens[3]);
  return config;
}

bool ReadConfigFile(const char* fileName, GameConfig* config) {
  // Only four short tokens are used; a megabyte is far more than any real file needs.
  constexpr size_t MaxConfigBytes = 1 << 20;
  FILE* file = std::fopen(fileName, "rb");
  if (!file) {
    // Not in the working directory: the installed game's own, through the search path.
    std::vector<uint8_t> data;
    if (!files::Mounted() || !files::ReadFile(fileName, &data, MaxConfigBytes)) return false;
    *config = ParseConfig(reinterpret_cast<const char*>(data.data()), data.size());
    return true;
  }
  std::vector<char> bytes(MaxConfigBytes);
  size_t size = std::fread(bytes.data(), 1, bytes.size(), file);
  // A folder of that name opens but cannot be read; a read error is no empty configuration.
  const bool readFailed = std::ferror(file) != 0;
  std::fclose(file);
  if (readFailed) return false;
  *config = ParseConfig(bytes.data(), size);
  return true;
}
