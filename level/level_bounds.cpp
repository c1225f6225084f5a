// Where the level ends: the box around its leaves and drawn geometry, and whether a point
// lies in the level. Shots and particles that leave the level end there; a player brought
// back from outside uses it to know where he last stood inside.
#include <algorithm>
#include <cmath>

#include "core/level.h"

namespace {

// The leaf's box in y-up order (the conversion turns one axis round, so mins and maxs are
// sorted again); false for a box of no size, which some writers leave all zero.
bool LeafBox(const BspLeaf& leaf, float mins[3], float maxs[3]) {
  bool sized = false;
  for (int i = 0; i < 3; ++i) {
    mins[i] = static_cast<float>(std::min(leaf.mins[i], leaf.maxs[i]));
    maxs[i] = static_cast<float>(std::max(leaf.mins[i], leaf.maxs[i]));
    sized = sized || maxs[i] > mins[i];
  }
  return sized;
}

bool InBox(Vec3 p, const float mins[3], const float maxs[3], float margin) {
  const float v[3] = {p.x, p.y, p.z};
  for (int i = 0; i < 3; ++i) {
    // A NaN compares false both ways and so lies outside.
    if (!(v[i] >= mins[i] - margin && v[i] <= maxs[i] + margin)) return false;
  }
  return true;
}

}  // namespace

void Level::ComputeBounds() {
  bool any = false;
  for (int i = 0; i < 3; ++i) boundsMins_[i] = 0, boundsMaxs_[i] = 0;
  auto add = [&](const float mins[3], const float maxs[3]) {
    for (int i = 0; i < 3; ++i) {
      boundsMins_[i] = any ? std::min(boundsMins_[i], mins[i]) : mins[i];
      boundsMaxs_[i] = any ? std::max(boundsMaxs_[i], maxs[i]) : maxs[i];
    }
    any = true;
  };
  for (const BspLeaf& leaf : leaves) {
    float mins[3], maxs[3];
    if (LeafBox(leaf, mins, maxs)) add(mins, maxs);
  }
  for (const BspVertex& v : vertices) {
    if (std::isfinite(v.position[0]) && std::isfinite(v.position[1]) && std::isfinite(v.position[2]))
      add(v.position, v.position);
  }
}

float Level::BoundsDiagonal() const {
  float sum = 0;
  for (int i = 0; i < 3; ++i) sum += (boundsMaxs_[i] - boundsMins_[i]) * (boundsMaxs_[i] - boundsMins_[i]);
  return std::sqrt(sum);
}

bool Level::Encloses(Vec3 p, float margin) const {
  if (nodes.empty() || leaves.empty()) return true;  // no level: nothing to leave
  if (!InBox(p, boundsMins_, boundsMaxs_, margin)) return false;
  const int leaf = FindLeaf(p);
  if (leaf < 0 || static_cast<size_t>(leaf) >= leaves.size()) return false;
  float mins[3], maxs[3];
  return !LeafBox(leaves[static_cast<size_t>(leaf)], mins, maxs) || InBox(p, mins, maxs, margin);
}
