// Compile time of the default level (goal: under 10 s on two cores), with the share of it
// spent on lighting and on visibility, for one thread and for all of them.
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tools/levelc/level_compiler.h"

namespace {

std::string Source() {
  std::ifstream in(KORVALIS_SOURCE_DIR "/content/korvalis.map");
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void CompileDefaultLevel(benchmark::State& state) {
  const std::string source = Source();
  CompileOptions options;
  options.threads = static_cast<int>(state.range(0));
  CompileStats stats, sum;
  for (auto _ : state) {
    BspFileData data;
    std::string error;
    if (!CompileLevel(source, options, &data, &stats, &error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    sum.totalSeconds += stats.totalSeconds;
    sum.lightSeconds += stats.lightSeconds;
    sum.visSeconds += stats.visSeconds;
  }
  state.counters["light_share"] = sum.lightSeconds / sum.totalSeconds;
  state.counters["vis_share"] = sum.visSeconds / sum.totalSeconds;
  state.counters["faces"] = stats.faces;
  state.counters["lightmap_pages"] = stats.lightmapPages;
}
BENCHMARK(CompileDefaultLevel)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
