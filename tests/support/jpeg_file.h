// JPEG files for the tests' pictures, written with libjpeg at the best quality.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Writes `rgb` (width x height, three bytes a pixel, the top row first) to `path` at quality
// 100; with `fullColour` the colour is kept at every pixel rather than at every other one.
// False when the file cannot be made.
bool WriteJpegFile(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb,
                   bool fullColour = false);
