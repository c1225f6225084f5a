// levelc: compiles a level source into a level file.
//   levelc [--threads N] [--no-vis] [--quiet] <map source> <out.bsp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/levelc/level_compiler.h"

int main(int argc, char** argv) {
  CompileOptions options;
  bool quiet = false;
  std::string paths[2];
  int pathCount = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc) {
      options.threads = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--no-vis") == 0) {
      options.visibility = false;
    } else if (std::strcmp(argv[i], "--quiet") == 0) {
      quiet = true;
    } else if (pathCount < 2 && argv[i][0] != '-') {
      paths[pathCount++] = argv[i];
    } else {
      pathCount = 3;
      break;
    }
  }
  if (pathCount != 2) {
    std::fprintf(stderr, "usage: levelc [--threads N] [--no-vis] [--quiet] <map source> <out.bsp>\n");
    return 2;
  }
  CompileStats stats;
  std::string error;
  if (!CompileLevelFile(paths[0], paths[1], options, &stats, &error)) {
    std::fprintf(stderr, "levelc: %s\n", error.c_str());
    return 1;
  }
  if (!quiet)
    std::printf("levelc: %s: %d brushes, %d faces, %d leaves, %d clusters (each sees %.0f%%), %d lightmap pages; "
                "%.2f s (lighting %.2f s, visibility %.2f s)\n",
                paths[1].c_str(), stats.brushes, stats.faces, stats.leaves, stats.clusters,
                stats.visibleClusterShare * 100, stats.lightmapPages, stats.totalSeconds, stats.lightSeconds,
                stats.visSeconds);
  return 0;
}
