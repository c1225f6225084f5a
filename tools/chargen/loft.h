// Closed shapes for the generated figures and the weapon: a loft of cross-sections along
// a local +Z axis (limbs, torso, head, drum, barrel), its texture-atlas unwrap, and the
// surface point under any texel of that unwrap so the painter knows where it paints.
#pragma once
#include <vector>

#include "tools/chargen/xform.h"

// One cross-section at height z: half-extents rx (along local X, the front) and ry (along
// local Y, the left side), centred at (cx, cy). A ring of zero size closes the shape.
struct Ring {
  float z = 0, rx = 0, ry = 0, cx = 0, cy = 0;
};

struct Loft {
  std::vector<Ring> rings;  // at least two, z rising; the first and last normally of size 0
  int sides = 8;            // corners round each ring
  float power = 2;          // 2: ellipse; larger: boxier (superellipse exponent)
  float angleOffset = 0;    // radians added to every corner angle (pi/4 with 4 sides: a box)
};

// A rectangle of a texture atlas, in pixels of a picture atlasWidth x atlasHeight.
struct AtlasRect {
  int x = 0, y = 0, w = 0, h = 0;
};

// A closed triangle mesh fixed to one bone of a skeleton, in the bone's own space.
struct Piece {
  int bone = 0;
  std::vector<Vec3> positions;
  std::vector<float> texCoords;  // s, t per position
  std::vector<int> triangles;    // outside counter-clockwise
};

// A loft placed by `place` in the bone's space, unwrapped onto `rect`: s runs once round
// the shape starting and ending at the back (-X), so the front sits in the middle of the
// rect; t runs from the first ring (top of the rect) to the last by length along the
// outline. Pole rings get one vertex per column so the unwrap has no fans.
Piece BuildLoft(const Loft& loft, const Xform& place, int bone, AtlasRect rect, int atlasWidth,
                int atlasHeight);

// A box between two corners (a loft of four corners with flat ends).
Loft BoxLoft(Vec3 lo, Vec3 hi);

struct SurfacePoint {
  Vec3 position;  // loft space
  Vec3 normal;    // loft space, outward
  float angle;    // radians from the front (+X) toward the left (+Y), -pi..pi
  float along;    // 0 at the first ring, 1 at the last (by outline length)
  float u, v;     // the unwrap coordinates 0..1 across and down the rect
};

// The point of the loft shown at unwrap coordinates (u, v), both 0..1.
SurfacePoint LoftPointAt(const Loft& loft, float u, float v);
