// The weapon and night-vision overlay pictures: a colour layer added onto the scene and a
// mask layer that multiplies it (white lets the scene through, black blanks it out).
#pragma once
#include <string>

constexpr int HudWidth = 1024;  // a multiple of 4: the overlay is uploaded with alignment 4
constexpr int HudHeight = 768;

// Writes hud-famas1/2, hud-launcher1/2 and hud-nightvision1/2 ".bmp" into `dir`.
bool WriteHudPictures(const std::string& dir);
