// The GL client arrays the level's faces are drawn from (positions, surface and lightmap
// texture coordinates, and for faces without a lightmap their vertex colours), shared by the
// batched and the face-by-face drawing.
#pragma once
#include <cstddef>

#include "core/bsp_format.h"

// The current GL colour: drawing with a colour array leaves it undefined, so it is read
// before and put back after.
struct CurrentColour {
  float rgba[4] = {1, 1, 1, 1};
};
CurrentColour ReadCurrentColour();

// Points the arrays at the records (stride 44): positions, texture coordinates on client
// unit 0, lightmap coordinates on unit 1, and with `colours` the colour array, enabled.
void PointFaceArrays(const BspVertex* records, bool colours);
// Multiplies the records' colours by the colour, as the fixed pipeline multiplies a lightmap.
void TintVertexColours(BspVertex* records, size_t count, const CurrentColour& colour);
// Turns the colour array off and restores the colour.
void EndVertexColours(const CurrentColour& colour);
// Whether the order opaque faces are drawn in cannot show in the picture: the depth test
// (LESS, writing depth) alone decides what is seen, nothing blended, polygons filled.
bool OrderIsInvisible();
