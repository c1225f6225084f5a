// Making the movers and triggers from the level's entities: keys read with their usual
// defaults, targets looked up, and every entity with bad keys kept still with one line on
// stderr (a mover is then drawn and solid where it was built; a trigger does nothing).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>

#include "level/entities.h"
#include "level/trace.h"
#include "movers/movers.h"

namespace {

// Moves longer than this, or models larger, are refused (level units).
constexpr float MaxMoverReach = 16384.0f;

float Number(const Entity& e, const char* key, float fallback) {
  const std::string* v = EntityValue(e, key);
  if (!v) return fallback;
  char* end = nullptr;
  const float f = std::strtof(v->c_str(), &end);
  return end != v->c_str() && std::isfinite(f) ? f : fallback;
}

std::string Text(const Entity& e, const char* key) {
  const std::string* v = EntityValue(e, key);
  return v ? *v : std::string();
}

// An "x y z" origin in file coordinates, as the game's (y up).
bool Origin(const Entity& e, Vec3* out) {
  const std::string* v = EntityValue(e, "origin");
  float x, y, z;
  if (!v || std::sscanf(v->c_str(), "%f %f %f", &x, &y, &z) != 3) return false;
  if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) return false;
  *out = Vec3(x, z, -y);
  return true;
}

// The direction of a mover's "angle": a yaw in the file's frame, -1 up, -2 down.
Vec3 MoveDirection(float angle) {
  if (angle == -1.0f) return Vec3(0, 1, 0);
  if (angle == -2.0f) return Vec3(0, -1, 0);
  return YawDirection(angle);
}

// The model's size along a direction (its box projected on it).
float SizeAlong(const BspModel& m, Vec3 d) {
  return std::fabs(d.x) * (m.maxs[0] - m.mins[0]) + std::fabs(d.y) * (m.maxs[1] - m.mins[1]) +
         std::fabs(d.z) * (m.maxs[2] - m.mins[2]);
}

struct Builder {
  Level& level;
  LevelMovers* out;
  const std::vector<Entity>& entities;
  std::multimap<std::string, size_t> byName;  // targetname -> entity

  const Entity* Named(const std::string& name) const {
    auto it = byName.find(name);
    return it == byName.end() ? nullptr : &entities[it->second];
  }

  void Refuse(size_t index, const Entity& e, const std::string& why, const char* outcome = "it stays still") const {
    std::fprintf(stderr, "Entity %zu (%s): %s; %s\n", index, Text(e, "classname").c_str(), why.c_str(), outcome);
  }

  // The target must name something, and not the entity itself.
  bool TargetOk(const Entity& e, bool needed, std::string* why) const {
    const std::string target = Text(e, "target");
    if (target.empty()) {
      if (needed) *why = "no target";
      return !needed;
    }
    if (target == Text(e, "targetname")) {
      *why = "its target '" + target + "' names itself";
      return false;
    }
    if (!Named(target)) {
      *why = "its target '" + target + "' names nothing";
      return false;
    }
    return true;
  }

  int ModelOf(const Entity& e) const {
    const std::string m = Text(e, "model");
    if (m.size() < 2 || m[0] != '*') return -1;
    char* end = nullptr;
    const long n = std::strtol(m.c_str() + 1, &end, 10);
    if (*end != '\0' || n <= 0 || static_cast<size_t>(n) >= level.models.size()) return -1;
    return static_cast<int>(n);
  }

  void Build() {
    for (size_t i = 0; i < entities.size(); ++i) {
      const std::string name = Text(entities[i], "targetname");
      if (!name.empty()) byName.emplace(name, i);
    }
    // Models no entity claims stay where they were built.
    for (size_t i = 0; i < entities.size(); ++i) {
      const Entity& e = entities[i];
      const std::string classname = Text(e, "classname");
      const bool isMover = classname == "func_door" || classname == "func_button" || classname == "func_plat" ||
                           classname == "func_bobbing" || classname == "func_rotating" || classname == "func_train" ||
                           classname == "func_static";
      const bool isTrigger = classname == "trigger_push" || classname == "trigger_teleport" ||
                             classname == "trigger_multiple";
      if (!isMover && !isTrigger) continue;
      const int model = ModelOf(e);
      if (model < 0) {
        std::fprintf(stderr, "Entity %zu (%s): no brush model of this level; ignored\n", i, classname.c_str());
        continue;
      }
      if (isTrigger)
        AddTrigger(i, e, classname, model);
      else
        AddMover(i, e, classname, model);
    }
  }

