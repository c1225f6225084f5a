// Moving the movers by game time: doors, buttons and lifts between their two places, bobbing
// and turning parts and trains by their own clocks. Bodies standing on a mover ride it; a
// mover that would end up holding a body is put back where it was (a closing door or a
// descending lift turns round, a door opening into a body waits, other parts push the body
// along when it can go, else wait): nobody is ever left inside a mover.
#include <cmath>

#include "level/trace.h"
#include "movers/movers.h"

namespace {

constexpr float TwoPi = 6.2831853f;
constexpr int MaxBodies = 8;

bool TwoPlace(const Mover& m) {
  return m.kind == MoverKind::Door || m.kind == MoverKind::Button || m.kind == MoverKind::Plat;
}

// Whether the body stands on the model: a short drop stops on it, on a floor-like face.
bool StandsOn(Level& level, const Body& body, int model) {
  const TraceResult r = level.Trace(body.position, body.position - Vec3(0, 2, 0), body.extents);
  return r.fraction < 1.0f && r.model == model && r.normal.y > 0.7f;
}

bool BoxesTouch(const float mins[3], const float maxs[3], const Body& b, float grow) {
  const float p[3] = {b.position.x, b.position.y, b.position.z}, e[3] = {b.extents.x, b.extents.y, b.extents.z};
  for (int a = 0; a < 3; ++a)
    if (p[a] + e[a] < mins[a] - grow || p[a] - e[a] > maxs[a] + grow) return false;
  return true;
}

void Place(Level& level, const Mover& m) {
  ModelPlacement& p = level.modelPlacements[m.model];
  p.offset = m.offset;
  p.axis = m.kind == MoverKind::Rotating ? m.turnAxis : -1;
  p.degrees = m.kind == MoverKind::Rotating ? m.degrees : 0;
}

// Where a rotating mover's model is put for its angle: turned about its pivot.
Vec3 TurnOffset(const Mover& m, float degrees) {
  return m.restOffset + m.pivot - TurnedAbout(m.pivot, m.turnAxis, degrees);
}

void Sound(LevelMovers& movers, const char* name) { movers.sounds.push_back(name); }

// Moves a two-place mover on by dt; fires its targets when a button arrives.
void StepTwoPlace(LevelMovers& movers, Mover& m, float dt) {
  const Vec3 way = m.farOffset - m.restOffset;
  const float distance = Magnitude(way);
  const Vec3 direction = distance > 0 ? way / distance : Vec3();
  switch (m.phase) {
    case MoverPhase::AtRest:
      if (!m.activated) return;
      m.phase = MoverPhase::Going;
      m.travelled = 0;
      Sound(movers, MoverStartSound);
      break;
    case MoverPhase::AtFar:
      if (m.activated) m.waitLeft = m.wait;  // fired again while open: stay open longer
      if (m.wait < 0) return;
      m.waitLeft -= dt;
      if (m.waitLeft > 0) return;
      m.phase = MoverPhase::Returning;
      m.travelled = 0;
      Sound(movers, MoverStartSound);
      dt = -m.waitLeft;
      break;
    case MoverPhase::Returning:
      if (m.activated && m.kind == MoverKind::Door) {  // opened again on its way back
        m.phase = MoverPhase::Going;
        m.travelled = distance - m.travelled;
      }
      break;
    case MoverPhase::Going:
      break;
  }
  m.travelled += m.speed * dt;
  if (m.travelled >= distance) {
    m.travelled = distance;
    if (m.phase == MoverPhase::Going) {
      m.phase = MoverPhase::AtFar;
      m.waitLeft = m.wait;
      m.offset = m.farOffset;
      if (m.kind == MoverKind::Button && !m.target.empty()) FireTargets(movers, m.target);
    } else {
      m.phase = MoverPhase::AtRest;
      m.offset = m.restOffset;
    }
    Sound(movers, MoverStopSound);
    return;
  }
  m.offset = m.phase == MoverPhase::Going ? m.restOffset + direction * m.travelled
                                          : m.farOffset - direction * m.travelled;
}

// Moves a part that runs by its own clock (bobbing, turning, train) to the clock's time.
void StepClocked(Mover& m) {
  switch (m.kind) {
    case MoverKind::Bobbing:
      m.offset = m.bobAxis * (m.height * std::sin(TwoPi * (m.clock / m.speed + m.cyclePhase)));
      break;
    case MoverKind::Rotating:
      m.degrees = std::fmod(m.turnSign * m.speed * m.clock, 360.0f);
      m.offset = TurnOffset(m, m.degrees);
      break;
    case MoverKind::Train: {
      // Legs between corners, walked at `speed`; a looping chain starts over, an open one stops.
      const size_t n = m.corners.size();
      float along = m.clock * m.speed;
      for (size_t leg = 0;; leg = (leg + 1) % n) {
        const size_t next = leg + 1 < n ? leg + 1 : 0;
        if (next == 0 && !m.loops) {
          m.offset = m.corners[n - 1];
          return;
        }
        const float length = Magnitude(m.corners[next] - m.corners[leg]);
        if (along <= length) {
          m.offset = length > 0 ? m.corners[leg] + (m.corners[next] - m.corners[leg]) * (along / length) : m.corners[next];
          return;
        }
        along -= length;
      }
    }
    default:
      break;
  }
}

// The place a body on the mover is carried to when the mover goes from `before` to its place now.
Vec3 Carried(const Mover& m, const Mover& before, Vec3 p) {
  if (m.kind != MoverKind::Rotating) return p + (m.offset - before.offset);
  const Vec3 pivot = m.restOffset + m.pivot;
  return pivot + TurnedAbout(p - pivot, m.turnAxis, m.degrees - before.degrees);
}

}  // namespace

