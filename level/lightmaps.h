// Lightmap pages and vertex colours brightened as the level is loaded.
#pragma once
#include <cstdint>

// Brightens one 128 x 128 page in place by the factor, keeping channel ratios.
void BrightenLightmap(uint8_t* texels, int texelCount, float factor);
