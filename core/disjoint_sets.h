// Disjoint sets of the numbers 0 .. count - 1 (union-find with path halving): which slots of
// patch edges, polygons of a walkable mesh or waypoints of a graph have been joined.
// `parent` holds each number's parent; a root is its own parent.
#pragma once
#include <numeric>
#include <vector>

// Every number in a set of its own.
inline std::vector<int> SeparateSets(int count) {
  std::vector<int> parent(count > 0 ? count : 0);
  std::iota(parent.begin(), parent.end(), 0);
  return parent;
}

// The root of i's set; halves the path on the way.
inline int FindSet(std::vector<int>& parent, int i) {
  while (parent[i] != i) i = parent[i] = parent[parent[i]];
  return i;
}

// Joins a's set to b's: a's root then hangs under b's root.
inline void JoinSets(std::vector<int>& parent, int a, int b) { parent[FindSet(parent, a)] = FindSet(parent, b); }
