// The tracer finds solid curved surfaces through the BSP tree as it finds brushes: each
// surface is listed in every leaf its box reaches, and a trace gathers those of the leaves
// it passes. A move touches a surface only where the swept box holds a point of the
// surface's solid, and the leaf holding that point is one the move passes, so the lists
// find every surface the move can touch.
#include <algorithm>
#include <utility>

#include "core/level.h"

namespace {

// A surface reaching more leaves than this (a huge curve over an open area) is not listed
// but tested by every trace, as is every surface once the lists hold this many entries: a
// hostile file cannot make the lists outgrow the level.
constexpr size_t MaxLeavesPerSurface = 1024;
constexpr size_t MaxListedSurfaces = size_t{1} << 22;

// Adds the leaves the box reaches under `node` to *leaves; false once there are more than
// MaxLeavesPerSurface.
bool LeavesOfBox(const Level& level, int node, const float mins[3], const float maxs[3], std::vector<int32_t>* leaves) {
  while (node >= 0) {
    const BspNode& n = level.nodes[node];
    const BspPlane& plane = level.planes[n.plane];
    // The box's nearest and farthest distances from the plane.
    float low = -plane.distance, high = -plane.distance;
    for (int i = 0; i < 3; ++i) {
      const float a = plane.normal[i] * mins[i], b = plane.normal[i] * maxs[i];
      low += std::min(a, b);
      high += std::max(a, b);
    }
    if (low >= 0) {
      node = n.children[0];
    } else if (high < 0) {
      node = n.children[1];
    } else {
      if (!LeavesOfBox(level, n.children[0], mins, maxs, leaves)) return false;
      node = n.children[1];
    }
  }
  leaves->push_back(-(node + 1));
  return leaves->size() <= MaxLeavesPerSurface;
}

}  // namespace

void Level::BuildSurfaceLeaves() {
  surfaceTestedBy_.assign(collisionSurfaces.size(), 0);
  leafSurfaceStart_.assign(leaves.size() + 1, 0);
  leafSurfaces_.clear();
  everywhereSurfaces_.clear();
  std::vector<std::pair<int32_t, int32_t>> listed;  // (leaf, surface)
  std::vector<int32_t> reached;
  for (size_t s = 0; s < collisionSurfaces.size(); ++s) {
    const CollisionSurface& surface = collisionSurfaces[s];
    // The triangles' solid reaches a little past them; BoundsMargin is more than that.
    float mins[3], maxs[3];
    for (int i = 0; i < 3; ++i) {
      mins[i] = surface.mins[i] - BoundsMargin;
      maxs[i] = surface.maxs[i] + BoundsMargin;
    }
    reached.clear();
    if (nodes.empty() || !LeavesOfBox(*this, 0, mins, maxs, &reached) ||
        listed.size() + reached.size() > MaxListedSurfaces) {
      everywhereSurfaces_.push_back(static_cast<int32_t>(s));
      continue;
    }
    for (int32_t leaf : reached) listed.emplace_back(leaf, static_cast<int32_t>(s));
  }
  // Grouped by leaf, each leaf's surfaces in index order.
  std::sort(listed.begin(), listed.end());
  listed.erase(std::unique(listed.begin(), listed.end()), listed.end());
  leafSurfaces_.reserve(listed.size());
  for (const auto& [leaf, surface] : listed) {
    ++leafSurfaceStart_[leaf + 1];
    leafSurfaces_.push_back(surface);
  }
  for (size_t l = 0; l < leaves.size(); ++l) leafSurfaceStart_[l + 1] += leafSurfaceStart_[l];
}

void Level::GatherLeafSurfaces(int leaf) {
  for (int32_t k = leafSurfaceStart_[leaf]; k < leafSurfaceStart_[leaf + 1]; ++k) {
    const int32_t s = leafSurfaces_[k];
    if (surfaceTestedBy_[s] == traceNumber_) continue;
    surfaceTestedBy_[s] = traceNumber_;
    surfaceCandidates_.push_back(s);
  }
}
