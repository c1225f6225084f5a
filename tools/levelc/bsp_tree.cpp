// Builds the compiler's BSP tree and answers segment and point queries against solid brushes.
#include "tools/levelc/bsp_tree.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double BrushTouch = 1.0;   // a brush this close to a leaf is listed in it
constexpr double FaceTouch = 0.5;
constexpr int MaxDepth = 48;
constexpr int LeafBrushTarget = 4;
constexpr double MaxLeafSize = 768;  // leaves holding faces are cut down to about this size

struct Builder {
  const std::vector<CompiledBrush>& brushes;
  const std::vector<FacePolygon>& faces;
  const std::vector<MapZone>& zones;
  std::vector<Bounds> faceBounds;
  BspTree tree;

  bool FaceInRegion(int f, const Bounds& region) const {
    if (!faceBounds[f].Overlaps(region, FaceTouch)) return false;
    // The region must reach in front of the face; a region wholly behind it never sees it.
    const MapPlane& pl = faces[f].plane;
    for (int c = 0; c < 8; ++c) {
      DVec corner((c & 1) ? region.maxs.x : region.mins.x, (c & 2) ? region.maxs.y : region.mins.y,
                  (c & 4) ? region.maxs.z : region.mins.z);
      if (Dot(pl.normal, corner) - pl.distance > 0.1) return true;
    }
    return false;
  }

  // A zone face that cuts through the region, the one nearest the region's middle.
  bool ZoneSplit(const Bounds& region, int* axis, double* at) const {
    double best = 1e30;
    for (const MapZone& z : zones) {
      Bounds zb{z.mins, z.maxs};
      if (!zb.Overlaps(region, -0.5)) continue;
      for (int a = 0; a < 3; ++a)
        for (double c : {z.mins[a], z.maxs[a]}) {
          if (c <= region.mins[a] + 0.5 || c >= region.maxs[a] - 0.5) continue;
          double score = std::fabs(c - 0.5 * (region.mins[a] + region.maxs[a]));
          if (score < best) {
            best = score;
            *axis = a;
            *at = c;
          }
        }
    }
    return best < 1e30;
  }

  static double Volume(const Bounds& b) {
    return (b.maxs.x - b.mins.x + 1) * (b.maxs.y - b.mins.y + 1) * (b.maxs.z - b.mins.z + 1);
  }

  // The split along brush sides that minimises brushes x volume on the two sides.
  bool BrushSplit(const Bounds& region, const std::vector<int>& list, int* axis, double* at) const {
    double bestCost = 0.85 * list.size() * Volume(region);
    bool found = false;
    for (int a = 0; a < 3; ++a) {
      std::vector<double> cands;
      for (int b : list)
        for (double c : {brushes[b].bounds.mins[a], brushes[b].bounds.maxs[a]})
          if (c > region.mins[a] + 1 && c < region.maxs[a] - 1) cands.push_back(c);
      std::sort(cands.begin(), cands.end());
      cands.erase(std::unique(cands.begin(), cands.end()), cands.end());
      for (double c : cands) {
        int nl = 0, nr = 0;
        for (int b : list) {
          if (brushes[b].bounds.mins[a] < c + BrushTouch) ++nl;
          if (brushes[b].bounds.maxs[a] > c - BrushTouch) ++nr;
        }
        Bounds l = region, r = region;
        l.maxs[a] = c;
        r.mins[a] = c;
        double cost = nl * Volume(l) + nr * Volume(r);
        if (cost < bestCost) {
          bestCost = cost;
          *axis = a;
          *at = c;
          found = true;
        }
      }
    }
    return found;
  }

  int Build(const Bounds& region, const std::vector<int>& brushList, const std::vector<int>& faceList, int depth) {
    int axis = 0;
    double at = 0;
    bool split = false;
    if (depth < MaxDepth) {
      split = ZoneSplit(region, &axis, &at);
      if (!split && brushList.size() > static_cast<size_t>(LeafBrushTarget))
        split = BrushSplit(region, brushList, &axis, &at);
      if (!split && !faceList.empty()) {
        for (int a = 0; a < 3; ++a) {
          double size = region.maxs[a] - region.mins[a];
          if (size > MaxLeafSize && (!split || size > region.maxs[axis] - region.mins[axis])) {
            axis = a;
            at = std::floor(0.5 * (region.mins[a] + region.maxs[a]) / 16) * 16;
            split = true;
          }
        }
      }
    }
    if (!split) {
      TreeLeaf leaf;
      leaf.box = region;
      leaf.brushes = brushList;
      leaf.faces = faceList;
      tree.leaves.push_back(leaf);
      return -static_cast<int>(tree.leaves.size());
    }
    int index = static_cast<int>(tree.nodes.size());
    tree.nodes.push_back(TreeNode());
    tree.nodes[index].axis = axis;
    tree.nodes[index].distance = at;
    tree.nodes[index].box = region;
    Bounds front = region, back = region;
    front.mins[axis] = at;
    back.maxs[axis] = at;
    const Bounds* parts[2] = {&front, &back};
    for (int side = 0; side < 2; ++side) {
      std::vector<int> bl, fl;
      for (int b : brushList)
        if (brushes[b].bounds.Overlaps(*parts[side], BrushTouch)) bl.push_back(b);
      for (int f : faceList)
        if (FaceInRegion(f, *parts[side])) fl.push_back(f);
      int child = Build(*parts[side], bl, fl, depth + 1);
      tree.nodes[index].children[side] = child;
    }
    return index;
  }
};

