// Traces per second on the default level: rays, player boxes and bot boxes along random
// segments (fixed seed), through the BSP tree and by testing every brush of the level for
// every trace, in the same run; prints both rates and their ratio. Both tracers must agree
// on every segment. Then, on a generated arena full of curved surfaces, the tracer finding
// them through the tree against trying every one per trace.
//
// Usage: bench_trace [level.bsp]. Without an argument the level named by the game data's
// Config.ini is used; when it is missing, a large generated level is (and the output says so).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "app/config.h"
#include "core/level.h"
#ifdef KORVALIS_HAVE_LEVEL_BUILDER
#include "support/arena_level.h"
#include "support/level_builder.h"
#endif

namespace {

struct Segment {
  Vec3 start, end;
};

bool ReadLevel(const std::string& path, Level* level) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string error;
  if (!level->Parse(bytes.data(), bytes.size(), &error)) {
    std::printf("%s: %s\n", path.c_str(), error.c_str());
    return false;
  }
  return true;
}

#ifdef KORVALIS_HAVE_LEVEL_BUILDER
// A town of 1600 blocks of varied sizes on a floor, walls around it, stairs at every 8th.
bool GenerateLevel(Level* level) {
  LevelBuilder builder;
  std::mt19937 random(99);
  std::uniform_real_distribution<float> size(16, 120), height(20, 300);
  builder.AddWorldBox(Vec3(-4096, -32, -4096), Vec3(4096, 0, 4096));
  builder.AddWorldBox(Vec3(-4160, 0, -4160), Vec3(-4096, 512, 4160));
  builder.AddWorldBox(Vec3(4096, 0, -4160), Vec3(4160, 512, 4160));
  builder.AddWorldBox(Vec3(-4096, 0, -4160), Vec3(4096, 512, -4096));
  builder.AddWorldBox(Vec3(-4096, 0, 4096), Vec3(4096, 512, 4160));
  for (int i = 0; i < 40; ++i) {
    for (int j = 0; j < 40; ++j) {
      const float x = -4000.0f + i * 200, z = -4000.0f + j * 200;
      if ((i + j) % 8 == 0) {
        for (int s = 0; s < 5; ++s) builder.AddWorldBox(Vec3(x + s * 24, 0, z), Vec3(x + 120, 20.0f * (s + 1), z + 64));
      } else {
        builder.AddWorldBox(Vec3(x, 0, z), Vec3(x + size(random), height(random), z + size(random)));
      }
    }
  }
  return builder.LoadInto(level);
}
#endif


// The box around the level's geometry: its leaves (whose converted z bounds may be swapped).
void LevelBounds(const Level& level, Vec3* lo, Vec3* hi) {
  float mins[3] = {1e30f, 1e30f, 1e30f}, maxs[3] = {-1e30f, -1e30f, -1e30f};
  for (const BspLeaf& leaf : level.leaves) {
    if (leaf.leafBrushCount == 0 && leaf.leafFaceCount == 0) continue;
    for (int i = 0; i < 3; ++i) {
      mins[i] = std::min({mins[i], static_cast<float>(leaf.mins[i]), static_cast<float>(leaf.maxs[i])});
      maxs[i] = std::max({maxs[i], static_cast<float>(leaf.mins[i]), static_cast<float>(leaf.maxs[i])});
    }
  }
  *lo = Vec3(mins[0], mins[1], mins[2]);
  *hi = Vec3(maxs[0], maxs[1], maxs[2]);
}

// Segments of the lengths the game traces: short moves, shots and line-of-sight tests.
std::vector<Segment> RandomSegments(const Level& level, int count) {
  Vec3 lo, hi;
  LevelBounds(level, &lo, &hi);
  std::mt19937 random(12345);
  std::uniform_real_distribution<float> unit(0, 1), direction(-1, 1);
  std::vector<Segment> segments;
  for (int i = 0; i < count; ++i) {
    const Vec3 a(lo.x + (hi.x - lo.x) * unit(random), lo.y + (hi.y - lo.y) * unit(random),
                 lo.z + (hi.z - lo.z) * unit(random));
    const float length = i % 4 == 0 ? 2000.0f * unit(random) : 300.0f * unit(random);
    const Vec3 d = NormalizeOrZero(Vec3(direction(random), 0.3f * direction(random), direction(random)));
    segments.push_back({a, a + d * length});
  }
  return segments;
}

// Traces per second of one pass over the segments.
double Rate(Level* level, const std::vector<Segment>& segments, Vec3 extents) {
  const auto begin = std::chrono::steady_clock::now();
  float sum = 0;
  for (const Segment& s : segments) sum += level->Trace(s.start, s.end, extents).fraction;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  volatile float keep = sum;  // the traces must not be optimised away
  (void)keep;
  return segments.size() / seconds;
}

}  // namespace

