// The light grid: cells sized by the worldspawn's "gridsize" (64 64 128 when it has none) over
// the world model's box, and the light of a figure blended from the cells around it.
#include "level/light_grid.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "level/entities.h"

void Level::SetUpLightGrid(const float worldMins[3], const float worldMaxs[3], bool haveBox) {
  LightGrid& grid = lightGrid;
  grid.size[0] = 64, grid.size[1] = 64, grid.size[2] = 128;
  for (const Entity& entity : ParseEntities(entityText)) {
    const std::string* name = EntityValue(entity, "classname");
    const std::string* size = EntityValue(entity, "gridsize");
    if (!name || *name != "worldspawn" || !size) continue;
    std::istringstream in(*size);
    float s[3];
    if (in >> s[0] >> s[1] >> s[2] && s[0] >= 1 && s[1] >= 1 && s[2] >= 1) std::copy(s, s + 3, grid.size);
  }
  int64_t total = 1;
  for (int a = 0; a < 3 && haveBox; ++a) {
    const double first = std::ceil(worldMins[a] / grid.size[a]), last = std::floor(worldMaxs[a] / grid.size[a]);
    const double count = last - first + 1;
    if (!(count >= 1 && count <= 65536)) {
      total = -1;
      break;
    }
    grid.origin[a] = static_cast<float>(first * grid.size[a]);
    grid.counts[a] = static_cast<int32_t>(count);
    total *= grid.counts[a];
  }
  if (!haveBox || total != static_cast<int64_t>(grid.cells.size())) {
    if (!grid.cells.empty())
      std::fprintf(stderr, "Light grid of %zu cells does not fit the level's box: figures are lit evenly\n",
                   grid.cells.size());
    grid = LightGrid();
  }
}

bool FigureLight(const Level& level, Vec3 position, float rgb[3]) {
  const LightGrid& grid = level.lightGrid;
  rgb[0] = rgb[1] = rgb[2] = 1;
  if (grid.cells.empty()) return false;
  // File axes: x, -z, y of the world's.
  const float p[3] = {position.x, -position.z, position.y};
  int base[3];
  float frac[3];
  for (int a = 0; a < 3; ++a) {
    const float at = std::clamp((p[a] - grid.origin[a]) / grid.size[a], 0.0f, static_cast<float>(grid.counts[a] - 1));
    base[a] = std::min(static_cast<int>(at), std::max(grid.counts[a] - 2, 0));
    frac[a] = at - static_cast<float>(base[a]);
  }
  float sum[3] = {0, 0, 0}, weights = 0;
  for (int corner = 0; corner < 8; ++corner) {
    int cell[3];
    float weight = 1;
    for (int a = 0; a < 3; ++a) {
      const int step = (corner >> a) & 1;
      cell[a] = std::min(base[a] + step, grid.counts[a] - 1);
      weight *= step ? frac[a] : 1 - frac[a];
    }
    const BspLightGridCell& c =
        grid.cells[(static_cast<size_t>(cell[2]) * grid.counts[1] + cell[1]) * grid.counts[0] + cell[0]];
    bool solid = true;
    for (int k = 0; k < 3; ++k) solid = solid && c.ambient[k] == 0 && c.directed[k] == 0;
    if (solid || weight <= 0) continue;
    for (int k = 0; k < 3; ++k) sum[k] += weight * (c.ambient[k] + 0.5f * c.directed[k]);
    weights += weight;
  }
  if (weights <= 0) return false;
  for (int k = 0; k < 3; ++k) rgb[k] = std::min(1.0f, sum[k] / weights * LightGridScale);
  return true;
}
