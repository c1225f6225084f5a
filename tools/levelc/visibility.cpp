// Cluster visibility by sampled boundary sightlines.
#include "tools/levelc/visibility.h"

#include <algorithm>
#include <cmath>

#include "tools/levelc/lighting.h"

namespace {

constexpr double SampleSpacing = 16;
constexpr double Shrink = 0.5;        // occluders are this much thinner than the brushes
constexpr size_t MaxSamples = 1200;   // per zone; the spacing grows to stay below it

// An open point on a zone's boundary and the face it lies on (outward normal +-axis).
struct Sample {
  DVec p;
  int axis;
  double sign;
  bool InFrontOfFace(DVec q) const { return (q[axis] - p[axis]) * sign > 0; }
};

std::vector<Sample> BoundarySamples(const MapZone& zone, const std::vector<CompiledBrush>& brushes,
                                    const BspTree& tree) {
  // Start from a spacing that cannot give far more points than allowed (a huge zone would
  // otherwise first be sampled every 16 units).
  double area = 0;
  for (int axis = 0; axis < 3; ++axis)
    area += 2 * (zone.maxs[(axis + 1) % 3] - zone.mins[(axis + 1) % 3]) * (zone.maxs[(axis + 2) % 3] - zone.mins[(axis + 2) % 3]);
  double start = std::max(SampleSpacing, std::sqrt(area / (4.0 * MaxSamples)));
  for (double spacing = start;; spacing *= 1.5) {
    std::vector<Sample> samples;
    for (int axis = 0; axis < 3; ++axis) {
      int u = (axis + 1) % 3, v = (axis + 2) % 3;
      int nu = std::max(1, static_cast<int>(std::ceil((zone.maxs[u] - zone.mins[u]) / spacing)));
      int nv = std::max(1, static_cast<int>(std::ceil((zone.maxs[v] - zone.mins[v]) / spacing)));
      for (int side = 0; side < 2; ++side)
        for (int i = 0; i <= nu; ++i)
          for (int j = 0; j <= nv; ++j) {
            DVec p;
            p[axis] = side ? zone.maxs[axis] : zone.mins[axis];
            p[u] = zone.mins[u] + (zone.maxs[u] - zone.mins[u]) * i / nu;
            p[v] = zone.mins[v] + (zone.maxs[v] - zone.mins[v]) * j / nv;
            if (!PointInSolid(tree, brushes, p, Shrink)) samples.push_back({p, axis, side ? 1.0 : -1.0});
          }
    }
    if (samples.size() <= MaxSamples) return samples;
  }
}

// True when some part of the box lies in front of the sample's face.
bool BoxInFrontOfFace(const Sample& s, const MapZone& box) {
  return s.sign > 0 ? box.maxs[s.axis] > s.p[s.axis] : box.mins[s.axis] < s.p[s.axis];
}

}  // namespace

int ClusterOfBox(const std::vector<MapZone>& zones, const Bounds& box) {
  DVec mid = (box.mins + box.maxs) * 0.5;
  for (size_t z = 0; z < zones.size(); ++z)
    if (Bounds{zones[z].mins, zones[z].maxs}.Contains(mid, 0)) return static_cast<int>(z);
  return static_cast<int>(zones.size());
}

VisibilityResult BuildVisibility(const std::vector<MapZone>& zones, const std::vector<CompiledBrush>& brushes,
                                 const BspTree& tree, int threads) {
  VisibilityResult vis;
  int n = static_cast<int>(zones.size()) + 1;
  vis.clusterCount = n;
  vis.bytesPerCluster = (n + 7) / 8;
  std::vector<std::vector<Sample>> samples(zones.size());
  ParallelFor(static_cast<int>(zones.size()), threads,
              [&](int z) { samples[z] = BoundarySamples(zones[z], brushes, tree); });
  std::vector<uint8_t> seen(static_cast<size_t>(n) * n, 0);
  for (int a = 0; a < n; ++a) {
    seen[a * n + a] = 1;
    seen[a * n + (n - 1)] = seen[(n - 1) * n + a] = 1;  // the outside cluster
  }
  std::vector<std::pair<int, int>> pairs;
  for (int a = 0; a + 1 < n; ++a)
    for (int b = a + 1; b + 1 < n; ++b) pairs.push_back({a, b});
  ParallelFor(static_cast<int>(pairs.size()), threads, [&](int k) {
    int a = pairs[k].first, b = pairs[k].second;
    bool visible = Bounds{zones[a].mins, zones[a].maxs}.Overlaps(Bounds{zones[b].mins, zones[b].maxs}, 1.0);
    // A line of sight leaves a through a face that has b in front of it and enters b
    // through a face that has a in front of it; only those pairs of points need a test.
    std::vector<const Sample*> from, to;
    for (const Sample& s : samples[a])
      if (BoxInFrontOfFace(s, zones[b])) from.push_back(&s);
    for (const Sample& s : samples[b])
      if (BoxInFrontOfFace(s, zones[a])) to.push_back(&s);
    for (size_t i = 0; i < from.size() && !visible; ++i)
      for (size_t j = 0; j < to.size() && !visible; ++j)
        if (from[i]->InFrontOfFace(to[j]->p) && to[j]->InFrontOfFace(from[i]->p) &&
            !SegmentBlocked(tree, brushes, from[i]->p, to[j]->p, Shrink))
          visible = true;
    if (visible) seen[a * n + b] = seen[b * n + a] = 1;
  });
  vis.rows.assign(static_cast<size_t>(n) * vis.bytesPerCluster, 0);
  int total = 0;
  for (int a = 0; a < n; ++a)
    for (int b = 0; b < n; ++b)
      if (seen[a * n + b]) {
        vis.rows[a * vis.bytesPerCluster + b / 8] |= static_cast<uint8_t>(1 << (b % 8));
        ++total;
      }
  vis.visibleShare = static_cast<double>(total) / (static_cast<double>(n) * n);
  return vis;
}
