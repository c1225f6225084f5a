// Reads the line-based level source text into a MapSource (format: content/README.md).
#include "tools/levelc/map_source.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

#include "core/bsp_format.h"

namespace {

struct Parser {
  MapSource* map;
  std::string* error;
  int line = 0;

  bool Fail(const std::string& reason) {
    if (error) *error = "line " + std::to_string(line) + ": " + reason;
    return false;
  }

  static bool Number(const std::string& word, double* value) {
    if (word.empty()) return false;
    char* end = nullptr;
    *value = std::strtod(word.c_str(), &end);
    return end && *end == '\0' && std::isfinite(*value);
  }

  bool Numbers(const std::vector<std::string>& words, size_t first, size_t count, double* out) {
    if (words.size() < first + count) return Fail("'" + words[0] + "' needs " + std::to_string(count) + " numbers");
    for (size_t i = 0; i < count; ++i) {
      if (!Number(words[first + i], &out[i])) return Fail("not a number: '" + words[first + i] + "'");
      // Every number of the format is a coordinate, a reach or a small factor.
      if (std::fabs(out[i]) > 65536) return Fail("number out of range: '" + words[first + i] + "'");
    }
    return true;
  }

  bool Material(const std::string& name, int* index) {
    for (size_t i = 0; i < map->materials.size(); ++i)
      if (map->materials[i].name == name) {
        *index = static_cast<int>(i);
        return true;
      }
    if (name == "trigger") {  // built in: added on first use
      MapMaterial m;
      m.name = name;
      m.texture = TriggerTextureName;
      m.worldSize = 64;
      m.trigger = true;
      *index = static_cast<int>(map->materials.size());
      map->materials.push_back(m);
      return true;
    }
    return Fail("unknown material '" + name + "'");
  }

  // The optional material word after `count` leading words; defaults to the brush's own.
  bool SideMaterial(const std::vector<std::string>& words, size_t at, int fallback, int* index) {
    if (words.size() <= at) {
      *index = fallback;
      return true;
    }
    if (words.size() > at + 1) return Fail("too many words");
    return Material(words[at], index);
  }

  static void AddBox(MapBrush* brush, const double* v, int material) {
    for (int axis = 0; axis < 3; ++axis) {
      MapSide low, high;
      low.plane.normal[axis] = -1;
      low.plane.distance = -std::min(v[axis], v[axis + 3]);
      high.plane.normal[axis] = 1;
      high.plane.distance = std::max(v[axis], v[axis + 3]);
      low.material = high.material = material;
      brush->sides.push_back(low);
      brush->sides.push_back(high);
    }
  }

  bool BoxIsValid(const double* v) {
    for (int axis = 0; axis < 3; ++axis)
      if (!(v[axis] < v[axis + 3])) return Fail("box minimum must be below its maximum on every axis");
    return true;
  }
};

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text.substr(0, text.find('#')));
  std::string w;
  while (in >> w) words.push_back(w);
  return words;
}

}  // namespace

