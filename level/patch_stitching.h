// Patches of different faces that meet edge to edge: finding the edges they share, cutting
// those edges at the same places on both sides, and making the vertices along them identical,
// so no crack opens between the two grids.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/bsp_format.h"

// How far (level units, along each axis) control points of two edges may lie apart and still
// be taken for the same edge.
constexpr float PatchEdgeWeld = 1.0f / 64;

// The four edges of a patch's control grid.
enum PatchEdge {
  PatchEdgeFirstRow,     // control row 0 (v = 0), cut by the column counts
  PatchEdgeLastRow,      // control row height - 1 (v = 1), cut by the column counts
  PatchEdgeFirstColumn,  // control column 0 (u = 0), cut by the row counts
  PatchEdgeLastColumn,   // control column width - 1 (u = 1), cut by the row counts
  PatchEdgeCount
};

// One patch's control grid and the segment counts it is cut by. The grid is found through its
// array and an offset, not a pointer: tessellated grids are appended to that same array.
struct PatchCut {
  const std::vector<BspVertex>* vertices = nullptr;  // the array holding the control grid
  size_t firstControl = 0;                            // the grid's first vertex in it
  int width = 0, height = 0;
  bool solid = false;              // collided with, as well as drawn
  std::vector<int> columns, rows;  // segments per column of pieces (along u), per row (along v)
};

// The control grid, row by row.
inline const BspVertex* PatchControls(const PatchCut& p) { return p.vertices->data() + p.firstControl; }

// Two edges that are the same curve: their control points lie together, in the same order or
// reversed. (patchA, edgeA) comes before (patchB, edgeB).
struct PatchEdgeMatch {
  int patchA = 0, edgeA = 0, patchB = 0, edgeB = 0;
  bool reversed = false;
};

// The pairs of matching edges among the patches, ordered by (patchA, edgeA); each edge is
// tried against the few dozen edges nearest it in a sort by their end points. Edges whose
// control points all lie in one point are left out: nothing can open along them.
std::vector<PatchEdgeMatch> FindSharedPatchEdges(const std::vector<PatchCut>& patches);

// Grows the counts so that every matched pair of edges is cut alike, piece by piece: each
// piece along a shared edge takes the largest count of all pieces tied to it, through any
// chain of shared edges (a patch's opposite edge shares its counts).
void AgreeSharedEdgeCounts(const std::vector<PatchEdgeMatch>& matches, std::vector<PatchCut>* patches);

// After the patches are tessellated with agreeing counts (grid g starting at vertex
// firstVertex[g]), gives each shared edge's vertices of patch B the exact positions of
// patch A's, so both grids meet in bit-identical points. Other attributes stay each face's
// own.
void WeldSharedEdgeVertices(const std::vector<PatchEdgeMatch>& matches, const std::vector<PatchCut>& patches,
                            const std::vector<size_t>& firstVertex, std::vector<BspVertex>* vertices);
