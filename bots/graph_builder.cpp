// Building the waypoint graph of a level: candidate places from the navigation mesh (where
// two floor polygons meet, the polygons' centres, and a grid over large floors), set on the
// floor at a bot's centre height and kept when nothing closer was kept already; then links,
// shortest first, each way walked by the bots' own movement (down from a ledge a link may go
// one way only). A link that two shorter ones already make is left out, parts of the graph on
// one connected floor are joined by longer links where a walk finds one, and drops of any
// height lead from a part down into the parts below it.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <utility>

#include "bots/graph_builder.h"
#include "bots/mover_links.h"
#include "bots/navmesh.h"
#include "bots/worker_threads.h"
#include "core/disjoint_sets.h"
#include "core/level.h"

namespace {

constexpr float OpenSkyReach = 1.0e5f;   // a floor with nothing above it this far is outside
constexpr int MaxJoiningWalks = 4000;    // trial pairs spent joining the parts of one floor
// The most pairs of waypoints whose links are tried by walking (a few dozen per waypoint on an
// open floor): floors stacked close above each other multiply them, and past it the waypoints
// are spread further apart, so the graph is coarser, never missing.
constexpr size_t MaxTrialPairs = 60000;

struct Candidate {
  Vec3 floor;      // a point on the floor the navigation mesh found
  int component;   // the mesh part it lies on
};

struct Place {
  Vec3 centre;     // the waypoint: a bot's body centre resting on the floor
  int component;
};

// Cells of a horizontal grid, for finding near places without comparing all pairs.
class PlaceGrid {
 public:
  explicit PlaceGrid(float cell) : cell_(cell) {}
  void Add(int index, Vec3 p) { cells_[Key(Cell(p.x), Cell(p.z))].push_back(index); }
  // Calls visit(index) for every place added within `reach` cells around p.
  template <typename Visit>
  void Near(Vec3 p, int reach, Visit visit) const {
    const int cx = Cell(p.x), cz = Cell(p.z);
    for (int x = cx - reach; x <= cx + reach; ++x)
      for (int z = cz - reach; z <= cz + reach; ++z) {
        const auto found = cells_.find(Key(x, z));
        if (found == cells_.end()) continue;
        for (int index : found->second) visit(index);
      }
  }

 private:
  int Cell(float v) const { return static_cast<int>(std::floor(v / cell_)); }
  static uint64_t Key(int x, int z) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(x)) << 32) | static_cast<uint32_t>(z);
  }
  float cell_;
  std::unordered_map<uint64_t, std::vector<int>> cells_;
};

float Horizontal(Vec3 a, Vec3 b) { return std::hypot(a.x - b.x, a.z - b.z); }

// The floor height of the polygon at (x, z), or false when the point lies outside it.
bool FloorInPolygon(const NavPolygon& polygon, float x, float z, float* y) {
  const std::vector<Vec3>& c = polygon.corners;
  for (size_t k = 2; k < c.size(); ++k) {
    const Vec3 a = c[0], b = c[k - 1], d = c[k];
    const float det = (b.x - a.x) * (d.z - a.z) - (d.x - a.x) * (b.z - a.z);
    if (std::fabs(det) < 1e-6f) continue;
    const float u = ((x - a.x) * (d.z - a.z) - (d.x - a.x) * (z - a.z)) / det;
    const float v = ((b.x - a.x) * (z - a.z) - (x - a.x) * (b.z - a.z)) / det;
    if (u < -1e-4f || v < -1e-4f || u + v > 1.0001f) continue;
    *y = a.y + (b.y - a.y) * u + (d.y - a.y) * v;
    return true;
  }
  return false;
}