  void AddTrigger(size_t index, const Entity& e, const std::string& classname, int model) {
    Trigger t;
    t.kind = classname == "trigger_push" ? TriggerKind::Push
             : classname == "trigger_teleport" ? TriggerKind::Teleport : TriggerKind::Multiple;
    t.model = model;
    level.PlacedModelBox(model, &t.mins.x, &t.maxs.x);
    level.modelPlacements[model].hidden = true;  // a volume: never drawn nor solid
    t.target = Text(e, "target");
    t.wait = Number(e, "wait", 0.5f);
    std::string why;
    if (!TargetOk(e, t.kind != TriggerKind::Multiple, &why)) {
      Refuse(index, e, why, "it does nothing");
      t.still = true;
    } else if (t.kind != TriggerKind::Multiple) {
      const Entity* target = Named(t.target);
      if (!Origin(*target, &t.destination)) {
        Refuse(index, e, "its target '" + t.target + "' has no origin", "it does nothing");
        t.still = true;
      }
      t.destinationYaw = Number(*target, "angle", 0);
    }
    if (!t.still && t.kind == TriggerKind::Push) {
      const Vec3 centre = (t.mins + t.maxs) * 0.5f;
      const float h = t.destination.y - centre.y;
      if (!(h > 0) || h > MaxMoverReach) {
        Refuse(index, e, "its target is not above it", "it does nothing");
        t.still = true;
      } else {
        const float time = std::sqrt(2 * h / ThrowGravity);
        t.throwVelocity = Vec3((t.destination.x - centre.x) / time, ThrowGravity * time,
                               (t.destination.z - centre.z) / time);
      }
    }
    out->triggers.push_back(t);
  }

