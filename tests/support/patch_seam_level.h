// Three flat-lying patches of different faces in a row along z, for the seam tests: A's far
// side bulges up steeply, so it is cut much finer along x than B, whose near edge A shares
// (a curve bending in the floor's plane); B's far, straight edge is shared in turn with C.
// B is stored either plainly (its first control row is the shared curve, in A's order) or
// turned (its last control column is the curve, in the reversed order).
//
// World coordinates (y up): the seam runs from x = -64 to 64 along z = 0, bowing to z = -16
// at x = 0 (so B's coarse chords alone would leave a sliver open between it and A); A lies
// on the -z side, B from the seam to z = 64, C from 64 to 128; all face up.
#pragma once
#include "support/level_builder.h"

struct PatchSeamFaces {
  int a, b, c;
};

// The shared curve's control points, in A's order (x growing).
void PatchSeamCurve(Vec3 out[3]);

// The level; *faces receives the face indices when given.
LevelBuilder PatchSeamLevel(bool turned, PatchSeamFaces* faces = nullptr);
