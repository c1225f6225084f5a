// The glow pictures of shots, sparks and smoke, drawn additively onto the scene: black is
// transparent, and every border pixel is black so the square never shows.
#pragma once
#include <string>

constexpr int EffectSize = 64;  // a power of two: the pictures are uploaded as a single level

// Writes "P1.bmp" ... "P5.bmp" and "P7.bmp" into `dir`.
bool WriteEffectPictures(const std::string& dir);