// Places where portals meet first (they carry bots from floor to floor; a portal that only
// joins two tiles of the mesh build does not), then polygon centres, then a grid over the
// larger polygons.
std::vector<Candidate> Candidates(const NavMesh& mesh, float gridStep) {
  std::vector<Candidate> out;
  for (const NavPortal& portal : mesh.portals)
    if (!portal.tileBorder) out.push_back(Candidate{portal.midpoint, mesh.polygons[portal.polygonA].component});
  for (const NavPolygon& polygon : mesh.polygons) {
    if (polygon.corners.empty()) continue;
    Vec3 sum;
    for (const Vec3& c : polygon.corners) sum = sum + c;
    out.push_back(Candidate{sum / static_cast<float>(polygon.corners.size()), polygon.component});
  }
  for (const NavPolygon& polygon : mesh.polygons) {
    float lo[2] = {1e30f, 1e30f}, hi[2] = {-1e30f, -1e30f};
    for (const Vec3& c : polygon.corners) {
      lo[0] = std::min(lo[0], c.x), hi[0] = std::max(hi[0], c.x);
      lo[1] = std::min(lo[1], c.z), hi[1] = std::max(hi[1], c.z);
    }
    for (float x = std::ceil(lo[0] / gridStep) * gridStep; x <= hi[0]; x += gridStep)
      for (float z = std::ceil(lo[1] / gridStep) * gridStep; z <= hi[1]; z += gridStep) {
        float y;
        if (FloorInPolygon(polygon, x, z, &y)) out.push_back(Candidate{Vec3(x, y, z), polygon.component});
      }
  }
  return out;
}

// `clear` says whether a place is free of the level's moving parts and trigger volumes.
template <typename Clear>
std::vector<Place> SpreadPlaces(Level& level, const std::vector<Candidate>& candidates,
                                const GraphBuildSettings& s, Clear clear) {
  std::vector<Place> places;
  PlaceGrid grid(s.spacing);
  for (const Candidate& c : candidates) {
    Vec3 centre;
    if (!RestingBodyCentre(level, c.floor, &centre) || !clear(centre)) continue;
    bool crowded = false;
    grid.Near(centre, 1, [&](int i) {
      const Vec3 p = places[i].centre;
      if (Horizontal(p, centre) < s.spacing && std::fabs(p.y - centre.y) < s.heightApart) crowded = true;
    });
    if (crowded) continue;
    // A floor under open void is the outside of the level's shell, not a place to walk.
    if (level.Trace(centre, centre + Vec3(0, OpenSkyReach, 0), Vec3()).fraction == 1.0f) continue;
    grid.Add(static_cast<int>(places.size()), centre);
    places.push_back(Place{centre, c.component});
  }
  return places;
}

// Below this height difference a pair whose straight line is blocked is no drop worth a walk.
constexpr float MinDropHeight = 48;

// The trial of a pair: the walks that got through, each way.
struct LinkTrial {
  bool forward = false;    // a -> b
  bool backward = false;   // b -> a
  long ticks = 0;          // of the walks made
};

// With an open line at centre height, the walk down (or from a, on the level) first and back
// only when that got through: whoever cannot walk down cannot climb either. With the line
// blocked, only a drop: from the higher end, around the edge it falls from.
LinkTrial TryLink(Level& level, Vec3 a, Vec3 b, float speed, bool drops) {
  LinkTrial trial;
  const bool aHigher = a.y >= b.y;
  const Vec3 high = aHigher ? a : b, low = aHigher ? b : a;
  bool down = false, up = false;
  if (level.Trace(a, b, Vec3()).fraction == 1.0f) {
    down = WalkReaches(level, high, low, speed, &trial.ticks);
    up = down && WalkReaches(level, low, high, speed, &trial.ticks);
  } else if (drops && high.y - low.y >= MinDropHeight) {
    down = WalkReaches(level, high, low, speed, &trial.ticks);
  }
  trial.forward = aHigher ? down : up;
  trial.backward = aHigher ? up : down;
  return trial;
}

