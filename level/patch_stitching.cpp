// Stitching of patches that share an edge: the edges are found by their control points,
// their pieces tied together and cut by the largest count among them, and the tessellated
// vertices along them welded to one set of positions.
#include "level/patch_stitching.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "core/disjoint_sets.h"

namespace {

bool AlongRow(int edge) { return edge == PatchEdgeFirstRow || edge == PatchEdgeLastRow; }

int EdgePointCount(const PatchCut& p, int edge) { return AlongRow(edge) ? p.width : p.height; }

const float* EdgePoint(const PatchCut& p, int edge, int i) {
  size_t index = 0;
  switch (edge) {
    case PatchEdgeFirstRow: index = static_cast<size_t>(i); break;
    case PatchEdgeLastRow: index = static_cast<size_t>(p.height - 1) * p.width + i; break;
    case PatchEdgeFirstColumn: index = static_cast<size_t>(i) * p.width; break;
    default: index = static_cast<size_t>(i) * p.width + p.width - 1; break;
  }
  return PatchControls(p)[index].position;
}

bool Near(const float* a, const float* b) {
  for (int k = 0; k < 3; ++k)
    if (!(std::fabs(a[k] - b[k]) <= PatchEdgeWeld)) return false;
  return true;
}

struct EdgeRef {
  int patch, edge;
  double key;  // the sum of both end points' coordinates: the same for either order
};

// Whether the edges are the same curve, and in which order; false when they are not.
bool SameEdge(const PatchCut& a, int edgeA, const PatchCut& b, int edgeB, bool* reversed) {
  const int n = EdgePointCount(a, edgeA);
  if (EdgePointCount(b, edgeB) != n) return false;
  for (int order = 0; order < 2; ++order) {
    bool all = true;
    for (int i = 0; i < n && all; ++i)
      all = Near(EdgePoint(a, edgeA, i), EdgePoint(b, edgeB, order == 0 ? i : n - 1 - i));
    if (all) {
      *reversed = order == 1;
      return true;
    }
  }
  return false;
}

// An edge worth matching: finite, and not all in one point.
bool Usable(const PatchCut& p, int edge) {
  const int n = EdgePointCount(p, edge);
  bool spread = false;
  for (int i = 0; i < n; ++i) {
    const float* q = EdgePoint(p, edge, i);
    if (!std::isfinite(q[0]) || !std::isfinite(q[1]) || !std::isfinite(q[2])) return false;
    spread = spread || !Near(q, EdgePoint(p, edge, 0));
  }
  return spread;
}

// The grid vertex (offset from the grid's first) at position i along the edge of a grid
// `across` vertices wide and `down` high.
size_t EdgeGridVertex(int edge, size_t across, size_t down, size_t i) {
  switch (edge) {
    case PatchEdgeFirstRow: return i;
    case PatchEdgeLastRow: return (down - 1) * across + i;
    case PatchEdgeFirstColumn: return i * across;
    default: return i * across + across - 1;
  }
}

size_t GridLine(const std::vector<int>& counts) {
  return 1 + static_cast<size_t>(std::accumulate(counts.begin(), counts.end(), 0));
}

}  // namespace

std::vector<PatchEdgeMatch> FindSharedPatchEdges(const std::vector<PatchCut>& patches) {
  std::vector<EdgeRef> edges;
  for (size_t p = 0; p < patches.size(); ++p)
    for (int e = 0; e < PatchEdgeCount; ++e) {
      if (!Usable(patches[p], e)) continue;
      const float* first = EdgePoint(patches[p], e, 0);
      const float* last = EdgePoint(patches[p], e, EdgePointCount(patches[p], e) - 1);
      double key = 0;
      for (int k = 0; k < 3; ++k) key += static_cast<double>(first[k]) + last[k];
      edges.push_back({static_cast<int>(p), e, key});
    }
  // Matching edges' keys differ by at most six welds: only neighbours in key order are tried,
  // and no more than a few dozen of them, so a file of many patches heaped in one place
  // cannot make the load take quadratic time.
  std::sort(edges.begin(), edges.end(), [](const EdgeRef& a, const EdgeRef& b) { return a.key < b.key; });
  const double reach = 6.0 * PatchEdgeWeld + 1e-3;
  const size_t mostTried = 64;
  std::vector<PatchEdgeMatch> matches;
  for (size_t i = 0; i < edges.size(); ++i)
    for (size_t j = i + 1; j < edges.size() && j - i <= mostTried && edges[j].key - edges[i].key <= reach; ++j) {
      EdgeRef a = edges[i], b = edges[j];
      if (b.patch < a.patch || (b.patch == a.patch && b.edge < a.edge)) std::swap(a, b);
      PatchEdgeMatch m;
      if (!SameEdge(patches[a.patch], a.edge, patches[b.patch], b.edge, &m.reversed)) continue;
      m.patchA = a.patch, m.edgeA = a.edge, m.patchB = b.patch, m.edgeB = b.edge;
      matches.push_back(m);
    }
  // Welding goes in this order: an edge takes its final positions before it passes them on.
  std::sort(matches.begin(), matches.end(), [](const PatchEdgeMatch& a, const PatchEdgeMatch& b) {
    return a.patchA != b.patchA ? a.patchA < b.patchA : a.edgeA < b.edgeA;
  });
  return matches;
}

