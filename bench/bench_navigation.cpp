// The waypoint graph built at start-up for a level other than the default one, on the
// largest navigation test level (copies of the rooms-stairs-ramp-door-pit level side by
// side): its build time and the memory it takes at its peak, against parsing the level file,
// and the memory still held once it is done (the graph and route table alone should stay);
// then the same build without the walks down from ledges (links one way), for what they add.
// Measured in one run, so the ratios hold on a noisy machine; the processor time the build took
// on all its threads shows what a busy machine's clock time hides. Given the path of a level
// file instead of a number of copies, it measures that level with its movers set up, as the
// game loads it; given "arena", the open arena of the tests (props and curved patches, about
// 870 waypoints). 16 copies of the test level make about 900 waypoints.
#include <malloc.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>

#include "bots/graph_builder.h"
#include "bots/waypoints.h"
#include "core/game_state.h"
#include "core/level.h"
#include "movers/movers.h"
#include "support/arena_level.h"
#include "support/nav_level.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point since) {
  return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

long PeakResidentKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// Blocks in use in every arena, and the large ones malloc maps on their own (where the graph's
// tables go once no large block was freed before them).
size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string argument = argc > 1 ? argv[1] : "8";
  const bool levelFile = argument.size() > 4 && argument.compare(argument.size() - 4, 4, ".bsp") == 0;
  const bool arena = argument == "arena";
  const int copies = levelFile || arena ? 0 : std::atoi(argument.c_str());
  std::string error;
  std::vector<uint8_t> file;
  if (levelFile) {
    std::ifstream in(argument, std::ios::binary);
    file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } else if (arena) {
    file = ArenaLevel().BuildFile();
  } else {
    file = NavLevelFile(copies);
  }
  const size_t brushCount = levelFile ? 0 : NavLevelBrushes(copies).size();
  Level& level = gGame.level;
  auto start = Clock::now();
  if (!level.Parse(file.data(), file.size(), &error)) {
    std::fprintf(stderr, "bench_navigation: %s\n", error.c_str());
    return 1;
  }
  const double parseMs = Ms(start);
  SetUpMovers(level, &gGame.movers);

  malloc_trim(0);
  const long peakBefore = PeakResidentKb();
  const size_t heapBefore = HeapInUse();
  start = Clock::now();
  const std::clock_t processorStart = std::clock();
  WaypointGraph graph;
  GraphBuildReport report;
  if (!BuildLevelWaypointGraph(level, GraphBuildSettings(), &graph, &report, &error, &gGame.movers)) {
    std::fprintf(stderr, "bench_navigation: %s\n", error.c_str());
    return 1;
  }
  gGame.waypoints = std::move(graph);
  const double graphMs = Ms(start);
  const double graphProcessorMs = 1000.0 * static_cast<double>(std::clock() - processorStart) / CLOCKS_PER_SEC;
  start = Clock::now();
  BuildRouteTable();
  const double routesMs = Ms(start);
  const long peakGrowthKb = PeakResidentKb() - peakBefore;
  const long long heapKept = static_cast<long long>(HeapInUse()) - static_cast<long long>(heapBefore);
  const size_t tablesKept = 2 * sizeof(int) * static_cast<size_t>(gGame.waypoints.count) * gGame.waypoints.count +
                            3 * sizeof(float) * static_cast<size_t>(gGame.waypoints.count);

  if (levelFile || arena)
    std::printf("navigation graph on %s (%zu brushes, file %zu KB):\n", argument.c_str(), level.brushes.size(),
                file.size() / 1024);
  else
    std::printf("navigation graph on %d copies of the test level (%zu brushes, file %zu KB):\n", copies,
                brushCount, file.size() / 1024);
  std::printf("  parse the level file                    %9.1f ms\n", parseMs);
  std::printf("  build the graph                        %9.1f ms = %.1fx parsing\n", graphMs, graphMs / parseMs);
  std::printf("    processor time on all its threads    %9.1f ms\n", graphProcessorMs);
  std::printf("  route table                            %9.1f ms\n", routesMs);
  std::printf("  %d waypoints, %d links (%d one-way), %d parts, largest %d, %ld walk ticks\n", report.waypoints,
              report.links, report.oneWay, report.components, report.largest, report.walkTicks);
  std::printf("  peak resident growth while building    %9ld KB\n", peakGrowthKb);
  std::printf("  heap kept after building               %9lld KB (graph and routes %zu KB)\n", heapKept / 1024,
              tablesKept / 1024);

  GraphBuildSettings inSight;
  inSight.drops = false;
  WaypointGraph plain;
  GraphBuildReport plainReport;
  start = Clock::now();
  const std::clock_t plainProcessorStart = std::clock();
  BuildLevelWaypointGraph(level, inSight, &plain, &plainReport, &error, &gGame.movers);
  const double plainMs = Ms(start);
  const double plainProcessorMs = 1000.0 * static_cast<double>(std::clock() - plainProcessorStart) / CLOCKS_PER_SEC;
  std::printf("  without the walks down from ledges     %9.1f ms, processor %.1f ms: they add %.1f ms (processor "
              "%.1f ms); %d links, %d parts without\n",
              plainMs, plainProcessorMs, graphMs - plainMs, graphProcessorMs - plainProcessorMs, plainReport.links,
              plainReport.components);
  return graphMs + routesMs < 1000.0 ? 0 : 2;
}