// A drop alone: the walk from the higher place down to the lower one.
LinkTrial TryDrop(Level& level, Vec3 high, Vec3 low, float speed) {
  LinkTrial trial;
  trial.forward = WalkReaches(level, high, low, speed, &trial.ticks);
  return trial;
}

struct Linker {
  const GraphBuildSettings& s;
  const std::vector<Place>& places;
  std::vector<std::vector<std::pair<int, float>>> out;  // (place, length) of the links from a place
  std::vector<int> parent;                              // parts joined both ways so far
  long ticks = 0;
  int links = 0;      // a link both ways counts once
  int oneWay = 0;

  bool Linked(int a, int b) const {
    for (const auto& [c, length] : out[a])
      if (c == b) return true;
    return false;
  }

  // Takes the trial of the pair a, b of length d: a link each way a walk got through.
  void Take(int a, int b, float d, const LinkTrial& trial) {
    ticks += trial.ticks;
    const bool ab = trial.forward && !Linked(a, b), ba = trial.backward && !Linked(b, a);
    if (ab) out[a].push_back({b, d});
    if (ba) out[b].push_back({a, d});
    if (!ab && !ba) return;
    const bool both = Linked(a, b) && Linked(b, a);
    if (both) JoinSets(parent, a, b);
    // A link one way that the other way now joins counts once, as a link both ways.
    if (ab && ba) {
      ++links;
    } else if (both) {
      --oneWay;
    } else {
      ++links;
      ++oneWay;
    }
  }

  // Whether a waypoint linked from a and to b makes a path from a to b at most `detour` times d.
  bool Detoured(int a, int b, float d) const {
    for (const auto& [c, ac] : out[a])
      for (const auto& [e, cb] : out[c])
        if (e == b && ac + cb <= s.detour * d) return true;
    return false;
  }
};

struct Pair {
  float length;
  int a, b;
  bool operator<(const Pair& o) const { return length < o.length || (length == o.length && (a < o.a || (a == o.a && b < o.b))); }
};

std::vector<Pair> PairsWithin(const std::vector<Place>& places, float range) {
  PlaceGrid grid(range);
  for (size_t i = 0; i < places.size(); ++i) grid.Add(static_cast<int>(i), places[i].centre);
  std::vector<Pair> pairs;
  for (size_t i = 0; i < places.size(); ++i)
    grid.Near(places[i].centre, 1, [&](int j) {
      if (j <= static_cast<int>(i)) return;
      const float d = Magnitude(places[i].centre - places[j].centre);
      if (d <= range) pairs.push_back(Pair{d, static_cast<int>(i), j});
    });
  std::sort(pairs.begin(), pairs.end());
  return pairs;
}

// Pairs of a higher and a lower place at least MinDropHeight apart, within `range` across,
// at any height: the higher one first, shortest across first.
std::vector<Pair> DropPairs(const std::vector<Place>& places, float range) {
  PlaceGrid grid(range);
  for (size_t i = 0; i < places.size(); ++i) grid.Add(static_cast<int>(i), places[i].centre);
  std::vector<Pair> pairs;
  for (size_t i = 0; i < places.size(); ++i)
    grid.Near(places[i].centre, 1, [&](int j) {
      const Vec3 high = places[i].centre, low = places[j].centre;
      const float d = Horizontal(high, low);
      if (high.y - low.y >= MinDropHeight && d <= range) pairs.push_back(Pair{d, static_cast<int>(i), j});
    });
  std::sort(pairs.begin(), pairs.end());
  return pairs;
}