void AgreeSharedEdgeCounts(const std::vector<PatchEdgeMatch>& matches, std::vector<PatchCut>* patches) {
  if (matches.empty()) return;
  // One slot per column and per row of pieces of every patch; tied slots join one set.
  std::vector<int> base(patches->size() + 1, 0);
  for (size_t p = 0; p < patches->size(); ++p)
    base[p + 1] = base[p] + static_cast<int>((*patches)[p].columns.size() + (*patches)[p].rows.size());
  auto slot = [&](int patch, int edge, int piece) {
    const PatchCut& p = (*patches)[patch];
    return base[patch] + (AlongRow(edge) ? piece : static_cast<int>(p.columns.size()) + piece);
  };
  std::vector<int> parent = SeparateSets(base.back());
  for (const PatchEdgeMatch& m : matches) {
    const int pieces = (EdgePointCount((*patches)[m.patchA], m.edgeA) - 1) / 2;
    for (int k = 0; k < pieces; ++k)
      JoinSets(parent, slot(m.patchB, m.edgeB, m.reversed ? pieces - 1 - k : k), slot(m.patchA, m.edgeA, k));
  }
  // Each set's largest count, then every slot of the set takes it.
  std::vector<int> largest(parent.size(), 0);
  auto count = [&](int s) -> int& {
    const size_t p = static_cast<size_t>(std::upper_bound(base.begin(), base.end(), s) - base.begin()) - 1;
    PatchCut& cut = (*patches)[p];
    const size_t at = static_cast<size_t>(s - base[p]);
    return at < cut.columns.size() ? cut.columns[at] : cut.rows[at - cut.columns.size()];
  };
  for (int s = 0; s < static_cast<int>(parent.size()); ++s) {
    const int r = FindSet(parent, s);
    largest[r] = std::max(largest[r], count(s));
  }
  for (int s = 0; s < static_cast<int>(parent.size()); ++s) count(s) = largest[FindSet(parent, s)];
}

void WeldSharedEdgeVertices(const std::vector<PatchEdgeMatch>& matches, const std::vector<PatchCut>& patches,
                            const std::vector<size_t>& firstVertex, std::vector<BspVertex>* vertices) {
  for (const PatchEdgeMatch& m : matches) {
    const PatchCut& a = patches[m.patchA];
    const PatchCut& b = patches[m.patchB];
    const size_t acrossA = GridLine(a.columns), downA = GridLine(a.rows);
    const size_t acrossB = GridLine(b.columns), downB = GridLine(b.rows);
    const size_t n = AlongRow(m.edgeA) ? acrossA : downA;
    // Cut alike unless the counts were not agreed: then there is nothing to pair up.
    if (n != (AlongRow(m.edgeB) ? acrossB : downB)) continue;
    for (size_t i = 0; i < n; ++i) {
      const size_t along = m.reversed ? n - 1 - i : i;
      const BspVertex& from = (*vertices)[firstVertex[m.patchA] + EdgeGridVertex(m.edgeA, acrossA, downA, i)];
      BspVertex& to = (*vertices)[firstVertex[m.patchB] + EdgeGridVertex(m.edgeB, acrossB, downB, along)];
      for (int k = 0; k < 3; ++k) to.position[k] = from.position[k];
    }
  }
}