void AdvanceMovers(LevelMovers& movers, Level& level, float seconds, Body* bodies, int bodyCount) {
  if (!(seconds > 0)) return;
  if (seconds > 0.25f) seconds = 0.25f;  // a long stall moves nothing through anybody
  if (bodyCount > MaxBodies) bodyCount = MaxBodies;
  movers.clock += seconds;
  for (Mover& m : movers.movers) {
    if (m.still || m.kind == MoverKind::Static) continue;
    // What sets it going: a body near a door that opens when touched, on a button, on a lift.
    if (TwoPlace(m) && (m.phase == MoverPhase::AtRest || m.phase == MoverPhase::Returning)) {
      float mins[3], maxs[3];
      level.PlacedModelBox(m.model, mins, maxs);
      for (int b = 0; b < bodyCount; ++b) {
        if (m.kind == MoverKind::Plat) {
          if (m.phase == MoverPhase::AtRest && StandsOn(level, bodies[b], m.model)) m.activated = true;
        } else if (m.openedByTouch &&
                   BoxesTouch(mins, maxs, bodies[b], m.kind == MoverKind::Door ? DoorReach : 2.0f)) {
          m.activated = true;
        }
      }
    }
    bool riders[MaxBodies] = {};
    Vec3 saved[MaxBodies];
    for (int b = 0; b < bodyCount; ++b) {
      riders[b] = StandsOn(level, bodies[b], m.model);
      saved[b] = bodies[b].position;
    }
    const Mover before = m;
    if (TwoPlace(m)) {
      StepTwoPlace(movers, m, seconds);
    } else {
      m.clock += seconds;
      StepClocked(m);
    }
    m.activated = false;
    Place(level, m);
    // Riders go along, stopped by whatever else is in the way (not by this mover: they start
    // inside its new place when it rose into them).
    for (int b = 0; b < bodyCount; ++b) {
      if (!riders[b]) continue;
      const Vec3 to = Carried(m, before, bodies[b].position);
      bodies[b].position = level.Trace(bodies[b].position, to, bodies[b].extents).end;
    }
    // A body it now holds: pushed along when it can go, else the mover goes back.
    bool blocked = false;
    for (int b = 0; b < bodyCount && !blocked; ++b) {
      if (!level.ModelHoldsBox(m.model, bodies[b].position, bodies[b].extents)) continue;
      if (!TwoPlace(m)) {
        const Vec3 to = Carried(m, before, bodies[b].position);
        const Vec3 pushed = level.Trace(bodies[b].position, to, bodies[b].extents).end;
        if (!level.ModelHoldsBox(m.model, pushed, bodies[b].extents)) {
          bodies[b].position = pushed;
          continue;
        }
      }
      blocked = true;
    }
    if (!blocked) continue;
    const bool turnRound = TwoPlace(m) && m.phase == MoverPhase::Returning && m.kind != MoverKind::Button;
    m = before;
    m.activated = false;
    if (turnRound) {
      const float distance = Magnitude(m.farOffset - m.restOffset);
      m.phase = MoverPhase::Going;
      m.travelled = distance - m.travelled;
      movers.sounds.push_back(MoverStartSound);
    }
    Place(level, m);
    for (int b = 0; b < bodyCount; ++b) bodies[b].position = saved[b];
  }
}

void ShootModel(LevelMovers& movers, int model) {
  Mover* m = MoverOfModel(movers, model);
  if (m && !m->still && m->health > 0 && TwoPlace(*m)) m->activated = true;
}

void FireTargets(LevelMovers& movers, const std::string& name) {
  if (name.empty()) return;
  for (Mover& m : movers.movers)
    if (m.targetname == name && !m.still) m.activated = true;
}

bool MoverReady(const Mover& m) {
  if (m.kind == MoverKind::Plat) return m.phase == MoverPhase::AtRest;
  if (m.kind == MoverKind::Door) return m.phase == MoverPhase::AtFar;
  return true;
}

Vec3 PlaceAfter(const Mover& m, float seconds) {
  if (!TwoPlace(m)) return m.offset;
  const Vec3 way = m.farOffset - m.restOffset;
  const float distance = Magnitude(way);
  const float along = std::fmin(distance, m.speed * seconds);
  return distance > 0 ? m.restOffset + way * (along / distance) : m.restOffset;
}

Mover* MoverOfModel(LevelMovers& movers, int model) {
  for (Mover& m : movers.movers)
    if (m.model == model) return &m;
  return nullptr;
}
