// The Config.ini reader: four whitespace-separated tokens, of which the second names the
// level file and the fourth gives the lightmap brightness. No sections, keys or comments.
#pragma once
#include <cstddef>
#include <string>

constexpr float DefaultLightmapBrightness = 10.0f;
constexpr const char* ConfigFileName = "Config.ini";

struct GameConfig {
  std::string levelPath;                                 // token 2; empty when missing
  float lightmapBrightness = DefaultLightmapBrightness;  // token 4; default when missing or bad
};

// Parses the tokens from memory. Spaces, tabs, carriage returns and line breaks all separate
// tokens; anything after the fourth token is ignored. Never reads past `size`.
GameConfig ParseConfig(const char* data, size_t size);

// Reads the file from the working directory, or when it is not there and game data is
// mounted, from the search path; false when it cannot be found or read.
bool ReadConfigFile(const char* fileName, GameConfig* config);