bool SegmentHitsBrush(const CompiledBrush& brush, DVec a, DVec b, double shrink) {
  double enter = 0, leave = 1;
  for (const MapSide& s : brush.sides) {
    double d = s.plane.distance - shrink;
    double da = Dot(s.plane.normal, a) - d, db = Dot(s.plane.normal, b) - d;
    if (da >= 0 && db >= 0) return false;
    if (da < 0 && db < 0) continue;
    double t = da / (da - db);
    if (da >= 0) enter = std::max(enter, t);
    else leave = std::min(leave, t);
    if (enter >= leave) return false;
  }
  return true;
}

bool SegmentInNode(const BspTree& tree, const std::vector<CompiledBrush>& brushes, int node, DVec a, DVec b,
                   double shrink) {
  while (node >= 0) {
    const TreeNode& n = tree.nodes[node];
    double da = a[n.axis] - n.distance, db = b[n.axis] - n.distance;
    if (da >= 0 && db >= 0) {
      node = n.children[0];
    } else if (da < 0 && db < 0) {
      node = n.children[1];
    } else {
      double t = da / (da - db);
      DVec mid = a + (b - a) * t;
      int first = da >= 0 ? 0 : 1;
      if (SegmentInNode(tree, brushes, n.children[first], a, mid, shrink)) return true;
      return SegmentInNode(tree, brushes, n.children[1 - first], mid, b, shrink);
    }
  }
  const TreeLeaf& leaf = tree.leaves[-(node + 1)];
  for (int bi : leaf.brushes)
    if (brushes[bi].solid && SegmentHitsBrush(brushes[bi], a, b, shrink)) return true;
  return false;
}

}  // namespace

BspTree BuildTree(const std::vector<CompiledBrush>& brushes, const std::vector<FacePolygon>& faces,
                  const std::vector<MapZone>& zones) {
  Builder builder{brushes, faces, zones, {}, {}};
  Bounds world;
  for (const CompiledBrush& b : brushes) {
    world.Add(b.bounds.mins);
    world.Add(b.bounds.maxs);
  }
  for (const MapZone& z : zones) {
    world.Add(z.mins);
    world.Add(z.maxs);
  }
  if (brushes.empty() && zones.empty()) world = Bounds{DVec(-64, -64, -64), DVec(64, 64, 64)};
  for (int a = 0; a < 3; ++a) {
    world.mins[a] = std::floor(world.mins[a]) - 16;
    world.maxs[a] = std::ceil(world.maxs[a]) + 16;
  }
  builder.tree.world = world;
  for (const FacePolygon& f : faces) {
    Bounds b;
    for (const DVec& p : f.points) b.Add(p);
    builder.faceBounds.push_back(b);
  }
  std::vector<int> bl, fl;
  for (size_t i = 0; i < brushes.size(); ++i) bl.push_back(static_cast<int>(i));
  for (size_t i = 0; i < faces.size(); ++i)
    if (builder.FaceInRegion(static_cast<int>(i), world)) fl.push_back(static_cast<int>(i));
  int root = builder.Build(world, bl, fl, 0);
  if (root < 0) {
    // A tree needs a root node: split the single leaf in two along x.
    BspTree t;
    t.world = world;
    TreeNode n;
    n.axis = 0;
    n.distance = 0.5 * (world.mins.x + world.maxs.x);
    n.children[0] = -1;
    n.children[1] = -2;
    n.box = world;
    t.nodes.push_back(n);
    TreeLeaf front = builder.tree.leaves[0], back = front;
    front.box.mins.x = n.distance;
    back.box.maxs.x = n.distance;
    t.leaves = {front, back};
    return t;
  }
  return builder.tree;
}

int FindTreeLeaf(const BspTree& tree, DVec p) {
  int node = 0;
  while (node >= 0) {
    const TreeNode& n = tree.nodes[node];
    node = p[n.axis] - n.distance >= 0 ? n.children[0] : n.children[1];
  }
  return -(node + 1);
}

bool SegmentBlocked(const BspTree& tree, const std::vector<CompiledBrush>& brushes, DVec a, DVec b, double shrink) {
  return SegmentInNode(tree, brushes, 0, a, b, shrink);
}

bool PointInSolid(const BspTree& tree, const std::vector<CompiledBrush>& brushes, DVec p, double shrink) {
  const TreeLeaf& leaf = tree.leaves[FindTreeLeaf(tree, p)];
  for (int bi : leaf.brushes)
    if (brushes[bi].solid && PointInBrush(brushes[bi], p, shrink)) return true;
  return false;
}
