// The desktop icon: a crosshair over a glowing grenade burst on a dark disc, with
// transparent corners, written as a PNG for the desktop's icon theme.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// RGBA, top row first, size x size.
std::vector<uint8_t> DrawIcon(int size);
// An 8-bit RGBA PNG without compression (stored deflate blocks): small enough for an icon and
// readable by every PNG reader.
std::vector<uint8_t> EncodePngRgba(const std::vector<uint8_t>& rgba, int width, int height);
bool WriteIcon(const std::string& path, int size);