// Goes through the pairs in order as
//   for each pair: if (!skip(pair) && !take(pair, TryLink(pair))) stop;
// where a pair once skipped stays skipped as links are taken. The trials of the next pairs
// not yet skipped are made in a batch on the worker threads (one tracing level each), then
// taken in order, each asked skip again first: the same graph with any number of workers.
template <typename Skip, typename Take>
void TryPairs(const std::vector<Pair>& pairs, const std::vector<Place>& places, const std::vector<Level*>& tracers,
              float speed, bool drops, bool dropsOnly, Skip skip, Take take) {
  const int workers = static_cast<int>(tracers.size());
  const size_t batchSize = workers == 1 ? 1 : 32 * static_cast<size_t>(workers);
  std::vector<size_t> batch;
  std::vector<LinkTrial> trials;
  for (size_t next = 0; next < pairs.size();) {
    batch.clear();
    for (; next < pairs.size() && batch.size() < batchSize; ++next)
      if (!skip(pairs[next])) batch.push_back(next);
    trials.assign(batch.size(), LinkTrial());
    RunOnWorkers(static_cast<int>(batch.size()), workers, [&](int k, int worker) {
      const Pair& p = pairs[batch[k]];
      trials[k] = dropsOnly ? TryDrop(*tracers[worker], places[p.a].centre, places[p.b].centre, speed)
                            : TryLink(*tracers[worker], places[p.a].centre, places[p.b].centre, speed, drops);
    });
    for (size_t k = 0; k < batch.size(); ++k)
      if (!skip(pairs[batch[k]]) && !take(pairs[batch[k]], trials[k])) return;
  }
}

}  // namespace

