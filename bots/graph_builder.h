// A waypoint graph for any level, built when it loads: waypoints spread over the walkable
// floors of the level's navigation mesh at the height of a bot's centre, and a link wherever a
// trial walk with the bots' own steering, turning and sliding gets from one end to the other.
#pragma once
#include <string>

#include "bots/navmesh.h"
#include "bots/waypoints.h"
#include "core/vec3.h"

class Level;
struct LevelMovers;

struct GraphBuildSettings {
  float spacing = 96;       // no two waypoints closer than this on the floor (level units)
  float heightApart = 48;   // ... unless their heights differ by more
  float gridStep = 192;     // large floors get a waypoint about this often
  float linkRange = 420;    // longest link tried between two waypoints
  float detour = 1.3f;      // a link is left out when two shorter ones already make it with
                            // a path at most this much longer
  float runSpeed = 4;       // the trial walks move as a running bot
  bool drops = true;        // walks down from ledges where the straight line is blocked (links
                            // one way); off, only pairs in sight are walked (the bench's switch)
  int workers = 0;          // threads for the trial walks; 0: one per core (at most 8). The
                            // graph is the same with any number.
  NavMeshSettings mesh;     // the navigation mesh the waypoints are spread over
};

struct GraphBuildReport {
  int waypoints = 0;
  int links = 0;            // a link both ways counts once
  int oneWay = 0;           // links one way only
  int components = 0;       // parts: waypoints that can all reach one another
  int largest = 0;          // waypoints in the largest part
  long walkTicks = 0;       // ticks of the trial walks
  double milliseconds = 0;
};

// The centre of a bot's body (BodyExtents) standing on the floor found below `nearFloor`
// (within a short reach up or down); false when there is none or the body does not fit.
bool RestingBodyCentre(Level& level, Vec3 nearFloor, Vec3* centre);

// Whether a bot at `from`, already facing `to`, reaches `to` (within the arrival square and
// close to its height, landed) by the game's movement at `speed` units a tick: steering at
// `to` every tick, turning at most 5 degrees a tick, sliding along what stops it, falling
// where no floor holds it up, and never stuck for two ticks in a row.
bool WalkReaches(Level& level, Vec3 from, Vec3 to, float speed, long* ticks = nullptr);

// A level holding only what the tracer reads (the tree, brushes, planes, contents, solid
// curved surfaces, the brush models at their placements), so that another thread can trace on it with its own working state:
// Level::Trace keeps the trace in progress in the level.
Level TracingCopy(const Level& level);

// Builds the graph of the level: waypoints, links (each way walked: down a ledge a link may go
// one way only) and the generated flag. With the level's movers and triggers (set up, at
// rest): no waypoint on or in the way of a moving part or in a trigger volume, walks through
// the doors that open as a body comes, and links one way on jump pads, through teleporters
// and up lifts (bots/mover_links.h).
// false with the reason when the level has no floor a bot can stand on.
bool BuildLevelWaypointGraph(Level& level, const GraphBuildSettings& settings, WaypointGraph* graph,
                             GraphBuildReport* report, std::string* error, const LevelMovers* movers = nullptr);
