// The all-pairs next-hop table. The built-in graph: one array-scan shortest-path search per
// ordered pair (with at most 99 waypoints a plain scan is cheaper than keeping a priority
// queue). A generated graph of hundreds of waypoints: one search per waypoint.
#include <algorithm>
#include <functional>
#include <queue>
#include <utility>
#include <vector>

#include "bots/waypoints.h"
#include "core/game_state.h"

namespace {

constexpr int Settled = 99999;  // search-state marker of a waypoint that was expanded

}  // namespace

void FindRoute(int s, int t) {
  const WaypointGraph& graph = gGame.waypoints;
  const int count = graph.count;
  if (count <= 0 || count > graph.capacity() || count > gGame.routes.nextHop.size() || s < 0 ||
      s >= count || t < 0 || t >= count)
    return;
  std::vector<int> previous(count);  // predecessor on the best path found; -1 for the source
  std::vector<int> search(count);    // Settled once expanded
  std::vector<float> dist(count);    // best known cost from s
  for (int i = 0; i < count; ++i) {
    dist[i] = i == s ? 0.0f : FarAway;
    previous[i] = i;
    search[i] = i;
  }
  previous[s] = -1;
  // The target counts as settled from the start: it is never expanded, though it still
  // receives relaxations.
  search[t] = Settled;

  int remaining = count - 1;
  do {
    // The last unsettled waypoint, then any unsettled one strictly closer: the highest
    // index wins when it has the minimum, otherwise the lowest index with the minimum.
    int cur = -1;
    for (int i = 0; i < count; ++i)
      if (search[i] != Settled) cur = i;
    if (cur < 0) break;  // everything settled (only when s == t)
    for (int i = 0; i < count; ++i)
      if (search[i] != Settled && dist[i] < dist[cur]) cur = i;
    search[cur] = Settled;
    --remaining;
    const Vec3 from = WaypointPosition(cur);
    for (int r = 0; r < count; ++r) {
      if (graph.links[r][cur] != 1) continue;
      const float d = dist[cur] + WaypointCost(from, WaypointPosition(r));
      if (d < dist[r]) {
        dist[r] = d;
        previous[r] = cur;
      }
    }
  } while (remaining > 0);

  // Every waypoint on the path, the source included and the target excluded, learns its
  // next hop toward t. A target that was never reached has previous[t] == t and would
  // loop on itself: nothing is written for it.
  if (previous[t] == t) return;
  int v = t;
  for (int steps = 0; steps < count && previous[v] != -1; ++steps) {
    gGame.routes.nextHop[previous[v]][t] = v;
    v = previous[v];
  }
}

namespace {

// The links into each waypoint (the waypoints that lead to it), with their costs.
struct Into {
  int from;
  float cost;
};
std::vector<std::vector<Into>> LinksInto(const WaypointGraph& graph) {
  std::vector<std::vector<Into>> into(graph.count);
  for (int r = 0; r < graph.count; ++r)
    for (int c = 0; c < graph.count; ++c)
      if (graph.links[r][c] == 1) into[c].push_back(Into{r, WaypointCost(WaypointPosition(c), WaypointPosition(r))});
  // A jump pad, teleporter or lift costs the way through it, not the distance between its ends.
  for (const SpecialLink& link : graph.special)
    if (link.to >= 0 && link.to < graph.count)
      for (Into& in : into[link.to])
        if (in.from == link.from) in.cost = link.cost;
  return into;
}

// The cheapest paths of the generated graph into target t, searched backwards from t: a
// waypoint r that leads to cur (a link r -> cur) walks to cur next on its way to t.
void RoutesInto(int t, const std::vector<std::vector<Into>>& into, std::vector<float>* dist) {
  dist->assign(into.size(), FarAway);
  (*dist)[t] = 0;
  typedef std::pair<float, int> Entry;
  std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> open;
  open.push(Entry(0.0f, t));
  while (!open.empty()) {
    const Entry e = open.top();
    open.pop();
    const int cur = e.second;
    if (e.first > (*dist)[cur]) continue;  // a stale entry
    for (const Into& link : into[cur]) {
      const float d = (*dist)[cur] + link.cost;
      if (d < (*dist)[link.from]) {
        (*dist)[link.from] = d;
        gGame.routes.nextHop[link.from][t] = cur;
        open.push(Entry(d, link.from));
      }
    }
  }
}

void BuildGeneratedRouteTable() {
  const int count = gGame.waypoints.count;
  gGame.routes = RouteTable(count);
  for (int i = 0; i < count; ++i)
    for (int j = 0; j < count; ++j) gGame.routes.nextHop[i][j] = i == j ? i : NoRoute;
  const std::vector<std::vector<Into>> into = LinksInto(gGame.waypoints);
  std::vector<float> dist;
  for (int t = 0; t < count; ++t) RoutesInto(t, into, &dist);
  const int parts = GraphParts(gGame.waypoints, &gGame.routes.part);
  gGame.routes.partSize.assign(parts, 0);
  for (int p : gGame.routes.part) ++gGame.routes.partSize[p];
  // The largest part (the lowest-numbered of equals) and its first waypoint.
  int largest = 0;
  for (int p = 1; p < parts; ++p)
    if (gGame.routes.partSize[p] > gGame.routes.partSize[largest]) largest = p;
  for (int w = 0; w < count && gGame.routes.largestPartWaypoint < 0; ++w)
    if (gGame.routes.part[w] == largest) gGame.routes.largestPartWaypoint = w;
}

}  // namespace

