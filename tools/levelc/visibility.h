// Visibility between clusters. Each zone of the source is one cluster; leaves outside every
// zone form one more cluster that sees and is seen by all. Zone A sees zone B when the
// zones touch, or when some segment between grid points on their boundaries passes no solid
// brush shrunk by the grid's reach r (half a grid cell's diagonal). Any line of sight from A
// into B crosses both boundaries at open points; the grid points nearest to those lie
// within r of them, so the segment between them stays within r of the clear line and
// misses every brush shrunk by r. Nothing that can be seen is ever culled; thin walls (under
// 2r) do not hide anything.
#pragma once
#include <cstdint>
#include <vector>

#include "tools/levelc/bsp_tree.h"

struct VisibilityResult {
  int clusterCount = 0;
  int bytesPerCluster = 0;
  std::vector<uint8_t> rows;
  double visibleShare = 1;  // average share of clusters a cluster sees
};

VisibilityResult BuildVisibility(const std::vector<MapZone>& zones, const std::vector<CompiledBrush>& brushes,
                                 const BspTree& tree, int threads);
// The cluster of a leaf box: the first zone holding its middle, else the outside cluster.
int ClusterOfBox(const std::vector<MapZone>& zones, const Bounds& box);
