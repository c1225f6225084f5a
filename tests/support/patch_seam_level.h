// Three patches of different faces in a row along z, meeting along shared edges, for the
// seam tests. A and B share a curved seam; each is cut finely where its own far part bends a
// lot and coarsely where only the seam bends it: A (its far side bowing out in the plane) is
// fine and B coarse along the seam's left piece, B (dipping down behind the seam) is fine and
// A coarse along the right piece, so each would leave a sliver open beside the other where
// the seam bows towards it. B's straight far edge is shared in turn with the flat C. B lies
// 1/128 unit above the others and is stored either plainly (its first control row is the
// seam, in A's order) or turned (its last control column is the seam, reversed).
//
// World coordinates (y up, all faces facing up): the seam runs from x = -64 to 64 near z = 0,
// bowing to z = -16 at x = -32 and to z = 8 at x = 32; A lies on the -z side, B and C beyond,
// both flat but for B's dip.
#pragma once
#include "support/level_builder.h"

struct PatchSeamFaces {
  int a, b, c;
};

// The seam's world z at x in [-64, 64].
float PatchSeamZ(float x);

// The level; *faces receives the face indices when given.
LevelBuilder PatchSeamLevel(bool turned, PatchSeamFaces* faces = nullptr);
