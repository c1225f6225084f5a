// The level's movers and triggers in the waypoint graph. Where moving parts go (their whole
// way, every place they take) and the jump pad and teleporter volumes are kept free of
// waypoints and of walked links; a door that opens as a body comes is walked through as if it
// were open; and links one way are found for jump pads (from the pad to where its throw
// lands), teleporters (from the mouth to the destination) and lifts (from the floor at the
// lift's foot up to the floor at its top, and back down its shaft), each checked with the
// bots' own walk and the movers' own throw.
#pragma once
#include <vector>

#include "core/mover_records.h"
#include "core/vec3.h"
#include "core/waypoint_graph_record.h"

class Level;

// An axis-aligned box in game coordinates.
struct VolumeBox {
  Vec3 mins, maxs;
};

// What of the level's movers and triggers the graph keeps clear of.
struct MoverVolumes {
  // Every place a moving part takes on its way (doors, buttons, lifts, bobbing and turning
  // parts, trains): no waypoint stands in or on one.
  std::vector<VolumeBox> moving;
  // Whether a walked link may cross moving[i]: the way of a door that opens when a body comes.
  std::vector<bool> passable;
  // For such a door, its doorway: the model's box where it is built (the door shut).
  std::vector<VolumeBox> doorways;
  // Jump pad and teleporter volumes: touching one throws or moves a body away.
  std::vector<VolumeBox> triggers;
};
MoverVolumes FindMoverVolumes(const Level& level, const LevelMovers& movers);

// Whether a bot's body with its centre at `centre` (and the floor just under its soles) keeps
// clear of every moving part's way and every trigger volume.
bool PlaceClearOfMovers(const MoverVolumes& volumes, Vec3 centre);
// Whether a bot's body moved straight from a to b keeps clear of them. A door that opens when a
// body comes is crossed, squarely: through the door's depth and its frame's the line keeps well
// away from the doorway's sides, so that a bot that swerves a little or meets the door still
// opening is never caught on the frame.
bool WayClearOfMovers(const MoverVolumes& volumes, Vec3 a, Vec3 b);

// Puts every door that opens when a body comes at its open place in `level` (a tracing copy
// the trial walks use).
void OpenDoorsForWalks(Level& level, const LevelMovers& movers);

// Floor points squarely in front of and behind each door that opens when a body comes (the
// middle of its doorway, far enough out that a bot arriving there is clear of the door): waypoints
// are wanted there, so that routes cross doorways straight.
std::vector<Vec3> DoorFronts(Level& level, const LevelMovers& movers);

// Floor points the links of jump pads and teleporters end at (where a throw lands, a
// teleporter's destination dropped onto the floor): waypoints are wanted there.
std::vector<Vec3> MoverLinkEnds(Level& level, const LevelMovers& movers);

// The links of the level's jump pads, teleporters and lifts between the waypoints `places`
// (body centres), checked by the bots' walks at `speed` on `level` (a tracing copy with the
// movers at rest and the touch doors open; lifts are moved on it and put back).
std::vector<SpecialLink> FindMoverLinks(Level& level, const LevelMovers& movers, const std::vector<Vec3>& places,
                                        float speed);

// The special link from waypoint `from` to `to` of the graph, or nullptr for a plain one.
const SpecialLink* SpecialLinkOf(const WaypointGraph& graph, int from, int to);