  void AddMover(size_t index, const Entity& e, const std::string& classname, int model) {
    const BspModel& box = level.models[model];
    Mover m;
    m.classname = classname;
    m.model = model;
    m.targetname = Text(e, "targetname");
    m.target = Text(e, "target");
    m.health = static_cast<int>(Number(e, "health", 0));
    const int flags = static_cast<int>(Number(e, "spawnflags", 0));
    Vec3 origin;
    const bool hasOrigin = Origin(e, &origin);
    std::string why;
    for (int a = 0; a < 3; ++a)
      if (box.maxs[a] - box.mins[a] > MaxMoverReach) why = "its model is too large";

    if (classname == "func_door" || classname == "func_button") {
      const bool door = classname == "func_door";
      m.kind = door ? MoverKind::Door : MoverKind::Button;
      m.speed = Number(e, "speed", door ? 400 : 40);
      m.wait = Number(e, "wait", door ? 2 : 1);
      const float lip = Number(e, "lip", door ? 8 : 4);
      const Vec3 direction = MoveDirection(Number(e, "angle", 0));
      const float distance = SizeAlong(box, direction) - lip;
      m.farOffset = direction * distance;
      if (door && (flags & 1)) std::swap(m.restOffset, m.farOffset);  // starts open
      m.openedByTouch = door ? m.targetname.empty() && m.health <= 0 : m.health <= 0;
      if (!(std::fabs(distance) <= MaxMoverReach)) why = "it would move too far";
    } else if (classname == "func_plat") {
      m.kind = MoverKind::Plat;
      m.speed = Number(e, "speed", 200);
      m.wait = 1;
      const float lip = Number(e, "lip", 8);
      const float height = Number(e, "height", box.maxs[1] - box.mins[1] - lip);
      m.restOffset = Vec3(0, -height, 0);
      if (!(height > 0) || height > MaxMoverReach) why = "its height must be above 0";
    } else if (classname == "func_bobbing") {
      m.kind = MoverKind::Bobbing;
      m.speed = Number(e, "speed", 4);
      m.height = Number(e, "height", 32);
      m.cyclePhase = Number(e, "phase", 0);
      m.bobAxis = (flags & 1) ? Vec3(1, 0, 0) : (flags & 2) ? Vec3(0, 0, -1) : Vec3(0, 1, 0);
      if (!(std::fabs(m.height) <= MaxMoverReach)) why = "its height is too large";
    } else if (classname == "func_rotating") {
      m.kind = MoverKind::Rotating;
      m.speed = Number(e, "speed", 100);
      // The file's z is the game's y, its x the game's x, its y the game's -z.
      if (flags & 4) {
        m.turnAxis = 0;
      } else if (flags & 8) {
        m.turnAxis = 2;
        m.turnSign = -1;
      }
      m.restOffset = hasOrigin ? origin : Vec3();
      // Without an origin it turns about its own centre.
      if (!hasOrigin)
        m.pivot = Vec3((box.mins[0] + box.maxs[0]) / 2, (box.mins[1] + box.maxs[1]) / 2, (box.mins[2] + box.maxs[2]) / 2);
    } else if (classname == "func_train") {
      m.kind = MoverKind::Train;
      m.speed = Number(e, "speed", 100);
      if (TargetOk(e, true, &why)) Corners(e, hasOrigin, box, &m, &why);
    } else {
      m.kind = MoverKind::Static;
      m.restOffset = hasOrigin ? origin : Vec3();
    }
    if (!m.target.empty() && (m.kind == MoverKind::Button || m.kind == MoverKind::Door) && why.empty())
      TargetOk(e, false, &why);
    if (m.kind != MoverKind::Static && why.empty() && !(m.speed > 0)) why = "its speed must be above 0";
    if (!why.empty()) {
      Refuse(index, e, why);
      m.still = true;
      if (m.kind == MoverKind::Train || m.kind == MoverKind::Plat) m.restOffset = Vec3();
    }
    if (m.kind == MoverKind::Train && !m.still) m.restOffset = m.corners[0];
    m.offset = m.restOffset;
    level.modelPlacements[model].offset = m.offset;
    out->movers.push_back(m);
  }

  // The chain of corners from the train's target; a chain that comes back to a corner loops.
  void Corners(const Entity& e, bool hasOrigin, const BspModel& box, Mover* m, std::string* why) {
    std::set<const Entity*> seen;
    const Entity* corner = Named(Text(e, "target"));
    const Vec3 mins(box.mins[0], box.mins[1], box.mins[2]);
    float length = 0;
    while (corner && !seen.count(corner)) {
      seen.insert(corner);
      Vec3 at;
      if (!Origin(*corner, &at)) {
        *why = "a corner has no origin";
        return;
      }
      const Vec3 offset = hasOrigin ? at : at - mins;
      if (!m->corners.empty()) length += Magnitude(offset - m->corners.back());
      m->corners.push_back(offset);
      const std::string next = Text(*corner, "target");
      if (next.empty()) break;
      const Entity* following = Named(next);
      if (following && seen.count(following)) {
        m->loops = true;  // back to the first corner (a chain that loops into its middle too)
        length += Magnitude(m->corners.front() - offset);
      }
      corner = following;
    }
    if (!(length > 0.5f)) *why = "its corners have no length between them";
    for (const Vec3& c : m->corners)
      if (!(Magnitude(c) <= 2 * MaxMoverReach)) *why = "a corner lies too far away";
  }
};

}  // namespace

void SetUpMovers(Level& level, LevelMovers* movers) {
  *movers = LevelMovers();
  if (level.models.size() <= 1) return;
  const std::vector<Entity> entities = ParseEntities(level.entityText);
  Builder builder{level, movers, entities, {}};
  builder.Build();
}