bool ParseMapSource(const std::string& text, MapSource* map, std::string* error) {
  *map = MapSource();
  Parser p{map, error};
  std::istringstream in(text);
  std::string rawLine;
  MapEntity* entity = nullptr;  // the entity between "entity_begin" and "entity_end"
  int entityLine = 0;
  MapBrush* open = nullptr;  // the brush between "brush" and "end"
  MapPatch* openPatch = nullptr;  // the patch between "patch" and "end"
  int openLine = 0;
  while (std::getline(in, rawLine)) {
    ++p.line;
    std::vector<std::string> w = Words(rawLine);
    if (w.empty()) continue;
    const std::string& key = w[0];
    double v[9];
    if (openPatch) {
      if (key == "end") {
        const size_t wanted = static_cast<size_t>(openPatch->width) * openPatch->height;
        if (openPatch->points.size() != wanted)
          return p.Fail("a " + std::to_string(openPatch->width) + " x " + std::to_string(openPatch->height) +
                        " patch needs " + std::to_string(wanted) + " points, not " +
                        std::to_string(openPatch->points.size()));
        openPatch = nullptr;
        continue;
      }
      // Points: three numbers each, any number of them on a line.
      if (w.size() % 3 != 0) return p.Fail("patch points need three numbers each");
      for (size_t i = 0; i < w.size(); i += 3) {
        if (!p.Numbers(w, i, 3, v)) return false;
        openPatch->points.push_back(DVec(v[0], v[1], v[2]));
      }
      if (openPatch->points.size() > static_cast<size_t>(openPatch->width) * openPatch->height)
        return p.Fail("too many patch points");
      continue;
    }
    if (open) {
      if (key == "end") {
        if (open->sides.size() < 4) return p.Fail("a brush needs at least four sides");
        open = nullptr;
      } else if (key == "bounds") {
        int m;
        if (!p.Numbers(w, 1, 6, v) || !p.BoxIsValid(v) || !p.SideMaterial(w, 7, open->material, &m)) return false;
        Parser::AddBox(open, v, m);
      } else if (key == "plane") {
        int m;
        if (!p.Numbers(w, 1, 4, v) || !p.SideMaterial(w, 5, open->material, &m)) return false;
        DVec n(v[0], v[1], v[2]);
        double len = std::sqrt(Dot(n, n));
        if (len < 1e-9) return p.Fail("plane normal has no length");
        open->sides.push_back({{n * (1 / len), v[3] / len}, m});
      } else if (key == "cut") {
        int m;
        if (!p.Numbers(w, 1, 9, v) || !p.SideMaterial(w, 10, open->material, &m)) return false;
        DVec a(v[0], v[1], v[2]), b(v[3], v[4], v[5]), c(v[6], v[7], v[8]);
        DVec n = Cross(b - a, c - a);
        double len = std::sqrt(Dot(n, n));
        if (len < 1e-9) return p.Fail("cut points lie on one line");
        n = n * (1 / len);
        open->sides.push_back({{n, Dot(n, a)}, m});
      } else {
        return p.Fail("'" + key + "' inside a brush (missing 'end'?)");
      }
      continue;
    }
    if (key == "entity_begin") {
      if (entity) return p.Fail("entity_begin inside an entity (missing 'entity_end'?)");
      if (w.size() != 1) return p.Fail("too many words");
      map->entities.push_back(MapEntity());
      entity = &map->entities.back();
      entity->line = entityLine = p.line;
      continue;
    }
    if (key == "entity_end") {
      if (!entity) return p.Fail("entity_end without entity_begin");
      bool named = false;
      for (const auto& k : entity->keys) named = named || k.first == "classname";
      if (!named) return p.Fail("an entity needs a classname key");
      entity = nullptr;
      continue;
    }
    if (key == "key") {
      if (!entity) return p.Fail("key outside an entity");
      if (w.size() < 3) return p.Fail("key needs: name value");
      // The value: the rest of the line's words, one blank between them.
      std::string rest = w[2];
      for (size_t i = 3; i < w.size(); ++i) rest += " " + w[i];
      if (rest.find('"') != std::string::npos || w[1].find('"') != std::string::npos)
        return p.Fail("keys and values cannot hold quotes");
      if (w[1] == "origin") {
        if (w.size() != 5 || !p.Numbers(w, 2, 3, v)) return p.Fail("origin needs three numbers");
        entity->hasOrigin = true;
        entity->origin = DVec(v[0], v[1], v[2]);
      }
      entity->keys.push_back({w[1], rest});
      continue;
    }
    if (entity && key != "box" && key != "brush") return p.Fail("'" + key + "' inside an entity");
    if (key == "ambient") {
      if (!p.Numbers(w, 1, 3, v)) return false;
      map->ambient = DVec(v[0], v[1], v[2]);
    } else if (key == "material") {
      if (w.size() != 4) return p.Fail("material needs: name texture worldSize");
      MapMaterial m;
      m.name = w[1];
      m.texture = w[2];
      if (m.texture.size() > 59) return p.Fail("texture path longer than 59 characters");
      if (!Parser::Number(w[3], &m.worldSize) || m.worldSize < 1 || m.worldSize > 65536)
        return p.Fail("bad texture world size");
      for (const MapMaterial& other : map->materials)
        if (other.name == m.name) return p.Fail("material '" + m.name + "' defined twice");
      map->materials.push_back(m);
    } else if (key == "box" || key == "brush") {
      MapBrush brush;
      brush.line = p.line;
      if (w.size() < 2) return p.Fail(key + " needs a material");
      if (!p.Material(w[1], &brush.material)) return false;
      size_t flagAt = key == "box" ? 8 : 2;
      if (key == "box") {
        if (!p.Numbers(w, 2, 6, v) || !p.BoxIsValid(v)) return false;
        Parser::AddBox(&brush, v, brush.material);
      }
      if (w.size() > flagAt + 1) return p.Fail("too many words");
      if (w.size() == flagAt + 1) {
        if (w[flagAt] != "nonsolid") return p.Fail("unknown flag '" + w[flagAt] + "'");
        brush.solid = false;
      }
      std::vector<MapBrush>& list = entity ? entity->brushes : map->brushes;
      if (!entity && map->materials[brush.material].trigger) return p.Fail("a trigger brush belongs to an entity");
      list.push_back(brush);
      if (key == "brush") {
        open = &list.back();
        openLine = p.line;
      }
    } else if (key == "patch") {
      MapPatch patch;
      patch.line = p.line;
      if (w.size() < 4 || w.size() > 5) return p.Fail("patch needs: material width height [nonsolid]");
      if (!p.Material(w[1], &patch.material)) return false;
      if (!p.Numbers(w, 2, 2, v)) return false;
      if (!(v[0] >= 3 && v[0] <= 65 && v[1] >= 3 && v[1] <= 65) || v[0] != std::floor(v[0]) ||
          v[1] != std::floor(v[1]) || static_cast<int>(v[0]) % 2 == 0 || static_cast<int>(v[1]) % 2 == 0)
        return p.Fail("patch width and height must be odd whole numbers from 3 to 65");
      patch.width = static_cast<int>(v[0]);
      patch.height = static_cast<int>(v[1]);
      if (w.size() == 5) {
        if (w[4] != "nonsolid") return p.Fail("unknown flag '" + w[4] + "'");
        patch.solid = false;
      }
      map->patches.push_back(patch);
      openPatch = &map->patches.back();
      openLine = p.line;
    } else if (key == "light") {
      if (!p.Numbers(w, 1, 7, v)) return false;
      if (w.size() > 8) return p.Fail("too many words");
      if (v[6] <= 0) return p.Fail("light intensity must be positive");
      MapLight l;
      l.position = DVec(v[0], v[1], v[2]);
      l.color = DVec(v[3], v[4], v[5]);
      l.intensity = v[6];
      map->lights.push_back(l);
    } else if (key == "zone") {
      if (w.size() != 8) return p.Fail("zone needs: name and six numbers");
      if (!p.Numbers(w, 2, 6, v) || !p.BoxIsValid(v)) return false;
      MapZone z;
      z.name = w[1];
      z.mins = DVec(v[0], v[1], v[2]);
      z.maxs = DVec(v[3], v[4], v[5]);
      map->zones.push_back(z);
    } else if (key == "entity") {
      std::string rest = rawLine.substr(rawLine.find("entity") + 6);
      size_t start = rest.find_first_not_of(" \t");
      map->entityLines.push_back(start == std::string::npos ? "" : rest.substr(start));
    } else {
      return p.Fail("unknown keyword '" + key + "'");
    }
  }
  if (open || openPatch) {
    p.line = openLine;
    return p.Fail(open ? "brush without 'end'" : "patch without 'end'");
  }
  if (entity) {
    p.line = entityLine;
    return p.Fail("entity_begin without entity_end");
  }
  if (map->materials.size() > 1000) return p.Fail("more than 1000 materials");
  return true;
}
