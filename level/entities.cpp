// Entity text parsing and player starts (see entities.h).
#include "level/entities.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/level.h"

namespace {

void SkipSpace(const std::string& text, size_t* i) {
  while (*i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[*i]);
    if (c <= ' ') {
      ++*i;
    } else if (text.compare(*i, 2, "//") == 0) {  // a comment to the end of the line
      while (*i < text.size() && text[*i] != '\n') ++*i;
    } else {
      return;
    }
  }
}

bool ReadQuoted(const std::string& text, size_t* i, std::string* out) {
  if (*i >= text.size() || text[*i] != '"') return false;
  const size_t end = text.find('"', *i + 1);
  if (end == std::string::npos) return false;
  out->assign(text, *i + 1, end - *i - 1);
  *i = end + 1;
  return true;
}

// Three numbers separated by white space; all must be finite.
bool ParseVector(const std::string& value, float out[3]) {
  const char* p = value.c_str();
  for (int k = 0; k < 3; ++k) {
    char* end = nullptr;
    out[k] = std::strtof(p, &end);
    if (end == p || !std::isfinite(out[k])) return false;
    p = end;
  }
  return true;
}

}  // namespace

std::vector<Entity> ParseEntities(const std::string& text) {
  std::vector<Entity> entities;
  size_t i = 0;
  for (;;) {
    SkipSpace(text, &i);
    if (i >= text.size() || text[i] != '{') break;
    ++i;
    Entity entity;
    bool closed = false;
    for (;;) {
      SkipSpace(text, &i);
      if (i < text.size() && text[i] == '}') {
        ++i;
        closed = true;
        break;
      }
      std::string key, value;
      if (!ReadQuoted(text, &i, &key)) break;
      SkipSpace(text, &i);
      if (!ReadQuoted(text, &i, &value)) break;
      entity.emplace_back(std::move(key), std::move(value));
    }
    if (!closed) break;
    entities.push_back(std::move(entity));
  }
  return entities;
}

const std::string* EntityValue(const Entity& entity, const char* key) {
  for (const auto& pair : entity)
    if (pair.first == key) return &pair.second;
  return nullptr;
}

std::vector<PlayerStart> FindPlayerStarts(const std::string& entityText) {
  std::vector<PlayerStart> starts;
  for (const Entity& entity : ParseEntities(entityText)) {
    const std::string* classname = EntityValue(entity, "classname");
    if (!classname || (*classname != "info_player_start" && *classname != "info_player_deathmatch")) continue;
    const std::string* origin = EntityValue(entity, "origin");
    float xyz[3];
    if (!origin || !ParseVector(*origin, xyz)) continue;
    PlayerStart start;
    start.origin = Vec3(xyz[0], xyz[2], -xyz[1]);  // the loader's z-up to y-up
    if (const std::string* angle = EntityValue(entity, "angle")) {
      const float yaw = std::strtof(angle->c_str(), nullptr);
      if (std::isfinite(yaw)) start.yawDegrees = yaw;
    }
    starts.push_back(start);
  }
  return starts;
}

bool DropToFloor(Level& level, Vec3 origin, Vec3 extents, Vec3* rest) {
  constexpr float MaxDrop = 4096;
  // Stored origins sit a little above the floor, nearer to it than our box reaches below its
  // centre. The floor straight under the origin (a line traced down) carries the box: stood on
  // it, the box fits wherever the room is tall enough, however low.
  constexpr float Clearance = 1;  // above the floor, so the box starts clear of it
  const TraceResult line = level.Trace(origin, Vec3(origin.x, origin.y - MaxDrop, origin.z), Vec3());
  if (!line.allSolid && line.fraction < 1) {
    const Vec3 standing(origin.x, line.end.y + extents.y + Clearance, origin.z);
    if (!level.Trace(standing, standing, extents).allSolid) {
      *rest = level.Trace(standing, Vec3(standing.x, standing.y - MaxDrop, standing.z), extents).end;
      return true;
    }
  }
  // Else (the origin a little into a slope or a step, or the box catching on something beside
  // the line): the box with its bottom at the origin, lifted clear of a step, then centred,
  // lowered from there.
  const float lifts[] = {extents.y, extents.y + 8, extents.y + 16, extents.y + 32, extents.y + 64, 0};
  for (float lift : lifts) {
    const Vec3 top(origin.x, origin.y + lift, origin.z);
    if (level.Trace(top, top, extents).allSolid) continue;  // in a wall: try another height
    const TraceResult fall = level.Trace(top, Vec3(top.x, top.y - MaxDrop, top.z), extents);
    if (fall.fraction >= 1) return false;  // no floor under it
    *rest = fall.end;
    return true;
  }
  return false;
}

Vec3 YawDirection(float yawDegrees) {
  const float radians = yawDegrees * 3.14159265f / 180.0f;
  return Vec3(std::cos(radians), 0, -std::sin(radians));
}

bool FindLevelStart(Level& level, Vec3 extents, LevelStart* start) {
  Vec3 eye;
  for (const PlayerStart& p : FindPlayerStarts(level.entityText)) {
    if (!DropToFloor(level, p.origin, extents, &eye)) continue;
    *start = LevelStart{eye, eye + YawDirection(p.yawDegrees), true, -1};
    return true;
  }
  for (size_t i = 0; i < level.leaves.size(); ++i) {
    const BspLeaf& leaf = level.leaves[i];
    if (leaf.cluster < 0) continue;  // solid, or outside the level
    const Vec3 centre((leaf.mins[0] + leaf.maxs[0]) * 0.5f, (leaf.mins[1] + leaf.maxs[1]) * 0.5f,
                      (leaf.mins[2] + leaf.maxs[2]) * 0.5f);
    if (level.FindLeaf(centre) != static_cast<int>(i) || !DropToFloor(level, centre, extents, &eye)) continue;
    *start = LevelStart{eye, eye + Vec3(1, 0, 0), false, static_cast<int>(i)};
    return true;
  }
  return false;
}
