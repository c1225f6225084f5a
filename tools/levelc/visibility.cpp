// Cluster visibility by sampled boundary sightlines.
#include "tools/levelc/visibility.h"

#include <algorithm>
#include <cmath>

#include "tools/levelc/lighting.h"

namespace {

constexpr double SampleSpacing = 16;
constexpr size_t MaxSamples = 1600;   // per zone; the spacing grows to stay below it

// A point on a zone's boundary and the face it lies on (outward normal +-axis).
struct Sample {
  DVec p;
  int axis;
  double sign;
  // True when q lies in front of the face, or behind it by less than `slack`.
  bool InFrontOfFace(DVec q, double slack) const { return (q[axis] - p[axis]) * sign > -slack; }
};

struct ZoneSamples {
  std::vector<Sample> points;  // grid points of the boundary that are not deep in a brush
  double reach = 0;            // every boundary point lies within this of a grid point
};

ZoneSamples BoundarySamples(const MapZone& zone, const std::vector<CompiledBrush>& brushes, const BspTree& tree) {
  // Start from a spacing that cannot give far more points than allowed (a huge zone would
  // otherwise first be sampled every 16 units).
  double area = 0;
  for (int axis = 0; axis < 3; ++axis)
    area += 2 * (zone.maxs[(axis + 1) % 3] - zone.mins[(axis + 1) % 3]) * (zone.maxs[(axis + 2) % 3] - zone.mins[(axis + 2) % 3]);
  double start = std::max(SampleSpacing, std::sqrt(area / (4.0 * MaxSamples)));
  for (double spacing = start;; spacing *= 1.5) {
    ZoneSamples result;
    int counts[3][2];
    for (int axis = 0; axis < 3; ++axis) {
      int u = (axis + 1) % 3, v = (axis + 2) % 3;
      counts[axis][0] = std::max(1, static_cast<int>(std::ceil((zone.maxs[u] - zone.mins[u]) / spacing)));
      counts[axis][1] = std::max(1, static_cast<int>(std::ceil((zone.maxs[v] - zone.mins[v]) / spacing)));
      double du = (zone.maxs[u] - zone.mins[u]) / counts[axis][0], dv = (zone.maxs[v] - zone.mins[v]) / counts[axis][1];
      result.reach = std::max(result.reach, 0.5 * std::sqrt(du * du + dv * dv) + 0.01);
    }
    for (int axis = 0; axis < 3; ++axis) {
      int u = (axis + 1) % 3, v = (axis + 2) % 3;
      int nu = counts[axis][0], nv = counts[axis][1];
      for (int side = 0; side < 2; ++side)
        for (int i = 0; i <= nu; ++i)
          for (int j = 0; j <= nv; ++j) {
            DVec p;
            p[axis] = side ? zone.maxs[axis] : zone.mins[axis];
            p[u] = zone.mins[u] + (zone.maxs[u] - zone.mins[u]) * i / nu;
            p[v] = zone.mins[v] + (zone.maxs[v] - zone.mins[v]) * j / nv;
            // An open boundary point lies within `reach` of a grid point, and that grid
            // point is then never inside a brush shrunk by `reach`.
            if (!PointInSolid(tree, brushes, p, result.reach)) result.points.push_back({p, axis, side ? 1.0 : -1.0});
          }
    }
    if (result.points.size() <= MaxSamples) return result;
  }
}

// True when some part of the box lies in front of the sample's face (or within slack of it).
bool BoxInFrontOfFace(const Sample& s, const MapZone& box, double slack) {
  return s.sign > 0 ? box.maxs[s.axis] > s.p[s.axis] - slack : box.mins[s.axis] < s.p[s.axis] + slack;
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
  std::vector<ZoneSamples> samples(zones.size());
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
    // A line of sight e..x from a into b leaves a at e through a face that has b in front
    // of it and enters b at x through a face that has a in front of it. The grid points p
    // and q nearest to e and x lie within the reach r of them, so every point of p..q lies
    // within r of the clear line e..x: tested against brushes shrunk by r, p..q is clear.
    const double r = std::max(samples[a].reach, samples[b].reach);
    std::vector<const Sample*> from, to;
    for (const Sample& s : samples[a].points)
      if (BoxInFrontOfFace(s, zones[b], r)) from.push_back(&s);
    for (const Sample& s : samples[b].points)
      if (BoxInFrontOfFace(s, zones[a], r)) to.push_back(&s);
    for (size_t i = 0; i < from.size() && !visible; ++i)
      for (size_t j = 0; j < to.size() && !visible; ++j)
        if (from[i]->InFrontOfFace(to[j]->p, 2 * r) && to[j]->InFrontOfFace(from[i]->p, 2 * r) &&
            !SegmentBlocked(tree, brushes, from[i]->p, to[j]->p, r))
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