bool BuildLevelWaypointGraph(Level& level, const GraphBuildSettings& settings, WaypointGraph* graph,
                             GraphBuildReport* report, std::string* error, const LevelMovers* movers) {
  const auto started = std::chrono::steady_clock::now();
  *report = GraphBuildReport();
  std::vector<Place> places;
  GraphBuildSettings s = settings;
  const LevelMovers none;
  const LevelMovers& levelMovers = movers ? *movers : none;
  const MoverVolumes volumes = FindMoverVolumes(level, levelMovers);
  auto clear = [&](Vec3 centre) { return PlaceClearOfMovers(volumes, centre); };
  {
    NavMesh mesh;
    if (!BuildNavMesh(level, s.mesh, &mesh, error)) return false;
    // Where jump pads and teleporters put a body come first: their links end there.
    std::vector<Candidate> ends;
    for (const Vec3& end : MoverLinkEnds(level, levelMovers)) ends.push_back(Candidate{end, -1});
    // Then squarely in front of and behind the doors that open as a body comes.
    for (const Vec3& front : DoorFronts(level, levelMovers)) ends.push_back(Candidate{front, -1});
    // A level too large for the graph's capacity, or for the trial walks' budget, gets its
    // waypoints further apart.
    for (;;) {
      std::vector<Candidate> candidates = ends;
      for (const Candidate& c : Candidates(mesh, s.gridStep)) candidates.push_back(c);
      places = SpreadPlaces(level, candidates, s, clear);
      if (static_cast<int>(places.size()) <= MaxGeneratedWaypoints &&
          PairsWithin(places, s.linkRange).size() <= MaxTrialPairs)
        break;
      s.spacing *= 1.3f;
      s.gridStep *= 1.3f;
      s.linkRange *= 1.3f;
    }
  }
  if (places.empty()) {
    *error = "no floor where a bot can stand";
    return false;
  }

  const int count = static_cast<int>(places.size());
  Linker linker{s, places, std::vector<std::vector<std::pair<int, float>>>(count), SeparateSets(count)};
  // Every worker traces on its own copy of the level, with the doors that open as a body
  // comes open; the level itself is left as it is.
  std::vector<Level> copies(WorkerThreadCount(s.workers));
  std::vector<Level*> tracers;
  for (Level& copy : copies) {
    copy = TracingCopy(level);
    OpenDoorsForWalks(copy, levelMovers);
    tracers.push_back(&copy);
  }
  // No walked link crosses a moving part's way (but a door's that opens) or a trigger volume.
  auto walkable = [&](std::vector<Pair> pairs) {
    pairs.erase(std::remove_if(pairs.begin(), pairs.end(),
                               [&](const Pair& p) {
                                 return !WayClearOfMovers(volumes, places[p.a].centre, places[p.b].centre);
                               }),
                pairs.end());
    return pairs;
  };
  auto take = [&](const Pair& p, const LinkTrial& trial) {
    linker.Take(p.a, p.b, p.length, trial);
    return true;
  };
  TryPairs(
      walkable(PairsWithin(places, s.linkRange)), places, tracers, s.runSpeed, s.drops, false,
      [&](const Pair& p) { return linker.Detoured(p.a, p.b, p.length) && linker.Detoured(p.b, p.a, p.length); },
      take);
  // Parts of the graph on one connected floor: join them with the shortest walkable links.
  int walks = 0;
  TryPairs(
      walkable(PairsWithin(places, 2 * s.linkRange)), places, tracers, s.runSpeed, s.drops, false,
      [&](const Pair& p) {
        return places[p.a].component != places[p.b].component || FindSet(linker.parent, p.a) == FindSet(linker.parent, p.b);
      },
      [&](const Pair& p, const LinkTrial& trial) {
        linker.Take(p.a, p.b, p.length, trial);
        return ++walks < MaxJoiningWalks;
      });
  // Jump pads, teleporters and lifts: links one way where no walk links the pair already.
  std::vector<SpecialLink> special;
  {
    std::vector<Vec3> centres;
    for (const Place& p : places) centres.push_back(p.centre);
    for (const SpecialLink& link : FindMoverLinks(*tracers[0], levelMovers, centres, s.runSpeed)) {
      if (linker.Linked(link.from, link.to)) continue;
      LinkTrial trial;
      trial.forward = true;
      linker.Take(link.from, link.to, link.cost, trial);
      special.push_back(link);
    }
  }
  // Drops of any height from one part to another: from each place, the shortest one into
  // each part below it that it does not already reach by a link.
  if (s.drops) {
    std::vector<std::vector<int>> droppedInto(count);  // the parts each place drops into
    for (int a = 0; a < count; ++a)
      for (const auto& [b, length] : linker.out[a])
        if (!linker.Linked(b, a)) droppedInto[a].push_back(FindSet(linker.parent, b));
    auto dropped = [&](const Pair& p) {
      const std::vector<int>& parts = droppedInto[p.a];
      return std::find(parts.begin(), parts.end(), FindSet(linker.parent, p.b)) != parts.end();
    };
    walks = 0;
    TryPairs(
        walkable(DropPairs(places, s.linkRange)), places, tracers, s.runSpeed, true, true,
        [&](const Pair& p) {
          return FindSet(linker.parent, p.a) == FindSet(linker.parent, p.b) || dropped(p) ||
                 linker.Detoured(p.a, p.b, p.length);
        },
        [&](const Pair& p, const LinkTrial& trial) {
          linker.Take(p.a, p.b, p.length, trial);
          if (trial.forward) droppedInto[p.a].push_back(FindSet(linker.parent, p.b));
          return ++walks < MaxJoiningWalks;
        });
  }
  std::vector<Level>().swap(copies);

  *graph = WaypointGraph(count);
  graph->count = count;
  graph->generated = true;
  for (int i = 0; i < count; ++i) {
    graph->x[i] = places[i].centre.x;
    graph->y[i] = places[i].centre.y;
    graph->z[i] = places[i].centre.z;
    for (const auto& [j, length] : linker.out[i]) graph->links[i][j] = 1;
  }
  graph->special = std::move(special);
  report->waypoints = count;
  report->links = linker.links;
  report->oneWay = linker.oneWay;
  std::vector<int> part;
  report->components = GraphParts(*graph, &part);
  std::vector<int> sizes(report->components, 0);
  for (int p : part) report->largest = std::max(report->largest, ++sizes[p]);
  report->walkTicks = linker.ticks;
  report->milliseconds =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
  return true;
}
