// PNG files of what the game shows (screenshots), written with libpng.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

// Writes width x height RGB pixels, rows top first, as an 8-bit PNG to an open file, which it
// flushes but does not close. False with the reason (a full disk shows here, at the flush).
bool WritePngRgb(std::FILE* file, const uint8_t* rgb, int width, int height, std::string* error);