bool HasRoute(int a, int b) {
  const int count = gGame.waypoints.count;
  if (a < 0 || a >= count || b < 0 || b >= count || count > gGame.routes.nextHop.size()) return false;
  return gGame.routes.nextHop[a][b] != NoRoute;
}

void BuildRouteTable() {
  if (gGame.waypoints.generated) {
    BuildGeneratedRouteTable();
    return;
  }
  const int count = gGame.waypoints.count;
  if (gGame.routes.nextHop.size() < count) gGame.routes = RouteTable(gGame.waypoints.capacity());
  gGame.routes.part.clear();  // one part: nothing left of a generated graph's parts
  gGame.routes.partSize.clear();
  gGame.routes.largestPartWaypoint = -1;
  for (int i = 0; i < count; ++i)
    for (int j = 0; j < count; ++j) gGame.routes.nextHop[i][j] = NoRoute;
  for (int i = 0; i < count; ++i)
    for (int j = 0; j < count; ++j) {
      if (i == j)
        gGame.routes.nextHop[i][i] = i;
      else
        FindRoute(i, j);
    }
}

int GraphParts(const WaypointGraph& graph, std::vector<int>* part) {
  // Tarjan's search for strongly connected parts, with its own stack instead of recursion.
  const int count = graph.count;
  std::vector<std::vector<int>> out(count);
  for (int a = 0; a < count; ++a)
    for (int b = 0; b < count; ++b)
      if (graph.links[a][b] == 1) out[a].push_back(b);
  part->assign(count, -1);
  std::vector<int> order(count, -1), low(count, 0), stack;
  std::vector<bool> onStack(count, false);
  std::vector<std::pair<int, size_t>> calls;  // (waypoint, next link to follow)
  int visited = 0, parts = 0;
  for (int root = 0; root < count; ++root) {
    if (order[root] >= 0) continue;
    calls.push_back({root, 0});
    order[root] = low[root] = visited++;
    stack.push_back(root);
    onStack[root] = true;
    while (!calls.empty()) {
      auto& [v, next] = calls.back();
      if (next < out[v].size()) {
        const int w = out[v][next++];
        if (order[w] < 0) {
          order[w] = low[w] = visited++;
          stack.push_back(w);
          onStack[w] = true;
          calls.push_back({w, 0});
        } else if (onStack[w]) {
          low[v] = std::min(low[v], order[w]);
        }
        continue;
      }
      const int done = v;
      calls.pop_back();
      if (!calls.empty()) low[calls.back().first] = std::min(low[calls.back().first], low[done]);
      if (low[done] != order[done]) continue;
      int w;
      do {
        w = stack.back();
        stack.pop_back();
        onStack[w] = false;
        (*part)[w] = parts;
      } while (w != done);
      ++parts;
    }
  }
  return parts;
}

int WaypointPart(int w) {
  const std::vector<int>& part = gGame.routes.part;
  return w >= 0 && w < static_cast<int>(part.size()) ? part[w] : 0;
}

bool LeadsToLargestPart(int w) {
  const int count = gGame.waypoints.count;
  if (w < 0 || w >= count) return false;
  const int main = gGame.routes.largestPartWaypoint;
  return main < 0 || HasRoute(w, main);
}

int PartSize(int w) {
  const std::vector<int>& size = gGame.routes.partSize;
  const int p = WaypointPart(w);
  return p < static_cast<int>(size.size()) ? size[p] : gGame.waypoints.count;
}
