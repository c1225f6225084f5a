// Visibility between clusters. Each zone of the source is one cluster; leaves outside every
// zone form one more cluster that sees and is seen by all. Zone A sees zone B when the
// zones touch, or when some segment between open points sampled on their boundaries
// passes no solid brush (brushes shrunk a little, so grazing lines count as clear).
// Any line of sight from A into B crosses both boundaries, so a clear one is found
// unless it is narrower than the sampling. Only points on faces that look toward the other
// zone are paired: a line of sight leaves A through such a face and enters B through one.
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
