// Curved surfaces (patch faces): a grid of control vertices, row by row, made of biquadratic
// Bezier pieces of 3 x 3 control points that share their edge rows and columns. A patch is
// turned into an indexed triangle grid once, when the level is read; the renderer draws those
// triangles and the tracer collides with the same ones.
#pragma once
#include <cstdint>
#include <vector>

#include "core/bsp_format.h"

// How far (level units) a straight segment of the triangle grid may stray from the surface.
constexpr float PatchTolerance = 2.0f;
// The most segments one piece is cut into along each direction.
constexpr int MaxPieceSubdivisions = 16;

// Width and height that make whole pieces: odd and at least 3.
bool PatchSizeValid(int32_t width, int32_t height);

// The number of segments for each column of pieces (u, along a row) and each row of pieces
// (v, down the columns), each between 1 and maxPerPiece: enough that no segment strays more
// than about PatchTolerance from the surface. Pieces in one column share their segment
// count along u (and pieces in one row along v), so pieces meeting at an edge cut it at the
// same places and no crack opens between them.
void PatchSubdivisions(const BspVertex* controls, int width, int height, int maxPerPiece, std::vector<int>* columns,
                       std::vector<int>* rows);

// The surface point of piece (pieceColumn, pieceRow) at (u, v) in [0, 1]: every attribute
// interpolated with the Bezier weights, the normal renormalised (left at zero when the
// weights cancel it), colours rounded to bytes.
BspVertex EvaluatePatchPiece(const BspVertex* controls, int width, int pieceColumn, int pieceRow, float u, float v);

// Appends the patch's grid of surface points, cut by the given segment counts (from
// PatchSubdivisions, perhaps grown to agree with neighbouring patches), to *vertices and its
// triangles to *indices, as offsets from the first appended vertex; returns the number of
// vertices appended. The triangles are wound like the level's polygons (clockwise seen from
// the side the control vertices' normals point to).
int TessellatePatch(const BspVertex* controls, int width, const std::vector<int>& columns, const std::vector<int>& rows,
                    std::vector<BspVertex>* vertices, std::vector<uint32_t>* indices);

// The number of surface points TessellatePatch makes for the given segment counts.
int64_t PatchGridVertexCount(const std::vector<int>& columns, const std::vector<int>& rows);