int main(int argc, char** argv) {
  Level level;
  std::string source;
  if (argc > 1) {
    source = argv[1];
    if (!ReadLevel(source, &level)) {
      std::printf("cannot read %s\n", source.c_str());
      return 1;
    }
  } else {
    const std::string gameDir = KORVALIS_GAME_DIR;
    GameConfig config;
    if (ReadConfigFile((gameDir + "/Config.ini").c_str(), &config) && !config.levelPath.empty()) {
      std::string path = config.levelPath;
      std::replace(path.begin(), path.end(), '\\', '/');
      source = gameDir + "/" + path;
      if (!ReadLevel(source, &level)) source.clear();
    }
    if (source.empty()) {
#ifdef KORVALIS_HAVE_LEVEL_BUILDER
      source = "generated level (the default level was not found in " + gameDir + ")";
      if (!GenerateLevel(&level)) {
        std::printf("could not generate a level\n");
        return 1;
      }
#else
      std::printf("the default level was not found in %s\n", gameDir.c_str());
      return 1;
#endif
    }
  }

  Level brute = AllBrushesInOneLeaf(level);
  std::printf("level: %s\n%zu brushes, %zu nodes, %zu leaves, %.1f brushes per non-empty leaf\n", source.c_str(),
              level.brushes.size(), level.nodes.size(), level.leaves.size(), [&] {
                size_t listed = 0, used = 0;
                for (const BspLeaf& l : level.leaves) {
                  listed += l.leafBrushCount;
                  used += l.leafBrushCount > 0;
                }
                return used ? static_cast<double>(listed) / used : 0.0;
              }());

  // Testing every brush is slow: it gets the first part of the segments.
  const std::vector<Segment> segments = RandomSegments(level, 20000);
  const std::vector<Segment> bruteSegments(segments.begin(), segments.begin() + 4000);
  struct Kind {
    const char* name;
    Vec3 extents;
  } kinds[] = {{"ray", Vec3(0, 0, 0)}, {"player box", PlayerExtents}, {"bot box", BodyExtents}};
  int failures = 0;
  for (const Kind& kind : kinds) {
    int mismatches = 0, hits = 0;
    for (const Segment& s : bruteSegments) {
      const TraceResult a = level.Trace(s.start, s.end, kind.extents);
      const TraceResult b = brute.Trace(s.start, s.end, kind.extents);
      hits += a.fraction < 1;
      mismatches += std::fabs(a.fraction - b.fraction) > 1e-5f;
    }
    // Alternate the two and keep the best pass of each: the machine is shared and noisy.
    double treeRate = 0, bruteRate = 0;
    for (int pass = 0; pass < 7; ++pass) {
      treeRate = std::max(treeRate, Rate(&level, segments, kind.extents));
      bruteRate = std::max(bruteRate, Rate(&brute, bruteSegments, kind.extents));
    }
    std::printf("%-10s  tree %10.0f traces/s   every brush %10.0f traces/s   ratio %6.1f   (%d of %zu hit, %d disagree)\n",
                kind.name, treeRate, bruteRate, treeRate / bruteRate, hits, bruteSegments.size(), mismatches);
    failures += mismatches;
  }
#ifdef KORVALIS_HAVE_LEVEL_BUILDER
  Level arena;
  if (!ArenaLevel().LoadInto(&arena)) {
    std::printf("could not build the arena\n");
    return 1;
  }
  Level everySurface = arena;
  everySurface.surfacesThroughTree = false;
  const std::vector<Segment> arenaSegments = RandomSegments(arena, 20000);
  std::printf("arena: %zu curved surfaces of %zu triangles, %zu brushes\n", arena.collisionSurfaces.size(),
              arena.collisionTriangles.size(), arena.brushes.size());
  for (const Kind& kind : kinds) {
    int mismatches = 0, hits = 0;
    for (const Segment& s : arenaSegments) {
      const TraceResult a = arena.Trace(s.start, s.end, kind.extents);
      const TraceResult b = everySurface.Trace(s.start, s.end, kind.extents);
      hits += a.fraction < 1;
      mismatches += a.fraction != b.fraction || !(a.normal == b.normal);
    }
    double treeRate = 0, everyRate = 0;
    for (int pass = 0; pass < 7; ++pass) {
      treeRate = std::max(treeRate, Rate(&arena, arenaSegments, kind.extents));
      everyRate = std::max(everyRate, Rate(&everySurface, arenaSegments, kind.extents));
    }
    std::printf("%-10s  surfaces through the tree %10.0f traces/s   every surface %10.0f traces/s   ratio %6.1f   (%d of %zu hit, %d disagree)\n",
                kind.name, treeRate, everyRate, treeRate / everyRate, hits, arenaSegments.size(), mismatches);
    failures += mismatches;
  }
#endif
  return failures == 0 ? 0 : 1;
}
