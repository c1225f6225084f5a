// The level's movers and triggers in the waypoint graph: the volumes kept free of waypoints
// and walked links, the doors walked through open, and the links of jump pads, teleporters
// and lifts, each checked by simulating it (the movers' own throw, the bots' own walk).
#include "bots/mover_links.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "bots/bot.h"
#include "bots/graph_builder.h"
#include "bots/waypoints.h"
#include "core/level.h"
#include "level/entities.h"
#include "movers/level_bodies.h"
#include "movers/movers.h"

namespace {

// Below a body's soles, how far a moving part's way still counts as under it (it would stand on it).
constexpr float FeetReach = 8;
// How far a waypoint keeps from a jump pad's or teleporter's volume: a bot stops anywhere within
// its arrival square around a waypoint, and must not be thrown or sent away there.
constexpr float TriggerClearance = BotArrivalRadius;
// A walked link crosses a doorway at least this far (across) from its sides: a body's half width
// (BodyExtents) and 16 to spare.
constexpr float DoorwaySide = 17 + 16;
// How far the frame around a door may reach out of the door's own depth on each side (a wall
// thicker than the door): the crossing is checked over the door's depth grown by this and by a
// body's half width.
constexpr float DoorFrameDepth = 16;
// A waypoint in front of a door stands this far from the door's face: a bot arriving anywhere in
// its arrival square is still clear of the door's way.
constexpr float DoorFrontGap = 17 + BotArrivalRadius + 2;
constexpr float TickSeconds = 1.0f / 85.0f;
constexpr int MaxFlightTicks = 85 * 20;     // a throw lands within 20 seconds, or it is no link
constexpr float EntryReach = 420;           // the farthest waypoint a link's entry is walked to from
constexpr float ExitReach = 320;            // ... and from its exit to a waypoint
constexpr size_t MostEntries = 3;           // waypoints that lead into one link's entry
constexpr size_t MostExits = 2;             // ... and that its exit leads to
constexpr float LiftRise = 48;              // a lift's top floor is at least this much higher
constexpr float LiftWaitCost = 256;         // the route search's price of waiting for a lift
constexpr float TeleportCost = 32;

VolumeBox Union(VolumeBox a, VolumeBox b) {
  return VolumeBox{Vec3(std::fmin(a.mins.x, b.mins.x), std::fmin(a.mins.y, b.mins.y), std::fmin(a.mins.z, b.mins.z)),
                   Vec3(std::fmax(a.maxs.x, b.maxs.x), std::fmax(a.maxs.y, b.maxs.y), std::fmax(a.maxs.z, b.maxs.z))};
}

VolumeBox ModelAt(const BspModel& m, Vec3 offset) {
  return VolumeBox{Vec3(m.mins[0], m.mins[1], m.mins[2]) + offset, Vec3(m.maxs[0], m.maxs[1], m.maxs[2]) + offset};
}

VolumeBox Grown(VolumeBox b, Vec3 by) { return VolumeBox{b.mins - by, b.maxs + by}; }

bool Overlap(const VolumeBox& a, const VolumeBox& b) {
  return a.mins.x < b.maxs.x && a.maxs.x > b.mins.x && a.mins.y < b.maxs.y && a.maxs.y > b.mins.y &&
         a.mins.z < b.maxs.z && a.maxs.z > b.mins.z;
}

// Every place the mover's model takes on its way.
VolumeBox WayOf(const Mover& m, const BspModel& model) {
  switch (m.kind) {
    case MoverKind::Door:
    case MoverKind::Button:
    case MoverKind::Plat:
      return Union(ModelAt(model, m.restOffset), ModelAt(model, m.farOffset));
    case MoverKind::Bobbing:
      return Union(ModelAt(model, m.bobAxis * m.height), ModelAt(model, m.bobAxis * -m.height));
    case MoverKind::Train: {
      VolumeBox way = ModelAt(model, m.corners.empty() ? m.offset : m.corners[0]);
      for (const Vec3& c : m.corners) way = Union(way, ModelAt(model, c));
      return way;
    }
    case MoverKind::Rotating: {
      // Stored around (0 0 0) and turned about the pivot: within the sphere through its farthest corner.
      float radius2 = 0;
      for (int corner = 0; corner < 8; ++corner) {
        const Vec3 c((corner & 1 ? model.maxs : model.mins)[0], (corner & 2 ? model.maxs : model.mins)[1],
                     (corner & 4 ? model.maxs : model.mins)[2]);
        radius2 = std::fmax(radius2, Dot(c - m.pivot, c - m.pivot));
      }
      const float r = std::sqrt(radius2);
      const Vec3 centre = m.restOffset + m.pivot;
      return VolumeBox{centre - Vec3(r, r, r), centre + Vec3(r, r, r)};
    }
    case MoverKind::Static:
      break;
  }
  return ModelAt(model, m.offset);
}

// Whether the segment a -> b passes through the box (slab test).
bool SegmentCrosses(Vec3 a, Vec3 b, const VolumeBox& box) {
  const float from[3] = {a.x, a.y, a.z}, to[3] = {b.x, b.y, b.z};
  const float lo[3] = {box.mins.x, box.mins.y, box.mins.z}, hi[3] = {box.maxs.x, box.maxs.y, box.maxs.z};
  float enter = 0, leave = 1;
  for (int k = 0; k < 3; ++k) {
    const float d = to[k] - from[k];
    if (std::fabs(d) < 1e-6f) {
      if (from[k] <= lo[k] || from[k] >= hi[k]) return false;
      continue;
    }
    float t0 = (lo[k] - from[k]) / d, t1 = (hi[k] - from[k]) / d;
    if (t0 > t1) std::swap(t0, t1);
    enter = std::fmax(enter, t0);
    leave = std::fmin(leave, t1);
    if (enter >= leave) return false;
  }
  return true;
}

bool InVolume(const Trigger& t, Vec3 centre) {
  return Overlap(Grown(VolumeBox{centre, centre}, BodyExtents), VolumeBox{t.mins, t.maxs});
}

// Where a bot stands to be in the volume: the middle of its floor, or false when no body fits
// there or a body on that floor would not touch the volume.
bool EntryOf(Level& level, const Trigger& t, Vec3* entry) {
  const Vec3 middle = (t.mins + t.maxs) * 0.5f;
  Vec3 at;
  if (!RestingBodyCentre(level, Vec3(middle.x, t.mins.y, middle.z), &at) &&
      !DropToFloor(level, middle, BodyExtents, &at))
    return false;
  if (!InVolume(t, at)) return false;
  *entry = at;
  return true;
}

// Where a jump pad's throw, started from `from`, lands (the game's flight, tick by tick).
bool ThrowLanding(Level& level, const Trigger& t, Vec3 from, Vec3* landing) {
  LevelMovers one;
  one.triggers.push_back(t);
  Body body{from, BodyExtents};
  const TriggerOutcome outcome = TouchTriggers(one, level, body);
  if (!outcome.thrown) return false;
  BodyFlight flight{true, outcome.velocity};
  for (int tick = 0; tick < MaxFlightTicks && flight.active; ++tick)
    StepFlight(level, &flight, &body, TickSeconds, FlightFallSpeed);
  if (flight.active || !BodyOnFloor(level, body.position)) return false;
  *landing = body.position;
  return true;
}

// Where the link of trigger t comes out: the throw's landing or the teleporter's destination on
// its floor (as the trigger puts a body there).
bool ExitOf(Level& level, const Trigger& t, Vec3 entry, Vec3* exit) {
  if (t.kind == TriggerKind::Push) return ThrowLanding(level, t, entry, exit);
  if (t.kind != TriggerKind::Teleport) return false;
  if (!DropToFloor(level, t.destination, BodyExtents, exit)) *exit = t.destination;
  return BodyOnFloor(level, *exit);
}

float Across(Vec3 a, Vec3 b) { return std::hypot(a.x - b.x, a.z - b.z); }

// Up to `most` of the places within `reach` across of p, nearest first, that a walk gets to from
// p (`fromP`) or that get to p, and that `wanted` accepts.
template <typename Wanted>
std::vector<int> WalkedNear(Level& level, const std::vector<Vec3>& places, Vec3 p, float reach, size_t most,
                            bool fromP, float speed, Wanted wanted) {
  std::vector<std::pair<float, int>> near;
  for (size_t i = 0; i < places.size(); ++i) {
    const float d = Magnitude(places[i] - p);
    if (Across(places[i], p) <= reach && wanted(places[i])) near.push_back({d, static_cast<int>(i)});
  }
  std::sort(near.begin(), near.end());
  std::vector<int> out;
  for (const auto& [d, i] : near) {
    if (out.size() >= most) break;
    if (fromP ? WalkReaches(level, p, places[i], speed) : WalkReaches(level, places[i], p, speed)) out.push_back(i);
  }
  return out;
}

bool Any(Vec3) { return true; }

void TriggerLinks(Level& level, const LevelMovers& movers, const std::vector<Vec3>& places, float speed,
                  std::vector<SpecialLink>* out) {
  for (const Trigger& t : movers.triggers) {
    if (t.still || (t.kind != TriggerKind::Push && t.kind != TriggerKind::Teleport)) continue;
    Vec3 entry, exit;
    if (!EntryOf(level, t, &entry) || !ExitOf(level, t, entry, &exit)) continue;
    const std::vector<int> tos = WalkedNear(level, places, exit, ExitReach, MostExits, true, speed, Any);
    const std::vector<int> froms = WalkedNear(level, places, entry, EntryReach, MostEntries, false, speed, Any);
    const bool pad = t.kind == TriggerKind::Push;
    for (int a : froms)
      for (int b : tos) {
        if (a == b) continue;
        SpecialLink link;
        link.from = a, link.to = b;
        link.kind = pad ? LinkKind::JumpPad : LinkKind::Teleporter;
        link.entry = entry, link.exit = exit;
        link.cost = WaypointCost(places[a], entry) + (pad ? Magnitude(exit - entry) : TeleportCost) +
                    WaypointCost(exit, places[b]);
        out->push_back(link);
      }
  }
}

// A body resting on the lift's model at the middle of its top, with the lift at `offset`.
bool OnLift(Level& level, const Mover& m, Vec3 offset, Vec3* centre) {
  const BspModel& model = level.models[m.model];
  level.modelPlacements[m.model].offset = offset;
  const Vec3 top((model.mins[0] + model.maxs[0]) / 2 + offset.x, model.maxs[1] + offset.y,
                 (model.mins[2] + model.maxs[2]) / 2 + offset.z);
  if (!RestingBodyCentre(level, top, centre)) return false;
  const TraceResult down = level.Trace(*centre, *centre - Vec3(0, 2, 0), BodyExtents);
  return down.model == m.model;
}

void LiftLinks(Level& level, const LevelMovers& movers, const std::vector<Vec3>& places, float speed,
               std::vector<SpecialLink>* out) {
  for (size_t index = 0; index < movers.movers.size(); ++index) {
    const Mover& m = movers.movers[index];
    if (m.kind != MoverKind::Plat || m.still || m.model <= 0 || m.model >= static_cast<int>(level.models.size()))
      continue;
    ModelPlacement& placement = level.modelPlacements[m.model];
    const ModelPlacement saved = placement;
    Vec3 bottom, top;
    if (OnLift(level, m, m.farOffset, &top) && OnLift(level, m, m.restOffset, &bottom) &&
        top.y >= bottom.y + LiftRise) {
      auto below = [&](Vec3 p) { return p.y < top.y - LiftRise; };
      auto above = [&](Vec3 p) { return p.y >= bottom.y + LiftRise; };
      // At rest: the floors from which a bot walks onto it, and down its shaft from the top.
      const std::vector<int> feet = WalkedNear(level, places, bottom, EntryReach, MostEntries, false, speed, below);
      std::vector<int> downFrom;
      for (int i : WalkedNear(level, places, top, EntryReach, MostEntries, false, speed, above))
        if (WalkReaches(level, places[i], bottom, speed)) downFrom.push_back(i);
      std::vector<int> downTo;
      for (int i : feet)
        if (WalkReaches(level, bottom, places[i], speed)) downTo.push_back(i);
      // At the top: the floors it gets off onto, and off the lift down to its foot.
      placement.offset = m.farOffset;
      const std::vector<int> heads = WalkedNear(level, places, top, ExitReach, MostExits, true, speed, above);
      std::vector<int> offTop;
      for (int i : downTo)
        if (WalkReaches(level, top, places[i], speed)) offTop.push_back(i);
      const float rise = WaypointCost(bottom, top);
      for (int a : feet)
        for (int b : heads) {
          SpecialLink link;
          link.from = a, link.to = b, link.kind = LinkKind::LiftUp, link.mover = static_cast<int>(index);
          link.entry = bottom, link.exit = top;
          link.cost = WaypointCost(places[a], bottom) + rise + LiftWaitCost + WaypointCost(top, places[b]);
          out->push_back(link);
        }
      for (int a : downFrom)
        for (int b : offTop) {
          SpecialLink link;
          link.from = a, link.to = b, link.kind = LinkKind::LiftDown, link.mover = static_cast<int>(index);
          link.entry = top, link.exit = bottom;
          link.cost = WaypointCost(places[a], top) + rise + WaypointCost(bottom, places[b]);
          out->push_back(link);
        }
    }
    placement = saved;
  }
}

// A doorway's thin axis (the way through it: 0 for x, 2 for z) and its wide one.
void DoorwayAxes(const VolumeBox& doorway, int* through, int* across) {
  const bool wideOnX = doorway.maxs.x - doorway.mins.x >= doorway.maxs.z - doorway.mins.z;
  *through = wideOnX ? 2 : 0;
  *across = wideOnX ? 0 : 2;
}

float AxisOf(Vec3 v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

// Whether the line a -> b keeps DoorwaySide from the doorway's sides wherever a body on it
// would be within the doorway's depth, its frame's or next to them.
bool CrossesSquarely(const VolumeBox& doorway, Vec3 a, Vec3 b) {
  int through, across;
  DoorwayAxes(doorway, &through, &across);
  const float reach = BodyExtents.x + DoorFrameDepth;
  const float lo = AxisOf(doorway.mins, through) - reach, hi = AxisOf(doorway.maxs, through) + reach;
  const float half = (AxisOf(doorway.maxs, across) - AxisOf(doorway.mins, across)) / 2;
  // A narrow doorway: through its middle, give or take 2.
  const float side = std::fmin(DoorwaySide, half - 2);
  const float sideLo = AxisOf(doorway.mins, across) + side, sideHi = AxisOf(doorway.maxs, across) - side;
  // The part of the line within the depth, and where it is across at both its ends.
  const float ta = AxisOf(a, through), tb = AxisOf(b, through);
  float s0 = 0, s1 = 1;
  if (std::fabs(tb - ta) > 1e-6f) {
    s0 = std::fmax(0.0f, std::fmin((lo - ta) / (tb - ta), (hi - ta) / (tb - ta)));
    s1 = std::fmin(1.0f, std::fmax((lo - ta) / (tb - ta), (hi - ta) / (tb - ta)));
  }
  for (const float s : {s0, s1}) {
    const float w = AxisOf(a + (b - a) * s, across);
    if (!(w >= sideLo && w <= sideHi)) return false;
  }
  return true;
}

}  // namespace

MoverVolumes FindMoverVolumes(const Level& level, const LevelMovers& movers) {
  MoverVolumes v;
  for (const Mover& m : movers.movers) {
    if (m.still || m.kind == MoverKind::Static || m.model <= 0 || m.model >= static_cast<int>(level.models.size()))
      continue;
    v.moving.push_back(WayOf(m, level.models[m.model]));
    v.passable.push_back(m.kind == MoverKind::Door && m.openedByTouch);
    v.doorways.push_back(ModelAt(level.models[m.model], Vec3()));
  }
  for (const Trigger& t : movers.triggers)
    if (!t.still && (t.kind == TriggerKind::Push || t.kind == TriggerKind::Teleport))
      v.triggers.push_back(VolumeBox{t.mins, t.maxs});
  return v;
}

bool PlaceClearOfMovers(const MoverVolumes& volumes, Vec3 centre) {
  VolumeBox body = Grown(VolumeBox{centre, centre}, BodyExtents);
  body.mins.y -= FeetReach;
  for (const VolumeBox& way : volumes.moving)
    if (Overlap(body, way)) return false;
  const VolumeBox reach = Grown(body, Vec3(TriggerClearance, 0, TriggerClearance));
  for (const VolumeBox& t : volumes.triggers)
    if (Overlap(reach, t)) return false;
  return true;
}

bool WayClearOfMovers(const MoverVolumes& volumes, Vec3 a, Vec3 b) {
  for (size_t i = 0; i < volumes.moving.size(); ++i) {
    if (!SegmentCrosses(a, b, Grown(volumes.moving[i], BodyExtents))) continue;
    if (!volumes.passable[i] || !CrossesSquarely(volumes.doorways[i], a, b)) return false;
  }
  for (const VolumeBox& t : volumes.triggers)
    if (SegmentCrosses(a, b, Grown(t, BodyExtents))) return false;
  return true;
}

void OpenDoorsForWalks(Level& level, const LevelMovers& movers) {
  for (const Mover& m : movers.movers)
    if (m.kind == MoverKind::Door && m.openedByTouch && !m.still && m.model > 0 &&
        m.model < static_cast<int>(level.modelPlacements.size()))
      level.modelPlacements[m.model].offset = m.farOffset;
}

std::vector<Vec3> DoorFronts(Level& level, const LevelMovers& movers) {
  std::vector<Vec3> fronts;
  for (const Mover& m : movers.movers) {
    if (m.kind != MoverKind::Door || !m.openedByTouch || m.still || m.model <= 0 ||
        m.model >= static_cast<int>(level.models.size()))
      continue;
    const VolumeBox doorway = ModelAt(level.models[m.model], Vec3());
    int through, across;
    DoorwayAxes(doorway, &through, &across);
    const Vec3 middle = (doorway.mins + doorway.maxs) * 0.5f;
    const float out = (AxisOf(doorway.maxs, through) - AxisOf(doorway.mins, through)) / 2 + DoorFrontGap;
    for (const float side : {-out, out}) {
      const Vec3 front = middle + (through == 0 ? Vec3(side, 0, 0) : Vec3(0, 0, side));
      Vec3 centre;
      if (RestingBodyCentre(level, Vec3(front.x, doorway.mins.y, front.z), &centre))
        fronts.push_back(centre - Vec3(0, BodyExtents.y, 0));
    }
  }
  return fronts;
}

std::vector<Vec3> MoverLinkEnds(Level& level, const LevelMovers& movers) {
  std::vector<Vec3> ends;
  for (const Trigger& t : movers.triggers) {
    Vec3 entry, exit;
    if (!t.still && EntryOf(level, t, &entry) && ExitOf(level, t, entry, &exit))
      ends.push_back(exit - Vec3(0, BodyExtents.y, 0));
  }
  return ends;
}

std::vector<SpecialLink> FindMoverLinks(Level& level, const LevelMovers& movers, const std::vector<Vec3>& places,
                                        float speed) {
  std::vector<SpecialLink> links;
  TriggerLinks(level, movers, places, speed, &links);
  LiftLinks(level, movers, places, speed, &links);
  return links;
}

const SpecialLink* SpecialLinkOf(const WaypointGraph& graph, int from, int to) {
  for (const SpecialLink& link : graph.special)
    if (link.from == from && link.to == to) return &link;
  return nullptr;
}
