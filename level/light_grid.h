// The light grid of a level (lump 15): how brightly a moving figure at a point is lit.
#pragma once
#include "core/level.h"

// How much the light grid's values are scaled to a colour: a cell's light is written at half
// the range, as the lightmaps are before they are brightened.
constexpr float LightGridScale = 2.0f / 255.0f;

// The colour (0..1 per channel) a figure at `position` (y up) is lit with: ambient plus half
// the directed light (the lit side and the far side of a figure averaged), blended from the
// eight grid points around it, skipping those in solid (all zeros). False, and white, where
// the level has no grid or every point around lies in solid.
bool FigureLight(const Level& level, Vec3 position, float rgb[3]);
