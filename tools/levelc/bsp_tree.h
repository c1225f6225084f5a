// The compiler's BSP tree: axis-aligned splits chosen first along the zone boxes (so that
// every leaf lies in one zone) and then where they separate brushes best. Every brush is
// listed in every leaf its box touches, every face in every leaf it touches from its front.
// Also the segment queries that lighting and visibility run against the solid brushes.
#pragma once
#include <vector>

#include "tools/levelc/geometry.h"

struct TreeNode {
  int axis = 0;             // the plane is p[axis] = distance; the front child holds p[axis] >= distance
  double distance = 0;
  int children[2] = {0, 0}; // front, back; negative c is leaf -(c + 1)
  Bounds box;
};

struct TreeLeaf {
  Bounds box;
  std::vector<int> brushes;
  std::vector<int> faces;
  int cluster = 0;
};

struct BspTree {
  std::vector<TreeNode> nodes;
  std::vector<TreeLeaf> leaves;
  Bounds world;             // the root's box
};

BspTree BuildTree(const std::vector<CompiledBrush>& brushes, const std::vector<FacePolygon>& faces,
                  const std::vector<MapZone>& zones);

// The leaf holding p (points on a split plane go to the front, as the game's FindLeaf does).
int FindTreeLeaf(const BspTree& tree, DVec p);
// True when the segment a-b passes through a solid brush shrunk by `shrink` on every side.
bool SegmentBlocked(const BspTree& tree, const std::vector<CompiledBrush>& brushes, DVec a, DVec b,
                    double shrink);
// True when p lies inside a solid brush shrunk by `shrink`.
bool PointInSolid(const BspTree& tree, const std::vector<CompiledBrush>& brushes, DVec p, double shrink);
